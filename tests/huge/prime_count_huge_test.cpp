// SPDX-License-Identifier: MIT
// pi(x) at the largest inputs there are (hours on every core).
#include "support/brute_force.hpp"

#include <roughpi/roughpi.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace {

// The largest inputs there are, far beyond what a test run can afford: under
// the label "huge", which CI leaves out. They count on every core, and print
// the time each took.
void check_huge(std::int64_t x, std::int64_t pi)
{
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(roughpi::prime_count_parallel(x), pi) << "x = " << x;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("pi(%lld) on every core: %.1f s\n", static_cast<long long>(x), elapsed.count());
}

TEST(PrimeCountTest, KnownValuesBeyond10To15)
{
    const auto values = roughpi::testing::read_known_values(ROUGHPI_PI_VALUES);
    if (values.empty())
        GTEST_SKIP() << "no table of known values at " << ROUGHPI_PI_VALUES;
    for (const auto& v : values)
        if (v.x > 1'000'000'000'000'000)  // beyond the slow tests' 10^15
            check_huge(v.x, v.pi);
}

TEST(PrimeCountTest, LargestSignedInteger) { check_huge(INT64_MAX, 216'289'611'853'439'384); }

}  // namespace
