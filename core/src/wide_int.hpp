// SPDX-License-Identifier: MIT
// A signed 128-bit integer for the sums that can pass 2^63: the weighted
// tuple counts D_j(y) and the term sums of pi(x) from about x = 10^18 on.
//
// Compilers with __int128 (gcc, clang) use it; elsewhere a two-word struct
// with just the operations the counting needs: add, subtract, negate, compare, exact
// division by a small positive integer, the product of two non-negative 64-bit
// integers, and conversion back to 64 bits.
#pragma once

#include <cstdint>

namespace roughpi {

// Two's complement in two 64-bit words; value = hi * 2^64 + lo.
struct portable_wide_int {
    std::uint64_t lo = 0;
    std::int64_t hi = 0;

    constexpr portable_wide_int() = default;
    constexpr portable_wide_int(std::int64_t v)  // NOLINT: implicit, like the built-in type
        : lo(static_cast<std::uint64_t>(v))
        , hi(v < 0 ? -1 : 0)
    {
    }

    constexpr portable_wide_int& operator+=(const portable_wide_int& b)
    {
        const std::uint64_t sum = lo + b.lo;
        hi = static_cast<std::int64_t>(static_cast<std::uint64_t>(hi) + static_cast<std::uint64_t>(b.hi) +
                                       (sum < lo ? 1u : 0u));
        lo = sum;
        return *this;
    }
    constexpr portable_wide_int operator-() const
    {
        portable_wide_int r;
        r.lo = ~lo + 1;
        r.hi = static_cast<std::int64_t>(~static_cast<std::uint64_t>(hi) + (r.lo == 0 ? 1u : 0u));
        return r;
    }
    constexpr portable_wide_int& operator-=(const portable_wide_int& b) { return *this += -b; }
    friend constexpr portable_wide_int operator+(portable_wide_int a, const portable_wide_int& b) { return a += b; }
    friend constexpr portable_wide_int operator-(portable_wide_int a, const portable_wide_int& b) { return a -= b; }
    friend constexpr bool operator==(const portable_wide_int& a, const portable_wide_int& b)
    {
        return a.lo == b.lo && a.hi == b.hi;
    }
    friend constexpr bool operator<(const portable_wide_int& a, const portable_wide_int& b)
    {
        return a.hi != b.hi ? a.hi < b.hi : a.lo < b.lo;
    }

    // Quotient by 1 <= d < 2^32, rounded toward zero.
    friend constexpr portable_wide_int operator/(const portable_wide_int& a, std::int64_t d)
    {
        const bool negative = a.hi < 0;
        const portable_wide_int m = negative ? -a : a;
        const auto divisor = static_cast<std::uint64_t>(d);
        // Long division in 32-bit digits, high to low.
        const std::uint64_t digits[4] = {static_cast<std::uint64_t>(m.hi) >> 32,
                                         static_cast<std::uint64_t>(m.hi) & 0xFFFFFFFFu, m.lo >> 32,
                                         m.lo & 0xFFFFFFFFu};
        std::uint64_t q[4] = {};
        std::uint64_t rest = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint64_t cur = (rest << 32) | digits[i];  // rest < divisor < 2^32
            q[i] = cur / divisor;
            rest = cur % divisor;
        }
        portable_wide_int r;
        r.hi = static_cast<std::int64_t>((q[0] << 32) | q[1]);
        r.lo = (q[2] << 32) | q[3];
        return negative ? -r : r;
    }

    // a * b for a, b >= 0, from four products of 32-bit halves.
    static constexpr portable_wide_int product(std::int64_t a, std::int64_t b)
    {
        const auto x = static_cast<std::uint64_t>(a);
        const auto y = static_cast<std::uint64_t>(b);
        const std::uint64_t x0 = x & 0xFFFFFFFFu, x1 = x >> 32;
        const std::uint64_t y0 = y & 0xFFFFFFFFu, y1 = y >> 32;
        const std::uint64_t p00 = x0 * y0, p01 = x0 * y1, p10 = x1 * y0, p11 = x1 * y1;
        const std::uint64_t middle = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
        portable_wide_int r;
        r.lo = (p00 & 0xFFFFFFFFu) | (middle << 32);
        r.hi = static_cast<std::int64_t>(p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32));
        return r;
    }

    // The value, which must fit in 64 bits.
    explicit constexpr operator std::int64_t() const { return static_cast<std::int64_t>(lo); }
};

// The value, rounded, for comparisons with a margin.
inline long double approximate(const portable_wide_int& v)
{
    return static_cast<long double>(v.hi) * 18446744073709551616.0L + static_cast<long double>(v.lo);
}
// a + b modulo 2^128: sums that came from outside may be anything, and must
// not overflow on the way to being checked. (The two words wrap already.)
constexpr portable_wide_int wrapping_sum(portable_wide_int a, const portable_wide_int& b) { return a += b; }
// a += b, or false (and a unchanged) when the sum does not fit in 128 bits.
inline bool add_within(portable_wide_int& a, const portable_wide_int& b)
{
    const portable_wide_int sum = a + b;
    // Overflow only when both have the same sign and the sum has the other.
    if ((a.hi < 0) == (b.hi < 0) && (sum.hi < 0) != (a.hi < 0))
        return false;
    a = sum;
    return true;
}

#if defined(__SIZEOF_INT128__)
__extension__ typedef __int128 wide_int;
__extension__ typedef unsigned __int128 wide_uint;
// a * b in 128 bits, for a, b >= 0.
constexpr wide_int wide_product(std::int64_t a, std::int64_t b) { return static_cast<wide_int>(a) * b; }
// The value high * 2^64 + low, and back.
constexpr wide_int wide_from_words(std::uint64_t low, std::int64_t high)
{
    return static_cast<wide_int>(static_cast<wide_uint>(static_cast<std::uint64_t>(high)) << 64 | low);
}
constexpr std::uint64_t low_word(wide_int v) { return static_cast<std::uint64_t>(v); }
constexpr std::int64_t high_word(wide_int v) { return static_cast<std::int64_t>(v >> 64); }
inline long double approximate(wide_int v) { return static_cast<long double>(v); }
constexpr wide_int wrapping_sum(wide_int a, wide_int b)
{
    return static_cast<wide_int>(static_cast<wide_uint>(a) + static_cast<wide_uint>(b));
}
inline bool add_within(wide_int& a, wide_int b) { return !__builtin_add_overflow(a, b, &a); }
#else
using wide_int = portable_wide_int;
constexpr wide_int wide_product(std::int64_t a, std::int64_t b) { return portable_wide_int::product(a, b); }
constexpr wide_int wide_from_words(std::uint64_t low, std::int64_t high)
{
    portable_wide_int v;
    v.lo = low;
    v.hi = high;
    return v;
}
constexpr std::uint64_t low_word(const wide_int& v) { return v.lo; }
constexpr std::int64_t high_word(const wide_int& v) { return v.hi; }
#endif

}  // namespace roughpi
