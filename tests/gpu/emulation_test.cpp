// SPDX-License-Identifier: MIT
// The count on the device through its host emulation (gpu_options::emulate):
// the rounds, the grids and every kernel's threads as the device runs them,
// one after another on this thread. pi(x) against the known values and the
// CPU's count, the sums of random subsets of pieces against the CPU's (the
// same words, fingerprints included), what is refused before anything is
// counted, and a stop.
#include "support/known_values.hpp"
#include "support/random_seed.hpp"

#include <roughpi/error.hpp>
#include <roughpi/gpu.hpp>
#include <roughpi/parallel.hpp>
#include <roughpi/prime_count.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <stop_token>
#include <string>
#include <vector>

namespace {

using roughpi::prime_count_piece;
using roughpi::prime_count_sums;

roughpi::gpu_options emulated()
{
    roughpi::gpu_options options;
    options.emulate = true;
    return options;
}

// pi(x) for log-uniform random x up to 10^9 and a few up to 10^12, the
// powers of ten to 10^12 and the known values up to 10^12.
TEST(GpuEmulationTest, CountsTheKnownValuesAndRandomXAsTheCpuDoes)
{
    for (const roughpi::testing::known& k : roughpi::testing::powers_of_ten)
        if (k.x <= roughpi::testing::quick_limit) {
            EXPECT_EQ(roughpi::prime_count_gpu(k.x, emulated()), k.pi) << "x = " << k.x;
        }
    for (const auto& v : roughpi::testing::read_known_values(ROUGHPI_PI_VALUES))
        if (v.x <= roughpi::testing::quick_limit) {
            EXPECT_EQ(roughpi::prime_count_gpu(v.x, emulated()), v.pi) << "x = " << v.x;
        }
    ROUGHPI_SEEDED_RNG(rng);
    std::printf("random x from seed %u\n", rng_seed);
    for (int i = 0; i < 300; ++i) {
        const double digits = std::uniform_real_distribution<double>(0.0, i < 297 ? 9.0 : 12.0)(rng);
        const auto x = static_cast<std::int64_t>(std::pow(10.0, digits)) - 2;
        ASSERT_EQ(roughpi::prime_count_gpu(x, emulated()), roughpi::prime_count(x)) << "x = " << x;
    }
}

// A random subset of the pieces of random x, counted on the emulated device
// and on threads: the same sums, word for word; and the two halves of a
// count, one from each, finish the count.
TEST(GpuEmulationTest, AnySubsetOfPiecesGivesTheCpusSums)
{
    ROUGHPI_SEEDED_RNG(rng);
    for (int i = 0; i < 6; ++i) {
        const std::int64_t x = std::uniform_int_distribution<std::int64_t>(10'000'000'000, 2'000'000'000'000)(rng);
        SCOPED_TRACE("x = " + std::to_string(x));
        const std::vector<prime_count_piece> pieces = roughpi::prime_count_piece_list(x);
        std::vector<std::size_t> order(pieces.size());
        for (std::size_t j = 0; j < order.size(); ++j)
            order[j] = j;
        std::shuffle(order.begin(), order.end(), rng);
        const std::size_t half = std::uniform_int_distribution<std::size_t>(1, order.size() - 1)(rng);
        std::vector<prime_count_piece> on_device;
        for (std::size_t j = 0; j < half; ++j)
            on_device.push_back(pieces[order[j]]);
        prime_count_sums device;
        std::vector<std::size_t> done;
        roughpi::gpu_options options = emulated();
        options.piece_done = [&](std::size_t index, const prime_count_sums& piece_sums) {
            done.push_back(index);
            EXPECT_EQ(piece_sums, roughpi::count_pieces_parallel(pieces, std::vector{order[index]}));
        };
        roughpi::count_pieces_gpu(on_device, device, options);
        EXPECT_EQ(done.size(), half);
        const prime_count_sums cpu =
            roughpi::count_pieces_parallel(pieces, std::vector<std::size_t>(order.begin(), order.begin() + half));
        EXPECT_EQ(device.to_words(), cpu.to_words());
        device += roughpi::count_pieces_parallel(pieces, std::vector<std::size_t>(order.begin() + half, order.end()));
        EXPECT_EQ(roughpi::prime_count_from_sums(device), roughpi::prime_count(x));
    }
}

TEST(GpuEmulationTest, WhatAddPieceRefusesIsRefusedBeforeAnythingIsCounted)
{
    const std::vector<prime_count_piece> pieces = roughpi::prime_count_piece_list(10'000'000'000);
    const std::vector<prime_count_piece> others = roughpi::prime_count_piece_list(20'000'000'000);
    prime_count_sums sums;
    roughpi::prime_count_add_piece(pieces[2], sums);
    const prime_count_sums before = sums;
    const auto refused = [&](std::vector<prime_count_piece> list, const char* what) {
        EXPECT_THROW(roughpi::count_pieces_gpu(list, sums, emulated()), roughpi::input_error) << what;
        EXPECT_EQ(sums, before) << what;
    };
    refused({pieces[0], pieces[0]}, "a piece twice");
    refused({pieces[0], pieces[2]}, "a piece the sums hold");
    refused({pieces[0], others[1]}, "pieces of two counts");
    refused({others[0]}, "a piece of another count than the sums'");
    refused({prime_count_piece{}}, "a piece made by hand");
    prime_count_piece changed = pieces[1];
    reinterpret_cast<unsigned char*>(&changed)[8] ^= 1;  // its n
    refused({changed}, "a piece changed");
}

// A stop asked for from the progress ends the count with cancelled, and the
// sums stay as they were.
TEST(GpuEmulationTest, AStopEndsTheCountAndChangesNothing)
{
    std::stop_source source;
    roughpi::gpu_options options = emulated();
    options.stop = source.get_token();
    std::atomic<int> calls{0};
    options.progress = [&](double) {
        if (++calls == 2)
            source.request_stop();
    };
    const std::vector<prime_count_piece> pieces = roughpi::prime_count_piece_list(100'000'000'000'000);
    prime_count_sums sums;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(roughpi::count_pieces_gpu(pieces, sums, options), roughpi::cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(sums, prime_count_sums{});
}

TEST(GpuEmulationTest, WithoutADeviceTheCountSaysWhatIsMissing)
{
    if (roughpi::gpu_device_count() > 0)
        GTEST_SKIP() << "this machine has a CUDA device";
    try {
        roughpi::prime_count_gpu(1'000'000'000'000);
        ADD_FAILURE() << "counted without a device";
    } catch (const roughpi::gpu_unavailable& e) {
        EXPECT_EQ(std::string(e.what()).rfind("roughpi: no CUDA device: ", 0), 0u) << e.what();
    }
    EXPECT_THROW(roughpi::count_gpu_device({}), roughpi::gpu_unavailable);
}

}  // namespace
