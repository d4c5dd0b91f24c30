#include "subdiv/refine_step.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "mesh/ring_walk.h"
#include "subdiv/child_layout.h"

namespace subdiv {

namespace {

// The four children's polygons from their points by slot, reusing their storage. Corners carry
// the point as position and normal slot, flagA 1 for an edge point and 0 for a vertex's.
void writeChildren(Polygon* child, const int32_t point[6]) {
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
        Polygon& polygon = child[k];
        if (polygon.size() != 3) polygon.resize(3);
        Corner* const corner = polygon.data();
#pragma GCC unroll 3
        for (int j = 0; j < 3; ++j) {
            const int slot = kCornerSlot[3 * k + j];
            Corner& out = corner[j];
            out.flagA = slot >= kE0 ? 1 : 0;
            out.positionIndex = point[slot];
            out.flagB = 0;
            out.reserved = 0;
            out.flagC = 1;
            out.normalSlot = point[slot];
        }
    }
}

void printBoundary() {
    std::fputs("BOUNDARY\n\n\n", stdout);
}

}  // namespace

StepScratch& stepScratch() {
    thread_local StepScratch scratch;
    return scratch;
}

int32_t Step::vertexCorner(const PointRules& rules, MeshVertex& vertex, RecordIndex v,
                           uint32_t stamp) {
    StepScratch::Made& made = scratch_.made[static_cast<size_t>(v)];
    if (vertex.updated == 0) {
        const int32_t index = append(rules.vertexPoint(v));
        vertex.updated = 1;
        made = {stamp, index};
        scratch_.equal.markVertexPoint(index);
        return index;
    }
    if (made.stamp == stamp) return made.index;

    // The flag was already set when this part met the vertex (its record is shared with a part
    // refined before, or the flag was left over): take the first equal point made so far, or
    // make the vertex's point when there is none.
    const RefinedPoint point = rules.vertexPoint(v);
    int32_t index = firstEqual_.find(result_.positions, point.position);
    if (index == NONE_INDEX) index = append(point);
    made = {stamp, index};
    return index;
}

void Step::refinePart(size_t i) {
    const BodyPart& src = source_.parts[i];
    BodyPart& dst = result_.parts[i];
    TopologyArena& in = *src.arena;
    TopologyArena& arena = out_.arena;
    HalfEdge* const he = in.halfEdges.data();
    MeshVertex* const vx = in.vertices.data();
    const size_t heCount = in.halfEdges.size();
    const size_t vxCount = in.vertices.size();
    PointRules rules(src, source_.positions, source_.normals);
    if (++scratch_.lastStamp == 0) {  // the stamps went all the way round: start afresh
        scratch_.made.assign(scratch_.made.size(), StepScratch::Made{});
        scratch_.lastStamp = 1;
    }
    const uint32_t stamp = scratch_.lastStamp;
    const size_t faceCount = src.faces.size();
    std::vector<size_t>& pointBegin = scratch_.equal.pointBegin;
    if (pointBegin.size() <= i) pointBegin.resize(i + 1, result_.positions.size());
    pointBegin[i] = result_.positions.size();
    if (scratch_.made.size() < vxCount) scratch_.made.resize(vxCount);

    // The part's lists, filled by index: the arena's records are written the same way.
    dst.faces.resize(4 * faceCount);
    dst.halfEdges.resize(12 * faceCount);
    dst.polygons.resize(4 * faceCount);
    size_t children = 0;  // source faces refined so far
    RecordIndex* const faceList = dst.faces.data();
    RecordIndex* const edgeList = dst.halfEdges.data();
    Polygon* const polygons = dst.polygons.data();
    MeshFace* const faceRecords = arena.faces.data();
    HalfEdge* const edgeRecords = arena.halfEdges.data();
    if (links_) links_->startPart(i, src, dst);

    for (size_t f = 0; f < faceCount; ++f) {
        // The face's cycle: start at its edge and follow next until back at the start, at most
        // four half-edges far.
        RecordIndex h[4] = {NONE_INDEX, NONE_INDEX, NONE_INDEX, NONE_INDEX};
        int count = 0;
        bool broken = false;
        const RecordIndex faceRecord = src.faces[f];
        const RecordIndex first = validIn(faceRecord, in.faces.size())
                                      ? in.faces[static_cast<size_t>(faceRecord)].edge
                                      : NONE_INDEX;
        for (RecordIndex e = first;;) {
            if (!validIn(e, heCount)) {
                broken = true;
                break;
            }
            h[count++] = e;
            if (count == 4) break;
            e = he[e].next;
            if (e == first) break;
        }
        broken = broken || count < 3 || !validIn(he[h[0]].origin, vxCount) ||
                 !validIn(he[h[1]].origin, vxCount) || !validIn(he[h[2]].origin, vxCount);
        if (broken) {
            const RecordIndex o = validIn(first, heCount) ? he[first].origin : NONE_INDEX;
            reportRingFault("subdivision", src.name,
                            validIn(o, vxCount) ? vx[o].positionIndex : NONE_INDEX);
            continue;
        }

        // Edge pass: the point of each edge, made once and shared with the twin.
        int32_t e[3];
        int32_t sharpness[3];
        bool edgeDone[3];  // all faces at the edge point are written once this one is
        for (int p = 0; p < count; ++p) {
            HalfEdge& edge = he[h[p]];
            if (edge.boundary != 0) printBoundary();
            int32_t index = edge.midpointIndex;
            // Only a point made in this step counts: a flag left set with an index from
            // elsewhere would name a point the result does not have.
            const bool make = edge.hasMidpoint == 0 || !validIn(index, result_.positions.size());
            if (make) {
                index = append(rules.edgePoint(h[p]));
                edge.midpointIndex = index;
                // A linked step visits each half-edge once: only the twin reads the flag again.
                edge.hasMidpoint = links_ ? 0 : 1;
                if (edge.boundary == 0 && validIn(edge.twin, heCount)) {
                    HalfEdge& twin = he[edge.twin];
                    twin.midpointIndex = index;
                    twin.hasMidpoint = 1;
                }
            } else if (links_) {
                edge.hasMidpoint = 0;  // its last visit
            }
            if (p == 3) {
                std::printf("Face cannot have more than three edges!!\n");
                std::exit(1);
            }
            e[p] = index;
            sharpness[p] = edge.sharpness;  // after a crease's decrement
            edgeDone[p] = !make || edge.boundary != 0;
        }

        // Vertex pass.
        int32_t c[3];
        for (int p = 0; p < 3; ++p) {
            const RecordIndex v = he[h[p]].origin;
            MeshVertex& vertex = vx[v];
            if (vertex.boundary != 0) printBoundary();
            c[p] = vertexCorner(rules, vertex, v, stamp);
        }

        // The four children: face records, half-edges (the six along the source edges carry
        // their sharpness; linked now, or blank for the relink), polygons.
        const size_t g = children++;
        const auto faceBase = static_cast<RecordIndex>(out_.faces);
        const auto block = static_cast<RecordIndex>(out_.halfEdges);
        out_.faces += 4;
        out_.halfEdges += 12;
        for (int k = 0; k < 4; ++k) {
            faceList[4 * g + k] = faceBase + k;
            faceRecords[faceBase + k] =
                MeshFace{links_ ? block + 3 * k : NONE_INDEX, static_cast<int32_t>(4 * g) + k};
        }
        const int32_t point[6] = {c[0], c[1], c[2], e[0], e[1], e[2]};  // by slot
        HalfEdge* const child = edgeRecords + block;
        RecordIndex* const childList = edgeList + 12 * g;
        if (links_) {
            RecordIndex record[6];
            RecordIndex twin[12];
            links_->linkFace(g, block, h, point, he, record, twin);
#pragma GCC unroll 12
            for (int place = 0; place < 12; ++place) {
                HalfEdge& out = child[place];
                out.origin = record[kCornerSlot[place]];
                out.target = record[kCornerSlot[kNextPlace[place]]];
                out.face = faceBase + place / 3;
                out.twin = twin[place];
                out.next = block + kNextPlace[place];
                out.prev = block + kPrevPlace[place];
                out.boundary = twin[place] == NONE_INDEX ? 1 : 0;
                out.paired = twin[place] == NONE_INDEX ? 0 : 1;
                out.hasMidpoint = 0;
                out.sharpness = kAlong[place] >= 0 ? sharpness[kAlong[place]] : 0;
                out.midpointIndex = NONE_INDEX;
                childList[place] = block + place;
            }
            writeChildren(polygons + 4 * g, point);
            // New vertices whose faces are all written now are finished.
            links_->faceWritten(h, record, edgeDone, he, vx);
            continue;
        }
#pragma GCC unroll 12
        for (int place = 0; place < 12; ++place) {
            HalfEdge blank;
            if (kAlong[place] >= 0) blank.sharpness = sharpness[kAlong[place]];
            child[place] = blank;
            childList[place] = block + place;
        }
        writeChildren(polygons + 4 * g, point);
    }
    // Faces left out leave their room unused.
    dst.faces.resize(4 * children);
    dst.halfEdges.resize(12 * children);
    dst.polygons.resize(4 * children);

    // The scratch flags go back to 0 for the whole part; a linked step cleared each at its last
    // visit.
    if (links_) return;
    for (RecordIndex r : src.halfEdges) {
        if (validIn(r, heCount)) he[r].hasMidpoint = 0;
    }
    for (RecordIndex r : src.vertices) {
        if (validIn(r, vxCount)) vx[r].updated = 0;
    }
}

}  // namespace subdiv
