#include "mesh/topology_check.h"

#include <set>
#include <string>

namespace {

std::string at(const char* what, size_t i) {
    return std::string(what) + " " + std::to_string(i);
}

bool validRecord(RecordIndex r, size_t size) {
    return r >= 0 && static_cast<size_t>(r) < size;
}

}  // namespace

std::string checkHalfEdges(const BodyPart& part) {
    if (part.polygons.empty()) {
        if (!part.halfEdges.empty() || !part.faces.empty() || !part.vertices.empty()) {
            return "a part without polygons has topology records";
        }
        return {};
    }
    if (!part.arena) return "no arena";
    const TopologyArena& arena = *part.arena;
    const size_t faceCount = part.polygons.size();
    if (part.faces.size() != faceCount) return "face record count differs from polygon count";
    if (part.halfEdges.size() != 3 * faceCount) return "half-edge count is not three per polygon";
    for (RecordIndex r : part.halfEdges) {
        if (!validRecord(r, arena.halfEdges.size())) return "half-edge reference out of range";
    }
    for (RecordIndex r : part.faces) {
        if (!validRecord(r, arena.faces.size())) return "face reference out of range";
    }
    for (RecordIndex r : part.vertices) {
        if (!validRecord(r, arena.vertices.size())) return "vertex reference out of range";
    }

    std::set<RecordIndex> ownVertices(part.vertices.begin(), part.vertices.end());
    std::set<RecordIndex> ownHalfEdges(part.halfEdges.begin(), part.halfEdges.end());
    std::set<RecordIndex> boundaryEnds;
    std::set<RecordIndex> boundaryStarts;
    for (size_t f = 0; f < faceCount; ++f) {
        const MeshFace& face = part.face(part.faces[f]);
        if (face.edge != part.halfEdges[3 * f])
            return at("face edge is not its first half-edge, face", f);
        if (face.index != static_cast<int32_t>(f)) return at("face index differs, face", f);
        const Polygon& polygon = part.polygons[f];
        if (polygon.size() < 3) return at("polygon with fewer than 3 corners", f);
        for (size_t k = 0; k < 3; ++k) {
            const RecordIndex hr = part.halfEdges[3 * f + k];
            const HalfEdge& h = part.halfEdge(hr);
            if (h.next != part.halfEdges[3 * f + (k + 1) % 3])
                return at("next breaks the triangle cycle, half-edge", 3 * f + k);
            if (h.prev != part.halfEdges[3 * f + (k + 2) % 3])
                return at("prev breaks the triangle cycle, half-edge", 3 * f + k);
            if (h.face != part.faces[f])
                return at("half-edge names another face, half-edge", 3 * f + k);
            if (!ownVertices.count(h.origin) || !ownVertices.count(h.target)) {
                return at("half-edge ends are not the part's vertices, half-edge", 3 * f + k);
            }
            if (part.vertex(h.origin).positionIndex != polygon[k].positionIndex ||
                part.vertex(h.target).positionIndex != polygon[(k + 1) % 3].positionIndex) {
                return at("half-edge does not run between its corners, half-edge", 3 * f + k);
            }
            if (h.twin == NONE_INDEX) {
                if (h.boundary != 1 || h.paired != 0)
                    return at("boundary flags wrong without twin, half-edge", 3 * f + k);
                boundaryEnds.insert(h.origin);
                boundaryEnds.insert(h.target);
                boundaryStarts.insert(h.origin);
            } else {
                if (!ownHalfEdges.count(h.twin))
                    return at("twin outside the part, half-edge", 3 * f + k);
                const HalfEdge& t = part.halfEdge(h.twin);
                if (t.twin != hr) return at("twin is not symmetric, half-edge", 3 * f + k);
                if (t.origin != h.target || t.target != h.origin)
                    return at("twin does not run the other way, half-edge", 3 * f + k);
                if (h.boundary != 0 || h.paired != 1)
                    return at("boundary flags wrong with twin, half-edge", 3 * f + k);
            }
        }
    }

    std::set<int32_t> positionsSeen;
    for (size_t i = 0; i < part.vertices.size(); ++i) {
        const RecordIndex vr = part.vertices[i];
        const MeshVertex& v = part.vertex(vr);
        if (!positionsSeen.insert(v.positionIndex).second)
            return at("two vertex records share a position index, vertex", i);
        if (!ownHalfEdges.count(v.edge) || part.halfEdge(v.edge).origin != vr)
            return at("vertex edge does not start at it, vertex", i);
        const bool onBoundary = boundaryEnds.count(vr) > 0;
        if ((v.boundary != 0) != onBoundary) return at("vertex boundary flag wrong, vertex", i);
        if (boundaryStarts.count(vr) > 0 && part.halfEdge(v.edge).boundary == 0) {
            return at("boundary vertex's edge is not a boundary half-edge, vertex", i);
        }
    }
    return {};
}
