// SPDX-License-Identifier: MIT
// The parts of a weighted pair count that need no loop, and how long the loop
// that remains is.
//
// count_factor_pairs(n, b, w, r) with s = floor(sqrt(n)) and C(m) the coprime
// integers up to m (see quotient_counts.hpp) splits as
//
//     base + w * (sum of C(n/u) over the K rough u in (b, s]  -  loop_offset)
//
// Internal linkage, for the same reason as the helpers of quotient_counts.hpp.
#pragma once

#include "quotient_counts.hpp"

#include "wheel.hpp"

#include <cstdint>

namespace roughpi::detail {

namespace {

struct pair_count_terms {
    std::int64_t base;         // the pairs (b, b), (b, v) and (u, u), weighted
    std::int64_t loop_count;   // K, the rough u in (b, s]; the loop runs only when K > 0
    std::int64_t loop_offset;  // K*C(b) + K(K+1)/2, the C(u) of those u
};

// The terms of count_factor_pairs(n, b, w, r), given s = floor(sqrt(n)),
// n_over_b = floor(n/b) and below_b = C(b) - 1, the coprime integers below b
// (each caller has its own cheap way to those).
inline pair_count_terms pair_terms(std::int64_t s, std::int64_t n_over_b, std::int64_t below_b, std::int64_t w,
                                   std::int32_t r)
{
    // Every count below is a difference of C values, each at most n.
    // Pairs with u = b: v runs over the rough numbers in (b, n/b], plus (b, b).
    const std::int64_t above_b = coprime_count_up_to(n_over_b) - below_b - 1;
    // Pairs (u, u) with b < u <= s.
    const std::int64_t squares = coprime_count_up_to(s) - below_b - 1;

    pair_count_terms t{};
    // Each product is a weight times a count of pairs, so at most the result,
    // below 2^62 (see factor_counts.hpp); for D_2(x) itself, whose result
    // can pass 2^63, the largest is 2 C(x/17) < 2^60.
    t.base = above_b * (w / r) + squares * (w / 2) + w / (r * (r + 1));
    if (squares <= 0)
        return t;

    // Pairs (u, v) with b < u < v <= n/u, each of weight w: for each of the K
    // rough u in (b, s], the rough v in (u, n/u], which is C(n/u) - C(u). The
    // i-th rough number after b has C(u) = C(b) + i, so those terms add up to
    // K*C(b) + K(K+1)/2 and only the quotients need a loop. The sum of the
    // C(n/u) is about R n (R (ln sqrt(n) + 3.0) - 1 - 1/17), R = 5760/30030,
    // below 0.73 n < 2^63 for every n < 2^63; K and C(b) are below 2^30, so
    // K*C(b) and K(K+1)/2 fit easily.
    const std::int64_t K = squares;
    t.loop_count = K;
    t.loop_offset = K * (below_b + 1) + K * (K + 1) / 2;
    return t;
}

}  // namespace

}  // namespace roughpi::detail
