// SPDX-License-Identifier: MIT
// pi(x) against primecount below 10^12, on every counting path: random x of
// every size, and the x where this library's sums change shape, next to the
// powers of 17 (a new term of the sums starts at each) and at the squares and
// cubes of primes (where the square or cube root of x reaches a prime, and
// the Moebius terms Pi(x^(1/2)) and Pi(x^(1/3)) change). Under the
// sanitizers, a tenth of them.
#include "support/oracle.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using namespace roughpi::testing;
using roughpi::counting_path;

TEST_F(OracleTest, RandomXBelow10To12)
{
    ROUGHPI_SEEDED_RNG(rng);
    std::vector<std::int64_t> xs;
    for (int i = 0; i < 5000; ++i)
        xs.push_back(scale_uniform(rng, 0, 12));
    for (int i = 0; i < 100; ++i)
        xs.push_back(std::uniform_int_distribution<std::int64_t>(0, quick_limit - 1)(rng));
    check_against_primecount({{for_this_build(xs), available_paths()}});
}

TEST_F(OracleTest, NextToPowersOf17AndPrimePowersBelow10To12)
{
    ROUGHPI_SEEDED_RNG(rng);
    // Every prime below 1000, both squared and cubed, then larger random ones
    // up to the largest whose square or cube stays within 10^12.
    std::vector<std::int64_t> small_primes;
    for (std::int64_t p = 2; p < 1000; ++p)
        if (is_prime(p))
            small_primes.push_back(p);
    std::vector<std::int64_t> squares = small_primes;
    std::vector<std::int64_t> cubes = small_primes;
    for (const std::int64_t p : random_primes(rng, 60, 3, 6))
        squares.push_back(p);
    for (const std::int64_t p : random_primes(rng, 40, 3, 4))
        cubes.push_back(p);
    squares.push_back(previous_prime(1'000'000));
    cubes.push_back(previous_prime(10'000));
    std::vector<std::int64_t> xs = next_to_powers_of_17(0, quick_limit);
    for (const std::int64_t x : next_to_prime_powers(squares, cubes))
        if (x <= quick_limit)
            xs.push_back(x);
    check_against_primecount({{for_this_build(xs), available_paths()}});
}

}  // namespace
