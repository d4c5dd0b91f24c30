// Where the children of a source face put their points and half-edges: the layout both
// refinement steps write and the linked step pairs.
//
// A source face with corners c0, c1, c2 and edge points e0 (on c0-c1), e1, e2 has four children,
// the polygons (c0 e0 e2), (e0 c1 e1), (e0 e1 e2), (e2 e1 c2), and leaves twelve half-edges, by
// their place in its block: child k owns places 3k, 3k+1, 3k+2, the half-edge from its corner j
// to its corner j + 1 at place 3k + j.
#pragma once

namespace subdiv {

// The six points of a face's children, by slot: its vertex points, then its edge points.
enum Slot : int { kC0, kC1, kC2, kE0, kE1, kE2 };
// The slot at each child corner, by place: child k's corner j is at place 3k + j.
constexpr int kCornerSlot[12] = {kC0, kE0, kE2, kE0, kC1, kE1, kE0, kE1, kE2, kE2, kE1, kC2};
// The next and the previous half-edge of the same child.
constexpr int kNextPlace[12] = {1, 2, 0, 4, 5, 3, 7, 8, 6, 10, 11, 9};
constexpr int kPrevPlace[12] = {2, 0, 1, 5, 3, 4, 8, 6, 7, 11, 9, 10};

// Along source half-edge p, from c_p to c_p+1: the child half-edge from c_p to e_p and the one
// from e_p to c_p+1.
constexpr int kFromCorner[3] = {0, 4, 11};
constexpr int kToCorner[3] = {3, 10, 2};
// The source half-edge a place lies along; -1 inside the face.
constexpr int kAlong[12] = {0, -1, 2, 0, 1, -1, -1, -1, -1, -1, 1, 2};
// Places inside the face pair with each other: e0 e2 / e2 e0, e1 e0 / e0 e1, e2 e1 / e1 e2.
constexpr int kInnerTwin[12] = {-1, 8, -1, -1, -1, 6, 5, 9, 1, 7, -1, -1};

// Linking: the slots in the order in which a relink meets them first (child by child, corner by
// corner); per slot, the number of child corners it has and the place of the last half-edge
// starting there that a relink gives it as its edge (it writes each child's in the order of
// corners 1, 2, 0).
constexpr int kFirstUse[6] = {kC0, kE0, kE2, kC1, kE1, kC2};
constexpr int kCornersAt[6] = {1, 1, 1, 3, 3, 3};
constexpr int kLastStart[6] = {0, 4, 11, 6, 10, 9};

}  // namespace subdiv
