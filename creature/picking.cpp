#include "creature/picking.h"

#include <algorithm>
#include <cmath>

int pickCreature(const std::vector<Model>& genomes, size_t count, const Mat4& transform,
                 const Vec3& nearPoint, const Vec3& farPoint) {
    const Vec4 n4 = transposeTransform(transform, {nearPoint.x, nearPoint.y, nearPoint.z, 1.0f});
    const Vec4 f4 = transposeTransform(transform, {farPoint.x, farPoint.y, farPoint.z, 1.0f});
    const Vec3 n{n4.x, n4.y, n4.z};
    const Vec3 direction = normalizedOrZero(Vec3{f4.x, f4.y, f4.z} - n);
    if (direction == Vec3{}) return NONE_INDEX;

    const size_t limit = std::min(count, genomes.size());
    for (size_t i = 0; i < limit; ++i) {
        const Model& g = genomes[i];
        Vec3 hit;
        // A sphere with a non-finite centre or size yields a non-finite hit: no hit at all.
        if (rayHitsSphere(n, direction, g.position + g.centre, g.scaleSquared + 5.0f, hit) &&
            std::isfinite(hit.x) && std::isfinite(hit.y) && std::isfinite(hit.z)) {
            return static_cast<int>(i);
        }
    }
    return NONE_INDEX;
}
