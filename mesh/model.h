// The creature records: a Model is one triangle mesh split into named BodyParts, together with
// its placement in the scene and its place in the family tree.
//
// Vertex data (positions, normals) lives once per Model and is addressed by a 0-based position
// index. Topology lives per BodyPart: HalfEdge, MeshFace and MeshVertex records in a
// TopologyArena, linked to each other by 32-bit indices into that arena (NONE_INDEX for none).
// A part's halfEdges, faces and vertices lists hold indices into the arena it refers to.
//
// Sharing: copying a BodyPart copies the three index lists and the arena reference, not the
// records, so the copy and its source see the same records; writing a record through one is seen
// through the other. An arena lives as long as any part refers to it. A half-edge build gives a
// part a fresh arena and leaves other holders of the old one untouched.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mesh/portable.h"
#include "view/math.h"

// Sentinel for "no id" and "no index", in model, topology and input fields.
inline constexpr int32_t NONE_INDEX = -999;

// Index of a record within a TopologyArena; NONE_INDEX is the null reference.
using RecordIndex = int32_t;

struct TexCoord {
    float u = 0.0f;
    float v = 0.0f;
};

struct Colour {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;

    friend bool operator==(const Colour&, const Colour&) = default;
};

// One index token of an OBJ face line. Only positionIndex and normalSlot are read by the mesh
// operations; the flags are carried along for completeness.
struct Corner {
    uint8_t flagA = 0;
    int32_t positionIndex = 0;
    uint8_t flagB = 0;
    int32_t reserved = 0;
    uint8_t flagC = 1;
    // -1: the computed vertex normal is appended to the model's normals; otherwise it is written
    // at positionIndex.
    int32_t normalSlot = -1;

    friend bool operator==(const Corner&, const Corner&) = default;
};

// The corners of one face, in token order. Triangles are the rule, so three corners live inline.
using Polygon = SmallVector<Corner, 3>;

struct MeshVertex {
    int32_t positionIndex = NONE_INDEX;  // index into the model's positions
    RecordIndex edge = NONE_INDEX;       // an outgoing half-edge (a boundary one on the boundary)
    int32_t valence = 0;                 // outgoing half-edges; counted for interior vertices only
    uint8_t updated = 0;                 // scratch flag of a subdivision step
    uint8_t boundary = 0;                // a boundary half-edge starts or ends here
    int32_t sharpness = 0;               // corner sharpness
};

struct MeshFace {
    RecordIndex edge = NONE_INDEX;  // the face's first half-edge
    int32_t index = 0;              // the polygon's index within its part
};

struct HalfEdge {
    RecordIndex origin = NONE_INDEX;  // MeshVertex
    RecordIndex target = NONE_INDEX;  // MeshVertex
    RecordIndex face = NONE_INDEX;    // MeshFace
    RecordIndex twin = NONE_INDEX;    // HalfEdge of the neighbouring triangle; none on the boundary
    RecordIndex next = NONE_INDEX;    // HalfEdge
    RecordIndex prev = NONE_INDEX;    // HalfEdge
    uint8_t boundary = 1;             // 1 until a twin is found
    uint8_t paired = 0;               // 0 until a twin is found
    uint8_t hasMidpoint = 0;          // scratch flag of a subdivision step
    int32_t sharpness = 0;            // crease sharpness
    int32_t midpointIndex = NONE_INDEX;
};

// The topology records made by one half-edge build or one subdivision step.
struct TopologyArena {
    std::vector<HalfEdge> halfEdges;
    std::vector<MeshFace> faces;
    std::vector<MeshVertex> vertices;
};

class BodyPart {
public:
    Colour colour{0.01f, 0.04f, 0.2f};
    Vec3 partScale{1.0f, 1.0f, 1.0f};
    Vec3 partOffset{0.0f, 0.0f, 0.0f};
    float partAngle = 0.0f;  // degrees, about partAxis
    Vec3 partAxis{0.0f, 0.0f, 0.0f};
    std::vector<RecordIndex> halfEdges;  // three per polygon, in polygon order
    std::vector<RecordIndex> faces;      // one per polygon, in polygon order
    std::vector<RecordIndex> vertices;   // one per distinct position index, in order of first use
    std::string name;
    std::vector<Polygon> polygons;
    std::vector<Vec3> faceNormals;  // one unit normal per polygon, after computeNormals
    // The records the three lists refer to; shared with every copy of this part.
    std::shared_ptr<TopologyArena> arena;

    BodyPart() = default;
    explicit BodyPart(std::string partName);

    // Copies share the topology records; faceNormals is not copied (a copy starts without).
    BodyPart(const BodyPart& source);
    // Assignment keeps the target's own faceNormals.
    BodyPart& operator=(const BodyPart& source);
    // Moves give exactly what the copies give, without duplicating the lists.
    BodyPart(BodyPart&& source) noexcept;
    BodyPart& operator=(BodyPart&& source) noexcept;
    ~BodyPart() = default;

    Polygon getPolygon(int i) const { return polygons.at(static_cast<size_t>(i)); }
    std::string getName() const { return name; }

    HalfEdge& halfEdge(RecordIndex r) { return arena->halfEdges[static_cast<size_t>(r)]; }
    const HalfEdge& halfEdge(RecordIndex r) const {
        return arena->halfEdges[static_cast<size_t>(r)];
    }
    MeshVertex& vertex(RecordIndex r) { return arena->vertices[static_cast<size_t>(r)]; }
    const MeshVertex& vertex(RecordIndex r) const {
        return arena->vertices[static_cast<size_t>(r)];
    }
    MeshFace& face(RecordIndex r) { return arena->faces[static_cast<size_t>(r)]; }
    const MeshFace& face(RecordIndex r) const { return arena->faces[static_cast<size_t>(r)]; }
};

class Model {
public:
    // Breeding-tree fields. firstChild / secondChild only mark that the child exists; the
    // children themselves are reached through their ids.
    bool firstChild = false;
    bool secondChild = false;
    int32_t firstChildId = NONE_INDEX;
    int32_t secondChildId = NONE_INDEX;
    int32_t generation = 0;
    int32_t childSlot = 0;     // 0 loaded, 1 first child, 2 second child
    float branchAngle = 0.0f;  // degrees
    int32_t id = NONE_INDEX;
    // Placement and animation.
    float rotationAngle = 0.0f;  // degrees, about rotationAxis
    Vec3 rotationAxis{0.0f, 0.0f, 0.0f};
    Vec3 position{0.0f, 0.0f, 0.0f};
    float scale = 1.0f;
    float scaleSquared = 1.0f;
    float pulseRate = 0.0f;  // radians per millisecond
    float auxFactor = 0.1f;
    float pulsePhase = 0.0f;
    int32_t subdivisionLevel = 0;
    Vec3 centre{0.0f, 0.0f, 0.0f};
    // Geometry.
    std::vector<BodyPart> parts;
    std::vector<Vec3> positions;
    std::vector<TexCoord> texCoords;
    std::vector<Vec3> normals;
    std::string sourcePath;

    Model() = default;
    // Reads an OBJ file (see obj_reader.h). A file that cannot be read or is malformed prints its
    // message and ends the program.
    Model(std::string path, Vec3 atPosition);

    // A copy takes the parts (sharing their topology records), the positions with one normal per
    // position (or none), and the creature fields. It does not take subdivisionLevel (the copy
    // starts at 0), sourcePath, texCoords, or the parts' faceNormals.
    Model(const Model& source);
    // Assignment replaces parts, positions, normals and the creature fields; the target keeps
    // its own subdivisionLevel, sourcePath and texCoords.
    Model& operator=(const Model& source);
    // Moves give exactly what the copies give, without duplicating the arrays.
    Model(Model&& source) noexcept;
    Model& operator=(Model&& source) noexcept;
    ~Model() = default;

    // Copying accessors.
    BodyPart getPart(int i) const { return parts.at(static_cast<size_t>(i)); }
    Polygon getPolygon(int part, int i) const {
        return parts.at(static_cast<size_t>(part)).getPolygon(i);
    }

    // Appends a copy of polygon to the polygons of part p.
    void appendPolygon(int p, const Polygon& polygon);

    // Derives every part's half-edge topology from its polygons, with fresh records
    // (half_edges.cpp). Prints "Building 0th Set of Half Edges..." and "Done\n".
    void buildHalfEdges();
    // Re-derives the links of the records a subdivision step leaves (half_edges.cpp).
    void relinkHalfEdges();
    // Face normals and unit vertex normals from the linked topology (normals.cpp). Prints
    // "Calculating Normals..." and "Done\n".
    void computeNormals();

    // Takes the creature fields of source: the breeding-tree, placement and animation fields
    // and centre (not subdivisionLevel).
    void takeCreatureFields(const Model& source);

private:
    void takeVertexData(const Model& source);
    void takeVertexData(Model&& source);
};
