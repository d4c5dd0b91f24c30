// Closed triangle meshes of any size for the benchmarks.
#pragma once

#include <string>

#include "mesh/model.h"

namespace bench {

// A torus of u x v quads, each split into two triangles: 2 u v triangles, every vertex of
// valence 6. Counter-clockwise seen from outside.
Model torus(int u, int v);

// A UV sphere of `rings` x `segments` with triangle fans at the poles:
// 2 segments (rings - 1) triangles, valence 6 except the two poles (valence `segments`).
Model uvSphere(int rings, int segments);

// A torus of about `triangles` triangles (u = v).
Model torusOf(int triangles);

// The model as OBJ text in the creature files' style (v, vt, vn, g, f a/a/a).
std::string objText(const Model& model);

}  // namespace bench
