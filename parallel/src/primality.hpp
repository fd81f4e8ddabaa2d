// SPDX-License-Identifier: MIT
// Whether a number below 2^64 is prime, by a test that is deterministic
// there (primality.cpp): the check of every n-th prime before it is returned,
// and the count of a range too short for a sieve to pay for its search.
#pragma once

#include <cstdint>
#include <stop_token>

namespace roughpi::detail {

bool is_prime(std::uint64_t n);

// The primes in [lo, hi], each integer tested: looks at `stop` every 256
// odd numbers and throws cancelled once a stop is requested. About 0.25
// microseconds an integer from 10^12 to 2^63; for ranges far shorter than the square
// root of hi, where a sieve would spend all its time finding the primes
// that cross the range off.
std::int64_t count_primes_tested(std::uint64_t lo, std::uint64_t hi, const std::stop_token& stop = {});

}  // namespace roughpi::detail
