// SPDX-License-Identifier: MIT
// The primes in random ranges against primecount's pi(b) - pi(a - 1).
#include "support/oracle.hpp"

#include <roughpi/range.hpp>

#include <gtest/gtest.h>

#include <primecount.h>

#include <random>

namespace {

TEST(RangeOracleTest, RandomRangesUpTo10To15)
{
    ROUGHPI_SEEDED_RNG(rng);
    for (int i = 0; i < 12; ++i) {
        const std::int64_t a = roughpi::testing::scale_uniform(rng, 0, 15);
        const std::int64_t b = a + roughpi::testing::scale_uniform(rng, 0, 8);
        const std::int64_t expected = primecount_pi(b) - (a > 0 ? primecount_pi(a - 1) : 0);
        EXPECT_EQ(roughpi::prime_count_range(a, b, {}), expected) << "[" << a << ", " << b << "]";
        EXPECT_EQ(roughpi::prime_count_range(a, b, {}, roughpi::range_method::sieve), expected)
            << "[" << a << ", " << b << "]";
    }
}

}  // namespace
