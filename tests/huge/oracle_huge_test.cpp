// SPDX-License-Identifier: MIT
// pi(x) against primecount from 10^12 to 10^16, every x on every path.
#include "support/oracle.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using namespace roughpi::testing;
using roughpi::counting_path;

TEST_F(OracleTest, EveryLargeXOnEveryPath)
{
    ROUGHPI_SEEDED_RNG(rng);
    std::vector<std::int64_t> xs = large_random_xs(rng);
    const std::vector<std::int64_t> special = large_special_xs(rng);
    xs.insert(xs.end(), special.begin(), special.end());
    check_against_primecount({{xs, available_paths()}});
}

}  // namespace
