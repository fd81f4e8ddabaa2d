// pi(x), the number of primes p <= x, counted without a sieve.
//
// The count combines weighted counts of ordered factorisations into rough
// numbers (see factor_counts.hpp) by Linnik's identity and Moebius inversion:
//
//   Pi(y)  = sum_{j>=1} (-1)^(j+1)/j * D_j(y)        prime powers p^m <= y with
//                                                    p >= 17, weighted 1/m
//   pi(x)  = 6 + sum_{i>=1} mu(i)/i * Pi(x^(1/i))     6 counts 2, 3, 5, 7, 11, 13
//
// Grouped by k = i*j this is pi(x) = 6 + sum_k S_k / k with
// S_k = sum_{i*j=k} mu(i) (-1)^(j+1) D_j(floor(x^(1/i))), each S_k an exact
// multiple of k. The sums are finite because D_j(y) = 0 for y < 17^j.
#pragma once

#include <roughpi/wheel.hpp>

#include <cstdint>

namespace roughpi {

// Largest x for which prime_count is supported.
inline constexpr std::int64_t max_supported_x = 100'000'000'000'000;  // 10^14

// pi(x): the number of primes p <= x; 0 for every x < 2.
//
// Valid for x <= max_supported_x (checked by an assertion in debug builds).
// Requires build_wheel_tables() to have run.
// Cost: time grows roughly like x^(1/2) (about 3.5x per tenfold x); memory is
// the wheel tables plus one stack frame of a few hundred bytes and a recursion
// at most 14 levels deep. Nothing is allocated and no state is kept between
// calls.
std::int64_t prime_count(std::int64_t x);

}  // namespace roughpi
