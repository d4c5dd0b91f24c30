// A check of the invariants that a half-edge build, or a relink after a subdivision step, leaves
// on a part. Used by the tests after every such operation.
#pragma once

#include <string>

#include "mesh/model.h"

// Returns an empty string when the part's topology is consistent, else a description of the
// first broken invariant:
//  - three half-edges and one face record per polygon; face f's edge is half-edge 3f and its
//    index is f; next and prev cycle within each triangle, and each half-edge names its face;
//  - half-edge 3f+k runs from the vertex of corner k to that of corner k+1 (mod 3);
//  - twins are symmetric and run the other way; boundary is set exactly when there is no twin,
//    and paired is its opposite;
//  - one vertex record per distinct position index, whose edge starts at it; a vertex is marked
//    boundary exactly when a boundary half-edge starts or ends there, and then its edge is one.
std::string checkHalfEdges(const BodyPart& part);
