#include "subdiv/limit_normals.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "mesh/ring_walk.h"
#include "mesh/vertex_lookup.h"

namespace {

constexpr const char* kOperation = "limit normal";
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

// The directions 0 .. n - 1 of valence n, from a table made once for the common valences; none
// for the others.
const Direction* directionsOf(int32_t n) {
    constexpr int32_t kTabulated = 64;
    static const std::vector<Direction> table = [] {
        std::vector<Direction> t;
        for (int32_t m = 1; m <= kTabulated; ++m) {
            for (int32_t j = 0; j < m; ++j)
                t.push_back(ringDirection(j, m));
        }
        return t;
    }();
    if (n < 1 || n > kTabulated) return nullptr;
    // Row n follows the rows 1 .. n - 1, which hold n (n - 1) / 2 entries.
    return table.data() + n * (n - 1) / 2;
}

// The unit vector along n; false when it has no direction.
bool unitOf(const Vec3& n, Vec3& out) {
    const float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (!(len > 0.0f) || !std::isfinite(len)) return false;
    out = {n.x / len, n.y / len, n.z / len};
    return true;
}

}  // namespace

bool VertexLimitNormal::strayEdge(RecordIndex v) const {
    const MeshVertex& vertex = part_.vertex(v);
    return vertex.boundary != 0 &&
           static_cast<size_t>(vertex.edge) < part_.arena->halfEdges.size() &&
           part_.halfEdge(vertex.edge).boundary == 0;
}

namespace {

// Tcos and Tsin of a ring of `count` points with the directions of row, term by term as the
// general loop below adds them: x, y and z side by side in the lanes of one vector (a lane's
// product and sum round as the single ones do), and a count known when compiling unrolls the
// loop.
using Lanes = float __attribute__((vector_size(16)));

template <size_t kCount>
void ringSums(const Direction* row, const Vec3* ring, size_t count, Vec3& tcos, Vec3& tsin) {
    const size_t n = kCount > 0 ? kCount : count;
    Lanes c = {tcos.x, tcos.y, tcos.z, 0.0f};
    Lanes s = {tsin.x, tsin.y, tsin.z, 0.0f};
#pragma GCC unroll 8
    for (size_t k = 0; k < n; ++k) {
        const Lanes p = {ring[k].x, ring[k].y, ring[k].z, 0.0f};
        c += row[k].c * p;
        s += row[k].s * p;
    }
    tcos = {c[0], c[1], c[2]};
    tsin = {s[0], s[1], s[2]};
}

}  // namespace

bool interiorLimitNormal(const Vec3* ring, size_t count, int32_t n, Vec3& out) {
    // Tsin x Tcos with the angles of the valence.
    const Direction* row = directionsOf(n);
    Vec3 tcos{};
    Vec3 tsin{};
    if (row && count == static_cast<size_t>(n)) {
        // The ring of a counted valence; 6 for every new vertex inside a refined surface.
        if (count == 6) {
            ringSums<6>(row, ring, count, tcos, tsin);
        } else {
            ringSums<0>(row, ring, count, tcos, tsin);
        }
        return unitOf(cross(tsin, tcos), out);
    }
    for (size_t k = 0; k < count; ++k) {
        const Direction d =
            row && k < static_cast<size_t>(n) ? row[k] : ringDirection(static_cast<int32_t>(k), n);
        tcos += d.c * ring[k];
        tsin += d.s * ring[k];
    }
    return unitOf(cross(tsin, tcos), out);
}

bool VertexLimitNormal::normal(RecordIndex v, Vec3& out) const {
    const MeshVertex& vertex = part_.vertex(v);
    if (vertex.boundary != 0) return unitOf(boundaryCross(v), out);
    // An interior vertex without a counted valence has no ring angles.
    if (vertex.valence <= 0) return false;
    ring_.clear();
    for (RingWalk walk(part_, v, vertex.edge, RingTurn::kOutgoing, kOperation); !walk.atEnd();
         walk.advance()) {
        ring_.push_back(positionOf(walk.edge().target));
    }
    return interiorLimitNormal(ring_.data(), ring_.size(), vertex.valence, out);
}

Vec3 VertexLimitNormal::positionOf(RecordIndex r) const {
    if (static_cast<size_t>(r) >= part_.arena->vertices.size()) return {};
    const int32_t p = part_.vertex(r).positionIndex;
    if (static_cast<uint32_t>(p) >= positions_.size()) return {};
    return positions_[static_cast<size_t>(p)];
}

// (B2 - P) x (B1 - B2): B1 the target of the vertex's edge, B2 the origin of the first boundary
// half-edge among its incoming ones, walking from the one before the edge.
Vec3 VertexLimitNormal::boundaryCross(RecordIndex v) const {
    const MeshVertex& vertex = part_.vertex(v);
    const Vec3 p = positionOf(v);
    if (static_cast<size_t>(vertex.edge) >= part_.arena->halfEdges.size()) {
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

void computeLimitNormals(Model& model) {
    // Every corner at the same vertex would store the same normal, so it is computed at the
    // vertex's first corner only; the message for a stray edge still comes once per corner.
    enum : uint8_t { kOpen = 0, kHandled = 1, kHandledStray = 2 };
    std::vector<uint8_t> state(model.normals.size(), kOpen);
    VertexLookup lookup(model.normals.size());

    for (const BodyPart& part : model.parts) {
        if (part.polygons.empty() || !part.arena) continue;
        lookup.addPart(part);
        const VertexLimitNormal limit(part, model.positions);
        for (const Polygon& polygon : part.polygons) {
            const size_t corners = polygon.size() < 3 ? polygon.size() : 3;
            for (size_t k = 0; k < corners; ++k) {
                const int32_t g = polygon[k].positionIndex;
                // A corner without a vertex record, or whose entry the list does not hold, is
                // skipped.
                if (static_cast<uint32_t>(g) >= state.size()) continue;
                uint8_t& seen = state[static_cast<size_t>(g)];
                if (seen == kOpen) {
                    const int32_t place = lookup.find(g);
                    if (place < 0) continue;
                    const RecordIndex v = part.vertices[static_cast<size_t>(place)];
                    seen = limit.strayEdge(v) ? kHandledStray : kHandled;
                    if (seen == kHandledStray) std::printf("bLAH");
                    limit.normal(v, model.normals[static_cast<size_t>(g)]);
                } else if (seen == kHandledStray) {
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
