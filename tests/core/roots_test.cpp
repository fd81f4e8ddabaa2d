// SPDX-License-Identifier: MIT
// Exact integer roots against brute force, at and around perfect powers.
#include "roots.hpp"

#include "support/random_seed.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using roughpi::floor_root;
using roughpi::power_at_most;

// b^e exactly, or -1 when it passes 2^63 - 1.
std::int64_t exact_power(std::int64_t b, int e)
{
    std::int64_t p = 1;
    for (int i = 0; i < e; ++i) {
        if (p > INT64_MAX / b)
            return -1;
        p *= b;
    }
    return p;
}

TEST(IntegerRootsTest, PowersAndTheirNeighbours)
{
    // Every k-th power r^k up to 2^63 - 1 for k >= 3, and squares near the top:
    // r^k - 1 has root r - 1, r^k and r^k + 1 have root r.
    for (int k = 2; k <= 62; ++k) {
        std::int64_t first = 2;
        if (k == 2)
            first = 3'037'000'499 - 200'000;  // the largest squares
        else if (k == 3)
            first = 2'097'151 - 100'000;
        for (std::int64_t r = first;; ++r) {
            const std::int64_t p = exact_power(r, k);
            if (p < 0)
                break;
            ASSERT_EQ(floor_root(p, k), r) << r << "^" << k;
            ASSERT_EQ(floor_root(p - 1, k), r - 1) << r << "^" << k << " - 1";
            if (p < INT64_MAX) {
                ASSERT_EQ(floor_root(p + 1, k), r) << r << "^" << k << " + 1";
            }
        }
    }
    EXPECT_EQ(floor_root(INT64_MAX, 2), 3'037'000'499);
    EXPECT_EQ(floor_root(INT64_MAX, 3), 2'097'151);
    EXPECT_EQ(floor_root(INT64_MAX, 63), 1);
    EXPECT_EQ(roughpi::floor_sqrt(0), 0);
    EXPECT_EQ(roughpi::floor_sqrt(1), 1);
    EXPECT_EQ(floor_root(1'000'000'000'000'000'000, 3), 1'000'000);
    EXPECT_EQ(floor_root(999'999'999'999'999'999, 3), 999'999);
}

TEST(IntegerRootsTest, RandomArgumentsAgainstPowerComparisons)
{
    ROUGHPI_SEEDED_RNG(rng);
    for (int trial = 0; trial < 200'000; ++trial) {
        // Magnitudes spread evenly from 1 to 10^18.
        const int digits = 1 + trial % 18;
        std::int64_t top = 1;
        for (int i = 0; i < digits; ++i)
            top *= 10;
        const std::int64_t n = std::uniform_int_distribution<std::int64_t>(0, top)(rng);
        const int k = 1 + trial % 20;
        const std::int64_t r = floor_root(n, k);
        ASSERT_TRUE(power_at_most(r, k, n)) << "n = " << n << ", k = " << k;
        ASSERT_FALSE(power_at_most(r + 1, k, n)) << "n = " << n << ", k = " << k;
    }
}

TEST(IntegerRootsTest, PowerComparisonNeverOverflows)
{
    EXPECT_TRUE(power_at_most(3'037'000'499, 2, INT64_MAX));
    EXPECT_FALSE(power_at_most(3'037'000'500, 2, INT64_MAX));
    EXPECT_FALSE(power_at_most(1'000'000'000, 7, INT64_MAX));
    EXPECT_FALSE(power_at_most(2, 64, INT64_MAX));
    EXPECT_TRUE(power_at_most(2, 62, INT64_MAX));
    EXPECT_TRUE(power_at_most(1, 1000, 1));
    EXPECT_TRUE(power_at_most(5, 0, 1));
}

}  // namespace
