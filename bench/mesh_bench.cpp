// Reading, half-edge building and vertex normals on closed meshes of growing size. Per-triangle
// times should stay flat from 10k to 1M triangles.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "bench/bench_meshes.h"
#include "mesh/obj_reader.h"

namespace {

const std::string& objFile(int triangles) {
    static std::map<int, std::string> paths;
    auto it = paths.find(triangles);
    if (it != paths.end()) return it->second;
    const auto path =
        std::filesystem::temp_directory_path() / ("creatures_bench_" + std::to_string(::getpid()) +
                                                  "_" + std::to_string(triangles) + ".obj");
    std::ofstream(path) << bench::objText(bench::torusOf(triangles));
    return paths.emplace(triangles, path.string()).first->second;
}

// The time per triangle of the mesh, shown as "ns/triangle".
void countPerTriangle(benchmark::State& state, size_t triangles) {
    state.counters["ns/triangle"] = benchmark::Counter(
        static_cast<double>(triangles),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Read(benchmark::State& state) {
    const std::string& path = objFile(static_cast<int>(state.range(0)));
    bench::QuietStdout quiet;
    size_t triangles = 0;
    for (auto _ : state) {
        Model m;
        readObj(path, Vec3{}, m);
        triangles = m.parts[0].polygons.size();
        benchmark::DoNotOptimize(m.positions.data());
    }
    countPerTriangle(state, triangles);
}

void BM_Build(benchmark::State& state) {
    const Model source = bench::torusOf(static_cast<int>(state.range(0)));
    bench::QuietStdout quiet;
    for (auto _ : state) {
        state.PauseTiming();
        Model m = source;
        state.ResumeTiming();
        m.buildHalfEdges();
        benchmark::DoNotOptimize(m.parts[0].arena.get());
    }
    countPerTriangle(state, source.parts[0].polygons.size());
}

void BM_Normals(benchmark::State& state) {
    Model built = bench::torusOf(static_cast<int>(state.range(0)));
    bench::QuietStdout quiet;
    built.buildHalfEdges();
    for (auto _ : state) {
        state.PauseTiming();
        Model m = built;
        state.ResumeTiming();
        m.computeNormals();
        benchmark::DoNotOptimize(m.normals.data());
    }
    countPerTriangle(state, built.parts[0].polygons.size());
}

// What the program does with a start file: read, build, normals.
void BM_ReadBuildNormals(benchmark::State& state) {
    const std::string& path = objFile(static_cast<int>(state.range(0)));
    bench::QuietStdout quiet;
    size_t triangles = 0;
    for (auto _ : state) {
        Model m;
        readObj(path, Vec3{}, m);
        m.buildHalfEdges();
        m.computeNormals();
        triangles = m.parts[0].polygons.size();
        benchmark::DoNotOptimize(m.normals.data());
    }
    countPerTriangle(state, triangles);
}

}  // namespace

BENCHMARK(BM_Read)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Build)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Normals)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBuildNormals)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    bench::keepFreedMemory();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (int n : {10000, 100000, 1000000})
        std::filesystem::remove(objFile(n));
    return 0;
}
