// SPDX-License-Identifier: MIT
// pi(x) through the host emulation of the device for 200 random x below
// 10^12, against the CPU's count (half a minute on one core).
#include "support/random_seed.hpp"

#include <roughpi/gpu.hpp>
#include <roughpi/prime_count.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace {

TEST(GpuEmulationSlowTest, TwoHundredRandomXBelowTenToTheTwelve)
{
    ROUGHPI_SEEDED_RNG(rng);
    std::printf("random x from seed %u\n", rng_seed);
    roughpi::gpu_options options;
    options.emulate = true;
    for (int i = 0; i < 200; ++i) {
        const std::int64_t x = std::uniform_int_distribution<std::int64_t>(0, 1'000'000'000'000 - 1)(rng);
        ASSERT_EQ(roughpi::prime_count_gpu(x, options), roughpi::prime_count(x)) << "x = " << x;
    }
}

}  // namespace
