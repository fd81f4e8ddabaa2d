// SPDX-License-Identifier: MIT
// pi(x) against a sieve, the powers of ten, and independently computed values.
#include "support/brute_force.hpp"
#include "support/known_values.hpp"

#include <roughpi/counting_path.hpp>
#include <roughpi/error.hpp>
#include <roughpi/pieces.hpp>
#include <roughpi/prime_count.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using roughpi::prime_count;
using roughpi::testing::quick_limit;

class PrimeCountTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { roughpi::build_wheel_tables(); }
};

TEST_F(PrimeCountTest, SmallInputsAndThresholdsOfEachTerm)
{
    EXPECT_EQ(prime_count(-1), 0);
    EXPECT_EQ(prime_count(-1'000'000'007), 0);
    EXPECT_EQ(prime_count(INT64_MIN), 0);
    const std::int64_t small[] = {0, 0, 1, 2, 2, 3, 3, 4, 4, 4, 4, 5, 5, 6, 6, 6, 6};
    for (std::int64_t x = 0; x <= 16; ++x)
        EXPECT_EQ(prime_count(x), small[x]) << "x = " << x;
    EXPECT_EQ(prime_count(17), 7);          // the first input that goes through the sums
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
    for (const auto& k : roughpi::testing::powers_of_ten)
        if (k.x <= quick_limit) {
            EXPECT_EQ(prime_count(k.x), k.pi) << "x = " << k.x;
        }
}

TEST_F(PrimeCountTest, KnownValues) { roughpi::testing::check_known_values(0, quick_limit); }

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
    std::vector<counting_path> paths(roughpi::counting_paths().begin(), roughpi::counting_paths().end());
    paths.push_back(static_cast<counting_path>(7));
    for (const auto path : paths) {
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

}  // namespace
