// The display refinement of a creature (one Loop step, the relink of its half-edges and the limit
// normals) against OpenSubdiv doing the same job: a topology refiner made from the mesh, uniform
// refinement by one level, interpolation of the positions, and limit positions and tangents.
//
// The subdivision step prints its progress on standard output, so the benchmark table goes to a
// copy of the original standard output while standard output itself is sent to /dev/null.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <opensubdiv/far/primvarRefiner.h>
#include <opensubdiv/far/topologyDescriptor.h>
#include <opensubdiv/far/topologyRefinerFactory.h>

#include "bench/bench_meshes.h"
#include "bench/bench_support.h"
#include "subdiv/limit_normals.h"
#include "subdiv/loop.h"

namespace {

using namespace OpenSubdiv;

// A genome as the World keeps it: linked topology and vertex normals.
Model genomeOf(Model mesh) {
    mesh.buildHalfEdges();
    mesh.computeNormals();
    return mesh;
}

Model meshOf(int shape, int size) {
    // Sizes: about 10k, 100k and 1M triangles.
    static const int torusSides[3][2] = {{50, 100}, {200, 250}, {500, 1000}};
    static const int sphereSides[3][2] = {{50, 101}, {160, 318}, {500, 1001}};
    if (shape == 0) return bench::torus(torusSides[size][0], torusSides[size][1]);
    return bench::uvSphere(sphereSides[size][0], sphereSides[size][1]);
}

size_t triangleCount(const Model& m) {
    size_t n = 0;
    for (const BodyPart& part : m.parts)
        n += part.polygons.size();
    return n;
}

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Triangles of the source mesh, time per triangle, and the memory first touched per iteration
// (minor page faults of 4 KiB).
void setCounters(benchmark::State& state, size_t triangles, long faultsBefore) {
    const double iterations = static_cast<double>(state.iterations());
    state.counters["fault_MiB"] =
        static_cast<double>(minorFaults() - faultsBefore) * 4.0 / 1024.0 / iterations;
    state.counters["triangles"] = static_cast<double>(triangles);
    state.counters["per_triangle"] = benchmark::Counter(
        static_cast<double>(triangles),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// As the World refines a genome into the display copy it replaces, whose storage it reuses.
void BM_DisplayRefinement(benchmark::State& state) {
    const Model genome =
        genomeOf(meshOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
    Model display;
    subdivideLinked(genome, display);
    const long faults = minorFaults();
    for (auto _ : state) {
        subdivideLinked(genome, display);
        benchmark::DoNotOptimize(display.normals.data());
        benchmark::ClobberMemory();
    }
    setCounters(state, triangleCount(genome), faults);
}

// A point for OpenSubdiv's primvar interpolation.
struct OsdPoint {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    void Clear() { x = y = z = 0.0f; }
    void AddWithWeight(const OsdPoint& p, float w) {
        x += w * p.x;
        y += w * p.y;
        z += w * p.z;
    }
};

void BM_OpenSubdivRefinement(benchmark::State& state) {
    const Model mesh = meshOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<int> counts;
    std::vector<int> indices;
    for (const BodyPart& part : mesh.parts) {
        for (const Polygon& polygon : part.polygons) {
            counts.push_back(3);
            for (size_t k = 0; k < 3; ++k)
                indices.push_back(polygon[k].positionIndex);
        }
    }
    std::vector<OsdPoint> points;
    for (const Vec3& p : mesh.positions)
        points.push_back({p.x, p.y, p.z});

    Far::TopologyDescriptor descriptor;
    descriptor.numVertices = static_cast<int>(points.size());
    descriptor.numFaces = static_cast<int>(counts.size());
    descriptor.numVertsPerFace = counts.data();
    descriptor.vertIndicesPerFace = indices.data();
    Sdc::Options sdc;
    sdc.SetVtxBoundaryInterpolation(Sdc::Options::VTX_BOUNDARY_EDGE_ONLY);
    using Factory = Far::TopologyRefinerFactory<Far::TopologyDescriptor>;

    const long faults = minorFaults();
    for (auto _ : state) {
        std::unique_ptr<Far::TopologyRefiner> refiner(
            Factory::Create(descriptor, Factory::Options(Sdc::SCHEME_LOOP, sdc)));
        Far::TopologyRefiner::UniformOptions uniform(1);
        uniform.fullTopologyInLastLevel = true;
        refiner->RefineUniform(uniform);
        const auto count = static_cast<size_t>(refiner->GetLevel(1).GetNumVertices());
        std::vector<OsdPoint> refined(count);
        Far::PrimvarRefiner primvar(*refiner);
        primvar.Interpolate(1, points, refined);
        std::vector<OsdPoint> limit(count), tangent1(count), tangent2(count);
        primvar.Limit(refined, limit, tangent1, tangent2);
        benchmark::DoNotOptimize(tangent2.data());
        benchmark::ClobberMemory();
    }
    setCounters(state, counts.size(), faults);
}

// Arguments: shape (0 torus, 1 UV sphere), size (0: ~10k, 1: ~100k, 2: ~1M triangles).
void sizes(benchmark::internal::Benchmark* b) {
    for (int shape : {0, 1}) {
        for (int size : {0, 1, 2})
            b->Args({shape, size});
    }
    // Thread CPU time: the machine is shared, and the job runs on one thread.
    b->ArgNames({"shape", "size"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_DisplayRefinement)->Apply(sizes);
BENCHMARK(BM_OpenSubdivRefinement)->Apply(sizes);

}  // namespace

int main(int argc, char** argv) {
    bench::keepFreedMemory();
    const int table = dup(STDOUT_FILENO);
    if (table < 0 || std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    // Appending: when standard output is a file, a plain open of it would start it afresh.
    std::ofstream tableStream("/dev/fd/" + std::to_string(table), std::ios::app);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
    reporter.SetOutputStream(&tableStream);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
