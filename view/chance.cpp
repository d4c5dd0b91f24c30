#include "view/chance.h"

#include <cstdlib>
#include <utility>

namespace chance {
namespace {

std::function<std::time_t()>& clockOverride() {
    static std::function<std::time_t()> clock;
    return clock;
}

}  // namespace

void seed(unsigned int s) { std::srand(s); }

int draw() { return std::rand(); }

std::time_t nowSeconds() {
    const auto& clock = clockOverride();
    return clock ? clock() : std::time(nullptr);
}

void reseedFromClock() { seed(static_cast<unsigned int>(nowSeconds())); }

void setClock(std::function<std::time_t()> clock) { clockOverride() = std::move(clock); }

}  // namespace chance
