// SPDX-License-Identifier: MIT
// The quotient loop of a pair count, as the device runs it: the sum of
// C(floor(m / u)) over a stretch of consecutive rough numbers u, with C(q)
// the integers in [1, q] coprime to 30030,
//
//     C(q) = 5760 floor((q + 1) / 30030) + prefix[(q + 1) mod 30030],
//
// so that a loop is a division, a reduction modulo 30030 and a table read
// per rough number. Below 2^51 the quotient is a double and the reduction
// two fused multiply-adds (the argument is below); above, where few loops
// are (their dividend is the largest terms' x over a few hundred small u),
// both are integer divisions.
#pragma once

#include "portable.hpp"
#include "wheel_view.hpp"

#include <cstdint>

namespace roughpi::gpu {

// The largest dividend whose quotients are reduced in double precision.
inline constexpr std::int64_t MAX_REDUCED_DIVIDEND = (std::int64_t{1} << 51) - 1;

// 1/30030 rounded up (the nearest double, 0x1.175746e8cba40p-15, lies below it).
inline constexpr double RECIPROCAL_OF_MODULUS = 0x1.175746e8cba41p-15;

// Quotients whose periods are added up in a double before they go into an
// integer: each k below is under 2^33, so 2^20 of them stay under 2^53,
// where every integer is a double.
inline constexpr std::int64_t PERIOD_BLOCK = std::int64_t{1} << 20;

// The sum of C(floor(m / u)) over `count` consecutive rough u, the first of
// index a (wheel_view.hpp). Requires count >= 0, m < 2^63, and every u at
// most sqrt(m) (so below 2^32, and exact in a double): the loops of pair
// counts. The sum is below 2^63: it is at most that of the whole loop it is
// part of, the C(m/u) over the rough u in (b, sqrt(m)], which is below 0.73 m
// (the core's pair_count_terms.hpp).
ROUGHPI_HD inline std::int64_t quotient_counts(const wheel_view& wheel, std::int64_t m, std::int64_t a,
                                               std::int64_t count)
{
    std::int64_t u = rough_at(wheel, a);
    std::int32_t p = static_cast<std::int32_t>(a % RESIDUES);
    std::int64_t periods = 0;  // the sum of floor((q + 1) / 30030)
    std::int64_t table = 0;    // the sum of prefix[(q + 1) mod 30030], each below 5760
    if (m <= MAX_REDUCED_DIVIDEND) {
        // Let t be the double nearest m/u (one correctly rounded division)
        // and q = floor(m/u). What the table needs is q + 1 = 30030 k + r
        // with 0 <= r < 30030; the loop takes
        //
        //     k = floor(fma(t, R, R)),   R = RECIPROCAL_OF_MODULUS,
        //     i = trunc(fma(-30030, k, t))   (one fused operation, truncated)
        //
        // q = floor(t): below 2^53 the gap from m/u to the next integer is at
        // least 1/u when m/u is not one, and the rounding moves t by at most
        // (m/u) 2^-53 < 1/u; when m/u is an integer, t is that integer.
        // k is right: (t+1)/30030 and (m/u+1)/30030 have the same floor, as
        // no multiple of 30030 lies strictly between q + 1 and m/u + 1 < q + 2;
        // and the computed (t + 1) R is off from (m/u + 1)/30030 by less than
        // (m/u)/30030 * 2^-51 (the roundings of t, of R and of the product),
        // which for m < 2^51 is below 1/(30030 u), the least distance from
        // (m/u + 1)/30030 to an integer when m/u is not one. When m/u is an
        // integer the product is never below the true value (R is rounded up)
        // and exceeds it by far less than 1/30030.
        // i is right: t - 30030 k = (r - 1) + (t - q) with 0 <= t - q < 1,
        // an exact double (its magnitude is below t's, and t - q is a multiple
        // of t's last place), so the fused operation makes no rounding.
        // Truncated, that is r - 1 when r >= 1, and -1 or 0 when r = 0; the
        // table is read one entry on, at r, or at 0 or 1 for r = 0, whose
        // entries are both 0, the entry at r = 0.
        const auto dividend = static_cast<double>(m);
        while (count > 0) {
            const std::int64_t block = count < PERIOD_BLOCK ? count : PERIOD_BLOCK;
            double block_periods = 0.0;
            for (std::int64_t i = 0; i < block; ++i) {
                const double t = dividend / static_cast<double>(u);
                const double k = round_down(fused_multiply_add(t, RECIPROCAL_OF_MODULUS, RECIPROCAL_OF_MODULUS));
                block_periods += k;
                table += wheel.prefix[static_cast<std::int32_t>(fused_multiply_add(-30030.0, k, t)) + 1];
                u += wheel.gaps[p];
                p = p + 1 == RESIDUES ? 0 : p + 1;
            }
            periods += static_cast<std::int64_t>(block_periods);
            count -= block;
        }
    } else {
        // Integer division: q + 1 <= m/17 + 1 < 2^63, and the reduction of
        // it by the constant 30030 is exact by definition.
        const auto dividend = static_cast<std::uint64_t>(m);
        for (std::int64_t i = 0; i < count; ++i) {
            const std::uint64_t h = dividend / static_cast<std::uint64_t>(u) + 1;
            const std::uint64_t k = h / MODULUS;
            periods += static_cast<std::int64_t>(k);
            table += wheel.prefix[h - k * MODULUS];
            u += wheel.gaps[p];
            p = p + 1 == RESIDUES ? 0 : p + 1;
        }
    }
    return periods * RESIDUES + table;
}

}  // namespace roughpi::gpu
