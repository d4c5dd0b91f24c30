// A plain version of the Loop step, written the straightforward way: every rule evaluated at
// every visit, and a vertex met again found by scanning the result's positions from index 0.
// The fast step must give the same model and the same source records, bit for bit.
#pragma once

#include "mesh/model.h"

namespace literal {

Model subdivide(Model& source);

}  // namespace literal
