// Face normals and vertex normals: a vertex normal is the normalised, unweighted sum of the unit
// normals of the triangles around the vertex within its part.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "mesh/model.h"
#include "mesh/ring_walk.h"
#include "mesh/vertex_lookup.h"

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

    // The sum of the face normals around vertex v, walking from its edge: round the ring of an
    // interior vertex, and for a boundary vertex from its boundary edge back across the
    // neighbouring triangles until the other boundary is reached.
    Vec3 sumAround(RecordIndex v) const {
        const MeshVertex& vertex = part_.vertex(v);
        Vec3 s{};
        if (vertex.edge == NONE_INDEX) return s;
        if (vertex.boundary == 0) {
            for (RingWalk walk(part_, v, vertex.edge, RingTurn::kOutgoing, kOperation);
                 !walk.atEnd(); walk.advance()) {
                s += faceNormal(walk.edge());
            }
            return s;
        }
        for (RingWalk walk(part_, v, vertex.edge, RingTurn::kBackward, kOperation, RingEnd::kNever);
             !walk.atEnd();) {
            s += faceNormal(walk.edge());
            if (validHalfEdge(walk.edge().prev) && part_.halfEdge(walk.edge().prev).boundary != 0)
                break;
            walk.advance();
            if (!walk.atEnd() && walk.edge().boundary != 0) break;
        }
        return s;
    }

private:
    static constexpr const char* kOperation = "vertex normal";

    bool validHalfEdge(RecordIndex r) const {
        return static_cast<size_t>(r) < part_.arena->halfEdges.size();
    }

    Vec3 faceNormal(const HalfEdge& h) const {
        if (static_cast<size_t>(h.face) >= part_.arena->faces.size()) return {};
        const int32_t index = part_.face(h.face).index;
        if (index < 0 || static_cast<size_t>(index) >= part_.faceNormals.size()) return {};
        return part_.faceNormals[static_cast<size_t>(index)];
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
    // the walk round each position's vertex is done once per part, at its first corner; only the
    // message repeats per corner. The answers are kept per position index, stamped with the part
    // they belong to.
    struct Known {
        Vec3 normal;
        uint32_t part = 0;  // 1 + the part's number; 0: nothing known
        bool stray = false;
    };
    std::vector<Known> known(positions.size());
    VertexLookup lookup(positions.size());
    uint32_t partNumber = 0;
    for (const BodyPart& part : parts) {
        if (!part.arena) continue;
        ++partNumber;
        lookup.addPart(part);
        const VertexNormals walker(part);

        for (const Polygon& polygon : part.polygons) {
            const size_t corners = std::min<size_t>(polygon.size(), 3);
            for (size_t k = 0; k < corners; ++k) {
                const Corner& corner = polygon[k];
                const int32_t p = corner.positionIndex;
                Vec3 normal{};
                // Only corners whose position exists have a vertex to walk around.
                if (p >= 0 && static_cast<size_t>(p) < positions.size()) {
                    Known& at = known[static_cast<size_t>(p)];
                    if (at.part != partNumber) {
                        at = Known{{}, partNumber, false};
                        const int32_t place = lookup.find(p);
                        if (place >= 0) {
                            const RecordIndex v = part.vertices[static_cast<size_t>(place)];
                            at.stray = walker.hasStrayEdge(v);
                            if (at.stray) std::printf("This should never happen!\n");
                            at.normal = scaledByInverseLength(walker.sumAround(v));
                        }
                    } else if (at.stray) {
                        std::printf("This should never happen!\n");
                    }
                    normal = at.normal;
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
        lookup.clear(part);
    }
    std::printf("Done\n");
}
