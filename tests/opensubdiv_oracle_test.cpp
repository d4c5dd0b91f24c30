// OpenSubdiv as an independent implementation of the same rules: Loop's smooth masks with Loop's
// original vertex weight, and boundaries whose edges are sharp while their vertices are not
// (edge-only boundary interpolation). One step of ours must give its uniform refinement, point
// by point, and our interior limit normals must lie along the cross product of its limit
// tangents.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>

#include <opensubdiv/far/primvarRefiner.h>
#include <opensubdiv/far/topologyDescriptor.h>
#include <opensubdiv/far/topologyRefinerFactory.h>

#include "subdiv/limit_normals.h"
#include "subdiv/loop.h"
#include "tests/fixtures.h"

namespace {

using namespace OpenSubdiv;

struct Point {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    void Clear() { x = y = z = 0.0f; }
    void AddWithWeight(const Point& p, float w) {
        x += w * p.x;
        y += w * p.y;
        z += w * p.z;
    }
};

Vec3 vec(const Point& p) {
    return {p.x, p.y, p.z};
}
float norm(const Vec3& v) {
    return std::sqrt(dot(v, v));
}

// OpenSubdiv's refinement of a one-part triangle model by one level.
struct Reference {
    std::unique_ptr<Far::TopologyRefiner> refiner;
    std::vector<Point> refined;  // level 1 positions
    std::vector<Point> tangent1, tangent2;

    explicit Reference(const Model& m) {
        std::vector<int> counts, indices;
        for (const Polygon& polygon : m.parts[0].polygons) {
            counts.push_back(3);
            for (size_t k = 0; k < 3; ++k)
                indices.push_back(polygon[k].positionIndex);
        }
        Far::TopologyDescriptor descriptor;
        descriptor.numVertices = static_cast<int>(m.positions.size());
        descriptor.numFaces = static_cast<int>(counts.size());
        descriptor.numVertsPerFace = counts.data();
        descriptor.vertIndicesPerFace = indices.data();
        Sdc::Options options;
        options.SetVtxBoundaryInterpolation(Sdc::Options::VTX_BOUNDARY_EDGE_ONLY);
        using Factory = Far::TopologyRefinerFactory<Far::TopologyDescriptor>;
        refiner.reset(Factory::Create(descriptor, Factory::Options(Sdc::SCHEME_LOOP, options)));
        Far::TopologyRefiner::UniformOptions uniform(1);
        uniform.fullTopologyInLastLevel = true;
        refiner->RefineUniform(uniform);

        std::vector<Point> base;
        for (const Vec3& p : m.positions)
            base.push_back({p.x, p.y, p.z});
        const auto count = static_cast<size_t>(refiner->GetLevel(1).GetNumVertices());
        refined.resize(count);
        tangent1.resize(count);
        tangent2.resize(count);
        std::vector<Point> limit(count);
        Far::PrimvarRefiner primvar(*refiner);
        primvar.Interpolate(1, base, refined);
        primvar.Limit(refined, limit, tangent1, tangent2);
    }
};

// Our point index -> OpenSubdiv's level-1 vertex, through the parent element of each point:
// in face f with corners a, b, c the children 4f, 4f+1 and 4f+3 hold (a, e_ab, e_ca),
// (e_ab, b, e_bc) and (e_ca, e_bc, c).
std::vector<int> matchPoints(const Model& source, const Model& ours,
                             const Far::TopologyRefiner& refiner) {
    const Far::TopologyLevel& level0 = refiner.GetLevel(0);
    std::vector<int> match(ours.positions.size(), -1);
    const auto& polygons = source.parts[0].polygons;
    const auto& children = ours.parts[0].polygons;
    for (size_t f = 0; f < polygons.size(); ++f) {
        const int a = polygons[f][0].positionIndex, b = polygons[f][1].positionIndex,
                  c = polygons[f][2].positionIndex;
        const Polygon& first = children[4 * f];
        const Polygon& second = children[4 * f + 1];
        const auto set = [&](int32_t ourIndex, int theirs) {
            match[static_cast<size_t>(ourIndex)] = theirs;
        };
        set(first[1].positionIndex, level0.GetEdgeChildVertex(level0.FindEdge(a, b)));
        set(second[2].positionIndex, level0.GetEdgeChildVertex(level0.FindEdge(b, c)));
        set(first[2].positionIndex, level0.GetEdgeChildVertex(level0.FindEdge(c, a)));
        set(first[0].positionIndex, level0.GetVertexChildVertex(a));
        set(second[1].positionIndex, level0.GetVertexChildVertex(b));
        set(children[4 * f + 3][2].positionIndex, level0.GetVertexChildVertex(c));
    }
    return match;
}

Model refineOnce(Model& m) {
    ::testing::internal::CaptureStdout();
    Model r = subdivide(m);
    ::testing::internal::GetCapturedStdout();
    return r;
}

// Positions within 1e-5 relative, one for one; returns the largest relative difference.
float comparePositions(const std::string& name, Model& source) {
    fixtures::buildQuietly(source);
    const Model ours = refineOnce(source);
    const Reference theirs(source);
    EXPECT_EQ(ours.positions.size(), theirs.refined.size()) << name;
    const std::vector<int> match = matchPoints(source, ours, *theirs.refiner);
    float worst = 0.0f;
    std::vector<bool> used(theirs.refined.size(), false);
    for (size_t i = 0; i < ours.positions.size(); ++i) {
        const int j = match[i];
        EXPECT_GE(j, 0) << name << ": point " << i << " has no parent";
        if (j < 0) continue;
        EXPECT_FALSE(used[static_cast<size_t>(j)]) << name << ": two points for one vertex";
        used[static_cast<size_t>(j)] = true;
        const Vec3 p = vec(theirs.refined[static_cast<size_t>(j)]);
        const float relative = norm(ours.positions[i] - p) / std::max(1.0f, norm(p));
        worst = std::max(worst, relative);
        EXPECT_LE(relative, 1e-5f) << name << ": point " << i;
    }
    return worst;
}

// Interior limit normals along the reference's tangent cross product, within 1e-4.
void compareLimitNormals(const std::string& name, Model& source) {
    fixtures::buildQuietly(source);
    Model ours = refineOnce(source);
    ours.relinkHalfEdges();
    computeLimitNormals(ours);
    const Reference theirs(source);
    const std::vector<int> match = matchPoints(source, ours, *theirs.refiner);
    std::vector<bool> boundary(ours.positions.size(), false);
    for (RecordIndex v : ours.parts[0].vertices) {
        const MeshVertex& vertex = ours.parts[0].vertex(v);
        boundary[static_cast<size_t>(vertex.positionIndex)] = vertex.boundary != 0;
    }
    int interior = 0;
    for (size_t i = 0; i < ours.positions.size(); ++i) {
        if (boundary[i] || match[i] < 0) continue;
        ++interior;
        const size_t j = static_cast<size_t>(match[i]);
        const Vec3 n = cross(vec(theirs.tangent1[j]), vec(theirs.tangent2[j]));
        const Vec3 reference = n * (1.0f / norm(n));
        EXPECT_LE(norm(cross(ours.normals[i], reference)), 1e-4f) << name << ": point " << i;
        EXPECT_GT(dot(ours.normals[i], reference), 0.0f)
            << name << ": point " << i << " faces the other way";
    }
    EXPECT_GT(interior, 0) << name;
}

// A gently curved open grid: boundary edges, boundary corners with one and two triangles.
Model wavyGrid(int n) {
    Model m = fixtures::planarGrid(n);
    for (Vec3& p : m.positions)
        p.z = 0.3f * std::sin(p.x * 0.9f) * std::cos(p.y * 0.7f);
    return m;
}

// A sphere with a hole: three quads of one band taken out (every vertex still used).
Model openSphere() {
    Model m = fixtures::uvSphere(10, 12);
    auto& polygons = m.parts[0].polygons;
    const auto band = polygons.begin() + 12 + 3 * 24;  // after the pole fan and three bands
    polygons.erase(band, band + 6);
    return m;
}

// A closed mesh with random vertex valences: an icosahedron with jittered vertices.
Model lumpyIcosahedron() {
    Model m = fixtures::icosahedron();
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> jitter(-0.2f, 0.2f);
    for (Vec3& p : m.positions)
        p = {p.x + jitter(rng), p.y + jitter(rng), p.z + jitter(rng)};
    return m;
}

TEST(OpenSubdivOracle, SmoothClosedMeshes) {
    Model tetra = fixtures::tetrahedron();
    Model octa = fixtures::octahedron();
    Model ico = lumpyIcosahedron();
    Model sphere = fixtures::uvSphere(9, 13);
    comparePositions("tetrahedron", tetra);
    comparePositions("octahedron", octa);
    comparePositions("icosahedron", ico);
    comparePositions("uv sphere", sphere);
}

TEST(OpenSubdivOracle, MeshesWithBoundaries) {
    Model grid = wavyGrid(6);
    Model fan = fixtures::openFan(7);
    Model open = openSphere();
    Model single = fixtures::singleTriangle();
    Model pair = fixtures::twoTriangles();
    comparePositions("wavy grid", grid);
    comparePositions("open fan", fan);
    comparePositions("open sphere", open);
    comparePositions("single triangle", single);
    comparePositions("two triangles", pair);
}

TEST(OpenSubdivOracle, InteriorLimitNormals) {
    Model ico = lumpyIcosahedron();
    Model sphere = fixtures::uvSphere(9, 13);
    Model grid = wavyGrid(6);
    Model open = openSphere();
    compareLimitNormals("icosahedron", ico);
    compareLimitNormals("uv sphere", sphere);
    compareLimitNormals("wavy grid", grid);
    compareLimitNormals("open sphere", open);
}

}  // namespace
