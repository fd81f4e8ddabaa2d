// roughpi: prints pi(x), the number of primes p <= x, for each x on the
// command line. `roughpi --help` tells the rest.
//
// Every argument is checked before the first count starts, so that a typo in
// the last argument neither wastes a long count nor leaves half the answers
// printed. The counts run on every CPU the process may use unless told
// otherwise, and with --checkpoint a count survives being stopped (see
// roughpi/tools/checkpoint.hpp).

#include <roughpi/tools/checkpoint.hpp>
#include <roughpi/tools/command_line.hpp>
#include <roughpi/tools/count_output.hpp>
#include <roughpi/tools/exit_status.hpp>
#include <roughpi/tools/output_file.hpp>
#include <roughpi/tools/progress_line.hpp>
#include <roughpi/tools/resumed_count.hpp>

#include <roughpi/roughpi.hpp>

#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace roughpi::tools;

constexpr const char* PROGRAM = "roughpi";

// pi(x) on `threads` threads, with a progress line when it is shown.
std::int64_t count(std::int64_t x, int threads, bool show_progress)
{
    count_progress progress(x, show_progress);
    progress.start();
    roughpi::parallel_options options;
    options.threads = threads;
    options.progress = progress.callback();
    return roughpi::prime_count_parallel(x, options);
}

// pi(x) with its pieces saved to a checkpoint file as they are done, and the
// pieces the file holds already taken from it.
std::int64_t count_with_checkpoint(std::int64_t x, int threads, const std::string& path, bool show_progress)
{
    const std::vector<roughpi::prime_count_piece> pieces = roughpi::prime_count_piece_list(x);
    checkpoint file(path, x, pieces);
    count_progress progress(x, show_progress);
    return count_the_rest(file, threads, progress.callback());
}

int run(int argc, char** argv)
{
    const command_line line = parse_command_line(argc, argv);
    if (line.help)
        return write_stdout(help_text(PROGRAM)) ? EXIT_OK : EXIT_FAILED;
    if (line.version)
        return write_stdout(std::string(PROGRAM) + " " + roughpi::version() + "\n") ? EXIT_OK : EXIT_FAILED;
    if (!line.errors.empty()) {
        report_usage_errors(PROGRAM, line.errors);
        return EXIT_USAGE;
    }
    std::unique_ptr<output_file> output;
    if (!line.output.empty()) {
        try {
            output = std::make_unique<output_file>(line.output);
        } catch (const output_refused& refused) {
            report_error(PROGRAM, refused.what());
            return EXIT_USAGE;
        }
    }
    std::string results;  // for the output file, which is written whole

    const bool show_progress = stderr_is_terminal();
    end_on_interrupt();
    for (const std::int64_t x : line.numbers) {
        const auto start = std::chrono::steady_clock::now();
        std::int64_t pi = 0;
        if (line.checkpoint.empty()) {
            pi = count(x, line.threads, show_progress);
        } else {
            try {
                pi = count_with_checkpoint(x, line.threads, line.checkpoint, show_progress);
            } catch (const checkpoint_refused& refused) {
                report_error(PROGRAM, refused.what());
                return EXIT_USAGE;
            }
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        const std::string result = count_line(pi, line.time, elapsed.count());
        if (output) {
            results += result;
        } else if (!write_stdout(result)) {  // one line at a time, so that a pipe sees each count when it is done
            report_error(PROGRAM, "cannot write to standard output");
            return EXIT_FAILED;
        }
    }
    if (output)
        output->replace_with(results);  // throws what goes wrong, to end with EXIT_FAILED
    return EXIT_OK;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        report_error(PROGRAM, error.what());
    } catch (...) {
        report_error(PROGRAM, "unexpected error");
    }
    return EXIT_FAILED;
}
