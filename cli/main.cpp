// SPDX-License-Identifier: MIT
// roughpi: prints pi(x), the number of primes p <= x, for each x on the
// command line; or the n-th prime, or an estimate. `roughpi --help` tells the
// rest.
//
// Every argument is checked before the first count starts, so that a typo in
// the last argument neither wastes a long count nor leaves half the answers
// printed. The counts run on every CPU the process may use unless told
// otherwise (or on a CUDA device with --gpu), with --checkpoint a count
// survives being stopped (see roughpi/tools/checkpoint.hpp), and SIGINT or
// SIGTERM stop it cleanly.

#include <roughpi/tools/checkpoint.hpp>
#include <roughpi/tools/checkpoint_key.hpp>
#include <roughpi/tools/checkpointed_count.hpp>
#include <roughpi/tools/command_line.hpp>
#include <roughpi/tools/count_engine.hpp>
#include <roughpi/tools/count_output.hpp>
#include <roughpi/tools/exit_status.hpp>
#include <roughpi/tools/file_io.hpp>
#include <roughpi/tools/output_file.hpp>
#include <roughpi/tools/printable.hpp>
#include <roughpi/tools/progress_line.hpp>
#include <roughpi/tools/self_test.hpp>
#include <roughpi/tools/signals.hpp>

#include <roughpi/roughpi.hpp>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace roughpi::tools;

constexpr const char* PROGRAM = "roughpi";

// How one number of the command line is answered.
struct count_setup {
    count_engine engine;              // threads, or a CUDA device
    std::string checkpoint;           // empty: none
    roughpi::tools::siphash_key key;  // the checkpoint's
    progress_style progress = progress_style::none;
    bool double_check = false;
    std::stop_token stop;
};

// What a count on threads is given, reporting to `progress`.
roughpi::parallel_options parallel_options_of(const count_setup& setup, count_progress& progress)
{
    roughpi::parallel_options options;
    options.threads = setup.engine.threads;
    options.progress = progress.callback();
    options.stop = setup.stop;
    options.double_check = setup.double_check;
    return options;
}

// pi(x), with a progress line when it is shown.
std::int64_t count(std::int64_t x, const count_setup& setup)
{
    count_progress progress(x, setup.progress);
    progress.start();
    if (setup.engine.gpu)
        return count_pi(x, setup.engine, progress.callback(), setup.stop);
    return roughpi::prime_count_parallel(x, parallel_options_of(setup, progress));
}

// What the counts kept in the checkpoint file are given.
checkpointed_options checkpointed(const count_setup& setup)
{
    checkpointed_options options;
    options.file = setup.checkpoint;
    options.key = setup.key;
    options.engine = setup.engine;
    options.double_check = setup.double_check;
    options.stop = setup.stop;
    return options;
}

// p_n: the count at the estimate (kept in the checkpoint file when there is
// one), then the sieve from there.
std::int64_t nth(std::int64_t n, const count_setup& setup)
{
    const std::int64_t estimate = roughpi::nth_prime_estimate(n);
    count_progress progress("nth", n, estimate, setup.progress);
    progress.start();
    if (!setup.checkpoint.empty())
        return nth_prime_with_checkpoint(n, checkpointed(setup), progress.callback());
    return roughpi::nth_prime_parallel(n, parallel_options_of(setup, progress));
}

// The primes in [a, b], with a progress line when it is shown.
std::int64_t range(std::int64_t a, std::int64_t b, const count_setup& setup)
{
    count_progress progress("range", b, b, setup.progress);
    progress.start();
    return roughpi::prime_count_range(a, b, parallel_options_of(setup, progress));
}

// roughpi --test: one line per check on standard output, and what failed
// once more on standard error at the end.
int self_test(const command_line& line)
{
    const std::uint64_t seed = line.test_seed != 0 ? line.test_seed : std::random_device{}() % 99999 + 1;
    if (!write_stdout_or_report(PROGRAM,
                                "roughpi --test=" + std::to_string(seed) + " (" + roughpi::version() +
                                    ", best counting path " +
                                    roughpi::counting_path_name(roughpi::best_counting_path()) + ")\n"))
        return EXIT_FAILED;
    bool written = true;
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> failed =
        run_self_test(self_test_size::full, seed, line.threads, [&](const std::string& text) {
            written = written && write_stdout_or_report(PROGRAM, text + "\n");
        });
    if (!written)
        return EXIT_FAILED;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (failed.empty()) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", elapsed.count());
        return write_stdout_or_report(PROGRAM, std::string("all checks passed in ") + seconds + " s\n") ? EXIT_OK
                                                                                                        : EXIT_FAILED;
    }
    std::string report = std::to_string(failed.size()) + " check" + (failed.size() == 1 ? "" : "s") + " failed:";
    for (const std::string& f : failed)
        report += "\n  " + f;
    report_error(PROGRAM, report);
    return EXIT_FAILED;
}

std::int64_t answer(count_kind kind, std::int64_t x, const count_setup& setup)
{
    switch (kind) {
    case count_kind::pi:
        if (setup.checkpoint.empty())
            return count(x, setup);
        {
            count_progress progress(x, setup.progress);
            return prime_count_with_checkpoint(x, checkpointed(setup), progress.callback());
        }
    case count_kind::nth:
        return nth(x, setup);
    case count_kind::li:
        return roughpi::li(x);
    case count_kind::li_inverse:
        return roughpi::li_inverse(x);
    case count_kind::offset_li:
        return roughpi::offset_li(x);
    case count_kind::offset_li_inverse:
        return roughpi::offset_li_inverse(x);
    case count_kind::riemann_r:
        return roughpi::riemann_r(x);
    case count_kind::riemann_r_inverse:
        return roughpi::riemann_r_inverse(x);
    case count_kind::range:
        break;  // two numbers: range()
    }
    return 0;
}

int run(int argc, char** argv)
{
    const command_line line = parse_command_line(argc, argv);
    if (line.help)
        return write_stdout_or_report(PROGRAM, help_text(PROGRAM)) ? EXIT_OK : EXIT_FAILED;
    if (line.version)
        return write_stdout_or_report(PROGRAM, version_text(PROGRAM)) ? EXIT_OK : EXIT_FAILED;
    if (!line.errors.empty()) {
        report_usage_errors(PROGRAM, line.errors);
        return EXIT_USAGE;
    }
    if (!line.checkpoint.empty() && !line.output.empty() && file_io::same_file(line.checkpoint, line.output)) {
        report_error(PROGRAM,
                     "--checkpoint and --output name the same file '" + printable(line.output) +
                         "': the counts would replace the checkpoint; give each a file of its own");
        return EXIT_USAGE;
    }
    if (line.self_test)
        return self_test(line);
    std::unique_ptr<output_file> output;
    count_setup setup;
    try {
        if (!line.output.empty())
            output = std::make_unique<output_file>(line.output);
        if (!line.checkpoint.empty())
            setup.key = checkpoint_key_for(line.checkpoint_key);
    } catch (const output_refused& refused) {
        report_error(PROGRAM, refused.what());
        return EXIT_USAGE;
    } catch (const checkpoint_refused& refused) {
        report_error(PROGRAM, refused.what());
        return EXIT_USAGE;
    }
    std::string results;  // for the output file, which is written whole

    const stop_on_interrupt interrupt;
    setup.engine.threads = line.threads;
    setup.engine.gpu = line.gpu;
    setup.engine.gpu_device = line.gpu_device < 0 ? 0 : line.gpu_device;
    setup.engine.gpu_emulate = line.gpu_emulate;
    setup.checkpoint = line.checkpoint;
    setup.progress = stderr_progress_style(line.status);
    setup.double_check = line.double_check;
    setup.stop = interrupt.token();
    const bool pairs = line.kind == count_kind::range;
    for (std::size_t i = 0; i < line.numbers.size(); i += pairs ? 2 : 1) {
        const std::int64_t x = line.numbers[i];
        const auto start = std::chrono::steady_clock::now();
        std::int64_t value = 0;
        try {
            value = pairs ? range(x, line.numbers[i + 1], setup) : answer(line.kind, x, setup);
        } catch (const checkpoint_refused& refused) {
            report_error(PROGRAM, refused.what());
            return EXIT_USAGE;
        } catch (const roughpi::cancelled&) {
            return 128 + interrupt.signal();
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        const std::string result = count_line(value, line.time, elapsed.count());
        if (output)
            results += result;
        else if (!write_stdout_or_report(PROGRAM, result))  // a line at a time: a pipe sees each count when done
            return EXIT_FAILED;
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
