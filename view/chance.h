// The program's one source of chance and of calendar time.
//
// The generator is the runtime library's srand/rand pair, shared by breeding, mutation and the
// jitter of the model drawing; the clock is the calendar time in whole seconds, which seeds it.
// Everything random or clock-dependent goes through here, so a test can seed the generator and
// set (or script) the clock.
#pragma once

#include <ctime>
#include <functional>

namespace chance {

// srand(seed).
void seed(unsigned int seed);

// rand(): a value in 0 .. RAND_MAX (at least 0 .. 32767).
int draw();

// The calendar time in whole seconds: time(nullptr), unless a test has set a clock.
std::time_t nowSeconds();

// Seeds the generator with nowSeconds().
void reseedFromClock();

// Replaces the calendar clock; an empty function restores the real one.
void setClock(std::function<std::time_t()> clock);

}  // namespace chance
