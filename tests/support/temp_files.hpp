// SPDX-License-Identifier: MIT
// Temporary files for tests that run the built programs: names that stay
// apart when ctest runs tests in parallel, and reading a file back whole.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#if defined(_WIN32)
#  include <process.h>
#  define ROUGHPI_GETPID _getpid
#else
#  include <unistd.h>
#  define ROUGHPI_GETPID getpid
#endif

namespace roughpi::testing {

// A path in the test temporary folder, unique to this process and test.
inline std::string temp_path(const std::string& name)
{
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return ::testing::TempDir() + "roughpi-" + std::to_string(ROUGHPI_GETPID()) + "-" + (test ? test->name() : "none") +
        "-" + name;
}

// The whole content of a file ("" when it cannot be read).
inline std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace roughpi::testing
