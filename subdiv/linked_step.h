// Linking while refining: on a source part laid out as a build or a relink leaves it, the step
// of refine_step.h writes each new half-edge's twin and each new vertex's edge, boundary flag,
// sharpness, valence and limit normal as it makes the records, the links and normals that
// relinkHalfEdges and computeLimitNormals would give them afterwards, bit for bit.
//
// The step tells ChildLinks of each part it starts, each face's children as it makes them, and
// each face once written; a vertex is finished (edge, valence, limit normal) as soon as the last
// face around it is written, while its ring is still in the cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "mesh/model.h"
#include "subdiv/limit_normals.h"

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

// The working lists of linking, kept from one step to the next: per part, the corner count of
// each source vertex (from linksWhileRefining); per point of the part at hand, its vertex record;
// per new vertex, its last outgoing boundary half-edge; the ring of a vertex being finished whose
// ring is too long to walk in place.
struct LinkScratch {
    std::vector<std::vector<int32_t>> cornerCounts;
    std::vector<RecordIndex> recordOf;
    std::vector<RecordIndex> boundaryEdge;
    std::vector<Vec3> ring;
};

// Links the records of one step's result as the step writes them. Every source part the step
// refines has passed linksWhileRefining into scratch.cornerCounts.
class ChildLinks {
public:
    ChildLinks(Model& result, TopologyArena& arena, LinkScratch& scratch)
        : result_(result), arena_(arena), scratch_(scratch) {}

    // Source part i (src) starts refining into dst; the points made from now on are its.
    void startPart(size_t i, const BodyPart& src, BodyPart& dst);

    // The links the relink gives the children of source face f (their first half-edge is
    // block): the vertex record of each of their points by slot (child_layout.h), new ones made
    // in the order of first use, and the twin of each of the twelve half-edges, NONE_INDEX on the
    // boundary. Marks the boundary vertices and gives every point's vertex its edge and
    // sharpness. h are the source face's half-edges, he the source's half-edge records, point
    // the children's points by slot.
    void linkFace(size_t f, RecordIndex block, const RecordIndex h[3], const int32_t point[6],
                  const HalfEdge* he, RecordIndex record[6], RecordIndex twin[12]);

    // Source face f's children are written: finishes its edge points whose faces are all
    // written (edgeDone) and its corners' vertex points once their last face is, and clears
    // the scratch flag (updated) of a source corner at that last face, its last visit.
    void faceWritten(const RecordIndex h[3], const RecordIndex record[6], const bool edgeDone[3],
                     const HalfEdge* he, MeshVertex* vx);

private:
    void finishVertex(RecordIndex r);

    Model& result_;
    TopologyArena& arena_;
    LinkScratch& scratch_;
    // The part at hand.
    BodyPart* part_ = nullptr;
    std::optional<VertexLimitNormal> limit_;
    RecordIndex sourceBase_ = 0;      // the source part's first half-edge
    RecordIndex sourceVertices_ = 0;  // the source part's first vertex record
    RecordIndex vertexBase_ = 0;      // the new part's first vertex record
    size_t pointBase_ = 0;            // the first point the part makes
    int32_t* cornersLeft_ = nullptr;  // per source vertex: faces still to come
    // The ring of the vertex being finished, when it is short; a longer one (or a broken one)
    // takes the general walk.
    static constexpr size_t kShortRing = 16;
    Vec3 ring_[kShortRing];
};

}  // namespace subdiv
