// The walk over the first entries of the tuple counts, in the exact 128-bit
// form that pi(x) needs up to x = 10^18, and split so that the top level can be
// counted a range of first entries at a time.
#pragma once

#include <roughpi/counting_path.hpp>
#include <roughpi/wide_int.hpp>

#include <cstdint>

namespace roughpi::detail {

// count_factor_tuples, summed in 128 bits: near n = 10^18 a weighted count of
// triples or quadruples can pass 2^63. The pair counts at the leaves stay
// below 2^61: about w * n * ln(n) / 54 pairs' worth, and w * n <= 2 * 10^18
// (w <= (d+2)! and n <= x / 17^d after d entries, largest at d = 0).
wide_int count_factor_tuples_wide(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r,
                                  std::int32_t k, counting_path path);

// The part of a k-tuple count whose first entry is a new value u (a run of
// length 1, so the weight is w): the sum of count_factor_tuples(n/u, u, w, 2, k-1)
// over the rough u with first <= u <= last and u^k <= n. `first` must be rough
// and `position` its place in the gap cycle.
wide_int sum_over_first_entries(std::int64_t n, std::int64_t w, std::int32_t k, std::int64_t first,
                                std::int32_t position, std::int64_t last, counting_path path);

}  // namespace roughpi::detail
