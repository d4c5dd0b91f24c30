// Plain, scan-by-scan versions of the half-edge build, relink and vertex normals, kept as the
// reference that the indexed versions are compared with.
#pragma once

#include "mesh/model.h"

namespace literal {

void build(Model& model);
void relink(Model& model);
void normals(Model& model);

}  // namespace literal
