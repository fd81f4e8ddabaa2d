// SPDX-License-Identifier: MIT
// The terms of the Moebius sum for pi(x).
//
//   pi(x) = 6 + sum_k S_k / k,   S_k = sum_{i*j=k} mu(i) (-1)^(j+1) D_j(floor(x^(1/i)))
//
// D_j(y) = 0 unless 17^j <= y, so the terms of x are the (i, j) with
// mu(i) != 0 and 17^(i*j) <= x: i*j <= log_17(2^63) < 16, and every index k
// fits the 32 term sums.
#pragma once

#include "roots.hpp"
#include "wheel.hpp"
#include "wide_int.hpp"

#include <cstdint>

namespace roughpi::detail {

// mu(0) is a placeholder; mu(n) for n = 1 ... 28.
inline constexpr std::int32_t MOBIUS_TABLE[29] = {0, 1, -1, -1, 0,  -1, 1, -1, 0,  0, 1, -1, 0, -1, 1,
                                                  1, 0, -1, 0,  -1, 0,  1, 1,  -1, 0, 0, 1,  0, 0};

// pi(0) ... pi(16).
inline constexpr std::int32_t SMALL_PRIME_COUNT_TABLE[17] = {0, 0, 1, 2, 2, 3, 3, 4, 4, 4, 4, 5, 5, 6, 6, 6, 6};

// Number of term sums S_0 ... S_31 (S_0 unused).
inline constexpr int TERM_SUMS = 32;

// k! for k = 0 ... 20; 20! < 2^63.
constexpr std::int64_t factorial(int k) { return k <= 1 ? 1 : k * factorial(k - 1); }

// One term mu(i) (-1)^(j+1) D_j(floor(x^(1/i))), which belongs to S_{i*j}.
struct term {
    std::int32_t i;
    std::int32_t j;
    std::int64_t y;     // floor(x^(1/i))
    std::int32_t sign;  // mu(i) (-1)^(j+1)
};

// Calls visit(term) for every term of x, in order of i, then j.
template <typename Visit>
void for_each_term(std::int64_t x, Visit&& visit)
{
    for (std::int32_t i = 1; power_at_most(FIRST_ROUGH, i, x); ++i) {
        if (MOBIUS_TABLE[i] == 0)
            continue;
        const std::int64_t y = floor_root(x, i);
        for (std::int32_t j = 1; power_at_most(FIRST_ROUGH, j, y); ++j)
            visit(term{i, j, y, MOBIUS_TABLE[i] * (j % 2 == 1 ? 1 : -1)});
    }
}

// pi(x) = 6 + sum_k S_k / k from the term sums of x (every division exact),
// or the table value for x < 17; 0 for every x < 2. Throws internal_error
// when the result is outside the proven bounds on pi(x) (prime_bounds.hpp).
std::int64_t pi_from_term_sums(std::int64_t x, const wide_int (&sums)[TERM_SUMS]);

}  // namespace roughpi::detail
