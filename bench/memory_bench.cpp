// Memory of the running viewer against the size of its records, as the population grows.
//
// The viewer's own pieces in a real window (run it under Xvfb with Mesa's software renderer:
// LIBGL_ALWAYS_SOFTWARE=1): its heap settings, the World, the display pass. The population grows
// by breeding leaves, oldest first, to 130 creatures, every third breeding instead breeding a
// parent again (the change ripples down its subtree); after each breeding the window shows
// twenty frames, as it would between two clicks, and the process's resident size is read. Each
// configuration runs in a process of its own (the World is the process's one World): pick it with
// --benchmark_filter. Reported:
//   records_per_creature   bytes of a creature's records (genome and display copy: every list's
//                          capacity, topology records counted once however many share them)
//   rss_per_creature       growth of the resident size per added creature, the slope of a least-
//                          squares line over populations of 30 and more
//   heap_per_creature      the same for the heap's bytes in use (malloc's count)
//   held_per_creature      the same for the bytes the heap holds from the system
//   ratio                  rss_per_creature / records_per_creature
//
// Runs from anywhere: it reads the start creatures and the title picture from the source tree.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <set>
#include <vector>

#include <GL/freeglut.h>

#include "app/viewer_window.h"
#include "bench/bench_support.h"
#include "bench/bench_window.h"
#include "creature/world.h"
#include "view/camera.h"
#include "view/input_controller.h"

namespace {

constexpr size_t kPopulation = 130;
constexpr size_t kFitFrom = 30;  // populations below are left out of the fit

double residentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

double heapInUse() {
    return static_cast<double>(mallinfo2().uordblks);
}

// What the heap holds from the system: its main arena and the blocks it maps on its own.
double heapHeld() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.arena + info.hblkhd);
}

template <typename T>
size_t bytesOf(const std::vector<T>& v) {
    return v.capacity() * sizeof(T);
}

// The bytes a model's records take: its lists, and the topology arenas not counted yet.
size_t recordBytes(const Model& m, std::set<const TopologyArena*>& counted) {
    size_t bytes = sizeof(Model) + bytesOf(m.parts) + bytesOf(m.positions) + bytesOf(m.normals) +
                   bytesOf(m.texCoords);
    for (const BodyPart& part : m.parts) {
        bytes += bytesOf(part.halfEdges) + bytesOf(part.faces) + bytesOf(part.vertices) +
                 bytesOf(part.polygons) + bytesOf(part.faceNormals);
        for (const Polygon& polygon : part.polygons) {
            if (polygon.size() > 3) bytes += polygon.capacity() * sizeof(Corner);
        }
        if (part.arena && counted.insert(part.arena.get()).second) {
            bytes += bytesOf(part.arena->halfEdges) + bytesOf(part.arena->faces) +
                     bytesOf(part.arena->vertices);
        }
    }
    return bytes;
}

double populationRecordBytes(const World& w) {
    std::set<const TopologyArena*> counted;
    size_t bytes = 0;
    for (const Model& m : w.genomes)
        bytes += recordBytes(m, counted);
    for (const Model& m : w.creatures)
        bytes += recordBytes(m, counted);
    return static_cast<double>(bytes);
}

// The slope of the least-squares line through (x, y).
double slope(const std::vector<double>& x, const std::vector<double>& y) {
    const double n = static_cast<double>(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

void showFrames(int frames) {
    for (int frame = 0; frame < frames; ++frame) {
        ViewerWindow::instance().tick();
        ViewerWindow::instance().display();
    }
    glFinish();
}

// Arguments: frames shown after each breeding; every how many breedings a parent is bred again
// (its change ripples down its subtree; 0: never); whether the frames show the population (1) or
// the title screen only (0, which leaves the drawing's own memory out).
void BM_PopulationMemory(benchmark::State& state) {
    const int frames = static_cast<int>(state.range(0));
    const int rippleEvery = static_cast<int>(state.range(1));
    InputController::instance().titleShown = state.range(2) != 0 ? 0 : 1;
    std::vector<double> population, rss, heap, held, records;
    for (auto _ : state) {
        bench::QuietStdout quiet;
        World& world = World::instance();
        showFrames(frames);
        std::deque<int> leaves{1};
        std::vector<int> parents;
        int breedings = 0;
        while (world.creatures.size() < kPopulation) {
            if (rippleEvery > 0 && ++breedings % rippleEvery == 0 && !parents.empty()) {
                const int parent = parents[static_cast<size_t>(breedings) % parents.size()];
                world.breed(parent, world.genomes[0], RANDOM_WEIGHT, MakeChildren);
            } else {
                const int leaf = leaves.front();
                leaves.pop_front();
                world.breed(leaf, world.genomes[2], RANDOM_WEIGHT, MakeChildren);
                leaves.push_back(world.genomes[static_cast<size_t>(leaf)].firstChildId);
                leaves.push_back(world.genomes[static_cast<size_t>(leaf)].secondChildId);
                parents.push_back(leaf);
            }
            showFrames(frames);
            if (world.creatures.size() < kFitFrom) continue;
            population.push_back(static_cast<double>(world.creatures.size()));
            rss.push_back(residentBytes());
            heap.push_back(heapInUse());
            held.push_back(heapHeld());
            records.push_back(populationRecordBytes(world));
        }
    }
    const double recordSlope = slope(population, records);
    state.counters["records_per_creature"] = recordSlope;
    state.counters["rss_per_creature"] = slope(population, rss);
    state.counters["heap_per_creature"] = slope(population, heap);
    state.counters["held_per_creature"] = slope(population, held);
    state.counters["ratio"] = slope(population, rss) / recordSlope;
    state.counters["population"] = static_cast<double>(population.back());
}

BENCHMARK(BM_PopulationMemory)
    ->Args({20, 3, 1})
    ->Args({20, 3, 0})
    ->ArgNames({"frames", "ripple_every", "drawn"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    // The viewer's own heap settings (app/main.cpp).
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    if (!bench::openViewerWindow(argc, argv, CREATURES_SOURCE_DIR)) return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
