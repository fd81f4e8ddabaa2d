// SPDX-License-Identifier: MIT
// The inner loop of the pair count, in one implementation per machine-code path.
//
// For the `count` consecutive rough numbers u starting at u0 (whose position in
// the gap cycle is q0), every implementation returns
//
//     sum over u of C(floor(n / u)),   C(m) = #{ 1 <= m' <= m : gcd(m', 30030) = 1 },
//
// and they all return the same value. The pair routine needs
// sum (C(n/u) - C(u-1) - 1), and the C(u-1) of consecutive rough numbers are
// consecutive integers, so that part is an arithmetic series and only the
// quotients need the loop.
//
// C(m) = floor((m+1) / 30030) * 5760 + wheel_prefix_count[(m+1) mod 30030].
#pragma once

#include <roughpi/counting_path.hpp>
#include "wide_int.hpp"
#include "wheel.hpp"

#include <cstdint>

namespace roughpi::detail {

// n < 2^63 - 1, u0 >= 17 rough, u0 at wheel position q0.
std::int64_t sum_quotient_counts_portable(std::int64_t n, std::int64_t u0, std::int32_t q0, std::int64_t count);

// The vector paths' kernels take the same arguments, for n <= MAX_VECTOR_N,
// and also run the pair counts under a node of the tuple walk as one stream
// (path_kernels.hpp); each is declared with its row of the table of paths
// (path_registry.cpp).

// Largest n for which floor(n/u) is the floor of the double quotient: below
// 2^53 the correctly rounded quotient never crosses an integer (the gap from
// n/u to the next integer is at least 1/u, the rounding error at most
// n/u * 2^-53 < 1/u).
inline constexpr std::int64_t MAX_EXACT_DOUBLE_N = (std::int64_t{1} << 53) - 1;

// Largest n for the vector paths, which also reduce the unrounded quotient
// modulo 30030 (see quotient_reduction.hpp): exact below 2^51.
inline constexpr std::int64_t MAX_VECTOR_N = (std::int64_t{1} << 51) - 1;

// The helpers below have internal linkage: the vector paths, compiled for
// other instruction sets, include them too, and an out-of-line copy of theirs
// (as an unoptimised build makes) must not stand in for the rest of the
// library's.
namespace {

// floor(n / d) for 0 <= n < 2^63, 1 <= d: by double-precision division
// while that is exact (n < 2^53), which is cheaper than a 64-bit divide.
inline std::int64_t exact_quotient(std::int64_t n, std::int64_t d)
{
    if (n <= MAX_EXACT_DOUBLE_N)
        return static_cast<std::int64_t>(static_cast<double>(n) / static_cast<double>(d));
    return n / d;
}

// C(m) for m >= 0.
inline std::int64_t coprime_count_up_to(std::int64_t m)
{
    const std::int64_t h = m + 1;
    if (h < WHEEL_MODULUS)  // no reduction needed
        return wheel_prefix_count[h];
    return h / WHEEL_MODULUS * WHEEL_RESIDUES + wheel_prefix_count[h % WHEEL_MODULUS];
}

}  // namespace

}  // namespace roughpi::detail
