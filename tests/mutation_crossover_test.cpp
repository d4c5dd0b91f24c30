#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <vector>

#include "creature/crossover.h"
#include "creature/mutation.h"
#include "subdiv/loop.h"
#include "tests/fixtures.h"
#include "view/chance.h"

namespace {

// Two closed parts (a tetrahedron each) and a third without polygons, built.
Model creature(float offset) {
    std::vector<Vec3> p = {{1, 1, 1}, {-1, -1, 1}, {-1, 1, -1}, {1, -1, -1}};
    for (Vec3& v : p)
        v = v + Vec3{offset, 0, 0};
    std::vector<Vec3> all = p;
    for (const Vec3& v : p)
        all.push_back(v * 0.5f);
    Model m = fixtures::makeModel(all, {{"head", {{0, 1, 3}, {0, 2, 1}, {0, 3, 2}, {1, 2, 3}}},
                                        {"torso", {{4, 5, 7}, {4, 6, 5}, {4, 7, 6}, {5, 6, 7}}},
                                        {"tail", {}}});
    fixtures::buildWithNormalsQuietly(m);
    return m;
}

// A fixed clock for the duration of a test.
class FixedClock : public ::testing::Test {
protected:
    void SetUp() override {
        chance::setClock([] { return std::time_t{1700000000}; });
    }
    void TearDown() override { chance::setClock({}); }
};

using Mutation = FixedClock;
using Crossover = FixedClock;

// Sets every half-edge's sharpness of m to base and every vertex's to 10 x base + its record
// index, so that values taken from the wrong record or the wrong parent show.
void setSharpness(Model& m, int base) {
    for (BodyPart& part : m.parts) {
        for (RecordIndex h : part.halfEdges)
            part.halfEdge(h).sharpness = base;
        for (RecordIndex v : part.vertices)
            part.vertex(v).sharpness = 10 * base + v;
    }
}

TEST_F(Mutation, ReseedingGivesEveryPartAndHalfEdgeTheSameDraws) {
    int oddCoinsWithThreeValues = 0;
    int unequalScales = 0;
    for (std::time_t t = 1700000000; t < 1700000040; ++t) {
        chance::setClock([t] { return t; });
        Model m = creature(0);
        setSharpness(m, 1);  // so that zeros have to be written
        mutate(m, 2);

        // Every reseed restarts the same sequence: the coin, then three more draws.
        const fixtures::MutationDraws draws =
            fixtures::replayMutationDraws(static_cast<unsigned>(t));
        const auto& [d, odd, s, edge, origin, target] = draws;
        oddCoinsWithThreeValues += odd && edge != origin && origin != target && edge != target;
        unequalScales += s.x != s.y && s.y != s.z && s.x != s.z;

        for (const BodyPart& part : m.parts) {
            EXPECT_EQ(part.partScale, s);  // the empty part too
            // Each vertex keeps what the last half-edge that starts or ends there wrote.
            std::map<RecordIndex, int> expected;
            for (RecordIndex h : part.halfEdges) {
                const HalfEdge& e = part.halfEdge(h);
                EXPECT_EQ(e.sharpness, edge);
                expected[e.origin] = origin;
                expected[e.target] = target;
            }
            for (const auto& [v, sharpness] : expected)
                EXPECT_EQ(part.vertex(v).sharpness, sharpness) << "vertex " << v;
        }
        EXPECT_EQ(m.pulseRate, static_cast<float>((1.0 / s.x) * 0.005));
        EXPECT_GE(m.pulseRate, 0.0033f);
        EXPECT_LE(m.pulseRate, 0.01f);
        // The last part has no half-edges: its reseed and four draws come just before the phase.
        EXPECT_EQ(m.pulsePhase, static_cast<float>((d[4] % 10) * 0.01 + 2 + 0.001));
    }
    EXPECT_GT(oddCoinsWithThreeValues, 0);
    EXPECT_GT(unequalScales, 0);
}

// Every kind of part mutation meets: closed (an icosahedron), open (a fan), without polygons,
// and with half-edges whose links a subdivision step has left blank (no vertices to write).
Model everyKindOfPart() {
    Model m = fixtures::icosahedron();
    const Model fan = fixtures::openFan(7);
    const auto base = static_cast<int32_t>(m.positions.size());
    m.positions.insert(m.positions.end(), fan.positions.begin(), fan.positions.end());
    BodyPart rim = fan.parts[0];
    for (Polygon& polygon : rim.polygons) {
        for (Corner& c : polygon)
            c.positionIndex += base;
    }
    m.parts.push_back(rim);
    m.parts.emplace_back("tail");
    fixtures::buildWithNormalsQuietly(m);
    Model unlinked = fixtures::tetrahedron();
    fixtures::buildQuietly(unlinked);
    ::testing::internal::CaptureStdout();
    m.parts.push_back(subdivide(unlinked).parts[0]);
    ::testing::internal::GetCapturedStdout();
    return m;
}

TEST_F(Mutation, AClockThatTicksGivesEachPartAndHalfEdgeTheDrawsOfItsOwnSecond) {
    const Model shape = everyKindOfPart();
    ASSERT_EQ(shape.parts[3].vertices.size(), 0u);
    int oddCoins = 0, evenCoins = 0, finerSteps = 0, vertexClearedAfterACrease = 0;
    for (std::time_t start = 1700000000; start < 1700000300; ++start) {
        std::time_t now = start;
        chance::setClock([&now] { return now++; });
        Model m = shape;
        setSharpness(m, 1);
        const int slot = start % 2 == 0 ? 1 : 2;
        mutate(m, slot);

        // One second for each part's scale, then one for each of its half-edges; the phase is
        // the draw after the last second's.
        std::time_t t = start;
        for (const BodyPart& part : m.parts) {
            chance::seed(static_cast<unsigned>(t++));
            const double step = chance::draw() % 2 == 0 ? 0.01 : 1.0 / 150.0;
            finerSteps += step < 0.01;
            Vec3 scale;
            for (float* c : {&scale.x, &scale.y, &scale.z})
                *c = static_cast<float>((chance::draw() % 100) * step + 0.5);
            EXPECT_EQ(part.partScale, scale) << start << " " << part.name;

            std::map<RecordIndex, int> expected;  // the last value written to each vertex
            std::map<RecordIndex, bool> creased;  // whether a non-zero value was written before
            for (RecordIndex h : part.halfEdges) {
                chance::seed(static_cast<unsigned>(t++));
                const bool odd = chance::draw() % 1000 % 2 == 1;
                (odd ? oddCoins : evenCoins) += 1;
                int values[3] = {0, 0, 0};
                if (odd) {
                    for (int& v : values)
                        v = chance::draw() % 4;
                }
                const HalfEdge& e = part.halfEdge(h);
                EXPECT_EQ(e.sharpness, values[0]) << start << " " << part.name << " " << h;
                if (e.origin == NONE_INDEX) continue;
                for (const auto& [v, value] :
                     {std::pair{e.origin, values[1]}, {e.target, values[2]}}) {
                    vertexClearedAfterACrease += value == 0 && creased[v];
                    creased[v] = creased[v] || value != 0;
                    expected[v] = value;
                }
            }
            for (const auto& [v, sharpness] : expected)
                EXPECT_EQ(part.vertex(v).sharpness, sharpness) << start << " vertex " << v;
        }
        EXPECT_EQ(m.pulseRate, static_cast<float>((1.0 / m.parts[0].partScale.x) * 0.005));
        EXPECT_EQ(m.pulsePhase, static_cast<float>((chance::draw() % 10) * 0.01 + slot + 0.001))
            << start;
    }
    EXPECT_GT(oddCoins, 1000);
    EXPECT_GT(evenCoins, 1000);
    EXPECT_GT(finerSteps, 100);
    EXPECT_GT(vertexClearedAfterACrease, 1000);
}

TEST_F(Mutation, SameSecondSameResultAndSlotSetsThePhase) {
    Model a = creature(0), b = creature(0);
    mutate(a, 2);
    mutate(b, 2);
    for (size_t i = 0; i < a.parts.size(); ++i)
        EXPECT_EQ(a.parts[i].partScale, b.parts[i].partScale);
    for (size_t j = 0; j < a.parts[0].halfEdges.size(); ++j) {
        EXPECT_EQ(a.parts[0].halfEdge(a.parts[0].halfEdges[j]).sharpness,
                  b.parts[0].halfEdge(b.parts[0].halfEdges[j]).sharpness);
    }
    EXPECT_GE(a.pulsePhase, 2.001f);
    EXPECT_LE(a.pulsePhase, 2.091f + 1e-6f);
    EXPECT_EQ(a.auxFactor, 0.1f);

    // Sharpness lives in the shared records: a copy sees what the mutation wrote.
    Model c = creature(0);
    const Model copy = c;
    chance::setClock([] { return std::time_t{1700000001}; });  // an odd first draw: creases
    for (std::time_t t = 1700000001;; ++t) {
        chance::seed(static_cast<unsigned>(t));
        if (chance::draw() % 2 == 1) {
            chance::setClock([t] { return t; });
            break;
        }
    }
    mutate(c, 1);
    for (size_t j = 0; j < c.parts[0].halfEdges.size(); ++j) {
        EXPECT_EQ(copy.parts[0].halfEdge(copy.parts[0].halfEdges[j]).sharpness,
                  c.parts[0].halfEdge(c.parts[0].halfEdges[j]).sharpness);
    }
    EXPECT_EQ(copy.parts[0].partScale, (Vec3{1, 1, 1}));  // part transforms are not shared
}

TEST(MutationWithoutParts, KeepsThePulseRate) {
    Model m;
    m.pulseRate = 0.25f;
    mutate(m, 1);
    EXPECT_EQ(m.pulseRate, 0.25f);
    EXPECT_GE(m.pulsePhase, 1.001f);
}

TEST(DrawWeight, StaysInsideAndMovesTheEnds) {
    bool saw20 = false, saw80 = false;
    for (unsigned seed = 0; seed < 3000; ++seed) {
        chance::seed(seed);
        const int d = chance::draw() % 100;
        chance::seed(seed);
        const float w = drawWeight();
        EXPECT_GE(w, 0.21f - 1e-6f);
        EXPECT_LE(w, 0.79f + 1e-6f);
        if (d == 20 || d == 80) {
            EXPECT_EQ(w, 0.5f) << d;
            (d == 20 ? saw20 : saw80) = true;
        }
        if (d == 21) {
            EXPECT_EQ(w, 0.21f);
        } else if (d == 0) {
            EXPECT_EQ(w, 0.3f);
        } else if (d == 99) {
            EXPECT_EQ(w, static_cast<float>(0.99 - 0.3));
        }
    }
    EXPECT_TRUE(saw20 && saw80);
}

TEST_F(Crossover, WeightOneIsTheFirstParentAndZeroTheSecond) {
    // Every component differs between the parents and from its neighbours.
    Model a = creature(0), b = creature(3);
    a.scale = 2.0f;
    a.parts[0].colour = {0.5f, 0.25f, 0.125f};
    a.parts[0].partOffset = {1, 2, 3};
    a.parts[0].partScale = {1.25f, 0.5f, 4.0f};
    a.id = 5;
    a.position = {7, 8, 9};
    a.generation = 3;
    a.centre = {1, 2, 3};
    b.scale = 0.5f;
    b.parts[0].colour = {0.75f, 0.375f, 1.0f};
    b.parts[0].partOffset = {-4, 5, -6};
    b.parts[0].partScale = {2, 4, 8};
    b.id = 6;
    b.position = {-1, -1, -1};

    Model k = crossover(a, b, 1.0f, 1, true);
    EXPECT_EQ(k.scale, 2.0f);
    EXPECT_EQ(k.scaleSquared, 4.0f);
    EXPECT_EQ(k.parts[0].colour, a.parts[0].colour);
    EXPECT_EQ(k.parts[0].partOffset, a.parts[0].partOffset);
    EXPECT_EQ(k.parts[0].partScale, a.parts[0].partScale);
    EXPECT_EQ(k.positions, a.positions);
    EXPECT_EQ(k.centre, (Vec3{0, 0, 0}));
    EXPECT_EQ(k.pulseRate, static_cast<float>(0.005 / 1.25));  // from the x component

    k = crossover(a, b, 0.0f, 2, true);
    EXPECT_EQ(k.scale, 0.5f);
    EXPECT_EQ(k.scaleSquared, 0.25f);
    EXPECT_EQ(k.parts[0].colour, b.parts[0].colour);
    EXPECT_EQ(k.parts[0].partOffset, b.parts[0].partOffset);
    EXPECT_EQ(k.parts[0].partScale, b.parts[0].partScale);
    EXPECT_EQ(k.positions, b.positions);
    EXPECT_EQ(k.id, 5);
    EXPECT_EQ(k.position, a.position);
    EXPECT_EQ(k.generation, 3);
    EXPECT_EQ(k.normals, Model(a).normals);  // normals are not blended
    EXPECT_EQ(k.pulseRate, static_cast<float>(0.005 / 2.0));
    EXPECT_GE(k.pulsePhase, 2.001f);
    EXPECT_EQ(k.auxFactor, 0.1f);

    // A share between the two: a quarter of a, three quarters of b.
    k = crossover(a, b, 0.25f, 1, true);
    EXPECT_EQ(k.scale, 0.875f);
    EXPECT_EQ(k.parts[0].partOffset, (Vec3{-2.75f, 4.25f, -3.75f}));
    EXPECT_EQ(k.positions[0], a.positions[0] * 0.25f + b.positions[0] * 0.75f);
}

TEST_F(Crossover, RotationBlendsAsFourNumbers) {
    Model a = creature(0), b = creature(0);
    a.parts[1].partAngle = 90;
    a.parts[1].partAxis = {0, 1, 0};
    b.parts[1].partAngle = 0;
    b.parts[1].partAxis = {1, 0, 0};
    Model k = crossover(a, b, 0.5f, 1, true);
    EXPECT_EQ(k.parts[1].partAngle, 45.0f);
    EXPECT_EQ(k.parts[1].partAxis, (Vec3{0.5f, 0.5f, 0.0f}));
    a.parts[1].partAxis = {0, 1, 0.5f};
    k = crossover(a, b, 0.25f, 1, true);
    EXPECT_EQ(k.parts[1].partAngle, 22.5f);
    EXPECT_EQ(k.parts[1].partAxis, (Vec3{0.75f, 0.25f, 0.125f}));
}

// The half-edge and vertex sharpness values of a built model's records, which all its parts
// share, by record index.
struct Sharpness {
    std::vector<int> edges;
    std::vector<int> vertices;
    friend bool operator==(const Sharpness&, const Sharpness&) = default;
};

Sharpness sharpnessOf(const Model& m) {
    Sharpness s;
    for (const HalfEdge& e : m.parts[0].arena->halfEdges)
        s.edges.push_back(e.sharpness);
    for (const MeshVertex& v : m.parts[0].arena->vertices)
        s.vertices.push_back(v.sharpness);
    return s;
}

TEST_F(Crossover, CoinsPickDonorsInOrderThenPhaseThenMutation) {
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
        Model a = creature(0), b = creature(1);
        ASSERT_EQ(a.parts[1].arena, a.parts[0].arena);
        setSharpness(a, 1);
        setSharpness(b, 2);
        // Replay the draws: one coin per half-edge, parts in order, then the phase. Each
        // half-edge takes its own and its two ends' values from the donor as they stand then: k
        // writes into the records it shares with a, where later half-edges may read them.
        chance::seed(seed);
        Sharpness expected = sharpnessOf(a);
        const Sharpness fromB = sharpnessOf(b);
        for (const BodyPart& part : a.parts) {
            for (RecordIndex h : part.halfEdges) {
                const Sharpness& donor = chance::draw() % 100 % 2 == 0 ? expected : fromB;
                const HalfEdge& e = part.halfEdge(h);
                const auto o = static_cast<size_t>(e.origin), t = static_cast<size_t>(e.target);
                const int edge = donor.edges[static_cast<size_t>(h)];
                const int origin = donor.vertices[o], target = donor.vertices[t];
                expected.edges[static_cast<size_t>(h)] = edge;
                expected.vertices[o] = origin;
                expected.vertices[t] = target;
            }
        }
        const int phase = chance::draw() % 10;
        const int m = chance::draw() % 1000;

        chance::seed(seed);
        Model k = crossover(a, b, 0.5f, 1, false);
        EXPECT_TRUE(sharpnessOf(k) == expected) << "seed " << seed;
        EXPECT_TRUE(sharpnessOf(a) == expected);  // the same records
        EXPECT_EQ(k.pulsePhase, static_cast<float>(phase * 0.01 + 1 + 0.001));
        EXPECT_EQ(chance::draw() % 1000, m);  // the mutation draw comes next
    }
}

TEST_F(Crossover, ReseedingWithinOneSecondGivesOneDonor) {
    bool seen[2] = {false, false};
    for (std::time_t t = 1700000000; t < 1700000010; ++t) {
        chance::setClock([t] { return t; });
        Model a = creature(0), b = creature(1);
        setSharpness(a, 1);
        setSharpness(b, 3);
        const Sharpness before[2] = {sharpnessOf(a), sharpnessOf(b)};
        const Model k = crossover(a, b, 0.5f, 1, true);
        chance::seed(static_cast<unsigned>(t));
        const int donor = chance::draw() % 2;
        seen[donor] = true;
        // Every record of k (the closed parts are wholly covered) holds the donor's value.
        EXPECT_TRUE(sharpnessOf(k) == before[donor]) << t;
    }
    EXPECT_TRUE(seen[0] && seen[1]);
}

TEST_F(Crossover, MutationChanceIsTheWindow556To665) {
    std::map<int, unsigned> seedFor;
    for (unsigned seed = 0; seedFor.size() < 4 && seed < 2000000; ++seed) {
        chance::seed(seed);
        const int m = chance::draw() % 1000;
        if (m == 555 || m == 556 || m == 665 || m == 666) seedFor.emplace(m, seed);
    }
    ASSERT_EQ(seedFor.size(), 4u);
    for (const auto& [m, seed] : seedFor) {
        Model k = creature(0);
        chance::seed(seed);
        mutationChance(k, 2);
        const bool mutated = k.pulsePhase >= 2.0f;
        EXPECT_EQ(mutated, m == 556 || m == 665) << m;
    }
}

TEST(CrossoverTopology, MismatchesAreNamed) {
    const Model a = creature(0);
    EXPECT_EQ(topologyMismatch(a, creature(2)), "");
    const std::pair<const char*, std::function<void(Model&)>> partners[] = {
        {"different numbers of vertices", [](Model& m) { m.positions.pop_back(); }},
        {"different numbers of body parts", [](Model& m) { m.parts.pop_back(); }},
        {"different faces in part 0",
         [](Model& m) { m.parts[0].polygons[0][0].positionIndex = 3; }},
        {"different faces in part 1", [](Model& m) { m.parts[1].polygons[2].push_back(Corner{}); }},
        {"different numbers of faces in part 1", [](Model& m) { m.parts[1].polygons.pop_back(); }},
        {"different half-edges in part 1", [](Model& m) { m.parts[1].halfEdges.pop_back(); }},
        {"part 0 has no topology", [](Model& m) { m.parts[0].arena = nullptr; }},
    };
    for (const auto& [named, spoil] : partners) {
        Model b = a;
        spoil(b);
        EXPECT_EQ(topologyMismatch(a, b), named);
    }
}

}  // namespace
