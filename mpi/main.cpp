// roughpi-mpi: prints pi(x) for each x on the command line, like roughpi,
// with each count shared out among the ranks of an MPI job (see
// rank_count.hpp for how). Every rank reads the same command line; rank 0
// alone prints, and every rank ends with the same status: 0 when all went
// well, 1 when rank 0 could not write the results, 2 for bad arguments. A
// rank that fails during a count aborts the whole job, so that no count is
// ever printed from partial sums.

#include "rank_count.hpp"

#include <checkpoint.hpp>
#include <command_line.hpp>
#include <count_output.hpp>
#include <output_file.hpp>
#include <progress_line.hpp>

#include <roughpi/roughpi.hpp>

#include <mpi.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace roughpi::cli;
using roughpi::mpi::rank_setup;

constexpr const char* PROGRAM = "roughpi-mpi";

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;  // could not write the results, or the count failed
constexpr int EXIT_USAGE = 2;   // bad arguments; nothing was counted

// Counts of x from here up take long enough to be worth a progress line
// (when rank 0's standard error is a terminal), as in roughpi.
constexpr std::int64_t PROGRESS_FROM = 1'000'000'000'000;  // 10^12

constexpr const char* THREADS_DEFAULT = "each rank's share of its node's logical CPUs";

constexpr const char* MPI_HELP =
    "\n"
    "Run it under MPI, e.g. mpirun -np 4 roughpi-mpi 1e16: each count is shared\n"
    "out among the ranks piece by piece, and rank 0 prints the results. Each\n"
    "rank counts on threads of its own: by default the logical CPUs of its node\n"
    "shared out among the ranks on that node; --threads N gives every rank N.\n";

// MPI for the life of the program: MPI_Init_thread at the start, MPI_Finalize
// at the end, unless the job is aborted.
class mpi_session {
public:
    mpi_session(int& argc, char**& argv)
    {
        int provided = MPI_THREAD_SINGLE;
        MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
        MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
        MPI_Comm_size(MPI_COMM_WORLD, &ranks_);
        if (provided < MPI_THREAD_FUNNELED) {
            if (rank_ == 0)
                std::fprintf(stderr, "%s: the MPI library does not support threads (MPI_THREAD_FUNNELED)\n",
                             PROGRAM);
            abort(EXIT_FAILED);
        }
        // The ranks that share this rank's node, and so its logical CPUs.
        MPI_Comm node;
        MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, rank_, MPI_INFO_NULL, &node);
        MPI_Comm_size(node, &node_ranks_);
        MPI_Comm_free(&node);
    }
    mpi_session(const mpi_session&) = delete;
    mpi_session& operator=(const mpi_session&) = delete;
    ~mpi_session() { MPI_Finalize(); }

    int rank() const { return rank_; }
    int ranks() const { return ranks_; }

    // The logical CPUs of the node over the ranks on it, at least 1, and no
    // more than the CPUs this rank may run on: the launcher may have bound
    // it to fewer (Open MPI binds each rank to one core when a job has at
    // most two ranks, and to one socket beyond), and threads beyond those
    // would only take turns.
    int default_threads() const
    {
        const int node_cpus = static_cast<int>(std::min(std::thread::hardware_concurrency(), 1u << 30));
        const int threads = std::min(node_cpus / std::max(node_ranks_, 1), roughpi::usable_cpus());
        return std::clamp(threads, 1, roughpi::MAX_THREADS);
    }

    // Where this rank's messages wait to be sent; it outlives every count.
    roughpi::mpi::outbox& out() { return out_; }

    [[noreturn]] void abort(int status)
    {
        std::fflush(stdout);
        std::fflush(stderr);
        MPI_Abort(MPI_COMM_WORLD, status);
        std::_Exit(status);  // MPI_Abort does not return; this is in case it does
    }

private:
    int rank_ = 0;
    int ranks_ = 1;
    int node_ranks_ = 1;
    roughpi::mpi::outbox out_;
};

// Test hook: when the environment variable ROUGHPI_MPI_TEST_FAIL_RANK holds
// this rank's number, the rank throws after its first piece (or at the end
// of its first count if it counted none), so that the tests can see a failing
// rank abort the whole job. It has no other use.
bool asked_to_fail_for_test(int rank)
{
    const char* value = std::getenv("ROUGHPI_MPI_TEST_FAIL_RANK");
    if (value == nullptr)
        return false;
    const std::string_view text(value);
    int failing = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), failing);
    return error == std::errc() && end == text.data() + text.size() && failing == rank;
}

// True when every rank was started with the same arguments as this one (the
// same answer on every rank). Ranks that read different numbers would wait
// for each other for ever, so this is settled before anything else.
bool same_arguments_on_every_rank(int argc, const char* const* argv)
{
    std::uint64_t hash = 0xcbf29ce484222325;  // FNV-1a over each argument and its length
    const auto mix = [&](unsigned char byte) { hash = (hash ^ byte) * 0x100000001b3; };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        for (const char c : arg)
            mix(static_cast<unsigned char>(c));
        for (std::size_t length = arg.size(), k = 0; k < 8; ++k, length >>= 8)
            mix(static_cast<unsigned char>(length & 0xff));
    }
    // The least hash and the least complement (the greatest hash) are equal
    // only when all the hashes are.
    const std::uint64_t mine[2] = {hash, ~hash};
    std::uint64_t least[2] = {0, 0};
    MPI_Allreduce(mine, least, 2, MPI_UINT64_T, MPI_MIN, MPI_COMM_WORLD);
    return least[0] == ~least[1];
}

// Rank 0's part of the count of x, with a progress line when asked to and x
// is large, and with the checkpoint file if there is one.
std::int64_t lead(std::int64_t x, const rank_setup& setup, roughpi::mpi::outbox& out, bool show_progress,
                  checkpoint* file)
{
    if (!show_progress || x < PROGRESS_FROM)
        return roughpi::mpi::lead_count(x, setup, out, {}, file);

    progress_line progress(x);
    progress.show(0.0);
    const std::int64_t pi =
        roughpi::mpi::lead_count(x, setup, out, [&](double done) { progress.show(done); }, file);
    progress.erase();
    return pi;
}

// Rank 0 opens the checkpoint file of the one count, if asked to, and every
// rank learns whether that went well: the status all exit with if not.
int open_checkpoint(const command_line& line, bool leader, std::vector<roughpi::prime_count_piece>& pieces,
                    std::unique_ptr<checkpoint>& file)
{
    int status = EXIT_OK;
    if (leader && !line.checkpoint.empty()) {
        pieces = roughpi::prime_count_piece_list(line.numbers.front());
        try {
            file = std::make_unique<checkpoint>(line.checkpoint, line.numbers.front(), pieces);
        } catch (const checkpoint_refused& refused) {
            std::fprintf(stderr, "%s: %s\n", PROGRAM, refused.what());
            status = EXIT_USAGE;
        }
    }
    if (!line.checkpoint.empty())
        MPI_Bcast(&status, 1, MPI_INT, 0, MPI_COMM_WORLD);
    return status;
}

int run(mpi_session& session, int argc, char** argv)
{
    const bool leader = session.rank() == 0;
    if (!same_arguments_on_every_rank(argc, argv)) {
        if (leader)
            std::fprintf(stderr, "%s: the ranks were not all given the same arguments\n", PROGRAM);
        return EXIT_USAGE;
    }
    const command_line line = parse_command_line(argc, argv);
    if (line.help)
        return !leader || write_stdout(help_text(PROGRAM, THREADS_DEFAULT) + MPI_HELP) ? EXIT_OK : EXIT_FAILED;
    if (line.version)
        return !leader || write_stdout(std::string(PROGRAM) + " " + roughpi::version() + "\n") ? EXIT_OK
                                                                                               : EXIT_FAILED;
    if (!line.errors.empty()) {
        if (leader)
            report_usage_errors(PROGRAM, line.errors);
        return EXIT_USAGE;
    }

    rank_setup setup;
    setup.comm = MPI_COMM_WORLD;
    setup.rank = session.rank();
    setup.ranks = session.ranks();
    setup.threads = line.threads > 0 ? line.threads : session.default_threads();
    setup.fail_for_test = asked_to_fail_for_test(setup.rank);

    std::vector<roughpi::prime_count_piece> pieces;
    std::unique_ptr<checkpoint> file;
    if (const int status = open_checkpoint(line, leader, pieces, file); status != EXIT_OK)
        return status;

    // Rank 0 writes the counts; with --output, to that file, whole at the end.
    std::unique_ptr<output_file> output;
    int output_status = EXIT_OK;
    if (leader && !line.output.empty()) {
        try {
            output = std::make_unique<output_file>(line.output);
        } catch (const output_refused& refused) {
            std::fprintf(stderr, "%s: %s\n", PROGRAM, refused.what());
            output_status = EXIT_USAGE;
        }
    }
    if (!line.output.empty()) {
        MPI_Bcast(&output_status, 1, MPI_INT, 0, MPI_COMM_WORLD);
        if (output_status != EXIT_OK)
            return output_status;
    }
    std::string results;

    const bool show_progress = leader && stderr_is_terminal();
    if (leader)
        end_on_interrupt();
    for (const std::int64_t x : line.numbers) {
        int status = EXIT_OK;
        if (leader) {
            const auto start = std::chrono::steady_clock::now();
            const std::int64_t pi = lead(x, setup, session.out(), show_progress, file.get());
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            const std::string result = count_line(pi, line.time, elapsed.count());
            if (output) {
                results += result;
            } else if (!write_stdout(result)) {  // one line at a time, so that a pipe sees each count when it is done
                std::fprintf(stderr, "%s: cannot write to standard output\n", PROGRAM);
                status = EXIT_FAILED;
            }
        } else {
            roughpi::mpi::help_count(x, setup, session.out());
        }
        // Every rank learns from rank 0 whether to go on. This also keeps the
        // messages of one count apart from those of the next.
        MPI_Request request;
        MPI_Ibcast(&status, 1, MPI_INT, 0, MPI_COMM_WORLD, &request);
        roughpi::mpi::wait_for(request);
        if (status != EXIT_OK)
            return status;
    }
    int status = EXIT_OK;
    if (output) {
        try {
            output->replace_with(results);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s: %s\n", PROGRAM, error.what());
            status = EXIT_FAILED;
        }
    }
    // Every rank ends with rank 0's status.
    if (!line.output.empty())
        MPI_Bcast(&status, 1, MPI_INT, 0, MPI_COMM_WORLD);
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    mpi_session session(argc, argv);
    try {
        return run(session, argc, argv);
    } catch (const std::exception& error) {
        std::string what = error.what();
        if (what.starts_with("roughpi: "))
            what.erase(0, 9);
        const std::string where = session.ranks() > 1 ? "rank " + std::to_string(session.rank()) + ": " : "";
        std::fprintf(stderr, "%s: %s%s\n", PROGRAM, where.c_str(), what.c_str());
    } catch (...) {
        std::fprintf(stderr, "%s: rank %d: unexpected error\n", PROGRAM, session.rank());
    }
    // The other ranks may be waiting for this one: end them all.
    session.abort(EXIT_FAILED);
}
