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

    // The words form the sequence x[n] = x[n - 31] + x[n - 3] (mod 2^32), and the state holds
    // the last 31 of them, the oldest at `front`. The sequence is linear, so any later word is a
    // fixed combination of those 31: x[n + m] = sum of c[j] x[n + j] over j < 31, where c holds
    // the coefficients of x^m modulo x^31 - x^28 - 1. Every step is in wrapping 32-bit
    // arithmetic, as the generator's own, so the result is exactly the stepped one.
    void skip(std::uint64_t count) {
        if (count < kStepLimit) {
            for (std::uint64_t i = 0; i < count; ++i)
                next();
            return;
        }
        // x^count, by squaring; kept for the next skip of the same count (a display pass that
        // no one sees skips the same number of draws as the one before it).
        if (count != jumpCount_) {
            Polynomial base{};
            jump_ = Polynomial{};
            jump_[0] = 1;
            base[1] = 1;
            for (std::uint64_t m = count; m > 0; m >>= 1) {
                if (m & 1) jump_ = multiply(jump_, base);
                base = multiply(base, base);
            }
            jumpCount_ = count;
        }
        Polynomial power = jump_;
        // The oldest word of the new state is x[n + count] with x[n] the oldest word now; each
        // next one takes the coefficients times x.
        std::array<uint32_t, kDegree> now{};
        for (int j = 0; j < kDegree; ++j)
            now[j] = static_cast<uint32_t>(state_.words[(state_.front + j) % kDegree]);
        const int front = static_cast<int>((static_cast<std::uint64_t>(state_.front) + count) %
                                           static_cast<std::uint64_t>(kDegree));
        for (int k = 0; k < kDegree; ++k) {
            uint32_t word = 0;
            for (int j = 0; j < kDegree; ++j)
                word += power[j] * now[j];
            state_.words[(front + k) % kDegree] = static_cast<int32_t>(word);
            power = timesX(power);
        }
        state_.front = front;
        state_.rear = (front + kDegree - kSeparation) % kDegree;
    }

private:
    static constexpr int kDegree = 31;
    static constexpr int kSeparation = 3;
    // Below this many draws a skip steps through them: fewer operations than the jump's.
    static constexpr std::uint64_t kStepLimit = 2048;

    // Coefficients of a polynomial of degree below 31, lowest first, modulo 2^32.
    using Polynomial = std::array<uint32_t, kDegree>;

    // a x b modulo x^31 - x^28 - 1: from the top down, x^k becomes x^(k - 3) + x^(k - 31).
    static Polynomial multiply(const Polynomial& a, const Polynomial& b) {
        std::array<uint32_t, 2 * kDegree - 1> product{};
        for (int i = 0; i < kDegree; ++i) {
            if (a[i] == 0) continue;
            for (int j = 0; j < kDegree; ++j)
                product[i + j] += a[i] * b[j];
        }
        for (int k = 2 * kDegree - 2; k >= kDegree; --k) {
            product[k - kSeparation] += product[k];
            product[k - kDegree] += product[k];
        }
        Polynomial result{};
        for (int i = 0; i < kDegree; ++i)
            result[i] = product[i];
        return result;
    }

    // a x x modulo x^31 - x^28 - 1.
    static Polynomial timesX(const Polynomial& a) {
        Polynomial result{};
        const uint32_t top = a[kDegree - 1];
        for (int i = kDegree - 1; i > 0; --i)
            result[i] = a[i - 1];
        result[kDegree - kSeparation] += top;
        result[0] += top;
        return result;
    }

    struct State {
        std::array<int32_t, kDegree> words{};
        int front = 0;
        int rear = 0;
    };

    State state_;
    State cached_;
    Polynomial jump_{};
    std::uint64_t jumpCount_ = 0;  // what jump_ is x^ of; 0: none yet (a skip of 0 steps)
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

void skip(std::uint64_t count) {
    generator().skip(count);
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
