// One step of Loop subdivision on a model's per-part half-edge meshes.
#pragma once

#include "mesh/model.h"

// Refines source by one Loop step and returns the refined model: every triangle becomes four,
// every edge gets a point by the edge rule and every vertex a moved point by the vertex rule
// (point_rules.h). Needs linked topology (buildHalfEdges, or relinkHalfEdges after a step).
//
// Result: one part per source part (same name, colour and transform); for source face f of a
// part with corners c0, c1, c2 and edge points e0 (on c0-c1), e1, e2, the polygons 4f..4f+3 are
// (c0 e0 e2), (e0 c1 e1), (e0 e1 e2), (e2 e1 c2), with four face records (index 4f+k), twelve
// blank half-edges (links to be filled by relinkHalfEdges) and no vertex records. The half-edges
// along a source half-edge take its sharpness. New points go to the one positions list in order:
// per part, per face, the edge points made there, then the vertex points first made there; one
// normal beside each (zero vectors when source has no normals). A vertex met again in the same
// part takes the first point of the result equal to its point (the one made for it, or an earlier
// equal one). The header is copied, except subdivisionLevel (0).
//
// Writes the source's working fields: midpointIndex and the lowered sharpness of crease
// half-edges stay; the hasMidpoint and updated flags are cleared again for every part.
//
// Prints "Starting Subdivision...", then "BOUNDARY\n\n\n" for every boundary half-edge handled
// and every visit of a boundary vertex. A face whose next cycle has more than three half-edges
// prints "Face cannot have more than three edges!!\n" and ends the program with status 1. A face
// whose cycle is broken (a missing link, or fewer than three half-edges) is reported through
// reportRingFault and left out of the result: the faces after it move up, their polygons and
// face records numbered 4g..4g+3 for the g-th face refined, as a face record's index must be.
Model subdivide(Model& source);

// One step of the display refinement: leaves target as `target = subdivide(source)` followed by
// target.relinkHalfEdges() and computeLimitNormals(target) would leave it (the same parts,
// records, positions and normals, the same changes to source's records, the same console output),
// writing each record once where the mesh allows. Like the assignment, target keeps its own
// subdivisionLevel, sourcePath and texCoords; its storage is reused, and so are the records its
// parts refer to when no other model shares them. source and target must be different models.
void subdivideLinked(const Model& source, Model& target);
