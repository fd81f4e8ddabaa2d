// SPDX-License-Identifier: MIT
// The n-th prime against primecount's (primecount_nth_prime), on random n
// of every size up to 10^11.
#include "support/oracle.hpp"

#include <roughpi/nth_prime.hpp>

#include <gtest/gtest.h>

#include <primecount.h>

#include <random>

namespace {

TEST(NthPrimeOracleTest, RandomNUpTo10To11)
{
    ROUGHPI_SEEDED_RNG(rng);
    for (int i = 0; i < 40; ++i) {
        const std::int64_t n = roughpi::testing::scale_uniform(rng, 0, 11) + 1;
        EXPECT_EQ(roughpi::nth_prime(n), primecount_nth_prime(n)) << "n = " << n;
    }
}

}  // namespace
