// SPDX-License-Identifier: MIT
// The seed of a randomised test: GoogleTest's --gtest_random_seed=N when it
// is given (N > 0), a fresh one otherwise. Either way the seed goes into every
// failure message, so that `--gtest_random_seed=<seed>` replays the run.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace roughpi::testing {

inline std::uint32_t test_seed()
{
    const int flag = GTEST_FLAG_GET(random_seed);
    return flag > 0 ? static_cast<std::uint32_t>(flag) : std::random_device{}() % 99999 + 1;
}

inline std::string seed_note(std::uint32_t seed)
{
    return "seed = " + std::to_string(seed) + " (replay with --gtest_random_seed=" + std::to_string(seed) + ")";
}

}  // namespace roughpi::testing

// A generator for this test, seeded by test_seed(), with the seed traced.
#define ROUGHPI_SEEDED_RNG(rng)                                                                                        \
  const std::uint32_t rng##_seed = ::roughpi::testing::test_seed();                                                    \
  SCOPED_TRACE(::roughpi::testing::seed_note(rng##_seed));                                                             \
  std::mt19937_64 rng(rng##_seed)
