#include <gtest/gtest.h>

#include "tests/fixtures.h"

namespace {

Model builtWithNormals() {
    Model m = fixtures::tetrahedron();
    fixtures::buildWithNormalsQuietly(m);
    m.sourcePath = "tetra.obj";
    m.subdivisionLevel = 3;
    m.texCoords.push_back({0.5f, 0.5f});
    m.id = 4;
    m.generation = -2;
    m.childSlot = 2;
    m.branchAngle = 120.0f;
    m.firstChild = true;
    m.firstChildId = 9;
    m.position = {1, 2, 3};
    m.scale = 1.5f;
    m.scaleSquared = 2.25f;
    m.pulseRate = 0.004f;
    m.pulsePhase = 2.05f;
    m.centre = {0.1f, 0.2f, 0.3f};
    m.parts[0].colour = {0.5f, 0.25f, 0.125f};
    m.parts[0].partAngle = 30.0f;
    return m;
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

TEST(ModelCopy, CopyTakesGeometryAndTraitsButNotLevelPathOrFaceNormals) {
    const Model source = builtWithNormals();
    const Model copy(source);
    EXPECT_EQ(copy.subdivisionLevel, 0);
    EXPECT_TRUE(copy.sourcePath.empty());
    EXPECT_TRUE(copy.texCoords.empty());
    EXPECT_EQ(copy.positions, source.positions);
    ASSERT_EQ(copy.parts.size(), 1u);
    EXPECT_TRUE(copy.parts[0].faceNormals.empty());
    EXPECT_EQ(copy.parts[0].polygons, source.parts[0].polygons);
    EXPECT_EQ(copy.parts[0].colour, source.parts[0].colour);
    EXPECT_EQ(copy.parts[0].partAngle, 30.0f);
    expectCreatureFieldsEqual(copy, source);
    // The same records, not equal ones.
    EXPECT_EQ(copy.parts[0].arena, source.parts[0].arena);
    EXPECT_EQ(copy.parts[0].vertices, source.parts[0].vertices);
}

TEST(ModelCopy, OneNormalPerPositionOrNone) {
    Model source = builtWithNormals();
    // computeNormals appended 12 entries (normalSlot -1) for 4 positions: only 4 travel.
    ASSERT_EQ(source.normals.size(), 12u);
    EXPECT_EQ(Model(source).normals,
              std::vector<Vec3>(source.normals.begin(), source.normals.begin() + 4));
    source.normals.clear();
    EXPECT_TRUE(Model(source).normals.empty());
    // Fewer normals than positions: the missing ones become zero vectors.
    source.normals = {{0, 0, 1}};
    EXPECT_EQ(Model(source).normals,
              (std::vector<Vec3>{{0, 0, 1}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}));
}

TEST(ModelCopy, AssignmentKeepsTheTargetsLevelPathAndTexCoords) {
    const Model b = builtWithNormals();
    Model a;
    a.subdivisionLevel = 1;
    a.sourcePath = "mine.obj";
    a.texCoords = {{1, 1}, {2, 2}};
    a = b;
    EXPECT_EQ(a.subdivisionLevel, 1);
    EXPECT_EQ(a.sourcePath, "mine.obj");
    EXPECT_EQ(a.texCoords.size(), 2u);
    EXPECT_EQ(a.parts[0].arena, b.parts[0].arena);
    EXPECT_TRUE(a.parts[0].faceNormals.empty());
    expectCreatureFieldsEqual(a, b);

    // Assigning a model to itself changes nothing.
    Model self = builtWithNormals();
    const auto positions = self.positions;
    Model& alias = self;
    self = alias;
    EXPECT_EQ(self.positions, positions);
    EXPECT_EQ(self.parts.size(), 1u);
}

TEST(ModelCopy, MovesGiveWhatCopiesGive) {
    const Model source = builtWithNormals();
    Model toMove = source;
    toMove.subdivisionLevel = 5;
    toMove.sourcePath.assign(3, 'x');
    toMove.parts[0].faceNormals = {{1, 0, 0}};
    const Model copied(toMove);
    const Model moved(std::move(toMove));
    EXPECT_EQ(moved.subdivisionLevel, copied.subdivisionLevel);
    EXPECT_EQ(moved.sourcePath, copied.sourcePath);
    EXPECT_EQ(moved.normals, copied.normals);
    EXPECT_EQ(moved.parts[0].faceNormals, copied.parts[0].faceNormals);
    expectCreatureFieldsEqual(moved, copied);

    Model target;
    target.subdivisionLevel = 2;
    target = Model(source);
    EXPECT_EQ(target.subdivisionLevel, 2);
    EXPECT_EQ(target.positions, source.positions);
}

TEST(ModelCopy, PartAssignmentKeepsItsFaceNormalsAndAccessorsCopy) {
    BodyPart a("head");
    a.faceNormals = {{0, 1, 0}};
    const Model m = builtWithNormals();
    a = m.parts[0];
    EXPECT_EQ(a.faceNormals, (std::vector<Vec3>{{0, 1, 0}}));
    EXPECT_EQ(a.getName(), "head");

    Model n = m;
    BodyPart part = n.getPart(0);
    part.name = "changed";
    Polygon p = n.getPolygon(0, 0);
    p[0].positionIndex = 99;
    EXPECT_EQ(n.parts[0].name, "head");
    EXPECT_EQ(n.parts[0].polygons[0][0].positionIndex, m.parts[0].polygons[0][0].positionIndex);
}

}  // namespace
