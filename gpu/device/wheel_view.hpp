// SPDX-License-Identifier: MIT
// The wheel of the primes below 17 as the device reads it: the core's two
// tables (wheel.hpp), handed to the device once and read there from shared
// memory by the quotient loops, and from global memory by the rest.
//
// A rough number u (no prime factor below 17) is named on the device by its
// index: the number of integers below u coprime to 30030, 1 included, so
// that 17 has index 1, 19 index 2, and so on. The index of u is C(u) - 1,
// with C(m) the coprime integers in [1, m]; its place in the gap cycle is
// the index modulo 5760; and consecutive rough numbers have consecutive
// indices. A run of rough numbers is then an index and a count, the
// number of rough numbers in a range a difference of two C values, and the
// rough number of an index is found by a search of one period of the wheel.
#pragma once

#include "portable.hpp"

#include <cstdint>

namespace roughpi::gpu {

inline constexpr std::int64_t MODULUS = 30030;  // 2*3*5*7*11*13
inline constexpr std::int64_t RESIDUES = 5760;  // phi(30030)

struct wheel_view {
    // prefix[k] = #{1 <= m < k : gcd(m, 30030) = 1}, k = 0 ... 30030: for a
    // coprime residue r, its place among the 5760 of them.
    const std::uint16_t* prefix;
    // gaps[p]: from the coprime residue at place p to the next integer
    // coprime to 30030 (the last wraps round to 30031).
    const std::uint8_t* gaps;
};

// The integers in [1, v) coprime to 30030, for 0 <= v < 2^63: the index of
// v when v is rough.
ROUGHPI_HD inline std::int64_t coprimes_below(const wheel_view& wheel, std::int64_t v)
{
    const auto u = static_cast<std::uint64_t>(v);
    return static_cast<std::int64_t>(u / MODULUS) * RESIDUES + wheel.prefix[u % MODULUS];
}

// C(m), the integers in [1, m] coprime to 30030, for 0 <= m <= 2^63 - 1 (m
// + 1 is taken unsigned, as it is 2^63 for the largest m; C(m) < m).
ROUGHPI_HD inline std::int64_t coprimes_through(const wheel_view& wheel, std::int64_t m)
{
    const std::uint64_t h = static_cast<std::uint64_t>(m) + 1;
    return static_cast<std::int64_t>(h / MODULUS) * RESIDUES + wheel.prefix[h % MODULUS];
}

// The rough numbers in [lo, hi], for 17 <= lo <= hi + 1.
ROUGHPI_HD inline std::int64_t rough_in(const wheel_view& wheel, std::int64_t lo, std::int64_t hi)
{
    return coprimes_through(wheel, hi) - coprimes_below(wheel, lo);
}

// The rough number of index a >= 1: its period a / 5760, and in it the
// coprime residue r at place p = a mod 5760, the one with prefix[r] = p and
// prefix[r + 1] = p + 1: the least r with prefix[r + 1] > p, found by
// bisection of the non-decreasing table in 15 steps.
ROUGHPI_HD inline std::int64_t rough_at(const wheel_view& wheel, std::int64_t a)
{
    const std::int64_t p = a % RESIDUES;
    std::int32_t lo = 0;
    std::int32_t hi = static_cast<std::int32_t>(MODULUS) - 1;
    while (lo < hi) {
        const std::int32_t mid = (lo + hi) / 2;
        if (wheel.prefix[mid + 1] > p)
            hi = mid;
        else
            lo = mid + 1;
    }
    return a / RESIDUES * MODULUS + lo;
}

// The least rough number >= v, for 17 <= v below the last rough number
// under 2^63.
ROUGHPI_HD inline std::int64_t next_rough(const wheel_view& wheel, std::int64_t v)
{
    return rough_at(wheel, coprimes_below(wheel, v));
}

// The rough number after the rough number u, at its place in the gap cycle.
ROUGHPI_HD inline std::int64_t rough_after(const wheel_view& wheel, std::int64_t u)
{
    return u + wheel.gaps[wheel.prefix[u % MODULUS]];
}

}  // namespace roughpi::gpu
