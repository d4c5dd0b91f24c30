#include "tools/creature_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace creature_files {

double length(const Point& a) {
    return std::sqrt(dot(a, a));
}

Point unit(const Point& a) {
    return a * (1.0 / length(a));
}

double Profile::at(double t) const {
    const double scaled = std::clamp(t, 0.0, 1.0) * 4.0;
    const int k = std::min(static_cast<int>(scaled), 3);
    const double f = scaled - k;
    return knots[static_cast<size_t>(k)] * (1.0 - f) + knots[static_cast<size_t>(k) + 1] * f;
}

TubeShape TubeShape::ellipsoid(const Point& centre, const Point& axis, const Point& side,
                               double sideRadius, double depthRadius) {
    return curved(centre - axis, centre, centre + axis, side, Profile::constant(sideRadius),
                  Profile::constant(depthRadius), 1.0);
}

TubeShape TubeShape::curved(const Point& from, const Point& via, const Point& to, const Point& side,
                            const Profile& width, const Profile& depth, double roundness) {
    TubeShape shape;
    shape.from = from;
    shape.via = via;
    shape.to = to;
    shape.side = side;
    shape.width = width;
    shape.depth = depth;
    shape.roundness = roundness;
    return shape;
}

TubeShape TubeShape::straight(const Point& from, const Point& to, const Point& side,
                              const Profile& width, const Profile& depth, double roundness) {
    return curved(from, (from + to) * 0.5, to, side, width, depth, roundness);
}

namespace {

Point bezier(const TubeShape& s, double t) {
    const double u = 1.0 - t;
    return s.from * (u * u) + s.via * (2.0 * u * t) + s.to * (t * t);
}

Point bezierTangent(const TubeShape& s, double t) {
    return (s.via - s.from) * (2.0 * (1.0 - t)) + (s.to - s.via) * (2.0 * t);
}

}  // namespace

void appendTube(CreatureMesh& mesh, const std::string& name, int segments, int rings,
                const TubeShape& shape) {
    const auto base = static_cast<int32_t>(mesh.positions.size());
    const double pi = std::numbers::pi;

    auto add = [&mesh](const Point& p, double u, double v) {
        mesh.positions.push_back(p);
        mesh.texCoords.push_back({u, v});
    };

    // Rings at theta = pi k / (rings + 1); t follows (1 - cos theta) / 2, which crowds the rings
    // towards the ends where the envelope turns fastest (exactly the spacing of an ellipsoid).
    add(shape.from, 0.5, 0.0);
    for (int k = 1; k <= rings; ++k) {
        const double theta = pi * k / (rings + 1);
        const double t = 0.5 * (1.0 - std::cos(theta));
        const double envelope = std::pow(std::sin(theta), shape.roundness);
        const Point centre = bezier(shape, t);
        const Point tangent = unit(bezierTangent(shape, t));
        const Point first = unit(shape.side - tangent * dot(shape.side, tangent));
        const Point second = cross(tangent, first);
        const double w = shape.width.at(t) * envelope;
        const double d = shape.depth.at(t) * envelope;
        for (int j = 0; j < segments; ++j) {
            const double phi = 2.0 * pi * j / segments;
            add(centre + first * (w * std::cos(phi)) + second * (d * std::sin(phi)),
                static_cast<double>(j) / segments, t);
        }
    }
    add(shape.to, 0.5, 1.0);

    // The rings turn counter-clockwise about the tangent, so (ring k, j), (ring k + 1, j),
    // (ring k, j + 1) is clockwise seen from outside.
    PartMesh part{name, {}};
    const int32_t firstEnd = base;
    const int32_t lastEnd = base + 1 + segments * rings;
    auto ring = [&](int k, int j) { return base + 1 + (k - 1) * segments + (j % segments); };
    for (int j = 0; j < segments; ++j)
        part.triangles.push_back({firstEnd, ring(1, j), ring(1, j + 1)});
    for (int k = 1; k < rings; ++k) {
        for (int j = 0; j < segments; ++j) {
            part.triangles.push_back({ring(k, j), ring(k + 1, j), ring(k, j + 1)});
            part.triangles.push_back({ring(k, j + 1), ring(k + 1, j), ring(k + 1, j + 1)});
        }
    }
    for (int j = 0; j < segments; ++j) {
        part.triangles.push_back({lastEnd, ring(rings, j + 1), ring(rings, j)});
    }
    mesh.parts.push_back(std::move(part));
}

void appendMirrorImage(CreatureMesh& mesh, const std::string& name, size_t source) {
    const PartMesh& original = mesh.parts.at(source);
    // The part's positions are the contiguous range its own triangles index.
    int32_t first = original.triangles.front()[0];
    int32_t last = first;
    for (const Triangle& t : original.triangles) {
        for (int32_t i : t) {
            first = std::min(first, i);
            last = std::max(last, i);
        }
    }
    const auto shift = static_cast<int32_t>(mesh.positions.size()) - first;
    for (int32_t i = first; i <= last; ++i) {
        mesh.positions.push_back(mirrorX(mesh.positions[static_cast<size_t>(i)]));
        mesh.texCoords.push_back(mesh.texCoords[static_cast<size_t>(i)]);
    }
    PartMesh image{name, {}};
    for (const Triangle& t : original.triangles) {
        image.triangles.push_back({t[0] + shift, t[2] + shift, t[1] + shift});
    }
    mesh.parts.push_back(std::move(image));
}

namespace {

// The nearest value on the printed grid; adding 0.0 turns a negative zero into zero.
double onGrid(double v) {
    return std::round(v * 1e6) / 1e6 + 0.0;
}

Point onGrid(const Point& p) {
    return {onGrid(p.x), onGrid(p.y), onGrid(p.z)};
}

}  // namespace

void finishMesh(CreatureMesh& mesh) {
    for (Point& p : mesh.positions)
        p = onGrid(p);
    for (auto& uv : mesh.texCoords)
        uv = {onGrid(uv[0]), onGrid(uv[1])};

    // Clockwise winding makes (p1 - p0) x (p2 - p0) point inwards, so the sum is negated.
    std::vector<Point> sums(mesh.positions.size());
    for (const PartMesh& part : mesh.parts) {
        for (const Triangle& t : part.triangles) {
            const Point& p0 = mesh.positions[static_cast<size_t>(t[0])];
            const Point n = cross(mesh.positions[static_cast<size_t>(t[1])] - p0,
                                  mesh.positions[static_cast<size_t>(t[2])] - p0);
            for (int32_t i : t)
                sums[static_cast<size_t>(i)] = sums[static_cast<size_t>(i)] - n;
        }
    }
    mesh.normals.clear();
    for (const Point& s : sums)
        mesh.normals.push_back(onGrid(unit(s)));
}

namespace {

void appendLine(std::string& out, const char* format, auto... values) {
    char line[128];
    const int n = std::snprintf(line, sizeof line, format, values...);
    out.append(line, std::min(static_cast<size_t>(std::max(n, 0)), sizeof line - 1));
}

}  // namespace

std::string objText(const CreatureMesh& mesh, const std::string& title) {
    std::string out = "# " + title + "\n";
    for (const Point& p : mesh.positions)
        appendLine(out, "v %.6f %.6f %.6f\n", p.x, p.y, p.z);
    for (const auto& uv : mesh.texCoords)
        appendLine(out, "vt %.6f %.6f\n", uv[0], uv[1]);
    for (const Point& n : mesh.normals)
        appendLine(out, "vn %.6f %.6f %.6f\n", n.x, n.y, n.z);
    for (const PartMesh& part : mesh.parts) {
        out += "g " + part.name + "\n";
        for (const Triangle& t : part.triangles) {
            appendLine(out, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", t[0] + 1, t[0] + 1, t[0] + 1,
                       t[1] + 1, t[1] + 1, t[1] + 1, t[2] + 1, t[2] + 1, t[2] + 1);
        }
    }
    return out;
}

}  // namespace creature_files
