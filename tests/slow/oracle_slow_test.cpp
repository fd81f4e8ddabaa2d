// SPDX-License-Identifier: MIT
// pi(x) against primecount from 10^12 to 10^16: 20 random x on the best path
// this processor has, 6 of those below 10^15 on each other vector path and 4
// below 10^14 on the portable one, and the special x below 10^15 on every
// vector path and below 10^14 on the portable one; the huge tests
// take 200 and more on every path, most of an hour.
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
    const std::vector<std::int64_t> xs = large_random_xs(rng, 20);
    std::vector<batch> batches = other_paths(xs);
    batches.push_back({for_this_build(xs), {roughpi::best_counting_path()}});
    check_against_primecount(batches);
}

TEST_F(OracleTest, NextToPowersOf17AndPrimePowersFrom10To12To10To15)
{
    ROUGHPI_SEEDED_RNG(rng);
    // Those from 10^15 to 10^16 (17^13 +- 2 among them) are left to the huge
    // tests: at up to 20 s a count there, a handful of them took minutes.
    std::vector<std::int64_t> xs;
    for (const std::int64_t x : large_special_xs(rng, 582'622'237'229'761))  // 17^12
        if (x < other_path_slow_limit)
            xs.push_back(x);
    const auto below = [&](std::int64_t limit) {
        std::vector<std::int64_t> some;
        for (const std::int64_t x : xs)
            if (x < limit)
                some.push_back(x);
        return for_this_build(some);
    };
    // (In a build of the portable path alone, it takes the x below 10^14.)
    std::vector<batch> batches = {{below(portable_slow_limit), {counting_path::portable}}};
    if (roughpi::best_counting_path() != counting_path::portable)
        batches.push_back({for_this_build(xs), {roughpi::best_counting_path()}});
    for (const counting_path path : vector_paths())
        if (path != roughpi::best_counting_path())
            batches.push_back({below(other_path_slow_limit), {path}});
    check_against_primecount(batches);
}

}  // namespace
