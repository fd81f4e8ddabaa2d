// SPDX-License-Identifier: MIT
// pi(x) against primecount from 10^12 to 10^16: 30 random x on the best path
// this processor has, 10 of them on the other vector path and 6 below 10^14 on
// the portable one; the huge tests take 200 and more on every path, most of
// an hour.
#include "support/oracle.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using namespace roughpi::testing;
using roughpi::counting_path;

TEST_F(OracleTest, RandomXFrom10To12To10To16)
{
    ROUGHPI_SEEDED_RNG(rng);
    const std::vector<std::int64_t> xs = large_random_xs(rng, 30);
    std::vector<batch> batches = other_paths(xs);
    batches.push_back({for_this_build(xs), {roughpi::best_counting_path()}});
    check_against_primecount(batches);
}

TEST_F(OracleTest, NextToPowersOf17AndPrimePowersFrom10To12To10To16)
{
    ROUGHPI_SEEDED_RNG(rng);
    // 17^13 +- 2, near 10^16, are left to the huge tests.
    const std::vector<std::int64_t> xs = large_special_xs(rng, 582'622'237'229'761);  // 17^12
    std::vector<std::int64_t> portable_xs;
    for (const std::int64_t x : xs)
        if (x < portable_slow_limit)
            portable_xs.push_back(x);
    check_against_primecount(
        {{for_this_build(xs), vector_paths()}, {for_this_build(portable_xs), {counting_path::portable}}});
}

}  // namespace
