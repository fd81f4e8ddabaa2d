// SPDX-License-Identifier: MIT
// pi(x), the number of primes p <= x, counted without a sieve.
//
// The count combines weighted counts of ordered factorisations into rough
// numbers (integers > 1 with no prime factor below 17) by Linnik's identity
// and Moebius inversion:
//
//   Pi(y)  = sum_{j>=1} (-1)^(j+1)/j * D_j(y)        prime powers p^m <= y with
//                                                    p >= 17, weighted 1/m
//   pi(x)  = 6 + sum_{i>=1} mu(i)/i * Pi(x^(1/i))     6 counts 2, 3, 5, 7, 11, 13
//
// where D_j(y) is the number of ordered j-tuples of rough numbers with product
// at most y. The rough numbers in any interval are counted in constant time
// from two fixed wheel tables of about 64 KB, and nothing else is kept: the
// memory a count needs does not grow with x.
#pragma once

#include <roughpi/counting_path.hpp>
#include <roughpi/export.hpp>

#include <cstdint>
#include <limits>
#include <stop_token>

namespace roughpi {

// Largest x for which pi(x) is supported: every x a signed 64-bit integer
// holds. Every root, bound and sum on the way is exact up to here.
inline constexpr std::int64_t MAX_SUPPORTED_X = std::numeric_limits<std::int64_t>::max();  // 2^63 - 1

// pi(MAX_SUPPORTED_X): the number of primes up to 2^63 - 1, the largest of
// which, 2^63 - 25, is the n-th prime for this n (nth_prime.hpp).
inline constexpr std::int64_t MAX_PRIME_INDEX = 216'289'611'853'439'384;

// Fills the two wheel tables that every count reads, and the table of the
// primes below PRIME_TABLE_LIMIT derived from them. Counting does this by
// itself on first use (once, safely from any number of threads), so calling it
// is optional: it is there to take the cost out of a first timed count, or to
// measure it. Calls after the first do nothing.
// Cost: well under a millisecond; 61,440 bytes of wheel tables and 3,610 of
// the primes' table, static storage, no heap.
ROUGHPI_API void build_wheel_tables();

// The bound below which prime_count(x) looks pi(x) up in a table (a bit for
// each number coprime to 30030 below it, set where it is prime): 4 * 30030.
inline constexpr std::int64_t PRIME_TABLE_LIMIT = 120'120;

// pi(x): the number of primes p <= x; 0 for every x < 2.
//
// Cost: a few nanoseconds below PRIME_TABLE_LIMIT (a table lookup); above,
// time grows a little faster than x^(2/3), about 6.5x per tenfold x
// (about half a second at 10^14 on one current x86-64 core); memory is the
// wheel tables plus one stack frame of under a kilobyte and a recursion at most
// 14 levels deep. Nothing is allocated, no state is kept between calls, and
// calls from any number of threads at once are safe. One thread: see
// parallel.hpp for counting on every core.
ROUGHPI_API std::int64_t prime_count(std::int64_t x);

// The same, stopped on request: a count that `stop` is asked to stop ends
// within milliseconds (it looks between stretches of a few milliseconds of
// work) and throws cancelled, keeping nothing of what it had counted.
ROUGHPI_API std::int64_t prime_count(std::int64_t x, const std::stop_token& stop);

// The same on a given path, counted by that path for every x (the table
// aside, so that the paths can be checked against it). Throws input_error
// when the path is not available (see counting_path_available).
ROUGHPI_API std::int64_t prime_count(std::int64_t x, counting_path path);

// Proven bounds on pi(x), the net under every count: lower <= pi(x) <= upper.
// The value itself below 17; above, x / ln x < pi(x) (Rosser and
// Schoenfeld), x / ln x (1 + 1 / ln x) <= pi(x) from x = 599 and
// pi(x) <= x / ln x (1 + 1.2762 / ln x) (Dusart), widened for rounding.
// About 0.6 % wide at 10^18: they tell a count that cannot be, not the count.
struct prime_count_interval {
    std::int64_t lower;
    std::int64_t upper;
};
ROUGHPI_API prime_count_interval prime_count_bounds(std::int64_t x) noexcept;

}  // namespace roughpi
