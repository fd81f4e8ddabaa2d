// SPDX-License-Identifier: MIT
// Checking pi(x) on every counting path against primecount (Debian's
// libprimecount-dev), a prime counter built on other methods, which shares no
// code and no way of counting with this library: what the oracle tests of
// every size (oracle/, slow/, huge/) share.
//
// primecount runs on one thread, on the test's main thread; the counts on
// the paths are spread over every core, largest first. Each test prints the
// processor seconds that primecount and each path took.
#pragma once

#include "support/counting_paths.hpp"
#include "support/known_values.hpp"
#include "support/random_seed.hpp"

#include <roughpi/prime_count.hpp>

#include <primecount.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <exception>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace roughpi::testing {

using roughpi::counting_path;

// The vector paths that this processor has (none in a portable build).
inline std::vector<counting_path> vector_paths()
{
    std::vector<counting_path> paths = available_paths();
    paths.erase(std::remove(paths.begin(), paths.end(), counting_path::portable), paths.end());
    return paths;
}

// Some x, and the paths to count each of them on.
struct batch {
    std::vector<std::int64_t> xs;
    std::vector<counting_path> paths;
};

// A rough guess at the seconds that a count takes, only for the order in
// which the threads take them: the time grows about 6.5-fold per tenfold x,
// and the portable path takes about five times as long as the vector paths.
inline double estimated_cost(std::int64_t x, counting_path path)
{
    return std::pow(static_cast<double>(std::max<std::int64_t>(x, 1)), 0.81) *
        (path == counting_path::portable ? 5.0 : 1.0);
}

inline double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The processor time of the calling thread, which other programs on a busy
// machine do not inflate as they do the wall time (the wall time where the
// system has no such clock).
inline double thread_seconds()
{
#if defined(CLOCK_THREAD_CPUTIME_ID)
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
#else
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
#endif
}

// Counts each x of the batches on each of its batch's paths and once with
// primecount, and reports every count that differs from primecount's.
inline void check_against_primecount(const std::vector<batch>& batches)
{
    // Each distinct x is asked of primecount once.
    std::vector<std::int64_t> xs;
    for (const batch& b : batches)
        xs.insert(xs.end(), b.xs.begin(), b.xs.end());
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());

    struct count {
        std::size_t x;  // index into xs
        counting_path path;
        std::int64_t pi = -1;
        std::string error;  // what the count threw, if it did
        double seconds = 0.0;
    };
    std::vector<count> counts;
    for (const batch& b : batches)
        for (const std::int64_t x : b.xs)
            for (const counting_path path : b.paths)
                counts.push_back({static_cast<std::size_t>(std::lower_bound(xs.begin(), xs.end(), x) - xs.begin()),
                                  path, -1, "", 0.0});
    // Largest first, so that the threads finish together.
    std::stable_sort(counts.begin(), counts.end(), [&](const count& a, const count& b) {
        return estimated_cost(xs[a.x], a.path) > estimated_cost(xs[b.x], b.path);
    });

    std::atomic<std::size_t> next{0};
    const auto count_some = [&] {
        for (std::size_t i = next++; i < counts.size(); i = next++) {
            count& c = counts[i];
            const double start = thread_seconds();
            try {
                c.pi = roughpi::prime_count(xs[c.x], c.path);
            } catch (const std::exception& e) {
                c.error = e.what();
            }
            c.seconds = thread_seconds() - start;
        }
    };
    const auto wall_start = std::chrono::steady_clock::now();
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 2u, 16u);
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t)
        helpers.emplace_back(count_some);
    // This thread asks primecount, one x at a time, then helps with the rest.
    // primecount's own threads are its business: it is held to one, so that
    // it takes no more than its share of the machine.
    std::vector<std::int64_t> truth(xs.size());
    primecount_set_num_threads(1);
    const double oracle_start = thread_seconds();
    for (std::size_t i = 0; i < xs.size(); ++i)
        truth[i] = primecount_pi(xs[i]);
    const double oracle_seconds = thread_seconds() - oracle_start;
    count_some();
    for (std::thread& helper : helpers)
        helper.join();
    const double wall_seconds = seconds_since(wall_start);

    for (std::size_t i = 0; i < xs.size(); ++i)
        ASSERT_GE(truth[i], 0) << "primecount failed at x = " << xs[i];
    int wrong = 0;
    std::map<counting_path, double> seconds;
    for (const count& c : counts) {
        seconds[c.path] += c.seconds;
        if (c.error.empty() && c.pi == truth[c.x])
            continue;
        if (++wrong <= 20) {  // enough to see a pattern, not a flood
            ADD_FAILURE() << "pi(" << xs[c.x] << ") on the " << roughpi::counting_path_name(c.path)
                          << " path: " << (c.error.empty() ? std::to_string(c.pi) : "threw: " + c.error)
                          << ", primecount " << truth[c.x];
        }
    }
    EXPECT_EQ(wrong, 0) << "counts that differ from primecount's, out of " << counts.size();

    std::string times =
        std::to_string(xs.size()) + " x, " + std::to_string(counts.size()) + " counts; processor seconds: ";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "primecount %.1f", oracle_seconds);
    times += buffer;
    for (const auto& [path, s] : seconds) {
        std::snprintf(buffer, sizeof buffer, ", %s %.1f", roughpi::counting_path_name(path), s);
        times += buffer;
    }
    std::snprintf(buffer, sizeof buffer, "; %.1f s wall time on %u threads", wall_seconds, threads);
    std::printf("%s%s\n", times.c_str(), buffer);
}

// x = 10^e, e uniform in [low, high): every scale is drawn as often. The low
// bits of a large x from pow() are not random, so they are drawn again: x is
// lowered by up to a millionth.
inline std::int64_t scale_uniform(std::mt19937_64& rng, double low, double high)
{
    const auto x = static_cast<std::int64_t>(std::pow(10.0, std::uniform_real_distribution<double>(low, high)(rng)));
    return x - std::uniform_int_distribution<std::int64_t>(0, x >> 20)(rng);
}

inline bool is_prime(std::int64_t n)
{
    if (n < 2)
        return false;
    for (std::int64_t d = 2; d * d <= n; ++d)
        if (n % d == 0)
            return false;
    return true;
}

inline std::int64_t next_prime(std::int64_t n)
{
    while (!is_prime(n))
        ++n;
    return n;
}

inline std::int64_t previous_prime(std::int64_t n)
{
    while (!is_prime(n))
        --n;
    return n;
}

// p^2 - 1, p^2, p^2 + 1 and p^3 - 1, p^3, p^3 + 1: the squares of `squares`
// and the cubes of `cubes`.
inline std::vector<std::int64_t> next_to_prime_powers(const std::vector<std::int64_t>& squares,
                                                      const std::vector<std::int64_t>& cubes)
{
    std::vector<std::int64_t> xs;
    for (const std::int64_t p : squares)
        for (const std::int64_t d : {-1, 0, 1})
            xs.push_back(p * p + d);
    for (const std::int64_t p : cubes)
        for (const std::int64_t d : {-1, 0, 1})
            xs.push_back(p * p * p + d);
    return xs;
}

// Random primes, 10^e rounded up to a prime with e uniform in [low, high).
inline std::vector<std::int64_t> random_primes(std::mt19937_64& rng, int how_many, double low, double high)
{
    std::vector<std::int64_t> primes;
    for (int i = 0; i < how_many; ++i)
        primes.push_back(next_prime(scale_uniform(rng, low, high)));
    return primes;
}

// 17^k - 2 ... 17^k + 2 for the k with low <= 17^k <= high.
inline std::vector<std::int64_t> next_to_powers_of_17(std::int64_t low, std::int64_t high)
{
    std::vector<std::int64_t> xs;
    for (std::int64_t p = 17; p <= high; p *= 17)
        if (p >= low)
            for (std::int64_t d = -2; d <= 2; ++d)
                xs.push_back(p + d);
    return xs;
}

inline constexpr std::int64_t slow_limit = 10'000'000'000'000'000;  // 10^16
// The portable path, several times slower than the vector paths, takes the
// slow tests' x below 10^14 only (the huge tests take them all).
inline constexpr std::int64_t portable_slow_limit = 100'000'000'000'000;  // 10^14
// The other vector paths take the slow tests' x below 10^15 only.
inline constexpr std::int64_t other_path_slow_limit = 1'000'000'000'000'000;  // 10^15

// `count` random x of every scale in [10^12, 10^16).
inline std::vector<std::int64_t> large_random_xs(std::mt19937_64& rng, int count = 200)
{
    std::vector<std::int64_t> xs;
    for (int i = 0; i < count; ++i)
        xs.push_back(scale_uniform(rng, 12, 16));
    return xs;
}

// The neighbours of 17^10 ... 17^13 (or of those below `powers_below`), then
// those of the squares and cubes of a few random primes whose squares and
// cubes fall in [10^12, 10^16).
inline std::vector<std::int64_t> large_special_xs(std::mt19937_64& rng, std::int64_t powers_below = slow_limit)
{
    std::vector<std::int64_t> xs = next_to_powers_of_17(quick_limit, powers_below);
    const std::vector<std::int64_t> squares = random_primes(rng, 3, 6, 8);       // p^2 in [10^12, 10^16)
    const std::vector<std::int64_t> cubes = random_primes(rng, 3, 4, 16.0 / 3);  // p^3 in [10^12, 10^16)
    for (const std::int64_t x : next_to_prime_powers(squares, cubes))
        if (x < slow_limit)
            xs.push_back(x);
    return xs;
}

// The x of an oracle test that this build counts: all of them, but under
// the sanitizers, where a count takes up to eight times as long, every tenth
// of those below 10^15. Those builds look for memory errors and undefined
// behaviour, which a few x of every scale bring out as well as all (the tests
// of the powers of ten and two reach 10^15 and 2^53 there); the arithmetic is
// checked in full by the other builds.
inline std::vector<std::int64_t> for_this_build(const std::vector<std::int64_t>& xs)
{
#if defined(ROUGHPI_TESTS_SANITIZED)
    std::vector<std::int64_t> some;
    std::size_t below = 0;
    for (const std::int64_t x : xs)
        if (x < 1'000'000'000'000'000 && below++ % 10 == 0)
            some.push_back(x);
    return some;
#else
    return xs;
#endif
}

// The paths other than the best: the vector paths but the best, then the
// portable one, each with how many of the large random x it counts in the
// slow tests (6 below 10^15 and 4 below 10^14).
inline std::vector<batch> other_paths(const std::vector<std::int64_t>& xs)
{
    std::vector<batch> batches;
    for (const counting_path path : available_paths()) {
        if (path == roughpi::best_counting_path())
            continue;
        const std::size_t some = path == counting_path::portable ? 4 : 6;
        std::vector<std::int64_t> taken;
        for (const std::int64_t x : xs)
            if (taken.size() < some &&
                x < (path == counting_path::portable ? portable_slow_limit : other_path_slow_limit))
                taken.push_back(x);
        batches.push_back({for_this_build(taken), {path}});
    }
    return batches;
}

class OracleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { roughpi::build_wheel_tables(); }
};

}  // namespace roughpi::testing
