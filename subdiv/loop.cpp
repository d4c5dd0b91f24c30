#include "subdiv/loop.h"

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "mesh/ring_walk.h"
#include "subdiv/point_rules.h"

namespace {

// Point value -> the first index of the result's positions that holds it. Replaces the scan of
// the positions from index 0 for the first entry whose x, y and z equal a point: entries are
// only ever appended, so the first index registered for a value is the first one the scan meets.
// Values match as floats compare: -0 and 0 are keyed alike, and a point with a NaN equals
// nothing, so it is never registered and never found.
class PointIndex {
public:
    PointIndex(const std::vector<Vec3>& positions, size_t expected) : positions_(positions) {
        size_t capacity = 1024;
        while (capacity < 2 * expected) capacity *= 2;
        slots_.assign(capacity, Slot{});
        mask_ = capacity - 1;
    }

    // Registers positions[index], just appended. Returns the first index that holds the same
    // value: an earlier one, or index itself (also for a point with a NaN).
    int32_t add(int32_t index) {
        const Vec3& point = positions_[static_cast<size_t>(index)];
        uint32_t tag = 0;
        if (!hashOf(point, tag)) return index;
        for (size_t s = tag & mask_;; s = (s + 1) & mask_) {
            Slot& slot = slots_[s];
            if (slot.index < 0) {
                slot = Slot{tag, index};
                if (++count_ * 2 > slots_.size()) grow();
                return index;
            }
            if (slot.tag == tag && equal(positions_[static_cast<size_t>(slot.index)], point)) {
                return slot.index;
            }
        }
    }

    // The first index holding point's value; NONE_INDEX when there is none.
    int32_t find(const Vec3& point) const {
        uint32_t tag = 0;
        if (!hashOf(point, tag)) return NONE_INDEX;
        for (size_t s = tag & mask_;; s = (s + 1) & mask_) {
            const Slot& slot = slots_[s];
            if (slot.index < 0) return NONE_INDEX;
            if (slot.tag == tag && equal(positions_[static_cast<size_t>(slot.index)], point)) {
                return slot.index;
            }
        }
    }

private:
    struct Slot {
        uint32_t tag = 0;
        int32_t index = -1;
    };

    static bool equal(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

    static uint32_t bitsOf(float f) { return std::bit_cast<uint32_t>(f == 0.0f ? 0.0f : f); }

    // False for a point with a NaN, which equals no point.
    static bool hashOf(const Vec3& p, uint32_t& tag) {
        if (p.x != p.x || p.y != p.y || p.z != p.z) return false;
        uint64_t h = (static_cast<uint64_t>(bitsOf(p.x)) << 32 | bitsOf(p.y)) * 0x9E3779B97F4A7C15ull;
        h ^= static_cast<uint64_t>(bitsOf(p.z)) * 0xC2B2AE3D27D4EB4Full;
        h ^= h >> 29;
        h *= 0xBF58476D1CE4E5B9ull;
        h ^= h >> 32;
        tag = static_cast<uint32_t>(h);
        return true;
    }

    void grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        mask_ = slots_.size() - 1;
        for (const Slot& slot : old) {
            if (slot.index < 0) continue;
            size_t s = slot.tag & mask_;
            while (slots_[s].index >= 0) s = (s + 1) & mask_;
            slots_[s] = slot;
        }
    }

    const std::vector<Vec3>& positions_;
    std::vector<Slot> slots_;
    size_t mask_ = 0;
    size_t count_ = 0;
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

bool validIn(RecordIndex r, size_t size) { return static_cast<uint32_t>(r) < size; }

void printBoundary() { std::fputs("BOUNDARY\n\n\n", stdout); }

// What one step keeps while it goes through the parts.
class Step {
public:
    Step(Model& source, Model& result, size_t expectedPoints)
        : source_(source), result_(result), index_(result.positions, expectedPoints) {}

    // Refines source part i into result part i, whose records go to the result's arena.
    void refinePart(size_t i);

private:
    // Appends a point and its normal. Returns the new index; firstEqual receives the first index
    // of the positions that holds the same value (the new index when there is no earlier one).
    int32_t append(const RefinedPoint& point, int32_t& firstEqual) {
        const auto index = static_cast<int32_t>(result_.positions.size());
        result_.positions.push_back(point.position);
        result_.normals.push_back(point.normal);
        firstEqual = index_.add(index);
        return index;
    }

    // The corner index for this visit of vertex v of the part stamped `stamp`.
    int32_t vertexCorner(PointRules& rules, TopologyArena& in, RecordIndex v, int32_t stamp);

    Model& source_;
    Model& result_;
    PointIndex index_;
    // Per vertex record of the part's arena: the stamp of the part that made its point in this
    // step, and the index that its later corners take.
    std::vector<int32_t> madeIn_;
    std::vector<int32_t> laterIndex_;
};

int32_t Step::vertexCorner(PointRules& rules, TopologyArena& in, RecordIndex v, int32_t stamp) {
    MeshVertex& vertex = in.vertices[static_cast<size_t>(v)];
    const auto r = static_cast<size_t>(v);
    if (vertex.updated == 0) {
        // First visit: the vertex point is made here. A later visit of the same vertex would
        // recompute the same point (the rules read nothing the step changes) and take the first
        // entry of the positions equal to it: the index found now, as entries are only appended.
        int32_t firstEqual = 0;
        const int32_t index = append(rules.vertexPoint(v), firstEqual);
        vertex.updated = 1;
        madeIn_[r] = stamp;
        // A point with a NaN equals nothing, so no entry would match it: its later corners take
        // the point made for the vertex here.
        laterIndex_[r] = firstEqual;
        return index;
    }
    if (madeIn_[r] == stamp) return laterIndex_[r];

    // The flag was already set when this part met the vertex (records shared with a part
    // handled before, or a flag left over): take the first equal point made so far, or make
    // the vertex's point when there is none.
    const RefinedPoint point = rules.vertexPoint(v);
    int32_t index = index_.find(point.position);
    if (index == NONE_INDEX) {
        int32_t firstEqual = 0;
        index = append(point, firstEqual);
    }
    madeIn_[r] = stamp;
    laterIndex_[r] = index;
    return index;
}

void Step::refinePart(size_t i) {
    BodyPart& src = source_.parts[i];
    BodyPart& dst = result_.parts[i];
    TopologyArena& in = *src.arena;
    TopologyArena& out = *dst.arena;
    PointRules rules(src, source_.positions, source_.normals);
    const auto stamp = static_cast<int32_t>(i) + 1;
    const int32_t partNumber = static_cast<int32_t>(i);
    const size_t faceCount = src.faces.size();
    const size_t pointsBefore = result_.positions.size();

    dst.faces.reserve(4 * faceCount);
    dst.halfEdges.reserve(12 * faceCount);
    dst.polygons.reserve(4 * faceCount);
    if (madeIn_.size() < in.vertices.size()) {
        madeIn_.resize(in.vertices.size(), 0);
        laterIndex_.resize(in.vertices.size(), 0);
    }

    for (size_t f = 0; f < faceCount; ++f) {
        // The face's cycle: start at its edge and follow next until back at the start, at most
        // four half-edges far.
        RecordIndex h[4] = {NONE_INDEX, NONE_INDEX, NONE_INDEX, NONE_INDEX};
        int count = 0;
        bool broken = false;
        {
            const RecordIndex faceRecord = src.faces[f];
            const RecordIndex first =
                validIn(faceRecord, in.faces.size()) ? in.faces[static_cast<size_t>(faceRecord)].edge : NONE_INDEX;
            RecordIndex e = first;
            for (;;) {
                if (!validIn(e, in.halfEdges.size())) {
                    broken = true;
                    break;
                }
                h[count++] = e;
                if (count == 4) break;
                e = in.halfEdges[static_cast<size_t>(e)].next;
                if (e == first) break;
            }
            broken = broken || count < 3;
            for (int p = 0; p < 3 && !broken; ++p) {
                broken = !validIn(in.halfEdges[static_cast<size_t>(h[p])].origin, in.vertices.size());
            }
            if (broken) {
                const RecordIndex o = validIn(first, in.halfEdges.size())
                                          ? in.halfEdges[static_cast<size_t>(first)].origin
                                          : NONE_INDEX;
                reportRingFault("subdivision", src.name,
                                validIn(o, in.vertices.size()) ? in.vertices[static_cast<size_t>(o)].positionIndex
                                                               : NONE_INDEX);
                continue;
            }
        }

        // Edge pass: the point of each edge, made once and shared with the twin.
        int32_t e[3] = {0, 0, 0};
        int32_t sharpness[3] = {0, 0, 0};
        for (int p = 0; p < count; ++p) {
            HalfEdge& edge = in.halfEdges[static_cast<size_t>(h[p])];
            if (edge.boundary != 0) printBoundary();
            int32_t index = edge.midpointIndex;
            // Only a point made in this step counts as made: a flag left set with an index
            // from elsewhere would name a point the result does not have.
            if (edge.hasMidpoint == 0 || index < 0 || static_cast<size_t>(index) >= result_.positions.size()) {
                int32_t firstEqual = 0;
                index = append(rules.edgePoint(h[p]), firstEqual);
                edge.midpointIndex = index;
                edge.hasMidpoint = 1;
                if (edge.boundary == 0 && validIn(edge.twin, in.halfEdges.size())) {
                    HalfEdge& twin = in.halfEdges[static_cast<size_t>(edge.twin)];
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
        int32_t c[3] = {0, 0, 0};
        for (int p = 0; p < 3; ++p) {
            const RecordIndex v = in.halfEdges[static_cast<size_t>(h[p])].origin;
            if (in.vertices[static_cast<size_t>(v)].boundary != 0) printBoundary();
            c[p] = vertexCorner(rules, in, v, stamp);
        }

        // The four children: records, then polygons.
        const auto faceBase = static_cast<RecordIndex>(out.faces.size());
        for (int k = 0; k < 4; ++k) {
            dst.faces.push_back(faceBase + k);
            out.faces.push_back(MeshFace{NONE_INDEX, static_cast<int32_t>(4 * f) + k});
        }
        const auto edgeBase = static_cast<RecordIndex>(out.halfEdges.size());
        out.halfEdges.resize(out.halfEdges.size() + 12);
        for (int k = 0; k < 12; ++k) dst.halfEdges.push_back(edgeBase + k);
        HalfEdge* child = &out.halfEdges[static_cast<size_t>(edgeBase)];
        child[0].sharpness = sharpness[0];  // c0 -> e0
        child[3].sharpness = sharpness[0];  // e0 -> c1
        child[4].sharpness = sharpness[1];  // c1 -> e1
        child[10].sharpness = sharpness[1]; // e1 -> c2
        child[2].sharpness = sharpness[2];  // e2 -> c0
        child[11].sharpness = sharpness[2]; // c2 -> e2

        result_.appendPolygon(partNumber, Polygon{cornerAt(c[0], 0), cornerAt(e[0], 1), cornerAt(e[2], 1)});
        result_.appendPolygon(partNumber, Polygon{cornerAt(e[0], 1), cornerAt(c[1], 0), cornerAt(e[1], 1)});
        result_.appendPolygon(partNumber, Polygon{cornerAt(e[0], 1), cornerAt(e[1], 1), cornerAt(e[2], 1)});
        result_.appendPolygon(partNumber, Polygon{cornerAt(e[2], 1), cornerAt(e[1], 1), cornerAt(c[2], 0)});
    }

    // The scratch flags go back to 0 for the whole part.
    for (RecordIndex r : src.halfEdges) {
        if (validIn(r, in.halfEdges.size())) in.halfEdges[static_cast<size_t>(r)].hasMidpoint = 0;
    }
    for (RecordIndex r : src.vertices) {
        if (validIn(r, in.vertices.size())) in.vertices[static_cast<size_t>(r)].updated = 0;
    }

    // Room for the vertex records that the relink will make: one per point the part uses.
    dst.vertices.reserve(result_.positions.size() - pointsBefore);
}

void copyHeader(const Model& source, Model& result) {
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
}

bool refinable(const BodyPart& part) { return !part.polygons.empty() && part.arena != nullptr; }

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
    // A closed part makes one point per vertex and one per pair of half-edges; open parts make
    // more, and the lists grow then.
    const size_t expectedPoints = vertexCount + 3 * faceCount / 2;
    result.positions.reserve(expectedPoints + 3 * faceCount / 2);
    result.normals.reserve(expectedPoints + 3 * faceCount / 2);
    result.parts.reserve(source.parts.size());

    Step step(source, result, expectedPoints);
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
    // The relink makes one vertex record per point a part uses.
    arena->vertices.reserve(result.positions.size());

    copyHeader(source, result);
    return result;
}
