// The benchmark program's report, read back from a file and from a terminal.
#include <console.hpp>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string clear_sequence = "\033[3J\033[H\033[2J";
const std::string spaces68(68, ' ');

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> split_lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string run_to_file(const std::string& command, const char* name)
{
    const std::string path = ::testing::TempDir() + name;
    const int status = std::system((command + " > '" + path + "'").c_str());
    EXPECT_EQ(status, 0) << command;
    return read_file(path);
}

TEST(BenchReportTest, WrittenToAFileTheReportIsExact)
{
    const std::string text = run_to_file(std::string("'") + ROUGHPI_BENCH_PROGRAM + "'", "report.txt");
    EXPECT_EQ(text.find('\033'), std::string::npos) << "escape code in a redirected report";
    const auto lines = split_lines(text);
    ASSERT_EQ(lines.size(), 24u) << text;

    EXPECT_EQ(lines[0], spaces68 + "Time");
    EXPECT_EQ(lines[1], spaces68 + "Increase");
    EXPECT_EQ(lines[2], spaces68 + "for x10");
    EXPECT_EQ(lines[3], "         __ Input Number __   __ Output Number __ _ MSec _ _ Sec _  Input");
    EXPECT_EQ(lines[4], "");

    const long long pi[] = {4,        25,        168,        1229,        9592,         78498,         664579,
                            5761455, 50847534, 455052511, 4118054813, 37607912018, 346065536839, 3204941750802};
    const std::regex row(R"( *(\d+)\(10\^([ \d]\d\.\d)\): +(\d+) +(\d+) : +(\d+): x(\d+\.\d{6}))");
    long long input = 1;
    long long previous_ms = 0;
    for (int k = 1; k <= 14; ++k) {
        const std::string& line = lines[4 + k];
        SCOPED_TRACE(line);
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, row));
        input *= 10;
        // Column layout: input in 0-16, "(10^" at 17, count ending at 48,
        // milliseconds ending at 57, " : " at 58, seconds ending at 64, ": x" at 65.
        char prefix[32];
        std::snprintf(prefix, sizeof(prefix), "%17lld(10^%2d.0): ", input, k);
        EXPECT_EQ(line.substr(0, 28), prefix);
        EXPECT_EQ(std::stoll(m[3].str()), pi[k - 1]);
        EXPECT_EQ(line.find(m[3].str()) + m[3].length(), 49u);
        EXPECT_EQ(line.substr(58, 3), " : ");
        EXPECT_EQ(line.substr(65, 3), ": x");
        const long long ms = std::stoll(m[4].str());
        EXPECT_EQ(std::stoll(m[5].str()), ms / 1000);
        const double ratio = std::stod(m[6].str());
        if (k == 1 || previous_ms == 0) {
            EXPECT_EQ(m[6].str(), "0.000000");
        } else {
            EXPECT_NEAR(ratio, static_cast<double>(ms) / previous_ms, 1e-6);
        }
        previous_ms = ms;
    }

    EXPECT_EQ(lines[19], "");
    const std::regex tables(
        R"(Memory for fixed size, input independent precomputed prime factorization wheels: (-?\d+) bytes)");
    const std::regex footprint(R"(Total memory footprint of algorithm during execution: (-?\d+) bytes)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[20], m, tables)) << lines[20];
#if defined(__linux__)
    // The tables take 65822 bytes, so the build brings in 16 or 17 new pages;
    // sanitizer builds add shadow pages.
    const long long table_bytes = std::stoll(m[1].str());
    EXPECT_EQ(table_bytes % 4096, 0);
    EXPECT_GE(table_bytes, 15 * 4096);
    EXPECT_LE(table_bytes, 48 * 4096);
#endif
    EXPECT_EQ(lines[21], "");
    ASSERT_TRUE(std::regex_match(lines[22], m, footprint)) << lines[22];
    EXPECT_EQ(std::stoll(m[1].str()) % 4096, 0);
    EXPECT_EQ(lines[23],
              "(Stack memory would be included in this number on 4k byte page boundaries, so 0 means 4k "
              "bytes was never passed)");
}

TEST(BenchReportTest, OnATerminalTheWarmUpIsClearedBeforeTheReport)
{
    if (std::system("script --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "no `script` to run the program under a pseudo-terminal";
    const std::string text = run_to_file(
        std::string("script -qec \"'") + ROUGHPI_BENCH_PROGRAM + "'\" /dev/null < /dev/null", "tty.txt");
    const auto clear = text.find(clear_sequence);
    ASSERT_NE(clear, std::string::npos) << "no clear sequence";
    const std::string before = text.substr(0, clear);
    const std::string after = text.substr(clear + clear_sequence.size());
    // The throwaway line and the three warm-up counts, on one line.
    EXPECT_NE(before.find("                0(10^ 0.5):                     4                   25                  168"),
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
