// Half-edge construction: the build makes fresh records for every part; the relink re-derives
// the links of records a subdivision step left behind.
//
// Both take vertex records by position index in order of first use, and pair twins as a scan of
// the part's half-edge list would. The scans are replaced by indices that give the same records
// in the same order (see VertexLookup and TwinRuns), so both operations take linear time.

#include <algorithm>
#include <cstdio>
#include <memory>

#include <absl/container/flat_hash_map.h>

#include "mesh/model.h"
#include "mesh/ring_walk.h"

namespace {

// Position index -> the first record of the part's vertices list with that index; replaces the
// scan of the list from its first entry. Records are only ever appended and their position index
// never changes, so the first match of the scan is the first record registered for the index.
class VertexLookup {
public:
    explicit VertexLookup(size_t positionCount) : dense_(positionCount, NONE_INDEX) {}

    RecordIndex find(int32_t positionIndex) const {
        if (inDense(positionIndex)) return dense_[static_cast<size_t>(positionIndex)];
        const auto it = sparse_.find(positionIndex);
        return it == sparse_.end() ? NONE_INDEX : it->second;
    }

    // Registers record r for positionIndex unless an earlier record holds it.
    void add(int32_t positionIndex, RecordIndex r) {
        if (inDense(positionIndex)) {
            RecordIndex& slot = dense_[static_cast<size_t>(positionIndex)];
            if (slot == NONE_INDEX) slot = r;
        } else {
            sparse_.try_emplace(positionIndex, r);
        }
    }

    // Forgets the records of one part, ready for the next.
    void clear(const BodyPart& part) {
        for (RecordIndex r : part.vertices) {
            const int32_t p = part.vertex(r).positionIndex;
            if (inDense(p)) dense_[static_cast<size_t>(p)] = NONE_INDEX;
        }
        sparse_.clear();
    }

private:
    bool inDense(int32_t p) const { return p >= 0 && static_cast<size_t>(p) < dense_.size(); }

    std::vector<RecordIndex> dense_;
    absl::flat_hash_map<int32_t, RecordIndex> sparse_;
};

// The vertex record for position index p: the part's first record with that index, or a new one
// appended to the part's vertices list.
RecordIndex vertexFor(BodyPart& part, VertexLookup& lookup, int32_t p) {
    RecordIndex r = lookup.find(p);
    if (r != NONE_INDEX) return r;
    r = static_cast<RecordIndex>(part.arena->vertices.size());
    part.arena->vertices.push_back(MeshVertex{});  // positionIndex NONE_INDEX, all else 0
    part.vertices.push_back(r);
    part.arena->vertices.back().positionIndex = p;
    lookup.add(p, r);
    return r;
}

// Links triangle f of the part: face, next and prev of its three half-edges, their origin and
// target vertices, and each vertex's outgoing edge (the last assignment wins).
void linkTriangle(BodyPart& part, VertexLookup& lookup, size_t f) {
    const Polygon& polygon = part.polygons[f];
    const RecordIndex h[3] = {part.halfEdges[3 * f], part.halfEdges[3 * f + 1],
                              part.halfEdges[3 * f + 2]};
    for (int k = 0; k < 3; ++k) {
        {
            HalfEdge& e = part.halfEdge(h[k]);
            e.face = part.faces[f];
            e.next = h[(k + 1) % 3];
            e.prev = h[(k + 2) % 3];
        }
        const RecordIndex origin = vertexFor(part, lookup, polygon[static_cast<size_t>(k)].positionIndex);
        part.vertex(origin).edge = h[k];
        part.halfEdge(h[k]).origin = origin;

        const RecordIndex target =
            vertexFor(part, lookup, polygon[static_cast<size_t>((k + 1) % 3)].positionIndex);
        part.vertex(target).edge = part.halfEdge(h[k]).next;
        part.halfEdge(h[k]).target = target;
    }
    part.face(part.faces[f]).edge = h[0];
}

void pair(HalfEdge& h, RecordIndex hRecord, HalfEdge& m, RecordIndex mRecord) {
    h.paired = 1;
    h.boundary = 0;
    h.twin = mRecord;
    m.paired = 1;
    m.boundary = 0;
    m.twin = hRecord;
}

// The part's half-edges grouped by (origin, target), each group in list order. The twin
// candidates of a half-edge from a to b are the group (b, a): the entries a scan of the whole
// list would meet, in the order it would meet them. Each group keeps a cursor before which every
// entry is paired, so that entries paired once are never looked at again.
class TwinRuns {
public:
    // vertexLocal maps the arena's vertex records to 0 .. vertexCount-1 for this part.
    TwinRuns(const BodyPart& part, const std::vector<int32_t>& vertexLocal, size_t vertexCount)
        : origin_(part.halfEdges.size()),
          target_(part.halfEdges.size()),
          start_(vertexCount + 1, 0),
          order_(part.halfEdges.size()),
          cursor_(part.halfEdges.size()) {
        const size_t n = part.halfEdges.size();
        for (size_t i = 0; i < n; ++i) {
            const HalfEdge& e = part.halfEdge(part.halfEdges[i]);
            origin_[i] = localOf(vertexLocal, e.origin);
            target_[i] = localOf(vertexLocal, e.target);
            if (origin_[i] >= 0) ++start_[static_cast<size_t>(origin_[i]) + 1];
        }
        for (size_t v = 0; v < vertexCount; ++v) start_[v + 1] += start_[v];
        std::vector<uint32_t> fill(start_.begin(), start_.end() - 1);
        for (size_t i = 0; i < n; ++i) {
            if (origin_[i] >= 0) order_[fill[static_cast<size_t>(origin_[i])]++] = static_cast<uint32_t>(i);
        }
        // Within one origin, group by target; list order within a group is kept (stable).
        const auto byTarget = [this](uint32_t a, uint32_t b) { return target_[a] < target_[b]; };
        for (size_t v = 0; v < vertexCount; ++v) {
            const auto first = order_.begin() + start_[v];
            const auto last = order_.begin() + start_[v + 1];
            if (last - first > 16) {
                std::stable_sort(first, last, byTarget);
                continue;
            }
            for (auto it = first + (first != last ? 1 : 0); it < last; ++it) {
                const uint32_t value = *it;
                auto hole = it;
                for (; hole != first && byTarget(value, *(hole - 1)); --hole) *hole = *(hole - 1);
                *hole = value;
            }
        }
        for (size_t k = 0; k < n; ++k) cursor_[k] = static_cast<uint32_t>(k);
    }

    bool linked(size_t i) const { return origin_[i] >= 0 && target_[i] >= 0; }

    // The group of half-edges running against half-edge i (from its target to its origin), as a
    // range [begin, end) of positions in order(); returns false when there is none.
    bool opposite(size_t i, uint32_t& begin, uint32_t& end) const {
        const int32_t from = target_[i];
        const int32_t to = origin_[i];
        const uint32_t lo = start_[static_cast<size_t>(from)];
        const uint32_t hi = start_[static_cast<size_t>(from) + 1];
        auto byTarget = [this](uint32_t entry, int32_t t) { return target_[entry] < t; };
        const auto first = std::lower_bound(order_.begin() + lo, order_.begin() + hi, to, byTarget);
        if (first == order_.begin() + hi || target_[*first] != to) return false;
        auto last = first;
        while (last != order_.begin() + hi && target_[*last] == to) ++last;
        begin = static_cast<uint32_t>(first - order_.begin());
        end = static_cast<uint32_t>(last - order_.begin());
        return true;
    }

    uint32_t entry(uint32_t k) const { return order_[k]; }
    uint32_t& cursor(uint32_t groupBegin) { return cursor_[groupBegin]; }

private:
    static int32_t localOf(const std::vector<int32_t>& vertexLocal, RecordIndex r) {
        if (r < 0 || static_cast<size_t>(r) >= vertexLocal.size()) return -1;
        return vertexLocal[static_cast<size_t>(r)];
    }

    std::vector<int32_t> origin_;
    std::vector<int32_t> target_;
    std::vector<uint32_t> start_;
    std::vector<uint32_t> order_;
    std::vector<uint32_t> cursor_;
};

// Gives the part's vertex records (those its half-edges end at) local numbers 0, 1, ...; local
// maps arena records to them and holds -1 elsewhere, before and after (see forgetNumbers).
size_t numberVertices(const BodyPart& part, std::vector<int32_t>& local) {
    if (local.size() < part.arena->vertices.size()) local.resize(part.arena->vertices.size(), -1);
    size_t count = 0;
    for (RecordIndex h : part.halfEdges) {
        const HalfEdge& e = part.halfEdge(h);
        for (RecordIndex v : {e.origin, e.target}) {
            if (v >= 0 && static_cast<size_t>(v) < local.size() && local[static_cast<size_t>(v)] < 0) {
                local[static_cast<size_t>(v)] = static_cast<int32_t>(count++);
            }
        }
    }
    return count;
}

void forgetNumbers(const BodyPart& part, std::vector<int32_t>& local) {
    for (RecordIndex h : part.halfEdges) {
        const HalfEdge& e = part.halfEdge(h);
        for (RecordIndex v : {e.origin, e.target}) {
            if (v >= 0 && static_cast<size_t>(v) < local.size()) local[static_cast<size_t>(v)] = -1;
        }
    }
}

// Adds to each interior vertex's valence the number of steps of the walk twin -> next from its
// edge back to its edge.
void countValences(BodyPart& part) {
    const size_t limit = ringStepLimit(part.halfEdges.size());
    for (RecordIndex v : part.vertices) {
        const MeshVertex& vertex = part.vertex(v);
        if (vertex.boundary != 0) continue;
        const RecordIndex start = vertex.edge;
        RecordIndex e = start;
        int32_t steps = 0;
        bool closed = false;
        for (size_t step = 0; step < limit && e != NONE_INDEX; ++step) {
            ++steps;
            const RecordIndex twin = part.halfEdge(e).twin;
            e = twin == NONE_INDEX ? NONE_INDEX : part.halfEdge(twin).next;
            if (e == start) {
                closed = true;
                break;
            }
        }
        part.vertex(v).valence += steps;
        if (!closed) reportRingFault("valence", part.name, part.vertex(v).positionIndex);
    }
}

// A triangle can only be linked when its polygon has three corners and its three half-edges
// exist; the reader and the subdivision step only make such polygons.
bool linkable(const BodyPart& part, size_t f) {
    return f < part.polygons.size() && part.polygons[f].size() >= 3 &&
           3 * f + 2 < part.halfEdges.size();
}

}  // namespace

void Model::buildHalfEdges() {
    std::printf("Building 0th Set of Half Edges...");
    size_t polygonCount = 0;
    for (const BodyPart& part : parts) polygonCount += part.polygons.size();

    auto arena = std::make_shared<TopologyArena>();
    arena->faces.reserve(polygonCount);
    arena->halfEdges.reserve(3 * polygonCount);
    arena->vertices.reserve(3 * polygonCount);
    VertexLookup lookup(positions.size());
    std::vector<int32_t> local;

    for (BodyPart& part : parts) {
        part.halfEdges.clear();
        part.faces.clear();
        part.vertices.clear();
        part.arena = arena;
        if (part.polygons.empty()) continue;

        // Allocation: one face record and three blank half-edges per polygon.
        const size_t faceCount = part.polygons.size();
        part.faces.reserve(faceCount);
        part.halfEdges.reserve(3 * faceCount);
        for (size_t f = 0; f < faceCount; ++f) {
            part.faces.push_back(static_cast<RecordIndex>(arena->faces.size()));
            arena->faces.push_back(MeshFace{NONE_INDEX, static_cast<int32_t>(f)});
            for (int k = 0; k < 3; ++k) {
                part.halfEdges.push_back(static_cast<RecordIndex>(arena->halfEdges.size()));
                arena->halfEdges.push_back(HalfEdge{});
            }
        }

        // Linking, triangle by triangle.
        for (size_t f = 0; f < faceCount; ++f) {
            if (linkable(part, f)) linkTriangle(part, lookup, f);
        }

        // Twins. Each half-edge, right after it was linked, was paired with every unpaired
        // half-edge linked before it (or itself) that runs the other way between the same two
        // records; the last such one became its twin. Linking goes in list order, so "linked
        // before it" is "at or before it in the list".
        const size_t vertexCount = numberVertices(part, local);
        TwinRuns runs(part, local, vertexCount);
        for (size_t i = 0; i < part.halfEdges.size(); ++i) {
            const RecordIndex hRecord = part.halfEdges[i];
            if (!runs.linked(i) || part.halfEdge(hRecord).paired != 0) continue;
            uint32_t begin = 0, end = 0;
            if (!runs.opposite(i, begin, end)) continue;
            uint32_t& k = runs.cursor(begin);
            for (; k < end && runs.entry(k) <= i; ++k) {
                const RecordIndex mRecord = part.halfEdges[runs.entry(k)];
                HalfEdge& m = part.halfEdge(mRecord);
                if (m.paired == 0) pair(part.halfEdge(hRecord), hRecord, m, mRecord);
            }
        }

        // Boundary marking.
        for (RecordIndex h : part.halfEdges) {
            const HalfEdge& e = part.halfEdge(h);
            if (e.boundary == 0 || e.origin == NONE_INDEX) continue;
            part.vertex(e.origin).boundary = 1;
            part.vertex(e.origin).edge = h;
            part.vertex(e.target).boundary = 1;
        }

        forgetNumbers(part, local);
        countValences(part);
        // Sharpness starts at 0 on every half-edge and vertex: fresh records already hold it.
        lookup.clear(part);
    }
    std::printf("Done\n");
}

void Model::relinkHalfEdges() {
    std::vector<int32_t> local;
    VertexLookup lookup(positions.size());
    for (BodyPart& part : parts) {
        if (part.polygons.empty() || !part.arena) continue;

        // Linking against the records the part already lists; new ones are appended.
        for (RecordIndex v : part.vertices) lookup.add(part.vertex(v).positionIndex, v);
        for (size_t f = 0; f < part.faces.size(); ++f) {
            if (linkable(part, f)) linkTriangle(part, lookup, f);
        }

        // Twins, boundary marking and sharpness, half-edge by half-edge in list order. An
        // unpaired half-edge takes the first unpaired one, anywhere in the list, that runs the
        // other way between the same records.
        const size_t vertexCount = numberVertices(part, local);
        TwinRuns runs(part, local, vertexCount);
        for (size_t i = 0; i < part.halfEdges.size(); ++i) {
            if (!runs.linked(i)) continue;  // a record no triangle links
            const RecordIndex hRecord = part.halfEdges[i];
            if (part.halfEdge(hRecord).paired == 0) {
                uint32_t begin = 0, end = 0;
                if (runs.opposite(i, begin, end)) {
                    uint32_t& k = runs.cursor(begin);
                    while (k < end && part.halfEdge(part.halfEdges[runs.entry(k)]).paired != 0) ++k;
                    if (k < end) {
                        const RecordIndex mRecord = part.halfEdges[runs.entry(k)];
                        pair(part.halfEdge(hRecord), hRecord, part.halfEdge(mRecord), mRecord);
                        ++k;
                    }
                }
            }
            const HalfEdge& e = part.halfEdge(hRecord);
            if (e.boundary != 0) {
                part.vertex(e.origin).boundary = 1;
                part.vertex(e.origin).edge = hRecord;
                part.vertex(e.target).boundary = 1;
            }
            part.vertex(e.origin).sharpness -= 1;
            part.vertex(e.target).sharpness -= 1;
        }

        forgetNumbers(part, local);
        countValences(part);
        lookup.clear(part);
    }
}
