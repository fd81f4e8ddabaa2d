// SPDX-License-Identifier: MIT
// roughpi, the program, run as a user runs it: standard output, standard
// error and exit status.
#include "support/programs.hpp"
#include "support/temp_files.hpp"

#include <roughpi/counting_path.hpp>
#include <roughpi/prime_count.hpp>
#include <roughpi/version.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using roughpi::testing::is_timed_count;
using roughpi::testing::outcome;
using roughpi::testing::read_file;

const std::string max_text = std::to_string(roughpi::MAX_SUPPORTED_X);

outcome run(const std::vector<std::string>& args, const std::string& stdout_path = "")
{
    return roughpi::testing::run_program(ROUGHPI_CLI_PROGRAM, args, stdout_path);
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
    EXPECT_EQ(after.err.rfind("roughpi: '--time' is not a number\nroughpi: '-5' is negative\n", 0), 0u) << after.err;
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
        {{"99999999999999999999^0"},
         "roughpi: '99999999999999999999^0' has a base too large to read (each part must fit in 64 bits)"},
        {{"0e99999999999999999999"},
         "roughpi: '0e99999999999999999999' has an exponent too large to read (each part must fit in 64 bits)"},
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
        {{"--gpu=x", "10"},
         "roughpi: --gpu 'x': the device must be a whole number from 0 (the first) to 1023, or "
         "'emulate'"},
        {{"--gpu=1024", "10"},
         "roughpi: --gpu '1024': the device must be a whole number from 0 (the first) to "
         "1023, or 'emulate'"},
        {{"--gpu", "--nth", "10"},
         "roughpi: --gpu counts pi(X) on a CUDA device, and --nth is not pi(X): give one "
         "of them"},
        {{"--gpu=1", "--double-check", "10"},
         "roughpi: --double-check counts twice on the CPU, and --gpu once on a CUDA device: give one of them"},
        {{"--gpu", "-t", "2", "10"},
         "roughpi: --threads is for a count on the CPU, and --gpu counts on a CUDA device: give one of them"},
        {{"--test", "--gpu"},
         "roughpi: --test checks this program and takes no numbers, and of the options only --threads"},
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

// Without CUDA in the build, --gpu says so, with the status of a failed
// count and no number (a build with CUDA is tested in tests/gpu/).
TEST(CliProgramTest, WithoutCudaTheGpuIsRefused)
{
#if defined(ROUGHPI_TESTS_WITH_CUDA)
    GTEST_SKIP() << "this build has CUDA";
#endif
    for (const char* gpu : {"--gpu", "--gpu=emulate"}) {
        const outcome r = run({gpu, "1e12", "10"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err,
                  "roughpi: no CUDA device: this build has no CUDA (configure it with -DROUGHPI_CUDA=ON: "
                  "doc/building.md)\n");
    }
}

TEST(CliProgramTest, HelpAndVersionWinOverEverythingElse)
{
    const std::vector<std::string> help_calls[] = {{"--help"}, {"-h"}, {"abc", "-h", "--bad"}, {"-h", "-v"}};
    for (const auto& args : help_calls) {
        const outcome r = run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("Usage: roughpi ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("from 0 to " + max_text + ","), std::string::npos) << "maximum not stated";
        EXPECT_EQ(r.err, "");
    }
    for (const char* version : {"--version", "-v"}) {
        const outcome r = run({"1e99", version, "--help"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, std::string("roughpi ") + ROUGHPI_VERSION + "\nLicence: MIT (see LICENSE)\n");
        EXPECT_EQ(r.err, "");
    }
}

TEST(CliProgramTest, AFailedWriteIsAnError)
{
    if (!std::ifstream("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const outcome r = run({"100"}, "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "roughpi: cannot write to standard output\n");
    // The help and the version too.
    for (const char* option : {"--help", "--version"}) {
        const outcome asked = run({option}, "/dev/full");
        EXPECT_EQ(asked.status, 1) << option;
        EXPECT_EQ(asked.err, "roughpi: cannot write to standard output\n") << option;
    }
}

TEST(CliProgramTest, ThreadsInEveryFormCountTheSame)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-t", "1", "1e11"},
                                                 {"--threads", "3", "1e11"},
                                                 {"1e11", "--threads=2"},
                                                 {"--threads=4096", "1e11"},
                                                 {"1e11"},
                                                 {"-t", "000000002", "1e11"},
                                                 {"-t", "0000000002", "1e11"},
                                                 {"-t2", "1e11"},
                                                 {"1e11", "-t0004"},
                                                 {"-t", "0", "1e11"},
                                                 {"--threads", "0", "1e11"},
                                                 {"-t0", "1e11"}}) {
        const outcome r = run(args);
        EXPECT_EQ(r.status, 0) << args[0];
        EXPECT_EQ(r.out, "4118054813\n") << args[0];
        EXPECT_EQ(r.err, "") << args[0];
    }
    const std::string needs = ": the number of threads must be a whole number from 0 (every CPU) to 4096";
    const struct {
        std::vector<std::string> args;
        std::string first_line;
    } bad[] = {
        {{"-t", "-1", "100"}, "roughpi: -t '-1'" + needs},
        {{"-t-1", "100"}, "roughpi: -t '-1'" + needs},
        {{"-tx", "100"}, "roughpi: -t 'x'" + needs},
        {{"-t4097", "100"}, "roughpi: -t '4097'" + needs},
        {{"--threads", "-2", "100"}, "roughpi: --threads '-2'" + needs},
        {{"--threads=abc", "100"}, "roughpi: --threads 'abc'" + needs},
        {{"--threads=", "100"}, "roughpi: --threads ''" + needs},
        {{"-t", "4097", "100"}, "roughpi: -t '4097'" + needs},
        {{"-t", "2.5", "100"}, "roughpi: -t '2.5'" + needs},
        {{"100", "-t"}, "roughpi: '-t' needs a number of threads, from 0 (every CPU) to 4096"},
        {{"-t", "--time", "100"}, "roughpi: '-t' needs a number of threads, from 0 (every CPU) to 4096"},
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
        {{"--checkpoint", file, "--checkpoint", file + "2", "100"},
         "roughpi: '--checkpoint' is given twice: it takes one file"},
        {{"--checkpoint", "--time", "100"}, "roughpi: '--checkpoint' needs the name of a file"},
        {{"--checkpoint=-x", "100"},
         "roughpi: '--checkpoint' needs the name of a file, not '-x' (write ./-x for a file whose name starts with "
         "'-')"},
        {{"--output", file, "--output=" + file, "100"}, "roughpi: '--output' is given twice: it takes one file"},
        {{"100", "--output"}, "roughpi: '--output' needs the name of a file"},
        {{"--output", "/dev/null", "100"}, "roughpi: --output '/dev/null' is not a regular file"},
        {{"--output", "/nonexistent/folder/out.txt", "100"},
         "roughpi: cannot write --output '/nonexistent/folder/out.txt': No such file or directory"},
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

// --nth and the estimates: one answer a line; with --checkpoint, --nth keeps
// its count, and a second run answers from the file.
TEST(CliProgramTest, NthPrimesAndEstimates)
{
    // (p_n at n = 10^12 is the checkpointed count below.)
    for (const char* option : {"--nth", "-n", "--nth-prime"}) {
        const outcome nth = run({option, "1", "2", "6", "7", "1e6", "2e6"});
        EXPECT_EQ(nth.status, 0) << option << " " << nth.err;
        EXPECT_EQ(nth.out, "2\n3\n13\n17\n15485863\n32452843\n") << option;
    }
    const struct {
        const char* option;
        const char* value;
    } estimates[] = {{"--li", "455055614\n"},
                     {"--Li", "455055613\n"},
                     {"--riemann-r", "455050683\n"},
                     {"-R", "455050683\n"},
                     {"--RiemannR", "455050683\n"},
                     {"--li-inverse", "252097160014\n"},
                     {"--Li-inverse", "252097160041\n"},
                     {"--riemann-r-inverse", "252097715776\n"},
                     {"--RiemannR-inverse", "252097715776\n"}};
    for (const auto& e : estimates) {
        const outcome r = run({e.option, "1e10"});
        EXPECT_EQ(r.status, 0) << e.option << " " << r.err;
        EXPECT_EQ(r.out, e.value) << e.option;
    }
    // Li(2) = 0, and Li's inverse takes 0 back to 2.
    const outcome offset = run({"--Li", "2", "3", "--", "2^63-1"});
    EXPECT_EQ(offset.out, "0\n1\n216289611941014690\n") << offset.err;
    const outcome offset_inverse = run({"--Li-inverse", "0", "1", "216289611941014690"});
    EXPECT_EQ(offset_inverse.out, "2\n2\n9223372036854775764\n") << offset_inverse.err;
    const std::string file = roughpi::testing::temp_path("nth.txt");
    std::remove(file.c_str());
    for (int run_number = 0; run_number < 2; ++run_number) {
        const outcome r = run({"--nth", "--checkpoint", file, "1e12"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "29996224275833\n");
    }
    EXPECT_EQ(
        read_file(file).rfind("roughpi-checkpoint 3 roughpi=" + std::string(ROUGHPI_VERSION) + " x=29996225393465 ", 0),
        0u);
    std::remove(file.c_str());

    const struct {
        std::vector<std::string> args;
        std::string first_line;
    } bad[] = {
        {{"--nth", "0"},
         "roughpi: --nth '0': n must be from 1 to 216289611853439384 (the number of primes up to 2^63 - 1)"},
        {{"--nth", "216289611853439385"},
         "roughpi: --nth '216289611853439385': n must be from 1 to 216289611853439384 "
         "(the number of primes up to 2^63 - 1)"},
        {{"1e30", "--nth"},
         "roughpi: --nth '1e30': n must be from 1 to 216289611853439384 (the number of primes up to "
         "2^63 - 1)"},
        {{"--li", "1"}, "roughpi: --li '1': x must be from 2 to 9223372036854775807"},
        {{"--riemann-r-inverse", "2^62"},
         "roughpi: --riemann-r-inverse '4611686018427387904': y must be from 2 to "
         "216289611867888729, so that the x with R(x) = y stays below 2^63"},
        {{"--nth", "--li", "5"}, "roughpi: '--nth' and '--li' ask for different things: give one of them"},
        {{"-n", "-R", "5"}, "roughpi: '--nth' and '--riemann-r' ask for different things: give one of them"},
        {{"--Li", "1"}, "roughpi: --Li '1': x must be from 2 to 9223372036854775807"},
        {{"--Li-inverse", "216289611941014691"},
         "roughpi: --Li-inverse '216289611941014691': y must be from 0 to "
         "216289611941014690, so that the x with Li(x) = y stays below 2^63"},
        {{"-n", "0"},
         "roughpi: --nth '0': n must be from 1 to 216289611853439384 (the number of primes up to 2^63 - 1)"},
        {{"--li", "--checkpoint", file, "5"},
         "roughpi: --checkpoint keeps a count, and --li is an estimate, which "
         "takes no time: give one of them"},
    };
    for (const auto& c : bad) {
        const outcome r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.first_line;
        EXPECT_EQ(r.out, "") << c.first_line;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.first_line);
    }
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

// --status: the progress as lines where standard error is not a terminal,
// the last at 100%; --no-status (the later of the two wins): none.
TEST(CliProgramTest, StatusShowsTheProgressInLinesWhereThereIsNoTerminal)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-s", "1e12"}, {"--no-status", "--status", "1e12"}}) {
        const outcome r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "37607912018\n");
        EXPECT_EQ(r.err.rfind("pi(1000000000000): 0.0%\n", 0), 0u) << r.err;
        const std::string last = "\npi(1000000000000): 100.0%\n";
        ASSERT_GE(r.err.size(), last.size()) << r.err;
        EXPECT_EQ(r.err.substr(r.err.size() - last.size()), last) << r.err;
        EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;
    }
    const outcome nth = run({"--status", "--nth", "1e11"});  // its count, at about 2.8e12, shows progress
    EXPECT_EQ(nth.out, "2760727302517\n");
    EXPECT_NE(nth.err.find("\nnth(100000000000): 100.0%\n"), std::string::npos) << nth.err;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--no-status", "1e12"}, {"-s", "--no-status", "1e12"}, {"-s", "1e11"}}) {
        const outcome r = run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "") << args[0];
    }
}

TEST(CliProgramTest, OnATerminalProgressIsShownThenErased)
{
    if (!roughpi::testing::have_script())
        GTEST_SKIP() << "no `script` to run the program under a pseudo-terminal";
    // Standard output and standard error both go to the pseudo-terminal,
    // whose newlines come back as \r\n.
    const std::string path = roughpi::testing::temp_path("tty.txt");
    const std::string command = std::string("script -qec \"") + roughpi::testing::program_command(ROUGHPI_CLI_PROGRAM) +
        " 1e12\" /dev/null < /dev/null > '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string text = read_file(path);
    const std::string last = "pi(1000000000000): 100.0%";
    const std::string erased = "\r" + last + "\r" + std::string(last.size(), ' ') + "\r37607912018\r\n";
    EXPECT_EQ(text.rfind("\rpi(1000000000000): 0.0%", 0), 0u) << text;
    ASSERT_GE(text.size(), erased.size());
    EXPECT_EQ(text.substr(text.size() - erased.size()), erased) << text;

    // --no-status: none, even there.
    const std::string quiet = std::string("script -qec \"") + roughpi::testing::program_command(ROUGHPI_CLI_PROGRAM) +
        " --no-status 1e12\" /dev/null < /dev/null > '" + path + "'";
    ASSERT_EQ(std::system(quiet.c_str()), 0);
    EXPECT_EQ(read_file(path), "37607912018\r\n");
}

}  // namespace

namespace {

TEST(CliProgramTest, RangesAreCountedInPairs)
{
    const outcome r = run({"--range", "0", "1", "0", "2", "2", "2", "4", "4", "0", "100", "1e12", "1000100000000",
                           "1e18", "1000000000010000000"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0\n1\n1\n0\n25\n3618282\n241295\n");
    const struct {
        std::vector<std::string> args;
        std::string first_line;
    } bad[] = {
        {{"--range", "5"}, "roughpi: --range takes its numbers in pairs, A B: 1 number is given"},
        {{"--range", "5", "3"}, "roughpi: --range 5 3: A is above B; the range [A, B] needs A <= B"},
        {{"--range", "-1", "3"}, "roughpi: --range '-1': A and B must be from 0 to " + max_text},
        {{"--range", "1", "2", "--checkpoint", "f"},
         "roughpi: --checkpoint keeps a count of pi(X) or p_N, and --range counts a range: give one of them"},
        {{"--range", "--nth", "1", "2"}, "roughpi: '--range' and '--nth' ask for different things: give one of them"},
    };
    for (const auto& c : bad) {
        const outcome b = run(c.args);
        SCOPED_TRACE(c.first_line);
        EXPECT_EQ(b.status, 2);
        EXPECT_EQ(b.out, "");
        EXPECT_EQ(b.err.substr(0, b.err.find('\n')), c.first_line);
    }
}

TEST(CliProgramTest, TheSelfTestPassesOnEveryPath)
{
#if defined(ROUGHPI_TESTS_SANITIZED)
    // Seconds here, many minutes under the sanitizers; the tools tests run
    // its checks, at their quick size, there.
    GTEST_SKIP() << "the program's full self-test is left to the builds without sanitizers";
#endif
    const outcome r = run({"--test=12345"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("roughpi --test=12345 (", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("\nFAIL"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nall checks passed in "), std::string::npos) << r.out;
    for (const roughpi::counting_path path : roughpi::counting_paths())
        EXPECT_EQ(r.out.find(std::string("\nok   ") + roughpi::counting_path_name(path) + " pi(10^") !=
                      std::string::npos,
                  roughpi::counting_path_available(path))
            << roughpi::counting_path_name(path);
    for (const auto& args : {std::vector<std::string>{"--test", "5"}, {"--test=0"}, {"--test", "--range", "1", "2"}}) {
        const outcome b = run(args);
        EXPECT_EQ(b.status, 2) << args.back();
        EXPECT_EQ(b.out, "");
    }
}

}  // namespace
