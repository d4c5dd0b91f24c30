// Half-edge construction: the build makes fresh records for every part; the relink re-derives
// the links of the records a subdivision step left behind.
//
// Both link every triangle the same way (linkTriangles), pair twins with one routine (pairTwins,
// in the build's way or the relink's) and count the valence of each interior vertex by walking
// its ring. Vertex records are found with a VertexLookup instead of a scan of the part's vertices,
// and twin candidates among the half-edges grouped by their ends instead of a scan of the whole
// list; both find the records a scan finds, in the order it finds them, so both operations take
// linear time.

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>

#include "mesh/model.h"
#include "mesh/ring_walk.h"
#include "mesh/vertex_lookup.h"

namespace {

// The ends of each half-edge of a part, by list position, as numbers 0 .. count-1 of its vertex
// records; -1 for a half-edge that is not linked.
struct Ends {
    std::vector<int32_t> origin;
    std::vector<int32_t> target;
    size_t count = 0;
};

// A triangle can be linked when its polygon has three corners and its three half-edges exist.
bool linkable(const BodyPart& part, size_t f) {
    return f < part.polygons.size() && part.polygons[f].size() >= 3 &&
           3 * f + 2 < part.halfEdges.size();
}

// Links the triangle of polygon f, for every f < faceCount that can be linked, onto half-edges
// 3f, 3f+1, 3f+2 and face f of the part: each half-edge's face, next, prev, origin and target, the
// face's edge, and the edge of each corner's vertex (the half-edge that starts there; the last
// write wins). Vertex records are found by position index, new ones appended in the order of
// first use. Notes each half-edge's ends as places in the part's vertices list; returns whether
// every face was linked.
bool linkTriangles(BodyPart& part, size_t faceCount, VertexLookup& lookup, Ends& ends) {
    TopologyArena& arena = *part.arena;
    ends.origin.assign(part.halfEdges.size(), -1);
    ends.target.assign(part.halfEdges.size(), -1);
    bool all = true;
    for (size_t f = 0; f < faceCount; ++f) {
        if (!linkable(part, f)) {
            all = false;
            continue;
        }
        const Polygon& polygon = part.polygons[f];
        // In corner order, so that new records are made in the order of first use.
        int32_t place[3];
        for (size_t k = 0; k < 3; ++k)
            place[k] = lookup.findOrMake(part, polygon[k].positionIndex);
        const RecordIndex r[3] = {part.vertices[static_cast<size_t>(place[0])],
                                  part.vertices[static_cast<size_t>(place[1])],
                                  part.vertices[static_cast<size_t>(place[2])]};
        const RecordIndex h[3] = {part.halfEdges[3 * f], part.halfEdges[3 * f + 1],
                                  part.halfEdges[3 * f + 2]};
        for (size_t k = 0; k < 3; ++k) {
            HalfEdge& e = arena.halfEdges[static_cast<size_t>(h[k])];
            e.face = part.faces[f];
            e.next = h[(k + 1) % 3];
            e.prev = h[(k + 2) % 3];
            e.origin = r[k];
            e.target = r[(k + 1) % 3];
            ends.origin[3 * f + k] = place[k];
            ends.target[3 * f + k] = place[(k + 1) % 3];
        }
        // Half-edge k sets the edge of its origin to itself and that of its target to its next:
        // c0, c1, c1, c2, c2, c0 get h0, h1, h1, h2, h2, h0.
        arena.vertices[static_cast<size_t>(r[1])].edge = h[1];
        arena.vertices[static_cast<size_t>(r[2])].edge = h[2];
        arena.vertices[static_cast<size_t>(r[0])].edge = h[0];
        arena.faces[static_cast<size_t>(part.faces[f])].edge = h[0];
    }
    ends.count = part.vertices.size();
    return all;
}

// The ends as the records hold them, numbered by first appearance: for a relink whose list does
// not tell them (a record listed twice, a record linked before but not by this relink). A
// half-edge counts as linked when both its ends are set.
void endsFromRecords(const BodyPart& part, std::vector<int32_t>& number, Ends& ends) {
    const size_t records = part.arena->vertices.size();
    if (number.size() < records) number.resize(records, -1);
    const auto valid = [records](RecordIndex v) { return static_cast<size_t>(v) < records; };
    ends.count = 0;
    for (size_t i = 0; i < part.halfEdges.size(); ++i) {
        const HalfEdge& e = part.halfEdge(part.halfEdges[i]);
        ends.origin[i] = ends.target[i] = -1;
        if (!valid(e.origin) || !valid(e.target)) continue;
        for (const RecordIndex v : {e.origin, e.target}) {
            if (number[static_cast<size_t>(v)] < 0)
                number[static_cast<size_t>(v)] = static_cast<int32_t>(ends.count++);
        }
        ends.origin[i] = number[static_cast<size_t>(e.origin)];
        ends.target[i] = number[static_cast<size_t>(e.target)];
    }
    for (RecordIndex h : part.halfEdges) {
        const HalfEdge& e = part.halfEdge(h);
        for (const RecordIndex v : {e.origin, e.target}) {
            if (valid(v)) number[static_cast<size_t>(v)] = -1;
        }
    }
}

bool isRun(const std::vector<RecordIndex>& list) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] != list[0] + static_cast<RecordIndex>(i)) return false;
    }
    return true;
}

// Sorts [first, last) in place, for the short groups of pairTwins.
template <typename It>
void insertionSort(It first, It last) {
    for (auto it = first + (first != last ? 1 : 0); it < last; ++it) {
        const auto value = *it;
        auto hole = it;
        for (; hole != first && value < *(hole - 1); --hole)
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

enum class TwinRule {
    // The build's: each half-edge, in list order, is paired with every unpaired half-edge at or
    // before it in the list that runs the other way between the same records; the last of them
    // becomes its twin.
    kEveryOneBefore,
    // The relink's: each unpaired half-edge, in list order, takes the first unpaired half-edge
    // anywhere in the list that runs the other way.
    kFirstAnywhere,
};

// Pairs the part's half-edges as a scan of its list would under the rule. The candidates of a
// half-edge from a to b are the linked half-edges from b to a, in list order: the half-edges are
// grouped by origin and, within a group, ordered by target and list position. Paired flags are
// read from the records as the pairing goes; every run of candidates keeps a cursor before which
// all are paired, so no candidate is passed over twice.
void pairTwins(BodyPart& part, const Ends& ends, TwinRule rule) {
    const size_t n = part.halfEdges.size();
    std::vector<uint32_t> start(ends.count + 1, 0);
    for (size_t i = 0; i < n; ++i) {
        if (ends.origin[i] >= 0) ++start[static_cast<size_t>(ends.origin[i]) + 1];
    }
    for (size_t v = 0; v < ends.count; ++v)
        start[v + 1] += start[v];
    // A candidate's key: its target in the high half, its list position in the low half.
    std::vector<uint64_t> keys(start[ends.count]);
    {
        std::vector<uint32_t> fill(start.begin(), start.end() - 1);
        for (size_t i = 0; i < n; ++i) {
            if (ends.origin[i] < 0) continue;
            keys[fill[static_cast<size_t>(ends.origin[i])]++] =
                static_cast<uint64_t>(static_cast<uint32_t>(ends.target[i])) << 32 | i;
        }
    }
    constexpr uint32_t kShortGroup = 16;
    for (size_t v = 0; v < ends.count; ++v) {
        const auto first = keys.begin() + start[v];
        const auto last = keys.begin() + start[v + 1];
        if (std::cmp_less_equal(last - first, kShortGroup)) {
            insertionSort(first, last);
        } else {
            std::sort(first, last);
        }
    }
    std::vector<uint32_t> cursor(keys.size());
    for (size_t k = 0; k < cursor.size(); ++k)
        cursor[k] = static_cast<uint32_t>(k);

    const auto record = [&part](size_t i) -> HalfEdge& { return part.halfEdge(part.halfEdges[i]); };
    for (size_t i = 0; i < n; ++i) {
        if (ends.origin[i] < 0 || record(i).paired != 0) continue;
        // The run of half-edges from i's target back to its origin.
        const uint32_t lo = start[static_cast<size_t>(ends.target[i])];
        const uint32_t hi = start[static_cast<size_t>(ends.target[i]) + 1];
        const uint64_t run = static_cast<uint32_t>(ends.origin[i]);
        uint32_t begin = lo;
        if (hi - lo <= kShortGroup) {
            while (begin < hi && keys[begin] >> 32 < run)
                ++begin;
        } else {
            begin = static_cast<uint32_t>(
                std::lower_bound(keys.begin() + lo, keys.begin() + hi, run << 32) - keys.begin());
        }
        if (begin == hi || keys[begin] >> 32 != run) continue;
        const auto inRun = [&](uint32_t k) { return k < hi && keys[k] >> 32 == run; };
        const auto position = [&](uint32_t k) {
            return static_cast<size_t>(keys[k] & 0xFFFFFFFFu);
        };
        const auto pairWith = [&](size_t m) {
            pair(record(i), part.halfEdges[i], record(m), part.halfEdges[m]);
        };
        uint32_t& k = cursor[begin];
        if (rule == TwinRule::kFirstAnywhere) {
            while (inRun(k) && record(position(k)).paired != 0)
                ++k;
            if (inRun(k)) pairWith(position(k++));
        } else {
            for (; inRun(k) && position(k) <= i; ++k) {
                if (record(position(k)).paired == 0) pairWith(position(k));
            }
        }
    }
}

// In list order, every linked boundary half-edge makes its ends boundary vertices and becomes its
// origin's edge. With lowerSharpness (the relink), every linked half-edge also lowers the
// sharpness of both its ends by one.
void markBoundary(BodyPart& part, bool lowerSharpness) {
    const size_t records = part.arena->vertices.size();
    for (RecordIndex h : part.halfEdges) {
        const HalfEdge& e = part.halfEdge(h);
        if (static_cast<size_t>(e.origin) >= records || static_cast<size_t>(e.target) >= records)
            continue;
        MeshVertex& origin = part.vertex(e.origin);
        MeshVertex& target = part.vertex(e.target);
        if (e.boundary != 0) {
            origin.boundary = 1;
            origin.edge = h;
            target.boundary = 1;
        }
        if (lowerSharpness) {
            origin.sharpness -= 1;
            target.sharpness -= 1;
        }
    }
}

// Adds to each interior vertex's valence the number of half-edges of its ring, walked from its
// edge across twins back to its edge.
void countValences(BodyPart& part) {
    for (RecordIndex v : part.vertices) {
        if (part.vertex(v).boundary != 0) continue;
        RingWalk walk(part, v, part.vertex(v).edge, RingTurn::kOutgoing, "valence");
        while (!walk.atEnd())
            walk.advance();
        part.vertex(v).valence += static_cast<int32_t>(walk.visited());
    }
}

}  // namespace

void Model::buildHalfEdges() {
    std::printf("Building 0th Set of Half Edges...");
    size_t polygonCount = 0;
    for (const BodyPart& part : parts)
        polygonCount += part.polygons.size();

    // One arena for the records of every part.
    auto arena = std::make_shared<TopologyArena>();
    arena->faces.reserve(polygonCount);
    arena->halfEdges.reserve(3 * polygonCount);
    arena->vertices.reserve(3 * polygonCount);
    VertexLookup lookup(positions.size());
    Ends ends;
    for (BodyPart& part : parts) {
        part.halfEdges.clear();
        part.faces.clear();
        part.vertices.clear();
        part.arena = arena;
        if (part.polygons.empty()) continue;

        // Fresh records: a face and three blank half-edges per polygon, in polygon order.
        const size_t faceCount = part.polygons.size();
        for (size_t f = 0; f < faceCount; ++f) {
            part.faces.push_back(static_cast<RecordIndex>(arena->faces.size()));
            arena->faces.push_back(MeshFace{NONE_INDEX, static_cast<int32_t>(f)});
            for (int k = 0; k < 3; ++k) {
                part.halfEdges.push_back(static_cast<RecordIndex>(arena->halfEdges.size()));
                arena->halfEdges.emplace_back();
            }
        }
        // Fresh records hold sharpness 0 already, on half-edges and vertices alike.
        linkTriangles(part, faceCount, lookup, ends);
        pairTwins(part, ends, TwinRule::kEveryOneBefore);
        markBoundary(part, false);
        countValences(part);
        lookup.clear(part);
    }
    std::printf("Done\n");
}

void Model::relinkHalfEdges() {
    VertexLookup lookup(positions.size());
    Ends ends;
    std::vector<int32_t> number;
    for (BodyPart& part : parts) {
        if (part.polygons.empty() || !part.arena) continue;
        lookup.addPart(part);
        const bool allLinked = linkTriangles(part, part.faces.size(), lookup, ends);
        // The ends noted while linking are the records' own when every half-edge was linked now,
        // each record once.
        if (!allLinked || part.halfEdges.size() != 3 * part.faces.size() ||
            !isRun(part.halfEdges)) {
            endsFromRecords(part, number, ends);
        }
        pairTwins(part, ends, TwinRule::kFirstAnywhere);
        markBoundary(part, true);
        countValences(part);
        lookup.clear(part);
    }
}
