// Face normals and vertex normals: a vertex normal is the normalised, unweighted sum of the unit
// normals of the triangles around the vertex within its part.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "mesh/model.h"
#include "mesh/ring_walk.h"

namespace {

// v scaled by the reciprocal of its length; the reciprocal is taken in double and rounded to a
// float once. A zero (or non-finite) length gives the zero vector instead of NaN.
Vec3 scaledByInverseLength(const Vec3& v) {
    const float squared = v.x * v.x + v.y * v.y + v.z * v.z;
    const float r = static_cast<float>(1.0 / std::sqrt(static_cast<double>(squared)));
    if (!(squared > 0.0f) || !std::isfinite(r)) return {};
    const Vec3 out{v.x * r, v.y * r, v.z * r};
    if (!std::isfinite(out.x) || !std::isfinite(out.y) || !std::isfinite(out.z)) return {};
    return out;
}

const Vec3& positionAt(const std::vector<Vec3>& positions, int32_t index) {
    static const Vec3 kOrigin{};
    if (index < 0 || static_cast<size_t>(index) >= positions.size()) return kOrigin;
    return positions[static_cast<size_t>(index)];
}

class VertexNormals {
public:
    explicit VertexNormals(const BodyPart& part) : part_(part) {}

    // A boundary vertex whose edge is not a boundary half-edge (it ends a boundary half-edge but
    // starts none, as on triangles that are not consistently oriented).
    bool hasStrayEdge(RecordIndex v) const {
        const MeshVertex& vertex = part_.vertex(v);
        return vertex.boundary != 0 && vertex.edge != NONE_INDEX &&
               part_.halfEdge(vertex.edge).boundary == 0;
    }

    // The sum of the face normals around vertex v, walking from its edge; for a boundary vertex
    // from its boundary edge across the neighbouring triangles to the other boundary.
    Vec3 sumAround(RecordIndex v) const {
        const MeshVertex& vertex = part_.vertex(v);
        const size_t limit = ringStepLimit(part_.halfEdges.size());
        Vec3 s{};
        RecordIndex h = vertex.edge;
        if (h == NONE_INDEX) return s;
        if (vertex.boundary != 0) {
            for (size_t step = 0;; ++step) {
                if (step == limit) return fault(vertex, s);
                s += faceNormal(h);
                const RecordIndex p = part_.halfEdge(h).prev;
                if (p == NONE_INDEX) return fault(vertex, s);
                if (part_.halfEdge(p).boundary != 0) break;
                h = part_.halfEdge(p).twin;
                if (h == NONE_INDEX) return fault(vertex, s);
                if (part_.halfEdge(h).boundary != 0) break;
            }
        } else {
            for (size_t step = 0;; ++step) {
                if (step == limit) return fault(vertex, s);
                s += faceNormal(h);
                const RecordIndex twin = part_.halfEdge(h).twin;
                if (twin == NONE_INDEX) return fault(vertex, s);
                h = part_.halfEdge(twin).next;
                if (h == vertex.edge) break;
            }
        }
        return s;
    }

private:
    Vec3 faceNormal(RecordIndex h) const {
        const RecordIndex f = part_.halfEdge(h).face;
        if (f == NONE_INDEX) return {};
        const int32_t index = part_.face(f).index;
        if (index < 0 || static_cast<size_t>(index) >= part_.faceNormals.size()) return {};
        return part_.faceNormals[static_cast<size_t>(index)];
    }

    Vec3 fault(const MeshVertex& vertex, const Vec3& s) const {
        reportRingFault("vertex normal", part_.name, vertex.positionIndex);
        return s;
    }

    const BodyPart& part_;
};

}  // namespace

void Model::computeNormals() {
    std::printf("Calculating Normals...");

    // Face normals, appended to each part's list.
    for (BodyPart& part : parts) {
        part.faceNormals.reserve(part.faceNormals.size() + part.polygons.size());
        for (const Polygon& polygon : part.polygons) {
            if (polygon.size() < 3) {
                part.faceNormals.push_back({});
                continue;
            }
            const Vec3& p0 = positionAt(positions, polygon[0].positionIndex);
            const Vec3& p1 = positionAt(positions, polygon[1].positionIndex);
            const Vec3& p2 = positionAt(positions, polygon[2].positionIndex);
            part.faceNormals.push_back(scaledByInverseLength(cross(p1 - p0, p2 - p0)));
        }
    }

    // Vertex normals, corner by corner. A vertex gets the same normal at each of its corners, so
    // each record's walk is done once, at its first corner; only the message repeats per corner.
    struct Cached {
        Vec3 normal;
        bool known = false;
    };
    std::vector<Cached> cache;
    std::vector<RecordIndex> vertexOf(positions.size(), NONE_INDEX);
    for (const BodyPart& part : parts) {
        if (!part.arena) continue;
        // Position index -> the part's first vertex record with it (the first match of a scan).
        for (RecordIndex v : part.vertices) {
            const int32_t p = part.vertex(v).positionIndex;
            if (p >= 0 && static_cast<size_t>(p) < vertexOf.size() &&
                vertexOf[static_cast<size_t>(p)] == NONE_INDEX) {
                vertexOf[static_cast<size_t>(p)] = v;
            }
        }
        if (cache.size() < part.arena->vertices.size()) cache.resize(part.arena->vertices.size());
        const VertexNormals walker(part);

        for (const Polygon& polygon : part.polygons) {
            const size_t corners = std::min<size_t>(polygon.size(), 3);
            for (size_t k = 0; k < corners; ++k) {
                const Corner& corner = polygon[k];
                const int32_t p = corner.positionIndex;
                Vec3 normal{};
                if (p >= 0 && static_cast<size_t>(p) < vertexOf.size() &&
                    vertexOf[static_cast<size_t>(p)] != NONE_INDEX) {
                    const RecordIndex v = vertexOf[static_cast<size_t>(p)];
                    if (walker.hasStrayEdge(v)) std::printf("This should never happen!\n");
                    Cached& c = cache[static_cast<size_t>(v)];
                    if (!c.known) {
                        c.normal = scaledByInverseLength(walker.sumAround(v));
                        c.known = true;
                    }
                    normal = c.normal;
                }
                if (corner.normalSlot == -1) {
                    normals.push_back(normal);
                } else if (p >= 0) {
                    if (static_cast<size_t>(p) >= normals.size())
                        normals.resize(static_cast<size_t>(p) + 1);
                    normals[static_cast<size_t>(p)] = normal;
                }
            }
        }

        for (RecordIndex v : part.vertices) {
            const int32_t p = part.vertex(v).positionIndex;
            if (p >= 0 && static_cast<size_t>(p) < vertexOf.size())
                vertexOf[static_cast<size_t>(p)] = NONE_INDEX;
            cache[static_cast<size_t>(v)] = Cached{};
        }
    }
    std::printf("Done\n");
}
