// SPDX-License-Identifier: MIT
// pi(x) at the largest inputs a test run affords (minutes): the powers of
// ten and the known values up to 10^15, and the powers of two around 2^53.
#include "support/known_values.hpp"

#include <roughpi/prime_count.hpp>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using roughpi::prime_count;
using roughpi::testing::quick_limit;

class PrimeCountTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { roughpi::build_wheel_tables(); }
};

TEST_F(PrimeCountTest, PowersOfTenAbove10To12)
{
    for (const auto& k : roughpi::testing::powers_of_ten)
        if (k.x > quick_limit) {
            EXPECT_EQ(prime_count(k.x), k.pi) << "x = " << k.x;
        }
}

TEST_F(PrimeCountTest, KnownValuesUpTo10To15)
{
    roughpi::testing::check_known_values(quick_limit + 1, 1'000'000'000'000'000);
}

// 2^53 is the first x whose pair count runs past the exact range of the vector
// paths' double-precision quotients.
TEST_F(PrimeCountTest, PowersOfTwoAroundTheDoublePrecisionLimit)
{
    EXPECT_EQ(prime_count(std::int64_t{1} << 50), 33'483'379'603'407);
    EXPECT_EQ(prime_count(std::int64_t{1} << 53), 252'252'704'148'404);
}

}  // namespace
