// Counts that survive being stopped, as a user runs them: the program killed
// at random moments and resumed, refusing files that are no checkpoints of
// its count, interrupted on a terminal.
#include "support/kill_and_resume.hpp"
#include "support/programs.hpp"
#include "support/temp_files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

using roughpi::testing::cli_program;
using roughpi::testing::outcome;
using roughpi::testing::read_file;
using roughpi::testing::run_command;
using roughpi::testing::temp_path;

void write_file(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(CheckpointProgramTest, KilledAtRandomAndResumed) { roughpi::testing::kill_and_resume("3e13", 0.25, 1'000'121'668'853); }

TEST(CheckpointProgramTest, BadCheckpointsAreRefusedWithNothingCounted)
{
    const std::string path = temp_path("refused.txt");
    write_file(path, "not a checkpoint\n");
    const outcome foreign = run_command(cli_program() + " --checkpoint '" + path + "' 1e11");
    EXPECT_EQ(foreign.status, 2);
    EXPECT_EQ(foreign.out, "");
    EXPECT_EQ(foreign.err, "roughpi: '" + path + "' is not a roughpi checkpoint\n");
    EXPECT_EQ(read_file(path), "not a checkpoint\n");

    const outcome two = run_command(cli_program() + " --checkpoint '" + path + "' 1e11 1e12");
    EXPECT_EQ(two.status, 2);
    EXPECT_EQ(two.err.substr(0, two.err.find('\n')),
              "roughpi: --checkpoint keeps one count: give one number, and each count a file of its own");
    const outcome missing = run_command(cli_program() + " 1e11 --checkpoint");
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err.substr(0, missing.err.find('\n')), "roughpi: '--checkpoint' needs the name of a file");
    for (const char* device : {"/dev/null", "/dev/zero"}) {
        const outcome r = run_command(cli_program() + " --checkpoint " + device + " 1e11");
        EXPECT_EQ(r.status, 2) << device;
        EXPECT_EQ(r.err, "roughpi: checkpoint '" + std::string(device) + "' is not a regular file\n");
    }
    const outcome no_folder = run_command(cli_program() + " --checkpoint /nonexistent/folder/file 1e11");
    EXPECT_EQ(no_folder.status, 2);
    EXPECT_EQ(no_folder.out, "");
    EXPECT_EQ(no_folder.err.rfind("roughpi: cannot open checkpoint '/nonexistent/folder/file': ", 0), 0u)
        << no_folder.err;
    std::remove(path.c_str());
}

// The records of the checkpoint of 2e12 put in place of their namesakes in
// the checkpoint of 1e12: once, that printed a wrong count with status 0.
TEST(CheckpointProgramTest, RecordsOfAnotherCountAreRefused)
{
    const std::string a = temp_path("a.txt"), b = temp_path("b.txt"), c = temp_path("c.txt");
    for (const std::string& f : {a, b, c})
        std::remove(f.c_str());
    ASSERT_EQ(run_command(cli_program() + " --checkpoint '" + a + "' 1e12").out, "37607912018\n");
    ASSERT_EQ(run_command(cli_program() + " --checkpoint '" + b + "' 2e12").out, "73301896139\n");
    ASSERT_EQ(std::system(("{ grep -v '^piece 0 ' '" + a + "'; grep '^piece 0 ' '" + b + "'; } > '" + c + "'").c_str()), 0);
    const outcome spliced = run_command(cli_program() + " --checkpoint '" + c + "' 1e12");
    EXPECT_EQ(spliced.status, 2);
    EXPECT_EQ(spliced.out, "");
    const std::string spliced_text = read_file(c);
    const auto last_line = std::count(spliced_text.begin(), spliced_text.end(), '\n');
    EXPECT_EQ(spliced.err, "roughpi: checkpoint '" + c + "' is damaged: line " + std::to_string(last_line) +
                               " does not check: it was changed, or it comes from another checkpoint\n");
    for (const std::string& f : {a, b, c})
        std::remove(f.c_str());
}

// Ctrl-C on a terminal, and SIGTERM: the progress line is erased, the status
// is 128 + the signal, and a checkpoint keeps what was done.
TEST(CheckpointProgramTest, InterruptedOnATerminal)
{
    if (!roughpi::testing::have_script())
        GTEST_SKIP() << "no `script` to run the program under a pseudo-terminal";
    const std::string path = temp_path("interrupted.txt");
    for (const auto& [signal, status] : {std::pair<std::string, int>{"INT", 130}, {"TERM", 143}}) {
        std::remove(path.c_str());
        const std::string transcript = temp_path("tty.txt");
        const std::string inner = "timeout --preserve-status -s " + signal + " 1 " + cli_program() + " -t 2 --checkpoint '" +
                                  path + "' 1e16; echo status=\\$?";
        ASSERT_EQ(std::system(("script -qec \"" + inner + "\" /dev/null < /dev/null > '" + transcript + "'").c_str()),
                  0);
        const std::string text = read_file(transcript);
        SCOPED_TRACE("SIG" + signal + ": " + text);
        ASSERT_NE(text.find("\rpi(10000000000000000): "), std::string::npos);
        // After the last drawing of the line: spaces over it, a carriage
        // return, and nothing but the status.
        const std::size_t erase = text.rfind("\r ");
        ASSERT_NE(erase, std::string::npos);
        const std::size_t spaces_end = text.find_first_not_of(' ', erase + 1);
        ASSERT_NE(spaces_end, std::string::npos);
        EXPECT_GE(spaces_end - erase - 1, std::string("pi(10000000000000000): 0.0%").size());
        EXPECT_EQ(text.substr(spaces_end), "\rstatus=" + std::to_string(status) + "\r\n");
        EXPECT_EQ(read_file(path).rfind("roughpi-checkpoint 2 ", 0), 0u);
    }
    std::remove(path.c_str());
}

}  // namespace
