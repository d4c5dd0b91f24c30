#include "subdiv/loop.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "mesh/portable.h"
#include "mesh/ring_walk.h"
#include "subdiv/limit_normals.h"
#include "subdiv/point_rules.h"

// Where a vertex is met again in the same part, the step takes the first point of the result
// whose x, y and z equal the vertex's point (a scan of the positions from index 0). A point's
// rules read nothing the step changes, so the vertex's point is the same at every visit, and the
// first equal entry is either an entry made before the vertex's own point, or that point itself.
// Entries are only ever appended, so that answer is fixed the moment the point is made.
//
// The step therefore writes the vertex's own index at its later corners and settles the rare
// case of an earlier equal point once all points exist (resolveEqualPoints): a bitmap of hashed
// values picks out the few vertex points whose value may have occurred before, and an exact map
// of just those values, filled in index order, gives the first index of each. Values compare as
// floats do: -0 equals 0, and a point with a NaN equals nothing, so its later corners keep the
// point made for its vertex.

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
    Bitmap() = default;
    explicit Bitmap(size_t bits) { reset(bits); }
    // All bits clear, room for at least `bits` of them; the storage is kept.
    void reset(size_t bits) { words_.assign((bits + 63) / 64, 0); }
    bool test(size_t i) const { return (words_[i >> 6] >> (i & 63)) & 1u; }
    void set(size_t i) { words_[i >> 6] |= uint64_t{1} << (i & 63); }
    // Asks for the word of bit i ahead of its use.
    void prefetch(size_t i) const { __builtin_prefetch(&words_[i >> 6]); }
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

// Makes polygon the triangle (a, b, c), reusing its storage.
void setTriangle(Polygon& polygon, const Corner& a, const Corner& b, const Corner& c) {
    if (polygon.size() != 3) polygon.resize(3);
    Corner* const corner = polygon.data();
    corner[0] = a;
    corner[1] = b;
    corner[2] = c;
}

bool validIn(RecordIndex r, size_t size) {
    return static_cast<uint32_t>(r) < size;
}

void printBoundary() {
    std::fputs("BOUNDARY\n\n\n", stdout);
}

bool refinable(const BodyPart& part) {
    return !part.polygons.empty() && part.arena != nullptr;
}

// The twelve half-edges a source face leaves, by their place in its block: child k (polygons
// (c0 e0 e2), (e0 c1 e1), (e0 e1 e2), (e2 e1 c2)) owns places 3k, 3k+1, 3k+2.
// Along source half-edge p, from c_p to c_p+1: the child half-edge from c_p to e_p and the one
// from e_p to c_p+1.
constexpr int kFromCorner[3] = {0, 4, 11};
constexpr int kToCorner[3] = {3, 10, 2};
// The source half-edge a place lies along; -1 inside the face.
constexpr int kAlong[12] = {0, -1, 2, 0, 1, -1, -1, -1, -1, -1, 1, 2};
// Places inside the face pair with each other: e0 e2 / e2 e0, e1 e0 / e0 e1, e2 e1 / e1 e2.
constexpr int kInnerTwin[12] = {-1, 8, -1, -1, -1, 6, 5, 9, 1, 7, -1, -1};

// Whether the step can write the links of a part's new records as it makes them, the links a
// relink would give them. It can when the source part is a clean surface patch laid out as a
// build or a relink leaves it: face f owns half-edges 3f, 3f+1, 3f+2 (one run of the arena, the
// face's edge first, next in that order), each with its own origin and the next one's origin as
// its target; twins are mutual and run the other way; no scratch flag is set. Then every new
// point is made once, for this part, and the twin a relink finds for each new half-edge is the
// one across the same source edge, or inside the same source face: a half-edge from a vertex
// point to an edge point has one half-edge running back, the one across the twin edge; one
// between two edge points of a face may have others from faces that share both edges with it,
// but a relink pairs the half-edges of each face's children, which follow one another in the
// list, before those of any face after it.
// cornerCount receives, per vertex record of the part (a run too), the number of faces that have
// it as a corner.
bool linksWhileRefining(const BodyPart& part, std::vector<int32_t>& cornerCount) {
    const size_t faceCount = part.faces.size();
    if (!refinable(part) || faceCount == 0) return true;  // nothing to link
    const TopologyArena& a = *part.arena;
    const size_t n = part.halfEdges.size();
    const size_t vertexCount = part.vertices.size();
    if (n != 3 * faceCount || vertexCount == 0) return false;
    const RecordIndex hb = part.halfEdges[0];
    const RecordIndex fb = part.faces[0];
    const RecordIndex vb = part.vertices[0];
    if (hb < 0 || static_cast<size_t>(hb) + n > a.halfEdges.size() || fb < 0 ||
        static_cast<size_t>(fb) + faceCount > a.faces.size() || vb < 0 ||
        static_cast<size_t>(vb) + vertexCount > a.vertices.size()) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (part.halfEdges[i] != hb + static_cast<RecordIndex>(i)) return false;
    }
    for (size_t f = 0; f < faceCount; ++f) {
        if (part.faces[f] != fb + static_cast<RecordIndex>(f)) return false;
    }
    for (size_t j = 0; j < vertexCount; ++j) {
        if (part.vertices[j] != vb + static_cast<RecordIndex>(j)) return false;
    }
    const auto inRun = [](RecordIndex r, RecordIndex base, size_t count) {
        return r >= base && static_cast<size_t>(r - base) < count;
    };
    cornerCount.assign(vertexCount, 0);
    const HalfEdge* he = a.halfEdges.data() + hb;
    for (size_t f = 0; f < faceCount; ++f) {
        if (a.faces[static_cast<size_t>(fb) + f].edge != hb + static_cast<RecordIndex>(3 * f))
            return false;
        for (size_t k = 0; k < 3; ++k) {
            const size_t i = 3 * f + k;
            const HalfEdge& h = he[i];
            const HalfEdge& next = he[3 * f + (k + 1) % 3];
            if (h.next != hb + static_cast<RecordIndex>(3 * f + (k + 1) % 3) ||
                !inRun(h.origin, vb, vertexCount) || h.target != next.origin ||
                h.origin == next.origin || h.hasMidpoint != 0 ||
                a.vertices[static_cast<size_t>(h.origin)].updated != 0) {
                return false;
            }
            ++cornerCount[static_cast<size_t>(h.origin - vb)];
            if (h.boundary != 0) continue;
            if (!inRun(h.twin, hb, n)) return false;
            const HalfEdge& t = he[h.twin - hb];
            if (t.twin != hb + static_cast<RecordIndex>(i) || t.boundary != 0 ||
                t.origin != h.target || t.target != h.origin) {
                return false;
            }
        }
    }
    return true;
}

// The working lists of a step, kept from one step to the next so that a step allocates nothing
// once they have grown to the size of the meshes it refines.
struct StepScratch {
    // Per vertex record of the source's arena: the stamp of the part that made its point, and
    // the index its later corners take. Stamps count up over all steps, so an entry left by an
    // earlier step never matches.
    struct Made {
        uint32_t stamp = 0;
        int32_t index = 0;
    };
    std::vector<Made> made;
    uint32_t lastStamp = 0;
    // Bit per point: made at the first visit of a vertex (its later corners may need an earlier
    // index).
    std::vector<uint64_t> vertexPoints;
    // Per part: the first point it made.
    std::vector<size_t> pointBegin;
    // Hashed values of the points (a power of two of bits), and the vertex points whose bit an
    // earlier point had set.
    Bitmap seen;
    std::vector<int32_t> candidates;
    // Linking while refining: per part, the corner count of each source vertex; per point of the
    // part at hand, its vertex record; per new vertex, its last outgoing boundary half-edge; the
    // ring of the vertex being finished; the normals the step made, before the limit normals.
    std::vector<std::vector<int32_t>> cornerCounts;
    std::vector<RecordIndex> recordOf;
    std::vector<RecordIndex> boundaryEdge;
    std::vector<Vec3> ring;
    std::vector<Vec3> refinedNormals;
};

// The scratch lists of the steps of this thread.
StepScratch& stepScratch() {
    thread_local StepScratch scratch;
    return scratch;
}

// Where the step writes: the result's polygons and the records of one arena, by index, in the
// order in which the faces are refined.
struct Output {
    Model& model;
    TopologyArena& arena;
    size_t faces = 0;      // face records written so far
    size_t halfEdges = 0;  // half-edge records written so far
};

// What one step keeps while it goes through the parts.
class Step {
public:
    // With link, every part has passed linksWhileRefining, which left its corner counts in the
    // scratch.
    Step(const Model& source, Output& out, bool link, StepScratch& scratch)
        : source_(source), out_(out), result_(out.model), link_(link), scratch_(scratch) {
        scratch.vertexPoints.clear();
        scratch.pointBegin.clear();
        scratch.refinedNormals.clear();
    }

    // Refines source part i into result part i.
    void refinePart(size_t i);

    // Gives the later corners of every vertex point that equals an earlier point the index of
    // the first such point; returns whether any corner changed.
    bool resolveEqualPoints();

private:
    // Appends a point and its normal; returns its index.
    int32_t append(const RefinedPoint& point) {
        const auto index = static_cast<int32_t>(result_.positions.size());
        result_.positions.push_back(point.position);
        result_.normals.push_back(point.normal);
        if (link_) scratch_.refinedNormals.push_back(point.normal);
        if (exact_) {
            PointKey key;
            if (keyOf(point.position, key)) exact_->try_emplace(key, index);
        }
        return index;
    }

    // The corner index for this visit of vertex record v of the part stamped `stamp`.
    int32_t vertexCorner(const PointRules& rules, MeshVertex& vertex, RecordIndex v,
                         uint32_t stamp);

    // The first point equal to p made so far; NONE_INDEX when there is none. Builds the exact
    // index of all points on first use and keeps it up to date from then on.
    int32_t firstEqual(const Vec3& p);

    // Linking while refining (see linksWhileRefining), for the part at hand.
    struct Links {
        RecordIndex sourceBase = 0;      // the source part's first half-edge
        RecordIndex vertexBase = 0;      // the new part's first vertex record
        size_t pointBase = 0;            // the first point the part makes
        int32_t* cornersLeft = nullptr;  // per source vertex: faces still to come
    };
    void linkChildren(BodyPart& part, size_t f, RecordIndex block, const RecordIndex h[3],
                      const int32_t e[3], const int32_t c[3], const HalfEdge* he,
                      RecordIndex record[4][3], RecordIndex twin[12]);
    void finishVertex(BodyPart& part, const VertexLimitNormal& limit, RecordIndex r);

    const Model& source_;
    Output& out_;
    Model& result_;
    bool link_;
    StepScratch& scratch_;
    Links links_;
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
                           uint32_t stamp) {
    StepScratch::Made& made = scratch_.made[static_cast<size_t>(v)];
    if (vertex.updated == 0) {
        const int32_t index = append(rules.vertexPoint(v));
        vertex.updated = 1;
        made = {stamp, index};
        const auto bit = static_cast<size_t>(index);
        std::vector<uint64_t>& bits = scratch_.vertexPoints;
        if (bits.size() <= bit >> 6) bits.resize((bit >> 6) + 1, 0);
        bits[bit >> 6] |= uint64_t{1} << (bit & 63);
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

// The links the relink gives the children of source face f (their first half-edge is block):
// the vertex record at each child corner, new ones made in the order of first use (child by
// child, corner by corner: c0 e0 e2, then c1 e1, then c2), and the twin of each of the twelve
// half-edges, NONE_INDEX on the boundary. Marks the boundary vertices and gives every corner's
// vertex its edge and sharpness. h are the source face's half-edges, e its edge points, c its
// vertex points.
void Step::linkChildren(BodyPart& part, size_t f, RecordIndex block, const RecordIndex h[3],
                        const int32_t e[3], const int32_t c[3], const HalfEdge* he,
                        RecordIndex record[4][3], RecordIndex twin[12]) {
    TopologyArena& arena = out_.arena;
    Links& links = links_;
    std::vector<RecordIndex>& recordOf = scratch_.recordOf;
    if (recordOf.size() < result_.positions.size() - links.pointBase)
        recordOf.resize(result_.positions.size() - links.pointBase, NONE_INDEX);
    const int32_t corners[4][3] = {
        {c[0], e[0], e[2]}, {e[0], c[1], e[1]}, {e[0], e[1], e[2]}, {e[2], e[1], c[2]}};
    for (int k = 0; k < 4; ++k) {
        for (int j = 0; j < 3; ++j) {
            RecordIndex& r = recordOf[static_cast<size_t>(corners[k][j]) - links.pointBase];
            if (r == NONE_INDEX) {
                r = static_cast<RecordIndex>(arena.vertices.size());
                arena.vertices.emplace_back().positionIndex = corners[k][j];
                part.vertices.push_back(r);
                scratch_.boundaryEdge.push_back(NONE_INDEX);
            }
            record[k][j] = r;
        }
    }

    // Twins inside the face, and across each source edge into the block of the face beyond it.
    const RecordIndex partBlock = block - static_cast<RecordIndex>(12 * f);
    for (int place = 0; place < 12; ++place)
        twin[place] = kInnerTwin[place] >= 0 ? block + kInnerTwin[place] : NONE_INDEX;
    MeshVertex* const vx = arena.vertices.data();
    for (int p = 0; p < 3; ++p) {
        const int from = kFromCorner[p];
        const int to = kToCorner[p];
        const HalfEdge& along = he[h[p]];
        if (along.boundary == 0) {
            const RecordIndex t = along.twin - links.sourceBase;
            const RecordIndex beyond = partBlock + 12 * (t / 3);
            twin[from] = beyond + kToCorner[t % 3];
            twin[to] = beyond + kFromCorner[t % 3];
            continue;
        }
        // Boundary: both children make their ends boundary vertices; each becomes its origin's
        // last outgoing boundary half-edge so far.
        for (const int place : {from, to}) {
            const RecordIndex origin = record[place / 3][place % 3];
            const RecordIndex target = record[place / 3][(place % 3 + 1) % 3];
            vx[origin].boundary = 1;
            vx[target].boundary = 1;
            scratch_.boundaryEdge[static_cast<size_t>(origin - links.vertexBase)] = block + place;
        }
    }
    // Each corner's vertex takes the half-edge that starts there as its edge (the relink writes
    // them in the order c1, c2, c0), and loses 2 of sharpness: one for the half-edge that starts
    // there and one for the half-edge that ends there.
    for (int k = 0; k < 4; ++k) {
        for (const int j : {1, 2, 0}) {
            MeshVertex& v = vx[record[k][j]];
            v.edge = block + 3 * k + j;
            v.sharpness -= 2;
        }
    }
}

// Once every face around new vertex r is written: its final edge (for a boundary vertex its last
// outgoing boundary half-edge), its valence (the length of its ring, as the relink counts it for
// a record it has just made), and its limit normal.
void Step::finishVertex(BodyPart& part, const VertexLimitNormal& limit, RecordIndex r) {
    MeshVertex& v = out_.arena.vertices[static_cast<size_t>(r)];
    Vec3& normal = result_.normals[static_cast<size_t>(v.positionIndex)];
    if (v.boundary != 0) {
        v.edge = scratch_.boundaryEdge[static_cast<size_t>(r - links_.vertexBase)];
        limit.normal(r, normal);
        return;
    }
    std::vector<Vec3>& ring = scratch_.ring;
    ring.clear();
    for (RingWalk walk(part, r, v.edge, RingTurn::kOutgoing, "valence"); !walk.atEnd();
         walk.advance()) {
        ring.push_back(result_.positions[static_cast<size_t>(
            out_.arena.vertices[static_cast<size_t>(walk.edge().target)].positionIndex)]);
    }
    v.valence += static_cast<int32_t>(ring.size());
    interiorLimitNormal(ring.data(), ring.size(), v.valence, normal);
}

void Step::refinePart(size_t i) {
    const BodyPart& src = source_.parts[i];
    BodyPart& dst = result_.parts[i];
    TopologyArena& in = *src.arena;
    TopologyArena& arena = out_.arena;
    HalfEdge* const he = in.halfEdges.data();
    MeshVertex* const vx = in.vertices.data();
    const size_t heCount = in.halfEdges.size();
    const size_t vxCount = in.vertices.size();
    PointRules rules(src, source_.positions, source_.normals);
    if (++scratch_.lastStamp == 0) {  // the stamps went all the way round: start afresh
        scratch_.made.assign(scratch_.made.size(), StepScratch::Made{});
        scratch_.lastStamp = 1;
    }
    const uint32_t stamp = scratch_.lastStamp;
    const size_t faceCount = src.faces.size();
    std::vector<size_t>& pointBegin = scratch_.pointBegin;
    if (pointBegin.size() <= i) pointBegin.resize(i + 1, result_.positions.size());
    pointBegin[i] = result_.positions.size();
    if (scratch_.made.size() < vxCount) scratch_.made.resize(vxCount);

    // The part's lists, filled by index: the arena's records are written the same way.
    dst.faces.resize(4 * faceCount);
    dst.halfEdges.resize(12 * faceCount);
    dst.polygons.resize(4 * faceCount);
    size_t children = 0;  // source faces refined so far
    RecordIndex* const faceList = dst.faces.data();
    RecordIndex* const edgeList = dst.halfEdges.data();
    Polygon* const polygons = dst.polygons.data();
    MeshFace* const faceRecords = arena.faces.data();
    HalfEdge* const edgeRecords = arena.halfEdges.data();
    const VertexLimitNormal limit(dst, result_.positions);
    if (link_) {
        links_.sourceBase = src.halfEdges.empty() ? 0 : src.halfEdges[0];
        links_.vertexBase = static_cast<RecordIndex>(arena.vertices.size());
        links_.pointBase = result_.positions.size();
        links_.cornersLeft = scratch_.cornerCounts[i].data();
        scratch_.recordOf.clear();
        scratch_.boundaryEdge.clear();
        dst.vertices.reserve(src.vertices.size() + 3 * faceCount / 2 + 8);
    }

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
        bool edgeDone[3];  // all faces at the edge point are written once this one is
        for (int p = 0; p < count; ++p) {
            HalfEdge& edge = he[h[p]];
            if (edge.boundary != 0) printBoundary();
            int32_t index = edge.midpointIndex;
            // Only a point made in this step counts: a flag left set with an index from
            // elsewhere would name a point the result does not have.
            const bool make = edge.hasMidpoint == 0 || !validIn(index, result_.positions.size());
            if (make) {
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
            edgeDone[p] = !make || edge.boundary != 0;
        }

        // Vertex pass.
        int32_t c[3];
        for (int p = 0; p < 3; ++p) {
            const RecordIndex v = he[h[p]].origin;
            MeshVertex& vertex = vx[v];
            if (vertex.boundary != 0) printBoundary();
            c[p] = vertexCorner(rules, vertex, v, stamp);
        }

        // The four children: face records, half-edges (the six along the source edges carry
        // their sharpness; linked now, or blank for the relink), polygons.
        const size_t g = children++;
        const auto faceBase = static_cast<RecordIndex>(out_.faces);
        const auto block = static_cast<RecordIndex>(out_.halfEdges);
        out_.faces += 4;
        out_.halfEdges += 12;
        for (int k = 0; k < 4; ++k) {
            faceList[4 * g + k] = faceBase + k;
            faceRecords[faceBase + k] =
                MeshFace{link_ ? block + 3 * k : NONE_INDEX, static_cast<int32_t>(4 * f) + k};
        }
        RecordIndex record[4][3];
        RecordIndex twin[12];
        if (link_) linkChildren(dst, g, block, h, e, c, he, record, twin);
        for (int k = 0; k < 4; ++k) {
            for (int j = 0; j < 3; ++j) {
                const int place = 3 * k + j;
                HalfEdge child;
                if (kAlong[place] >= 0) child.sharpness = sharpness[kAlong[place]];
                if (link_) {
                    child.origin = record[k][j];
                    child.target = record[k][(j + 1) % 3];
                    child.face = faceBase + k;
                    child.next = block + 3 * k + (j + 1) % 3;
                    child.prev = block + 3 * k + (j + 2) % 3;
                    if (twin[place] != NONE_INDEX) {
                        child.twin = twin[place];
                        child.boundary = 0;
                        child.paired = 1;
                    }
                }
                edgeRecords[block + place] = child;
                edgeList[12 * g + place] = block + place;
            }
        }
        // The corners of the four children: the old vertices' (flag 0) and the edge points'.
        const Corner cc[3] = {cornerAt(c[0], 0), cornerAt(c[1], 0), cornerAt(c[2], 0)};
        const Corner ec[3] = {cornerAt(e[0], 1), cornerAt(e[1], 1), cornerAt(e[2], 1)};
        Polygon* const child = polygons + 4 * g;
        setTriangle(child[0], cc[0], ec[0], ec[2]);
        setTriangle(child[1], ec[0], cc[1], ec[1]);
        setTriangle(child[2], ec[0], ec[1], ec[2]);
        setTriangle(child[3], ec[2], ec[1], cc[2]);

        if (link_) {
            // New vertices whose faces are all written now are finished.
            const auto recordOf = [this](int32_t point) {
                return scratch_.recordOf[static_cast<size_t>(point) - links_.pointBase];
            };
            for (int p = 0; p < 3; ++p) {
                if (edgeDone[p]) finishVertex(dst, limit, recordOf(e[p]));
                int32_t& left = links_.cornersLeft[he[h[p]].origin - src.vertices[0]];
                if (--left == 0) finishVertex(dst, limit, recordOf(c[p]));
            }
        }
    }
    // Faces left out leave their room unused.
    dst.faces.resize(4 * children);
    dst.halfEdges.resize(12 * children);
    dst.polygons.resize(4 * children);

    // The scratch flags go back to 0 for the whole part.
    for (RecordIndex r : src.halfEdges) {
        if (validIn(r, heCount)) he[r].hasMidpoint = 0;
    }
    for (RecordIndex r : src.vertices) {
        if (validIn(r, vxCount)) vx[r].updated = 0;
    }
}

bool Step::resolveEqualPoints() {
    const std::vector<Vec3>& positions = result_.positions;
    const size_t n = positions.size();
    if (n < 2) return false;

    // Hashed values into a bitmap of about eight bits a point, in index order: a vertex point
    // whose bit is set already is a candidate. The bitmap outgrows the cache on large meshes, so
    // each word is asked for a few points ahead of its use.
    size_t bits = 4096;
    while (bits < 8 * n)
        bits *= 2;
    const size_t mask = bits - 1;
    Bitmap& seen = scratch_.seen;
    seen.reset(bits);
    std::vector<int32_t>& candidates = scratch_.candidates;
    candidates.clear();
    constexpr size_t kAhead = 16;
    size_t slot[kAhead];
    const auto slotOf = [&](size_t i) {
        PointKey key;
        return keyOf(positions[i], key) ? hashOf(key) & mask : SIZE_MAX;  // a NaN has none
    };
    for (size_t i = 0; i < n + kAhead; ++i) {
        // Point i - kAhead is tested now; point i's word is asked for, into the same place.
        size_t& ring = slot[i % kAhead];
        if (i >= kAhead && ring != SIZE_MAX && seen.testAndSet(ring)) {
            const size_t j = i - kAhead;
            if ((j >> 6) < scratch_.vertexPoints.size() &&
                ((scratch_.vertexPoints[j >> 6] >> (j & 63)) & 1u) != 0) {
                candidates.push_back(static_cast<int32_t>(j));
            }
        }
        if (i < n) {
            ring = slotOf(i);
            if (ring != SIZE_MAX) seen.prefetch(ring);
        }
    }
    if (candidates.empty()) return false;

    // The candidates' values, with a small bitmap of their hashes in front of the map. Scanning
    // the points in index order, the first point of each value is found; a vertex point that
    // meets an earlier point of its value is remapped to it (such a point is always a
    // candidate: the earlier point set its bit).
    HashMap<PointKey, int32_t> first;
    Bitmap filter(1u << 16);
    for (const int32_t i : candidates) {
        PointKey key;
        if (!keyOf(positions[static_cast<size_t>(i)], key)) continue;  // a candidate has a key
        first.try_emplace(key, NONE_INDEX);
        filter.set(hashOf(key) & 0xFFFFu);
    }
    HashMap<int32_t, int32_t> remap;
    for (size_t i = 0; i < n; ++i) {
        PointKey key;
        if (!keyOf(positions[i], key)) continue;
        const uint64_t hash = hashOf(key);
        if (!filter.test(hash & 0xFFFFu)) continue;
        const auto it = first.find(key);
        if (it == first.end()) continue;
        if (it->second == NONE_INDEX) {
            it->second = static_cast<int32_t>(i);
            continue;
        }
        const bool vertexPoint = (i >> 6) < scratch_.vertexPoints.size() &&
                                 ((scratch_.vertexPoints[i >> 6] >> (i & 63)) & 1u) != 0;
        if (vertexPoint) remap.emplace(static_cast<int32_t>(i), it->second);
    }
    if (remap.empty()) return false;

    // A remapped point's corners lie in the part that made it, at old-vertex corners (flag 0):
    // the first one, its first visit, keeps the point; the later ones take the earlier index.
    bool changed = false;
    const std::vector<size_t>& pointBegin = scratch_.pointBegin;
    for (size_t p = 0; p < result_.parts.size() && p < pointBegin.size(); ++p) {
        const size_t begin = pointBegin[p];
        const size_t end = p + 1 < pointBegin.size() ? pointBegin[p + 1] : n;
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
                changed = true;
            }
        }
    }
    return changed;
}

// The parts of result as source's, without polygons or records yet; their records go to arena.
// Reuses the storage that result's parts already have.
void startParts(const Model& source, Model& result, const std::shared_ptr<TopologyArena>& arena) {
    result.parts.resize(source.parts.size());
    for (size_t i = 0; i < source.parts.size(); ++i) {
        const BodyPart& src = source.parts[i];
        BodyPart& part = result.parts[i];
        part.name = src.name;
        part.partOffset = src.partOffset;
        part.partScale = src.partScale;
        part.partAngle = src.partAngle;
        part.partAxis = src.partAxis;
        part.colour = src.colour;
        part.vertices.clear();
        part.faceNormals.clear();
        part.arena = arena;
        // A part that is refined sizes these lists itself, keeping the room they have.
        if (!refinable(src)) {
            part.halfEdges.clear();
            part.faces.clear();
            part.polygons.clear();
        }
    }
}

// Refines every part of source into result, whose records go to arena; returns whether equal
// points moved corners (see resolveEqualPoints). The arena's face and half-edge lists are sized
// for every face first and cut to what was written at the end; reused storage keeps its room.
bool refineParts(const Model& source, Model& result, TopologyArena& arena, bool link,
                 StepScratch& scratch) {
    size_t faceCount = 0;
    size_t vertexCount = 0;
    for (const BodyPart& part : source.parts) {
        if (!refinable(part)) continue;
        faceCount += part.faces.size();
        vertexCount += part.vertices.size();
    }
    arena.faces.resize(4 * faceCount);
    arena.halfEdges.resize(12 * faceCount);
    // A closed part makes one point per vertex and one per pair of half-edges; an open part
    // makes a few more, and the lists grow then. The relink makes one vertex record per point a
    // part uses.
    const size_t expectedPoints = vertexCount + 3 * faceCount / 2 + 16;
    result.positions.reserve(expectedPoints);
    result.normals.reserve(expectedPoints);
    arena.vertices.reserve(expectedPoints);

    Output out{result, arena};
    Step step(source, out, link, scratch);
    for (size_t i = 0; i < source.parts.size(); ++i) {
        if (refinable(source.parts[i])) step.refinePart(i);
    }
    arena.faces.resize(out.faces);
    arena.halfEdges.resize(out.halfEdges);
    return step.resolveEqualPoints();
}

// The arena target's parts have to themselves, emptied for reuse; a new one when they share it
// with another model (or have none).
std::shared_ptr<TopologyArena> reusedArena(Model& target) {
    if (!target.parts.empty() && target.parts[0].arena) {
        std::shared_ptr<TopologyArena> arena = target.parts[0].arena;
        long holders = 1;  // this copy
        for (const BodyPart& part : target.parts)
            holders += part.arena == arena ? 1 : 0;
        if (arena.use_count() == holders) {
            arena->vertices.clear();
            return arena;
        }
    }
    return std::make_shared<TopologyArena>();
}

}  // namespace

Model subdivide(Model& source) {
    std::printf("Starting Subdivision...");
    Model result;
    auto arena = std::make_shared<TopologyArena>();
    startParts(source, result, arena);
    refineParts(source, result, *arena, false, stepScratch());
    result.takeCreatureFields(source);
    return result;
}

void subdivideLinked(const Model& source, Model& target) {
    std::printf("Starting Subdivision...");
    StepScratch& scratch = stepScratch();
    if (scratch.cornerCounts.size() < source.parts.size())
        scratch.cornerCounts.resize(source.parts.size());
    bool link = true;
    for (size_t i = 0; i < source.parts.size() && link; ++i)
        link = linksWhileRefining(source.parts[i], scratch.cornerCounts[i]);

    std::shared_ptr<TopologyArena> arena = reusedArena(target);
    target.positions.clear();
    target.normals.clear();
    startParts(source, target, arena);
    const bool moved = refineParts(source, target, *arena, link, scratch);
    target.takeCreatureFields(source);
    if (link && !moved) return;

    if (link) {
        // A vertex's later corners moved to an earlier equal point: the links no longer fit the
        // polygons. Back to the blank records and the normals the step alone leaves.
        for (HalfEdge& h : arena->halfEdges) {
            const int32_t sharpness = h.sharpness;
            h = HalfEdge{};
            h.sharpness = sharpness;
        }
        for (MeshFace& f : arena->faces)
            f.edge = NONE_INDEX;
        arena->vertices.clear();
        for (BodyPart& part : target.parts)
            part.vertices.clear();
        target.normals = scratch.refinedNormals;
    }
    target.relinkHalfEdges();
    computeLimitNormals(target);
}
