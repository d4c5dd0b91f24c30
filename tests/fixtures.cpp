#include "tests/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <numbers>

#include "view/chance.h"

namespace fixtures {

namespace {

int g_ringFaults = 0;
void countRingFault(const char*, const std::string&, int32_t) {
    ++g_ringFaults;
}

}  // namespace

RingFaultCount::RingFaultCount() : previous_(setRingFaultHandler(&countRingFault)) {
    g_ringFaults = 0;
}
RingFaultCount::~RingFaultCount() {
    setRingFaultHandler(previous_);
}
int RingFaultCount::count() const {
    return g_ringFaults;
}
void RingFaultCount::reset() {
    g_ringFaults = 0;
}

void buildQuietly(Model& m) {
    ::testing::internal::CaptureStdout();
    m.buildHalfEdges();
    ::testing::internal::GetCapturedStdout();
}

void buildWithNormalsQuietly(Model& m) {
    ::testing::internal::CaptureStdout();
    m.buildHalfEdges();
    m.computeNormals();
    ::testing::internal::GetCapturedStdout();
}

Model deepCopy(const Model& m) {
    Model c = m;
    std::map<const TopologyArena*, std::shared_ptr<TopologyArena>> copies;
    for (BodyPart& part : c.parts) {
        if (!part.arena) continue;
        std::shared_ptr<TopologyArena>& copy = copies[part.arena.get()];
        if (!copy) copy = std::make_shared<TopologyArena>(*part.arena);
        part.arena = copy;
    }
    return c;
}

bool sameBits(const std::vector<Vec3>& a, const std::vector<Vec3>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Vec3)) == 0);
}

Model makeModel(std::vector<Vec3> positions, const std::vector<PartLayout>& parts,
                bool normalSlots) {
    Model m;
    m.positions = std::move(positions);
    const auto count = static_cast<int32_t>(m.positions.size());
    for (const PartLayout& layout : parts) {
        BodyPart part(layout.name);
        for (const Triangle& t : layout.polygons) {
            Polygon polygon;
            for (int32_t p : t) {
                Corner c;
                c.flagA = 1;
                c.positionIndex = p;
                // A numbering of its own: a fault that takes the slot for the position shows.
                c.normalSlot = normalSlots ? (p + 1) % std::max(count, 1) : -1;
                polygon.push_back(c);
            }
            part.polygons.push_back(polygon);
        }
        m.parts.push_back(std::move(part));
    }
    return m;
}

Model singleTriangle() {
    return makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{"head", {{0, 1, 2}}}});
}

Model twoTriangles() {
    return makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}},
                     {{"head", {{0, 1, 2}, {2, 1, 3}}}});
}

Model tetrahedron() {
    // Counter-clockwise seen from outside.
    return makeModel({{1, 1, 1}, {-1, -1, 1}, {-1, 1, -1}, {1, -1, -1}},
                     {{"head", {{0, 1, 3}, {0, 2, 1}, {0, 3, 2}, {1, 2, 3}}}});
}

Model octahedron() {
    return makeModel({{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}},
                     {{"torso",
                       {{4, 0, 2},
                        {4, 2, 1},
                        {4, 1, 3},
                        {4, 3, 0},
                        {5, 2, 0},
                        {5, 1, 2},
                        {5, 3, 1},
                        {5, 0, 3}}}});
}

Model icosahedron() {
    const float t = (1.0f + std::sqrt(5.0f)) / 2.0f;
    std::vector<Vec3> p = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0},
                           {0, -1, t}, {0, 1, t}, {0, -1, -t}, {0, 1, -t},
                           {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    return makeModel(p, {{"head", {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                   {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                   {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                   {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}}}});
}

Model openFan(int sides) {
    std::vector<Vec3> p = {{0, 0, 0}};
    std::vector<Triangle> tris;
    for (int i = 0; i < sides; ++i) {
        const double a = 2.0 * std::numbers::pi * i / sides;
        p.push_back({static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), 0.0f});
    }
    for (int i = 0; i < sides - 1; ++i)
        tris.push_back({0, 1 + i, 2 + i});
    return makeModel(p, {{"hair", tris}});
}

Model planarGrid(int n) {
    std::vector<Vec3> p;
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i)
            p.push_back({static_cast<float>(i), static_cast<float>(j), 0.0f});
    }
    std::vector<Triangle> tris;
    const auto at = [n](int i, int j) { return j * (n + 1) + i; };
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            tris.push_back({at(i, j), at(i + 1, j), at(i + 1, j + 1)});
            tris.push_back({at(i, j), at(i + 1, j + 1), at(i, j + 1)});
        }
    }
    return makeModel(p, {{"torso", tris}});
}

Model uvSphere(int rings, int segments, float radius) {
    std::vector<Vec3> p = {{0, radius, 0}};
    for (int r = 1; r < rings; ++r) {
        const double theta = std::numbers::pi * r / rings;
        for (int s = 0; s < segments; ++s) {
            const double phi = 2.0 * std::numbers::pi * s / segments;
            p.push_back({static_cast<float>(radius * std::sin(theta) * std::cos(phi)),
                         static_cast<float>(radius * std::cos(theta)),
                         static_cast<float>(radius * std::sin(theta) * std::sin(phi))});
        }
    }
    p.push_back({0, -radius, 0});
    const int south = static_cast<int>(p.size()) - 1;
    const auto at = [segments](int r, int s) { return 1 + (r - 1) * segments + (s % segments); };
    std::vector<Triangle> tris;
    for (int s = 0; s < segments; ++s)
        tris.push_back({0, at(1, s + 1), at(1, s)});
    for (int r = 1; r < rings - 1; ++r) {
        for (int s = 0; s < segments; ++s) {
            tris.push_back({at(r, s), at(r, s + 1), at(r + 1, s + 1)});
            tris.push_back({at(r, s), at(r + 1, s + 1), at(r + 1, s)});
        }
    }
    for (int s = 0; s < segments; ++s)
        tris.push_back({south, at(rings - 1, s), at(rings - 1, s + 1)});
    return makeModel(p, {{"head", tris}});
}

Model randomMesh(std::mt19937& rng) {
    std::uniform_int_distribution<int> positionCount(3, 24);
    const int n = positionCount(rng);
    std::uniform_real_distribution<float> coord(-2.0f, 2.0f);
    std::vector<Vec3> p;
    for (int i = 0; i < n; ++i)
        p.push_back({coord(rng), coord(rng), coord(rng)});
    std::uniform_int_distribution<int> partCount(1, 3), polyCount(0, 30), pick(0, n - 1),
        percent(0, 99);
    std::vector<PartLayout> parts;
    const int partsWanted = partCount(rng);
    for (int k = 0; k < partsWanted; ++k) {
        PartLayout layout{"part" + std::to_string(k), {}};
        const int polys = polyCount(rng);
        for (int f = 0; f < polys; ++f) {
            Triangle t = {pick(rng), pick(rng), pick(rng)};
            if (percent(rng) < 10) t.push_back(pick(rng));
            // Mostly distinct corners, so that many edges are shared properly.
            if (percent(rng) < 85) {
                while (t[1] == t[0])
                    t[1] = pick(rng);
                while (t[2] == t[0] || t[2] == t[1])
                    t[2] = pick(rng);
            }
            layout.polygons.push_back(t);
            // Often add the neighbour across an edge, in either orientation.
            if (percent(rng) < 50) {
                const int32_t apex = pick(rng);
                if (percent(rng) < 80) {
                    layout.polygons.push_back({t[1], t[0], apex});
                } else {
                    layout.polygons.push_back({t[0], t[1], apex});
                }
            }
        }
        parts.push_back(std::move(layout));
    }
    return makeModel(p, parts);
}

namespace {

std::string describe(const char* what, size_t part, size_t i, const char* field) {
    return std::string(what) + " " + std::to_string(i) + " of part " + std::to_string(part) + ": " +
           field + " differs";
}

}  // namespace

std::string compareTopology(const Model& a, const Model& b) {
    if (a.parts.size() != b.parts.size()) return "part counts differ";
    for (size_t pi = 0; pi < a.parts.size(); ++pi) {
        const BodyPart& x = a.parts[pi];
        const BodyPart& y = b.parts[pi];
        if (x.halfEdges != y.halfEdges)
            return "half-edge lists differ in part " + std::to_string(pi);
        if (x.faces != y.faces) return "face lists differ in part " + std::to_string(pi);
        if (x.vertices != y.vertices) return "vertex lists differ in part " + std::to_string(pi);
        if (x.halfEdges.empty() && x.vertices.empty()) continue;
        for (size_t i = 0; i < x.halfEdges.size(); ++i) {
            const HalfEdge& e = x.halfEdge(x.halfEdges[i]);
            const HalfEdge& f = y.halfEdge(y.halfEdges[i]);
            if (e.origin != f.origin) return describe("half-edge", pi, i, "origin");
            if (e.target != f.target) return describe("half-edge", pi, i, "target");
            if (e.face != f.face) return describe("half-edge", pi, i, "face");
            if (e.twin != f.twin) return describe("half-edge", pi, i, "twin");
            if (e.next != f.next) return describe("half-edge", pi, i, "next");
            if (e.prev != f.prev) return describe("half-edge", pi, i, "prev");
            if (e.boundary != f.boundary) return describe("half-edge", pi, i, "boundary");
            if (e.paired != f.paired) return describe("half-edge", pi, i, "paired");
            if (e.hasMidpoint != f.hasMidpoint) return describe("half-edge", pi, i, "hasMidpoint");
            if (e.sharpness != f.sharpness) return describe("half-edge", pi, i, "sharpness");
            if (e.midpointIndex != f.midpointIndex)
                return describe("half-edge", pi, i, "midpointIndex");
        }
        for (size_t i = 0; i < x.faces.size(); ++i) {
            if (x.face(x.faces[i]).edge != y.face(y.faces[i]).edge)
                return describe("face", pi, i, "edge");
            if (x.face(x.faces[i]).index != y.face(y.faces[i]).index)
                return describe("face", pi, i, "index");
        }
        for (size_t i = 0; i < x.vertices.size(); ++i) {
            const MeshVertex& v = x.vertex(x.vertices[i]);
            const MeshVertex& w = y.vertex(y.vertices[i]);
            if (v.positionIndex != w.positionIndex)
                return describe("vertex", pi, i, "positionIndex");
            if (v.edge != w.edge) return describe("vertex", pi, i, "edge");
            if (v.valence != w.valence) return describe("vertex", pi, i, "valence");
            if (v.updated != w.updated) return describe("vertex", pi, i, "updated");
            if (v.boundary != w.boundary) return describe("vertex", pi, i, "boundary");
            if (v.sharpness != w.sharpness) return describe("vertex", pi, i, "sharpness");
        }
    }
    return {};
}

MutationDraws replayMutationDraws(unsigned seed) {
    MutationDraws r{};
    chance::seed(seed);
    for (int& x : r.d)
        x = chance::draw();
    r.odd = r.d[0] % 2 == 1;
    const double step = r.odd ? 1.0 / 150.0 : 0.01;
    r.scale = {static_cast<float>((r.d[1] % 100) * step + 0.5),
               static_cast<float>((r.d[2] % 100) * step + 0.5),
               static_cast<float>((r.d[3] % 100) * step + 0.5)};
    r.edge = r.odd ? r.d[1] % 4 : 0;
    r.origin = r.odd ? r.d[2] % 4 : 0;
    r.target = r.odd ? r.d[3] % 4 : 0;
    return r;
}

}  // namespace fixtures
