// Closed test meshes of a chosen size for the benchmarks.
#pragma once

#include <string>

#include "mesh/model.h"

namespace bench {

// A torus of about `triangles` triangles (every vertex of valence 6), as one part, each corner's
// normal slot equal to its position index as in the creature files.
Model torus(int triangles);

// The same torus as OBJ text in the creature files' style (v, vt, vn, g, f a/a/a).
std::string torusObj(int triangles);

}  // namespace bench
