// SPDX-License-Identifier: MIT
// Stopping long counts: prime_count_parallel and nth_prime_parallel on one to
// four threads, and the C interface, stopped from another thread at a random
// moment, end with cancelled (or its C value) soon after, never a number.
#include "support/random_seed.hpp"

#include <roughpi.h>
#include <roughpi/error.hpp>
#include <roughpi/nth_prime.hpp>
#include <roughpi/parallel.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <random>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <thread>

namespace {

using clock_type = std::chrono::steady_clock;

// Runs count(stop) on a thread of its own, requests the stop after `delay`,
// and returns the seconds from the request to the count's end; the count
// must end in cancelled.
double seconds_to_stop(const std::function<std::int64_t(std::stop_token)>& count, std::chrono::milliseconds delay)
{
    std::stop_source source;
    std::future<std::int64_t> result = std::async(std::launch::async, count, source.get_token());
    std::this_thread::sleep_for(delay);
    const auto requested = clock_type::now();
    source.request_stop();
    EXPECT_THROW(result.get(), roughpi::cancelled);
    return std::chrono::duration<double>(clock_type::now() - requested).count();
}

// A count looks at the stop every few milliseconds (a few tens under a
// sanitizer): two seconds is far more than a stop should take, and less than
// a piece or a window of the sieve near 2^63 takes.
constexpr double BOUND = 2.0;

// The largest n, and an x near 2^63.
constexpr std::int64_t LARGEST_N = 216'289'611'853'439'384;
constexpr std::int64_t NEAR_THE_TOP = INT64_MAX - 1'000'000'000;

roughpi::parallel_options on(int threads, std::stop_token stop)
{
    roughpi::parallel_options options;
    options.threads = threads;
    options.stop = std::move(stop);
    return options;
}

TEST(CancelTest, ACountStopsSoonOnEveryThreadCount)
{
    ROUGHPI_SEEDED_RNG(rng);
    for (int threads = 1; threads <= 4; ++threads) {
        const std::chrono::milliseconds delay(std::uniform_int_distribution<int>(20, 400)(rng));
        const double seconds = seconds_to_stop(
            [threads](std::stop_token stop) {
                return roughpi::prime_count_parallel(10'000'000'000'000'000, on(threads, stop));
            },
            delay);
        EXPECT_LT(seconds, BOUND) << threads << " threads, stopped after " << delay.count() << " ms";
    }
    // The largest x: in its split on two threads, and in its count on one,
    // which runs whole.
    for (const int threads : {1, 2})
        EXPECT_LT(seconds_to_stop(
                      [threads](std::stop_token stop) {
                          return roughpi::prime_count_parallel(INT64_MAX, on(threads, stop));
                      },
                      std::chrono::milliseconds(50)),
                  BOUND)
            << threads << " threads";
}

TEST(CancelTest, TheNthPrimeStopsSoonInItsCountAndItsSieve)
{
    ROUGHPI_SEEDED_RNG(rng);
    for (const int threads : {1, 2}) {
        const std::chrono::milliseconds delay(std::uniform_int_distribution<int>(20, 300)(rng));
        EXPECT_LT(seconds_to_stop(
                      [threads](std::stop_token stop) {
                          return roughpi::nth_prime_parallel(300'000'000'000'000, on(threads, stop));
                      },
                      delay),
                  BOUND);
        // The sieve alone: a count of the caller's at x far from p_n.
        EXPECT_LT(seconds_to_stop(
                      [threads](std::stop_token stop) {
                          return roughpi::nth_prime_from_count(300'000'000, 0, 0, on(threads, stop));
                      },
                      std::chrono::milliseconds(50)),
                  BOUND);
        // Within a window near 2^63 (from a count made up for the purpose:
        // the stop comes long before the sieve could run out of range).
        EXPECT_LT(seconds_to_stop(
                      [threads](std::stop_token stop) {
                          return roughpi::nth_prime_from_count(LARGEST_N, NEAR_THE_TOP, LARGEST_N - 1'000'000,
                                                               on(threads, stop));
                      },
                      std::chrono::milliseconds(50)),
                  BOUND);
    }
    // Stopped before it starts.
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_THROW(roughpi::nth_prime(1'000'000'000, stopped.get_token()), roughpi::cancelled);
}

// A callback that fails once the stop is requested, or a count stopped
// while its callback fails: an error either way, never a number.
TEST(CancelTest, ACallbackThatThrowsWhileStoppingIsAnError)
{
    std::stop_source source;
    roughpi::parallel_options options;
    options.threads = 2;
    options.stop = source.get_token();
    int pieces = 0;
    options.piece_done = [&](std::size_t, const roughpi::prime_count_sums&) {
        if (++pieces == 2)
            source.request_stop();
        if (pieces >= 3)
            throw std::runtime_error("disk full");
    };
    EXPECT_ANY_THROW(roughpi::prime_count_parallel(1'000'000'000'000'000, options));
}

TEST(CancelTest, TheCInterfaceStopsWhenItsFlagIsSet)
{
    int cancel = 0;
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::atomic_ref<int>(cancel).store(1);
    });
    EXPECT_EQ(roughpi_pi_cancellable(10'000'000'000'000'000, 2, &cancel), ROUGHPI_CANCELLED);
    setter.join();
    EXPECT_STREQ(roughpi_last_error(), "roughpi: the count was cancelled");
    EXPECT_EQ(roughpi_nth_prime_cancellable(1'000'000'000'000'000, 1, &cancel), ROUGHPI_CANCELLED);
    // Null means nothing stops it, and an unset flag nothing either.
    EXPECT_EQ(roughpi_pi_cancellable(1'000'000'000'000, 2, nullptr), 37'607'912'018);
    volatile int never = 0;
    EXPECT_EQ(roughpi_nth_prime_cancellable(1'000'000'000'000, 2, &never), 29'996'224'275'833);
    EXPECT_EQ(roughpi_nth_prime(-3), -1);
}

}  // namespace
