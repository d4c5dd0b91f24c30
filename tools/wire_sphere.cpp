#include "tools/wire_sphere.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>
#include <utility>

namespace art {
namespace {

P3 normalised(P3 p) {
    const float len = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    return {p.x / len, p.y / len, p.z / len};
}

}  // namespace

Sphere icosahedron() {
    const float t = (1.0f + std::sqrt(5.0f)) * 0.5f;
    Sphere s;
    const P3 raw[12] = {{-1, t, 0},  {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
                        {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
    for (const P3& p : raw)
        s.points.push_back(normalised(p));
    s.triangles = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                   {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                   {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                   {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    return s;
}

Sphere refine(const Sphere& coarse) {
    Sphere fine;
    fine.points = coarse.points;
    std::map<std::pair<int, int>, int> midpoints;
    auto midpoint = [&](int a, int b) {
        const std::pair<int, int> key{std::min(a, b), std::max(a, b)};
        const auto found = midpoints.find(key);
        if (found != midpoints.end()) return found->second;
        const P3& pa = fine.points[static_cast<std::size_t>(a)];
        const P3& pb = fine.points[static_cast<std::size_t>(b)];
        fine.points.push_back(normalised({pa.x + pb.x, pa.y + pb.y, pa.z + pb.z}));
        const int index = static_cast<int>(fine.points.size()) - 1;
        midpoints.emplace(key, index);
        return index;
    };
    for (const auto& tri : coarse.triangles) {
        const int ab = midpoint(tri[0], tri[1]);
        const int bc = midpoint(tri[1], tri[2]);
        const int ca = midpoint(tri[2], tri[0]);
        fine.triangles.push_back({tri[0], ab, ca});
        fine.triangles.push_back({tri[1], bc, ab});
        fine.triangles.push_back({tri[2], ca, bc});
        fine.triangles.push_back({ab, bc, ca});
    }
    return fine;
}

void drawSphere(Canvas& canvas, const Sphere& sphere, float cx, float cy, float radius, Rgb colour,
                float lineWidth, Rgb dotColour) {
    // Turned for a three-quarter view.
    const float yaw = 0.5f;
    const float pitch = 0.35f;
    std::vector<P3> turned;
    for (const P3& p : sphere.points) {
        const float x1 = p.x * std::cos(yaw) + p.z * std::sin(yaw);
        const float z1 = -p.x * std::sin(yaw) + p.z * std::cos(yaw);
        const float y2 = p.y * std::cos(pitch) - z1 * std::sin(pitch);
        const float z2 = p.y * std::sin(pitch) + z1 * std::cos(pitch);
        turned.push_back({x1, y2, z2});
    }
    std::map<std::pair<int, int>, bool> drawn;
    // Back edges first, so the front ones lie on top.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& tri : sphere.triangles) {
            for (int k = 0; k < 3; ++k) {
                const int a = tri[static_cast<std::size_t>(k)];
                const int b = tri[static_cast<std::size_t>((k + 1) % 3)];
                const std::pair<int, int> key{std::min(a, b), std::max(a, b)};
                const P3& pa = turned[static_cast<std::size_t>(a)];
                const P3& pb = turned[static_cast<std::size_t>(b)];
                const float depth = (pa.z + pb.z) * 0.5f;  // -1 back .. 1 front
                if ((pass == 0) != (depth < 0.0f)) continue;
                if (!drawn.emplace(key, true).second) continue;
                const float alpha = 0.12f + 0.78f * std::clamp((depth + 1.0f) * 0.5f, 0.0f, 1.0f);
                drawLine(canvas, cx + pa.x * radius, cy - pa.y * radius, cx + pb.x * radius,
                         cy - pb.y * radius, lineWidth, colour, alpha);
            }
        }
    }
    for (const P3& p : turned) {
        if (p.z < 0.0f) continue;
        fillCircle(canvas, cx + p.x * radius, cy - p.y * radius, lineWidth * 1.1f, dotColour,
                   0.35f + 0.5f * p.z);
    }
}

}  // namespace art
