#include "subdiv/limit_normals.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "mesh/ring_walk.h"

namespace {

constexpr float kTwoPi = static_cast<float>(2.0 * std::numbers::pi);

// cos and sin of the ring angle 2 pi k / n, in single precision.
struct Direction {
    float c;
    float s;
};

Direction ringDirection(int32_t k, int32_t n) {
    const float a = kTwoPi * static_cast<float>(k) / static_cast<float>(n);
    return {std::cos(a), std::sin(a)};
}

// The directions of the common valences, computed once per valence on first use: the same bits
// as ringDirection gives.
class RingDirections {
public:
    Direction at(int32_t k, int32_t n) {
        if (n > kTabulated || k >= n) return ringDirection(k, n);
        std::vector<Direction>& row = rows_[static_cast<size_t>(n)];
        if (row.empty()) {
            row.reserve(static_cast<size_t>(n));
            for (int32_t j = 0; j < n; ++j)
                row.push_back(ringDirection(j, n));
        }
        return row[static_cast<size_t>(k)];
    }

private:
    static constexpr int32_t kTabulated = 64;
    std::array<std::vector<Direction>, kTabulated + 1> rows_;
};

class LimitNormals {
public:
    LimitNormals(const BodyPart& part, const std::vector<Vec3>& positions,
                 RingDirections& directions)
        : part_(part),
          positions_(positions),
          directions_(directions),
          halfEdgeCount_(part.arena->halfEdges.size()),
          vertexCount_(part.arena->vertices.size()),
          stepLimit_(ringStepLimit(part.halfEdges.size())) {}

    // A boundary vertex whose edge is not a boundary half-edge.
    bool strayEdge(RecordIndex v) const {
        const MeshVertex& vertex = part_.vertex(v);
        return vertex.boundary != 0 && validHalfEdge(vertex.edge) &&
               part_.halfEdge(vertex.edge).boundary == 0;
    }

    // The limit normal of vertex v; false when it has no direction.
    bool normal(RecordIndex v, Vec3& out) const {
        const MeshVertex& vertex = part_.vertex(v);
        // An interior vertex without a counted valence has no ring angles.
        if (vertex.boundary == 0 && vertex.valence <= 0) return false;
        const Vec3 n = vertex.boundary != 0 ? boundaryCross(v) : interiorCross(v);
        const float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        if (!(len > 0.0f) || !std::isfinite(len)) return false;
        out = {n.x / len, n.y / len, n.z / len};
        return true;
    }

private:
    bool validHalfEdge(RecordIndex r) const { return static_cast<uint32_t>(r) < halfEdgeCount_; }

    Vec3 positionOf(RecordIndex r) const {
        if (static_cast<uint32_t>(r) >= vertexCount_) return {};
        const int32_t p = part_.vertex(r).positionIndex;
        if (static_cast<uint32_t>(p) >= positions_.size()) return {};
        return positions_[static_cast<size_t>(p)];
    }

    void fault(RecordIndex v) const {
        reportRingFault("limit normal", part_.name, part_.vertex(v).positionIndex);
    }

    Vec3 boundaryCross(RecordIndex v) const {
        const MeshVertex& vertex = part_.vertex(v);
        const Vec3 p = positionOf(v);
        if (!validHalfEdge(vertex.edge)) {
            fault(v);
            return {};
        }
        const Vec3 b1 = positionOf(part_.halfEdge(vertex.edge).target);
        // B2: the origin of the first boundary half-edge among the incoming ones, walking from
        // the one before the edge across twins.
        const RecordIndex in = firstBoundaryHalfEdge(part_.arena->halfEdges.data(), halfEdgeCount_,
                                                     part_.halfEdge(vertex.edge).prev,
                                                     RingDirection::kIncoming, stepLimit_);
        if (in == NONE_INDEX) fault(v);
        const Vec3 b2 = in == NONE_INDEX ? p : positionOf(part_.halfEdge(in).origin);
        return cross(b2 - p, b1 - b2);
    }

    Vec3 interiorCross(RecordIndex v) const {
        const MeshVertex& vertex = part_.vertex(v);
        const int32_t n = vertex.valence;
        Vec3 tcos{};
        Vec3 tsin{};
        const RecordIndex start = vertex.edge;
        RecordIndex h = start;
        bool closed = false;
        for (size_t step = 0; step < stepLimit_ && validHalfEdge(h); ++step) {
            const HalfEdge& e = part_.halfEdge(h);
            const Vec3 q = positionOf(e.target);
            const Direction d = directions_.at(static_cast<int32_t>(step), n);
            tcos += d.c * q;
            tsin += d.s * q;
            h = validHalfEdge(e.twin) ? part_.halfEdge(e.twin).next : NONE_INDEX;
            if (h == start) {
                closed = true;
                break;
            }
        }
        if (!closed) fault(v);
        return cross(tsin, tcos);
    }

    const BodyPart& part_;
    const std::vector<Vec3>& positions_;
    RingDirections& directions_;
    size_t halfEdgeCount_;
    size_t vertexCount_;
    size_t stepLimit_;
};

}  // namespace

void computeLimitNormals(Model& model) {
    RingDirections directions;
    // Per position index, for the part at hand: the first vertex record with that index (the
    // first match of a scan of the part's vertices from its first entry), and whether its
    // normal has been handled. Every corner at the same vertex would store the same normal, so
    // it is computed at the first corner only.
    std::vector<RecordIndex> vertexOf(model.normals.size(), NONE_INDEX);
    enum : uint8_t { kOpen = 0, kHandled = 1, kHandledStray = 2 };
    std::vector<uint8_t> state(model.normals.size(), kOpen);

    for (const BodyPart& part : model.parts) {
        if (part.polygons.empty() || !part.arena) continue;
        const size_t vertexCount = part.arena->vertices.size();
        for (RecordIndex v : part.vertices) {
            if (static_cast<uint32_t>(v) >= vertexCount) continue;
            const int32_t p = part.vertex(v).positionIndex;
            if (static_cast<uint32_t>(p) < vertexOf.size() &&
                vertexOf[static_cast<size_t>(p)] == NONE_INDEX) {
                vertexOf[static_cast<size_t>(p)] = v;
            }
        }

        const LimitNormals limit(part, model.positions, directions);
        for (const Polygon& polygon : part.polygons) {
            const size_t corners = polygon.size() < 3 ? polygon.size() : 3;
            for (size_t k = 0; k < corners; ++k) {
                const int32_t g = polygon[k].positionIndex;
                // A corner without a vertex record, or whose entry the list does not hold, is
                // skipped.
                if (static_cast<uint32_t>(g) >= vertexOf.size()) continue;
                const auto at = static_cast<size_t>(g);
                const RecordIndex v = vertexOf[at];
                if (v == NONE_INDEX) continue;
                if (state[at] == kOpen) {
                    state[at] = limit.strayEdge(v) ? kHandledStray : kHandled;
                    if (state[at] == kHandledStray) std::printf("bLAH");
                    Vec3 n;
                    if (limit.normal(v, n)) model.normals[at] = n;
                } else if (state[at] == kHandledStray) {
                    std::printf("bLAH");
                }
            }
        }

        for (RecordIndex v : part.vertices) {
            if (static_cast<uint32_t>(v) >= vertexCount) continue;
            const int32_t p = part.vertex(v).positionIndex;
            if (static_cast<uint32_t>(p) < vertexOf.size()) {
                vertexOf[static_cast<size_t>(p)] = NONE_INDEX;
                state[static_cast<size_t>(p)] = kOpen;
            }
        }
    }
}
