// SPDX-License-Identifier: MIT
// roughpi-mpi: rank 0's record of the finished pieces directly, then the
// program run under mpirun with one to three ranks as a user runs it: its
// counts against prime_count, its output, its exit status on every rank, and
// a failing rank that must take the whole job down without a count.
#include "support/programs.hpp"
#include "support/random_seed.hpp"
#include "support/temp_files.hpp"

#include <piece_ledger.hpp>

#include <roughpi/roughpi.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using roughpi::prime_count_piece;
using roughpi::prime_count_sums;
using roughpi::mpi::piece_ledger;

prime_count_sums sums_of(const prime_count_piece& piece)
{
    prime_count_sums sums;
    roughpi::prime_count_add_piece(piece, sums);
    return sums;
}

TEST(PieceLedgerTest, PiecesInAnyOrderMakeTheCountAndNothingLess)
{
    ROUGHPI_SEEDED_RNG(rng);
    for (const std::int64_t x : {std::int64_t{100}, std::int64_t{10'000'000'000},
                                 std::uniform_int_distribution<std::int64_t>(10'000'000'000, 3'000'000'000'000)(rng)}) {
        SCOPED_TRACE("x = " + std::to_string(x));
        const std::vector<prime_count_piece> pieces = roughpi::prime_count_piece_list(x);
        std::vector<std::size_t> order(pieces.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::shuffle(order.begin(), order.end(), rng);

        piece_ledger ledger(pieces);
        double share = ledger.share_done();
        EXPECT_EQ(share, 0.0);
        for (std::size_t n = 0; n < order.size(); ++n) {
            EXPECT_THROW(ledger.pi(), roughpi::input_error) << "finished from " << n << " pieces";
            EXPECT_FALSE(ledger.complete());
            ledger.record(order[n], sums_of(pieces[order[n]]));
            EXPECT_TRUE(ledger.is_done(order[n]));
            EXPECT_EQ(ledger.done_count(), n + 1);
            EXPECT_GE(ledger.share_done(), share);
            share = ledger.share_done();
        }
        EXPECT_TRUE(ledger.complete());
        EXPECT_EQ(ledger.share_done(), 1.0);
        EXPECT_EQ(ledger.pi(), roughpi::prime_count(x));
    }
}

TEST(PieceLedgerTest, RefusesWhatIsNotExactlyTheNamedPieceAndRecordsNothing)
{
    const std::int64_t x = 1'000'000'000'000;
    const std::vector<prime_count_piece> pieces = roughpi::prime_count_piece_list(x);
    ASSERT_GE(pieces.size(), 3u);
    const std::vector<prime_count_piece> other_x = roughpi::prime_count_piece_list(x + 1);

    prime_count_sums two = sums_of(pieces[0]);
    two += sums_of(pieces[1]);
    auto damaged_words = sums_of(pieces[2]).to_words();
    damaged_words[2] ^= 1;  // the fingerprint sum, as a transmission error would

    piece_ledger ledger(pieces);
    ledger.record(0, sums_of(pieces[0]));
    const struct {
        const char* what;
        std::size_t index;
        prime_count_sums sums;
    } refused[] = {
        {"an index past the list", pieces.size(), sums_of(pieces[1])},
        {"a piece recorded already", 0, sums_of(pieces[0])},
        {"another piece's sums", 1, sums_of(pieces[2])},
        {"the sums of two pieces", 1, two},
        {"no piece at all", 1, prime_count_sums{}},
        {"the same place in the count of another x", 1, sums_of(other_x[1])},
        {"damaged sums", 2, prime_count_sums::from_words(damaged_words)},
    };
    for (const auto& r : refused) {
        EXPECT_THROW(ledger.record(r.index, r.sums), std::runtime_error) << r.what;
        EXPECT_EQ(ledger.done_count(), 1u) << r.what;
    }
    // Still good for the count: the refusals changed nothing.
    for (std::size_t i = 1; i < pieces.size(); ++i)
        ledger.record(i, sums_of(pieces[i]));
    EXPECT_EQ(ledger.pi(), roughpi::prime_count(x));
}

// ---------------------------------------------------------------------------
// The program under mpirun.

using roughpi::testing::is_timed_count;
using roughpi::testing::outcome;
using roughpi::testing::quoted;
using roughpi::testing::read_file;
using roughpi::testing::run_command;

// Open MPI refuses to run as root, and more ranks than cores, unless told it
// may, and binds the ranks of a job of one or two to a core each, which would
// put a rank's threads on one core. Other MPI implementations ignore these.
const bool open_mpi_switches = [] {
    setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 0);
    setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 0);
    setenv("OMPI_MCA_rmaps_base_oversubscribe", "1", 0);
    setenv("OMPI_MCA_hwloc_base_binding_policy", "none", 0);
    return true;
}();

std::string program_with(const std::vector<std::string>& args, const char* program = ROUGHPI_MPI_PROGRAM)
{
    std::string command = quoted(program);
    for (const std::string& arg : args)
        command.append(" ").append(quoted(arg));
    return command;
}

std::string mpiexec(int ranks)
{
    return quoted(ROUGHPI_MPIEXEC) + " " ROUGHPI_MPIEXEC_NUMPROC_FLAG " " + std::to_string(ranks) +
        " " ROUGHPI_MPIEXEC_PREFLAGS " ";
}

outcome run(int ranks, const std::vector<std::string>& args)
{
    return run_command(mpiexec(ranks) + program_with(args) + " " ROUGHPI_MPIEXEC_POSTFLAGS);
}

// How many times `line` is a whole line of text.
int lines_equal_to(const std::string& text, const std::string& line)
{
    std::istringstream lines(text);
    int n = 0;
    for (std::string l; std::getline(lines, l);)
        n += l == line;
    return n;
}

std::string expected_counts(const std::vector<std::int64_t>& xs)
{
    std::string text;
    for (const std::int64_t x : xs)
        text += std::to_string(roughpi::prime_count(x)) + "\n";
    return text;
}

TEST(MpiProgramTest, CountsOnOneTwoAndThreeRanksMatchTheSingleMachineCount)
{
    ROUGHPI_SEEDED_RNG(rng);
    // Known values, then x up to 10^14 spread evenly over the decades.
    const std::string known = "346065536839\n33483379603407\n";
    std::vector<std::int64_t> random_xs;
    for (int i = 0; i < 3; ++i)
        random_xs.push_back(
            static_cast<std::int64_t>(std::pow(10.0, std::uniform_real_distribution<double>(10.0, 14.0)(rng))));
    std::vector<std::string> args = {"1e13", "2^50"};
    for (const std::int64_t x : random_xs)
        args.push_back(std::to_string(x));
    SCOPED_TRACE("random x: " + args[2] + " " + args[3] + " " + args[4]);
    const std::string expected = known + expected_counts(random_xs);

    // One rank of two threads, two of one, and three with the default count.
    const struct {
        int ranks;
        std::vector<std::string> threads;
    } jobs[] = {{1, {"--threads", "2"}}, {2, {"-t", "1"}}, {3, {}}};
    for (const auto& job : jobs) {
        std::vector<std::string> job_args = job.threads;
        job_args.insert(job_args.end(), args.begin(), args.end());
        const outcome r = run(job.ranks, job_args);
        EXPECT_EQ(r.status, 0) << job.ranks << " ranks: " << r.err;
        EXPECT_EQ(r.out, expected) << job.ranks << " ranks";
        EXPECT_EQ(r.err, "") << job.ranks << " ranks";
    }
}

TEST(MpiProgramTest, RanksThatGetNoPieceJustEnd)
{
    // x = 100 is one piece; 10^10 has 17, for three ranks of four threads
    // that each ask for several at once.
    const outcome one = run(3, {"100"});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, "25\n");
    const outcome few = run(3, {"-t", "4", "1e10", "0", "1", "2", "1e10+1"});
    EXPECT_EQ(few.status, 0) << few.err;
    EXPECT_EQ(few.out, "455052511\n0\n0\n1\n455052511\n");
}

TEST(MpiProgramTest, TimedCountsHaveTheFormOfRoughpi)
{
    const outcome r = run(2, {"1e12", "--time", "100"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string first, second, rest;
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_TRUE(is_timed_count(first, "37607912018") && is_timed_count(second, "25") && !std::getline(lines, rest) &&
                r.out.back() == '\n')
        << r.out;
}

TEST(MpiProgramTest, BadArgumentsGetOneMessageAndStatusTwoOnEveryRank)
{
    const outcome r = run(3, {"10", "abc", "-5"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(lines_equal_to(r.err, "roughpi-mpi: 'abc' is not a number"), 1) << r.err;
    EXPECT_EQ(lines_equal_to(r.err, "roughpi-mpi: '-5' is negative"), 1) << r.err;
    EXPECT_EQ(lines_equal_to(r.err, "Try 'roughpi-mpi --help' for more information."), 1) << r.err;

    // Each rank's own status, through a shell that reports it.
    const outcome each = run_command(mpiexec(3) + "sh -c '\"$0\" \"$@\"; echo \"rank exit $?\"' " +
                                     program_with({"--threads", "5000", "10"}));
    EXPECT_EQ(lines_equal_to(each.out, "rank exit 2"), 3) << each.out;
    EXPECT_EQ(lines_equal_to(each.err,
                             "roughpi-mpi: --threads '5000': the number of threads must be a whole "
                             "number from 0 (every CPU) to " +
                                 std::to_string(roughpi::MAX_THREADS)),
              1)
        << each.err;

    // Ranks started with different numbers would wait for each other for ever.
    const outcome apart = run_command(mpiexec(2) + program_with({"1e11"}) + " : " + ROUGHPI_MPIEXEC_NUMPROC_FLAG +
                                      " 1 " + program_with({"1e12"}));
    EXPECT_EQ(apart.status, 2);
    EXPECT_EQ(apart.out, "");
    EXPECT_EQ(lines_equal_to(apart.err, "roughpi-mpi: the ranks were not all given the same arguments"), 1)
        << apart.err;
}

// With --gpu every rank counts on a CUDA device: in a build with CUDA here
// through the device's host emulation, in one without refused with what is
// missing, status 1 and no count.
TEST(MpiProgramTest, RanksCountOnTheirDevicesOrSayWhatIsMissing)
{
    const outcome r = run(3, {"--gpu=emulate", "1e12", "100", "2^40+7"});
#if defined(ROUGHPI_TESTS_WITH_CUDA)
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "37607912018\n25\n41203088796\n");
#else
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("roughpi-mpi: rank 0: no CUDA device: this build has no CUDA"), std::string::npos) << r.err;
#endif
    const outcome refused = run(2, {"--gpu", "-t", "2", "10"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(lines_equal_to(refused.err,
                             "roughpi-mpi: --threads is for a count on the CPU, and --gpu counts on a "
                             "CUDA device: give one of them"),
              1)
        << refused.err;
}

TEST(MpiProgramTest, HelpAndVersionArePrintedOnce)
{
    const outcome help = run(3, {"abc", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: roughpi-mpi ", 0), 0u) << help.out;
    EXPECT_EQ(help.out.find("Usage:", 1), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("0 (default): each rank's share of its node's logical CPUs"), std::string::npos);
    const outcome version = run(3, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("roughpi-mpi ") + ROUGHPI_VERSION + "\nLicence: MIT (see LICENSE)\n");
}

TEST(MpiProgramTest, AFailingRankAbortsTheJobWithoutACount)
{
    // The tests' build of the program makes the rank that
    // ROUGHPI_MPI_TEST_FAIL_RANK names fail after its first piece (or at the
    // end of the count, if it got none).
    for (const int failing : {2, 0}) {
        const outcome r = run_command("ROUGHPI_MPI_TEST_FAIL_RANK=" + std::to_string(failing) + " " + mpiexec(3) +
                                      program_with({"-t", "1", "100", "1e13"}, ROUGHPI_MPI_FAILING_PROGRAM));
        SCOPED_TRACE("failing rank " + std::to_string(failing));
        EXPECT_NE(r.status, 0);
        // 100 is counted on rank 0 alone, before anything can fail, unless
        // rank 0 is the one that fails.
        EXPECT_EQ(r.out, failing == 0 ? "" : "25\n");
        EXPECT_NE(
            r.err.find("roughpi-mpi: rank " + std::to_string(failing) + ": failing as ROUGHPI_MPI_TEST_FAIL_RANK"),
            std::string::npos)
            << r.err;
    }
}

// With --checkpoint, rank 0 keeps the file: a job stopped (SIGTERM, which
// mpirun passes on to its ranks) at random moments and started again, with
// another number of ranks each time, ends with the exact count; a file of
// another count stops every rank with status 2.
TEST(MpiProgramTest, StoppedJobsResumeFromTheCheckpointOfRankZero)
{
    ROUGHPI_SEEDED_RNG(rng);
    const std::string path = roughpi::testing::temp_path("checkpoint.txt");
    std::remove(path.c_str());
    for (int stop = 0; stop < 3; ++stop) {
        // SIGTERM at a random moment once the job has its checkpoint (the
        // start of an MPI job takes long on a busy machine), at most a minute on.
        const double seconds = std::uniform_real_distribution<double>(0.0, 0.4)(rng);
        run_command("(" + mpiexec(1 + stop % 3) + program_with({"-t", "1", "--checkpoint", path, "1e15"}) +
                    " & job=$!; i=0; while [ $i -lt 1200 ] && ! grep -qs '^roughpi-checkpoint 3 ' " + quoted(path) +
                    "; do sleep 0.05; i=$((i+1)); done; sleep " + std::to_string(seconds) +
                    "; kill -s TERM $job; wait $job)");
        EXPECT_EQ(read_file(path).rfind("roughpi-checkpoint 3 ", 0), 0u) << "after a stop " << seconds << " s on";
    }
    const outcome resumed = run(3, {"-t", "1", "--checkpoint", path, "1e15"});
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(resumed.out, "29844570422669\n");

    const outcome other = run(2, {"--checkpoint", path, "1e13"});
    EXPECT_EQ(other.status, 2);
    EXPECT_EQ(other.out, "");
    EXPECT_EQ(lines_equal_to(other.err,
                             "roughpi-mpi: checkpoint '" + path +
                                 "' belongs to the count of 1000000000000000, not of 10000000000000"),
              1)
        << other.err;

    // A record of another count's file in place of its namesake.
    const std::string other_path = roughpi::testing::temp_path("other.txt");
    std::remove(other_path.c_str());
    ASSERT_EQ(run(1, {"--checkpoint", other_path, "2e15"}).status, 0);
    const std::string spliced = roughpi::testing::temp_path("spliced.txt");
    ASSERT_EQ(std::system(("{ grep -v '^piece 0 ' " + quoted(path) + "; grep '^piece 0 ' " + quoted(other_path) +
                           "; } > " + quoted(spliced))
                              .c_str()),
              0);
    const outcome refused = run(2, {"--checkpoint", spliced, "1e15"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("roughpi-mpi: checkpoint '" + spliced + "' is damaged: line "), std::string::npos)
        << refused.err;
    for (const std::string& f : {path, other_path, spliced})
        std::remove(f.c_str());
}

// --output: rank 0 writes every count to the file, whole, when all are done;
// a file that cannot be one, or that is the checkpoint, stops every rank with
// status 2.
TEST(MpiProgramTest, OutputGoesWholeToItsFile)
{
    const std::string path = roughpi::testing::temp_path("output.txt");
    std::remove(path.c_str());
    const outcome r = run(2, {"--output", path, "1e12", "100"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_file(path), "37607912018\n25\n");
    std::remove(path.c_str());
    const outcome refused = run(2, {"--output", "/dev/null", "1e12"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(lines_equal_to(refused.err, "roughpi-mpi: --output '/dev/null' is not a regular file"), 1) << refused.err;
    const outcome same = run(2, {"--checkpoint", path, "--output", path, "1e12"});
    EXPECT_EQ(same.status, 2);
    EXPECT_EQ(lines_equal_to(same.err,
                             "roughpi-mpi: --checkpoint and --output name the same file '" + path +
                                 "': the counts would replace the checkpoint; give each a file of its own"),
              1)
        << same.err;
    EXPECT_FALSE(std::ifstream(path).good());
    // Under mpirun rank 0 writes to a pipe, and a failed write of mpirun's own
    // goes unseen; started alone, the rank sees it.
    for (const char* arg : {"100", "--help", "--version"}) {
        const outcome full = run_command("sh -c \"" + program_with({arg}) + " > /dev/full\"");
        EXPECT_EQ(full.status, 1) << arg;
        EXPECT_EQ(full.err, "roughpi-mpi: cannot write to standard output\n") << arg;
    }
}

TEST(MpiProgramTest, OnATerminalRankZeroShowsProgress)
{
    if (std::system("script --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "no `script` to run the program under a pseudo-terminal";
    // mpirun hands its ranks a pipe for standard error, so the program runs
    // here as a job of one rank started without mpirun, straight on the
    // pseudo-terminal.
    const std::string path = roughpi::testing::temp_path("tty.txt");
    const std::string command =
        "script -qec \"" + program_with({"1e13"}) + "\" /dev/null < /dev/null > " + quoted(path);
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string text = read_file(path);
    const std::string last = "pi(10000000000000): 100.0%";
    const std::string erased = "\r" + last + "\r" + std::string(last.size(), ' ') + "\r346065536839\r\n";
    EXPECT_EQ(text.rfind("\rpi(10000000000000): 0.0%", 0), 0u) << text;
    ASSERT_GE(text.size(), erased.size());
    EXPECT_EQ(text.substr(text.size() - erased.size()), erased) << text;
}

}  // namespace
