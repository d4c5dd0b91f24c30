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

PointRules::PointRules(BodyPart& part, const std::vector<Vec3>& positions,
                       const std::vector<Vec3>& normals)
    : part_(part),
      halfEdges_(part.arena ? part.arena->halfEdges.data() : nullptr),
      vertices_(part.arena ? part.arena->vertices.data() : nullptr),
      halfEdgeCount_(part.arena ? static_cast<uint32_t>(part.arena->halfEdges.size()) : 0),
      vertexCount_(part.arena ? static_cast<uint32_t>(part.arena->vertices.size()) : 0),
      positions_(positions.data()),
      normals_(normals.data()),
      positionCount_(static_cast<uint32_t>(positions.size())),
      normalCount_(static_cast<uint32_t>(normals.size())),
      stepLimit_(ringStepLimit(part.halfEdges.size())) {}

void PointRules::fault(RecordIndex v) const {
    reportRingFault("subdivision", part_.name,
                    validVertex(v) ? vertices_[v].positionIndex : NONE_INDEX);
}

RefinedPoint PointRules::edgePoint(RecordIndex h) {
    if (!validHalfEdge(h)) return {};
    HalfEdge& edge = halfEdges_[h];
    const Vec3 p0 = positionOf(edge.origin);
    const Vec3 p1 = positionOf(edge.target);
    const Vec3 n0 = normalOf(edge.origin);
    const Vec3 n1 = normalOf(edge.target);
    const RefinedPoint midpoint{(p0 + p1) * 0.5f, (n0 + n1) * 0.5f};
    if (edge.boundary != 0) return midpoint;
    if (edge.sharpness > 0) {
        edge.sharpness -= 1;
        return midpoint;
    }

    // Smooth: the corners opposite the edge, in this triangle and across the twin.
    const RecordIndex twin = edge.twin;
    const RecordIndex next = edge.next;
    const RecordIndex twinNext = validHalfEdge(twin) ? halfEdges_[twin].next : NONE_INDEX;
    if (!validHalfEdge(next) || !validHalfEdge(twinNext)) {
        fault(edge.origin);
        return midpoint;
    }
    const RecordIndex c1 = halfEdges_[next].target;
    const RecordIndex c2 = halfEdges_[twinNext].target;
    const Vec3 q1 = positionOf(c1);
    const Vec3 q2 = positionOf(c2);
    const Vec3 m1 = normalOf(c1);
    const Vec3 m2 = normalOf(c2);
    return {(3.0f * (p0 + p1) + (q1 + q2)) * 0.125f, (3.0f * (n0 + n1) + (m1 + m2)) * 0.125f};
}

RefinedPoint PointRules::vertexPoint(RecordIndex v) const {
    if (!validVertex(v)) return {};
    const MeshVertex& vertex = vertices_[v];
    if (vertex.boundary != 0) return boundaryVertexPoint(v);
    if (vertex.sharpness > 0 || vertex.valence <= 0) return {positionOf(v), normalOf(v)};
    return smoothVertexPoint(v);
}

RefinedPoint PointRules::boundaryVertexPoint(RecordIndex v) const {
    const MeshVertex& vertex = vertices_[v];

    // B1: the target of the first boundary half-edge among the outgoing ones, walking from the
    // vertex's edge across twins; B2: the origin of the first boundary half-edge among the
    // incoming ones, walking from the half-edge before the vertex's edge.
    const RecordIndex out = firstBoundaryHalfEdge(halfEdges_, halfEdgeCount_, vertex.edge,
                                                  RingDirection::kOutgoing, stepLimit_);
    if (out == NONE_INDEX) fault(v);
    const RecordIndex b1 = out == NONE_INDEX ? v : halfEdges_[out].target;
    const RecordIndex before =
        validHalfEdge(vertex.edge) ? halfEdges_[vertex.edge].prev : NONE_INDEX;
    const RecordIndex in = firstBoundaryHalfEdge(halfEdges_, halfEdgeCount_, before,
                                                 RingDirection::kIncoming, stepLimit_);
    if (in == NONE_INDEX) fault(v);
    const RecordIndex b2 = in == NONE_INDEX ? v : halfEdges_[in].origin;

    const Vec3 p = positionOf(v);
    const Vec3 n = normalOf(v);
    return {(positionOf(b1) + positionOf(b2)) * 0.125f + p * 0.75f,
            (normalOf(b1) + normalOf(b2)) * 0.125f + n * 0.75f};
}

RefinedPoint PointRules::smoothVertexPoint(RecordIndex v) const {
    const MeshVertex& vertex = vertices_[v];
    const int32_t n = vertex.valence;
    const float beta = loopBeta(n);

    // The ring: the targets of the outgoing half-edges, in walk order.
    Vec3 ringPositions{};
    Vec3 ringNormals{};
    const RecordIndex start = vertex.edge;
    RecordIndex h = start;
    bool closed = false;
    for (size_t step = 0; step < stepLimit_ && validHalfEdge(h); ++step) {
        const HalfEdge& e = halfEdges_[h];
        ringPositions += positionOf(e.target);
        ringNormals += normalOf(e.target);
        h = validHalfEdge(e.twin) ? halfEdges_[e.twin].next : NONE_INDEX;
        if (h == start) {
            closed = true;
            break;
        }
    }
    if (!closed) fault(v);

    const float keep = 1.0f - static_cast<float>(n) * beta;
    return {beta * ringPositions + keep * positionOf(v), beta * ringNormals + keep * normalOf(v)};
}
