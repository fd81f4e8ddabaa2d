// SPDX-License-Identifier: MIT
// roughpi-mpi: prints pi(x) for each x on the command line, like roughpi,
// with each count shared out among the ranks of an MPI job (see
// rank_count.hpp for how). Every rank reads the same command line; rank 0
// alone prints, and every rank ends with the same status: 0 when all went
// well, 1 when rank 0 could not write the results, 2 for bad arguments. A
// rank that fails during a count aborts the whole job, so that no count is
// ever printed from partial sums.

#include "injected_failure.hpp"
#include "mpi_session.hpp"
#include "rank_count.hpp"

#include <roughpi/tools/checkpoint.hpp>
#include <roughpi/tools/checkpoint_key.hpp>
#include <roughpi/tools/command_line.hpp>
#include <roughpi/tools/count_output.hpp>
#include <roughpi/tools/exit_status.hpp>
#include <roughpi/tools/file_io.hpp>
#include <roughpi/tools/output_file.hpp>
#include <roughpi/tools/printable.hpp>
#include <roughpi/tools/progress_line.hpp>
#include <roughpi/tools/signals.hpp>

#include <roughpi/gpu.hpp>
#include <roughpi/roughpi.hpp>

#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace roughpi::tools;
using roughpi::mpi::mpi_session;
using roughpi::mpi::rank_setup;

constexpr const char* PROGRAM = "roughpi-mpi";

constexpr const char* THREADS_DEFAULT = "each rank's share of its node's logical CPUs";

constexpr const char* MPI_HELP = "\n"
                                 "Run it under MPI, e.g. mpirun -np 4 roughpi-mpi 1e16: each count is shared\n"
                                 "out among the ranks piece by piece, and rank 0 prints the results. Each\n"
                                 "rank counts on threads of its own: by default the logical CPUs of its node\n"
                                 "shared out among the ranks on that node; --threads N gives every rank N.\n"
                                 "With --gpu each rank counts on a CUDA device instead: the ranks of a node\n"
                                 "take its devices in turn (--gpu=N gives every rank device N).\n";

// Rank 0 opens what it alone writes, if asked to: the checkpoint file of the
// one count (with its key), and the output file, which must not be the
// checkpoint. Every rank learns whether that went well: the status all exit
// with if not.
int open_files(const command_line& line, bool leader, std::vector<roughpi::prime_count_piece>& pieces,
               std::unique_ptr<checkpoint>& file, std::unique_ptr<output_file>& output)
{
    int status = EXIT_OK;
    if (leader) {
        try {
            if (!line.checkpoint.empty() && !line.output.empty() && file_io::same_file(line.checkpoint, line.output))
                throw output_refused("--checkpoint and --output name the same file '" + printable(line.output) +
                                     "': the counts would replace the checkpoint; give each a file of its own");
            if (!line.checkpoint.empty()) {
                const roughpi::tools::siphash_key key = checkpoint_key_for(line.checkpoint_key);
                pieces = roughpi::prime_count_piece_list(line.numbers.front());
                file = std::make_unique<checkpoint>(line.checkpoint, line.numbers.front(), pieces, key);
            }
            if (!line.output.empty())
                output = std::make_unique<output_file>(line.output);
        } catch (const checkpoint_refused& refused) {
            report_error(PROGRAM, refused.what());
            status = EXIT_USAGE;
        } catch (const output_refused& refused) {
            report_error(PROGRAM, refused.what());
            status = EXIT_USAGE;
        }
    }
    if (!line.checkpoint.empty() || !line.output.empty())
        MPI_Bcast(&status, 1, MPI_INT, 0, MPI_COMM_WORLD);
    return status;
}

int run(mpi_session& session, int argc, char** argv)
{
    const bool leader = session.rank() == 0;
    if (!session.same_arguments_on_every_rank(argc, argv)) {
        if (leader)
            report_error(PROGRAM, "the ranks were not all given the same arguments");
        return EXIT_USAGE;
    }
    command_line line = parse_command_line(argc, argv);
    if (line.kind != count_kind::pi && !line.help && !line.version)
        line.errors.push_back(std::string(kind_option(line.kind)) + " is roughpi's: roughpi-mpi counts pi(x) alone");
    if (line.double_check && !line.help && !line.version)
        line.errors.push_back("--double-check is roughpi's: roughpi-mpi counts each x once");
    if (line.self_test && !line.help && !line.version)
        line.errors.push_back("--test is roughpi's: run roughpi --test on each machine");
    if (line.help)
        return !leader || write_stdout_or_report(PROGRAM, help_text(PROGRAM, THREADS_DEFAULT, false) + MPI_HELP)
            ? EXIT_OK
            : EXIT_FAILED;
    if (line.version)
        return !leader || write_stdout_or_report(PROGRAM, version_text(PROGRAM)) ? EXIT_OK : EXIT_FAILED;
    if (!line.errors.empty()) {
        if (leader)
            report_usage_errors(PROGRAM, line.errors, false);
        return EXIT_USAGE;
    }

    rank_setup setup;
    setup.comm = MPI_COMM_WORLD;
    setup.rank = session.rank();
    setup.ranks = session.ranks();
    setup.engine.threads = line.threads > 0 ? line.threads : session.default_threads();
    setup.engine.gpu = line.gpu;
    setup.engine.gpu_emulate = line.gpu_emulate;
    // --gpu alone: the ranks of a node take its devices in turn.
    setup.engine.gpu_device =
        line.gpu_device >= 0 ? line.gpu_device : session.node_rank() % std::max(1, roughpi::gpu_device_count());
    setup.failure_point = roughpi::mpi::injected_failure(setup.rank);

    // Rank 0 ends at once on SIGINT and SIGTERM, from before it opens the files
    // (and may wait for a checkpoint that another count still holds).
    if (leader)
        end_on_interrupt();
    std::vector<roughpi::prime_count_piece> pieces;
    std::unique_ptr<checkpoint> file;
    std::unique_ptr<output_file> output;  // with --output, the counts go there, whole, at the end
    if (const int status = open_files(line, leader, pieces, file, output); status != EXIT_OK)
        return status;
    std::string results;

    const progress_style progress_shown = leader ? stderr_progress_style(line.status) : progress_style::none;
    for (const std::int64_t x : line.numbers) {
        int status = EXIT_OK;
        if (leader) {
            const auto start = std::chrono::steady_clock::now();
            std::int64_t pi = 0;
            {
                count_progress progress(x, progress_shown);
                progress.start();
                pi = roughpi::mpi::lead_count(x, setup, session.out(), progress.callback(), file.get());
            }
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            const std::string result = count_line(pi, line.time, elapsed.count());
            if (output) {
                results += result;
            } else if (!write_stdout_or_report(PROGRAM, result)) {  // a line at a time: a pipe sees each count
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
            report_error(PROGRAM, error.what());
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
    mpi_session session(argc, argv, PROGRAM);
    try {
        return run(session, argc, argv);
    } catch (const std::exception& error) {
        const std::string where = session.ranks() > 1 ? "rank " + std::to_string(session.rank()) + ": " : "";
        report_error(PROGRAM, error.what(), where);
    } catch (...) {
        report_error(PROGRAM, "unexpected error", "rank " + std::to_string(session.rank()) + ": ");
    }
    // The other ranks may be waiting for this one: end them all.
    session.abort(EXIT_FAILED);
}
