// pi(x) against a sieve, the powers of ten, and independently computed values.
#include "support/brute_force.hpp"

#include <roughpi/roughpi.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

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

// What a user can get wrong is refused, in every build type, and nothing needs
// setting up first: this test calls prime_count before it builds the tables,
// and under ctest it runs in a process of its own. (The pieces and the
// threads have their own tests.)
TEST(CheckedApiTest, MisuseIsRefusedAndNoSetUpIsNeeded)
{
    EXPECT_EQ(prime_count(100), 25);
    EXPECT_EQ(prime_count(10'000), 1'229);
    roughpi::build_wheel_tables();  // a warm-up, harmless after the fact
    EXPECT_EQ(prime_count(1'000'000'007), 50'847'535);

    using roughpi::counting_path;
    // A path this build or processor lacks, or no path at all, is never run.
    for (const auto path : {counting_path::portable, counting_path::avx2, counting_path::avx512,
                            static_cast<counting_path>(7)}) {
        if (roughpi::counting_path_available(path)) {
            EXPECT_EQ(prime_count(1'000'000, path), 78'498);
        } else {
            EXPECT_THROW(prime_count(1'000'000, path), roughpi::input_error) << roughpi::counting_path_name(path);
        }
    }
    EXPECT_FALSE(roughpi::counting_path_available(static_cast<counting_path>(7)));
    EXPECT_STREQ(roughpi::counting_path_name(static_cast<counting_path>(7)), "unknown");
    EXPECT_TRUE(roughpi::counting_path_available(roughpi::best_counting_path()));
    try {
        prime_count(10, static_cast<counting_path>(7));
    } catch (const std::domain_error& error) {  // the standard base, as callers may catch it
        EXPECT_EQ(std::string(error.what()),
                  "roughpi: the counting path 'unknown' is not available on this processor or in this build");
    }
    // Every x a signed 64-bit integer holds is supported.
    static_assert(roughpi::MAX_SUPPORTED_X == INT64_MAX);
}

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

TEST(PrimeCountTest, HugeKnownValues)
{
    const auto values = roughpi::testing::read_known_values(ROUGHPI_PI_VALUES);
    if (values.empty())
        GTEST_SKIP() << "no table of known values at " << ROUGHPI_PI_VALUES;
    for (const auto& v : values)
        if (v.x > 1'000'000'000'000'000)  // beyond the slow tests' 10^15
            check_huge(v.x, v.pi);
}

TEST(PrimeCountTest, HugeLargestSignedInteger) { check_huge(INT64_MAX, 216'289'611'853'439'384); }

// 2^53 is the first x whose pair count runs past the exact range of the vector
// paths' double-precision quotients.
TEST_F(PrimeCountTest, SlowPowersOfTwoAroundTheDoublePrecisionLimit)
{
    EXPECT_EQ(prime_count(std::int64_t{1} << 50), 33'483'379'603'407);
    EXPECT_EQ(prime_count(std::int64_t{1} << 53), 252'252'704'148'404);
}

}  // namespace
