// SPDX-License-Identifier: MIT
// Weighted counts of ordered factorisations into rough numbers.
//
// D_j(y) is the number of ordered j-tuples (n_1, ..., n_j) of rough numbers
// with n_1 * ... * n_j <= y. Rather than walking every ordered tuple, the
// routines walk the non-decreasing tuples only and weight each one by the
// number of its distinct orderings, the multinomial coefficient
// j! / (m_1! m_2! ...) over the multiplicities m of its equal entries.
//
// The weight is carried down the walk as w, together with the run parameter r
// (one more than the number of entries chosen so far that equal b, the last
// entry chosen). When a run of b's closes, w has been divided by r! along the
// way; every division is exact because what is left is a multinomial
// coefficient, or one times a factorial.
//
// The last two entries are never enumerated one by one: for a fixed first of
// the two, the admissible second entries are one count_rough_in_range().
//
//   D_2(y)  = count_factor_pairs(y, 17, 2, 1)
//   D_j(y)  = count_factor_tuples(y, 17, j!, 1, j)     for j >= 3
#pragma once

#include "loop/path_kernels.hpp"
#include "stop_poll.hpp"

#include <roughpi/counting_path.hpp>

#include <cstdint>

namespace roughpi::detail {

// count_factor_pairs(n, b, w, r): the weighted count of pairs (u, v) of rough
// numbers with b <= u <= v and u*v <= n:
//   (b, b)              weighs w / (r*(r+1))
//   (b, v),  v > b      weighs w / r
//   (u, u),  u > b      weighs w / 2
//   (u, v),  b < u < v  weighs w
//
// Requires: b rough, n >= b*b, 0 <= n < 2^63, w a multiple of r*(r+1) and of
// 2, and the wheel tables.
// Cost: one quotient per rough u in (b, sqrt(n)], about 0.19 * sqrt(n)
// constant-time steps; a few scalars of stack, no heap.
// Every path returns the same value.
//
// count_factor_tuples(n, b, w, r, k): the weighted count of non-decreasing
// k-tuples of rough numbers, each at least b, with product at most n,
// weighted as for count_factor_pairs (k >= 2).
//
// Requires: b rough, k >= 2, n >= b^k, 0 <= n < 2^63, w / r! exact along
// every run, and the wheel tables built. The count can pass 2^63 for n above
// about 10^17, so it is summed and returned in 128 bits.
// Cost: a walk over the non-decreasing choices of the first k-2 entries, each
// ending in one call of the pair routine; the calls with the smallest first
// entries dominate, so the time grows like sqrt(n) times a small factor.
// Recursion k-1 levels deep with a few scalars per level; no heap.
//
// (The tests have both in 64 bits, on the best path or a path named:
// tests/support/factor_counts_64.hpp.)

// count_factor_pairs in 128 bits: D_2(x), about 0.037 x ln(x/289) ordered
// pairs, passes 2^63 from about x = 6.6 10^18 on. Everywhere else in the walk the
// pair counts stay below 2^62: w <= (d+2)! and n <= x / 17^d after d entries,
// so w n <= 6 x / 17 for d >= 1, and a pair count is below 0.8 w n.
// Every routine below asks `stop` between stretches of its work (see
// stop_poll.hpp), and throws cancelled when the count is to stop.
wide_int count_factor_pairs_wide(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r,
                                 const path_kernels& kernels, stop_poll stop = {});

// count_factor_tuples, summed in 128 bits: a weighted count of triples or
// quadruples passes 2^63 from about x = 10^18 on.
wide_int count_factor_tuples_wide(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r, std::int32_t k,
                                  const path_kernels& kernels, stop_poll stop = {});

// The part of a k-tuple count whose first entry is a new value u (a run of
// length 1, so the weight is w): the sum of count_factor_tuples(n/u, u, w, 2, k-1)
// over the rough u with first <= u <= last and u^k <= n. `first` must be rough
// and `position` its place in the gap cycle.
wide_int sum_over_first_entries(std::int64_t n, std::int64_t w, std::int32_t k, std::int64_t first,
                                std::int32_t position, std::int64_t last, const path_kernels& kernels, stop_poll stop);

// A node of the walk: the non-decreasing k-tuples of rough numbers, each at
// least b, with product at most n, weighted as in count_factor_tuples (for
// k = 2, count_factor_pairs; for k = 1, the single entries v in [b, n], v = b
// weighing w / r and every other w).
struct walk_node {
    std::int64_t n;
    std::int64_t b;
    std::int64_t w;
    std::int32_t r;
    std::int32_t k;
};

// The part of a node's count whose first entry v lies in [first, last]:
// v = b goes on with the run of b's, and every rough v > b opens a new run. The
// whole count is the range [b, n]. Requires n >= b^k and the wheel tables.
wide_int count_node_range(const walk_node& node, std::int64_t first, std::int64_t last, const path_kernels& kernels,
                          stop_poll stop);

// The smallest rough number >= v, for v >= 17.
std::int64_t next_rough(std::int64_t v);

}  // namespace roughpi::detail
