#include "subdiv/limit_normals.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "mesh/ring_walk.h"
#include "mesh/vertex_lookup.h"

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
          vertexCount_(part.arena->vertices.size()) {}

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
    static constexpr const char* kOperation = "limit normal";

    bool validHalfEdge(RecordIndex r) const { return static_cast<uint32_t>(r) < halfEdgeCount_; }

    Vec3 positionOf(RecordIndex r) const {
        if (static_cast<uint32_t>(r) >= vertexCount_) return {};
        const int32_t p = part_.vertex(r).positionIndex;
        if (static_cast<uint32_t>(p) >= positions_.size()) return {};
        return positions_[static_cast<size_t>(p)];
    }

    // (B2 - P) x (B1 - B2): B1 the target of the vertex's edge, B2 the origin of the first
    // boundary half-edge among its incoming ones, walking from the one before the edge.
    Vec3 boundaryCross(RecordIndex v) const {
        const MeshVertex& vertex = part_.vertex(v);
        const Vec3 p = positionOf(v);
        if (!validHalfEdge(vertex.edge)) {
            reportRingFault(kOperation, part_.name, vertex.positionIndex);
            return {};
        }
        const HalfEdge& edge = part_.halfEdge(vertex.edge);
        const Vec3 b1 = positionOf(edge.target);
        Vec3 b2 = p;
        for (RingWalk walk(part_, v, edge.prev, RingTurn::kIncoming, kOperation, RingEnd::kNever);
             !walk.atEnd(); walk.advance()) {
            if (walk.edge().boundary != 0) {
                b2 = positionOf(walk.edge().origin);
                break;
            }
        }
        return cross(b2 - p, b1 - b2);
    }

    // Tsin x Tcos over the ring, walked from the vertex's edge.
    Vec3 interiorCross(RecordIndex v) const {
        const int32_t n = part_.vertex(v).valence;
        Vec3 tcos{};
        Vec3 tsin{};
        for (RingWalk walk(part_, v, part_.vertex(v).edge, RingTurn::kOutgoing, kOperation);
             !walk.atEnd(); walk.advance()) {
            const Vec3 q = positionOf(walk.edge().target);
            const Direction d = directions_.at(static_cast<int32_t>(walk.visited() - 1), n);
            tcos += d.c * q;
            tsin += d.s * q;
        }
        return cross(tsin, tcos);
    }

    const BodyPart& part_;
    const std::vector<Vec3>& positions_;
    RingDirections& directions_;
    size_t halfEdgeCount_;
    size_t vertexCount_;
};

}  // namespace

void computeLimitNormals(Model& model) {
    RingDirections directions;
    // Every corner at the same vertex would store the same normal, so it is computed at the
    // vertex's first corner only; the message for a stray edge still comes once per corner.
    enum : uint8_t { kOpen = 0, kHandled = 1, kHandledStray = 2 };
    std::vector<uint8_t> state(model.normals.size(), kOpen);
    VertexLookup lookup(model.normals.size());

    for (const BodyPart& part : model.parts) {
        if (part.polygons.empty() || !part.arena) continue;
        lookup.addPart(part);
        const LimitNormals limit(part, model.positions, directions);
        for (const Polygon& polygon : part.polygons) {
            const size_t corners = polygon.size() < 3 ? polygon.size() : 3;
            for (size_t k = 0; k < corners; ++k) {
                const int32_t g = polygon[k].positionIndex;
                // A corner without a vertex record, or whose entry the list does not hold, is
                // skipped.
                if (static_cast<uint32_t>(g) >= state.size()) continue;
                const int32_t place = lookup.find(g);
                if (place < 0) continue;
                const RecordIndex v = part.vertices[static_cast<size_t>(place)];
                const auto at = static_cast<size_t>(g);
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
            if (static_cast<size_t>(v) >= part.arena->vertices.size()) continue;
            const int32_t p = part.vertex(v).positionIndex;
            if (static_cast<uint32_t>(p) < state.size()) state[static_cast<size_t>(p)] = kOpen;
        }
        lookup.clear(part);
    }
}
