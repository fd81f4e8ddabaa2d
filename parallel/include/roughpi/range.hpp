// SPDX-License-Identifier: MIT
// The number of primes in a range [a, b], on every core, in small memory.
//
// Three ways to it, and the cheapest is taken:
//
//   counts  pi(b) - pi(a - 1), two counts of prime_count_parallel: a time
//           that grows as about x^0.83 (6.7 times per tenfold x) and does not
//           depend on the length of the range;
//   sieve   a segmented sieve of [a, b] itself: a time that grows with the
//           length b - a, plus, for each window of the sieve, the search for
//           the primes up to sqrt(b) that cross it off;
//   tests   a Miller-Rabin test of each integer of [a, b], deterministic
//           below 2^64: about 0.3 us an integer, for ranges too short to
//           pay for the sieve's search (below a few million integers a
//           thread at 10^18, a few thousand at 10^12).
//
// prime_count_range_costs() holds the rule: the times estimated in seconds
// of one core of the machine the constants were measured on (see
// doc/performance.md and perf/range_bench_main.cpp, roughpi-range-bench).
// Every way uses every thread, so the cheapest on one core is the cheapest
// on all of them. Either way the value is exact; only the time differs.
//
// The sieve takes windows of up to 2^28 integers, one per thread (16 MiB of
// bits each at most; shorter where sqrt(b) is small or the range short),
// whatever the length of the range.
//
// In the library roughpi_parallel (CMake target roughpi::parallel).
#pragma once

#include <roughpi/parallel.hpp>
#include <roughpi/parallel_export.hpp>

#include <cstdint>

namespace roughpi {

enum class range_method {
    automatic,  // the cheapest of the three by prime_count_range_costs
    counts,     // pi(b) - pi(a - 1)
    sieve,      // a segmented sieve of [a, b]
    tests,      // a primality test of each integer of [a, b]
};

// Estimated seconds of one core for each way (the sieve with its windows
// as `threads` threads would take them; 0: every CPU the process may use).
struct range_costs {
    double counts;
    double sieve;
    double tests;
};

// The estimates for [a, b]; input_error as prime_count_range refuses.
ROUGHPI_PARALLEL_API range_costs prime_count_range_costs(std::int64_t a, std::int64_t b, int threads = 0);

// The way prime_count_range takes for [a, b] on `threads` threads: counts,
// sieve or tests, whichever prime_count_range_costs finds cheapest.
ROUGHPI_PARALLEL_API range_method prime_count_range_method(std::int64_t a, std::int64_t b, int threads = 0);

// The number of primes p with a <= p <= b, for 0 <= a <= b <= 2^63 - 1, on
// options.threads threads, with options.progress (about ten times a second)
// and options.stop (roughpi::cancelled, within milliseconds, in every way).
// With options.double_check it counts twice: the counts double-checked as
// prime_count_parallel does, or the sieve or the tests once more with
// windows that end elsewhere; internal_error when the two differ. piece_done is not called.
// input_error for a or b outside [0, 2^63 - 1], a > b, or a thread count
// out of range. `method` forces a way, for tests and benchmarks.
ROUGHPI_PARALLEL_API std::int64_t prime_count_range(std::int64_t a, std::int64_t b,
                                                    const parallel_options& options = {},
                                                    range_method method = range_method::automatic);

}  // namespace roughpi
