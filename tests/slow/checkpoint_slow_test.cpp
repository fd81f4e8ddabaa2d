// SPDX-License-Identifier: MIT
// The program killed at random moments and resumed, near 10^15.
#include "support/kill_and_resume.hpp"

#include <gtest/gtest.h>

namespace {

TEST(CheckpointProgramTest, KilledAtRandomAndResumedNearTenToTheFifteen)
{
    roughpi::testing::kill_and_resume("1e15", 2.0, 29'844'570'422'669);
}

}  // namespace
