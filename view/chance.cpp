#include "view/chance.h"

#include <array>
#include <cstdint>
#include <utility>

namespace chance {
namespace {

// The runtime library's srand/rand generator (an additive feedback generator over the last 31
// words, seeded by a multiplicative congruential sequence and run 310 steps before use), kept
// here so that a reseed to the seed it already had costs a copy instead of a full start-up:
// breeding reseeds from the clock before every half-edge, mostly with the same second.
class Generator {
public:
    Generator() { seed(1); }

    void seed(unsigned int s) {
        if (s == cachedSeed_ && cacheValid_) {
            state_ = cached_;
            return;
        }
        std::array<int32_t, kDegree> r{};
        r[0] = static_cast<int32_t>(s == 0 ? 1 : s);
        for (int i = 1; i < kDegree; ++i) {
            // 16807 * r[i-1] mod (2^31 - 1), without overflow (Schrage's method).
            const int64_t hi = r[i - 1] / 127773;
            const int64_t lo = r[i - 1] % 127773;
            int64_t word = 16807 * lo - 2836 * hi;
            if (word < 0) word += 2147483647;
            r[i] = static_cast<int32_t>(word);
        }
        state_.words = r;
        state_.front = kSeparation;
        state_.rear = 0;
        for (int i = 0; i < 10 * kDegree; ++i)
            next();
        cached_ = state_;
        cachedSeed_ = s;
        cacheValid_ = true;
    }

    int next() {
        auto& w = state_.words;
        w[state_.front] = static_cast<int32_t>(static_cast<uint32_t>(w[state_.front]) +
                                               static_cast<uint32_t>(w[state_.rear]));
        const int result = static_cast<int>(static_cast<uint32_t>(w[state_.front]) >> 1);
        if (++state_.front == kDegree) state_.front = 0;
        if (++state_.rear == kDegree) state_.rear = 0;
        return result;
    }

private:
    static constexpr int kDegree = 31;
    static constexpr int kSeparation = 3;

    struct State {
        std::array<int32_t, kDegree> words{};
        int front = 0;
        int rear = 0;
    };

    State state_;
    State cached_;
    unsigned int cachedSeed_ = 0;
    bool cacheValid_ = false;
};

Generator& generator() {
    static Generator g;
    return g;
}

std::function<std::time_t()>& clockOverride() {
    static std::function<std::time_t()> clock;
    return clock;
}

}  // namespace

void seed(unsigned int s) {
    generator().seed(s);
}

int draw() {
    return generator().next();
}

std::time_t nowSeconds() {
    const auto& clock = clockOverride();
    return clock ? clock() : std::time(nullptr);
}

void reseedFromClock() {
    seed(static_cast<unsigned int>(nowSeconds()));
}

void setClock(std::function<std::time_t()> clock) {
    clockOverride() = std::move(clock);
}

}  // namespace chance
