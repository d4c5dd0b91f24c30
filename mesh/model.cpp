#include "mesh/model.h"

#include <algorithm>
#include <utility>

// ---- BodyPart ---------------------------------------------------------------------------------

BodyPart::BodyPart(std::string partName) : name(std::move(partName)) {}

BodyPart::BodyPart(const BodyPart& source)
    : colour(source.colour),
      partScale(source.partScale),
      partOffset(source.partOffset),
      partAngle(source.partAngle),
      partAxis(source.partAxis),
      halfEdges(source.halfEdges),
      faces(source.faces),
      vertices(source.vertices),
      name(source.name),
      polygons(source.polygons),
      arena(source.arena) {}

BodyPart& BodyPart::operator=(const BodyPart& source) {
    if (this == &source) return *this;
    name = source.name;
    polygons = source.polygons;
    halfEdges = source.halfEdges;
    faces = source.faces;
    vertices = source.vertices;
    arena = source.arena;
    partAngle = source.partAngle;
    partAxis = source.partAxis;
    partScale = source.partScale;
    partOffset = source.partOffset;
    colour = source.colour;
    return *this;
}

BodyPart::BodyPart(BodyPart&& source) noexcept
    : colour(source.colour),
      partScale(source.partScale),
      partOffset(source.partOffset),
      partAngle(source.partAngle),
      partAxis(source.partAxis),
      halfEdges(std::move(source.halfEdges)),
      faces(std::move(source.faces)),
      vertices(std::move(source.vertices)),
      name(std::move(source.name)),
      polygons(std::move(source.polygons)),
      arena(std::move(source.arena)) {}

BodyPart& BodyPart::operator=(BodyPart&& source) noexcept {
    if (this == &source) return *this;
    name = std::move(source.name);
    polygons = std::move(source.polygons);
    halfEdges = std::move(source.halfEdges);
    faces = std::move(source.faces);
    vertices = std::move(source.vertices);
    arena = std::move(source.arena);
    partAngle = source.partAngle;
    partAxis = source.partAxis;
    partScale = source.partScale;
    partOffset = source.partOffset;
    colour = source.colour;
    return *this;
}

// ---- Model ------------------------------------------------------------------------------------

void Model::takeCreatureFields(const Model& source) {
    firstChild = source.firstChild;
    secondChild = source.secondChild;
    firstChildId = source.firstChildId;
    secondChildId = source.secondChildId;
    generation = source.generation;
    childSlot = source.childSlot;
    branchAngle = source.branchAngle;
    id = source.id;
    rotationAngle = source.rotationAngle;
    rotationAxis = source.rotationAxis;
    position = source.position;
    scale = source.scale;
    scaleSquared = source.scaleSquared;
    pulseRate = source.pulseRate;
    auxFactor = source.auxFactor;
    pulsePhase = source.pulsePhase;
    centre = source.centre;
}

// Positions, and beside them exactly one normal per position when the source has normals.
// A source with fewer normals than positions gets zero vectors for the missing ones.
void Model::takeVertexData(const Model& source) {
    positions = source.positions;
    normals.clear();
    if (!source.normals.empty()) {
        normals.assign(source.positions.size(), Vec3{});
        const size_t n = std::min(source.normals.size(), source.positions.size());
        std::copy(source.normals.begin(), source.normals.begin() + static_cast<ptrdiff_t>(n),
                  normals.begin());
    }
}

void Model::takeVertexData(Model&& source) {
    positions = std::move(source.positions);
    normals = std::move(source.normals);
    if (!normals.empty()) normals.resize(positions.size());
}

Model::Model(const Model& source) : parts(source.parts) {
    takeVertexData(source);
    takeCreatureFields(source);
}

Model& Model::operator=(const Model& source) {
    if (this == &source) return *this;
    parts = source.parts;
    for (BodyPart& part : parts)
        part.faceNormals.clear();
    takeVertexData(source);
    takeCreatureFields(source);
    return *this;
}

Model::Model(Model&& source) noexcept : parts(std::move(source.parts)) {
    for (BodyPart& part : parts)
        part.faceNormals.clear();
    takeCreatureFields(source);
    takeVertexData(std::move(source));
}

Model& Model::operator=(Model&& source) noexcept {
    if (this == &source) return *this;
    parts = std::move(source.parts);
    for (BodyPart& part : parts)
        part.faceNormals.clear();
    takeCreatureFields(source);
    takeVertexData(std::move(source));
    return *this;
}

void Model::appendPolygon(int p, const Polygon& polygon) {
    parts.at(static_cast<size_t>(p)).polygons.push_back(polygon);
}
