// SPDX-License-Identifier: MIT
// Balls of fixed-point numbers, for the estimates that must be exact
// (estimates.cpp): a value in binary fixed point, and a radius in double that
// bounds, with proof, how far the true number may be from it.
//
// The value is W 32-bit words of two's complement, least significant first:
// two words of integer part and W - 2 of fraction, so a value v is an integer
// multiple of ULP = 2^-F, F = 32 (W - 2), with |v| < 2^63. Only the basic
// operations of integers are used, so the value comes out the same on every
// compiler and machine. Each operation on balls says what it adds to the
// radius:
//
//   a + b, a - b             exact;       radius ra + rb
//   a * b                    truncated;   radius |a| rb + |b| ra + ra rb + ULP
//   a / d  (integer d > 0)   truncated;   radius ra / d + ULP
//   a / b                    truncated;   radius (ra + |a/b| rb) / (|b| - rb) + ULP
//
// (for a / b: with A = a + alpha, B = b + beta, A/B - a/b = (alpha - (a/b)
// beta) / B, and |B| >= |b| - rb). A truncation moves the value toward zero
// by less than ULP, and sums, products and quotients by integers are exact
// while the values stay below 2^63, which is checked.
//
// The radii themselves are worked out in double precision, which rounds. Each
// radius formula above takes fewer than 30 roundings, each of them at most a
// factor (1 - 2^-53) low, and the result is then multiplied by 1 + 2^-40
// (up() below); (1 - 2^-53)^31 (1 + 2^-40) > 1, so every radius, as
// computed, is at least the exact formula applied to radii that were
// themselves at least the true errors: by induction it bounds the true error.
// The radii stay far from the range where double precision underflows (they
// are at least ULP >= 2^-512) or overflows. Fused multiply-adds, and x87's
// wider registers, only round less, and round to nearest either way, so
// neither compiler contraction nor the machine can make a radius too small
// (roughpi's x86-64 builds use SSE2 in any case).
#pragma once

#include "refusal.hpp"

#include <array>
#include <cmath>
#include <cstdint>

namespace roughpi::detail {

template <int W>
struct fixed {
    static_assert(W >= 4 && W <= 18, "two words of integer part, at least two of fraction");
    static constexpr int FRACTION_BITS = 32 * (W - 2);

    std::array<std::uint32_t, W> word{};

    static fixed integer(std::int64_t n)
    {
        fixed f;
        const auto u = static_cast<std::uint64_t>(n);
        f.word[W - 2] = static_cast<std::uint32_t>(u);
        f.word[W - 1] = static_cast<std::uint32_t>(u >> 32);
        return f;
    }
    // 2^e, for -F <= e <= 62.
    static fixed power_of_two(int e)
    {
        fixed f;
        const int bit = e + FRACTION_BITS;
        f.word[static_cast<std::size_t>(bit / 32)] = std::uint32_t{1} << (bit % 32);
        return f;
    }

    bool negative() const { return (word[W - 1] >> 31) != 0; }
    bool zero() const
    {
        for (const std::uint32_t w : word)
            if (w != 0)
                return false;
        return true;
    }
    // floor(v), which in two's complement is the integer part's words.
    std::int64_t floor() const { return static_cast<std::int64_t>((std::uint64_t{word[W - 1]} << 32) | word[W - 2]); }
    // The first 64 bits of v - floor(v): it lies in [f, f + 1) 2^-64.
    std::uint64_t fraction_bits() const { return (std::uint64_t{word[W - 3]} << 32) | word[W - 4]; }

    friend fixed operator+(const fixed& a, const fixed& b)
    {
        fixed r;
        std::uint64_t carry = 0;
        for (int i = 0; i < W; ++i) {
            const std::uint64_t t = std::uint64_t{a.word[i]} + b.word[i] + carry;
            r.word[i] = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
        if (a.negative() == b.negative() && r.negative() != a.negative())
            fail_internally("fixed-point sum out of range");
        return r;
    }
    friend fixed operator-(const fixed& a)
    {
        fixed r;
        std::uint64_t carry = 1;
        for (int i = 0; i < W; ++i) {
            const std::uint64_t t = std::uint64_t{static_cast<std::uint32_t>(~a.word[i])} + carry;
            r.word[i] = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
        return r;
    }
    friend fixed operator-(const fixed& a, const fixed& b) { return a + -b; }
    fixed magnitude() const { return negative() ? -*this : *this; }
    fixed with_sign(bool make_negative) const { return make_negative ? -*this : *this; }

    // |v| rounded, then a relative 2^-40 up: at most W roundings of at most
    // 2^-53 each, so above |v|. The scaling by 2^-F is exact.
    double magnitude_above() const
    {
        const fixed m = magnitude();
        double d = 0;
        for (int i = W - 1; i >= 0; --i)
            d = d * 4294967296.0 + m.word[static_cast<std::size_t>(i)];
        return std::ldexp(d, -FRACTION_BITS) * (1 + 0x1p-40);
    }
    // Likewise, below |v|.
    double magnitude_below() const { return magnitude_above() * (1 - 0x1p-39); }
};

// Truncated products and quotients of the magnitudes, sign applied after.
template <int W>
fixed<W> operator*(const fixed<W>& a, const fixed<W>& b)
{
    const fixed<W> x = a.magnitude();
    const fixed<W> y = b.magnitude();
    std::array<std::uint32_t, 2 * W> p{};
    for (int i = 0; i < W; ++i) {
        if (x.word[i] == 0)
            continue;
        std::uint64_t carry = 0;
        for (int j = 0; j < W; ++j) {
            const std::uint64_t t = std::uint64_t{x.word[i]} * y.word[j] + p[i + j] + carry;
            p[i + j] = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
        p[i + W] = static_cast<std::uint32_t>(carry);
    }
    fixed<W> r;
    for (int i = 0; i < W; ++i)
        r.word[i] = p[i + W - 2];
    if (p[2 * W - 2] != 0 || p[2 * W - 1] != 0 || r.negative())
        fail_internally("fixed-point product out of range");
    return r.with_sign(a.negative() != b.negative());
}

template <int W>
fixed<W> operator*(const fixed<W>& a, std::uint32_t n)
{
    fixed<W> m = a.magnitude();
    std::uint64_t carry = 0;
    for (int i = 0; i < W; ++i) {
        const std::uint64_t t = std::uint64_t{m.word[i]} * n + carry;
        m.word[i] = static_cast<std::uint32_t>(t);
        carry = t >> 32;
    }
    if (carry != 0 || m.negative())
        fail_internally("fixed-point product out of range");
    return m.with_sign(a.negative());
}

template <int W>
fixed<W> operator/(const fixed<W>& a, std::uint32_t d)
{
    fixed<W> m = a.magnitude();
    std::uint64_t remainder = 0;
    for (int i = W - 1; i >= 0; --i) {
        const std::uint64_t current = (remainder << 32) | m.word[i];
        m.word[i] = static_cast<std::uint32_t>(current / d);
        remainder = current % d;
    }
    return m.with_sign(a.negative());
}

// Truncated a / b for b != 0: the digits of |a| 2^F / |b|, one bit at a
// time.
template <int W>
fixed<W> operator/(const fixed<W>& a, const fixed<W>& b)
{
    const fixed<W> x = a.magnitude();
    const fixed<W> y = b.magnitude();
    constexpr int NUMERATOR_WORDS = 2 * W - 2;  // |a| 2^F
    std::array<std::uint32_t, W + 1> remainder{};
    std::array<std::uint32_t, NUMERATOR_WORDS> quotient{};
    int top = W - 1;  // the bits above x's highest nonzero word are 0, and so are their quotient digits
    while (top > 0 && x.word[static_cast<std::size_t>(top)] == 0)
        --top;
    for (int bit = 32 * (top + W - 1) - 1; bit >= 0; --bit) {
        const int word = bit / 32 - (W - 2);
        const std::uint32_t next = word >= 0 ? (x.word[static_cast<std::size_t>(word)] >> (bit % 32)) & 1 : 0;
        for (int i = W; i > 0; --i)
            remainder[i] = (remainder[i] << 1) | (remainder[i - 1] >> 31);
        remainder[0] = (remainder[0] << 1) | next;
        bool at_least = remainder[W] != 0;
        if (!at_least) {
            at_least = true;
            for (int i = W - 1; i >= 0; --i)
                if (remainder[i] != y.word[i]) {
                    at_least = remainder[i] > y.word[i];
                    break;
                }
        }
        if (at_least) {
            std::int64_t borrow = 0;
            for (int i = 0; i <= W; ++i) {
                const std::int64_t t = std::int64_t{remainder[i]} - (i < W ? std::int64_t{y.word[i]} : 0) - borrow;
                remainder[i] = static_cast<std::uint32_t>(t);
                borrow = t < 0 ? 1 : 0;
            }
            quotient[static_cast<std::size_t>(bit / 32)] |= std::uint32_t{1} << (bit % 32);
        }
    }
    fixed<W> r;
    for (int i = 0; i < W; ++i)
        r.word[i] = quotient[i];
    for (int i = W; i < NUMERATOR_WORDS; ++i)
        if (quotient[i] != 0)
            fail_internally("fixed-point quotient out of range");
    if (r.negative())
        fail_internally("fixed-point quotient out of range");
    return r.with_sign(a.negative() != b.negative());
}

// The radius formulas' last step: a relative 2^-40 up (see the top).
inline double up(double r) { return r * (1 + 0x1p-40); }

template <int W>
struct ball {
    static constexpr double ULP = [] {
        double u = 1;
        for (int i = 0; i < W - 2; ++i)
            u *= 0x1p-32;
        return u;
    }();

    fixed<W> value;
    double radius = 0;

    static ball exact(std::int64_t n) { return {fixed<W>::integer(n), 0}; }
    // |v| + r: above every number in the ball.
    double above() const { return up(value.magnitude_above() + radius); }

    friend ball operator-(const ball& a) { return {-a.value, a.radius}; }
    friend ball operator+(const ball& a, const ball& b) { return {a.value + b.value, up(a.radius + b.radius)}; }
    friend ball operator-(const ball& a, const ball& b) { return {a.value - b.value, up(a.radius + b.radius)}; }
    friend ball operator*(const ball& a, const ball& b)
    {
        return {a.value * b.value,
                up(a.value.magnitude_above() * b.radius + b.value.magnitude_above() * a.radius + a.radius * b.radius +
                   ULP)};
    }
    friend ball operator*(const ball& a, std::uint32_t n) { return {a.value * n, up(a.radius * n)}; }
    // By n = n1 2^32 + n0 < 2^64, as (a n1) 2^16 2^16 + a n0.
    friend ball operator*(const ball& a, std::uint64_t n)
    {
        const auto high = static_cast<std::uint32_t>(n >> 32);
        return a * high * std::uint32_t{1 << 16} * std::uint32_t{1 << 16} + a * static_cast<std::uint32_t>(n);
    }
    friend ball operator/(const ball& a, std::uint32_t d) { return {a.value / d, up(a.radius / d + ULP)}; }
    friend ball operator/(const ball& a, const ball& b)
    {
        // Below |b| - rb: the difference rounds up by at most 2^-53 relative.
        const double below = (b.value.magnitude_below() - b.radius) * (1 - 0x1p-40);
        if (!(below > 0))
            fail_internally("fixed-point division by a ball around 0");
        const fixed<W> q = a.value / b.value;
        return {q, up((a.radius + (q.magnitude_above() + ULP) * b.radius) / below + ULP)};
    }
};

}  // namespace roughpi::detail
