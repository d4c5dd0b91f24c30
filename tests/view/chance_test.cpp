#include <gtest/gtest.h>

#include <cstdlib>

#include "view/chance.h"

namespace {

// The program's generator gives the runtime library's rand sequence for every seed, also when a
// seed is given again (the cached start) in the middle of a sequence.
TEST(Chance, MatchesTheRuntimeGenerator) {
    for (unsigned seed : {0u, 1u, 2u, 42u, 1765000000u, 4294967295u}) {
        for (int round = 0; round < 2; ++round) {
            chance::seed(seed);
            std::srand(seed);
            for (int i = 0; i < 1000; ++i)
                ASSERT_EQ(chance::draw(), std::rand()) << seed << " " << i;
        }
        chance::seed(seed + 1);
        chance::draw();
    }
}

TEST(Chance, TheClockCanBeSetAndRestored) {
    chance::setClock([] { return std::time_t{12345}; });
    EXPECT_EQ(chance::nowSeconds(), 12345);
    chance::reseedFromClock();
    const int a = chance::draw();
    chance::seed(12345);
    EXPECT_EQ(chance::draw(), a);
    chance::setClock({});
    EXPECT_GT(chance::nowSeconds(), 1700000000);
}

}  // namespace
