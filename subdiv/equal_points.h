// The search for equal points of a Loop step: a point's value as an exact key, its hash, and a
// bitmap of hashed values.
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
#include <utility>
#include <vector>

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

}  // namespace subdiv
