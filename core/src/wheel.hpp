// SPDX-License-Identifier: MIT
// The wheel of the primes below 17, and constant-time counting of rough numbers.
//
// A rough number is an integer greater than 1 with no prime factor below 17,
// which is the same as an integer greater than 1 that is coprime to
// 30030 = 2*3*5*7*11*13. Coprimality to 30030 depends only on the residue
// modulo 30030, so one period of the wheel describes every rough number:
//
//   wheel_prefix_count[k]  number of m with 1 <= m < k and gcd(m, 30030) = 1,
//                          for k = 0 ... 30030. For a coprime residue r it is
//                          the 0-based position of r among the 5760 coprime
//                          residues: the "wheel index" of r.
//   wheel_gaps[p]          distance from the coprime residue at position p to
//                          the next integer coprime to 30030 (the gap cycle).
//
// Both tables are static storage of fixed size (about 64 KB in all), zero until
// build_wheel_tables() fills them, and read-only afterwards. Nothing in them
// depends on the input of any count. They are internal to the library: every
// public entry point makes sure they are built (ensure_wheel_tables) before it
// reads them, and everything below assumes it.
#pragma once

#include "assertion.hpp"
#include <atomic>
#include <cstdint>

namespace roughpi {

inline constexpr std::int64_t WHEEL_MODULUS = 30030;  // 2*3*5*7*11*13
inline constexpr std::int32_t WHEEL_RESIDUES = 5760;  // phi(30030)
inline constexpr std::int64_t FIRST_ROUGH = 17;       // smallest rough number
// The share of the integers coprime to 30030: the rough numbers in a long
// stretch above 17 are about this share of its length.
inline constexpr double ROUGH_DENSITY = static_cast<double>(WHEEL_RESIDUES) / WHEEL_MODULUS;

extern std::uint16_t wheel_prefix_count[WHEEL_MODULUS + 1];
extern std::uint8_t wheel_gaps[WHEEL_RESIDUES];

// Fills wheel_prefix_count and wheel_gaps, then from them the table of the
// small primes (small_primes.hpp), the first time only (declared in the
// public prime_count.hpp). Cost: about 15000 candidate tests and 19000 bits
// crossed off, well under a millisecond; no heap.
void build_wheel_tables();

// True once the tables are built; set (with release order) after the last
// write to them.
extern std::atomic<bool> wheel_tables_ready;

// Builds the tables unless they are built already: one load on the way of
// every public call. A thread that finds them being built by another waits
// for that build to finish, so no table is read half written.
inline void ensure_wheel_tables()
{
    if (!wheel_tables_ready.load(std::memory_order_acquire)) [[unlikely]]
        build_wheel_tables();
}

// Number of integers m with lo <= m <= hi and gcd(m, 30030) = 1.
//
// Valid for 0 <= lo <= hi + 1 (the empty range hi = lo - 1 gives 0), every hi
// up to 2^63 - 1. With lo >= 17 this is the number of rough numbers in
// [lo, hi]; for lo <= 1 the integer 1 is counted as well.
// Cost: constant time (at most two table reads and two divisions by 30030),
// no memory beyond the wheel tables. Requires the tables.
inline std::int64_t count_rough_in_range(std::int64_t lo, std::int64_t hi)
{
    // With C(n) = #{1 <= m <= n coprime} = ((n+1) div 30030)*5760 + prefix[(n+1) mod 30030],
    // the answer is C(hi) - C(lo - 1). h = hi + 1 is taken unsigned, as it
    // reaches 2^63 for hi = 2^63 - 1; every product is below h * 5760/30030 < 2^63.
    ROUGHPI_ASSERT(lo >= 0 && (lo <= hi || lo - 1 == hi), "a count of rough numbers in a range that is none");
    constexpr auto modulus = static_cast<std::uint64_t>(WHEEL_MODULUS);
    const std::uint64_t h = static_cast<std::uint64_t>(hi) + 1;
    if (h < modulus)
        return std::int64_t{wheel_prefix_count[h]} - wheel_prefix_count[lo];
    const std::uint64_t r = h % modulus;
    const auto whole_periods = static_cast<std::int64_t>(h / modulus);
    if (lo < WHEEL_MODULUS)
        return whole_periods * WHEEL_RESIDUES + wheel_prefix_count[r] - wheel_prefix_count[lo];
    const std::int64_t l = lo % WHEEL_MODULUS;
    return (whole_periods - lo / WHEEL_MODULUS) * WHEEL_RESIDUES + wheel_prefix_count[r] - wheel_prefix_count[l];
}

// Position in the gap cycle that follows position p (5759 wraps to 0).
inline std::int32_t next_wheel_position(std::int32_t p)
{
    ROUGHPI_ASSERT(p >= 0 && p < WHEEL_RESIDUES, "a position outside the gap cycle");
    return p + 1 == WHEEL_RESIDUES ? 0 : p + 1;
}

}  // namespace roughpi
