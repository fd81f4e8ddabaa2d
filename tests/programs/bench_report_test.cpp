// SPDX-License-Identifier: MIT
// The benchmark program's report, read back from a file and from a terminal.
#include <console.hpp>

#include "support/programs.hpp"
#include "support/temp_files.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string clear_sequence = "\033[3J\033[H\033[2J";
const std::string spaces68(68, ' ');

using roughpi::testing::read_file;

std::vector<std::string> split_lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The number in a line "<label><number> bytes"; fails the test otherwise.
long long byte_count(const std::string& line, const std::string& label)
{
    long long bytes = 0;
    int end = 0;
    EXPECT_EQ(line.rfind(label, 0), 0u) << line;
    EXPECT_EQ(std::sscanf(line.c_str() + label.size(), "%lld bytes%n", &bytes, &end), 1) << line;
    EXPECT_EQ(label.size() + static_cast<std::size_t>(end), line.size()) << line;
    return bytes;
}

// What the command writes on standard output, through the runner of every
// test that starts a program.
std::string run_to_file(const std::string& command, const char* name)
{
    const std::string path = roughpi::testing::temp_path(name);
    const roughpi::testing::outcome r = roughpi::testing::run_command(command, path);
    EXPECT_EQ(r.status, 0) << command << ": " << r.err;
    return read_file(path);
}

TEST(BenchReportTest, WrittenToAFileTheReportIsExact)
{
    const std::string text = run_to_file(roughpi::testing::program_command(ROUGHPI_BENCH_PROGRAM), "report.txt");
    EXPECT_EQ(text.find('\033'), std::string::npos) << "escape code in a redirected report";
    const auto lines = split_lines(text);
    ASSERT_EQ(lines.size(), 24u) << text;

    EXPECT_EQ(lines[0], spaces68 + "Time");
    EXPECT_EQ(lines[1], spaces68 + "Increase");
    EXPECT_EQ(lines[2], spaces68 + "for x10");
    EXPECT_EQ(lines[3], "         __ Input Number __   __ Output Number __ _ MSec _ _ Sec _  Input");
    EXPECT_EQ(lines[4], "");

    const long long pi[] = {4,       25,       168,       1229,       9592,        78498,        664579,
                            5761455, 50847534, 455052511, 4118054813, 37607912018, 346065536839, 3204941750802};
    long long input = 1;
    long long previous_ms = 0;
    for (int k = 1; k <= 14; ++k) {
        const std::string& line = lines[4 + k];
        SCOPED_TRACE(line);
        long long in = 0, count = 0, ms = 0, sec = 0;
        double exponent = 0, ratio = 0;
        int end = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lld(10^%lf): %lld %lld : %lld: x%lf%n", &in, &exponent, &count, &ms, &sec,
                              &ratio, &end),
                  6);
        ASSERT_EQ(static_cast<std::size_t>(end), line.size());
        input *= 10;
        // Column layout: input in 0-16, "(10^" at 17, count ending at 48,
        // milliseconds ending at 57, " : " at 58, seconds ending at 64, ": x" at 65.
        char prefix[32];
        std::snprintf(prefix, sizeof(prefix), "%17lld(10^%2d.0): ", input, k);
        EXPECT_EQ(line.substr(0, 28), prefix);
        EXPECT_EQ(count, pi[k - 1]);
        EXPECT_EQ(line.substr(29, 20), std::string(20 - std::to_string(count).size(), ' ') + std::to_string(count));
        EXPECT_EQ(line.substr(58, 3), " : ");
        EXPECT_EQ(line.substr(65, 3), ": x");
        EXPECT_EQ(sec, ms / 1000);
        EXPECT_EQ(line.size() - line.find('.', 68), 7u) << "six decimals";
        if (k == 1 || previous_ms == 0) {
            EXPECT_EQ(line.substr(68), "0.000000");
        } else {
            EXPECT_NEAR(ratio, static_cast<double>(ms) / previous_ms, 1e-6);
        }
        previous_ms = ms;
    }

    EXPECT_EQ(lines[19], "");
    const long long table_bytes =
        byte_count(lines[20], "Memory for fixed size, input independent precomputed prime factorization wheels: ");
#if defined(__linux__)
    // The tables take 69432 bytes, so the build brings in 17 or 18 new pages;
    // sanitizer builds add shadow pages.
    EXPECT_EQ(table_bytes % 4096, 0);
    EXPECT_GE(table_bytes, 15 * 4096);
    EXPECT_LE(table_bytes, 48 * 4096);
#endif
    EXPECT_EQ(lines[21], "");
    EXPECT_EQ(byte_count(lines[22], "Total memory footprint of algorithm during execution: ") % 4096, 0);
    EXPECT_EQ(lines[23],
              "(Stack memory would be included in this number on 4k byte page boundaries, so 0 means 4k "
              "bytes was never passed)");
}

TEST(BenchReportTest, OnATerminalTheWarmUpIsClearedBeforeTheReport)
{
    if (!roughpi::testing::have_script())
        GTEST_SKIP() << "no `script` to run the program under a pseudo-terminal";
    const std::string text =
        run_to_file(std::string("script -qec \"") + roughpi::testing::program_command(ROUGHPI_BENCH_PROGRAM) +
                        "\" /dev/null < /dev/null",
                    "tty.txt");
    const auto clear = text.find(clear_sequence);
    ASSERT_NE(clear, std::string::npos) << "no clear sequence";
    const std::string before = text.substr(0, clear);
    const std::string after = text.substr(clear + clear_sequence.size());
    // The throwaway line and the three warm-up counts, on one line.
    EXPECT_NE(
        before.find("                0(10^ 0.5):                     4                   25                  168"),
        std::string::npos)
        << before;
    EXPECT_EQ(after.rfind(spaces68 + "Time", 0), 0u) << after.substr(0, 200);
    EXPECT_NE(after.find("100000000000000(10^14.0):         3204941750802"), std::string::npos);
}

TEST(BenchReportTest, ShrinkingMemoryPrintsASignedDifference)
{
    ::testing::internal::CaptureStdout();
    roughpi::bench::print_memory_growth("grew %zu\n", "shrank %lld\n", 8192, 12288);
    roughpi::bench::print_memory_growth("grew %zu\n", "shrank %lld\n", 8192, 8192);
    roughpi::bench::print_memory_growth("grew %zu\n", "shrank %lld\n", 12288, 8192);
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "grew 4096\ngrew 0\nshrank -4096\n");
}

}  // namespace
