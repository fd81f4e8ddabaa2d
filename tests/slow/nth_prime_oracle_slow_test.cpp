// SPDX-License-Identifier: MIT
// The n-th prime against primecount's from 10^11 to 10^14, on every thread
// (the huge tests take two n at the top of the range).
#include "support/known_values.hpp"
#include "support/oracle.hpp"

#include <roughpi/nth_prime.hpp>

#include <gtest/gtest.h>

#include <primecount.h>

#include <random>

namespace {

TEST(NthPrimeOracleTest, RandomNFrom10To11To10To14)
{
    ROUGHPI_SEEDED_RNG(rng);
    for (int i = 0; i < 8; ++i) {
        const std::int64_t n = roughpi::testing::scale_uniform(rng, 11, 14);
        EXPECT_EQ(roughpi::nth_prime_parallel(n), primecount_nth_prime(n)) << "n = " << n;
    }
}

// Around pi(10^k) for k = 13 ... 15: the last prime below 10^k, and the first
// above.
TEST(NthPrimeOracleTest, AroundPiOfTenTo13To15)
{
    for (const auto& k : roughpi::testing::powers_of_ten) {
        if (k.x <= roughpi::testing::quick_limit)
            continue;
        EXPECT_EQ(roughpi::nth_prime_parallel(k.pi), roughpi::testing::previous_prime(k.x)) << "pi(" << k.x << ")";
        EXPECT_EQ(roughpi::nth_prime_parallel(k.pi + 1), roughpi::testing::next_prime(k.x + 1))
            << "pi(" << k.x << ") + 1";
    }
}

}  // namespace
