// SPDX-License-Identifier: MIT
// The wheel tables and the constant-time range count, against gcd counts.
#include "support/brute_force.hpp"

#include "wheel.hpp"

#include "support/random_seed.hpp"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

namespace {

using roughpi::count_rough_in_range;
using roughpi::testing::brute_count_coprime;

class WheelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { roughpi::build_wheel_tables(); }
};

TEST_F(WheelTest, TablesDescribeOnePeriodOfTheWheel)
{
    std::vector<std::int64_t> residues;  // the coprime residues in ascending order
    for (std::int64_t k = 0; k <= 30030; ++k) {
        ASSERT_EQ(roughpi::wheel_prefix_count[k], static_cast<std::int64_t>(residues.size())) << "k = " << k;
        if (std::gcd(k, std::int64_t{30030}) == 1)
            residues.push_back(k);
    }
    ASSERT_EQ(residues.size(), 5760u);
    residues.push_back(30031);  // the first residue of the next period
    int largest = 0;
    std::int64_t sum = 0;
    for (std::size_t p = 0; p < 5760; ++p) {
        ASSERT_EQ(roughpi::wheel_gaps[p], residues[p + 1] - residues[p]) << "p = " << p;
        largest = std::max<int>(largest, roughpi::wheel_gaps[p]);
        sum += roughpi::wheel_gaps[p];
    }
    EXPECT_EQ(largest, 22);
    EXPECT_EQ(sum, 30030);

    // Building again writes the same values.
    const auto gap = roughpi::wheel_gaps[100];
    roughpi::build_wheel_tables();
    EXPECT_EQ(roughpi::wheel_gaps[100], gap);
    EXPECT_EQ(roughpi::wheel_prefix_count[30030], 5760);
}

TEST_F(WheelTest, RangeCountAtBranchesAndPeriodBoundaries)
{
    EXPECT_EQ(count_rough_in_range(17, 16), 0);
    EXPECT_EQ(count_rough_in_range(17, 17), 1);
    EXPECT_EQ(count_rough_in_range(17, 18), 1);
    EXPECT_EQ(count_rough_in_range(17, 30028), 5758);  // h = 30029: direct reads
    EXPECT_EQ(count_rough_in_range(17, 30029), 5759);  // h = 30030: r = 0
    EXPECT_EQ(count_rough_in_range(17, 30030), 5759);
    EXPECT_EQ(count_rough_in_range(17, 30031), 5760);
    EXPECT_EQ(count_rough_in_range(30031, 30031), 1);
    EXPECT_EQ(count_rough_in_range(30031, 60060), 5760);
    EXPECT_EQ(count_rough_in_range(2, 16), 0);
    EXPECT_EQ(count_rough_in_range(100000, 200000), 19180);

    // Every combination of endpoints around the first periods, both branches
    // of lo and the wrap of hi + 1 at each multiple of 30030.
    const std::int64_t points[] = {0,     1,     2,     16,    17,    18,    30028, 30029,
                                   30030, 30031, 30032, 60058, 60059, 60060, 60061, 90090};
    for (std::int64_t lo : points)
        for (std::int64_t hi : points)
            if (lo <= hi + 1) {
                EXPECT_EQ(count_rough_in_range(lo, hi), brute_count_coprime(lo, hi))
                    << "lo = " << lo << ", hi = " << hi;
            }
}

TEST_F(WheelTest, RangeCountMatchesGcdCountOnRandomIntervals)
{
    ROUGHPI_SEEDED_RNG(rng);
    // Starts near 0, within a few periods, and far out (to 10^14); lengths from
    // empty to more than two periods.
    const std::int64_t scales[] = {40, 200'000, 100'000'000'000'000};
    for (int trial = 0; trial < 900; ++trial) {
        const std::int64_t lo = std::uniform_int_distribution<std::int64_t>(0, scales[trial % 3])(rng);
        const std::int64_t length = std::uniform_int_distribution<std::int64_t>(0, trial % 2 ? 100 : 70'000)(rng);
        const std::int64_t hi = lo + length - 1;
        ASSERT_EQ(count_rough_in_range(lo, hi), brute_count_coprime(lo, hi)) << "lo = " << lo << ", hi = " << hi;
    }
}

TEST_F(WheelTest, RangeCountUpToTheLargestSignedInteger)
{
    // hi + 1 passes 2^63 - 1 at the very top; every interval near the top
    // against gcd counts, and the whole range against whole periods plus a
    // gcd count of the last, partial one.
    constexpr std::int64_t top = INT64_MAX;
    for (const std::int64_t back : {0, 1, 2, 29, 30030, 30031, 65000})
        for (const std::int64_t length : {0, 1, 2, 17, 30030, 30031, 40000}) {
            if (back == 0 && length == 0)  // lo would be 2^63
                continue;
            const std::int64_t hi = top - back;
            const std::int64_t lo = hi - length + 1;
            ASSERT_EQ(count_rough_in_range(lo, hi), brute_count_coprime(lo, hi)) << "lo = " << lo << ", hi = " << hi;
        }
    const std::int64_t last_period = top - top % 30030;
    EXPECT_EQ(count_rough_in_range(17, top),
              top / 30030 * 5760 - 1 + brute_count_coprime(last_period + 1, top));  // less 1, which is not rough
    ROUGHPI_SEEDED_RNG(rng);
    for (int trial = 0; trial < 200; ++trial) {
        const std::int64_t hi = top - std::uniform_int_distribution<std::int64_t>(1, 1'000'000'000'000)(rng);
        const std::int64_t lo = hi - std::uniform_int_distribution<std::int64_t>(-1, 70'000)(rng);
        ASSERT_EQ(count_rough_in_range(lo, hi), brute_count_coprime(lo, hi)) << "lo = " << lo << ", hi = " << hi;
    }
}

TEST_F(WheelTest, SteppingThroughTheGapCycleVisitsEveryRoughNumber)
{
    // Walk three periods from 17, and across the wrap from 30029 to 30031.
    std::int64_t b = 17;
    std::int32_t p = roughpi::wheel_prefix_count[b % 30030];
    EXPECT_EQ(p, 1);
    for (std::int64_t m = 18; m < 3 * 30030 + 100; ++m) {
        if (!roughpi::testing::is_rough(m))
            continue;
        b += roughpi::wheel_gaps[p];
        p = roughpi::next_wheel_position(p);
        ASSERT_EQ(b, m);
        ASSERT_EQ(p, roughpi::wheel_prefix_count[b % 30030]) << "b = " << b;
    }
    EXPECT_EQ(roughpi::wheel_prefix_count[30029], 5759);
    EXPECT_EQ(30029 + roughpi::wheel_gaps[5759], 30031);
    EXPECT_EQ(roughpi::next_wheel_position(5759), 0);
}

}  // namespace
