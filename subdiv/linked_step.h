// Linking while refining: the test that lets a step write the links of its new records as it
// makes them.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/model.h"

namespace subdiv {

// Whether the step can write the links of a part's new records as it makes them, the links a
// relink would give them. It can when the source part is a clean surface patch laid out as a
// build or a relink leaves it: face f owns half-edges 3f, 3f+1, 3f+2 (one run of the arena, the
// face's edge first, next in that order), each with its own origin and the next one's origin as
// its target; twins are mutual and run the other way; no scratch flag is set. Then every new
// point is made once, for this part, and the twin a relink finds for each new half-edge is the
// one across the same source edge, or inside the same source face: a half-edge from a vertex
// point to an edge point has one half-edge running back, the one across the twin edge; one
// between two edge points of a face may have others from faces that share both edges with it,
// but a relink pairs the half-edges of each face's children, which follow one another in the
// list, before those of any face after it.
// cornerCount receives, per vertex record of the part (a run too), the number of faces that have
// it as a corner.
bool linksWhileRefining(const BodyPart& part, std::vector<int32_t>& cornerCount);

}  // namespace subdiv
