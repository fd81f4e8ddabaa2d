// pi(x) against a sieve, the powers of ten, and independently computed values.
#include "support/brute_force.hpp"

#include <roughpi/prime_count.hpp>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using roughpi::prime_count;

class PrimeCountTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { roughpi::build_wheel_tables(); }
};

struct known {
    std::int64_t x;
    std::int64_t pi;
};

constexpr known powers_of_ten[] = {
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

constexpr std::int64_t quick_limit = 1'000'000'000'000;  // larger inputs are in the slow tests

TEST_F(PrimeCountTest, SmallInputsAndThresholdsOfEachTerm)
{
    EXPECT_EQ(prime_count(-1), 0);
    EXPECT_EQ(prime_count(-1'000'000'007), 0);
    EXPECT_EQ(prime_count(INT64_MIN), 0);
    const std::int64_t small[] = {0, 0, 1, 2, 2, 3, 3, 4, 4, 4, 4, 5, 5, 6, 6, 6, 6};
    for (std::int64_t x = 0; x <= 16; ++x)
        EXPECT_EQ(prime_count(x), small[x]) << "x = " << x;
    EXPECT_EQ(prime_count(17), 7);  // the first input that goes through the sums
    for (std::int64_t x : {288, 289, 290})  // where D_2 starts
        EXPECT_EQ(prime_count(x), 61) << "x = " << x;
    for (std::int64_t x : {4912, 4913})  // where D_3 starts
        EXPECT_EQ(prime_count(x), 656) << "x = " << x;
}

TEST_F(PrimeCountTest, MatchesASieveForEveryXUpToAMillion)
{
    const std::int64_t limit = 1'000'000;
    const auto pi = roughpi::testing::sieve_prime_counts(limit);
    for (std::int64_t x = 0; x <= limit; ++x)
        ASSERT_EQ(prime_count(x), pi[x]) << "x = " << x;
}

TEST_F(PrimeCountTest, PowersOfTen)
{
    for (const known& k : powers_of_ten)
        if (k.x <= quick_limit) {
            EXPECT_EQ(prime_count(k.x), k.pi) << "x = " << k.x;
        }
}

TEST_F(PrimeCountTest, SlowPowersOfTen)
{
    for (const known& k : powers_of_ten)
        if (k.x > quick_limit) {
            EXPECT_EQ(prime_count(k.x), k.pi) << "x = " << k.x;
        }
}

void check_known_values(std::int64_t from, std::int64_t to)
{
    const auto values = roughpi::testing::read_known_values(ROUGHPI_PI_VALUES);
    if (values.empty())
        GTEST_SKIP() << "no table of known values at " << ROUGHPI_PI_VALUES;
    int checked = 0;
    for (const auto& v : values) {
        if (v.x < from || v.x > to)
            continue;
        EXPECT_EQ(prime_count(v.x), v.pi) << "x = " << v.x;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

TEST_F(PrimeCountTest, KnownValues) { check_known_values(0, quick_limit); }

TEST_F(PrimeCountTest, SlowKnownValues) { check_known_values(quick_limit + 1, 1'000'000'000'000'000); }

// 2^53 is the first x whose pair count runs past the exact range of the vector
// paths' double-precision quotients.
TEST_F(PrimeCountTest, SlowPowersOfTwoAroundTheDoublePrecisionLimit)
{
    EXPECT_EQ(prime_count(std::int64_t{1} << 50), 33'483'379'603'407);
    EXPECT_EQ(prime_count(std::int64_t{1} << 53), 252'252'704'148'404);
}

}  // namespace
