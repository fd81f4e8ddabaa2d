// Temporary file names that stay apart when ctest runs tests in parallel.
#pragma once

#include <gtest/gtest.h>

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
    return ::testing::TempDir() + "roughpi-" + std::to_string(ROUGHPI_GETPID()) + "-" +
           (test ? test->name() : "none") + "-" + name;
}

}  // namespace roughpi::testing
