// SPDX-License-Identifier: MIT
// Counting on several threads: the same result as one thread for every thread
// count; concurrent calls into the plain count; the tables built on first use
// by many threads at once; and misuse of the parallel API refused.
#include "support/random_seed.hpp"

#include <roughpi/roughpi.hpp>

#include <gtest/gtest.h>

#if defined(__linux__)
#  include <sched.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <iterator>
#include <numeric>
#include <random>
#include <utility>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Tables never built by hand: the counts must build them themselves, once,
// however many threads ask at the same moment. (Each test runs in a process
// of its own under ctest, so this one sees tables that nobody has built.)
TEST(ThreadsTest, FirstUseFromManyThreadsBuildsTheTablesOnce)
{
    constexpr std::int64_t xs[] = {100, 10'000, 1'000'000, 123'456'789, 10'000'000'000};
    constexpr std::int64_t expected[] = {25, 1'229, 78'498, 7'027'260, 455'052'511};
    std::atomic<bool> go{false};
    std::vector<std::int64_t> results(8 * std::size(xs));
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            while (!go.load()) { }
            for (std::size_t i = 0; i < std::size(xs); ++i)
                results[t * std::size(xs) + i] = roughpi::prime_count(xs[(i + t) % std::size(xs)]);
        });
    go.store(true);
    for (std::thread& thread : threads)
        thread.join();
    for (std::size_t t = 0; t < 8; ++t)
        for (std::size_t i = 0; i < std::size(xs); ++i)
            EXPECT_EQ(results[t * std::size(xs) + i], expected[(i + t) % std::size(xs)]) << "thread " << t;
}

TEST(ThreadsTest, ConcurrentPlainCountsMatchSequentialOnes)
{
    ROUGHPI_SEEDED_RNG(rng);
    std::vector<std::int64_t> xs;
    for (int i = 0; i < 24; ++i)
        xs.push_back(std::uniform_int_distribution<std::int64_t>(0, 50'000'000'000)(rng));
    std::vector<std::int64_t> sequential;
    for (const std::int64_t x : xs)
        sequential.push_back(roughpi::prime_count(x));
    std::vector<std::int64_t> concurrent(xs.size());
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (std::size_t i = t; i < xs.size(); i += 4)
                concurrent[i] = roughpi::prime_count(xs[i]);
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(concurrent, sequential);
}

TEST(ParallelTest, EveryThreadCountGivesTheOneThreadCount)
{
    ROUGHPI_SEEDED_RNG(rng);
    std::vector<std::int64_t> xs = {
        0, 1, 17, 1'000'000, 9'999'999'999, 10'000'000'000, 100'000'000'000, 1'000'000'000'000};
    for (int i = 0; i < 3; ++i)
        xs.push_back(std::uniform_int_distribution<std::int64_t>(10'000'000'000, 400'000'000'000)(rng));
    for (const std::int64_t x : xs) {
        const std::int64_t one = roughpi::prime_count(x);
        for (const int threads : {0, 1, 2, 3, 7, 64})
            EXPECT_EQ(roughpi::prime_count_parallel(x, threads), one) << "x = " << x << ", threads = " << threads;
    }
}

TEST(ParallelTest, ChosenPiecesReportEachPieceAndTheirProgress)
{
    const std::int64_t x = 200'000'000'000;
    const std::vector<roughpi::prime_count_piece> pieces = roughpi::prime_count_piece_list(x);
    ASSERT_GT(pieces.size(), 8u);
    // The odd pieces first, then the even ones; each piece reported once,
    // with its own sums; the progress never goes back and ends at 1.
    for (const int threads : {1, 3}) {
        std::vector<std::size_t> odd, even;
        for (std::size_t i = 0; i < pieces.size(); ++i)
            (i % 2 ? odd : even).push_back(i);
        std::vector<int> reported(pieces.size());
        roughpi::prime_count_sums from_reports;
        std::vector<double> shares;
        roughpi::parallel_options options;
        options.threads = threads;
        options.piece_done = [&](std::size_t index, const roughpi::prime_count_sums& piece_sums) {
            ++reported.at(index);
            EXPECT_EQ(piece_sums.pieces(), 1u);
            from_reports += piece_sums;
        };
        options.progress = [&](double share) { shares.push_back(share); };
        roughpi::prime_count_sums sums = roughpi::count_pieces_parallel(pieces, odd, options);
        EXPECT_EQ(sums.pieces(), odd.size());
        sums += roughpi::count_pieces_parallel(pieces, even, options);
        EXPECT_TRUE(sums == from_reports);
        EXPECT_EQ(roughpi::prime_count_from_sums(sums), roughpi::prime_count(x));
        EXPECT_TRUE(std::all_of(reported.begin(), reported.end(), [](int n) { return n == 1; }));
        ASSERT_FALSE(shares.empty());
        EXPECT_EQ(shares.back(), 1.0);
        for (const double share : shares)
            EXPECT_TRUE(share >= 0.0 && share <= 1.0) << share;
    }
}

// Each piece's term sum, by its term: what two splits would share.
std::vector<std::pair<int, std::uint64_t>> piece_values(std::int64_t x, roughpi::split_kind split)
{
    std::vector<roughpi::prime_count_piece> pieces(roughpi::prime_count_pieces(x, {}, split, {}));
    roughpi::prime_count_pieces(x, pieces, split, {});
    std::vector<std::pair<int, std::uint64_t>> values;
    for (const roughpi::prime_count_piece& piece : pieces) {
        roughpi::prime_count_sums sums;
        roughpi::prime_count_add_piece(piece, sums);
        const auto words = sums.to_words();
        values.emplace_back(piece.term(), words[3 + 2 * static_cast<std::size_t>(piece.term())]);
    }
    std::sort(values.begin(), values.end());
    return values;
}

// The double check: the other split counts the same pi(x) from pieces of
// other sums, and piece_done sees the first count's pieces only, also below
// 10^10, where a count once went whole without them.
TEST(ParallelTest, TheDoubleCheckCountsTheOtherSplitAndReportsTheFirst)
{
    ROUGHPI_SEEDED_RNG(rng);
    std::vector<std::int64_t> xs = {0, 16, 17, 1'000'000, 1'000'000'000, 1'000'000'000'000};
    for (int i = 0; i < 3; ++i)
        xs.push_back(std::uniform_int_distribution<std::int64_t>(17, 100'000'000'000)(rng));
    for (const std::int64_t x : xs) {
        const std::int64_t pi = roughpi::prime_count(x);
        EXPECT_EQ(roughpi::prime_count_other_way(x, {}), pi) << "x = " << x;
        for (const int threads : {1, 2}) {
            roughpi::parallel_options options;
            options.threads = threads;
            options.double_check = true;
            std::size_t reported = 0;
            options.piece_done = [&](std::size_t, const roughpi::prime_count_sums&) { ++reported; };
            EXPECT_EQ(roughpi::prime_count_parallel(x, options), pi) << "x = " << x;
            EXPECT_EQ(reported, roughpi::prime_count_pieces(x, {})) << "x = " << x;
        }
    }
    std::vector<std::pair<int, std::uint64_t>> usual = piece_values(1'000'000'000'000, roughpi::split_kind::usual);
    const std::vector<std::pair<int, std::uint64_t>> other =
        piece_values(1'000'000'000'000, roughpi::split_kind::other);
    std::vector<std::pair<int, std::uint64_t>> shared;
    std::set_intersection(usual.begin(), usual.end(), other.begin(), other.end(), std::back_inserter(shared));
    // Only small nodes that both splits leave whole (a quarter of the 88
    // pieces here, an eighth of the 2941 at 10^14) have the same sum.
    EXPECT_LE(shared.size(), usual.size() / 3) << "of " << usual.size() << " pieces";
    EXPECT_THROW(roughpi::double_checked(10, 4, 5), roughpi::internal_error);
}

TEST(ParallelTest, MisuseIsRefused)
{
    EXPECT_THROW(roughpi::prime_count_parallel(1000, -1), roughpi::input_error);
    EXPECT_THROW(roughpi::prime_count_parallel(1000, roughpi::MAX_THREADS + 1), roughpi::input_error);
    const std::vector<roughpi::prime_count_piece> pieces = roughpi::prime_count_piece_list(50'000'000'000);
    const std::vector<std::size_t> outside = {0, pieces.size()};
    const std::vector<std::size_t> twice = {1, 2, 1};
    EXPECT_THROW(roughpi::count_pieces_parallel(pieces, outside), roughpi::input_error);
    EXPECT_THROW(roughpi::count_pieces_parallel(pieces, twice), roughpi::input_error);
}

#if defined(__linux__)
// As under `taskset -c 0`: a thread confined to one CPU counts on one by
// default, whatever the machine has (its new threads inherit the mask).
TEST(ThreadsTest, TheDefaultIsTheCpusTheProcessMayUse)
{
    std::thread confined([] {
        cpu_set_t all;
        ASSERT_EQ(sched_getaffinity(0, sizeof(all), &all), 0);
        EXPECT_EQ(roughpi::usable_cpus(),
                  std::min<int>(CPU_COUNT(&all), static_cast<int>(std::thread::hardware_concurrency())));
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &all)) {
                CPU_SET(cpu, &one);
                break;
            }
        ASSERT_EQ(sched_setaffinity(0, sizeof(one), &one), 0);
        EXPECT_EQ(roughpi::usable_cpus(), 1);
        EXPECT_EQ(roughpi::prime_count_parallel(20'000'000'000), roughpi::prime_count(20'000'000'000));
    });
    confined.join();
}
#endif

TEST(ParallelTest, AFailingCallbackStopsTheCount)
{
    const std::vector<roughpi::prime_count_piece> pieces = roughpi::prime_count_piece_list(1'000'000'000'000);
    std::vector<std::size_t> all(pieces.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    roughpi::parallel_options options;
    options.threads = 2;
    int calls = 0;
    options.piece_done = [&](std::size_t, const roughpi::prime_count_sums&) {
        if (++calls == 3)
            throw std::runtime_error("disk full");
    };
    EXPECT_THROW(roughpi::count_pieces_parallel(pieces, all, options), std::runtime_error);
    EXPECT_EQ(calls, 3);
}

}  // namespace
