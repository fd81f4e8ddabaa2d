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

#include <roughpi/counting_path.hpp>
#include <roughpi/wheel.hpp>
#include <roughpi/wide_int.hpp>

#include <cstdint>

namespace roughpi {

// Largest x for which prime_count is supported: every root, logarithm and
// sum on the way is exact up to here.
inline constexpr std::int64_t max_supported_x = 1'000'000'000'000'000'000;  // 10^18

// pi(x): the number of primes p <= x; 0 for every x < 2.
//
// Valid for x <= max_supported_x = 10^18 (checked by an assertion in debug
// builds). Requires build_wheel_tables() to have run.
// Cost: time grows a little faster than x^(2/3) (about 5-6x per tenfold x:
// under a second at 10^14 on a current x86-64 core); memory is the wheel
// tables plus one stack frame of under a kilobyte and a recursion at most 14
// levels deep. Nothing is allocated and no state is kept between calls.
std::int64_t prime_count(std::int64_t x);
// The same on a given path (which must be available; see counting_path.hpp).
std::int64_t prime_count(std::int64_t x, counting_path path);

// The same count, one piece of the work at a time, for callers that want to
// report progress (or share the pieces out). The pieces are independent and
// their sums add up to exactly the total that prime_count(x) returns:
//
//   roughpi::prime_count_sums sums{};
//   for (int p = 0, n = roughpi::prime_count_piece_count(x); p < n; ++p)
//       roughpi::prime_count_add_piece(x, p, sums);
//   std::int64_t pi = roughpi::prime_count_from_sums(x, sums);
//
// prime_count_sums is a plain value (no heap), zero-initialised by {}: the
// term sums S_k of pi(x) = 6 + sum_k S_k / k, in 128 bits.
struct prime_count_sums {
    static constexpr int terms = 32;
    wide_int term_sums[terms] = {};
};

// Number of pieces of the count of x (at least 1).
int prime_count_piece_count(std::int64_t x);

// Rough share of the total work of x that piece `piece` takes, in [0, 1]; the
// shares of all pieces add up to 1. For progress reports.
double prime_count_piece_share(std::int64_t x, int piece);

// Counts piece `piece` (0 <= piece < prime_count_piece_count(x)) of x and adds
// it into sums.
void prime_count_add_piece(std::int64_t x, int piece, prime_count_sums& sums);

// pi(x) from the sums of all its pieces.
std::int64_t prime_count_from_sums(std::int64_t x, const prime_count_sums& sums);

}  // namespace roughpi
