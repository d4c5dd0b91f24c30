#include "subdiv/loop.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "mesh/portable.h"
#include "mesh/ring_walk.h"
#include "subdiv/point_rules.h"

// Where a vertex is met again in the same part, the step takes the first point of the result
// whose x, y and z equal the vertex's point (a scan of the positions from index 0). A point's
// rules read nothing the step changes, so the vertex's point is the same at every visit, and the
// first equal entry is either an entry made before the vertex's own point, or that point itself.
// Entries are only ever appended, so that answer is fixed the moment the point is made.
//
// The step therefore writes the vertex's own index at its later corners and settles the rare
// case of an earlier equal point once all points exist (resolveEqualPoints): a bitmap of hashed
// values finds the few points whose value may have occurred before, and an exact map over just
// those gives the first index of each value. Values compare as floats do: -0 equals 0, and a
// point with a NaN equals nothing, so its later corners keep the point made for its vertex.

namespace {

// A point's value as a key: the bits of x, y and z, with -0 keyed as 0.
struct PointKey {
    uint32_t x, y, z;

    friend bool operator==(const PointKey&, const PointKey&) = default;
    template <typename H>
    friend H AbslHashValue(H h, const PointKey& k) {
        return H::combine(std::move(h), k.x, k.y, k.z);
    }
};

uint32_t keyBits(float f) {
    return floatBits(f == 0.0f ? 0.0f : f);
}

// False for a point with a NaN, which equals no point.
bool keyOf(const Vec3& p, PointKey& key) {
    if (p.x != p.x || p.y != p.y || p.z != p.z) return false;
    key = {keyBits(p.x), keyBits(p.y), keyBits(p.z)};
    return true;
}

uint64_t hashOf(const PointKey& k) {
    uint64_t h = (static_cast<uint64_t>(k.x) << 32 | k.y) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(k.z) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 32);
}

class Bitmap {
public:
    explicit Bitmap(size_t bits) : words_((bits + 63) / 64, 0) {}
    bool test(size_t i) const { return (words_[i >> 6] >> (i & 63)) & 1u; }
    void set(size_t i) { words_[i >> 6] |= uint64_t{1} << (i & 63); }
    // Sets bit i; returns whether it was set before.
    bool testAndSet(size_t i) {
        uint64_t& w = words_[i >> 6];
        const uint64_t bit = uint64_t{1} << (i & 63);
        const bool was = (w & bit) != 0;
        w |= bit;
        return was;
    }

private:
    std::vector<uint64_t> words_;
};

Corner cornerAt(int32_t index, uint8_t isEdgePoint) {
    Corner c;
    c.flagA = isEdgePoint;
    c.positionIndex = index;
    c.flagB = 0;
    c.reserved = 0;
    c.flagC = 1;
    c.normalSlot = index;
    return c;
}

void appendTriangle(BodyPart& part, const Corner& a, const Corner& b, const Corner& c) {
    Polygon& polygon = part.polygons.emplace_back();
    polygon.push_back(a);
    polygon.push_back(b);
    polygon.push_back(c);
}

bool validIn(RecordIndex r, size_t size) {
    return static_cast<uint32_t>(r) < size;
}

void printBoundary() {
    std::fputs("BOUNDARY\n\n\n", stdout);
}

// What one step keeps while it goes through the parts.
class Step {
public:
    Step(Model& source, Model& result) : source_(source), result_(result) {}

    // Refines source part i into result part i, whose records go to the result part's arena.
    void refinePart(size_t i);

    // Gives the later corners of every vertex point that equals an earlier point the index of
    // the first such point.
    void resolveEqualPoints();

private:
    // Appends a point and its normal; returns its index.
    int32_t append(const RefinedPoint& point) {
        const auto index = static_cast<int32_t>(result_.positions.size());
        result_.positions.push_back(point.position);
        result_.normals.push_back(point.normal);
        if (exact_) {
            PointKey key;
            if (keyOf(point.position, key)) exact_->try_emplace(key, index);
        }
        return index;
    }

    // The corner index for this visit of vertex record v of the part stamped `stamp`.
    int32_t vertexCorner(const PointRules& rules, MeshVertex& vertex, RecordIndex v, int32_t stamp);

    // The first point equal to p made so far; NONE_INDEX when there is none. Builds the exact
    // index of all points on first use and keeps it up to date from then on.
    int32_t firstEqual(const Vec3& p);

    Model& source_;
    Model& result_;
    // Per vertex record of the part's arena: the stamp of the part that made its point in this
    // step, and the index its later corners take.
    struct Made {
        int32_t stamp = 0;
        int32_t index = 0;
    };
    std::vector<Made> made_;
    // Points made at the first visit of a vertex, whose later corners may need an earlier index.
    std::vector<uint64_t> vertexPoints_;
    // Per part: the first point it made (its points are [pointBegin_[i], pointBegin_[i + 1])).
    std::vector<size_t> pointBegin_;
    std::unique_ptr<HashMap<PointKey, int32_t>> exact_;
};

int32_t Step::firstEqual(const Vec3& p) {
    if (!exact_) {
        exact_ = std::make_unique<HashMap<PointKey, int32_t>>();
        for (size_t i = 0; i < result_.positions.size(); ++i) {
            PointKey key;
            if (keyOf(result_.positions[i], key)) exact_->try_emplace(key, static_cast<int32_t>(i));
        }
    }
    PointKey key;
    if (!keyOf(p, key)) return NONE_INDEX;
    const auto it = exact_->find(key);
    return it == exact_->end() ? NONE_INDEX : it->second;
}

int32_t Step::vertexCorner(const PointRules& rules, MeshVertex& vertex, RecordIndex v,
                           int32_t stamp) {
    Made& made = made_[static_cast<size_t>(v)];
    if (vertex.updated == 0) {
        const int32_t index = append(rules.vertexPoint(v));
        vertex.updated = 1;
        made = {stamp, index};
        const auto bit = static_cast<size_t>(index);
        if (vertexPoints_.size() <= bit >> 6) vertexPoints_.resize((bit >> 6) + 1, 0);
        vertexPoints_[bit >> 6] |= uint64_t{1} << (bit & 63);
        return index;
    }
    if (made.stamp == stamp) return made.index;

    // The flag was already set when this part met the vertex (its record is shared with a part
    // refined before, or the flag was left over): take the first equal point made so far, or
    // make the vertex's point when there is none.
    const RefinedPoint point = rules.vertexPoint(v);
    int32_t index = firstEqual(point.position);
    if (index == NONE_INDEX) index = append(point);
    made = {stamp, index};
    return index;
}

void Step::refinePart(size_t i) {
    BodyPart& src = source_.parts[i];
    BodyPart& dst = result_.parts[i];
    TopologyArena& in = *src.arena;
    TopologyArena& out = *dst.arena;
    HalfEdge* const he = in.halfEdges.data();
    MeshVertex* const vx = in.vertices.data();
    const size_t heCount = in.halfEdges.size();
    const size_t vxCount = in.vertices.size();
    PointRules rules(src, source_.positions, source_.normals);
    const auto stamp = static_cast<int32_t>(i) + 1;
    const size_t faceCount = src.faces.size();
    if (pointBegin_.size() <= i) pointBegin_.resize(i + 1, result_.positions.size());
    pointBegin_[i] = result_.positions.size();

    dst.faces.reserve(4 * faceCount);
    dst.halfEdges.reserve(12 * faceCount);
    dst.polygons.reserve(4 * faceCount);
    if (made_.size() < vxCount) made_.resize(vxCount);

    for (size_t f = 0; f < faceCount; ++f) {
        // The face's cycle: start at its edge and follow next until back at the start, at most
        // four half-edges far.
        RecordIndex h[4] = {NONE_INDEX, NONE_INDEX, NONE_INDEX, NONE_INDEX};
        int count = 0;
        bool broken = false;
        const RecordIndex faceRecord = src.faces[f];
        const RecordIndex first = validIn(faceRecord, in.faces.size())
                                      ? in.faces[static_cast<size_t>(faceRecord)].edge
                                      : NONE_INDEX;
        for (RecordIndex e = first;;) {
            if (!validIn(e, heCount)) {
                broken = true;
                break;
            }
            h[count++] = e;
            if (count == 4) break;
            e = he[e].next;
            if (e == first) break;
        }
        broken = broken || count < 3 || !validIn(he[h[0]].origin, vxCount) ||
                 !validIn(he[h[1]].origin, vxCount) || !validIn(he[h[2]].origin, vxCount);
        if (broken) {
            const RecordIndex o = validIn(first, heCount) ? he[first].origin : NONE_INDEX;
            reportRingFault("subdivision", src.name,
                            validIn(o, vxCount) ? vx[o].positionIndex : NONE_INDEX);
            continue;
        }

        // Edge pass: the point of each edge, made once and shared with the twin.
        int32_t e[3];
        int32_t sharpness[3];
        for (int p = 0; p < count; ++p) {
            HalfEdge& edge = he[h[p]];
            if (edge.boundary != 0) printBoundary();
            int32_t index = edge.midpointIndex;
            // Only a point made in this step counts: a flag left set with an index from
            // elsewhere would name a point the result does not have.
            if (edge.hasMidpoint == 0 || !validIn(index, result_.positions.size())) {
                index = append(rules.edgePoint(h[p]));
                edge.midpointIndex = index;
                edge.hasMidpoint = 1;
                if (edge.boundary == 0 && validIn(edge.twin, heCount)) {
                    HalfEdge& twin = he[edge.twin];
                    twin.midpointIndex = index;
                    twin.hasMidpoint = 1;
                }
            }
            if (p == 3) {
                std::printf("Face cannot have more than three edges!!\n");
                std::exit(1);
            }
            e[p] = index;
            sharpness[p] = edge.sharpness;  // after a crease's decrement
        }

        // Vertex pass.
        int32_t c[3];
        for (int p = 0; p < 3; ++p) {
            const RecordIndex v = he[h[p]].origin;
            MeshVertex& vertex = vx[v];
            if (vertex.boundary != 0) printBoundary();
            c[p] = vertexCorner(rules, vertex, v, stamp);
        }

        // The four children: face records, blank half-edges, polygons.
        const auto faceBase = static_cast<RecordIndex>(out.faces.size());
        const auto childIndex = static_cast<int32_t>(4 * f);
        for (int k = 0; k < 4; ++k) {
            dst.faces.push_back(faceBase + k);
            out.faces.push_back(MeshFace{NONE_INDEX, childIndex + k});
        }
        // Blank half-edges; the six along the source edges carry their sharpness.
        HalfEdge child[12];
        child[0].sharpness = sharpness[0];   // c0 -> e0
        child[3].sharpness = sharpness[0];   // e0 -> c1
        child[4].sharpness = sharpness[1];   // c1 -> e1
        child[10].sharpness = sharpness[1];  // e1 -> c2
        child[2].sharpness = sharpness[2];   // e2 -> c0
        child[11].sharpness = sharpness[2];  // c2 -> e2
        const auto edgeBase = static_cast<RecordIndex>(out.halfEdges.size());
        out.halfEdges.insert(out.halfEdges.end(), child, child + 12);
        for (int k = 0; k < 12; ++k)
            dst.halfEdges.push_back(edgeBase + k);

        // The polygons, built in place (what appendPolygon appends, without the copy).
        appendTriangle(dst, cornerAt(c[0], 0), cornerAt(e[0], 1), cornerAt(e[2], 1));
        appendTriangle(dst, cornerAt(e[0], 1), cornerAt(c[1], 0), cornerAt(e[1], 1));
        appendTriangle(dst, cornerAt(e[0], 1), cornerAt(e[1], 1), cornerAt(e[2], 1));
        appendTriangle(dst, cornerAt(e[2], 1), cornerAt(e[1], 1), cornerAt(c[2], 0));
    }

    // The scratch flags go back to 0 for the whole part.
    for (RecordIndex r : src.halfEdges) {
        if (validIn(r, heCount)) he[r].hasMidpoint = 0;
    }
    for (RecordIndex r : src.vertices) {
        if (validIn(r, vxCount)) vx[r].updated = 0;
    }

    // Room for the vertex records that the relink makes: one per point the part uses.
    dst.vertices.reserve(result_.positions.size() - pointBegin_[i]);
}

void Step::resolveEqualPoints() {
    const std::vector<Vec3>& positions = result_.positions;
    const size_t n = positions.size();
    if (n < 2) return;

    // Hashed values into a bitmap of about eight bits per point (it stays in the cache): a value
    // whose bit was already set may have occurred before; mark its bit hot.
    size_t bits = 4096;
    while (bits < 8 * n)
        bits *= 2;
    const size_t mask = bits - 1;
    Bitmap seen(bits);
    Bitmap hot(bits);
    bool anyHot = false;
    for (size_t i = 0; i < n; ++i) {
        PointKey key;
        if (!keyOf(positions[i], key)) continue;
        const size_t slot = hashOf(key) & mask;
        if (seen.testAndSet(slot)) {
            hot.set(slot);
            anyHot = true;
        }
    }
    if (!anyHot) return;

    // The first index of every value whose bit is hot, in index order; a vertex point meeting
    // an earlier entry of its value is remapped to it.
    HashMap<PointKey, int32_t> first;
    HashMap<int32_t, int32_t> remap;
    for (size_t i = 0; i < n; ++i) {
        PointKey key;
        if (!keyOf(positions[i], key) || !hot.test(hashOf(key) & mask)) continue;
        const auto [it, inserted] = first.try_emplace(key, static_cast<int32_t>(i));
        const bool vertexPoint =
            (i >> 6) < vertexPoints_.size() && ((vertexPoints_[i >> 6] >> (i & 63)) & 1u) != 0;
        if (!inserted && vertexPoint) remap.emplace(static_cast<int32_t>(i), it->second);
    }
    if (remap.empty()) return;

    // A remapped point's corners lie in the part that made it, at old-vertex corners (flag 0):
    // the first one, its first visit, keeps the point; the later ones take the earlier index.
    for (size_t p = 0; p < result_.parts.size() && p < pointBegin_.size(); ++p) {
        const size_t begin = pointBegin_[p];
        const size_t end = p + 1 < pointBegin_.size() ? pointBegin_[p + 1] : n;
        bool any = false;
        for (const auto& [from, to] : remap)
            any = any || (static_cast<size_t>(from) >= begin && static_cast<size_t>(from) < end);
        if (!any) continue;
        HashMap<int32_t, bool> firstSeen;
        for (Polygon& polygon : result_.parts[p].polygons) {
            for (Corner& corner : polygon) {
                if (corner.flagA != 0) continue;
                const auto it = remap.find(corner.positionIndex);
                if (it == remap.end()) continue;
                if (firstSeen.try_emplace(corner.positionIndex, true).second) continue;
                corner.positionIndex = it->second;
                corner.normalSlot = it->second;
            }
        }
    }
}

bool refinable(const BodyPart& part) {
    return !part.polygons.empty() && part.arena != nullptr;
}

}  // namespace

Model subdivide(Model& source) {
    std::printf("Starting Subdivision...");

    // One arena for the records of all parts, and room for everything the step appends.
    size_t faceCount = 0;
    size_t vertexCount = 0;
    for (const BodyPart& part : source.parts) {
        if (!refinable(part)) continue;
        faceCount += part.faces.size();
        vertexCount += part.vertices.size();
    }
    Model result;
    auto arena = std::make_shared<TopologyArena>();
    arena->faces.reserve(4 * faceCount);
    arena->halfEdges.reserve(12 * faceCount);
    // A closed part makes one point per vertex and one per pair of half-edges; an open part
    // makes a few more, and the lists grow then.
    const size_t expectedPoints = vertexCount + 3 * faceCount / 2 + 16;
    result.positions.reserve(expectedPoints);
    result.normals.reserve(expectedPoints);
    result.parts.reserve(source.parts.size());

    Step step(source, result);
    for (size_t i = 0; i < source.parts.size(); ++i) {
        const BodyPart& src = source.parts[i];
        BodyPart part(src.name);
        part.partOffset = src.partOffset;
        part.partScale = src.partScale;
        part.partAngle = src.partAngle;
        part.partAxis = src.partAxis;
        part.colour = src.colour;
        part.arena = arena;
        result.parts.push_back(std::move(part));
        if (refinable(src)) step.refinePart(i);
    }
    step.resolveEqualPoints();
    // The relink makes one vertex record per point a part uses.
    arena->vertices.reserve(result.positions.size());

    result.takeCreatureFields(source);
    return result;
}
