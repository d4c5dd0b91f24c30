// Plain versions of the half-edge build, the relink and the vertex normals, written as the
// straightforward scans (vertex matching from the first entry, twin search over the whole list,
// a fresh walk per corner). The fast versions must give the same records, bit for bit.
#include "tests/literal_scans.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "mesh/ring_walk.h"

namespace literal {
namespace {

RecordIndex findVertex(BodyPart& part, int32_t p) {
    for (RecordIndex v : part.vertices) {
        if (part.vertex(v).positionIndex == p) return v;
    }
    const RecordIndex r = static_cast<RecordIndex>(part.arena->vertices.size());
    part.arena->vertices.push_back(MeshVertex{});
    part.vertices.push_back(r);
    part.arena->vertices.back().positionIndex = p;
    return r;
}

void pair(BodyPart& part, RecordIndex h, RecordIndex m) {
    part.halfEdge(h).paired = 1;
    part.halfEdge(h).boundary = 0;
    part.halfEdge(h).twin = m;
    part.halfEdge(m).paired = 1;
    part.halfEdge(m).boundary = 0;
    part.halfEdge(m).twin = h;
}

void linkTriangle(BodyPart& part, size_t f, bool twinSearch) {
    const Polygon polygon = part.getPolygon(static_cast<int>(f));
    const RecordIndex h[3] = {part.halfEdges[3 * f], part.halfEdges[3 * f + 1],
                              part.halfEdges[3 * f + 2]};
    for (int k = 0; k < 3; ++k) {
        part.halfEdge(h[k]).face = part.faces[f];
        part.halfEdge(h[k]).next = h[(k + 1) % 3];
        part.halfEdge(h[k]).prev = h[(k + 2) % 3];
        const RecordIndex o = findVertex(part, polygon[static_cast<size_t>(k)].positionIndex);
        part.vertex(o).edge = h[k];
        part.halfEdge(h[k]).origin = o;
        const RecordIndex t =
            findVertex(part, polygon[static_cast<size_t>((k + 1) % 3)].positionIndex);
        part.vertex(t).edge = part.halfEdge(h[k]).next;
        part.halfEdge(h[k]).target = t;
        if (twinSearch && part.halfEdge(h[k]).paired == 0) {
            for (RecordIndex m : part.halfEdges) {
                const HalfEdge& e = part.halfEdge(m);
                if (e.paired == 0 && e.target == part.halfEdge(h[k]).origin &&
                    e.origin == part.halfEdge(h[k]).target) {
                    pair(part, h[k], m);
                }
            }
        }
    }
    part.face(part.faces[f]).edge = h[0];
}

void valences(BodyPart& part) {
    const size_t limit = ringStepLimit(part.halfEdges.size());
    for (RecordIndex v : part.vertices) {
        if (part.vertex(v).boundary != 0) continue;
        RecordIndex e = part.vertex(v).edge;
        size_t steps = 0;
        do {
            part.vertex(v).valence += 1;
            const RecordIndex twin = part.halfEdge(e).twin;
            e = twin == NONE_INDEX ? NONE_INDEX : part.halfEdge(twin).next;
            ++steps;
        } while (e != part.vertex(v).edge && e != NONE_INDEX && steps < limit);
        if (e != part.vertex(v).edge)
            reportRingFault("valence", part.name, part.vertex(v).positionIndex);
    }
}

bool linkable(const BodyPart& part, size_t f) {
    return f < part.polygons.size() && part.polygons[f].size() >= 3 &&
           3 * f + 2 < part.halfEdges.size();
}

}  // namespace

void build(Model& model) {
    auto arena = std::make_shared<TopologyArena>();
    for (BodyPart& part : model.parts) {
        part.halfEdges.clear();
        part.faces.clear();
        part.vertices.clear();
        part.arena = arena;
        if (part.polygons.empty()) continue;
        for (size_t f = 0; f < part.polygons.size(); ++f) {
            part.faces.push_back(static_cast<RecordIndex>(arena->faces.size()));
            arena->faces.push_back(MeshFace{NONE_INDEX, static_cast<int32_t>(f)});
            for (int k = 0; k < 3; ++k) {
                part.halfEdges.push_back(static_cast<RecordIndex>(arena->halfEdges.size()));
                arena->halfEdges.push_back(HalfEdge{});
            }
        }
        for (size_t f = 0; f < part.polygons.size(); ++f) {
            if (linkable(part, f)) linkTriangle(part, f, true);
        }
        for (RecordIndex h : part.halfEdges) {
            if (part.halfEdge(h).boundary == 1 && part.halfEdge(h).origin != NONE_INDEX) {
                part.vertex(part.halfEdge(h).origin).boundary = 1;
                part.vertex(part.halfEdge(h).origin).edge = h;
                part.vertex(part.halfEdge(h).target).boundary = 1;
            }
        }
        valences(part);
        for (RecordIndex h : part.halfEdges) {
            part.halfEdge(h).sharpness = 0;
            if (part.halfEdge(h).origin == NONE_INDEX) continue;
            part.vertex(part.halfEdge(h).origin).sharpness = 0;
            part.vertex(part.halfEdge(h).target).sharpness = 0;
        }
    }
}

void relink(Model& model) {
    for (BodyPart& part : model.parts) {
        if (part.polygons.empty() || !part.arena) continue;
        for (size_t f = 0; f < part.faces.size(); ++f) {
            if (linkable(part, f)) linkTriangle(part, f, false);
        }
        for (RecordIndex h : part.halfEdges) {
            if (part.halfEdge(h).origin == NONE_INDEX || part.halfEdge(h).target == NONE_INDEX)
                continue;
            if (part.halfEdge(h).paired == 0) {
                for (RecordIndex m : part.halfEdges) {
                    const HalfEdge& e = part.halfEdge(m);
                    if (e.paired == 0 && e.origin != NONE_INDEX &&
                        e.target == part.halfEdge(h).origin &&
                        e.origin == part.halfEdge(h).target) {
                        pair(part, h, m);
                        break;
                    }
                }
            }
            if (part.halfEdge(h).boundary == 1) {
                part.vertex(part.halfEdge(h).origin).boundary = 1;
                part.vertex(part.halfEdge(h).origin).edge = h;
                part.vertex(part.halfEdge(h).target).boundary = 1;
            }
            part.vertex(part.halfEdge(h).origin).sharpness -= 1;
            part.vertex(part.halfEdge(h).target).sharpness -= 1;
        }
        valences(part);
    }
}

void normals(Model& model) {
    for (BodyPart& part : model.parts) {
        for (size_t f = 0; f < part.polygons.size(); ++f) {
            const Polygon polygon = part.getPolygon(static_cast<int>(f));
            const Vec3 p0 = model.positions[static_cast<size_t>(polygon[0].positionIndex)];
            const Vec3 p1 = model.positions[static_cast<size_t>(polygon[1].positionIndex)];
            const Vec3 p2 = model.positions[static_cast<size_t>(polygon[2].positionIndex)];
            const Vec3 n = cross(p1 - p0, p2 - p0);
            const float sq = n.x * n.x + n.y * n.y + n.z * n.z;
            const float r = static_cast<float>(1.0 / std::sqrt(static_cast<double>(sq)));
            part.faceNormals.push_back(sq > 0.0f ? Vec3{n.x * r, n.y * r, n.z * r} : Vec3{});
        }
    }
    for (BodyPart& part : model.parts) {
        const size_t limit = ringStepLimit(part.halfEdges.size());
        for (size_t f = 0; f < part.polygons.size(); ++f) {
            const Polygon polygon = part.getPolygon(static_cast<int>(f));
            for (size_t k = 0; k < 3; ++k) {
                Vec3 s{};
                RecordIndex v = NONE_INDEX;
                for (RecordIndex w : part.vertices) {
                    if (part.vertex(w).positionIndex == polygon[k].positionIndex) {
                        v = w;
                        break;
                    }
                }
                const auto fn = [&](RecordIndex h) {
                    return part
                        .faceNormals[static_cast<size_t>(part.face(part.halfEdge(h).face).index)];
                };
                if (v != NONE_INDEX && part.vertex(v).boundary == 1) {
                    RecordIndex h = part.vertex(v).edge;
                    if (part.halfEdge(h).boundary == 0) std::printf("This should never happen!\n");
                    for (size_t step = 0; step < limit; ++step) {
                        s = s + fn(h);
                        const RecordIndex p = part.halfEdge(h).prev;
                        if (part.halfEdge(p).boundary == 1) break;
                        h = part.halfEdge(p).twin;
                        if (part.halfEdge(h).boundary == 1) break;
                    }
                } else if (v != NONE_INDEX) {
                    RecordIndex h = part.vertex(v).edge;
                    for (size_t step = 0; step < limit; ++step) {
                        s = s + fn(h);
                        h = part.halfEdge(part.halfEdge(h).twin).next;
                        if (h == part.vertex(v).edge) break;
                    }
                }
                const float sq = s.x * s.x + s.y * s.y + s.z * s.z;
                const float r = static_cast<float>(1.0 / std::sqrt(static_cast<double>(sq)));
                const Vec3 normal = sq > 0.0f ? Vec3{s.x * r, s.y * r, s.z * r} : Vec3{};
                if (polygon[k].normalSlot == -1) {
                    model.normals.push_back(normal);
                } else {
                    const size_t at = static_cast<size_t>(polygon[k].positionIndex);
                    if (at >= model.normals.size()) model.normals.resize(at + 1);
                    model.normals[at] = normal;
                }
            }
        }
    }
}

}  // namespace literal
