#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "creature/world.h"
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

TEST(World, RefineForDisplayCountsItsOwnLevel) {
    World w;
    Model m = loadedWorld().genomes[0];
    m.subdivisionLevel = 5;
    ::testing::internal::CaptureStdout();
    w.refineForDisplay(m);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(m.subdivisionLevel, 6);
    EXPECT_EQ(polygonCount(m), 4 * polygonCount(loadedWorld().genomes[0]));
    EXPECT_EQ(m.normals.size(), m.positions.size());
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
