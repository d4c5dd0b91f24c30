// The point rules of one Loop step: the edge rule, which makes the new point on an edge, and the
// vertex rule, which moves an old vertex. Each gives a position and a normal.
//
// Masks: 3/8, 3/8, 1/8, 1/8 on smooth edges; 1/2, 1/2 on boundary and crease edges; Loop's beta on
// smooth interior vertices; 1/8, 3/4, 1/8 on boundary vertices; a corner (an interior vertex with
// positive sharpness) stays where it is. A rule works out its mask once, from the topology, and
// applies it to the positions and to the normals alike.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/model.h"

// A point made by a rule: where it lies and its (not renormalised) normal.
struct RefinedPoint {
    Vec3 position;
    Vec3 normal;
};

// Loop's vertex weight for a smooth interior vertex of the given valence:
// (1/n) (5/8 - (3/8 + cos(2 pi / n) / 4)^2), computed in double and rounded to a float once.
// 0.1875 for valence 3, 0.12109375 for 4, 0.0625 for 6. A valence of 0 or less has no ring: 0.
float loopBeta(int32_t valence);

// Which points a rule weighs, by position index, and how. Applied to any per-position attribute
// (positions, normals); an index the attribute does not hold reads as the zero vector.
struct PointMask {
    enum class Kind : uint8_t {
        kMidpoint,        // (a + b) / 2
        kSmoothEdge,      // (3 (a + b) + (c + d)) / 8
        kBoundaryVertex,  // (b + c) / 8 + 3/4 a
        kKeep,            // a
        kSmoothVertex,    // beta (sum of the ring) + (1 - n beta) a
    };
    Kind kind = Kind::kKeep;
    uint32_t a = 0, b = 0, c = 0, d = 0;
    float beta = 0.0f;
    float keep = 1.0f;
    const std::vector<uint32_t>* ring = nullptr;  // kSmoothVertex: ring targets in walk order

    Vec3 apply(const Vec3* values, uint32_t count) const;
};

// The rules applied to the linked records of one part. Positions and normals are the model's,
// addressed by the vertex records' position indices; with no normals every rule gives the zero
// vector as the normal.
//
// Reading a position index outside the lists gives the zero vector. A walk around a vertex that
// meets a missing link or does not close within ringStepLimit steps is reported through
// reportRingFault (operation "subdivision") and the rule goes on with what it has: a boundary
// neighbour that cannot be found counts as the vertex itself, a ring sum keeps the targets
// reached so far.
class PointRules {
public:
    // The part's records are shared, not owned: the edge rule changes them through a part that
    // is itself const.
    PointRules(const BodyPart& part, const std::vector<Vec3>& positions,
               const std::vector<Vec3>& normals);

    // The point of half-edge h's edge:
    //  - boundary half-edge: the midpoint of its ends;
    //  - interior, sharpness > 0 (a crease): the midpoint, and h's own sharpness goes down by one
    //    (its twin keeps its value);
    //  - interior, sharpness <= 0: (3 (P0 + P1) + (Q1 + Q2)) / 8 with Q1, Q2 the corners opposite
    //    the edge in h's triangle and in its twin's. An interior half-edge without a twin is a
    //    fault; its edge then gets the midpoint.
    RefinedPoint edgePoint(RecordIndex h);

    // The moved point of vertex v:
    //  - boundary vertex: 3/4 of itself and 1/8 of each of its two boundary neighbours;
    //  - interior, sharpness > 0: itself;
    //  - interior, sharpness <= 0: beta times the sum of its ring plus (1 - n beta) times itself,
    //    with n its stored valence.
    RefinedPoint vertexPoint(RecordIndex v) const;

private:
    bool validHalfEdge(RecordIndex r) const { return static_cast<uint32_t>(r) < halfEdgeCount_; }
    bool validVertex(RecordIndex r) const { return static_cast<uint32_t>(r) < vertexCount_; }
    // The position index of vertex record r; one no list holds for a record that does not exist.
    uint32_t indexOf(RecordIndex r) const {
        return validVertex(r) ? static_cast<uint32_t>(vertices_[r].positionIndex) : UINT32_MAX;
    }
    RefinedPoint applied(const PointMask& mask) const {
        return {mask.apply(positions_, positionCount_), mask.apply(normals_, normalCount_)};
    }
    void fault(RecordIndex v) const;

    PointMask edgeMask(RecordIndex h);
    PointMask vertexMask(RecordIndex v) const;

    const BodyPart& part_;
    // The part's records and the model's vertex data; none of these lists changes length while
    // the rules are in use.
    HalfEdge* halfEdges_;
    const MeshVertex* vertices_;
    uint32_t halfEdgeCount_;
    uint32_t vertexCount_;
    const Vec3* positions_;
    const Vec3* normals_;
    uint32_t positionCount_;
    uint32_t normalCount_;
    // The ring of the smooth vertex being worked out.
    mutable std::vector<uint32_t> ring_;
};
