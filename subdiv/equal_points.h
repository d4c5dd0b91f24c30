// The search for equal points of a Loop step.
//
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
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "mesh/model.h"
#include "mesh/portable.h"
#include "view/math.h"

namespace subdiv {

// A point's value as a key: the bits of x, y and z, with -0 keyed as 0.
struct PointKey {
    uint32_t x, y, z;

    friend bool operator==(const PointKey&, const PointKey&) = default;
    template <typename H>
    friend H AbslHashValue(H h, const PointKey& k) {
        return H::combine(std::move(h), k.x, k.y, k.z);
    }
};

// False for a point with a NaN, which equals no point.
bool keyOf(const Vec3& p, PointKey& key);

uint64_t hashOf(const PointKey& k);

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

// The first point equal to a value among the points a step has made so far: the answer for a
// vertex whose record an earlier part made a point for. Rare, so the exact map of all points is
// built at the first question only and kept up to date from then on.
class FirstEqualPoint {
public:
    // The first of points equal to p; NONE_INDEX when there is none. points are the step's
    // points, the ones add was told of since the map was built among them.
    int32_t find(const std::vector<Vec3>& points, const Vec3& p);

    // Point index, just appended, has the value p.
    void add(const Vec3& p, int32_t index) {
        PointKey key;
        if (map_ && keyOf(p, key)) map_->try_emplace(key, index);
    }

private:
    std::unique_ptr<HashMap<PointKey, int32_t>> map_;
};

// What a step tells the search once all its points exist, and the search's working lists.
struct EqualPointSearch {
    // Bit per point: made at the first visit of a vertex (its later corners may need an earlier
    // index).
    std::vector<uint64_t> vertexPoints;
    // Per part: the first point it made.
    std::vector<size_t> pointBegin;
    // Hashed values of the points (a power of two of bits), and the vertex points whose bit an
    // earlier point had set.
    Bitmap seen;
    std::vector<int32_t> candidates;

    // Marks point index as a vertex's point.
    void markVertexPoint(int32_t index) {
        const auto bit = static_cast<size_t>(index);
        if (vertexPoints.size() <= bit >> 6) vertexPoints.resize((bit >> 6) + 1, 0);
        vertexPoints[bit >> 6] |= uint64_t{1} << (bit & 63);
    }
    bool isVertexPoint(size_t i) const {
        return (i >> 6) < vertexPoints.size() && ((vertexPoints[i >> 6] >> (i & 63)) & 1u) != 0;
    }
};

// Gives the later corners of every vertex point of result that equals an earlier point the index
// of the first such point; returns whether any corner changed. A vertex point's corners lie in
// the part that made it (search.pointBegin), at old-vertex corners (flagA 0), and its first one
// is its first visit.
bool resolveEqualPoints(Model& result, EqualPointSearch& search);

}  // namespace subdiv
