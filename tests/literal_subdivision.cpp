// Plain Loop step. Where the scans would fail (a point with a NaN is never found again, a broken
// face cycle, a flag left set) it takes the same sound way out as the fast step.
#include "tests/literal_subdivision.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <numbers>

#include "mesh/ring_walk.h"

namespace literal {
namespace {

struct Point {
    Vec3 p;
    Vec3 n;
};

class Rules {
public:
    Rules(BodyPart& part, const Model& model) : part_(part), model_(model) {}

    bool validEdge(RecordIndex r) const {
        return r >= 0 && static_cast<size_t>(r) < part_.arena->halfEdges.size();
    }
    bool validVertex(RecordIndex r) const {
        return r >= 0 && static_cast<size_t>(r) < part_.arena->vertices.size();
    }

    Vec3 pos(RecordIndex v) const {
        if (!validVertex(v)) return {};
        const int32_t i = part_.vertex(v).positionIndex;
        if (i < 0 || static_cast<size_t>(i) >= model_.positions.size()) return {};
        return model_.positions[static_cast<size_t>(i)];
    }
    Vec3 nor(RecordIndex v) const {
        if (!validVertex(v)) return {};
        const int32_t i = part_.vertex(v).positionIndex;
        if (i < 0 || static_cast<size_t>(i) >= model_.normals.size()) return {};
        return model_.normals[static_cast<size_t>(i)];
    }
    void fault(RecordIndex v) const {
        reportRingFault("subdivision", part_.name,
                        validVertex(v) ? part_.vertex(v).positionIndex : NONE_INDEX);
    }

    Point edge(RecordIndex hr) {
        HalfEdge& h = part_.halfEdge(hr);
        const Vec3 p0 = pos(h.origin), p1 = pos(h.target), n0 = nor(h.origin), n1 = nor(h.target);
        if (h.boundary == 1) return {(p0 + p1) * 0.5f, (n0 + n1) * 0.5f};
        if (h.sharpness > 0) {
            h.sharpness = h.sharpness - 1;
            return {(p0 + p1) * 0.5f, (n0 + n1) * 0.5f};
        }
        if (!validEdge(h.next) || !validEdge(h.twin) || !validEdge(part_.halfEdge(h.twin).next)) {
            fault(h.origin);
            return {(p0 + p1) * 0.5f, (n0 + n1) * 0.5f};
        }
        const RecordIndex a = part_.halfEdge(h.next).target;
        const RecordIndex b = part_.halfEdge(part_.halfEdge(h.twin).next).target;
        const Vec3 q1 = pos(a), q2 = pos(b), m1 = nor(a), m2 = nor(b);
        return {(3.0f * (p0 + p1) + (q1 + q2)) * 0.125f, (3.0f * (n0 + n1) + (m1 + m2)) * 0.125f};
    }

    Point vertex(RecordIndex v) const {
        const MeshVertex& V = part_.vertex(v);
        const size_t limit = ringStepLimit(part_.halfEdges.size());
        if (V.boundary == 1) {
            RecordIndex b1 = v, b2 = v;
            RecordIndex h = V.edge;
            size_t steps = 0;
            while (validEdge(h) && part_.halfEdge(h).boundary != 1 && steps + 1 < limit) {
                const RecordIndex t = part_.halfEdge(h).twin;
                h = validEdge(t) ? part_.halfEdge(t).next : NONE_INDEX;
                ++steps;
            }
            if (validEdge(h) && part_.halfEdge(h).boundary == 1)
                b1 = part_.halfEdge(h).target;
            else
                fault(v);
            h = validEdge(V.edge) ? part_.halfEdge(V.edge).prev : NONE_INDEX;
            steps = 0;
            while (validEdge(h) && part_.halfEdge(h).boundary != 1 && steps + 1 < limit) {
                const RecordIndex t = part_.halfEdge(h).twin;
                h = validEdge(t) ? part_.halfEdge(t).prev : NONE_INDEX;
                ++steps;
            }
            if (validEdge(h) && part_.halfEdge(h).boundary == 1)
                b2 = part_.halfEdge(h).origin;
            else
                fault(v);
            return {(pos(b1) + pos(b2)) * 0.125f + pos(v) * 0.75f,
                    (nor(b1) + nor(b2)) * 0.125f + nor(v) * 0.75f};
        }
        if (V.sharpness > 0 || V.valence <= 0) return {pos(v), nor(v)};
        const int n = V.valence;
        const double t = 1.0 / n;
        const double u = 3.0 + 2.0 * std::cos(2.0 * std::numbers::pi * t);
        const float beta = static_cast<float>(t * (0.625 - u * u * 0.015625));
        Vec3 s{}, sn{};
        RecordIndex h = V.edge;
        size_t steps = 0;
        bool closed = false;
        while (validEdge(h) && steps < limit) {
            s = s + pos(part_.halfEdge(h).target);
            sn = sn + nor(part_.halfEdge(h).target);
            ++steps;
            const RecordIndex tw = part_.halfEdge(h).twin;
            h = validEdge(tw) ? part_.halfEdge(tw).next : NONE_INDEX;
            if (h == V.edge) {
                closed = true;
                break;
            }
        }
        if (!closed) fault(v);
        const float keep = 1.0f - static_cast<float>(n) * beta;
        return {beta * s + keep * pos(v), beta * sn + keep * nor(v)};
    }

private:
    BodyPart& part_;
    const Model& model_;
};

Corner corner(int32_t index, uint8_t flagA) {
    Corner c;
    c.flagA = flagA;
    c.positionIndex = index;
    c.flagB = 0;
    c.reserved = 0;
    c.flagC = 1;
    c.normalSlot = index;
    return c;
}

// The scan of the positions from index 0 for the first entry equal to p; -1 when none.
int32_t scan(const std::vector<Vec3>& positions, const Vec3& p) {
    for (size_t i = 0; i < positions.size(); ++i) {
        if (positions[i].x == p.x && positions[i].y == p.y && positions[i].z == p.z)
            return static_cast<int32_t>(i);
    }
    return -1;
}

}  // namespace

Model subdivide(Model& source) {
    std::printf("Starting Subdivision...");
    Model result;
    int32_t counter = 0;
    auto arena = std::make_shared<TopologyArena>();
    const auto add = [&](const Point& pt) {
        result.positions.push_back(pt.p);
        result.normals.push_back(pt.n);
        return counter++;
    };
    for (size_t i = 0; i < source.parts.size(); ++i) {
        BodyPart& src = source.parts[i];
        BodyPart part(src.name);
        part.partOffset = src.partOffset;
        part.partScale = src.partScale;
        part.partAngle = src.partAngle;
        part.partAxis = src.partAxis;
        part.colour = src.colour;
        part.arena = arena;
        result.parts.push_back(part);
        BodyPart& dst = result.parts.back();
        if (src.polygons.empty() || !src.arena) continue;
        Rules rules(src, source);
        std::map<RecordIndex, int32_t>
            madeHere;  // vertex record -> the point made for it in this part

        for (size_t f = 0; f < src.faces.size(); ++f) {
            RecordIndex h[4];
            int count = 0;
            bool broken = false;
            const RecordIndex first =
                src.faces[f] >= 0 && static_cast<size_t>(src.faces[f]) < src.arena->faces.size()
                    ? src.face(src.faces[f]).edge
                    : NONE_INDEX;
            RecordIndex e = first;
            while (true) {
                if (!rules.validEdge(e)) {
                    broken = true;
                    break;
                }
                h[count++] = e;
                if (count == 4) break;
                e = src.halfEdge(e).next;
                if (e == first) break;
            }
            if (count < 3) broken = true;
            for (int p = 0; p < 3 && !broken; ++p) {
                if (!rules.validVertex(src.halfEdge(h[p]).origin)) broken = true;
            }
            if (broken) {
                const RecordIndex o =
                    rules.validEdge(first) ? src.halfEdge(first).origin : NONE_INDEX;
                reportRingFault("subdivision", src.name,
                                rules.validVertex(o) ? src.vertex(o).positionIndex : NONE_INDEX);
                continue;
            }

            int32_t ep[3], sh[3], cp[3];
            for (int p = 0; p < count; ++p) {
                HalfEdge& he = src.halfEdge(h[p]);
                if (he.boundary == 1) std::printf("BOUNDARY\n\n\n");
                int32_t index;
                if (he.hasMidpoint == 1 && he.midpointIndex >= 0 && he.midpointIndex < counter) {
                    index = he.midpointIndex;
                } else {
                    index = add(rules.edge(h[p]));
                    he.midpointIndex = index;
                    he.hasMidpoint = 1;
                    if (he.boundary == 0 && rules.validEdge(he.twin)) {
                        src.halfEdge(he.twin).midpointIndex = index;
                        src.halfEdge(he.twin).hasMidpoint = 1;
                    }
                }
                if (p == 3) {
                    std::printf("Face cannot have more than three edges!!\n");
                    std::exit(1);
                }
                ep[p] = index;
                sh[p] = he.sharpness;
            }
            for (int p = 0; p < 3; ++p) {
                const RecordIndex v = src.halfEdge(h[p]).origin;
                MeshVertex& V = src.vertex(v);
                if (V.boundary == 1) std::printf("BOUNDARY\n\n\n");
                const Point pt = rules.vertex(v);
                if (V.updated == 0) {
                    cp[p] = add(pt);
                    V.updated = 1;
                    madeHere[v] = cp[p];
                } else {
                    const int32_t found = scan(result.positions, pt.p);
                    if (found >= 0) {
                        cp[p] = found;
                    } else if (madeHere.count(v) != 0) {
                        cp[p] = madeHere[v];  // a NaN point: the one made for this vertex
                    } else {
                        cp[p] = add(pt);  // flag left set: made now
                        madeHere[v] = cp[p];
                    }
                }
            }
            for (int k = 0; k < 4; ++k) {
                dst.faces.push_back(static_cast<RecordIndex>(arena->faces.size()));
                arena->faces.push_back(
                    MeshFace{NONE_INDEX, static_cast<int32_t>(dst.faces.size() - 1)});
            }
            const size_t base = arena->halfEdges.size();
            for (int k = 0; k < 12; ++k) {
                dst.halfEdges.push_back(static_cast<RecordIndex>(arena->halfEdges.size()));
                arena->halfEdges.push_back(HalfEdge{});
            }
            arena->halfEdges[base + 0].sharpness = sh[0];
            arena->halfEdges[base + 3].sharpness = sh[0];
            arena->halfEdges[base + 4].sharpness = sh[1];
            arena->halfEdges[base + 10].sharpness = sh[1];
            arena->halfEdges[base + 2].sharpness = sh[2];
            arena->halfEdges[base + 11].sharpness = sh[2];
            const int pi = static_cast<int>(i);
            result.appendPolygon(pi, Polygon{corner(cp[0], 0), corner(ep[0], 1), corner(ep[2], 1)});
            result.appendPolygon(pi, Polygon{corner(ep[0], 1), corner(cp[1], 0), corner(ep[1], 1)});
            result.appendPolygon(pi, Polygon{corner(ep[0], 1), corner(ep[1], 1), corner(ep[2], 1)});
            result.appendPolygon(pi, Polygon{corner(ep[2], 1), corner(ep[1], 1), corner(cp[2], 0)});
        }
        for (RecordIndex r : src.halfEdges) {
            if (rules.validEdge(r)) src.halfEdge(r).hasMidpoint = 0;
        }
        for (RecordIndex r : src.vertices) {
            if (rules.validVertex(r)) src.vertex(r).updated = 0;
        }
    }
    result.firstChild = source.firstChild;
    result.secondChild = source.secondChild;
    result.firstChildId = source.firstChildId;
    result.secondChildId = source.secondChildId;
    result.generation = source.generation;
    result.childSlot = source.childSlot;
    result.branchAngle = source.branchAngle;
    result.id = source.id;
    result.rotationAngle = source.rotationAngle;
    result.rotationAxis = source.rotationAxis;
    result.position = source.position;
    result.scale = source.scale;
    result.scaleSquared = source.scaleSquared;
    result.pulseRate = source.pulseRate;
    result.auxFactor = source.auxFactor;
    result.pulsePhase = source.pulsePhase;
    result.centre = source.centre;
    return Model(result);
}

}  // namespace literal
