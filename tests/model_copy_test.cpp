#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/fixtures.h"

namespace {

// Fills m (default-constructed) with a built model whose every field differs from the defaults
// and, for another k, from the other model's: k = 1 is a source, k = 2 a target with one more
// polygon, one more part and its own face normals, so that anything taken from the wrong side,
// or not taken, shows.
void fill(Model& m, int k) {
    const float f = static_cast<float>(k);
    std::vector<fixtures::PartLayout> layout = {
        {"head", {{0, 1, 3}, {0, 2, 1}, {0, 3, 2}, {1, 2, 3}}}, {"torso", {{4, 5, 6}}}};
    if (k == 2) {
        layout[0].polygons.push_back({4, 6, 5});
        layout.push_back({"tail", {{0, 5, 6}}});
    }
    m = fixtures::makeModel(
        {{f, 1, 1}, {-1, -f, 1}, {-1, 1, -f}, {1, -1, -1}, {2, 0, 0}, {3 * f, 0, 0}, {2, f, 0}},
        layout);
    fixtures::buildWithNormalsQuietly(m);
    m.firstChild = m.secondChild = k == 1;
    m.firstChildId = 10 * k + 1;
    m.secondChildId = 10 * k + 2;
    m.generation = -3 * k;
    m.childSlot = k;
    m.branchAngle = 100.0f + f;
    m.id = 20 + k;
    m.rotationAngle = 30.0f * f;
    m.rotationAxis = {0.1f * f, 0.2f * f, 0.3f * f};
    m.position = {f, 2 * f, 3 * f};
    m.scale = 1.5f * f;
    m.scaleSquared = m.scale * m.scale;
    m.pulseRate = 0.004f * f;
    m.auxFactor = 0.3f * f;
    m.pulsePhase = 1.05f * f;
    m.subdivisionLevel = 2 * k;
    m.centre = {0.1f * f, -0.2f * f, 0.3f * f};
    m.texCoords = {{f, f}};
    m.sourcePath = std::to_string(k) + ".obj";
    for (size_t i = 0; i < m.parts.size(); ++i) {
        BodyPart& p = m.parts[i];
        const float g = f + 0.5f * static_cast<float>(i);
        p.colour = {0.1f * g, 0.2f * g, 0.3f * g};
        p.partScale = {1.1f * g, 1.2f * g, 1.3f * g};
        p.partOffset = {g, -g, 2 * g};
        p.partAngle = 15.0f * g;
        p.partAxis = {g, 0.5f, -g};
        if (k == 2) p.faceNormals.assign(p.faceNormals.size(), Vec3{f, 0, 0});
    }
}

// The source's normals as a copy carries them: none, or one per position (zero where missing).
std::vector<Vec3> onePerPosition(const Model& source) {
    std::vector<Vec3> out;
    if (source.normals.empty()) return out;
    for (size_t i = 0; i < source.positions.size(); ++i)
        out.push_back(i < source.normals.size() ? source.normals[i] : Vec3{});
    return out;
}

void expectCreatureFieldsEqual(const Model& a, const Model& b) {
    EXPECT_EQ(a.firstChild, b.firstChild);
    EXPECT_EQ(a.secondChild, b.secondChild);
    EXPECT_EQ(a.firstChildId, b.firstChildId);
    EXPECT_EQ(a.secondChildId, b.secondChildId);
    EXPECT_EQ(a.generation, b.generation);
    EXPECT_EQ(a.childSlot, b.childSlot);
    EXPECT_EQ(a.branchAngle, b.branchAngle);
    EXPECT_EQ(a.id, b.id);
    EXPECT_EQ(a.rotationAngle, b.rotationAngle);
    EXPECT_EQ(a.rotationAxis, b.rotationAxis);
    EXPECT_EQ(a.position, b.position);
    EXPECT_EQ(a.scale, b.scale);
    EXPECT_EQ(a.scaleSquared, b.scaleSquared);
    EXPECT_EQ(a.pulseRate, b.pulseRate);
    EXPECT_EQ(a.auxFactor, b.auxFactor);
    EXPECT_EQ(a.pulsePhase, b.pulsePhase);
    EXPECT_EQ(a.centre, b.centre);
}

// got holds every field of `from` (values) and refers to the records of `arena` (identity).
void expectPartTaken(const BodyPart& got, const BodyPart& from, const TopologyArena* arena,
                     const std::vector<Vec3>& faceNormals) {
    EXPECT_EQ(got.colour, from.colour);
    EXPECT_EQ(got.partScale, from.partScale);
    EXPECT_EQ(got.partOffset, from.partOffset);
    EXPECT_EQ(got.partAngle, from.partAngle);
    EXPECT_EQ(got.partAxis, from.partAxis);
    EXPECT_EQ(got.halfEdges, from.halfEdges);
    EXPECT_EQ(got.faces, from.faces);
    EXPECT_EQ(got.vertices, from.vertices);
    EXPECT_EQ(got.name, from.name);
    EXPECT_EQ(got.polygons, from.polygons);
    EXPECT_EQ(got.arena.get(), arena);
    EXPECT_EQ(got.faceNormals, faceNormals);
}

std::vector<const TopologyArena*> arenasOf(const Model& m) {
    std::vector<const TopologyArena*> out;
    for (const BodyPart& p : m.parts)
        out.push_back(p.arena.get());
    return out;
}

enum class Operation { CopyConstruct, CopyAssign, MoveConstruct, MoveAssign };
constexpr Operation OPERATIONS[] = {Operation::CopyConstruct, Operation::CopyAssign,
                                    Operation::MoveConstruct, Operation::MoveAssign};

// Sources with more normals than positions (computeNormals appends three per triangle), none,
// and fewer.
void setNormalCount(Model& m, int variant) {
    if (variant == 1) m.normals.clear();
    if (variant == 2) m.normals.resize(2);
}

TEST(ModelCopy, CopiesAndMovesTakeEveryFieldTheyShouldAndNoOther) {
    for (int variant = 0; variant < 3; ++variant) {
        for (Operation op : OPERATIONS) {
            SCOPED_TRACE(::testing::Message() << "normals variant " << variant << ", operation "
                                              << static_cast<int>(op));
            Model reference, source, target;
            fill(reference, 1);
            fill(source, 1);
            fill(target, 2);
            setNormalCount(reference, variant);
            setNormalCount(source, variant);
            ASSERT_FALSE(source.parts[0].faceNormals.empty());
            const std::vector<const TopologyArena*> arenas = arenasOf(source);

            std::optional<Model> made;
            switch (op) {
                case Operation::CopyConstruct:
                    made.emplace(std::as_const(source));
                    break;
                case Operation::CopyAssign:
                    target = source;
                    break;
                case Operation::MoveConstruct:
                    made.emplace(std::move(source));
                    break;
                case Operation::MoveAssign:
                    target = std::move(source);
                    break;
            }
            const bool assigned = !made.has_value();
            const Model& result = assigned ? target : *made;

            ASSERT_EQ(result.parts.size(), reference.parts.size());
            for (size_t i = 0; i < reference.parts.size(); ++i)
                expectPartTaken(result.parts[i], reference.parts[i], arenas[i], {});
            EXPECT_EQ(result.positions, reference.positions);
            EXPECT_EQ(result.normals, onePerPosition(reference));
            expectCreatureFieldsEqual(result, reference);
            EXPECT_EQ(result.subdivisionLevel, assigned ? 4 : 0);
            EXPECT_EQ(result.sourcePath, assigned ? "2.obj" : "");
            ASSERT_EQ(result.texCoords.size(), assigned ? 1u : 0u);
            if (assigned) {
                EXPECT_EQ(result.texCoords[0].u, 2.0f);
            }
        }
    }
}

TEST(ModelCopy, PartCopiesShareTheRecordsAndOnlyAssignmentsKeepTheirFaceNormals) {
    for (Operation op : OPERATIONS) {
        SCOPED_TRACE(static_cast<int>(op));
        Model reference, source, target;
        fill(reference, 1);
        fill(source, 1);
        fill(target, 2);
        BodyPart& from = source.parts[1];
        BodyPart& to = target.parts[1];
        const TopologyArena* arena = from.arena.get();
        const std::vector<Vec3> targetFaceNormals = to.faceNormals;
        ASSERT_FALSE(from.faceNormals.empty());
        ASSERT_NE(from.faceNormals, targetFaceNormals);

        switch (op) {
            case Operation::CopyConstruct: {
                const BodyPart made(std::as_const(from));
                expectPartTaken(made, reference.parts[1], arena, {});
                break;
            }
            case Operation::MoveConstruct: {
                const BodyPart made(std::move(from));
                expectPartTaken(made, reference.parts[1], arena, {});
                break;
            }
            case Operation::CopyAssign:
                to = from;
                expectPartTaken(to, reference.parts[1], arena, targetFaceNormals);
                break;
            case Operation::MoveAssign:
                to = std::move(from);
                expectPartTaken(to, reference.parts[1], arena, targetFaceNormals);
                break;
        }
    }
}

TEST(ModelCopy, AssigningAModelToItselfChangesNothing) {
    Model self, reference;
    fill(self, 1);
    fill(reference, 1);
    Model& alias = self;
    self = alias;
    ASSERT_EQ(self.parts.size(), reference.parts.size());
    EXPECT_EQ(self.positions, reference.positions);
    EXPECT_EQ(self.parts[0].polygons, reference.parts[0].polygons);
    expectCreatureFieldsEqual(self, reference);
}

TEST(ModelCopy, AccessorsReturnCopies) {
    Model n;
    fill(n, 1);
    BodyPart part = n.getPart(0);
    part.name = "changed";
    Polygon p = n.getPolygon(0, 0);
    p[0].positionIndex = 99;
    EXPECT_EQ(n.parts[0].getName(), "head");
    EXPECT_EQ(n.parts[0].polygons[0][0].positionIndex, 0);
    EXPECT_EQ(n.parts[0].getPolygon(0)[0].positionIndex, 0);
}

}  // namespace
