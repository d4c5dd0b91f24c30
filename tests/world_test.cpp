#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "creature/crossover.h"
#include "creature/world.h"
#include "subdiv/limit_normals.h"
#include "subdiv/loop.h"
#include "tests/fixtures.h"
#include "view/chance.h"

namespace {

constexpr std::time_t kClock = 1765000000;

std::vector<StartCreature> shippedStart() {
    std::vector<StartCreature> start = startCreatures();
    for (StartCreature& s : start)
        s.path = std::string(CREATURES_SOURCE_DIR) + "/" + s.path.substr(2);
    return start;
}

// What the reader prints for one file.
std::string readerReport(const std::string& path) {
    std::ifstream in(path);
    std::string line, names;
    int v = 0, vn = 0, f = 0, g = 0;
    while (std::getline(in, line)) {
        if (line.rfind("v ", 0) == 0) ++v;
        if (line.rfind("vn ", 0) == 0) ++vn;
        if (line.rfind("f ", 0) == 0) ++f;
        if (line.rfind("g ", 0) == 0) {
            names += line.substr(2) + "\n";
            ++g;
        }
    }
    std::ostringstream out;
    out << "Opening " << path << "\n"
        << names << "Parsed obj file " << path << "\nGroups:" << g << "\nFaces:" << f
        << "\nVertices:" << v << "\nNormals:" << vn << "\nUVs: 0\n";
    return out.str();
}

// The shipped start population, loaded once with a fixed clock; tests copy it.
const World& loadedWorld(std::string* transcript = nullptr) {
    static std::string output;
    static const World* world = [] {
        chance::setClock([] { return kClock; });
        ::testing::internal::CaptureStdout();
        const World* w = new World(shippedStart());
        output = ::testing::internal::GetCapturedStdout();
        chance::setClock({});
        return w;
    }();
    if (transcript) *transcript = output;
    return *world;
}

// Records the calls breeding makes on the screen.
struct ScreenLog {
    int redraws = 0;
    int stepsBack = 0;
};

World breedableWorld(ScreenLog& log) {
    World w = loadedWorld();
    w.screen.redrawNow = [&log] { ++log.redraws; };
    w.screen.stepViewBack = [&log] { ++log.stepsBack; };
    return w;
}

class Breeding : public ::testing::Test {
protected:
    void SetUp() override {
        loadedWorld();  // loads with its own clock, then restores the real one
        chance::setClock([] { return kClock; });
        chance::seed(42);
    }
    void TearDown() override { chance::setClock({}); }
};

size_t polygonCount(const Model& m) {
    size_t n = 0;
    for (const BodyPart& p : m.parts)
        n += p.polygons.size();
    return n;
}

// The display refinement done by hand: steps times a Loop step assigned back into a copy of the
// genome, a relink and the limit pass.
Model refinedByHand(const Model& genome, int steps) {
    Model m = genome;
    ::testing::internal::CaptureStdout();
    for (int step = 0; step < steps; ++step) {
        const Model refined = subdivide(m);
        m = refined;
        m.relinkHalfEdges();
        computeLimitNormals(m);
    }
    ::testing::internal::GetCapturedStdout();
    return m;
}

// "" when display holds what refining genome by hand gives, record for record and bit for bit.
std::string notRefinedFrom(const Model& display, const Model& genome, int steps) {
    const Model expected = refinedByHand(genome, steps);
    if (polygonCount(display) != polygonCount(expected)) return "polygon counts differ";
    if (!fixtures::sameBits(display.positions, expected.positions)) return "positions differ";
    if (!fixtures::sameBits(display.normals, expected.normals)) return "normals differ";
    return fixtures::compareTopology(display, expected);
}

TEST(World, StartUpLoadsThreeCreaturesInOrder) {
    std::string transcript;
    const World& w = loadedWorld(&transcript);
    ASSERT_EQ(w.genomes.size(), 3u);
    ASSERT_EQ(w.creatures.size(), 3u);
    EXPECT_EQ(w.nextCreatureId, 3);
    EXPECT_TRUE(w.familyLinks.empty());
    const float xs[] = {10.0f, 0.0f, -10.0f};
    const float angles[] = {135.0f, 180.0f, 225.0f};
    for (int i = 0; i < 3; ++i) {
        const Model& g = w.genomes[static_cast<size_t>(i)];
        EXPECT_EQ(g.id, i);
        EXPECT_EQ(w.creatures[static_cast<size_t>(i)].id, i);
        EXPECT_EQ(g.position.x, xs[i]);
        EXPECT_EQ(g.position.y, -6.5f);
        EXPECT_EQ(g.rotationAngle, angles[i]);
        EXPECT_EQ(g.rotationAxis, (Vec3{0, 1, 0}));
        EXPECT_EQ(g.scaleSquared, 1.0f);
        EXPECT_EQ(g.firstChildId, NONE_INDEX);
        EXPECT_FALSE(g.firstChild || g.secondChild);
    }
    // Genomes stay unrefined; display copies are refined once, the centre creature twice.
    const size_t base = polygonCount(w.genomes[0]);
    EXPECT_EQ(polygonCount(w.genomes[1]), base);
    EXPECT_EQ(polygonCount(w.creatures[0]), 4 * base);
    EXPECT_EQ(polygonCount(w.creatures[1]), 16 * base);
    EXPECT_EQ(polygonCount(w.creatures[2]), 4 * base);

    // The console: each file's report, its build and normals, then its refinement.
    std::string expected;
    const std::vector<StartCreature> start = shippedStart();
    for (size_t i = 0; i < start.size(); ++i) {
        expected += readerReport(start[i].path);
        expected += "Building 0th Set of Half Edges...Done\nCalculating Normals...Done\n";
        expected += "Starting Subdivision...";
        if (i == 1) expected += "Starting Subdivision...";
    }
    EXPECT_EQ(transcript, expected);
}

TEST(World, AnEmptyWorldLeavesTheGeneratorAlone) {
    chance::seed(99);
    const int next = chance::draw();
    chance::seed(99);
    const World w;
    EXPECT_EQ(chance::draw(), next);
    EXPECT_TRUE(w.genomes.empty() && w.creatures.empty() && w.familyLinks.empty());
    EXPECT_EQ(w.nextCreatureId, 0);
}

TEST(World, StartPulsesAreDrawnRateThenPhaseInLoadOrder) {
    const World& w = loadedWorld();
    chance::seed(static_cast<unsigned>(kClock));
    for (const Model& g : w.genomes) {
        const int r = chance::draw() % 100;
        const int p = chance::draw() % 10;
        EXPECT_EQ(g.pulseRate, static_cast<float>(r * 0.0001 + 0.00001));
        EXPECT_EQ(g.pulsePhase, static_cast<float>(p));
        EXPECT_EQ(g.auxFactor, 0.1f);
    }
}

TEST_F(Breeding, TwoCreaturesMakeTwoChildrenInAFan) {
    ScreenLog log;
    World w = breedableWorld(log);
    ::testing::internal::CaptureStdout();
    w.breed(1, w.genomes[0], RANDOM_WEIGHT, MakeChildren);
    ::testing::internal::GetCapturedStdout();

    ASSERT_EQ(w.genomes.size(), 5u);
    ASSERT_EQ(w.creatures.size(), 5u);
    EXPECT_EQ(w.nextCreatureId, 5);
    const Model& k1 = w.genomes[3];
    const Model& k2 = w.genomes[4];
    EXPECT_EQ(k1.id, 3);
    EXPECT_EQ(k2.id, 4);
    EXPECT_NEAR(k1.position.x, 1.99962f, 1e-5f);
    EXPECT_NEAR(k1.position.y, -3.03568f, 1e-5f);
    EXPECT_EQ(k1.position.z, 0.0f);
    EXPECT_NEAR(k2.position.x, -2.00077f, 1e-5f);
    EXPECT_NEAR(k2.position.y, -3.03634f, 1e-5f);
    EXPECT_EQ(k1.generation, 1);
    EXPECT_EQ(k2.generation, -1);
    EXPECT_EQ(k1.branchAngle, 60.0f);
    EXPECT_EQ(k2.branchAngle, 120.0f);
    EXPECT_EQ(k1.childSlot, 1);
    EXPECT_EQ(k2.childSlot, 2);
    EXPECT_EQ(k1.rotationAngle, 180.0f);
    EXPECT_FALSE(k1.firstChild || k1.secondChild || k2.firstChild);
    EXPECT_EQ(k1.firstChildId, NONE_INDEX);

    const Model& parent = w.genomes[1];
    EXPECT_TRUE(parent.firstChild && parent.secondChild);
    EXPECT_EQ(parent.firstChildId, 3);
    EXPECT_EQ(parent.secondChildId, 4);
    ASSERT_EQ(w.familyLinks.size(), 2u);
    EXPECT_EQ(w.familyLinks[0].from, (Vec3{0, -6.5f, 0}));
    EXPECT_EQ(w.familyLinks[0].to, k1.position);
    EXPECT_EQ(w.familyLinks[1].to, k2.position);
    EXPECT_EQ(log.stepsBack, 1);  // after the first child only
    EXPECT_EQ(log.redraws, 1);
    EXPECT_EQ(polygonCount(w.creatures[3]), 4 * polygonCount(k1));
}

TEST_F(Breeding, SelfBreedingALeafPrintsItsTranscript) {
    ScreenLog log;
    World w = breedableWorld(log);
    ::testing::internal::CaptureStdout();
    w.selfBreed(1, NONE_INDEX, NONE_INDEX);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.substr(0, out.find("Starting")),
              "SB MYSELF:1\nSelf Breeding a Leaf\nFirst Kid ID: 3Second Kid ID: 4Just Assigned 4\n"
              "Done with Second Kid\nX:0.000000 Y:-6.500000 Z:0.000000 \n");
    ASSERT_EQ(w.genomes.size(), 5u);
    EXPECT_EQ(w.genomes[3].branchAngle, 50.0f);
    EXPECT_EQ(w.genomes[4].branchAngle, 130.0f);
    EXPECT_NEAR(w.genomes[3].position.x, 2.57087f, 1e-5f);
    EXPECT_NEAR(w.genomes[3].position.y - (-6.5f), 3.06442f, 1e-5f);
    EXPECT_NEAR(w.genomes[4].position.x, -2.57189f, 1e-5f);
    EXPECT_NEAR(w.genomes[4].position.y - (-6.5f), 3.06356f, 1e-5f);
    EXPECT_GE(w.genomes[3].pulsePhase, 1.0f);  // always mutated
    EXPECT_GE(w.genomes[4].pulsePhase, 2.0f);
    EXPECT_EQ(log.redraws, 0);  // self-breeding neither redraws nor moves the view
    EXPECT_EQ(log.stepsBack, 0);
}

TEST_F(Breeding, ChildAtNinetyDegreesLandsJustLeftOfItsParent) {
    // Generation 1 in breed: spread 28.5, first angle 90 - 28.5 - 28.5 = 33, second 90.
    ScreenLog log;
    World w = breedableWorld(log);
    w.genomes[1].generation = 1;
    ::testing::internal::CaptureStdout();
    w.breed(1, w.genomes[0], 0.5f, MakeChildren);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(w.genomes[4].branchAngle, 90.0f);
    EXPECT_NEAR(w.genomes[4].position.x, -0.00067f, 2e-5f);
    // An explicit weight gives both children the same blend.
    EXPECT_EQ(w.genomes[3].positions, w.genomes[4].positions);
}

TEST_F(Breeding, FansOutBelowGenerationZeroThroughTwoLevels) {
    ScreenLog log;
    World w = breedableWorld(log);
    ::testing::internal::CaptureStdout();
    w.breed(2, w.genomes[0], 0.5f, MakeChildren);  // 2 (generation 0) -> 3, 4
    w.breed(4, w.genomes[0], 0.5f, MakeChildren);  // 4 (-1, spread 28.5) -> 5, 6
    w.breed(6, w.genomes[1], 0.5f, MakeChildren);  // 6 (-2, spread 27) -> 7, 8
    w.selfBreed(5, NONE_INDEX, NONE_INDEX);        // 5 (-2, spread 28) -> 9, 10
    w.selfBreed(10, NONE_INDEX, NONE_INDEX);       // 10 (-3, spread 22) -> 11, 12
    ::testing::internal::GetCapturedStdout();
    const struct {
        size_t parent;
        int generation;
        double angle;
    } expected[] = {{2, 1, 60},   {2, -1, 120}, {4, -2, 90},  {4, -2, 147},  {6, -3, 117},
                    {6, -3, 171}, {5, -3, 118}, {5, -3, 174}, {10, -4, 134}, {10, -4, 178}};
    ASSERT_EQ(w.genomes.size(), 13u);
    ASSERT_EQ(w.familyLinks.size(), 10u);
    for (size_t id = 3; id < 13; ++id) {
        SCOPED_TRACE(id);
        const auto& e = expected[id - 3];
        const Model& child = w.genomes[id];
        const Model& parent = w.genomes[e.parent];
        const bool first = id % 2 == 1;
        EXPECT_EQ(first ? parent.firstChildId : parent.secondChildId, static_cast<int>(id));
        EXPECT_EQ(child.generation, e.generation);
        EXPECT_EQ(child.childSlot, first ? 1 : 2);
        EXPECT_EQ(child.branchAngle, static_cast<float>(e.angle));
        // Four units from the parent; degrees turned to radians with 3.141926 / 180.
        const double radians = e.angle * 0.017455144444444445;
        EXPECT_FLOAT_EQ(child.position.x,
                        static_cast<float>(parent.position.x + 4.0 * std::cos(radians)));
        EXPECT_FLOAT_EQ(child.position.y,
                        static_cast<float>(parent.position.y + 4.0 * std::sin(radians)));
        EXPECT_EQ(child.position.z, parent.position.z);
        EXPECT_EQ(child.rotationAngle, parent.rotationAngle);
        EXPECT_EQ(w.familyLinks[id - 3].from, parent.position);
        EXPECT_EQ(w.familyLinks[id - 3].to, child.position);
    }
}

// The first n draws after seeding the generator with s.
std::vector<int> drawsAfter(std::time_t s, int n) {
    chance::seed(static_cast<unsigned>(s));
    std::vector<int> d;
    for (int i = 0; i < n; ++i)
        d.push_back(chance::draw());
    return d;
}

std::vector<Vec3> blended(const std::vector<Vec3>& a, const std::vector<Vec3>& b, float w) {
    std::vector<Vec3> out;
    for (size_t i = 0; i < a.size(); ++i) {
        out.push_back({w * a[i].x + (1.0f - w) * b[i].x, w * a[i].y + (1.0f - w) * b[i].y,
                       w * a[i].z + (1.0f - w) * b[i].z});
    }
    return out;
}

float share(int draw) {
    return static_cast<float>((draw % 100) * 0.01);
}

// With the clock fixed, every crossover that reseeds leaves the generator at the same place:
// after the reseed before its last half-edge come that half-edge's coin, the phase and the
// mutation draw, and then whatever breeding draws next (the second child's weight, or the two
// ripple shares). A mutation reseeds before its last half-edge too and then draws the coin,
// three sharpness values when the coin is odd, and the phase.
TEST_F(Breeding, DrawnWeightsAndRippleSharesGoToTheRightChildren) {
    std::time_t clock = kClock;
    std::vector<int> t;
    size_t afterMutation = 0;  // where the ripple shares of a self-breeding start in t
    const auto usable = [](int a, int b) { return a % 100 != b % 100 && a % 100 != 50; };
    for (;; ++clock) {
        t = drawsAfter(clock, 7);
        afterMutation = t[0] % 2 == 1 ? 5 : 2;
        const int m = t[2] % 1000;
        if ((m <= 555 || m >= 666) && usable(t[3], t[4]) && usable(t[4], t[3]) &&
            usable(t[afterMutation], t[afterMutation + 1]) &&
            usable(t[afterMutation + 1], t[afterMutation])) {
            break;
        }
    }
    chance::setClock([clock] { return clock; });
    chance::seed(static_cast<unsigned>(clock));
    for (int i = 0; i < 3; ++i)
        chance::draw();
    const float w2 = drawWeight();  // the second child's weight, after the first child's draws
    unsigned seed = 1;
    chance::seed(seed);
    while (drawWeight() == w2)
        chance::seed(++seed);
    chance::seed(seed);
    const float w1 = drawWeight();

    ScreenLog log;
    World w = breedableWorld(log);
    ASSERT_FALSE(w.genomes[1].parts.back().halfEdges.empty());
    ::testing::internal::CaptureStdout();
    chance::seed(seed);
    w.breed(1, w.genomes[0], RANDOM_WEIGHT, MakeChildren);  // 1 -> 3, 4
    EXPECT_EQ(w.genomes[3].positions, blended(w.genomes[1].positions, w.genomes[0].positions, w1));
    EXPECT_EQ(w.genomes[4].positions, blended(w.genomes[1].positions, w.genomes[0].positions, w2));
    // Any weight but the one that asks for drawn weights is used as it is, negative ones too.
    w.breed(3, w.genomes[2], -0.5f, MakeChildren);  // 3 -> 5, 6
    for (size_t child : {5u, 6u}) {
        EXPECT_EQ(w.genomes[child].positions,
                  blended(w.genomes[3].positions, w.genomes[2].positions, -0.5f));
    }

    // Breeding 1 again blends it with its partner, then each descendant with its updated parent,
    // the first child with the first share and the second with the second.
    World before = w;
    const auto expectBlend = [&w, &before](size_t id, size_t parent, float r) {
        EXPECT_EQ(w.genomes[id].positions,
                  blended(before.genomes[id].positions, w.genomes[parent].positions, r))
            << "creature " << id;
    };
    chance::seed(seed + 1);
    const float weight = drawWeight();
    chance::seed(seed + 1);
    w.breed(1, w.genomes[2], RANDOM_WEIGHT, MakeChildren);
    EXPECT_EQ(w.genomes[1].positions,
              blended(before.genomes[1].positions, w.genomes[2].positions, weight));
    expectBlend(3, 1, share(t[3]));
    expectBlend(5, 3, share(t[3]));
    expectBlend(6, 3, share(t[4]));
    expectBlend(4, 1, share(t[4]));

    // Self-breeding 1 mutates it (its positions stay) and ripples with the shares drawn after
    // the mutation; below creature 3 the shares come after a crossover again.
    before = w;
    w.selfBreed(1, 3, 4);
    EXPECT_EQ(w.genomes[1].positions, before.genomes[1].positions);
    expectBlend(3, 1, share(t[afterMutation]));
    expectBlend(4, 1, share(t[afterMutation + 1]));
    expectBlend(5, 3, share(t[3]));
    expectBlend(6, 3, share(t[4]));
    ::testing::internal::GetCapturedStdout();
}

// Every path that makes a display copy (a new child, a creature bred again in place, a parent
// mutated by self-breeding, and refineForDisplay itself) refines as many steps as the World says,
// none included. The clock's first draw is even, so that mutations leave no creases behind that
// the refinements would have lowered in the genomes' records.
TEST_F(Breeding, DisplayCopiesTakeTheWorldsNumberOfStepsNoneIncluded) {
    std::time_t clock = kClock;
    while (drawsAfter(clock, 1)[0] % 2 == 1)
        ++clock;
    chance::setClock([clock] { return clock; });
    for (int steps : {0, 1, 2}) {
        SCOPED_TRACE(steps);
        ScreenLog log;
        World w = breedableWorld(log);
        w.subdivisionSteps = steps;
        Model m = w.genomes[0];
        m.subdivisionLevel = 5;
        ::testing::internal::CaptureStdout();
        w.refineForDisplay(m);
        ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(m.subdivisionLevel, 5 + steps);
        EXPECT_EQ(notRefinedFrom(m, w.genomes[0], steps), "");

        ::testing::internal::CaptureStdout();
        w.breed(1, w.genomes[0], RANDOM_WEIGHT, MakeChildren);  // 1 -> 3, 4
        ::testing::internal::GetCapturedStdout();
        for (size_t i : {3, 4})
            EXPECT_EQ(notRefinedFrom(w.creatures[i], w.genomes[i], steps), "") << i;
        ::testing::internal::CaptureStdout();
        w.breed(1, w.genomes[2], RANDOM_WEIGHT, MakeChildren);  // 1, 3 and 4 in place
        w.selfBreed(1, 3, 4);                                   // and again
        ::testing::internal::GetCapturedStdout();
        for (size_t i : {1, 3, 4})
            EXPECT_EQ(notRefinedFrom(w.creatures[i], w.genomes[i], steps), "") << i;
    }
}

// Sharpness of the half-edges and vertices of a model whose parts share one set of records, by
// record index.
struct Sharpness {
    std::vector<int> edges;
    std::vector<int> vertices;
    friend bool operator==(const Sharpness&, const Sharpness&) = default;

    explicit Sharpness(const Model& m) {
        for (const HalfEdge& e : m.parts[0].arena->halfEdges)
            edges.push_back(e.sharpness);
        for (const MeshVertex& v : m.parts[0].arena->vertices)
            vertices.push_back(v.sharpness);
    }
    // Half-edge h and its two ends take their values from donor.
    void take(const Sharpness& donor, const HalfEdge& h, RecordIndex r) {
        edges[static_cast<size_t>(r)] = donor.edges[static_cast<size_t>(r)];
        for (RecordIndex v : {h.origin, h.target})
            vertices[static_cast<size_t>(v)] = donor.vertices[static_cast<size_t>(v)];
    }
};

// Gives m records of its own and traits that no other call with another salt gives: scale,
// every part's colour and transform, and a sharpness on every half-edge and vertex. Half-edge
// values stay at or below zero, which a display refinement leaves as they are in the genome's
// records (it lowers the positive ones).
void giveTraits(Model& m, float salt) {
    m = fixtures::deepCopy(m);
    m.scale = 1.0f + salt;
    m.scaleSquared = m.scale * m.scale;
    for (size_t i = 0; i < m.parts.size(); ++i) {
        BodyPart& part = m.parts[i];
        const float f = salt + 0.0625f * static_cast<float>(i);
        part.colour = {0.1f + f, 0.2f + f, 0.3f + f};
        part.partScale = {1.0f + f, 1.5f + f, 2.0f + f};
        part.partOffset = {f, -f, 2.0f * f};
        part.partAngle = 10.0f + 20.0f * f;
        part.partAxis = {f, 1.0f - f, 0.5f};
    }
    const int base = static_cast<int>(4.0f * salt);
    TopologyArena& records = *m.parts[0].arena;
    for (size_t r = 0; r < records.halfEdges.size(); ++r)
        records.halfEdges[r].sharpness = -1 - base - static_cast<int>(r % 3);
    for (size_t r = 0; r < records.vertices.size(); ++r)
        records.vertices[r].sharpness = 1 + 10 * base + static_cast<int>(r % 7);
}

Vec3 mix(const Vec3& a, const Vec3& b, float w) {
    return {w * a.x + (1.0f - w) * b.x, w * a.y + (1.0f - w) * b.y, w * a.z + (1.0f - w) * b.z};
}

// What breeding leaf a with partner b and RANDOM_WEIGHT must give, replayed in the documented
// order of draws with the clock fixed at t and the generator seeded with s: each child's weight,
// its coins (one second's for the first child, a draw each for the second), its phase, its
// mutation draw and, if that hits, its mutation; and the records' sharpness as the first child
// leaves it and as both leave it.
struct BredLeaves {
    struct Child {
        float weight = 0.0f;
        float phase = 0.0f;
        bool mutated = false;
        Vec3 mutatedScale;
    };
    Child children[2];
    Sharpness afterFirst, afterBoth;

    BredLeaves(const Model& a, const Model& b, std::time_t t, unsigned s)
        : afterFirst(a), afterBoth(a) {
        const Sharpness fromB(b);
        Sharpness& state = afterBoth;
        chance::seed(s);
        for (int slot : {1, 2}) {
            Child& child = children[slot - 1];
            child.weight = drawWeight();
            // A coin for each half-edge: even keeps what the shared records hold, odd takes b's.
            for (const BodyPart& part : a.parts) {
                for (RecordIndex h : part.halfEdges) {
                    if (slot == 1) chance::seed(static_cast<unsigned>(t));
                    if (chance::draw() % 100 % 2 == 1) state.take(fromB, part.halfEdge(h), h);
                }
            }
            if (slot == 1) afterFirst = state;
            child.phase = static_cast<float>((chance::draw() % 10) * 0.01 + slot + 0.001);
            const int m = chance::draw() % 1000;
            child.mutated = m > 555 && m < 666;
            if (child.mutated) {
                // Within the one second every part and half-edge gets the same draws.
                const fixtures::MutationDraws draws =
                    fixtures::replayMutationDraws(static_cast<unsigned>(t));
                const auto& [d, odd, scale, edge, origin, target] = draws;
                child.mutatedScale = scale;
                const int values[3] = {edge, origin, target};
                for (const BodyPart& part : a.parts) {
                    for (RecordIndex h : part.halfEdges) {
                        const HalfEdge& e = part.halfEdge(h);
                        state.edges[static_cast<size_t>(h)] = values[0];
                        state.vertices[static_cast<size_t>(e.origin)] = values[1];
                        state.vertices[static_cast<size_t>(e.target)] = values[2];
                    }
                }
                const int phaseDraw = odd ? d[4] : d[1];
                child.phase = static_cast<float>((phaseDraw % 10) * 0.01 + slot + 0.001);
                chance::seed(static_cast<unsigned>(t));  // leave the generator after them
                for (int i = 0; i < (odd ? 5 : 2); ++i)
                    chance::draw();
            }
        }
    }
};

// Child k of a and b with weight w: every blended trait, the first parent's normals, its own
// draws.
void expectChild(const Model& k, const Model& a, const Model& b, const BredLeaves::Child& e) {
    const float w = e.weight;
    EXPECT_EQ(k.scale, w * a.scale + (1.0f - w) * b.scale);
    EXPECT_EQ(k.scaleSquared, k.scale * k.scale);
    EXPECT_EQ(k.centre, (Vec3{0, 0, 0}));
    EXPECT_EQ(k.positions, blended(a.positions, b.positions, w));
    EXPECT_TRUE(fixtures::sameBits(k.normals, a.normals));
    for (size_t i = 0; i < k.parts.size(); ++i) {
        SCOPED_TRACE(k.parts[i].name);
        const BodyPart& p = k.parts[i];
        const BodyPart& pa = a.parts[i];
        const BodyPart& pb = b.parts[i];
        EXPECT_EQ(p.partScale, e.mutated ? e.mutatedScale : mix(pa.partScale, pb.partScale, w));
        EXPECT_EQ(p.partOffset, mix(pa.partOffset, pb.partOffset, w));
        EXPECT_EQ(p.partAngle, w * pa.partAngle + (1.0f - w) * pb.partAngle);
        EXPECT_EQ(p.partAxis, mix(pa.partAxis, pb.partAxis, w));
        const Vec3 colour = mix({pa.colour.r, pa.colour.g, pa.colour.b},
                                {pb.colour.r, pb.colour.g, pb.colour.b}, w);
        EXPECT_EQ(p.colour, (Colour{colour.x, colour.y, colour.z}));
    }
    const float x = k.parts[0].partScale.x;
    EXPECT_EQ(k.pulseRate, static_cast<float>(e.mutated ? (1.0 / x) * 0.005 : 0.005 / x));
    EXPECT_EQ(k.pulsePhase, e.phase);
    EXPECT_EQ(k.auxFactor, 0.1f);
}

// Parents that differ in every trait, sharpness included: both children blend them with their
// own weights, take their sharpness by their own coins (and the shared records show the first
// child's before the second's are drawn), get their own phases and are mutated as their own
// draws say, with their own slot.
TEST_F(Breeding, BothChildrenTakeEveryTraitFromTheirParentsByTheirOwnDraws) {
    ScreenLog log;
    World w = breedableWorld(log);
    giveTraits(w.genomes[1], 0.25f);
    giveTraits(w.genomes[0], 1.5f);
    const Model a = fixtures::deepCopy(w.genomes[1]);
    const Model b = fixtures::deepCopy(w.genomes[0]);

    // Clocks for: no mutation (the first child's second giving b's values), the first child
    // mutated, the second mutated.
    const auto kind = [](const BredLeaves& r) {
        return r.children[0].mutated ? 1 : r.children[1].mutated ? 2 : 0;
    };
    std::map<int, std::time_t> clockFor;
    for (std::time_t t = kClock; clockFor.size() < 3; ++t) {
        const BredLeaves replay(a, b, t, 1);
        const bool donorB = Sharpness(a) != replay.afterFirst;
        if (kind(replay) != 0 || donorB) clockFor.emplace(kind(replay), t);
    }
    for (const auto& [mutated, second] : clockFor) {
        SCOPED_TRACE(mutated);
        const std::time_t t = second;
        chance::setClock([t] { return t; });
        unsigned s = 1;  // a seed for which the two children's weights differ
        for (;; ++s) {
            const BredLeaves r(a, b, t, s);
            if (r.children[0].weight != r.children[1].weight) break;
        }
        const BredLeaves expected(a, b, t, s);

        World bred = w;
        bred.genomes[1] = fixtures::deepCopy(a);
        std::optional<Sharpness> afterFirst;
        bred.screen.stepViewBack = [&] { afterFirst.emplace(bred.genomes[1]); };
        ::testing::internal::CaptureStdout();
        chance::seed(s);
        bred.breed(1, b, RANDOM_WEIGHT, MakeChildren);
        ::testing::internal::GetCapturedStdout();
        ASSERT_EQ(bred.genomes.size(), 5u);
        ASSERT_TRUE(afterFirst.has_value());
        EXPECT_TRUE(*afterFirst == expected.afterFirst);
        EXPECT_TRUE(Sharpness(bred.genomes[3]) == expected.afterBoth);
        EXPECT_TRUE(Sharpness(bred.genomes[4]) == expected.afterBoth);
        for (int slot : {1, 2}) {
            SCOPED_TRACE(slot);
            expectChild(bred.genomes[static_cast<size_t>(2 + slot)], a, b,
                        expected.children[slot - 1]);
        }
    }
}

TEST_F(Breeding, SelfBreedingStopsAtGenerationTwelve) {
    ScreenLog log;
    World w = breedableWorld(log);
    for (int g : {12, -12}) {
        w.genomes[0].generation = g;
        ::testing::internal::CaptureStdout();
        w.selfBreed(0, NONE_INDEX, NONE_INDEX);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "SB MYSELF:0\n");
        EXPECT_EQ(w.genomes.size(), 3u);
    }
}

// Indices whose display copy was replaced since the last call, in index order. The watch holds
// on to the topology records of every display copy it has seen, so a replacement cannot reuse
// them and comes with fresh records: the arena tells a replaced copy apart even when the blend
// left its positions as they were.
struct ChangeWatch {
    const World* world = nullptr;
    std::vector<std::shared_ptr<TopologyArena>> seen;
    std::vector<int> order;

    void arm(const World& w) {
        world = &w;
        seen.clear();
        for (const Model& c : w.creatures)
            seen.push_back(c.parts[0].arena);
    }
    void look() {
        for (size_t i = 0; i < world->creatures.size() && i < seen.size(); ++i) {
            const std::shared_ptr<TopologyArena>& now = world->creatures[i].parts[0].arena;
            if (now != seen[i]) {
                order.push_back(static_cast<int>(i));
                seen[i] = now;
            }
        }
    }
};

TEST_F(Breeding, BreedingAParentAgainRipplesDownDepthFirst) {
    ScreenLog log;
    World w = breedableWorld(log);
    ::testing::internal::CaptureStdout();
    w.breed(1, w.genomes[0], RANDOM_WEIGHT, MakeChildren);  // 1 -> 3, 4
    w.breed(3, w.genomes[2], RANDOM_WEIGHT, MakeChildren);  // 3 -> 5, 6
    w.breed(4, w.genomes[0], RANDOM_WEIGHT, MakeChildren);  // 4 -> 7, 8
    w.breed(5, w.genomes[0], RANDOM_WEIGHT, MakeChildren);  // 5 -> 9, 10
    ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(w.genomes.size(), 11u);
    const size_t links = w.familyLinks.size();

    ChangeWatch watch;
    watch.arm(w);
    w.screen.redrawNow = [&watch] { watch.look(); };
    ::testing::internal::CaptureStdout();
    w.breed(1, w.genomes[2], RANDOM_WEIGHT, MakeChildren);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(w.genomes.size(), 11u);
    EXPECT_EQ(w.creatures.size(), 11u);
    EXPECT_EQ(w.familyLinks.size(), links);
    EXPECT_EQ(watch.order, (std::vector<int>{1, 3, 5, 9, 10, 6, 4, 7, 8}));
    // Ids, positions and tree fields stay.
    EXPECT_EQ(w.genomes[3].id, 3);
    EXPECT_NEAR(w.genomes[3].position.x, 1.99962f, 1e-5f);
    EXPECT_EQ(w.genomes[1].firstChildId, 3);
    // Every changed creature is shown refined from its new genome.
    for (size_t i = 0; i < w.genomes.size(); ++i)
        EXPECT_EQ(polygonCount(w.creatures[i]), 4 * polygonCount(w.genomes[i])) << i;
}

TEST_F(Breeding, SelfBreedingAParentMutatesItAndRipples) {
    ScreenLog log;
    World w = breedableWorld(log);
    ::testing::internal::CaptureStdout();
    w.selfBreed(1, NONE_INDEX, NONE_INDEX);  // 1 -> 3, 4
    ChangeWatch watch;
    watch.arm(w);
    w.screen.redrawNow = [&watch] { watch.look(); };
    w.selfBreed(1, 3, 4);
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string last = out.substr(out.rfind("SB MYSELF"));
    EXPECT_EQ(last.substr(0, 12), "SB MYSELF:1\n");
    EXPECT_EQ(last.find("Self Breeding a Leaf"), std::string::npos);
    EXPECT_EQ(w.genomes.size(), 5u);
    // The mutated parent's display copy is stored before the first redraw of the ripple.
    EXPECT_EQ(watch.order, (std::vector<int>{1, 3, 4}));
}

TEST_F(Breeding, GenomesOfDifferentTopologyAreRefused) {
    ScreenLog log;
    World w = breedableWorld(log);
    Model other = w.genomes[0];
    other.positions.pop_back();
    const std::vector<Vec3> before = w.genomes[1].positions;
    ::testing::internal::CaptureStdout();
    w.breed(1, other, RANDOM_WEIGHT, MakeChildren);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(
        out,
        "Error! Cannot breed creature 1: the two meshes differ (different numbers of vertices)\n");
    EXPECT_EQ(w.genomes.size(), 3u);
    EXPECT_EQ(w.genomes[1].positions, before);
    EXPECT_FALSE(w.genomes[1].firstChild);
    EXPECT_EQ(w.nextCreatureId, 3);
    EXPECT_EQ(log.stepsBack, 0);
}

}  // namespace

namespace {

bool allFinite(const std::vector<Vec3>& v) {
    for (const Vec3& p : v) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
    }
    return true;
}

std::string invariantBroken(const World& w) {
    if (w.genomes.size() != w.creatures.size()) return "genomes and creatures differ in length";
    if (static_cast<size_t>(w.nextCreatureId) != w.genomes.size())
        return "nextCreatureId is not the count";
    size_t parents = 0;
    for (size_t i = 0; i < w.genomes.size(); ++i) {
        const Model& g = w.genomes[i];
        if (g.id != static_cast<int>(i) || w.creatures[i].id != static_cast<int>(i))
            return "id is not the index";
        if (g.firstChild != g.secondChild) return "a creature with one child";
        if (g.firstChild) {
            ++parents;
            for (int c : {g.firstChildId, g.secondChildId}) {
                if (c <= static_cast<int>(i) || static_cast<size_t>(c) >= w.genomes.size())
                    return "bad child id";
            }
        }
        if (!allFinite(g.positions) || !allFinite(w.creatures[i].positions) ||
            !allFinite(w.creatures[i].normals)) {
            return "non-finite position or normal in creature " + std::to_string(i);
        }
        if (w.creatures[i].normals.size() != w.creatures[i].positions.size())
            return "display normals missing";
    }
    if (w.familyLinks.size() != 2 * parents) return "not two links per parent";
    return {};
}

}  // namespace

// Random breedings and self-breedings with the invariants checked after each.
TEST_F(Breeding, SoakKeepsTheInvariants) {
    ScreenLog log;
    World w = breedableWorld(log);
    std::mt19937 rng(2026);
    std::time_t clock = kClock;
    chance::setClock([&clock] { return clock; });
    ::testing::internal::CaptureStdout();
    for (int step = 0; step < 300; ++step) {
        clock += static_cast<std::time_t>(rng() % 3);  // sometimes the same second, sometimes not
        std::uniform_int_distribution<int> pick(0, static_cast<int>(w.genomes.size()) - 1);
        const int a = pick(rng);
        if (rng() % 3 == 0) {
            const Model& g = w.genomes[static_cast<size_t>(a)];
            w.selfBreed(a, g.firstChild ? g.firstChildId : NONE_INDEX,
                        g.secondChild ? g.secondChildId : NONE_INDEX);
        } else {
            int b = pick(rng);
            if (b == a) b = (a + 1) % static_cast<int>(w.genomes.size());
            w.breed(a, w.genomes[static_cast<size_t>(b)], RANDOM_WEIGHT, MakeChildren);
        }
        const std::string broken = invariantBroken(w);
        if (!broken.empty()) {
            ::testing::internal::GetCapturedStdout();
            FAIL() << "step " << step << ": " << broken;
        }
    }
    ::testing::internal::GetCapturedStdout();
    EXPECT_GT(w.genomes.size(), 100u);
    RecordProperty("population", static_cast<int>(w.genomes.size()));
}

// Breeding replaces display copies in their own storage; records another model still holds are
// never written over, and records nobody else holds are used again.
TEST_F(Breeding, ReplacedDisplayCopiesReuseOnlyRecordsNothingElseHolds) {
    ScreenLog log;
    World w = breedableWorld(log);
    ::testing::internal::CaptureStdout();
    w.breed(1, w.genomes[0], RANDOM_WEIGHT, MakeChildren);  // 1 -> 3, 4

    World copy = w;  // shares every display copy's records with w
    std::vector<Model> before;
    for (const Model& c : copy.creatures)
        before.push_back(fixtures::deepCopy(c));
    w.breed(1, w.genomes[2], RANDOM_WEIGHT, MakeChildren);  // 1, 3 and 4 change in place
    ::testing::internal::GetCapturedStdout();
    for (size_t i = 0; i < copy.creatures.size(); ++i) {
        EXPECT_EQ(fixtures::compareTopology(copy.creatures[i], before[i]), "") << i;
        EXPECT_TRUE(fixtures::sameBits(copy.creatures[i].positions, before[i].positions)) << i;
        EXPECT_TRUE(fixtures::sameBits(copy.creatures[i].normals, before[i].normals)) << i;
        const bool bredAgain = i == 1 || i == 3 || i == 4;
        EXPECT_EQ(w.creatures[i].parts[0].arena != copy.creatures[i].parts[0].arena, bredAgain)
            << i;
    }

    // With the copy gone, the next replacement writes into the records it replaces.
    copy = World();
    const TopologyArena* records = w.creatures[3].parts[0].arena.get();
    ::testing::internal::CaptureStdout();
    w.breed(1, w.genomes[0], RANDOM_WEIGHT, MakeChildren);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(w.creatures[3].parts[0].arena.get(), records);
}
