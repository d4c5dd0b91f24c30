#include "bench/bench_meshes.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace bench {
namespace {

struct Grid {
    int rings;
    int segments;
};

Grid gridFor(int triangles) {
    const int n = static_cast<int>(std::sqrt(triangles / 2.0));
    return {n, triangles / (2 * n)};
}

Vec3 torusPoint(const Grid& g, int i, int j) {
    const double u = 2.0 * std::numbers::pi * i / g.rings;
    const double v = 2.0 * std::numbers::pi * j / g.segments;
    const double r = 3.0 + std::cos(v);
    return {static_cast<float>(r * std::cos(u)), static_cast<float>(std::sin(v)),
            static_cast<float>(r * std::sin(u))};
}

int at(const Grid& g, int i, int j) { return (i % g.rings) * g.segments + (j % g.segments); }

}  // namespace

Model torus(int triangles) {
    const Grid g = gridFor(triangles);
    Model m;
    for (int i = 0; i < g.rings; ++i) {
        for (int j = 0; j < g.segments; ++j) m.positions.push_back(torusPoint(g, i, j));
    }
    BodyPart part("torso");
    part.polygons.reserve(static_cast<size_t>(2 * g.rings * g.segments));
    const auto corner = [](int p) {
        Corner c;
        c.positionIndex = p;
        c.normalSlot = p;
        return c;
    };
    for (int i = 0; i < g.rings; ++i) {
        for (int j = 0; j < g.segments; ++j) {
            const int a = at(g, i, j), b = at(g, i + 1, j), c = at(g, i + 1, j + 1), d = at(g, i, j + 1);
            part.polygons.push_back(Polygon{corner(a), corner(b), corner(c)});
            part.polygons.push_back(Polygon{corner(a), corner(c), corner(d)});
        }
    }
    m.parts.push_back(std::move(part));
    m.normals.assign(m.positions.size(), Vec3{});
    return m;
}

std::string torusObj(int triangles) {
    const Model m = torus(triangles);
    std::string out;
    char line[128];
    for (const Vec3& p : m.positions) {
        std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\n", p.x, p.y, p.z);
        out += line;
    }
    for (size_t i = 0; i < m.positions.size(); ++i) out += "vt 0.000000 0.000000\n";
    for (size_t i = 0; i < m.positions.size(); ++i) out += "vn 0.000000 1.000000 0.000000\n";
    out += "g torso\n";
    for (const Polygon& poly : m.parts[0].polygons) {
        const int a = poly[0].positionIndex + 1, b = poly[1].positionIndex + 1, c = poly[2].positionIndex + 1;
        std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c);
        out += line;
    }
    return out;
}

}  // namespace bench
