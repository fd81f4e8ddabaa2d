// SPDX-License-Identifier: MIT
// A count of the program stopped and taken up again from its checkpoint, for
// the program tests and their slow counterpart.
#pragma once

#include "support/programs.hpp"
#include "support/random_seed.hpp"
#include "support/temp_files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace roughpi::testing {

inline std::string cli_program() { return program_command(ROUGHPI_CLI_PROGRAM); }

// Killed (SIGKILL) at random moments, three times, then run to the end from
// the same file: the exact count, from the pieces of all four runs.
inline void kill_and_resume(const std::string& x_text, double longest_run, std::int64_t pi)
{
    ROUGHPI_SEEDED_RNG(rng);
    const std::string path = temp_path("killed.txt");
    std::remove(path.c_str());
    std::size_t lines = 0;
    for (int kill = 0; kill < 3; ++kill) {
        const double seconds = std::uniform_real_distribution<double>(0.05, longest_run)(rng);
        const outcome killed = run_command("timeout -s KILL " + std::to_string(seconds) + " " + cli_program() +
                                           " -t 2 --checkpoint '" + path + "' " + x_text);
        SCOPED_TRACE("killed after " + std::to_string(seconds) + " s");
        EXPECT_TRUE(killed.status == 137 || killed.status == 0) << killed.status << " " << killed.err;
        const std::string text = read_file(path);
        const std::size_t now = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        EXPECT_GE(now, lines);  // what a run saved stays saved
        lines = now;
    }
    const outcome resumed = run_command(cli_program() + " --checkpoint '" + path + "' " + x_text);
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(resumed.out, std::to_string(pi) + "\n");
    // Once complete, the file answers at once, and still the same.
    const outcome again = run_command(cli_program() + " --checkpoint='" + path + "' -t 1 " + x_text);
    EXPECT_EQ(again.out, std::to_string(pi) + "\n");
    std::remove(path.c_str());
}

}  // namespace roughpi::testing
