// SPDX-License-Identifier: MIT
// The weighted factorisation counts against explicit tuple enumeration.
#include "support/brute_force.hpp"

#include "support/factor_counts_64.hpp"
#include "wheel.hpp"

#include "support/random_seed.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using roughpi::count_factor_pairs;
using roughpi::count_factor_tuples;
using roughpi::testing::brute_ordered_tuples;
using roughpi::testing::brute_weighted_tuples;

class FactorCountsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { roughpi::build_wheel_tables(); }
};

std::int64_t factorial(int k) { return k <= 1 ? 1 : k * factorial(k - 1); }

std::int64_t ipow(std::int64_t b, int k)
{
    std::int64_t p = 1;
    while (k-- > 0)
        p *= b;
    return p;
}

TEST_F(FactorCountsTest, SmallestFactorisations)
{
    EXPECT_EQ(count_factor_pairs(289, 17, 2, 1), 1);         // 17*17
    EXPECT_EQ(count_factor_pairs(323, 17, 2, 1), 3);         // 17*17, 17*19, 19*17
    EXPECT_EQ(count_factor_tuples(4913, 17, 6, 1, 3), 1);    // 17^3
    EXPECT_EQ(count_factor_tuples(5491, 17, 6, 1, 3), 4);    // 17^3 and 17*17*19 thrice
    EXPECT_EQ(count_factor_tuples(83521, 17, 24, 1, 4), 1);  // 17^4
    EXPECT_EQ(count_factor_tuples(93347, 17, 24, 1, 4), 5);  // 17^4 and 17^3*19 four times
}

TEST_F(FactorCountsTest, CountsEveryOrderedTupleOnce)
{
    // D_j(y) for j = 2 ... 5 at and around the first products, and at random y.
    ROUGHPI_SEEDED_RNG(rng);
    for (int j = 2; j <= 5; ++j) {
        std::vector<std::int64_t> ys = {ipow(17, j), ipow(17, j) + 1, ipow(17, j - 1) * 19 - 1, ipow(17, j - 1) * 19,
                                        ipow(17, j - 2) * 19 * 19};
        const std::int64_t top = j == 2 ? 100'000'000 : 400 * ipow(17, j);
        for (int trial = 0; trial < 12; ++trial)
            ys.push_back(std::uniform_int_distribution<std::int64_t>(ipow(17, j), top)(rng));
        for (std::int64_t y : ys) {
            const std::int64_t fast =
                j == 2 ? count_factor_pairs(y, 17, 2, 1) : count_factor_tuples(y, 17, factorial(j), 1, j);
            ASSERT_EQ(fast, brute_ordered_tuples(y, j)) << "j = " << j << ", y = " << y;
        }
    }
}

TEST_F(FactorCountsTest, RunLengthWeightsMatchTheOrderingsOfEachTuple)
{
    // Inner calls of the walk: a first entry b other than 17, and an open run of
    // b's (r > 1) whose weight is divided down as the run grows. w = 8! keeps
    // every division exact for these k and r.
    ROUGHPI_SEEDED_RNG(rng);
    const std::int64_t bs[] = {17, 19, 23, 29, 31, 37, 101, 30029, 30031};
    for (int trial = 0; trial < 120; ++trial) {
        const std::int64_t b = bs[trial % 9];
        const int k = 2 + trial % 3;
        const int r = 1 + (trial / 3) % 3;
        const std::int64_t w = 40320;
        const std::int64_t least = ipow(b, k);
        if (least > 20'000'000)
            continue;
        const std::int64_t n = std::uniform_int_distribution<std::int64_t>(
            least, std::min<std::int64_t>(least * 60, std::max<std::int64_t>(least, 400'000)))(rng);
        const std::int64_t fast = k == 2 ? count_factor_pairs(n, b, w, r) : count_factor_tuples(n, b, w, r, k);
        ASSERT_EQ(fast, brute_weighted_tuples(n, b, w, r, k))
            << "n = " << n << ", b = " << b << ", r = " << r << ", k = " << k;
    }

    // Two 17s chosen out of four: the pair routine sees w = 12 and r = 3.
    // 17^4 weighs 1; 17*17*17*v, v > 17, weighs 4; 17*17*u*u weighs 6;
    // 17*17*u*v, 17 < u < v, weighs 12.
    const std::int64_t n = 19 * 23;
    EXPECT_EQ(count_factor_pairs(n, 17, 12, 3), 1 + 4 * 2 + 6 * 1 + 12 * 1);
}

}  // namespace
