// SPDX-License-Identifier: MIT
// ROUGHPI_ASSERT as a checked build has it, whatever this build is: this file
// includes nothing else of the core's, so it may switch the checks on alone.
#undef ROUGHPI_ASSERTIONS
#define ROUGHPI_ASSERTIONS 1
#include "assertion.hpp"

#include <gtest/gtest.h>

#include <string>

TEST(AssertionTest, ABrokenInvariantIsAnInternalErrorThatNamesItsPlace)
{
    int evaluated = 0;
    ROUGHPI_ASSERT(++evaluated == 1, "not raised");
    EXPECT_EQ(evaluated, 1);
    try {
        ROUGHPI_ASSERT(evaluated == 2, "the count of an empty range");
        FAIL() << "no exception";
    } catch (const roughpi::internal_error& e) {
        const std::string what = e.what();
        EXPECT_EQ(what.rfind("roughpi: internal error: the count of an empty range (assertion at ", 0), 0u) << what;
        EXPECT_NE(what.find("assertion_test.cpp:"), std::string::npos) << what;
    }
}
