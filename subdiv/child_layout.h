// Where the children of a source face put their half-edges: the layout both refinement steps
// write and the linked step pairs.
#pragma once

namespace subdiv {

// The twelve half-edges a source face leaves, by their place in its block: child k (polygons
// (c0 e0 e2), (e0 c1 e1), (e0 e1 e2), (e2 e1 c2)) owns places 3k, 3k+1, 3k+2.
// Along source half-edge p, from c_p to c_p+1: the child half-edge from c_p to e_p and the one
// from e_p to c_p+1.
constexpr int kFromCorner[3] = {0, 4, 11};
constexpr int kToCorner[3] = {3, 10, 2};
// The source half-edge a place lies along; -1 inside the face.
constexpr int kAlong[12] = {0, -1, 2, 0, 1, -1, -1, -1, -1, -1, 1, 2};
// Places inside the face pair with each other: e0 e2 / e2 e0, e1 e0 / e0 e1, e2 e1 / e1 e2.
constexpr int kInnerTwin[12] = {-1, 8, -1, -1, -1, 6, 5, 9, 1, 7, -1, -1};

}  // namespace subdiv
