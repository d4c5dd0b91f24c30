// The population: start-up load, breeding two leaves (two crossovers and two display
// refinements), and breeding again a creature with 62 descendants (the change ripples down).
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

#include <string>

#include "creature/world.h"
#include "view/chance.h"

namespace {

std::vector<StartCreature> shippedStart() {
    std::vector<StartCreature> start = startCreatures();
    for (StartCreature& s : start)
        s.path = std::string(CREATURES_SOURCE_DIR) + "/" + s.path.substr(2);
    return start;
}

void BM_WorldConstruction(benchmark::State& state) {
    bench::QuietStdout quiet;
    for (auto _ : state) {
        World w(shippedStart());
        benchmark::DoNotOptimize(w.creatures.data());
    }
}

void BM_BreedTwoLeaves(benchmark::State& state) {
    bench::QuietStdout quiet;
    const World start(shippedStart());
    for (auto _ : state) {
        state.PauseTiming();
        World w = start;
        state.ResumeTiming();
        w.breed(1, w.genomes[0], RANDOM_WEIGHT, MakeChildren);
        benchmark::DoNotOptimize(w.creatures.data());
    }
}

// Creature 1 with a full binary tree of five generations below it: 2 + 4 + 8 + 16 + 32 = 62.
void BM_RippleThroughSixtyTwo(benchmark::State& state) {
    bench::QuietStdout quiet;
    World w(shippedStart());
    std::vector<int> leaves = {1};
    for (int generation = 0; generation < 5; ++generation) {
        std::vector<int> next;
        for (int leaf : leaves) {
            w.breed(leaf, w.genomes[0], RANDOM_WEIGHT, MakeChildren);
            next.push_back(w.genomes[static_cast<size_t>(leaf)].firstChildId);
            next.push_back(w.genomes[static_cast<size_t>(leaf)].secondChildId);
        }
        leaves = next;
    }
    if (w.genomes.size() != 3 + 62) state.SkipWithError("the tree did not grow as planned");
    for (auto _ : state) {
        w.breed(1, w.genomes[2], RANDOM_WEIGHT, MakeChildren);
        benchmark::DoNotOptimize(w.creatures.data());
    }
    state.counters["descendants"] = 62;
}

}  // namespace

BENCHMARK(BM_WorldConstruction)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BreedTwoLeaves)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RippleThroughSixtyTwo)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    bench::keepFreedMemory();
    chance::seed(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
