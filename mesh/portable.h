// The few things the mesh and subdivision code takes from outside the C++ core language, chosen
// once for the whole build.
//
// By default: abseil's InlinedVector and flat_hash_map, and the standard library's
// floating-point from_chars. With CREATURES_PORTABLE defined (the browser build, whose
// toolchain has neither abseil nor a floating-point from_chars): Boost's header-only
// small_vector, std::unordered_map and strtod. Both choices give the same results: the maps are
// only looked up and filled, never walked in an order that reaches a result, and every decimal
// is rounded correctly by either parser.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <system_error>
#include <type_traits>

#if CREATURES_PORTABLE
#include <cctype>
#include <cstdlib>
#include <functional>
#include <string>
#include <unordered_map>

#include <boost/container/small_vector.hpp>
#else
#include <charconv>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>
#endif

#if CREATURES_PORTABLE

namespace portable {

// The state abseil's hashing hands to a type's AbslHashValue, so that key types written for
// abseil hash the same way here: each value mixed into a running 64-bit word.
struct HashState {
    uint64_t value = 0x84222325cbf29ce4ull;

    template <typename... T>
    static HashState combine(HashState h, const T&... parts) {
        ((h.value = (h.value ^ std::hash<T>{}(parts)) * 0x100000001b3ull), ...);
        return h;
    }
};

template <typename K>
struct Hash {
    size_t operator()(const K& key) const {
        if constexpr (std::is_integral_v<K>) {
            return std::hash<K>{}(key);
        } else {
            return static_cast<size_t>(AbslHashValue(HashState{}, key).value);
        }
    }
};

}  // namespace portable

template <typename T, size_t N>
using SmallVector = boost::container::small_vector<T, N>;

template <typename K, typename V>
using HashMap = std::unordered_map<K, V, portable::Hash<K>>;

#else

template <typename T, size_t N>
using SmallVector = absl::InlinedVector<T, N>;

template <typename K, typename V>
using HashMap = absl::flat_hash_map<K, V>;

#endif

// The bits of a float as a 32-bit unsigned integer.
inline uint32_t floatBits(float f) {
    static_assert(sizeof(float) == sizeof(uint32_t));
    uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// Reads the decimal number at the start of text: an optional '-', digits with an optional point
// and exponent, or inf / nan; the caller has dropped leading spaces and a '+' and ruled out
// hexadecimal. Returns std::errc() with the correctly rounded value, invalid_argument when text
// does not start with a number (value untouched), result_out_of_range when the number lies
// outside double's normal range.
inline std::errc parseDecimal(std::string_view text, double& value) {
#if CREATURES_PORTABLE
    // strtod would also skip spaces and read a '+', which from_chars does not; it needs a
    // terminated string.
    if (text.empty() || text[0] == '+' || std::isspace(static_cast<unsigned char>(text[0]))) {
        return std::errc::invalid_argument;
    }
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str()) return std::errc::invalid_argument;
    value = parsed;
    return errno == ERANGE ? std::errc::result_out_of_range : std::errc();
#else
    return std::from_chars(text.data(), text.data() + text.size(), value).ec;
#endif
}
