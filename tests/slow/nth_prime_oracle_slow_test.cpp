// The n-th prime against primecount's from 10^11 to 10^15, on every thread.
#include "support/oracle.hpp"

#include <roughpi/nth_prime.hpp>

#include <gtest/gtest.h>

#include <primecount.h>

#include <random>

namespace {

TEST(NthPrimeOracleTest, RandomNFrom10To11To10To15)
{
    ROUGHPI_SEEDED_RNG(rng);
    for (int i = 0; i < 8; ++i) {
        const std::int64_t n = roughpi::testing::scale_uniform(rng, 11, 15);
        EXPECT_EQ(roughpi::nth_prime_parallel(n), primecount_nth_prime(n)) << "n = " << n;
    }
}

}  // namespace
