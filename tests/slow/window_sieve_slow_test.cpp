// SPDX-License-Identifier: MIT
// The n-th prime's window sieve at the top of the range, where it finds the
// 1.4 10^8 sieving primes up to 3.04 10^9 (seconds), against the primality
// test and the count sympy.isprime gives.
#include "primality.hpp"
#include "segment_sieve.hpp"

#include <roughpi/prime_count.hpp>

#include <gtest/gtest.h>

namespace {

TEST(WindowSieveTest, FindsThePrimesJustBelow2To63)
{
    constexpr std::int64_t top = roughpi::MAX_SUPPORTED_X;
    roughpi::detail::segment_sieve sieve;
    ASSERT_EQ(sieve.sieve(top - 1000, top), 23);
    EXPECT_EQ(roughpi::detail::count_primes_tested(top - 1000, top), 23);
    EXPECT_EQ(sieve.kth_from_top(1), top - 24);
    EXPECT_EQ(sieve.kth_from_bottom(23), top - 24);
}

}  // namespace
