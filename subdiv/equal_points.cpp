#include "subdiv/equal_points.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/portable.h"

namespace subdiv {

namespace {

uint32_t keyBits(float f) {
    return floatBits(f == 0.0f ? 0.0f : f);
}

}  // namespace

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

int32_t FirstEqualPoint::find(const std::vector<Vec3>& points, const Vec3& p) {
    if (!map_) {
        map_ = std::make_unique<HashMap<PointKey, int32_t>>();
        for (size_t i = 0; i < points.size(); ++i) {
            PointKey key;
            if (keyOf(points[i], key)) map_->try_emplace(key, static_cast<int32_t>(i));
        }
    }
    PointKey key;
    if (!keyOf(p, key)) return NONE_INDEX;
    const auto it = map_->find(key);
    return it == map_->end() ? NONE_INDEX : it->second;
}

bool resolveEqualPoints(Model& result, EqualPointSearch& search) {
    const std::vector<Vec3>& positions = result.positions;
    const size_t n = positions.size();
    if (n < 2) return false;

    // Hashed values into a bitmap of about eight bits a point, in index order: a vertex point
    // whose bit is set already is a candidate. The bitmap outgrows the cache on large meshes, so
    // each word is asked for a few points ahead of its use.
    size_t bits = 4096;
    while (bits < 8 * n)
        bits *= 2;
    const size_t mask = bits - 1;
    Bitmap& seen = search.seen;
    seen.reset(bits);
    std::vector<int32_t>& candidates = search.candidates;
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
            if (search.isVertexPoint(j)) candidates.push_back(static_cast<int32_t>(j));
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
        if (search.isVertexPoint(i)) remap.emplace(static_cast<int32_t>(i), it->second);
    }
    if (remap.empty()) return false;

    // A remapped point's corners lie in the part that made it, at old-vertex corners (flag 0):
    // the first one, its first visit, keeps the point; the later ones take the earlier index.
    bool changed = false;
    const std::vector<size_t>& pointBegin = search.pointBegin;
    for (size_t p = 0; p < result.parts.size() && p < pointBegin.size(); ++p) {
        const size_t begin = pointBegin[p];
        const size_t end = p + 1 < pointBegin.size() ? pointBegin[p + 1] : n;
        bool any = false;
        for (const auto& [from, to] : remap)
            any = any || (static_cast<size_t>(from) >= begin && static_cast<size_t>(from) < end);
        if (!any) continue;
        HashMap<int32_t, bool> firstSeen;
        for (Polygon& polygon : result.parts[p].polygons) {
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

}  // namespace subdiv
