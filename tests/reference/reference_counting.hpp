// SPDX-License-Identifier: MIT
// The straightforward counting: each range count of the pair loop done on its
// own, with a 64-bit division, a reduction modulo 30030 and two table reads;
// the roots of the tuple walk in double precision with a small nudge, and the
// terms of pi(x) bounded by exact comparisons of powers of 17. It is the
// yardstick the fast routines of the core are checked against, value for
// value, and timed against.
#pragma once

#include <cstdint>

namespace roughpi::reference {

std::int64_t count_factor_pairs(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r);
std::int64_t count_factor_tuples(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r, std::int32_t k);
// pi(x) for 0 <= x <= 10^14.
std::int64_t prime_count(std::int64_t x);

}  // namespace roughpi::reference
