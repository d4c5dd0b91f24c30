#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <map>

#include "creature/crossover.h"
#include "creature/mutation.h"
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

TEST_F(Mutation, ReseedingGivesEveryPartAndHalfEdgeTheSameOutcome) {
    for (std::time_t t = 1700000000; t < 1700000040; ++t) {
        chance::setClock([t] { return t; });
        Model m = creature(0);
        mutate(m, 1);
        const Vec3 s = m.parts[0].partScale;
        for (const BodyPart& part : m.parts)
            EXPECT_EQ(part.partScale, s);  // the empty part too

        // The parity that chose the step also chose the sharpness outcome.
        chance::seed(static_cast<unsigned>(t));
        const bool even = chance::draw() % 2 == 0;
        const float step = even ? 0.01f : 1.0f / 150.0f;
        for (float c : {s.x, s.y, s.z}) {
            EXPECT_GE(c, 0.5f);
            EXPECT_LE(c, even ? 1.49f + 1e-6f : 1.16f + 1e-6f);
            const float units = (c - 0.5f) / step;
            EXPECT_NEAR(units, std::round(units), 1e-3f);
        }
        const HalfEdge& first = m.parts[0].halfEdge(m.parts[0].halfEdges[0]);
        for (const BodyPart& part : m.parts) {
            for (RecordIndex h : part.halfEdges) {
                const HalfEdge& e = part.halfEdge(h);
                EXPECT_EQ(e.sharpness, first.sharpness);
                if (even) {
                    EXPECT_EQ(e.sharpness, 0);
                    EXPECT_EQ(part.vertex(e.origin).sharpness, 0);
                }
                EXPECT_GE(e.sharpness, 0);
                EXPECT_LE(e.sharpness, 3);
            }
        }
        EXPECT_EQ(m.pulseRate, static_cast<float>((1.0 / s.x) * 0.005));
        EXPECT_GE(m.pulseRate, 0.0033f);
        EXPECT_LE(m.pulseRate, 0.01f);
    }
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
    Model a = creature(0), b = creature(3);
    a.scale = 2.0f;
    a.parts[0].colour = {1, 0, 0};
    a.parts[0].partOffset = {1, 2, 3};
    a.id = 5;
    a.position = {7, 8, 9};
    a.generation = 3;
    b.scale = 0.5f;
    b.parts[0].colour = {0, 0, 1};
    b.parts[0].partScale = {2, 2, 2};
    b.id = 6;
    b.position = {-1, -1, -1};

    Model k = crossover(a, b, 1.0f, 1, true);
    EXPECT_EQ(k.scale, 2.0f);
    EXPECT_EQ(k.scaleSquared, 4.0f);
    EXPECT_EQ(k.parts[0].colour, a.parts[0].colour);
    EXPECT_EQ(k.parts[0].partOffset, a.parts[0].partOffset);
    EXPECT_EQ(k.positions, a.positions);
    EXPECT_EQ(k.centre, (Vec3{0, 0, 0}));

    k = crossover(a, b, 0.0f, 2, true);
    EXPECT_EQ(k.scale, 0.5f);
    EXPECT_EQ(k.parts[0].colour, b.parts[0].colour);
    EXPECT_EQ(k.parts[0].partScale, b.parts[0].partScale);
    EXPECT_EQ(k.positions, b.positions);
    EXPECT_EQ(k.id, 5);
    EXPECT_EQ(k.position, a.position);
    EXPECT_EQ(k.generation, 3);
    EXPECT_EQ(k.normals, Model(a).normals);  // normals are not blended
    EXPECT_EQ(k.pulseRate, static_cast<float>(0.005 / k.parts[0].partScale.x));
    EXPECT_GE(k.pulsePhase, 2.001f);
}

TEST_F(Crossover, RotationBlendsAsFourNumbers) {
    Model a = creature(0), b = creature(0);
    a.parts[1].partAngle = 90;
    a.parts[1].partAxis = {0, 1, 0};
    b.parts[1].partAngle = 0;
    b.parts[1].partAxis = {1, 0, 0};
    const Model k = crossover(a, b, 0.5f, 1, true);
    EXPECT_EQ(k.parts[1].partAngle, 45.0f);
    EXPECT_EQ(k.parts[1].partAxis, (Vec3{0.5f, 0.5f, 0.0f}));
}

// Sets every half-edge and vertex sharpness of m to value.
void setSharpness(Model& m, int value) {
    for (BodyPart& part : m.parts) {
        for (RecordIndex h : part.halfEdges)
            part.halfEdge(h).sharpness = value;
        for (RecordIndex v : part.vertices)
            part.vertex(v).sharpness = value + 10;
    }
}

TEST_F(Crossover, CoinsPickDonorsInOrderThenPhaseThenMutation) {
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
        Model a = creature(0), b = creature(1);
        setSharpness(a, 1);
        setSharpness(b, 2);
        // Replay the draws: one coin per half-edge, parts in order, then the phase.
        chance::seed(seed);
        std::vector<int> expected;
        for (const BodyPart& part : a.parts) {
            for (size_t j = 0; j < part.halfEdges.size(); ++j)
                expected.push_back(chance::draw() % 100 % 2 == 0 ? 1 : 2);
        }
        const int phase = chance::draw() % 10;
        const int m = chance::draw() % 1000;

        chance::seed(seed);
        Model k = crossover(a, b, 0.5f, 1, false);
        std::vector<int> got;
        for (const BodyPart& part : k.parts) {
            for (RecordIndex h : part.halfEdges)
                got.push_back(part.halfEdge(h).sharpness);
        }
        EXPECT_EQ(got, expected);
        EXPECT_EQ(k.pulsePhase, static_cast<float>(phase * 0.01 + 1 + 0.001));
        EXPECT_EQ(chance::draw() % 1000, m);  // the mutation draw comes next
        // The writes landed in the records k shares with a.
        EXPECT_EQ(a.parts[0].halfEdge(a.parts[0].halfEdges[0]).sharpness, expected[0]);
    }
}

TEST_F(Crossover, ReseedingWithinOneSecondGivesOneDonor) {
    Model a = creature(0), b = creature(1);
    setSharpness(a, 1);
    setSharpness(b, 3);
    const Model k = crossover(a, b, 0.5f, 1, true);
    const int first = k.parts[0].halfEdge(k.parts[0].halfEdges[0]).sharpness;
    for (const BodyPart& part : k.parts) {
        for (RecordIndex h : part.halfEdges) {
            EXPECT_EQ(part.halfEdge(h).sharpness, first);
            EXPECT_EQ(part.vertex(part.halfEdge(h).origin).sharpness, first + 10);
        }
    }
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
    Model fewer = a;
    fewer.positions.pop_back();
    EXPECT_NE(topologyMismatch(a, fewer), "");
    Model partless = a;
    partless.parts.pop_back();
    EXPECT_NE(topologyMismatch(a, partless), "");
    Model other = a;
    other.parts[0].polygons[0][0].positionIndex = 3;
    EXPECT_NE(topologyMismatch(a, other), "");
}

}  // namespace
