#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "view/chance.h"

namespace {

// The program's generator gives the runtime library's rand sequence for every seed, also when a
// seed follows any other in the middle of a sequence: the same seed again (its cached start), 0
// after another seed, 1 after 0, which starts the same sequence.
TEST(Chance, MatchesTheRuntimeGenerator) {
    const unsigned seeds[] = {0u, 1u, 2u, 42u, 1765000000u, 4294967295u};
    for (unsigned first : seeds) {
        for (unsigned then : seeds) {
            for (unsigned seed : {first, then}) {
                chance::seed(seed);
                std::srand(seed);
                for (int i = 0; i < 1000; ++i)
                    ASSERT_EQ(chance::draw(), std::rand()) << first << " then " << seed << " " << i;
            }
        }
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

// Before any seed the draws are those of the runtime library before any srand: seed 1. Checked in
// a fresh process, where nothing has drawn or seeded yet.
TEST(ChanceDeathTest, DrawsBeforeAnySeedAreThoseOfSeedOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            for (int i = 0; i < 100; ++i) {
                if (chance::draw() != std::rand()) std::exit(1);
            }
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(Chance, TheClockCanBeSetAndRestored) {
    chance::setClock([] { return std::time_t{12345}; });
    EXPECT_EQ(chance::nowSeconds(), 12345);
    chance::reseedFromClock();
    const int a = chance::draw();
    chance::seed(12345);
    EXPECT_EQ(chance::draw(), a);
    // A clock at 0 seeds with 0 too, whatever seed came before.
    chance::setClock([] { return std::time_t{0}; });
    chance::seed(42);
    chance::reseedFromClock();
    std::srand(0);
    EXPECT_EQ(chance::draw(), std::rand());
    chance::setClock({});
    EXPECT_GT(chance::nowSeconds(), 1700000000);
}

}  // namespace
