#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

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

// The values after `count` draws, or after skipping them.
std::vector<int> valuesAfter(unsigned seed, std::uint64_t count, bool skipping) {
    chance::seed(seed);
    if (skipping) {
        chance::skip(count);
    } else {
        for (std::uint64_t i = 0; i < count; ++i)
            chance::draw();
    }
    std::vector<int> values(64);
    for (int& value : values)
        value = chance::draw();
    return values;
}

// A skip leaves the generator exactly where the draws would: stepping or jumping, at every
// position of the state's ring, also in two parts and after a reseed to the cached seed.
TEST(Chance, SkippingEqualsDrawing) {
    for (unsigned seed : {1u, 42u, 1765000000u}) {
        for (std::uint64_t count :
             {0, 1, 2, 3, 30, 31, 32, 62, 2047, 2048, 2049, 4000, 65536, 123457, 1000003}) {
            ASSERT_EQ(valuesAfter(seed, count, true), valuesAfter(seed, count, false))
                << seed << " " << count;
        }
        for (std::uint64_t first = 1; first < 40; first += 3) {
            chance::seed(seed);
            chance::skip(first);
            chance::skip(5000 - first);
            const int jumped = chance::draw();
            ASSERT_EQ(valuesAfter(seed, 5000, false).front(), jumped);
            ASSERT_EQ(valuesAfter(seed, 5000, true).front(), jumped) << first;
        }
    }
    // Past 2^32 draws the jump still counts every one (its ring position is count mod 31).
    chance::seed(7);
    chance::skip(std::uint64_t{1} << 33);
    const int far = chance::draw();
    chance::seed(7);
    for (int i = 0; i < 4; ++i)
        chance::skip(std::uint64_t{1} << 31);
    EXPECT_EQ(chance::draw(), far);
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
