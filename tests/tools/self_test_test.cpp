// SPDX-License-Identifier: MIT
// The self-test of roughpi --test, in its quick size: every check passes, and
// every counting path this processor has is among them.
#include "support/random_seed.hpp"

#include <roughpi/tools/self_test.hpp>

#include <roughpi/counting_path.hpp>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SelfTestTest, QuickChecksPassOnEveryPath)
{
    const std::uint32_t seed = roughpi::testing::test_seed();
    SCOPED_TRACE(roughpi::testing::seed_note(seed));
    std::vector<std::string> lines;
    const std::vector<std::string> failed = roughpi::tools::run_self_test(
        roughpi::tools::self_test_size::quick, seed, 2, [&](const std::string& line) { lines.push_back(line); });
    EXPECT_TRUE(failed.empty()) << failed.front();
    for (const std::string& line : lines)
        EXPECT_TRUE(line.starts_with("ok   ")) << line;
    for (const roughpi::counting_path path : roughpi::counting_paths()) {
        const std::string prefix = std::string("ok   ") + roughpi::counting_path_name(path) + " pi(10^";
        bool seen = false;
        for (const std::string& line : lines)
            seen = seen || line.starts_with(prefix);
        EXPECT_EQ(seen, roughpi::counting_path_available(path)) << prefix;
    }
}

}  // namespace
