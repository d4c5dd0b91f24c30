#include "subdiv/point_rules.h"

#include <array>
#include <cmath>
#include <numbers>

#include "mesh/ring_walk.h"

namespace {

// The weight in double: the cosine and the square of the ring term lose too much in single
// precision for the weights to sum back to one; the float is rounded from the double once.
float computeBeta(int32_t valence) {
    const double t = 1.0 / static_cast<double>(valence);
    const double u = 3.0 + 2.0 * std::cos(2.0 * std::numbers::pi * t);
    const double beta = t * (0.625 - u * u * 0.015625);
    return static_cast<float>(beta);
}

// The common valences, computed once; the same bits as computeBeta gives.
constexpr int32_t kTabulatedValences = 64;

}  // namespace

float loopBeta(int32_t valence) {
    static const std::array<float, kTabulatedValences + 1> table = [] {
        std::array<float, kTabulatedValences + 1> t{};
        for (int32_t n = 1; n <= kTabulatedValences; ++n)
            t[static_cast<size_t>(n)] = computeBeta(n);
        return t;
    }();
    if (valence <= 0) return 0.0f;
    if (valence <= kTabulatedValences) return table[static_cast<size_t>(valence)];
    return computeBeta(valence);
}

Vec3 PointMask::apply(const Vec3* values, uint32_t count) const {
    const auto at = [values, count](uint32_t i) { return i < count ? values[i] : Vec3{}; };
    switch (kind) {
        case Kind::kMidpoint:
            return (at(a) + at(b)) * 0.5f;
        case Kind::kSmoothEdge:
            return (3.0f * (at(a) + at(b)) + (at(c) + at(d))) * 0.125f;
        case Kind::kBoundaryVertex:
            return (at(b) + at(c)) * 0.125f + at(a) * 0.75f;
        case Kind::kKeep:
            return at(a);
        case Kind::kSmoothVertex: {
            Vec3 sum{};
            for (uint32_t i : *ring)
                sum += at(i);
            return beta * sum + keep * at(a);
        }
    }
    return {};
}

PointRules::PointRules(const BodyPart& part, const std::vector<Vec3>& positions,
                       const std::vector<Vec3>& normals)
    : part_(part),
      halfEdges_(part.arena ? part.arena->halfEdges.data() : nullptr),
      vertices_(part.arena ? part.arena->vertices.data() : nullptr),
      halfEdgeCount_(part.arena ? static_cast<uint32_t>(part.arena->halfEdges.size()) : 0),
      vertexCount_(part.arena ? static_cast<uint32_t>(part.arena->vertices.size()) : 0),
      positions_(positions.data()),
      normals_(normals.data()),
      positionCount_(static_cast<uint32_t>(positions.size())),
      normalCount_(static_cast<uint32_t>(normals.size())) {}

void PointRules::fault(RecordIndex v) const {
    reportRingFault("subdivision", part_.name,
                    validVertex(v) ? vertices_[v].positionIndex : NONE_INDEX);
}

RefinedPoint PointRules::edgePoint(RecordIndex h) {
    if (!validHalfEdge(h)) return {};
    return applied(edgeMask(h));
}

RefinedPoint PointRules::vertexPoint(RecordIndex v) const {
    if (!validVertex(v)) return {};
    return applied(vertexMask(v));
}

PointMask PointRules::edgeMask(RecordIndex h) {
    HalfEdge& edge = halfEdges_[h];
    PointMask mask;
    mask.kind = PointMask::Kind::kMidpoint;
    mask.a = indexOf(edge.origin);
    mask.b = indexOf(edge.target);
    if (edge.boundary != 0) return mask;
    if (edge.sharpness > 0) {
        edge.sharpness -= 1;
        return mask;
    }

    // Smooth: the corners opposite the edge, in this triangle and across the twin.
    const RecordIndex twin = edge.twin;
    const RecordIndex next = edge.next;
    const RecordIndex twinNext = validHalfEdge(twin) ? halfEdges_[twin].next : NONE_INDEX;
    if (!validHalfEdge(next) || !validHalfEdge(twinNext)) {
        fault(edge.origin);
        return mask;
    }
    mask.kind = PointMask::Kind::kSmoothEdge;
    mask.c = indexOf(halfEdges_[next].target);
    mask.d = indexOf(halfEdges_[twinNext].target);
    return mask;
}

PointMask PointRules::vertexMask(RecordIndex v) const {
    const MeshVertex& vertex = vertices_[v];
    PointMask mask;
    mask.a = indexOf(v);
    if (vertex.boundary != 0) {
        // B1: the target of the first boundary half-edge among the outgoing ones, walking from
        // the vertex's edge across twins; B2: the origin of the first boundary half-edge among
        // the incoming ones, walking from the half-edge before the vertex's edge.
        mask.kind = PointMask::Kind::kBoundaryVertex;
        mask.b = mask.c = mask.a;
        for (RingWalk walk(part_, v, vertex.edge, RingTurn::kOutgoing, "subdivision",
                           RingEnd::kNever);
             !walk.atEnd(); walk.advance()) {
            if (walk.edge().boundary != 0) {
                mask.b = indexOf(walk.edge().target);
                break;
            }
        }
        const RecordIndex before =
            validHalfEdge(vertex.edge) ? halfEdges_[vertex.edge].prev : NONE_INDEX;
        for (RingWalk walk(part_, v, before, RingTurn::kIncoming, "subdivision", RingEnd::kNever);
             !walk.atEnd(); walk.advance()) {
            if (walk.edge().boundary != 0) {
                mask.c = indexOf(walk.edge().origin);
                break;
            }
        }
        return mask;
    }
    if (vertex.sharpness > 0 || vertex.valence <= 0) return mask;  // kKeep

    // Smooth: the targets of the outgoing half-edges, in walk order.
    ring_.clear();
    for (RingWalk walk(part_, v, vertex.edge, RingTurn::kOutgoing, "subdivision"); !walk.atEnd();
         walk.advance()) {
        ring_.push_back(indexOf(walk.edge().target));
    }
    mask.kind = PointMask::Kind::kSmoothVertex;
    mask.beta = loopBeta(vertex.valence);
    mask.keep = 1.0f - static_cast<float>(vertex.valence) * mask.beta;
    mask.ring = &ring_;
    return mask;
}
