#include "subdiv/linked_step.h"

#include <cstdint>
#include <vector>

#include "mesh/ring_walk.h"
#include "subdiv/child_layout.h"
#include "subdiv/limit_normals.h"

namespace subdiv {

bool linksWhileRefining(const BodyPart& part, std::vector<int32_t>& cornerCount) {
    const size_t faceCount = part.faces.size();
    if (part.polygons.empty() || !part.arena || faceCount == 0) return true;  // nothing to link
    const TopologyArena& a = *part.arena;
    const size_t n = part.halfEdges.size();
    const size_t vertexCount = part.vertices.size();
    if (n != 3 * faceCount || vertexCount == 0) return false;
    const RecordIndex hb = part.halfEdges[0];
    const RecordIndex fb = part.faces[0];
    const RecordIndex vb = part.vertices[0];
    if (hb < 0 || static_cast<size_t>(hb) + n > a.halfEdges.size() || fb < 0 ||
        static_cast<size_t>(fb) + faceCount > a.faces.size() || vb < 0 ||
        static_cast<size_t>(vb) + vertexCount > a.vertices.size()) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (part.halfEdges[i] != hb + static_cast<RecordIndex>(i)) return false;
    }
    for (size_t f = 0; f < faceCount; ++f) {
        if (part.faces[f] != fb + static_cast<RecordIndex>(f)) return false;
    }
    for (size_t j = 0; j < vertexCount; ++j) {
        if (part.vertices[j] != vb + static_cast<RecordIndex>(j)) return false;
    }
    const auto inRun = [](RecordIndex r, RecordIndex base, size_t count) {
        return r >= base && static_cast<size_t>(r - base) < count;
    };
    cornerCount.assign(vertexCount, 0);
    const HalfEdge* he = a.halfEdges.data() + hb;
    for (size_t f = 0; f < faceCount; ++f) {
        if (a.faces[static_cast<size_t>(fb) + f].edge != hb + static_cast<RecordIndex>(3 * f))
            return false;
        for (size_t k = 0; k < 3; ++k) {
            const size_t i = 3 * f + k;
            const HalfEdge& h = he[i];
            const HalfEdge& next = he[3 * f + (k + 1) % 3];
            if (h.next != hb + static_cast<RecordIndex>(3 * f + (k + 1) % 3) ||
                !inRun(h.origin, vb, vertexCount) || h.target != next.origin ||
                h.origin == next.origin || h.hasMidpoint != 0 ||
                a.vertices[static_cast<size_t>(h.origin)].updated != 0) {
                return false;
            }
            ++cornerCount[static_cast<size_t>(h.origin - vb)];
            if (h.boundary != 0) continue;
            if (!inRun(h.twin, hb, n)) return false;
            const HalfEdge& t = he[h.twin - hb];
            if (t.twin != hb + static_cast<RecordIndex>(i) || t.boundary != 0 ||
                t.origin != h.target || t.target != h.origin) {
                return false;
            }
        }
    }
    return true;
}

void ChildLinks::startPart(size_t i, const BodyPart& src, BodyPart& dst) {
    part_ = &dst;
    limit_.emplace(dst, result_.positions);
    sourceBase_ = src.halfEdges.empty() ? 0 : src.halfEdges[0];
    sourceVertices_ = src.vertices.empty() ? 0 : src.vertices[0];
    vertexBase_ = static_cast<RecordIndex>(arena_.vertices.size());
    pointBase_ = result_.positions.size();
    cornersLeft_ = scratch_.cornerCounts[i].data();
    scratch_.recordOf.clear();
    scratch_.boundaryEdge.clear();
    dst.vertices.reserve(src.vertices.size() + 3 * src.faces.size() / 2 + 8);
}

void ChildLinks::linkFace(size_t f, RecordIndex block, const RecordIndex h[3],
                          const int32_t point[6], const HalfEdge* he, RecordIndex record[6],
                          RecordIndex twin[12]) {
    TopologyArena& arena = arena_;
    std::vector<RecordIndex>& recordOf = scratch_.recordOf;
    if (recordOf.size() < result_.positions.size() - pointBase_)
        recordOf.resize(result_.positions.size() - pointBase_, NONE_INDEX);
#pragma GCC unroll 6
    for (const int slot : kFirstUse) {
        RecordIndex& r = recordOf[static_cast<size_t>(point[slot]) - pointBase_];
        if (r == NONE_INDEX) {
            r = static_cast<RecordIndex>(arena.vertices.size());
            arena.vertices.emplace_back().positionIndex = point[slot];
            part_->vertices.push_back(r);
            scratch_.boundaryEdge.push_back(NONE_INDEX);
        }
        record[slot] = r;
    }

    // Twins inside the face, and across each source edge into the block of the face beyond it.
    const RecordIndex partBlock = block - static_cast<RecordIndex>(12 * f);
#pragma GCC unroll 12
    for (int place = 0; place < 12; ++place)
        twin[place] = kInnerTwin[place] >= 0 ? block + kInnerTwin[place] : NONE_INDEX;
    MeshVertex* const vx = arena.vertices.data();
    for (int p = 0; p < 3; ++p) {
        const int from = kFromCorner[p];
        const int to = kToCorner[p];
        const HalfEdge& along = he[h[p]];
        if (along.boundary == 0) {
            const RecordIndex t = along.twin - sourceBase_;
            const RecordIndex beyond = partBlock + 12 * (t / 3);
            twin[from] = beyond + kToCorner[t % 3];
            twin[to] = beyond + kFromCorner[t % 3];
            continue;
        }
        // Boundary: both children make their ends boundary vertices; each becomes its origin's
        // last outgoing boundary half-edge so far.
        for (const int place : {from, to}) {
            const RecordIndex origin = record[kCornerSlot[place]];
            const RecordIndex target = record[kCornerSlot[kNextPlace[place]]];
            vx[origin].boundary = 1;
            vx[target].boundary = 1;
            scratch_.boundaryEdge[static_cast<size_t>(origin - vertexBase_)] = block + place;
        }
    }
    // Each point's vertex takes the last half-edge that starts there as its edge, and loses 2 of
    // sharpness per child corner: one for the half-edge that starts there and one for the
    // half-edge that ends there.
#pragma GCC unroll 6
    for (int slot = 0; slot < 6; ++slot) {
        MeshVertex& v = vx[record[slot]];
        v.edge = block + kLastStart[slot];
        v.sharpness -= 2 * kCornersAt[slot];
    }
}

void ChildLinks::faceWritten(const RecordIndex h[3], const RecordIndex record[6],
                             const bool edgeDone[3], const HalfEdge* he, MeshVertex* vx) {
    for (int p = 0; p < 3; ++p) {
        if (edgeDone[p]) finishVertex(record[kE0 + p]);
        const RecordIndex origin = he[h[p]].origin;
        if (--cornersLeft_[origin - sourceVertices_] == 0) {
            vx[origin].updated = 0;  // its last visit
            finishVertex(record[kC0 + p]);
        }
    }
}

// Once every face around new vertex r is written: its final edge (for a boundary vertex its last
// outgoing boundary half-edge), its valence (the length of its ring, as the relink counts it for
// a record it has just made), and its limit normal.
void ChildLinks::finishVertex(RecordIndex r) {
    MeshVertex& v = arena_.vertices[static_cast<size_t>(r)];
    Vec3& normal = result_.normals[static_cast<size_t>(v.positionIndex)];
    if (v.boundary != 0) {
        v.edge = scratch_.boundaryEdge[static_cast<size_t>(r - vertexBase_)];
        limit_->normal(r, normal);
        return;
    }
    // The ring, walked from the vertex's edge turning twin -> next, as the relink's valence
    // walk and the limit pass walk it.
    const HalfEdge* const he = arena_.halfEdges.data();
    const MeshVertex* const vx = arena_.vertices.data();
    const Vec3* const positions = result_.positions.data();
    const auto halfEdges = static_cast<uint32_t>(arena_.halfEdges.size());
    Vec3* const ring = ring_;
    size_t count = 0;
    for (RecordIndex e = v.edge;;) {
        const HalfEdge& edge = he[e];
        ring[count++] = positions[static_cast<size_t>(vx[edge.target].positionIndex)];
        if (static_cast<uint32_t>(edge.twin) >= halfEdges) break;
        e = he[edge.twin].next;
        if (e == v.edge) {
            v.valence += static_cast<int32_t>(count);
            interiorLimitNormal(ring, count, v.valence, normal);
            return;
        }
        if (count == kShortRing || static_cast<uint32_t>(e) >= halfEdges) break;
    }
    std::vector<Vec3>& longRing = scratch_.ring;
    longRing.clear();
    for (RingWalk walk(*part_, r, v.edge, RingTurn::kOutgoing, "valence"); !walk.atEnd();
         walk.advance()) {
        longRing.push_back(result_.positions[static_cast<size_t>(
            arena_.vertices[static_cast<size_t>(walk.edge().target)].positionIndex)]);
    }
    v.valence += static_cast<int32_t>(longRing.size());
    interiorLimitNormal(longRing.data(), longRing.size(), v.valence, normal);
}

}  // namespace subdiv
