// Half-edge construction: the build makes fresh records for every part; the relink re-derives
// the links of records a subdivision step left behind.
//
// Both take vertex records by position index in order of first use, and pair twins as a scan of
// the part's half-edge list would. The scans are replaced by indices that give the same records
// in the same order (see ListLookup and TwinRuns), so both operations take linear time.

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "mesh/model.h"
#include "mesh/portable.h"
#include "mesh/ring_walk.h"

namespace {

// Position index -> the place in the part's vertices list of the first record with that index;
// replaces the scan of the list from its first entry (records are only appended, and a record's
// position index never changes, so the first place registered is the first match).
class ListLookup {
public:
    explicit ListLookup(size_t positionCount) : dense_(positionCount, -1) {}

    int32_t find(int32_t positionIndex) const {
        if (inDense(positionIndex)) return dense_[static_cast<size_t>(positionIndex)];
        const auto it = sparse_.find(positionIndex);
        return it == sparse_.end() ? -1 : it->second;
    }

    // Registers place for positionIndex unless an earlier place holds it.
    void add(int32_t positionIndex, int32_t place) {
        if (inDense(positionIndex)) {
            int32_t& slot = dense_[static_cast<size_t>(positionIndex)];
            if (slot < 0) slot = place;
        } else {
            sparse_.try_emplace(positionIndex, place);
        }
    }

    // Forgets the records of one part, ready for the next.
    void clear(const BodyPart& part) {
        for (RecordIndex r : part.vertices) {
            const int32_t p = part.vertex(r).positionIndex;
            if (inDense(p)) dense_[static_cast<size_t>(p)] = -1;
        }
        sparse_.clear();
    }

private:
    bool inDense(int32_t p) const { return static_cast<uint32_t>(p) < dense_.size(); }

    std::vector<int32_t> dense_;
    HashMap<int32_t, int32_t> sparse_;
};

// The place in the part's vertices list of the record for position index p: the first listed
// record with that index, or a new record appended to the arena and the list.
int32_t placeFor(BodyPart& part, ListLookup& lookup, int32_t p) {
    int32_t place = lookup.find(p);
    if (place >= 0) return place;
    const auto r = static_cast<RecordIndex>(part.arena->vertices.size());
    part.arena->vertices.push_back(MeshVertex{});  // positionIndex NONE_INDEX, all else 0
    part.vertices.push_back(r);
    part.arena->vertices.back().positionIndex = p;
    place = static_cast<int32_t>(part.vertices.size() - 1);
    lookup.add(p, place);
    return place;
}

// Sorts [first, last) by less, keeping the order of equal entries: the sort of the short groups
// of the twin indices.
template <typename It, typename Less>
void insertionSort(It first, It last, Less less) {
    for (auto it = first + (first != last ? 1 : 0); it < last; ++it) {
        const auto value = *it;
        auto hole = it;
        for (; hole != first && less(value, *(hole - 1)); --hole)
            *hole = *(hole - 1);
        *hole = value;
    }
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
        for (size_t v = 0; v < vertexCount; ++v)
            start_[v + 1] += start_[v];
        std::vector<uint32_t> fill(start_.begin(), start_.end() - 1);
        for (size_t i = 0; i < n; ++i) {
            if (origin_[i] >= 0)
                order_[fill[static_cast<size_t>(origin_[i])]++] = static_cast<uint32_t>(i);
        }
        // Within one origin, group by target; list order within a group is kept (stable).
        const auto byTarget = [this](uint32_t a, uint32_t b) { return target_[a] < target_[b]; };
        for (size_t v = 0; v < vertexCount; ++v) {
            const auto first = order_.begin() + start_[v];
            const auto last = order_.begin() + start_[v + 1];
            if (last - first > 16) {
                std::stable_sort(first, last, byTarget);
            } else {
                insertionSort(first, last, byTarget);
            }
        }
        for (size_t k = 0; k < n; ++k)
            cursor_[k] = static_cast<uint32_t>(k);
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
        while (last != order_.begin() + hi && target_[*last] == to)
            ++last;
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
            if (v >= 0 && static_cast<size_t>(v) < local.size() &&
                local[static_cast<size_t>(v)] < 0) {
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

// Steps of the walk twin -> next around vertex v, from its edge back to its edge, at most
// `limit`; whether it closed.
int32_t ringSteps(const BodyPart& part, RecordIndex v, size_t limit, bool& closed) {
    const RecordIndex start = part.vertex(v).edge;
    RecordIndex e = start;
    int32_t steps = 0;
    closed = false;
    for (size_t step = 0; step < limit && e != NONE_INDEX; ++step) {
        ++steps;
        const RecordIndex twin = part.halfEdge(e).twin;
        e = twin == NONE_INDEX ? NONE_INDEX : part.halfEdge(twin).next;
        if (e == start) {
            closed = true;
            break;
        }
    }
    return steps;
}

// The same walk on a twin array by list position (-1 for none), where next of half-edge 3f+k is
// 3f+(k+1) mod 3, from list position start (none when negative).
int32_t listRingSteps(const std::vector<int32_t>& twin, int32_t start, size_t limit, bool& closed) {
    int32_t e = start;
    int32_t steps = 0;
    closed = false;
    for (size_t step = 0; step < limit && e >= 0; ++step) {
        ++steps;
        const int32_t t = twin[static_cast<size_t>(e)];
        e = t < 0 ? -1 : t - t % 3 + (t % 3 == 2 ? 0 : t % 3 + 1);
        if (e == start) {
            closed = true;
            break;
        }
    }
    return steps;
}

// Adds to each interior vertex's valence the number of steps of the walk twin -> next from its
// edge back to its edge.
void countValences(BodyPart& part) {
    const size_t limit = ringStepLimit(part.halfEdges.size());
    for (RecordIndex v : part.vertices) {
        if (part.vertex(v).boundary != 0) continue;
        bool closed = false;
        part.vertex(v).valence += ringSteps(part, v, limit, closed);
        if (!closed) reportRingFault("valence", part.name, part.vertex(v).positionIndex);
    }
}

// A triangle can only be linked when its polygon has three corners and its three half-edges
// exist; the reader and the subdivision step only make such polygons.
bool linkable(const BodyPart& part, size_t f) {
    return f < part.polygons.size() && part.polygons[f].size() >= 3 &&
           3 * f + 2 < part.halfEdges.size();
}

// ---- Relink --------------------------------------------------------------------------------

// What the relink learns while linking, for the fast path. That path applies when the part's
// half-edges are one contiguous run of its arena, three per face, and every face is linked: the
// links of half-edge 3f+k then are exactly the ones linked from face f, so they need not be read
// back from the records, and the pairing, marking and valence steps can work on compact arrays
// indexed by list position.
struct RelinkScratch {
    static constexpr uint8_t kPaired = 1;
    static constexpr uint8_t kBoundary = 2;

    bool fast = false;
    bool freshTwins = false;          // no record arrived paired or with a twin
    RecordIndex base = 0;             // record of half-edge 0
    std::vector<int32_t> target;      // per half-edge: its target's place in the vertices list
    std::vector<uint8_t> state;       // per half-edge: kPaired, kBoundary as the record holds them
    std::vector<int32_t> groupStart;  // per vertex place: first entry of its group in byOrigin
    std::vector<int32_t> byOrigin;    // half-edges grouped by origin, each group in list order
    std::vector<int32_t> twin;        // per half-edge: its twin's list position, -1 for none
    std::vector<int32_t> runCursor;   // sorted large groups: per run, its first unpaired entry

    int32_t origin(size_t i) const {
        const size_t f = i - i % 3;
        return target[f + (i % 3 + 2) % 3];
    }
};

// Links every linkable face exactly as linkTriangle does (the same record writes, and the last
// write to a vertex's edge the same), and finds out whether the fast path applies.
void linkFaces(BodyPart& part, ListLookup& lookup, RelinkScratch& s) {
    TopologyArena& arena = *part.arena;
    const size_t faceCount = part.faces.size();
    const size_t n = part.halfEdges.size();
    s.base = n > 0 ? part.halfEdges[0] : 0;
    s.fast = n == 3 * faceCount && n > 0 && s.base >= 0 &&
             static_cast<size_t>(s.base) + n <= arena.halfEdges.size();
    s.freshTwins = true;
    if (s.fast) {
        s.target.resize(n);
        s.state.resize(n);
    }
    s.groupStart.assign(part.vertices.size() + 1, 0);

    for (size_t f = 0; f < faceCount; ++f) {
        if (!linkable(part, f)) {
            s.fast = false;
            continue;
        }
        const Polygon& polygon = part.polygons[f];
        // Places in corner order, so that new records are made in the order of first use.
        int32_t place[3];
        for (size_t k = 0; k < 3; ++k)
            place[k] = placeFor(part, lookup, polygon[k].positionIndex);
        const RecordIndex r[3] = {part.vertices[static_cast<size_t>(place[0])],
                                  part.vertices[static_cast<size_t>(place[1])],
                                  part.vertices[static_cast<size_t>(place[2])]};
        const RecordIndex h[3] = {part.halfEdges[3 * f], part.halfEdges[3 * f + 1],
                                  part.halfEdges[3 * f + 2]};
        for (int k = 0; k < 3; ++k) {
            HalfEdge& e = arena.halfEdges[static_cast<size_t>(h[k])];
            e.face = part.faces[f];
            e.next = h[(k + 1) % 3];
            e.prev = h[(k + 2) % 3];
            e.origin = r[k];
            e.target = r[(k + 1) % 3];
        }
        // linkTriangle sets the edges of c0, c1, c1, c2, c2, c0 to h0, h1, h1, h2, h2, h0.
        arena.vertices[static_cast<size_t>(r[1])].edge = h[1];
        arena.vertices[static_cast<size_t>(r[2])].edge = h[2];
        arena.vertices[static_cast<size_t>(r[0])].edge = h[0];
        part.face(part.faces[f]).edge = h[0];

        if (!s.fast) continue;
        if (s.groupStart.size() < part.vertices.size() + 1)
            s.groupStart.resize(part.vertices.size() + 1, 0);
        for (int k = 0; k < 3; ++k) {
            const size_t i = 3 * f + static_cast<size_t>(k);
            if (h[k] != s.base + static_cast<RecordIndex>(i)) {
                s.fast = false;
                break;
            }
            const HalfEdge& e = arena.halfEdges[static_cast<size_t>(h[k])];
            s.freshTwins = s.freshTwins && e.paired == 0 && e.twin == NONE_INDEX;
            s.state[i] = static_cast<uint8_t>((e.paired != 0 ? RelinkScratch::kPaired : 0) |
                                              (e.boundary != 0 ? RelinkScratch::kBoundary : 0));
            s.target[i] = place[(k + 1) % 3];
            ++s.groupStart[static_cast<size_t>(place[k])];
        }
    }
}

// Twins, boundary marking, sharpness and valence for a part on the fast path, with the results
// of the list-order steps of the relink.
void relinkFast(BodyPart& part, RelinkScratch& s) {
    TopologyArena& arena = *part.arena;
    HalfEdge* const he = arena.halfEdges.data() + s.base;
    MeshVertex* const vx = arena.vertices.data();
    const size_t n = part.halfEdges.size();
    const size_t places = part.vertices.size();

    // Half-edges grouped by origin place (a stable counting sort): the twin candidates of a
    // half-edge from a to b are the group of b with target a, in the order a scan meets them.
    s.groupStart.resize(places + 1, 0);
    int32_t sum = 0;
    for (size_t v = 0; v < places; ++v) {
        sum += s.groupStart[v];
        s.groupStart[v] = sum;  // for now the end of group v
    }
    s.groupStart[places] = sum;
    s.byOrigin.resize(n);
    for (size_t i = n; i-- > 0;)
        s.byOrigin[static_cast<size_t>(--s.groupStart[static_cast<size_t>(s.origin(i))])] =
            static_cast<int32_t>(i);

    // Large groups (a vertex with many outgoing half-edges) are sorted by target, list order kept
    // within a target, and keep a cursor per run before which every entry is paired: a lookup
    // there costs a binary search instead of a walk through the group.
    constexpr int32_t kLargeGroup = 32;
    bool anyLarge = false;
    for (size_t v = 0; v < places; ++v) {
        const int32_t first = s.groupStart[v];
        const int32_t last = s.groupStart[v + 1];
        if (last - first <= kLargeGroup) continue;
        anyLarge = true;
        std::stable_sort(
            s.byOrigin.begin() + first, s.byOrigin.begin() + last, [&s](int32_t a, int32_t b) {
                return s.target[static_cast<size_t>(a)] < s.target[static_cast<size_t>(b)];
            });
    }
    if (anyLarge) {
        s.runCursor.resize(n);
        for (size_t k = 0; k < n; ++k)
            s.runCursor[k] = static_cast<int32_t>(k);
    }

    // Twins in list order: an unpaired half-edge takes the first unpaired one running the other
    // way between the same records.
    // The pairs are kept in the compact arrays here and written to the records in list order
    // below, together with the boundary marking.
    s.twin.assign(n, -1);
    const auto pairUp = [&](size_t i, size_t m) {
        s.state[i] = RelinkScratch::kPaired;
        s.state[m] = RelinkScratch::kPaired;
        s.twin[i] = static_cast<int32_t>(m);
        s.twin[m] = static_cast<int32_t>(i);
    };
    for (size_t i = 0; i < n; ++i) {
        if (s.state[i] & RelinkScratch::kPaired) continue;
        const int32_t a = s.origin(i);
        const auto b = static_cast<size_t>(s.target[i]);
        const int32_t first = s.groupStart[b];
        const int32_t last = s.groupStart[b + 1];
        if (last - first <= kLargeGroup) {
            for (int32_t k = first; k < last; ++k) {
                const auto m = static_cast<size_t>(s.byOrigin[static_cast<size_t>(k)]);
                if (s.target[m] == a && !(s.state[m] & RelinkScratch::kPaired)) {
                    pairUp(i, m);
                    break;
                }
            }
            continue;
        }
        const auto begin = s.byOrigin.begin() + first;
        const auto end = s.byOrigin.begin() + last;
        const auto run = std::lower_bound(begin, end, a, [&s](int32_t entry, int32_t t) {
            return s.target[static_cast<size_t>(entry)] < t;
        });
        if (run == end || s.target[static_cast<size_t>(*run)] != a) continue;
        int32_t& k = s.runCursor[static_cast<size_t>(run - s.byOrigin.begin())];
        while (k < last && s.target[static_cast<size_t>(s.byOrigin[static_cast<size_t>(k)])] == a &&
               (s.state[static_cast<size_t>(s.byOrigin[static_cast<size_t>(k)])] &
                RelinkScratch::kPaired)) {
            ++k;
        }
        if (k < last && s.target[static_cast<size_t>(s.byOrigin[static_cast<size_t>(k)])] == a) {
            pairUp(i, static_cast<size_t>(s.byOrigin[static_cast<size_t>(k)]));
            ++k;
        }
    }

    // The pairs into the records, and boundary marking, in list order. A half-edge's boundary
    // flag is final once its own turn in the pairing has passed (nothing pairs with it later).
    for (size_t i = 0; i < n; ++i) {
        if (s.twin[i] >= 0) {
            he[i].paired = 1;
            he[i].boundary = 0;
            he[i].twin = s.base + s.twin[i];
        }
        if (!(s.state[i] & RelinkScratch::kBoundary)) continue;
        MeshVertex& o = vx[part.vertices[static_cast<size_t>(s.origin(i))]];
        o.boundary = 1;
        o.edge = s.base + static_cast<RecordIndex>(i);
        vx[part.vertices[static_cast<size_t>(s.target[i])]].boundary = 1;
    }

    // Sharpness: one less per half-edge starting or ending at a vertex. In a triangle each
    // corner starts one and ends one, so that is twice the vertex's group size.
    for (size_t v = 0; v < places; ++v) {
        const int32_t corners = s.groupStart[v + 1] - s.groupStart[v];
        if (corners != 0) vx[part.vertices[v]].sharpness -= 2 * corners;
    }

    // Valence, vertex by vertex in list order. With fresh twins, a walk from a half-edge of this
    // run stays in the run: twin positions from the pairing, next within the triangle.
    const size_t limit = ringStepLimit(n);
    for (RecordIndex v : part.vertices) {
        MeshVertex& vertex = vx[v];
        if (vertex.boundary != 0) continue;
        bool closed = false;
        const int64_t startPos = static_cast<int64_t>(vertex.edge) - s.base;
        if (s.freshTwins && vertex.edge != NONE_INDEX && startPos >= 0 &&
            startPos < static_cast<int64_t>(n)) {
            vertex.valence += listRingSteps(s.twin, static_cast<int32_t>(startPos), limit, closed);
        } else {
            vertex.valence += ringSteps(part, v, limit, closed);
        }
        if (!closed) reportRingFault("valence", part.name, vertex.positionIndex);
    }
}

// One part's build. A build makes the part's records one after another, so half-edge i of the
// part's list is record halfEdgeBase + i and the part's vertex records are vertexBase + 0, 1, ...;
// the work below runs on these local numbers, in compact arrays, and writes the records as it
// goes.
class PartBuild {
public:
    PartBuild(BodyPart& part, ListLookup& lookup) : part_(part), lookup_(lookup) {}

    void run() {
        allocateAndLink();
        pairTwins();
        markBoundary();
        countValences();
        // Sharpness starts at 0 on every half-edge and vertex: fresh records already hold it.
    }

private:
    // Makes one face record and three half-edges per polygon and links each triangle as it
    // goes (the records come out exactly as allocation followed by linking would leave them),
    // noting each half-edge's ends by local vertex number (-1 where no triangle links it).
    void allocateAndLink() {
        TopologyArena& arena = *part_.arena;
        const size_t faceCount = part_.polygons.size();
        halfEdgeBase_ = static_cast<RecordIndex>(arena.halfEdges.size());
        vertexBase_ = static_cast<RecordIndex>(arena.vertices.size());
        const RecordIndex faceBase = static_cast<RecordIndex>(arena.faces.size());
        part_.faces.resize(faceCount);
        part_.halfEdges.resize(3 * faceCount);
        origin_.assign(3 * faceCount, -1);
        target_.assign(3 * faceCount, -1);
        for (size_t f = 0; f < faceCount; ++f) {
            const RecordIndex face = faceBase + static_cast<RecordIndex>(f);
            const RecordIndex h0 = halfEdgeBase_ + static_cast<RecordIndex>(3 * f);
            const RecordIndex h[3] = {h0, h0 + 1, h0 + 2};
            part_.faces[f] = face;
            for (size_t k = 0; k < 3; ++k)
                part_.halfEdges[3 * f + k] = h[k];
            const Polygon& polygon = part_.polygons[f];
            if (polygon.size() < 3) {
                arena.faces.push_back(MeshFace{NONE_INDEX, static_cast<int32_t>(f)});
                arena.halfEdges.resize(arena.halfEdges.size() + 3);
                continue;
            }
            arena.faces.push_back(MeshFace{h0, static_cast<int32_t>(f)});
            for (size_t k = 0; k < 3; ++k) {
                HalfEdge e;
                e.face = face;
                e.next = h[(k + 1) % 3];
                e.prev = h[(k + 2) % 3];
                origin_[3 * f + k] = placeFor(part_, lookup_, polygon[k].positionIndex);
                e.origin = vertexBase_ + origin_[3 * f + k];
                arena.vertices[static_cast<size_t>(e.origin)].edge = h[k];
                target_[3 * f + k] = placeFor(part_, lookup_, polygon[(k + 1) % 3].positionIndex);
                e.target = vertexBase_ + target_[3 * f + k];
                arena.vertices[static_cast<size_t>(e.target)].edge = e.next;
                arena.halfEdges.push_back(e);
            }
        }
        vertexCount_ = part_.vertices.size();
    }

    // Each half-edge, right after it was linked, was paired with every unpaired half-edge linked
    // before it (or itself) that runs the other way between the same two records; the last such
    // one became its twin. Linking goes in list order, so "linked before it" is "at or before it
    // in the list". Candidates are found among the half-edges grouped by origin and, within an
    // origin, by target and list position; each group keeps a cursor before which every entry
    // is paired.
    void pairTwins() {
        const size_t n = origin_.size();
        std::vector<uint32_t> start(vertexCount_ + 1, 0);
        for (size_t i = 0; i < n; ++i) {
            if (origin_[i] >= 0) ++start[static_cast<size_t>(origin_[i]) + 1];
        }
        for (size_t v = 0; v < vertexCount_; ++v)
            start[v + 1] += start[v];
        // Entry: target in the high half, list position in the low half, so that sorting the
        // numbers sorts by target and then by position.
        std::vector<uint64_t> entries(start[vertexCount_]);
        {
            std::vector<uint32_t> fill(start.begin(), start.end() - 1);
            for (size_t i = 0; i < n; ++i) {
                if (origin_[i] < 0) continue;
                entries[fill[static_cast<size_t>(origin_[i])]++] =
                    (static_cast<uint64_t>(static_cast<uint32_t>(target_[i])) << 32) | i;
            }
        }
        for (size_t v = 0; v < vertexCount_; ++v) {
            const auto first = entries.begin() + start[v];
            const auto last = entries.begin() + start[v + 1];
            if (last - first <= 16) {
                insertionSort(first, last, std::less<uint64_t>());
            } else {
                std::sort(first, last);
            }
        }
        std::vector<uint32_t> cursor(entries.size());
        for (size_t k = 0; k < cursor.size(); ++k)
            cursor[k] = static_cast<uint32_t>(k);

        paired_.assign(n, 0);
        twin_.assign(n, -1);
        for (size_t i = 0; i < n; ++i) {
            if (origin_[i] < 0 || paired_[i] != 0) continue;
            // The group (target -> origin) within the target's entries.
            const uint32_t lo = start[static_cast<size_t>(target_[i])];
            const uint32_t hi = start[static_cast<size_t>(target_[i]) + 1];
            const uint64_t key = static_cast<uint64_t>(static_cast<uint32_t>(origin_[i])) << 32;
            uint32_t begin = lo;
            if (hi - lo <= 16) {
                while (begin < hi && entries[begin] < key)
                    ++begin;
            } else {
                begin = static_cast<uint32_t>(
                    std::lower_bound(entries.begin() + lo, entries.begin() + hi, key) -
                    entries.begin());
            }
            if (begin == hi || (entries[begin] >> 32) != (key >> 32)) continue;
            uint32_t k = cursor[begin];
            for (; k < hi && (entries[k] >> 32) == (key >> 32) &&
                   static_cast<uint32_t>(entries[k]) <= i;
                 ++k) {
                const size_t m = static_cast<uint32_t>(entries[k]);
                if (paired_[m] == 0) pairLocal(i, m);
            }
            cursor[begin] = k;
        }
    }

    void pairLocal(size_t i, size_t m) {
        paired_[i] = paired_[m] = 1;
        twin_[i] = static_cast<int32_t>(m);
        twin_[m] = static_cast<int32_t>(i);
        const RecordIndex hRecord = halfEdgeBase_ + static_cast<RecordIndex>(i);
        const RecordIndex mRecord = halfEdgeBase_ + static_cast<RecordIndex>(m);
        pair(part_.halfEdge(hRecord), hRecord, part_.halfEdge(mRecord), mRecord);
    }

    // Every unpaired half-edge makes its ends boundary vertices and becomes its origin's edge.
    void markBoundary() {
        for (size_t i = 0; i < origin_.size(); ++i) {
            if (paired_[i] != 0 || origin_[i] < 0) continue;
            MeshVertex& o = part_.vertex(vertexBase_ + origin_[i]);
            o.boundary = 1;
            o.edge = halfEdgeBase_ + static_cast<RecordIndex>(i);
            part_.vertex(vertexBase_ + target_[i]).boundary = 1;
        }
    }

    // The walk twin -> next around each interior vertex, on the local twin array.
    void countValences() {
        const size_t limit = ringStepLimit(part_.halfEdges.size());
        for (size_t v = 0; v < vertexCount_; ++v) {
            MeshVertex& vertex = part_.vertex(vertexBase_ + static_cast<RecordIndex>(v));
            if (vertex.boundary != 0) continue;
            bool closed = false;
            vertex.valence += listRingSteps(twin_, vertex.edge - halfEdgeBase_, limit, closed);
            if (!closed) reportRingFault("valence", part_.name, vertex.positionIndex);
        }
    }

    BodyPart& part_;
    ListLookup& lookup_;
    RecordIndex halfEdgeBase_ = 0;
    RecordIndex vertexBase_ = 0;
    size_t vertexCount_ = 0;
    std::vector<int32_t> origin_, target_, twin_;
    std::vector<uint8_t> paired_;
};

}  // namespace

void Model::buildHalfEdges() {
    std::printf("Building 0th Set of Half Edges...");
    size_t polygonCount = 0;
    for (const BodyPart& part : parts)
        polygonCount += part.polygons.size();

    auto arena = std::make_shared<TopologyArena>();
    arena->faces.reserve(polygonCount);
    arena->halfEdges.reserve(3 * polygonCount);
    arena->vertices.reserve(3 * polygonCount);
    ListLookup lookup(positions.size());

    for (BodyPart& part : parts) {
        part.halfEdges.clear();
        part.faces.clear();
        part.vertices.clear();
        part.arena = arena;
        if (part.polygons.empty()) continue;
        PartBuild(part, lookup).run();
        lookup.clear(part);
    }
    std::printf("Done\n");
}

void Model::relinkHalfEdges() {
    std::vector<int32_t> local;
    ListLookup lookup(positions.size());
    RelinkScratch scratch;
    for (BodyPart& part : parts) {
        if (part.polygons.empty() || !part.arena) continue;

        // Linking against the records the part already lists; new ones are appended.
        for (size_t j = 0; j < part.vertices.size(); ++j) {
            lookup.add(part.vertex(part.vertices[j]).positionIndex, static_cast<int32_t>(j));
        }
        linkFaces(part, lookup, scratch);
        if (scratch.fast) {
            relinkFast(part, scratch);
            lookup.clear(part);
            continue;
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
                    while (k < end && part.halfEdge(part.halfEdges[runs.entry(k)]).paired != 0)
                        ++k;
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
