#include "bench/bench_meshes.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace bench {
namespace {

Polygon triangle(int32_t a, int32_t b, int32_t c) {
    Polygon polygon;
    for (int32_t p : {a, b, c}) {
        Corner corner;
        corner.flagA = 1;
        corner.positionIndex = p;
        corner.normalSlot = p;
        polygon.push_back(corner);
    }
    return polygon;
}

}  // namespace

Model torus(int u, int v) {
    Model m;
    const double major = 2.0;
    const double minor = 0.7;
    for (int i = 0; i < u; ++i) {
        const double a = 2.0 * std::numbers::pi * i / u;
        for (int j = 0; j < v; ++j) {
            const double b = 2.0 * std::numbers::pi * j / v;
            const double r = major + minor * std::cos(b);
            m.positions.push_back({static_cast<float>(r * std::cos(a)),
                                   static_cast<float>(r * std::sin(a)),
                                   static_cast<float>(minor * std::sin(b))});
        }
    }
    BodyPart part("torso");
    part.polygons.reserve(2 * static_cast<size_t>(u) * static_cast<size_t>(v));
    const auto at = [u, v](int i, int j) { return static_cast<int32_t>(((i % u) * v) + (j % v)); };
    for (int i = 0; i < u; ++i) {
        for (int j = 0; j < v; ++j) {
            part.polygons.push_back(triangle(at(i, j), at(i + 1, j), at(i + 1, j + 1)));
            part.polygons.push_back(triangle(at(i, j), at(i + 1, j + 1), at(i, j + 1)));
        }
    }
    m.parts.push_back(std::move(part));
    return m;
}

Model uvSphere(int rings, int segments) {
    Model m;
    m.positions.push_back({0.0f, 1.0f, 0.0f});
    for (int r = 1; r < rings; ++r) {
        const double theta = std::numbers::pi * r / rings;
        for (int s = 0; s < segments; ++s) {
            const double phi = 2.0 * std::numbers::pi * s / segments;
            m.positions.push_back({static_cast<float>(std::sin(theta) * std::cos(phi)),
                                   static_cast<float>(std::cos(theta)),
                                   static_cast<float>(std::sin(theta) * std::sin(phi))});
        }
    }
    m.positions.push_back({0.0f, -1.0f, 0.0f});
    const auto south = static_cast<int32_t>(m.positions.size() - 1);
    const auto at = [segments](int r, int s) {
        return static_cast<int32_t>(1 + (r - 1) * segments + (s % segments));
    };
    BodyPart part("head");
    for (int s = 0; s < segments; ++s)
        part.polygons.push_back(triangle(0, at(1, s + 1), at(1, s)));
    for (int r = 1; r < rings - 1; ++r) {
        for (int s = 0; s < segments; ++s) {
            part.polygons.push_back(triangle(at(r, s), at(r, s + 1), at(r + 1, s + 1)));
            part.polygons.push_back(triangle(at(r, s), at(r + 1, s + 1), at(r + 1, s)));
        }
    }
    for (int s = 0; s < segments; ++s)
        part.polygons.push_back(triangle(south, at(rings - 1, s), at(rings - 1, s + 1)));
    m.parts.push_back(std::move(part));
    return m;
}

Model torusOf(int triangles) {
    const int side = static_cast<int>(std::sqrt(triangles / 2.0));
    return torus(side, triangles / (2 * side));
}

std::string objText(const Model& model) {
    std::string out;
    char line[160];
    for (const Vec3& p : model.positions) {
        std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\n", p.x, p.y, p.z);
        out += line;
    }
    for (size_t i = 0; i < model.positions.size(); ++i)
        out += "vt 0.000000 0.000000\n";
    for (size_t i = 0; i < model.positions.size(); ++i)
        out += "vn 0.000000 1.000000 0.000000\n";
    for (const BodyPart& part : model.parts) {
        out += "g " + part.name + "\n";
        for (const Polygon& poly : part.polygons) {
            out += "f";
            for (const Corner& c : poly) {
                const int n = c.positionIndex + 1;
                std::snprintf(line, sizeof line, " %d/%d/%d", n, n, n);
                out += line;
            }
            out += "\n";
        }
    }
    return out;
}

}  // namespace bench
