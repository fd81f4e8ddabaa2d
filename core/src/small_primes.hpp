// SPDX-License-Identifier: MIT
// pi(x) for small x from a table of the rough primes, derived from the wheel.
//
// Below 4 * 30030 = 120120 a count of its terms costs more (200 ns and up)
// than looking the answer up. Every prime from 17 on is rough, so a bit for
// each rough number below the bound, set where it is prime, tells pi(x):
//
//   small_prime_bits[w]    bit b: the rough number at wheel index 64w + b
//                          (1 has index 0; the index of m is C(m) - 1, with
//                          C(m) = #{1 <= k <= m : gcd(k, 30030) = 1}) is prime;
//   small_prime_before[w]  the primes among indices 0 ... 64w - 1.
//
// Then for 17 <= x < 120120, with c = C(x) (the rough numbers and 1 up to x,
// by count_rough_in_range), pi(x) = 6 + small_prime_before[c / 64] + the set
// bits of small_prime_bits[c / 64] below bit c mod 64: the six primes below
// 17, then the rough primes among the first c indices. Four periods of the
// wheel hold 4 * 5760 = 23040 rough numbers and 1: 360 words of bits, one
// more (zero) so that c = 23040 has a word, and 361 counts, 3610 bytes in
// all. Like the wheel tables they are static, zero until build_wheel_tables()
// fills them (after the wheel, whose gap cycle and prefix counts the sieve
// that fills them walks), and read-only afterwards.
#pragma once

#include "wheel.hpp"

#include <roughpi/prime_count.hpp>

#include <cstdint>

namespace roughpi {

inline constexpr std::int64_t SMALL_TABLE_LIMIT = 4 * WHEEL_MODULUS;  // pi(x) for x < 120120
static_assert(SMALL_TABLE_LIMIT == PRIME_TABLE_LIMIT, "the public bound is the table's");
inline constexpr std::int32_t SMALL_TABLE_WORDS = 4 * WHEEL_RESIDUES / 64 + 1;

extern std::uint64_t small_prime_bits[SMALL_TABLE_WORDS];
extern std::uint16_t small_prime_before[SMALL_TABLE_WORDS];

// Fills the two tables from the wheel tables, which must be filled: a sieve
// of Eratosthenes over the 23040 rough numbers below the bound, crossing off
// p * m for the rough primes p < sqrt(120120) and rough m >= p, about 19000
// bits in all. Called by build_wheel_tables only.
void fill_small_prime_table();

// The set bits of a 64-bit word, by adding neighbouring fields (the
// library is built for every x86-64, which need not have POPCNT, and where
// std::popcount is then a call into the compiler's run-time library).
inline int bit_count(std::uint64_t v)
{
    v -= (v >> 1) & 0x5555555555555555u;
    v = (v & 0x3333333333333333u) + ((v >> 2) & 0x3333333333333333u);
    v = (v + (v >> 4)) & 0x0f0f0f0f0f0f0f0fu;
    return static_cast<int>((v * 0x0101010101010101u) >> 56);
}

// pi(x) for 17 <= x < SMALL_TABLE_LIMIT. Requires the tables.
inline std::int64_t small_prime_count(std::int64_t x)
{
    ROUGHPI_ASSERT(x >= FIRST_ROUGH && x < SMALL_TABLE_LIMIT, "a small count outside the table");
    const auto c = static_cast<std::uint32_t>(count_rough_in_range(0, x));
    const std::uint64_t below = (std::uint64_t{1} << (c % 64)) - 1;
    return 6 + small_prime_before[c / 64] + bit_count(small_prime_bits[c / 64] & below);
}

}  // namespace roughpi
