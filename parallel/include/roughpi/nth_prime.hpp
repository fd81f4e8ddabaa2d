// SPDX-License-Identifier: MIT
// The n-th prime, p_n, in small memory: pi(x) counted exactly at an estimate
// x of p_n (nth_prime_estimate, Riemann's R inverted), then a segmented sieve
// of the stretch between x and p_n. The count needs no memory that grows
// with n; the sieve a window of fixed size per thread (about 1 MiB, see
// segment_sieve.hpp), however large n is. The stretch holds as many primes as
// R is off there, up to a few tens of millions at the top of the range, so
// the sieve adds a few per cent at most to the time of the count.
//
// In the library roughpi_parallel (CMake target roughpi::parallel).
#pragma once

#include <roughpi/parallel.hpp>
#include <roughpi/parallel_export.hpp>

#include <cstdint>
#include <stop_token>

namespace roughpi {

// The share of the progress of nth_prime_parallel that its count at the
// estimate takes, nearly all of the time; the sieve from there has the rest.
// A caller that makes the count itself (nth_prime_from_count) shares its
// progress out the same way.
inline constexpr double NTH_PRIME_COUNT_SHARE = 0.95;

// p_n, the n-th prime (p_1 = 2), for 1 <= n <= MAX_PRIME_INDEX (so that
// p_n <= 2^63 - 25), on the calling thread; input_error outside, with the
// range. With a stop token that can be stopped, it can be stopped between
// pieces of its count and windows of its sieve (roughpi::cancelled).
// Every result is checked to be prime and within proven bounds on p_n
// (internal_error otherwise).
ROUGHPI_PARALLEL_API std::int64_t nth_prime(std::int64_t n, std::stop_token stop = {});

// The same on options.threads threads (every CPU it may use by default),
// with the progress and the stop token of the options (piece_done is not
// called: the pieces are those of the count at the estimate).
ROUGHPI_PARALLEL_API std::int64_t nth_prime_parallel(std::int64_t n, const parallel_options& options = {});

// p_n, given pi(x) = pi_x for some x, from a count of the caller's (as
// roughpi --nth --checkpoint has it): the sieve from x to p_n alone, on
// options.threads threads. pi_x must be the exact count; the stretch to sieve
// is as long as x is far from p_n. input_error when n or x is out of range
// (x from 0 to 2^63 - 1), when pi_x is outside the proven bounds on pi(x)
// (prime_count_bounds), and below x = 10^10, where a count takes
// milliseconds, when it is not pi(x) itself.
ROUGHPI_PARALLEL_API std::int64_t nth_prime_from_count(std::int64_t n, std::int64_t x, std::int64_t pi_x,
                                                       const parallel_options& options = {});

}  // namespace roughpi
