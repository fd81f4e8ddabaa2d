// The command-line tool: its argument parser directly, then the program run
// as a user runs it (standard output, standard error and exit status).
#include <parse_count.hpp>

#include <roughpi/roughpi.hpp>

#include "support/programs.hpp"
#include "support/temp_files.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#if !defined(_WIN32)
#  include <sys/wait.h>
#endif

namespace {

using roughpi::MAX_SUPPORTED_X;
using roughpi::cli::parse_count;
using roughpi::cli::parse_error_message;
using roughpi::cli::parse_status;

constexpr std::int64_t int64_max = std::numeric_limits<std::int64_t>::max();
static_assert(MAX_SUPPORTED_X == int64_max, "every signed 64-bit x is supported");

const std::string max_text = std::to_string(MAX_SUPPORTED_X);

// Parses with the limit at 2^63-1, so that the forms are tested apart from
// whatever the core supports today.
parse_status status_of(const std::string& text) { return parse_count(text, int64_max).status; }

TEST(CliParseTest, AcceptedForms)
{
    const struct {
        const char* text;
        std::int64_t value;
    } cases[] = {
        {"0", 0}, {"1000", 1000}, {"+1000", 1000}, {"007", 7}, {"0000000000000000000000000001", 1},
        {"1e10", 10'000'000'000}, {"1E3", 1000}, {"2.5e3", 2500}, {"1.50e1", 15},
        {"0.000001e21", 1'000'000'000'000'000}, {"0e18446744073709551615", 0},
        {"10^15", 1'000'000'000'000'000},
        {"2^50", 1LL << 50}, {"10^0", 1}, {"18446744073709551615^0", 1}, {"2^59-1", (1LL << 59) - 1},
        {"10^18-11", 999'999'999'999'999'989}, {"1e15+3", 1'000'000'000'000'003}, {"2^32+1", 4'294'967'297},
        {"1000-1000", 0}, {"1^18446744073709551615", 1}, {"2^63-1", int64_max}, {"9223372036854775807", int64_max},
    };
    for (const auto& c : cases) {
        const auto parsed = parse_count(c.text, int64_max);
        EXPECT_EQ(parsed.status, parse_status::ok) << c.text;
        EXPECT_EQ(parsed.value, c.value) << c.text;
    }
}

TEST(CliParseTest, RejectedForms)
{
    const struct {
        parse_status status;
        std::vector<const char*> texts;
    } groups[] = {
        {parse_status::not_a_number,
         {"", "abc", "1e", "^5", "10^", "e5", "--5", "+", "-", "++5", "+-5", " 5", "5 ", "1 000", "1,000",
          "1'000", "0x10", "1.5", "1.", ".5e3", "1.e3", "1e-3", "1e+3", "1e15.5", "1ee3", "5e3e1", "2^3^2",
          "2^-1", "2^3.0", "1e15+", "1e15+-3", "1e15+3+4", "1e15+1e3", "1k"}},
        {parse_status::not_whole, {"2.55e1", "0.5e0", "1.0001e3", "12345678901234567890123.5e0"}},
        // A leading '-' is a sign, whatever follows.
        {parse_status::negative, {"-5", "-1e3", "-2^10", "2^3-9", "0-1", "-2^3+7", "-0", "-2^3+8", "-5+10", "-1e19"}},
        {parse_status::too_large,
         {"2^63", "9223372036854775808", "1e19", "2^64", "2^64-1", "18446744073709551615",
          "18446744073709551616", "99999999999999999999", "10^30", "10^30-10", "1e15+99999999999999999999",
          "12345678901234567890123e0", "1e99999999999999999999999", "3^99999999999999999999",
          // A part that does not fit in 64 bits, whatever the value.
          "99999999999999999999^0", "0e99999999999999999999", "1^99999999999999999999", "0^18446744073709551616"}},
    };
    for (const auto& group : groups)
        for (const char* text : group.texts)
            EXPECT_EQ(status_of(text), group.status) << '\'' << text << '\'';
}

TEST(CliParseTest, TheLimitIsInclusive)
{
    EXPECT_EQ(parse_count(max_text).value, MAX_SUPPORTED_X);
    EXPECT_EQ(parse_count("2^63-1").value, MAX_SUPPORTED_X);
    EXPECT_EQ(parse_count("2^63").status, parse_status::too_large);
    EXPECT_EQ(parse_count("1e3", 1000).value, 1000);
    EXPECT_EQ(parse_count("1e3+1", 1000).status, parse_status::above_limit);
    // From 2^63 up, whether or not it fits in 64 bits unsigned, the message
    // states the maximum.
    for (const char* text : {"1e19", "9223372036854775808", "2^64", "10^30"})
        EXPECT_EQ(parse_error_message(text, parse_count(text).status),
                  std::string("'") + text + "' is above the largest supported value, 9223372036854775807");
    EXPECT_EQ(parse_error_message("1001", parse_status::above_limit, 1000),
              "'1001' is above the largest supported value, 1000");
}

// ---------------------------------------------------------------------------
// The program.

using roughpi::testing::read_file;

struct outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the program with the arguments (each single-quoted for the shell);
// standard output goes to stdout_path, or to a file that is read back.
outcome run(const std::vector<std::string>& args, std::string stdout_path = "")
{
    const std::string out_path = roughpi::testing::temp_path("out.txt");
    const std::string err_path = roughpi::testing::temp_path("err.txt");
    std::string command = roughpi::testing::program_command(ROUGHPI_CLI_PROGRAM);
    for (const std::string& arg : args)
        command += " '" + arg + "'";
    const bool read_out = stdout_path.empty();
    if (read_out)
        stdout_path = out_path;
    command += " > '" + stdout_path + "' 2> '" + err_path + "' < /dev/null";

    outcome result;
    const int raw = std::system(command.c_str());
#if defined(_WIN32)
    result.status = raw;
#else
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    if (read_out)
        result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

TEST(CliProgramTest, PrintsOneCountPerLine)
{
    // 1e12 is large enough for progress, which must stay off when standard
    // error is not a terminal.
    const outcome r = run({"1e10", "2^32+1", "0", "1", "2", "10^6-1", "+100", "1e12"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "455052511\n203280221\n0\n0\n1\n78498\n25\n37607912018\n");
    EXPECT_EQ(r.err, "");
}

// True when line is "<count>  (<seconds, 3 decimals> s)".
bool is_timed_count(const std::string& line, const std::string& count)
{
    const std::string head = count + "  (";
    const auto point = line.find('.');
    return line.rfind(head, 0) == 0 && point != std::string::npos && point > head.size() &&
           line.find_first_not_of("0123456789", head.size()) == point &&
           line.find_first_not_of("0123456789", point + 1) == point + 4 && line.substr(point + 4) == " s)";
}

TEST(CliProgramTest, OptionsMayComeAnywhereUntilDoubleDash)
{
    const outcome r = run({"100", "--time", "--", "1000"});
    EXPECT_EQ(r.status, 0);
    std::istringstream lines(r.out);
    std::string first, second, rest;
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_TRUE(is_timed_count(first, "25") && is_timed_count(second, "168") && !std::getline(lines, rest) &&
                r.out.back() == '\n')
        << r.out;

    const outcome after = run({"10", "--", "--time", "-5"});
    EXPECT_EQ(after.status, 2);
    EXPECT_EQ(after.err.rfind("roughpi: '--time' is not a number\nroughpi: '-5' is negative\n", 0), 0u)
        << after.err;
}

TEST(CliProgramTest, BadArgumentsAreReportedAndNothingIsCounted)
{
    const std::string above = "' is above the largest supported value, " + max_text;
    const struct {
        std::vector<std::string> args;
        std::string first_line;
    } cases[] = {
        {{"abc"}, "roughpi: 'abc' is not a number"},
        {{""}, "roughpi: '' is not a number"},
        {{"-5"}, "roughpi: '-5' is negative"},
        {{"-5+10"}, "roughpi: '-5+10' is negative"},
        {{"99999999999999999999^0"}, "roughpi: '99999999999999999999^0" + above},
        {{"2.5e0"}, "roughpi: '2.5e0' is not a whole number"},
        {{"2^63"}, "roughpi: '2^63" + above},
        {{"1e19"}, "roughpi: '1e19" + above},
        {{"2^64"}, "roughpi: '2^64" + above},
        {{"99999999999999999999"}, "roughpi: '99999999999999999999" + above},
        {{"10^30"}, "roughpi: '10^30" + above},
        {{"--frobnicate"}, "roughpi: unknown option '--frobnicate'"},
        {{"10", "-x"}, "roughpi: unknown option '-x'"},
        {{}, "roughpi: no number given"},
        {{"--time", "--"}, "roughpi: no number given"},
        // Checked before anything is counted: the good ones print nothing.
        {{"10", "1e10", "1e10x"}, "roughpi: '1e10x' is not a number"},
    };
    for (const auto& c : cases) {
        const outcome r = run(c.args);
        SCOPED_TRACE(c.first_line);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.first_line);
        EXPECT_NE(r.err.find("roughpi --help"), std::string::npos) << "no hint: " << r.err;
    }
}

TEST(CliProgramTest, HelpAndVersionWinOverEverythingElse)
{
    const std::vector<std::string> help_calls[] = {{"--help"}, {"-h"}, {"abc", "-h", "--bad"}};
    for (const auto& args : help_calls) {
        const outcome r = run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("Usage: roughpi ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("from 0 to " + max_text + ","), std::string::npos) << "maximum not stated";
        EXPECT_EQ(r.err, "");
    }
    const outcome r = run({"1e99", "--version", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("roughpi ") + ROUGHPI_VERSION + "\n");
    EXPECT_EQ(r.err, "");
}

TEST(CliProgramTest, AFailedWriteIsAnError)
{
    if (!std::ifstream("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const outcome r = run({"100"}, "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "roughpi: cannot write to standard output\n");
    // The help and the version too.
    EXPECT_EQ(run({"--help"}, "/dev/full").status, 1);
    EXPECT_EQ(run({"--version"}, "/dev/full").status, 1);
}

TEST(CliProgramTest, ThreadsInEveryFormCountTheSame)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-t", "1", "1e11"}, {"--threads", "3", "1e11"}, {"1e11", "--threads=2"},
          {"--threads=4096", "1e11"}, {"1e11"}, {"-t", "000000002", "1e11"}, {"-t", "0000000002", "1e11"}}) {
        const outcome r = run(args);
        EXPECT_EQ(r.status, 0) << args[0];
        EXPECT_EQ(r.out, "4118054813\n") << args[0];
        EXPECT_EQ(r.err, "") << args[0];
    }
    const std::string needs = ": the number of threads must be a whole number from 1 to 4096";
    const struct {
        std::vector<std::string> args;
        std::string first_line;
    } bad[] = {
        {{"-t", "0", "100"}, "roughpi: -t '0'" + needs},
        {{"--threads", "-2", "100"}, "roughpi: --threads '-2'" + needs},
        {{"--threads=abc", "100"}, "roughpi: --threads 'abc'" + needs},
        {{"--threads=", "100"}, "roughpi: --threads ''" + needs},
        {{"-t", "4097", "100"}, "roughpi: -t '4097'" + needs},
        {{"-t", "2.5", "100"}, "roughpi: -t '2.5'" + needs},
        {{"100", "-t"}, "roughpi: '-t' needs a number of threads, from 1 to 4096"},
        {{"-t", "--time", "100"}, "roughpi: '-t' needs a number of threads, from 1 to 4096"},
        {{"-t", "00000000000000000000004097", "100"}, "roughpi: -t '00000000000000000000004097'" + needs},
    };
    for (const auto& c : bad) {
        const outcome r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.first_line;
        EXPECT_EQ(r.out, "") << c.first_line;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.first_line);
    }
}

// --checkpoint and --output take one file each, never an option for one.
TEST(CliProgramTest, FileOptionsAreGivenOnceAndNeverTakeAnOption)
{
    const std::string file = roughpi::testing::temp_path("file.txt");
    const struct {
        std::vector<std::string> args;
        std::string first_line;
    } bad[] = {
        {{"--checkpoint", file, "--checkpoint", file + "2", "100"}, "roughpi: '--checkpoint' is given twice: it takes one file"},
        {{"--checkpoint", "--time", "100"}, "roughpi: '--checkpoint' needs the name of a file"},
        {{"--checkpoint=-x", "100"}, "roughpi: '--checkpoint' needs the name of a file, not '-x' (write ./-x for a file whose name starts with '-')"},
        {{"--output", file, "--output=" + file, "100"}, "roughpi: '--output' is given twice: it takes one file"},
        {{"100", "--output"}, "roughpi: '--output' needs the name of a file"},
        {{"--output", "/dev/null", "100"}, "roughpi: --output '/dev/null' is not a regular file"},
        {{"--output", "/nonexistent/folder/out.txt", "100"}, "roughpi: cannot write --output '/nonexistent/folder/out.txt': No such file or directory"},
    };
    for (const auto& c : bad) {
        std::remove(file.c_str());
        const outcome r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.first_line;
        EXPECT_EQ(r.out, "") << c.first_line;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.first_line);
        EXPECT_FALSE(std::ifstream(file)) << c.first_line;
        EXPECT_FALSE(std::ifstream("--time")) << "a file named --time was made";
    }
}

// --output: the file holds every count, written whole at the end, and
// standard output nothing.
TEST(CliProgramTest, OutputGoesWholeToItsFile)
{
    const std::string file = roughpi::testing::temp_path("out-file.txt");
    std::ofstream(file) << "what was there before\n";
    const outcome r = run({"--output", file, "1e10", "100"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_file(file), "455052511\n25\n");
    std::remove(file.c_str());
}

TEST(CliProgramTest, ControlCharactersInArgumentsAreShownEscaped)
{
    const outcome r = run({"12\x1b[2J", "--bad\a", "7\t"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\a'), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("roughpi: '12\\x1b[2J' is not a number"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("roughpi: unknown option '--bad\\x07'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("roughpi: '7\\t' is not a number"), std::string::npos) << r.err;
}

TEST(CliProgramTest, OnATerminalProgressIsShownThenErased)
{
    if (std::system("script --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "no `script` to run the program under a pseudo-terminal";
    // Standard output and standard error both go to the pseudo-terminal,
    // whose newlines come back as \r\n.
    const std::string path = roughpi::testing::temp_path("tty.txt");
    const std::string command = std::string("script -qec \"") +
                                roughpi::testing::program_command(ROUGHPI_CLI_PROGRAM) +
                                " 1e12\" /dev/null < /dev/null > '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string text = read_file(path);
    const std::string last = "pi(1000000000000): 100.0%";
    const std::string erased = "\r" + last + "\r" + std::string(last.size(), ' ') + "\r37607912018\r\n";
    EXPECT_EQ(text.rfind("\rpi(1000000000000): 0.0%", 0), 0u) << text;
    ASSERT_GE(text.size(), erased.size());
    EXPECT_EQ(text.substr(text.size() - erased.size()), erased) << text;
}

}  // namespace
