// The program's one source of chance and of calendar time.
//
// The generator has the runtime library's srand/rand interface and sequence (values 0 to
// 2^31 - 1, the same numbers glibc's rand gives after the same srand), shared by breeding,
// mutation and the jitter of the model drawing; the clock is the calendar time in whole
// seconds, which seeds it.
// Everything random or clock-dependent goes through here, so a test can seed the generator and
// set (or script) the clock.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>

namespace chance {

// srand(seed).
void seed(unsigned int seed);

// rand(): a value in 0 .. 2^31 - 1.
int draw();

// Leaves the generator as `count` calls of draw() would, without making them: in time that grows
// with the logarithm of count once it is large. For a caller that must use up draws whose values
// it has no use for.
void skip(std::uint64_t count);

// The calendar time in whole seconds: time(nullptr), unless a test has set a clock.
std::time_t nowSeconds();

// Seeds the generator with nowSeconds().
void reseedFromClock();

// Replaces the calendar clock; an empty function restores the real one.
void setClock(std::function<std::time_t()> clock);

}  // namespace chance
