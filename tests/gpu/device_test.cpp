// SPDX-License-Identifier: MIT
// The count on a CUDA device, where there is one (each test reports itself
// skipped otherwise): pi(x) at the known values, the sums of random subsets
// of pieces against the CPU's, a stop within a second, and a device that is
// not there refused. gpu/device-check.sh runs these, then the large counts.
#include "support/known_values.hpp"
#include "support/random_seed.hpp"

#include <roughpi/error.hpp>
#include <roughpi/gpu.hpp>
#include <roughpi/parallel.hpp>
#include <roughpi/prime_count.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <random>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace {

class GpuDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (roughpi::gpu_device_count() == 0)
            GTEST_SKIP() << "no CUDA device";
    }
};

TEST_F(GpuDeviceTest, CountsTheKnownValues)
{
    for (const roughpi::testing::known& k : roughpi::testing::powers_of_ten)
        EXPECT_EQ(roughpi::prime_count_gpu(k.x), k.pi) << "x = " << k.x;
    for (const auto& v : roughpi::testing::read_known_values(ROUGHPI_PI_VALUES))
        if (v.x <= 10'000'000'000'000'000) {
            EXPECT_EQ(roughpi::prime_count_gpu(v.x), v.pi) << "x = " << v.x;
        }
    ROUGHPI_SEEDED_RNG(rng);
    for (int i = 0; i < 100; ++i) {
        const auto x =
            static_cast<std::int64_t>(std::pow(10.0, std::uniform_real_distribution<double>(0.0, 11.0)(rng)));
        ASSERT_EQ(roughpi::prime_count_gpu(x), roughpi::prime_count(x)) << "x = " << x;
    }
}

TEST_F(GpuDeviceTest, AnySubsetOfPiecesGivesTheCpusSums)
{
    ROUGHPI_SEEDED_RNG(rng);
    const std::int64_t x = std::uniform_int_distribution<std::int64_t>(1'000'000'000'000, 30'000'000'000'000)(rng);
    SCOPED_TRACE("x = " + std::to_string(x));
    const std::vector<roughpi::prime_count_piece> pieces = roughpi::prime_count_piece_list(x);
    std::vector<std::size_t> order(pieces.size());
    for (std::size_t j = 0; j < order.size(); ++j)
        order[j] = j;
    std::shuffle(order.begin(), order.end(), rng);
    order.resize(order.size() / 3);
    std::vector<roughpi::prime_count_piece> subset;
    for (const std::size_t j : order)
        subset.push_back(pieces[j]);
    roughpi::prime_count_sums device;
    roughpi::count_pieces_gpu(subset, device);
    EXPECT_EQ(device.to_words(), roughpi::count_pieces_parallel(pieces, order).to_words());
}

TEST_F(GpuDeviceTest, AStopEndsTheDevicesWorkWithinASecond)
{
    std::stop_source source;
    roughpi::gpu_options options;
    options.stop = source.get_token();
    std::chrono::steady_clock::time_point asked;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        asked = std::chrono::steady_clock::now();
        source.request_stop();
    });
    EXPECT_THROW(roughpi::prime_count_gpu(roughpi::MAX_SUPPORTED_X, options), roughpi::cancelled);
    const auto ended = std::chrono::steady_clock::now();
    stopper.join();
    EXPECT_LT(ended - asked, std::chrono::seconds(1));
}

TEST_F(GpuDeviceTest, ADeviceThatIsNotThereIsRefused)
{
    roughpi::gpu_options options;
    options.device = roughpi::gpu_device_count();
    try {
        roughpi::prime_count_gpu(1000, options);
        ADD_FAILURE() << "counted on a device that is not there";
    } catch (const roughpi::gpu_unavailable& e) {
        EXPECT_NE(std::string(e.what()).find("there is no device " + std::to_string(options.device)), std::string::npos)
            << e.what();
    }
}

}  // namespace
