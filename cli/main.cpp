// roughpi: prints pi(x), the number of primes p <= x, for each x on the
// command line. `roughpi --help` tells the rest.
//
// Every argument is checked before the first count starts, so that a typo in
// the last argument neither wastes a long count nor leaves half the answers
// printed. The counting itself allocates nothing.

#include "parse_count.hpp"

#include <roughpi/prime_count.hpp>

#include <charconv>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string_view>

#if defined(_WIN32)
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  include <windows.h>
#else
#  include <unistd.h>
#endif

#ifndef ROUGHPI_VERSION
#  error "ROUGHPI_VERSION (the project version) must be defined by the build"
#endif

namespace {

using roughpi::cli::parse_count;
using roughpi::cli::parse_error_message;
using roughpi::cli::parse_status;

constexpr int exit_success = 0;
constexpr int exit_failure = 1;  // could not write the results
constexpr int exit_usage = 2;    // bad arguments; nothing was counted

// Counts of x from here up take long enough to be worth a progress line
// (when standard error is a terminal); smaller ones are a single call.
constexpr std::int64_t progress_from = 1'000'000'000'000;  // 10^12

constexpr const char* usage_line = "Usage: roughpi [--time] X [X ...]\n";
constexpr const char* help_hint = "Try 'roughpi --help' for more information.\n";

// Enough for any int64 in decimal, sign included, and a terminating zero.
struct decimal {
    char text[24];
    explicit decimal(std::int64_t value)
    {
        const auto converted = std::to_chars(text, text + sizeof(text) - 1, value);
        *converted.ptr = '\0';
    }
};

void print_help()
{
    std::printf(
        "%s\n"
        "Prints pi(X), the number of primes p <= X, for each X, one line each.\n"
        "\n"
        "X is a whole number from 0 to %s, written as\n"
        "  1000             a plain integer\n"
        "  1e15, 2.5e3      <digits>[.<digits>]e<digits>, if the value is whole\n"
        "  10^15, 2^50      <base>^<exponent>\n"
        "  2^59-1, 1e15+3   any of these followed by +<digits> or -<digits>\n"
        "with an optional leading '+' and no spaces. Each part must fit in 64 bits.\n"
        "\n"
        "Options (anywhere among the numbers):\n"
        "  --time       follow each count by its wall time:  455052511  (0.002 s)\n"
        "  -h, --help   print this help and exit\n"
        "  --version    print the version and exit\n"
        "  --           end of options: everything after it is a number\n"
        "\n"
        "All numbers are checked before the first count starts. If any is bad,\n"
        "each bad one is reported on standard error, nothing is counted, and the\n"
        "exit status is 2. When standard error is a terminal, counts from 10^12\n"
        "up show their progress there, on one line that is erased when done.\n",
        usage_line, decimal(roughpi::max_supported_x).text);
}

enum class arg_kind { number, time, help, version, end_of_options, unknown_option };

// What one argument is. Anything after "--" is a number; before it, so is
// "-" and anything starting with '-' and a digit ("-5" is a negative
// number, reported as such, not an unknown option).
arg_kind classify(std::string_view arg, bool& options_ended)
{
    if (options_ended)
        return arg_kind::number;
    if (arg == "--") {
        options_ended = true;
        return arg_kind::end_of_options;
    }
    if (arg.size() < 2 || arg[0] != '-' || (arg[1] >= '0' && arg[1] <= '9'))
        return arg_kind::number;
    if (arg == "--time")
        return arg_kind::time;
    if (arg == "-h" || arg == "--help")
        return arg_kind::help;
    if (arg == "--version")
        return arg_kind::version;
    return arg_kind::unknown_option;
}

bool stderr_is_terminal()
{
#if defined(_WIN32)
    // _isatty is also true of the NUL device; only a console has a console mode.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

// The progress of one count on standard error, "pi(10000000000000): 42.3%",
// drawn over itself with a carriage return (which every terminal and the
// Windows console understand) whenever the shown tenth of a percent changes,
// and erased with spaces at the end.
class progress_line {
public:
    explicit progress_line(std::int64_t x) : x_(x) {}

    void show(double done)
    {
        if (!(done >= 0.0))  // also NaN
            done = 0.0;
        const int permille = done >= 1.0 ? 1000 : static_cast<int>(done * 1000.0);
        if (permille == shown_)
            return;
        shown_ = permille;
        char line[64];
        const int length = std::snprintf(line, sizeof(line), "\rpi(%s): %d.%d%%", decimal(x_).text,
                                         permille / 10, permille % 10);
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof(line))
            return;
        std::fwrite(line, 1, static_cast<std::size_t>(length), stderr);
        std::fflush(stderr);
        width_ = length - 1;
    }

    void erase()
    {
        char line[66];
        line[0] = '\r';
        std::memset(line + 1, ' ', static_cast<std::size_t>(width_));
        line[width_ + 1] = '\r';
        std::fwrite(line, 1, static_cast<std::size_t>(width_ + 2), stderr);
        std::fflush(stderr);
        width_ = 0;
    }

private:
    std::int64_t x_;
    int shown_ = -1;
    int width_ = 0;  // at most 62, the longest line show() draws
};

// pi(x), piece by piece with a progress line when asked to and x is large.
std::int64_t count(std::int64_t x, bool show_progress)
{
    if (!show_progress || x < progress_from)
        return roughpi::prime_count(x);

    progress_line progress(x);
    progress.show(0.0);
    roughpi::prime_count_sums sums{};
    const int pieces = roughpi::prime_count_piece_count(x);
    double done = 0.0;
    for (int piece = 0; piece < pieces; ++piece) {
        roughpi::prime_count_add_piece(x, piece, sums);
        done += roughpi::prime_count_piece_share(x, piece);
        progress.show(piece + 1 == pieces ? 1.0 : done);
    }
    progress.erase();
    return roughpi::prime_count_from_sums(x, sums);
}

int run(int argc, char** argv)
{
    // Options first: --help and --version win over everything else.
    bool show_time = false;
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        switch (classify(argv[i], options_ended)) {
        case arg_kind::help:
            print_help();
            return exit_success;
        case arg_kind::version:
            std::printf("roughpi %s\n", ROUGHPI_VERSION);
            return exit_success;
        case arg_kind::time:
            show_time = true;
            break;
        default:
            break;
        }
    }

    // Then every number, and any unknown option, in the order given.
    int numbers = 0;
    int errors = 0;
    options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const arg_kind kind = classify(argv[i], options_ended);
        if (kind == arg_kind::unknown_option) {
            std::fprintf(stderr, "roughpi: unknown option '%s'\n", argv[i]);
            ++errors;
        } else if (kind == arg_kind::number) {
            ++numbers;
            const parse_status status = parse_count(argv[i]).status;
            if (status != parse_status::ok) {
                std::fprintf(stderr, "roughpi: %s\n", parse_error_message(argv[i], status).c_str());
                ++errors;
            }
        }
    }
    if (errors > 0) {
        std::fputs(help_hint, stderr);
        return exit_usage;
    }
    if (numbers == 0) {
        std::fputs("roughpi: no number given\n", stderr);
        std::fputs(usage_line, stderr);
        std::fputs(help_hint, stderr);
        return exit_usage;
    }

    roughpi::build_wheel_tables();
    const bool show_progress = stderr_is_terminal();
    options_ended = false;
    for (int i = 1; i < argc; ++i) {
        if (classify(argv[i], options_ended) != arg_kind::number)
            continue;
        const std::int64_t x = parse_count(argv[i]).value;
        const auto start = std::chrono::steady_clock::now();
        const std::int64_t pi = count(x, show_progress);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

        if (show_time)
            std::printf("%s  (%.3f s)\n", decimal(pi).text, elapsed.count());
        else
            std::printf("%s\n", decimal(pi).text);
        // One line at a time, so that a pipe sees each count when it is done.
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fputs("roughpi: cannot write to standard output\n", stderr);
            return exit_failure;
        }
    }
    return exit_success;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "roughpi: %s\n", error.what());
    } catch (...) {
        std::fputs("roughpi: unexpected error\n", stderr);
    }
    return exit_failure;
}
