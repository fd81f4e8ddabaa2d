// roughpi: prints pi(x), the number of primes p <= x, for each x on the
// command line. `roughpi --help` tells the rest.
//
// Every argument is checked before the first count starts, so that a typo in
// the last argument neither wastes a long count nor leaves half the answers
// printed. The counts run on every core unless told otherwise, and with
// --checkpoint a count survives being stopped (see checkpoint.hpp).

#include "checkpoint.hpp"
#include "command_line.hpp"
#include "count_output.hpp"
#include "output_file.hpp"
#include "progress_line.hpp"
#include "resumed_count.hpp"

#include <roughpi/roughpi.hpp>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace roughpi::cli;

constexpr int EXIT_OK = 0;
constexpr int EXIT_WRITE_FAILED = 1;  // could not write the results, or the count failed
constexpr int EXIT_USAGE = 2;         // bad arguments or checkpoint; nothing was counted

// Counts of x from here up take long enough to be worth a progress line
// (when standard error is a terminal); smaller ones take a moment.
constexpr std::int64_t PROGRESS_FROM = 1'000'000'000'000;  // 10^12

// pi(x) on `threads` threads, with a progress line when asked to and x is large.
std::int64_t count(std::int64_t x, int threads, bool show_progress)
{
    roughpi::parallel_options options;
    options.threads = threads;
    if (!show_progress || x < PROGRESS_FROM)
        return roughpi::prime_count_parallel(x, options);

    progress_line progress(x);
    progress.show(0.0);
    options.progress = [&](double done) { progress.show(done); };
    const std::int64_t pi = roughpi::prime_count_parallel(x, options);
    progress.erase();
    return pi;
}

// pi(x) with its pieces saved to a checkpoint file as they are done, and the
// pieces the file holds already taken from it.
std::int64_t count_with_checkpoint(std::int64_t x, int threads, const std::string& path, bool show_progress)
{
    const std::vector<roughpi::prime_count_piece> pieces = roughpi::prime_count_piece_list(x);
    checkpoint file(path, x, pieces);
    if (!show_progress || x < PROGRESS_FROM)
        return count_the_rest(file, threads, {});
    progress_line progress(x);
    const std::int64_t pi = count_the_rest(file, threads, [&](double done) { progress.show(done); });
    progress.erase();
    return pi;
}

int run(int argc, char** argv)
{
    const command_line line = parse_command_line(argc, argv);
    if (line.help)
        return write_stdout(help_text("roughpi")) ? EXIT_OK : EXIT_WRITE_FAILED;
    if (line.version)
        return write_stdout(std::string("roughpi ") + roughpi::version() + "\n") ? EXIT_OK : EXIT_WRITE_FAILED;
    if (!line.errors.empty()) {
        report_usage_errors("roughpi", line.errors);
        return EXIT_USAGE;
    }

    std::unique_ptr<output_file> output;
    if (!line.output.empty()) {
        try {
            output = std::make_unique<output_file>(line.output);
        } catch (const output_refused& refused) {
            std::fprintf(stderr, "roughpi: %s\n", refused.what());
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
                std::fprintf(stderr, "roughpi: %s\n", refused.what());
                return EXIT_USAGE;
            }
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        const std::string result = count_line(pi, line.time, elapsed.count());
        if (output) {
            results += result;
        } else if (!write_stdout(result)) {  // one line at a time, so that a pipe sees each count when it is done
            std::fputs("roughpi: cannot write to standard output\n", stderr);
            return EXIT_WRITE_FAILED;
        }
    }
    if (output)
        output->replace_with(results);  // throws what goes wrong, to end with EXIT_WRITE_FAILED
    return EXIT_OK;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        const std::string what = error.what();
        std::fprintf(stderr, "%s%s\n", what.starts_with("roughpi: ") ? "" : "roughpi: ", what.c_str());
    } catch (...) {
        std::fputs("roughpi: unexpected error\n", stderr);
    }
    return EXIT_WRITE_FAILED;
}
