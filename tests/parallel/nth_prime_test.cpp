// SPDX-License-Identifier: MIT
// The n-th prime against a plain sieve, at its edges, on any number of
// threads, from any count; the window sieve it walks against the same list;
// and what it refuses.
#include "primality.hpp"
#include "segment_sieve.hpp"

#include "support/known_values.hpp"
#include "support/random_seed.hpp"

#include <roughpi/error.hpp>
#include <roughpi/nth_prime.hpp>
#include <roughpi/prime_count.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using roughpi::detail::segment_sieve;

// The primes below `limit`, by the sieve of Eratosthenes.
std::vector<std::int64_t> primes_below(std::int64_t limit)
{
    std::vector<bool> composite(static_cast<std::size_t>(limit));
    std::vector<std::int64_t> primes;
    for (std::int64_t i = 2; i < limit; ++i) {
        if (composite[static_cast<std::size_t>(i)])
            continue;
        primes.push_back(i);
        for (std::int64_t j = i * i; j < limit; j += i)
            composite[static_cast<std::size_t>(j)] = true;
    }
    return primes;
}

bool is_prime(std::int64_t n)
{
    if (n < 2)
        return false;
    for (std::int64_t d = 2; d * d <= n; ++d)
        if (n % d == 0)
            return false;
    return true;
}

const std::vector<std::int64_t>& first_primes()
{
    static const std::vector<std::int64_t> primes = primes_below(segment_sieve::WINDOW);
    return primes;
}

// Every prime in [lo, hi), in order, from the window sieve alone: windows of
// 4096 integers, each prime of a window found from its bottom.
std::vector<std::int64_t> sieved_primes(segment_sieve& sieve, std::int64_t lo, std::int64_t hi)
{
    constexpr std::int64_t width = 4096;
    std::vector<std::int64_t> found;
    for (std::int64_t from = lo; from < hi; from += width) {
        const std::int64_t count = sieve.sieve(from, std::min(from + width, hi) - 1);
        for (std::int64_t k = 1; k <= count; ++k)
            found.push_back(sieve.kth_from_bottom(k));
    }
    return found;
}

// One window from 0 holds the first 1077871 primes, where the sieve finds
// them from either end; and windows anywhere count and find alike.
TEST(NthPrimeTest, TheWindowSieveFindsEveryPrimeOfAWindow)
{
    ROUGHPI_SEEDED_RNG(rng);
    const std::vector<std::int64_t>& primes = first_primes();
    segment_sieve sieve;
    const auto count = static_cast<std::int64_t>(primes.size());
    ASSERT_TRUE(sieved_primes(sieve, 0, segment_sieve::WINDOW) == primes);  // p_n for every n up to 1077871
    ASSERT_EQ(sieve.sieve(0, segment_sieve::WINDOW - 1), count);
    // (Each look-up walks the window: the first and last hundred, and some.)
    std::vector<std::int64_t> ks;
    for (std::int64_t k = 1; k <= 100; ++k) {
        ks.push_back(k);
        ks.push_back(count + 1 - k);
    }
    for (int i = 0; i < 500; ++i)
        ks.push_back(std::uniform_int_distribution<std::int64_t>(1, count)(rng));
    for (const std::int64_t k : ks) {
        ASSERT_EQ(sieve.kth_from_bottom(k), primes[static_cast<std::size_t>(k - 1)]) << "k = " << k;
        ASSERT_EQ(sieve.kth_from_top(k), primes[static_cast<std::size_t>(count - k)]) << "k = " << k;
    }
    for (int trial = 0; trial < 200; ++trial) {
        const std::int64_t lo = std::uniform_int_distribution<std::int64_t>(0, segment_sieve::WINDOW - 2)(rng);
        const std::int64_t hi = std::uniform_int_distribution<std::int64_t>(lo, segment_sieve::WINDOW - 1)(rng);
        const auto first = std::lower_bound(primes.begin(), primes.end(), lo);
        const auto last = std::upper_bound(primes.begin(), primes.end(), hi);
        const std::int64_t in = last - first;
        ASSERT_EQ(sieve.sieve(lo, hi), in) << "[" << lo << ", " << hi << "]";
        if (in > 0) {
            EXPECT_EQ(sieve.kth_from_bottom(1), *first);
            EXPECT_EQ(sieve.kth_from_top(1), *(last - 1));
        }
    }
    // Higher up, where the sieving primes are found block by block, against
    // the primality test (2^63 itself is left to the slow tests).
    constexpr std::int64_t high = 1'000'000'000'000'000;
    EXPECT_EQ(sieve.sieve(high, high + 20'000), roughpi::detail::count_primes_tested(high, high + 20'000));
}

TEST(NthPrimeTest, MatchesTheSieveAndItsEdges)
{
    ROUGHPI_SEEDED_RNG(rng);
    const std::vector<std::int64_t>& primes = first_primes();
    // The wheel's primes and the first rough one, then every n to 10^4 and
    // some to 10^6 (the n-th prime's sieve alone, below its count's reach).
    EXPECT_EQ(roughpi::nth_prime(1), 2);
    EXPECT_EQ(roughpi::nth_prime(2), 3);
    EXPECT_EQ(roughpi::nth_prime(6), 13);
    EXPECT_EQ(roughpi::nth_prime(7), 17);
    std::vector<std::int64_t> ns;
    for (std::int64_t n = 1; n <= 10'000; ++n)
        ns.push_back(n);
    for (int i = 0; i < 100; ++i)
        ns.push_back(std::uniform_int_distribution<std::int64_t>(1, 1'000'000)(rng));
    // The last prime of prime_count's table (p_n found by bisection on it)
    // and the first beyond it.
    const std::int64_t in_table = roughpi::prime_count(roughpi::PRIME_TABLE_LIMIT - 1);
    ns.insert(ns.end(), {in_table, in_table + 1});
    for (const std::int64_t n : ns)
        ASSERT_EQ(roughpi::nth_prime(n), primes[static_cast<std::size_t>(n - 1)]) << "n = " << n;
    // Around pi(10^k): the last prime below 10^k, and the first above.
    for (const auto& k : roughpi::testing::powers_of_ten) {
        if (k.x > roughpi::testing::quick_limit)
            continue;
        std::int64_t below = k.x, above = k.x + 1;
        while (!is_prime(below))
            --below;
        while (!is_prime(above))
            ++above;
        EXPECT_EQ(roughpi::nth_prime(k.pi), below) << "pi(" << k.x << ")";
        EXPECT_EQ(roughpi::nth_prime(k.pi + 1), above) << "pi(" << k.x << ") + 1";
    }
}

// Every thread count, and a count of the caller's from any x near p_n, come
// to the same prime; bad input is refused.
TEST(NthPrimeTest, ThreadsAndCountsOfTheCallerAgreeAndMisuseIsRefused)
{
    ROUGHPI_SEEDED_RNG(rng);
    for (int i = 0; i < 4; ++i) {
        const std::int64_t n = std::uniform_int_distribution<std::int64_t>(1'000'000, 10'000'000'000)(rng);
        const std::int64_t p = roughpi::nth_prime(n);
        for (const int threads : {2, 3}) {
            roughpi::parallel_options options;
            options.threads = threads;
            EXPECT_EQ(roughpi::nth_prime_parallel(n, options), p) << "n = " << n << ", threads = " << threads;
        }
        for (const std::int64_t x : {p - 1, p, p + 1000, p - 40'000'000, p + 40'000'000})
            EXPECT_EQ(roughpi::nth_prime_from_count(n, x, roughpi::prime_count(x), {}), p)
                << "n = " << n << ", x = " << x;
    }
    for (const std::int64_t bad : {std::int64_t{0}, std::int64_t{-1}, roughpi::MAX_PRIME_INDEX + 1, INT64_MAX})
        EXPECT_THROW(roughpi::nth_prime(bad), roughpi::input_error) << bad;
    roughpi::parallel_options too_many;
    too_many.threads = roughpi::MAX_THREADS + 1;
    EXPECT_THROW(roughpi::nth_prime_parallel(100, too_many), roughpi::input_error);
    EXPECT_THROW(roughpi::nth_prime_from_count(100, -1, 0, {}), roughpi::input_error);
    // Counts that pi(x) cannot be (once they sieved for ever near 2^63, or
    // gave 13 and 113 for p_5), and below 10^10 any but pi(x) itself.
    const struct {
        std::int64_t n, x, pi_x;
    } impossible[] = {{100, 1000, 1001},          {1, INT64_MAX, INT64_MAX}, {5, 2, 0}, {5, 100, 0}, {5, 100, 24},
                      {1'000'000, 10'000'000, 0}, {10, 1'000'000'000'000, 1}};
    for (const auto& c : impossible)
        EXPECT_THROW(roughpi::nth_prime_from_count(c.n, c.x, c.pi_x, {}), roughpi::input_error)
            << c.n << ", " << c.x << ", " << c.pi_x;
}

}  // namespace
