// SPDX-License-Identifier: MIT
// Counts that survive being stopped, as a user runs them: the program killed
// at random moments and resumed, refusing files that are no checkpoints of
// its count or that were forged, with the user's key or one given, and
// interrupted on a terminal or while it waits for its file.
#include "support/kill_and_resume.hpp"
#include "support/programs.hpp"
#include "support/temp_files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#if !defined(_WIN32)
#  include <fcntl.h>
#  include <sys/file.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace {

using roughpi::testing::cli_program;
using roughpi::testing::config_folder;
using roughpi::testing::outcome;
using roughpi::testing::read_file;
using roughpi::testing::run_command;
using roughpi::testing::temp_path;

void write_file(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(CheckpointProgramTest, KilledAtRandomAndResumed)
{
    roughpi::testing::kill_and_resume("3e13", 0.25, 1'000'121'668'853);
}

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
    ASSERT_EQ(std::system(("{ grep -v '^piece 0 ' '" + a + "'; grep '^piece 0 ' '" + b + "'; } > '" + c + "'").c_str()),
              0);
    const outcome spliced = run_command(cli_program() + " --checkpoint '" + c + "' 1e12");
    EXPECT_EQ(spliced.status, 2);
    EXPECT_EQ(spliced.out, "");
    const std::string spliced_text = read_file(c);
    const auto last_line = std::count(spliced_text.begin(), spliced_text.end(), '\n');
    EXPECT_EQ(spliced.err,
              "roughpi: checkpoint '" + c + "' is damaged: line " + std::to_string(last_line) +
                  " does not check: it was changed, or it comes from another checkpoint\n");
    for (const std::string& f : {a, b, c})
        std::remove(f.c_str());
}

// Ctrl-C on a terminal, and SIGTERM: the progress line is erased, the status
// is 128 + the signal, and a checkpoint keeps what was done. The signal is
// sent once the progress line is on the terminal (a sanitized build on a busy
// machine may take more than a second to get there), from a watcher started
// by the shell that then becomes the program, so that it knows its pid.
TEST(CheckpointProgramTest, InterruptedOnATerminal)
{
    if (!roughpi::testing::have_script())
        GTEST_SKIP() << "no `script` to run the program under a pseudo-terminal";
    const std::string path = temp_path("interrupted.txt");
    const std::string transcript = temp_path("tty.txt");
    const std::string runner = temp_path("interrupt.sh");
    for (const auto& [signal, status] : {std::pair<std::string, int>{"INT", 130}, {"TERM", 143}}) {
        std::remove(path.c_str());
        std::remove(transcript.c_str());
        // Waits at most a minute for the line, then signals regardless.
        write_file(runner, "( i=0; while [ $i -lt 1200 ] && ! grep -q 'pi(10000000000000000): ' '" + transcript +
                               "' 2>/dev/null; do sleep 0.05; i=$((i+1)); done; kill -s " + signal + " $$ ) &\n" +
                               "exec " + cli_program() + " -t 2 --checkpoint '" + path + "' 1e16\n");
        const std::string inner = "sh '" + runner + "'; echo status=\\$?";
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
        EXPECT_EQ(read_file(path).rfind("roughpi-checkpoint 3 ", 0), 0u);
    }
    for (const std::string& f : {path, transcript, runner})
        std::remove(f.c_str());
}

// The first line's word that names the key: "key=<8 hex>".
std::string key_word(const std::string& checkpoint_text)
{
    const std::size_t at = checkpoint_text.find(" key=");
    return at == std::string::npos ? "" : checkpoint_text.substr(at + 1, 12);
}

#if !defined(_WIN32)
// The user's key is made on first use, once, for the user alone, even by two
// programs that start at once; a copy of it given with --checkpoint-key takes
// up the same files, any other key refuses them.
TEST(CheckpointProgramTest, TheUsersKeyIsMadeOnceAndOthersRefused)
{
    const std::string key_path = config_folder() + "/roughpi/checkpoint.key";
    const std::string a = temp_path("a.txt"), b = temp_path("b.txt");
    for (int round = 0; round < 3; ++round) {
        std::filesystem::remove_all(config_folder() + "/roughpi");
        for (const std::string& f : {a, b})
            std::remove(f.c_str());
        const outcome both = run_command("{ " + cli_program() + " --checkpoint '" + a + "' 1e10 & " + cli_program() +
                                         " --checkpoint '" + b + "' 1e10; wait; }");
        ASSERT_EQ(both.out, "455052511\n455052511\n") << both.err;
        EXPECT_EQ(key_word(read_file(a)), key_word(read_file(b))) << "round " << round;
    }
    ASSERT_EQ(key_word(read_file(a)).size(), 12u);
    struct stat status;
    ASSERT_EQ(::stat(key_path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((config_folder() + "/roughpi").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);

    const std::string copy = temp_path("copy.key"), other = temp_path("other.key");
    std::filesystem::copy_file(key_path, copy, std::filesystem::copy_options::overwrite_existing);
    write_file(other, "00112233445566778899aabbccddeeff\n");
    const outcome with_copy =
        run_command(cli_program() + " --checkpoint-key '" + copy + "' --checkpoint '" + a + "' 1e10");
    EXPECT_EQ(with_copy.status, 0) << with_copy.err;
    EXPECT_EQ(with_copy.out, "455052511\n");
    const outcome with_other =
        run_command(cli_program() + " --checkpoint '" + a + "' --checkpoint-key='" + other + "' 1e10");
    EXPECT_EQ(with_other.status, 2);
    EXPECT_EQ(with_other.out, "");
    EXPECT_EQ(with_other.err,
              "roughpi: checkpoint '" + a + "' was written with another key: give it with --checkpoint-key\n");
    const outcome nth_other =
        run_command(cli_program() + " --nth --checkpoint '" + a + "' --checkpoint-key '" + other + "' 1e3");
    EXPECT_EQ(nth_other.status, 2);

    write_file(key_path, "not a key\n");
    const outcome bad_key = run_command(cli_program() + " --checkpoint '" + a + "' 1e10");
    EXPECT_EQ(bad_key.status, 2);
    EXPECT_EQ(bad_key.out, "");
    EXPECT_EQ(bad_key.err,
              "roughpi: checkpoint key '" + key_path +
                  "' is not a key file: it must hold 32 lowercase "
                  "hex digits and a newline, nothing else\n");
    EXPECT_EQ(read_file(key_path), "not a key\n");
    const outcome no_key =
        run_command(cli_program() + " --checkpoint '" + a + "' --checkpoint-key '" + temp_path("none") + "' 1e10");
    EXPECT_EQ(no_key.status, 2);
    EXPECT_EQ(no_key.err.rfind("roughpi: cannot read checkpoint key '" + temp_path("none") + "': ", 0), 0u)
        << no_key.err;
    const outcome key_alone = run_command(cli_program() + " --checkpoint-key '" + copy + "' 1e10");
    EXPECT_EQ(key_alone.status, 2);
    EXPECT_EQ(key_alone.err.substr(0, key_alone.err.find('\n')),
              "roughpi: --checkpoint-key is the key of a checkpoint: give --checkpoint FILE too");
    for (const std::string& f : {a, b, copy, other})
        std::remove(f.c_str());
    std::filesystem::remove_all(config_folder() + "/roughpi");
}
#endif

// A term of a line raised by 1 and its check worked out anew as version 2's
// FNV-1a hash was: that once printed a wrong count with status 0, for pi and
// for the n-th prime. Files of version 2 are refused as such.
TEST(CheckpointProgramTest, ForgedLinesAndOlderFormatsAreRefused)
{
    const std::string path = temp_path("forged.txt");
    for (const std::string& count : {std::string("1e11"), std::string("--nth 1e9")}) {
        std::remove(path.c_str());
        ASSERT_EQ(run_command(cli_program() + " --checkpoint '" + path + "' " + count).status, 0);
        const std::string text = read_file(path);
        const std::string header = text.substr(0, text.find('\n') + 1);
        std::string content = text.substr(header.size(), text.find(" mac=", header.size()) - header.size());
        const std::size_t low = content.find(':') + 1;
        ASSERT_NE(low, 0u) << content;
        char raised[17];
        std::snprintf(raised, sizeof(raised), "%016llx", std::stoull(content.substr(low, 16), nullptr, 16) + 1);
        content.replace(low, 16, raised);
        const auto fnv = [](const std::string& s, unsigned long long h) {
            for (const char c : s)
                h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
            return h;
        };
        char check[17];
        std::snprintf(check, sizeof(check), "%016llx",
                      fnv(content, fnv(header.substr(0, header.find(" mac=")), 0xcbf29ce484222325ull)));
        const std::string forged =
            header + content + " mac=" + check + "\n" + text.substr(text.find('\n', header.size()) + 1);
        write_file(path, forged);
        const outcome r = run_command(cli_program() + " --checkpoint '" + path + "' " + count);
        EXPECT_EQ(r.status, 2) << count;
        EXPECT_EQ(r.out, "") << count;
        EXPECT_EQ(r.err,
                  "roughpi: checkpoint '" + path +
                      "' is damaged: line 2 does not check: it was changed, or it "
                      "comes from another checkpoint\n")
            << count;
        EXPECT_EQ(read_file(path), forged);
    }

    write_file(path,
               "roughpi-checkpoint 2 roughpi=0.3.0 x=10000000000000 pieces=88 split=2cbf087e3048bbb0 "
               "check=0123456789abcdef\n");
    const outcome old = run_command(cli_program() + " --checkpoint '" + path + "' 1e13");
    EXPECT_EQ(old.status, 2);
    EXPECT_EQ(old.err,
              "roughpi: checkpoint '" + path +
                  "' is in format version 2, which this roughpi no longer takes "
                  "up: its lines are checked by a hash that anyone can work out anew. Remove it, and the count "
                  "starts afresh\n");
    std::remove(path.c_str());
}

// The counts written to the checkpoint at the end would replace it, and the
// next run would refuse what is left: refused before anything is counted,
// under any name of the same file.
TEST(CheckpointProgramTest, AnOutputFileThatIsTheCheckpointIsRefused)
{
    const std::string path = temp_path("same.txt");
    std::remove(path.c_str());
    const std::string folder = path.substr(0, path.rfind('/'));
    const std::string file = path.substr(path.rfind('/') + 1);
    const auto refused_as = [&](const std::string& output, const std::string& in) {
        const outcome r = run_command("cd '" + in + "' && " + cli_program() + " --checkpoint '" + path +
                                      "' --output '" + output + "' 1e11");
        EXPECT_EQ(r.status, 2) << output;
        EXPECT_EQ(r.out, "") << output;
        EXPECT_EQ(r.err,
                  "roughpi: --checkpoint and --output name the same file '" + output +
                      "': the counts would replace the checkpoint; give each a file of its own\n");
    };
    refused_as(path, folder);
    refused_as(file, folder);  // not there yet: the same path
    refused_as("./" + file, folder);
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_EQ(run_command(cli_program() + " --checkpoint '" + path + "' 1e11").out, "4118054813\n");
    const std::string text = read_file(path);
#if !defined(_WIN32)
    const std::string link = temp_path("link.txt");
    std::remove(link.c_str());
    ASSERT_EQ(::link(path.c_str(), link.c_str()), 0);
    refused_as(link, folder);  // the same file by another name
    std::remove(link.c_str());
#endif
    EXPECT_EQ(read_file(path), text);
    std::remove(path.c_str());
}

#if !defined(_WIN32)
// A count that waits for its checkpoint, which another count holds, stops at
// once on SIGINT and SIGTERM with their status, as it does while it counts.
TEST(CheckpointProgramTest, AWaitForAHeldCheckpointStopsAtOnceOnASignal)
{
    const std::string path = temp_path("held.txt");
    write_file(path, "");
    const int fd = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    for (const auto& [signal, status] : {std::pair<std::string, int>{"INT", 130}, {"TERM", 143}}) {
        const auto start = std::chrono::steady_clock::now();
        const outcome r = run_command("timeout --preserve-status -s " + signal + " 0.3 " + cli_program() +
                                      " --checkpoint '" + path + "' 1e11");
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(r.status, status) << "SIG" << signal << ": " << r.err;
        EXPECT_EQ(r.out, "");
        // The signal comes at 0.3 s; the wait would last 3 s.
        EXPECT_LT(elapsed.count(), 1.5) << "SIG" << signal;
    }
    ::close(fd);
    EXPECT_EQ(read_file(path), "");
    std::remove(path.c_str());
}
#endif

}  // namespace
