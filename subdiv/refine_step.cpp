#include "subdiv/refine_step.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "mesh/ring_walk.h"
#include "subdiv/child_layout.h"

namespace subdiv {

namespace {

Corner cornerAt(int32_t index, uint8_t isEdgePoint) {
    Corner c;
    c.flagA = isEdgePoint;
    c.positionIndex = index;
    c.flagB = 0;
    c.reserved = 0;
    c.flagC = 1;
    c.normalSlot = index;
    return c;
}

// Makes polygon the triangle (a, b, c), reusing its storage.
void setTriangle(Polygon& polygon, const Corner& a, const Corner& b, const Corner& c) {
    if (polygon.size() != 3) polygon.resize(3);
    Corner* const corner = polygon.data();
    corner[0] = a;
    corner[1] = b;
    corner[2] = c;
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
                edge.hasMidpoint = 1;
                if (edge.boundary == 0 && validIn(edge.twin, heCount)) {
                    HalfEdge& twin = he[edge.twin];
                    twin.midpointIndex = index;
                    twin.hasMidpoint = 1;
                }
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
                MeshFace{links_ ? block + 3 * k : NONE_INDEX, static_cast<int32_t>(4 * f) + k};
        }
        RecordIndex record[4][3];
        RecordIndex twin[12];
        if (links_) links_->linkFace(g, block, h, e, c, he, record, twin);
        for (int k = 0; k < 4; ++k) {
            for (int j = 0; j < 3; ++j) {
                const int place = 3 * k + j;
                HalfEdge child;
                if (kAlong[place] >= 0) child.sharpness = sharpness[kAlong[place]];
                if (links_) {
                    child.origin = record[k][j];
                    child.target = record[k][(j + 1) % 3];
                    child.face = faceBase + k;
                    child.next = block + 3 * k + (j + 1) % 3;
                    child.prev = block + 3 * k + (j + 2) % 3;
                    if (twin[place] != NONE_INDEX) {
                        child.twin = twin[place];
                        child.boundary = 0;
                        child.paired = 1;
                    }
                }
                edgeRecords[block + place] = child;
                edgeList[12 * g + place] = block + place;
            }
        }
        // The corners of the four children: the old vertices' (flag 0) and the edge points'.
        const Corner cc[3] = {cornerAt(c[0], 0), cornerAt(c[1], 0), cornerAt(c[2], 0)};
        const Corner ec[3] = {cornerAt(e[0], 1), cornerAt(e[1], 1), cornerAt(e[2], 1)};
        Polygon* const child = polygons + 4 * g;
        setTriangle(child[0], cc[0], ec[0], ec[2]);
        setTriangle(child[1], ec[0], cc[1], ec[1]);
        setTriangle(child[2], ec[0], ec[1], ec[2]);
        setTriangle(child[3], ec[2], ec[1], cc[2]);

        // New vertices whose faces are all written now are finished.
        if (links_) links_->faceWritten(h, e, c, edgeDone, he);
    }
    // Faces left out leave their room unused.
    dst.faces.resize(4 * children);
    dst.halfEdges.resize(12 * children);
    dst.polygons.resize(4 * children);

    // The scratch flags go back to 0 for the whole part.
    for (RecordIndex r : src.halfEdges) {
        if (validIn(r, heCount)) he[r].hasMidpoint = 0;
    }
    for (RecordIndex r : src.vertices) {
        if (validIn(r, vxCount)) vx[r].updated = 0;
    }
}

}  // namespace subdiv
