// SPDX-License-Identifier: MIT
// Known values of pi(x) that tests check the count against: the powers of ten,
// and the table of tests/data/pi_values.tsv (ROUGHPI_PI_VALUES).
#pragma once

#include "support/brute_force.hpp"

#include <roughpi/prime_count.hpp>

#include <gtest/gtest.h>

#include <cstdint>

namespace roughpi::testing {

struct known {
    std::int64_t x;
    std::int64_t pi;
};

inline constexpr known powers_of_ten[] = {
    {10, 4},
    {100, 25},
    {1'000, 168},
    {10'000, 1'229},
    {100'000, 9'592},
    {1'000'000, 78'498},
    {10'000'000, 664'579},
    {100'000'000, 5'761'455},
    {1'000'000'000, 50'847'534},
    {10'000'000'000, 455'052'511},
    {100'000'000'000, 4'118'054'813},
    {1'000'000'000'000, 37'607'912'018},
    {10'000'000'000'000, 346'065'536'839},
    {100'000'000'000'000, 3'204'941'750'802},
    {1'000'000'000'000'000, 29'844'570'422'669},
};

inline constexpr std::int64_t quick_limit = 1'000'000'000'000;  // larger inputs are in the slow tests

// pi(x) against the table of known values (ROUGHPI_PI_VALUES), for x in
// [from, to]; skips the test when the table is absent.
inline void check_known_values(std::int64_t from, std::int64_t to)
{
    const auto values = roughpi::testing::read_known_values(ROUGHPI_PI_VALUES);
    if (values.empty())
        GTEST_SKIP() << "no table of known values at " << ROUGHPI_PI_VALUES;
    int checked = 0;
    for (const auto& v : values) {
        if (v.x < from || v.x > to)
            continue;
        EXPECT_EQ(roughpi::prime_count(v.x), v.pi) << "x = " << v.x;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

}  // namespace roughpi::testing
