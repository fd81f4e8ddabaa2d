// SPDX-License-Identifier: MIT
// The step of the vector paths: eight consecutive rough numbers, their
// quotients in double precision, and the exact reduction of each quotient
// modulo 30030 for the table, with the proof that it is exact.
//
// Internal linkage, as for everything the vector paths share: each vector
// path compiles it for its own instruction set, and no copy may stand in for
// another.
#pragma once

#include <cstdint>

namespace roughpi::detail {

namespace {

// Rough numbers per step: eight gaps are read as one 64-bit word.
inline constexpr std::int32_t VECTOR_GROUP = 8;

// 1/30030 rounded up (the nearest double, 0x1.175746e8cba40p-15, lies below it).
inline constexpr double RECIPROCAL_OF_MODULUS = 0x1.175746e8cba41p-15;

// Reducing a quotient modulo 30030 without rounding it first. Let t be the
// double nearest n/u and q = floor(n/u) = floor(t) (see MAX_EXACT_DOUBLE_N).
// What the table needs is h = q + 1 = 30030 k + r with 0 <= r < 30030. The
// vector paths take
//
//     k = floor(fma(t, R, R)),   R = RECIPROCAL_OF_MODULUS,
//     r = trunc(t - 30030 k)     (one fused, exact operation; then truncated)
//
// k is right: (t+1)/30030 and (n/u+1)/30030 have the same floor, since no
// multiple of 30030 lies strictly between q+1 and n/u+1 < q+2; and the
// computed (t+1) R is off from (n/u+1)/30030 by less than (n/u)/30030 * 2^-51
// (the rounding of t, of R and of the product), which for n < 2^51 is below
// 1/(30030 u), the least distance from (n/u+1)/30030 to an integer when n/u is
// not one. When n/u is an integer the product is never below the true value
// (R is rounded up) and exceeds it by far less than 1/30030.
// r is right: t - 30030 k = (r - 1) + (t - q) with 0 <= t - q < 1, exact in
// one fused operation as it needs fewer bits than t. Truncated, that is r - 1
// when r >= 1, and -1 or 0 when r = 0. The table is read one entry on: at r,
// or at 0 or 1 for r = 0, whose entries are both 0, the entry at r = 0.
//
// A lane past the end of a loop divides 0 instead of n: t = 0, k = 0, and the
// entry one on from index 0 is 0.

// Quotients without the divider (the avx512rcp path). Where the vector
// divider is slow, q = floor(n/u) is taken from a reciprocal instead, for
// n <= MAX_VECTOR_N < 2^51 and 17 <= u < 2^26. It divides n' = n + 1/2
// (exact), whose quotient n'/u = q + (j + 1/2)/u, j = n mod u, lies at least
// 1/(2u) from every integer: so any y within 1/(2u) of n'/u has floor(y) = q,
// and no correction is needed afterwards. Every rounding is to nearest (s1
// ... s6 below, each |s| <= 2^-53):
//
//   x = rcp14(u)               e = 1 - u x exactly, |e| <= 2^-14
//   e' = fma(-u, x, 1)         = e (1 + s1)
//   h = n' x                   = n' x (1 + s2)
//   a = fma(e', e', e')        = (e' + e'^2)(1 + s3)
//   d = h e'                   = h e' (1 + s4)
//   t = fma(d, a, d)           = d (1 + a)(1 + s5)
//   y = fma(n', x, t)          = (n' x + t)(1 + s6)
//   q = floor(y)
//
// t is n' x (e + e^2 + e^3) within 4.1 2^-53 of itself (s1 changes each of
// e', e'^2, e'^3 by at most 3 2^-53 relatively, but e' + e'^2 + e'^3 by at
// most 1.0002 2^-53; s2, s4, s5 and s3, which moves 1 + a by under 2^-66,
// add the rest), and |t| <= n' x 2^-13.99, so t is off by at most
// n' x 2^-64.9. Since 1/u = x / (1 - e),
//
//   n' x (1 + e + e^2 + e^3) = (n'/u)(1 - e^4),
//
// so n' x + t, with the exact product of the last fma, is n'/u within
// (n'/u)(2^-56 + 2^-64.8) < (n'/u) 0.126 2^-53, and y, rounded once more,
// within (n'/u) 1.13 2^-53 < (1/u) 2^51 1.13 2^-53 < 0.29/u of it. (This is
// a fourth-order Newton step taken on the quotient, so that of its roundings
// only the last one counts in full.) So floor(y) = q, and q is reduced as t
// is above: k = floor(fma(q, R, R)) is floor((q + 1)/30030) by the same
// argument, q + 1 <= 2^51 being exact, and fma(-30030, k, q) = r - 1 exactly.
// The lanes past the end of a loop take q = 0, as t = 0 above.

// Byte i of the result is g_0 + ... + g_i: with g_0 the gap from the rough
// number before a group to the group's first, the distance from that number
// to the group's i-th. Multiplying by 0x0101...01 adds every byte into all the
// bytes above it; no byte overflows, as eight gaps add up to at most
// 8 * 22 = 176.
inline std::uint64_t inclusive_byte_sums(std::uint64_t gaps) { return gaps * 0x0101010101010101ull; }

// The integer total of lanes that each hold an exact integer below 2^51.
inline std::int64_t exact_lane_total(const double* lanes, int count)
{
    std::int64_t total = 0;
    for (int i = 0; i < count; ++i)
        total += static_cast<std::int64_t>(lanes[i]);
    return total;
}

// Groups between two flushes of the vector sum of the quotients of 30030. A
// lane adds at most one k <= n/(17 * 30030) < 2^33 per group, so it stays
// below 2^47, exact in a double; and the total of a flush, under
// 8 * 2^47 * 5760 < 2^63, fits in 64 bits.
inline constexpr std::int64_t FLUSH_GROUPS = std::int64_t{1} << 14;

}  // namespace

}  // namespace roughpi::detail
