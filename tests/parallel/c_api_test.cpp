// SPDX-License-Identifier: MIT
// The C interface (roughpi.h): the same counts as the C++ functions, -1 and a
// message instead of exceptions, and the message kept per thread.
#include "support/brute_force.hpp"
#include "support/random_seed.hpp"

#include "c_api_call.hpp"

#include <roughpi.h>
#include <roughpi/parallel.hpp>
#include <roughpi/prime_count.hpp>
#include <roughpi/version.hpp>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

namespace {

std::string last_error() { return roughpi_last_error(); }

// Runs f on a thread of its own, which starts with no error text.
template <class F>
void on_new_thread(F f)
{
    std::thread thread(f);
    thread.join();
}

TEST(CApiTest, CountsWhatTheCppFunctionsCount)
{
    ROUGHPI_SEEDED_RNG(rng);
    const std::vector<std::int64_t> sieve = roughpi::testing::sieve_prime_counts(100'000);
    for (std::int64_t x : {INT64_MIN, std::int64_t{-1}, std::int64_t{0}, std::int64_t{1}, std::int64_t{2},
                           std::int64_t{16}, std::int64_t{17}, std::int64_t{100'000}})
        EXPECT_EQ(roughpi_pi(x), x < 0 ? 0 : sieve[static_cast<std::size_t>(x)]) << "x = " << x;
    EXPECT_EQ(roughpi_pi(10'000'000'000), 455'052'511);
    for (int i = 0; i < 20; ++i) {
        const auto x = static_cast<std::int64_t>(rng() % 100'000'000'000);
        EXPECT_EQ(roughpi_pi(x), roughpi::prime_count(x)) << "x = " << x;
    }
    // Large enough to be shared out among the threads.
    for (int threads : {0, 1, 2, 3}) {
        const auto x = static_cast<std::int64_t>(10'000'000'000 + rng() % 90'000'000'000);
        EXPECT_EQ(roughpi_pi_threads(x, threads), roughpi::prime_count(x)) << "x = " << x << ", threads = " << threads;
    }
    EXPECT_EQ(roughpi_pi_threads(-5, 2), 0);
    EXPECT_EQ(roughpi_pi_threads(1000, roughpi::MAX_THREADS), 168);
}

TEST(CApiTest, VersionAndLargestInput)
{
    EXPECT_STREQ(roughpi_version(), ROUGHPI_VERSION);
    EXPECT_STREQ(roughpi_version(), roughpi::version());
    EXPECT_EQ(roughpi_max_x(), roughpi::MAX_SUPPORTED_X);
}

TEST(CApiTest, RefusesWithMinusOneAndSaysWhy)
{
    // Every x is supported, so only a thread count can be wrong.
    EXPECT_EQ(roughpi_max_x(), INT64_MAX);
    for (int threads : {-1, INT_MIN, roughpi::MAX_THREADS + 1, INT_MAX}) {
        EXPECT_EQ(roughpi_pi_threads(1000, threads), -1) << "threads = " << threads;
        EXPECT_EQ(last_error().rfind("roughpi: " + std::to_string(threads) + " threads", 0), 0u) << last_error();
    }
}

TEST(CApiTest, ACountClearsTheErrorTextAndNothingElseTouchesIt)
{
    on_new_thread([] {
        EXPECT_EQ(last_error(), "");
        ASSERT_EQ(roughpi_pi_threads(100, -1), -1);
        const std::string refused = last_error();
        EXPECT_NE(refused, "");
        // Asking for the version or the limit, e.g. to report the error, keeps it.
        roughpi_version();
        roughpi_max_x();
        EXPECT_EQ(last_error(), refused);
        EXPECT_EQ(roughpi_pi(100), 25);
        EXPECT_EQ(last_error(), "");

        ASSERT_EQ(roughpi_pi_threads(100, -3), -1);
        EXPECT_NE(last_error(), "");
        EXPECT_EQ(roughpi_pi_threads(100, 1), 25);  // either count clears what was left
        EXPECT_EQ(last_error(), "");
    });
}

TEST(CApiTest, TheErrorTextBelongsToItsThread)
{
    ASSERT_EQ(roughpi_pi_threads(1000, -1), -1);
    const std::string mine = last_error();
    const char* const mine_pointer = roughpi_last_error();
    std::string other_before, other_after;
    const char* other_pointer = nullptr;
    on_new_thread([&] {
        other_before = last_error();
        EXPECT_EQ(roughpi_pi_threads(1000, 5000), -1);
        other_after = last_error();
        other_pointer = roughpi_last_error();
    });
    EXPECT_EQ(other_before, "");
    EXPECT_EQ(other_after.rfind("roughpi: 5000 threads", 0), 0u) << other_after;
    EXPECT_NE(other_pointer, mine_pointer);
    EXPECT_EQ(last_error(), mine);  // the other thread's refusal left this one's text alone
    EXPECT_EQ(roughpi_pi(10), 4);
}

TEST(CApiTest, ErrorTextIsPrefixedAndCutToTheBuffer)
{
    on_new_thread([] {
        roughpi_internal_set_last_error("no threads");
        EXPECT_EQ(last_error(), "roughpi: no threads");
        roughpi_internal_set_last_error("roughpi: 5 threads");
        EXPECT_EQ(last_error(), "roughpi: 5 threads");
        const std::string long_text(5000, 'x');
        roughpi_internal_set_last_error(long_text.c_str());
        const std::string cut = last_error();
        EXPECT_GT(cut.size(), 256u);  // room for any message the library formats
        EXPECT_LT(cut.size(), long_text.size());
        EXPECT_EQ(cut, "roughpi: " + long_text.substr(0, cut.size() - 9));
        roughpi_internal_set_last_error(nullptr);
        EXPECT_EQ(last_error(), "");
    });
}

}  // namespace

namespace {

TEST(CApiTest, RangesCountOrSayWhyNot)
{
    EXPECT_EQ(roughpi_pi_range(0, 100, 2), 25);
    EXPECT_EQ(roughpi_pi_range(1'000'000'000'000, 1'000'100'000'000, 0), 3'618'282);
    const int never = 0;
    EXPECT_EQ(roughpi_pi_range_cancellable(2, 2, 1, &never), 1);
    const int stopped = 1;
    EXPECT_EQ(roughpi_pi_range_cancellable(0, 100, 1, &stopped), ROUGHPI_CANCELLED);
    EXPECT_EQ(roughpi_pi_range(5, 4, 1), -1);
    EXPECT_EQ(last_error(), "roughpi: prime_count_range: a = 5 is above b = 4: the range [a, b] must have a <= b");
    EXPECT_EQ(roughpi_pi_range(-1, 4, 1), -1);
    EXPECT_EQ(roughpi_pi_range(0, 4, -1), -1);
}

}  // namespace
