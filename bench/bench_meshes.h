// Closed triangle meshes of any size for the benchmarks.
#pragma once

#include "mesh/model.h"

namespace bench {

// A torus of u x v quads, each split into two triangles: 2 u v triangles, every vertex of
// valence 6. Counter-clockwise seen from outside.
Model torus(int u, int v);

// A UV sphere of `rings` x `segments` with triangle fans at the poles:
// 2 segments (rings - 1) triangles, valence 6 except the two poles (valence `segments`).
Model uvSphere(int rings, int segments);

}  // namespace bench
