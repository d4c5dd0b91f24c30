// Normals of the Loop limit surface at the vertices of a refined mesh.
#pragma once

#include <vector>

#include "mesh/model.h"

// Gives every vertex used by a polygon the normal of the Loop limit surface there, computed from
// its one-ring with the Loop tangent masks, and stores it in model.normals at the vertex's
// position index. Needs linked topology (a relink after subdivide); positions are not changed and
// normals is not grown.
//
// Interior vertex of valence n, ring Q_0, Q_1, ... in the order of the walk twin -> next from its
// edge: the unit vector along Tsin x Tcos, with Tcos = sum cos(2 pi k / n) Q_k and
// Tsin = sum sin(2 pi k / n) Q_k. Boundary vertex P: the unit vector along (B2 - P) x (B1 - B2),
// B1 the target of its edge and B2 the origin of the first boundary half-edge among its incoming
// ones. A position index used by two parts ends with the later part's normal.
//
// Prints "bLAH" for every corner at a boundary vertex whose edge is not a boundary half-edge.
// Left unchanged: entries of position indices no polygon uses, and entries whose cross product
// has no direction (zero or not finite length, e.g. on a straight boundary) or whose interior
// vertex has no counted valence. A walk that does not close is reported through reportRingFault
// (operation "limit normal") and the normal is made from the ring walked so far.
void computeLimitNormals(Model& model);

// The unit limit normal of an interior vertex of valence n whose ring, in walk order, is the
// count points at ring, into out; false, and out unchanged, when it has no direction.
bool interiorLimitNormal(const Vec3* ring, size_t count, int32_t n, Vec3& out);

// The limit normal of single vertices of a part with linked topology, as computeLimitNormals
// works it out: positions are the model's; the walks see the part's records as they are when
// asked.
class VertexLimitNormal {
public:
    VertexLimitNormal(const BodyPart& part, const std::vector<Vec3>& positions)
        : part_(part), positions_(positions) {}

    // A boundary vertex whose edge is not a boundary half-edge.
    bool strayEdge(RecordIndex v) const;

    // The unit limit normal of vertex record v into out; false, and out unchanged, when it has no
    // direction.
    bool normal(RecordIndex v, Vec3& out) const;

private:
    Vec3 positionOf(RecordIndex r) const;
    Vec3 boundaryCross(RecordIndex v) const;

    const BodyPart& part_;
    const std::vector<Vec3>& positions_;
    mutable std::vector<Vec3> ring_;
};
