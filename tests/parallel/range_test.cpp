// SPDX-License-Identifier: MIT
// The primes in [a, b]: the sieve against the two counts and against a plain
// sieve from 0, at the edges of the range and on random ranges; the refusals;
// a stop.
#include "support/brute_force.hpp"
#include "support/random_seed.hpp"

#include <roughpi/error.hpp>
#include <roughpi/prime_count.hpp>
#include <roughpi/range.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <stop_token>

namespace {

using roughpi::range_method;

// Every way (the counts only below 10^12 and the tests only on ranges of up
// to 3 10^5, where they take a fraction of a second) and as the rule picks, on
// one thread and two: all must give `expected`.
void expect_range(std::int64_t a, std::int64_t b, std::int64_t expected)
{
    for (const int threads : {1, 2})
        for (const range_method method :
             {range_method::counts, range_method::sieve, range_method::tests, range_method::automatic}) {
            if ((method == range_method::counts && b > 1'000'000'000'000) ||
                (method == range_method::tests && b - a > 300'000))
                continue;
            roughpi::parallel_options options;
            options.threads = threads;
            EXPECT_EQ(roughpi::prime_count_range(a, b, options, method), expected)
                << "[" << a << ", " << b << "], threads " << threads << ", method " << static_cast<int>(method);
        }
}

TEST(RangeTest, SmallRangesAgainstAPlainSieve)
{
    const std::vector<std::int64_t> pi = roughpi::testing::sieve_prime_counts(3'000'000);
    const auto below = [&](std::int64_t a) { return a > 0 ? pi[static_cast<std::size_t>(a - 1)] : 0; };
    for (std::int64_t a = 0; a <= 12; ++a)
        for (std::int64_t b = a; b <= 12; ++b)
            expect_range(a, b, pi[static_cast<std::size_t>(b)] - below(a));
    ROUGHPI_SEEDED_RNG(rng);
    std::uniform_int_distribution<std::int64_t> any(0, 3'000'000);
    for (int i = 0; i < 20; ++i) {
        std::int64_t a = any(rng), b = any(rng);
        if (a > b)
            std::swap(a, b);
        expect_range(a, b, pi[static_cast<std::size_t>(b)] - below(a));
    }
}

TEST(RangeTest, LargeRangesEveryWay)
{
    constexpr std::int64_t top = roughpi::MAX_SUPPORTED_X;
    // The top of the range: 2^63 - 25 is the largest prime below 2^63.
    roughpi::parallel_options two;
    two.threads = 2;
    EXPECT_EQ(roughpi::prime_count_range(top, top, two), 0);
    EXPECT_EQ(roughpi::prime_count_range(top - 24, top, two), 1);
    EXPECT_EQ(roughpi::prime_count_range(top - 24, top - 24, two), 1);
    EXPECT_EQ(roughpi::prime_count_range(top - 1000, top, two, range_method::tests), 23);  // as sympy counts them
    ROUGHPI_SEEDED_RNG(rng);
    std::uniform_int_distribution<std::int64_t> start(0, 100'000'000'000);
    for (const std::int64_t longest : {300'000, 10'000'000}) {
        std::uniform_int_distribution<std::int64_t> length(0, longest);
        const std::int64_t a = start(rng);
        const std::int64_t b = a + length(rng);
        expect_range(a, b, roughpi::prime_count(b) - roughpi::prime_count(a - 1));
    }
    // Many windows of the sieve at once, and runs of the tests, across 10^12.
    roughpi::parallel_options options;
    options.threads = 2;
    options.double_check = true;
    constexpr std::int64_t t = 1'000'000'000'000;
    EXPECT_EQ(roughpi::prime_count_range(t - 10'000'000, t + 10'000'000, options, range_method::sieve),
              roughpi::prime_count(t + 10'000'000) - roughpi::prime_count(t - 10'000'001));
    EXPECT_EQ(roughpi::prime_count_range(t - 20'000, t + 20'000, options, range_method::tests),
              roughpi::prime_count(t + 20'000) - roughpi::prime_count(t - 20'001));
}

TEST(RangeTest, TheRuleTakesTheCheapestWay)
{
    EXPECT_EQ(roughpi::prime_count_range_method(1'000'000'000'000'000'000, 1'000'000'001'000'000'000, 2),
              range_method::sieve);
    EXPECT_EQ(roughpi::prime_count_range_method(0, 1'000'000'000'000, 2), range_method::counts);
    EXPECT_EQ(roughpi::prime_count_range_method(1'000'000'000'000, 1'000'001'000'000, 2), range_method::sieve);
    EXPECT_EQ(roughpi::prime_count_range_method(1'000'000'000'000'000'000, 1'000'000'000'001'000'000, 2),
              range_method::tests);
    const roughpi::range_costs costs = roughpi::prime_count_range_costs(5, 5, 1);
    EXPECT_GE(costs.counts, 0.0);
    EXPECT_GE(costs.sieve, 0.0);
    EXPECT_GE(costs.tests, 0.0);
}

TEST(RangeTest, BadRangesAreRefused)
{
    constexpr std::int64_t top = roughpi::MAX_SUPPORTED_X;
    const struct {
        std::int64_t a, b;
        int threads;
    } bad[] = {{5, 4, 1}, {-1, 5, 1}, {0, -1, 1}, {top, 0, 1}, {0, 10, -1}, {0, 10, 5000}};
    for (const auto& c : bad) {
        roughpi::parallel_options options;
        options.threads = c.threads;
        EXPECT_THROW(roughpi::prime_count_range(c.a, c.b, options), roughpi::input_error) << c.a << " " << c.b;
        if (c.threads >= 0 && c.threads <= 4096) {
            EXPECT_THROW(roughpi::prime_count_range_costs(c.a, c.b, c.threads), roughpi::input_error);
        }
    }
}

TEST(RangeTest, AStopEndsTheSieve)
{
    std::stop_source source;
    roughpi::parallel_options options;
    options.threads = 2;
    options.stop = source.get_token();
    int calls = 0;
    options.progress = [&](double) {
        if (++calls == 2)
            source.request_stop();
    };
    // Minutes of sieving at 10^18 unless it stops.
    EXPECT_THROW(
        roughpi::prime_count_range(1'000'000'000'000'000'000, 1'000'000'100'000'000'000, options, range_method::sieve),
        roughpi::cancelled);
}

}  // namespace
