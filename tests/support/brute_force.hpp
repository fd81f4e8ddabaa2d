// SPDX-License-Identifier: MIT
// Slow, obviously correct counterparts of the counting core, for differential
// tests. Nothing here uses the wheel tables.
#pragma once

#include <cstdint>
#include <vector>

namespace roughpi::testing {

// gcd(m, 30030) = 1 and m > 1: no prime factor below 17.
bool is_rough(std::int64_t m);

// #{ m : lo <= m <= hi, gcd(m, 30030) = 1 }, one gcd per integer.
std::int64_t brute_count_coprime(std::int64_t lo, std::int64_t hi);

// coprime_prefix(limit)[n] = #{ 1 <= m <= n : gcd(m, 30030) = 1 }, by gcd.
std::vector<std::int64_t> coprime_prefix(std::int64_t limit);

// The number of ordered j-tuples of rough numbers with product <= n: every
// tuple enumerated but the last entry, which is read from coprime_prefix.
std::int64_t brute_ordered_tuples(std::int64_t n, int j);

// Non-decreasing k-tuples of rough numbers >= b with product <= n, each weighted
// by w * (r-1)! / (r-1+c_b)! / prod_{v != b} c_v!, where c_v is how often v
// occurs: the number of orderings of the tuple, given r-1 earlier entries
// equal to b. Every tuple is enumerated explicitly.
std::int64_t brute_weighted_tuples(std::int64_t n, std::int64_t b, std::int64_t w, int r, int k);

// prime_counts(limit)[x] = pi(x) for 0 <= x <= limit, by the sieve of Eratosthenes.
std::vector<std::int64_t> sieve_prime_counts(std::int64_t limit);

// Known values of pi(x) read from a file of lines "x<TAB>pi_x" after a header
// line; empty when the file is absent.
struct known_value {
    std::int64_t x;
    std::int64_t pi;
};
std::vector<known_value> read_known_values(const char* path);

}  // namespace roughpi::testing
