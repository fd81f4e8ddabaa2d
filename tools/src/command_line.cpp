// SPDX-License-Identifier: MIT
#include <roughpi/tools/command_line.hpp>

#include <roughpi/tools/parse_count.hpp>
#include <roughpi/tools/printable.hpp>

#include <roughpi/estimates.hpp>
#include <roughpi/parallel.hpp>
#include <roughpi/prime_count.hpp>
#include <roughpi/version.hpp>

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <charconv>

namespace roughpi::tools {

namespace {

enum class arg_kind {
    number,
    time,
    double_check,
    threads,
    gpu,
    status,
    no_status,
    checkpoint,
    checkpoint_key,
    output,
    kind,
    help,
    version,
    self_test,
    end_of_options,
    unknown_option
};

// Every spelling of the options that ask for a kind: ours, which messages
// name (kind_option), and those that users of other prime counters type.
struct kind_spelling {
    const char* option;
    count_kind kind;
};
constexpr kind_spelling kind_spellings[] = {
    {"--nth", count_kind::nth},
    {"-n", count_kind::nth},
    {"--nth-prime", count_kind::nth},
    {"--li", count_kind::li},
    {"--li-inverse", count_kind::li_inverse},
    {"--Li", count_kind::offset_li},
    {"--Li-inverse", count_kind::offset_li_inverse},
    {"--riemann-r", count_kind::riemann_r},
    {"-R", count_kind::riemann_r},
    {"--RiemannR", count_kind::riemann_r},
    {"--riemann-r-inverse", count_kind::riemann_r_inverse},
    {"--RiemannR-inverse", count_kind::riemann_r_inverse},
    {"--range", count_kind::range},
};

// True for what looks like an option rather than the value of one: '-' and
// anything but a digit ("-5" is a negative number), or '-' alone.
bool looks_like_option(std::string_view arg)
{
    return arg.starts_with('-') && !(arg.size() > 1 && arg[1] >= '0' && arg[1] <= '9');
}

// What one argument is. Anything after "--" is a number; before it, so is
// "-" and anything starting with '-' and a digit ("-5" is a negative number,
// reported as such, not an unknown option).
arg_kind classify(std::string_view arg, bool options_ended)
{
    if (options_ended)
        return arg_kind::number;
    if (arg == "--")
        return arg_kind::end_of_options;
    if (arg.size() < 2 || arg[0] != '-' || (arg[1] >= '0' && arg[1] <= '9'))
        return arg_kind::number;
    if (arg == "--time")
        return arg_kind::time;
    if (arg == "--double-check")
        return arg_kind::double_check;
    if (arg.starts_with("-t") || arg == "--threads" || arg.starts_with("--threads="))  // -t N, -tN
        return arg_kind::threads;
    if (arg == "--gpu" || arg.starts_with("--gpu="))
        return arg_kind::gpu;
    if (arg == "-s" || arg == "--status")
        return arg_kind::status;
    if (arg == "--no-status")
        return arg_kind::no_status;
    if (arg == "--checkpoint-key" || arg.starts_with("--checkpoint-key="))
        return arg_kind::checkpoint_key;
    if (arg == "--checkpoint" || arg.starts_with("--checkpoint="))
        return arg_kind::checkpoint;
    if (arg == "--output" || arg.starts_with("--output="))
        return arg_kind::output;
    for (const kind_spelling& spelling : kind_spellings)
        if (arg == spelling.option)
            return arg_kind::kind;
    if (arg == "-h" || arg == "--help")
        return arg_kind::help;
    if (arg == "-v" || arg == "--version")
        return arg_kind::version;
    if (arg == "--test" || arg.starts_with("--test="))
        return arg_kind::self_test;
    return arg_kind::unknown_option;
}

// A thread count or a device number: a whole number from 0 to `largest`,
// plain decimal digits (leading zeros are fine, as they are in X).
bool parse_small(std::string_view text, int largest, int& number)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    int value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
        if (value > largest)
            return false;
    }
    number = value;
    return true;
}

// The file of --checkpoint, --checkpoint-key or --output, as `option` (e.g.
// "--output") gives it: from "--output=FILE" or the next argument. Records what is wrong with it
// in line.errors and returns false; a next argument that looks like an option
// is left to be read as one.
bool take_file(command_line& line, std::string_view option, std::string_view arg, int argc, const char* const* argv,
               int& i, std::string& file)
{
    std::string quoted = "'";
    quoted.append(option).append("'");
    if (!file.empty()) {
        line.errors.push_back(quoted + " is given twice: it takes one file");
        if (arg == option && i + 1 < argc && !looks_like_option(argv[i + 1]))
            ++i;
        return false;
    }
    std::string_view value;
    if (arg.size() > option.size()) {
        value = arg.substr(option.size() + 1);
    } else if (i + 1 < argc && !looks_like_option(argv[i + 1])) {
        value = argv[++i];
    } else {
        line.errors.push_back(quoted + " needs the name of a file");
        return false;
    }
    if (value.empty() || value.starts_with('-')) {
        line.errors.push_back(quoted +
                              (value.empty() ? " needs the name of a file"
                                             : " needs the name of a file, not '" + printable(value) + "' (write ./" +
                                       printable(value) + " for a file whose name starts with '-')"));
        return false;
    }
    file = value;
    return true;
}

// The range of a thread count, as messages and the help give it.
std::string threads_range_text() { return "from 0 (every CPU) to " + std::to_string(MAX_THREADS); }

// The range of the numbers of a kind, [least, largest]: what they are
// called, and why the range ends where it does.
struct number_range {
    std::int64_t least;
    std::int64_t largest;
    const char* name;
    const char* why;
};

number_range range_of(count_kind kind)
{
    switch (kind) {
    case count_kind::pi:
        break;
    case count_kind::nth:
        return {1, MAX_PRIME_INDEX, "n", " (the number of primes up to 2^63 - 1)"};
    case count_kind::li:
    case count_kind::riemann_r:
        return {2, MAX_SUPPORTED_X, "x", ""};
    case count_kind::li_inverse:
        return {2, li(MAX_SUPPORTED_X), "y", ", so that the x with li(x) = y stays below 2^63"};
    case count_kind::offset_li:
        return {2, MAX_SUPPORTED_X, "x", ""};
    case count_kind::offset_li_inverse:
        return {0, offset_li(MAX_SUPPORTED_X), "y", ", so that the x with Li(x) = y stays below 2^63"};
    case count_kind::riemann_r_inverse:
        return {2, riemann_r(MAX_SUPPORTED_X), "y", ", so that the x with R(x) = y stays below 2^63"};
    case count_kind::range:
        return {0, MAX_SUPPORTED_X, "A and B", ""};
    }
    return {0, MAX_SUPPORTED_X, "X", ""};
}

}  // namespace

const char* kind_option(count_kind kind)
{
    switch (kind) {
    case count_kind::pi:
        return "";
    case count_kind::nth:
        return "--nth";
    case count_kind::li:
        return "--li";
    case count_kind::li_inverse:
        return "--li-inverse";
    case count_kind::offset_li:
        return "--Li";
    case count_kind::offset_li_inverse:
        return "--Li-inverse";
    case count_kind::riemann_r:
        return "--riemann-r";
    case count_kind::riemann_r_inverse:
        return "--riemann-r-inverse";
    case count_kind::range:
        return "--range";
    }
    return "";
}

command_line parse_command_line(int argc, const char* const* argv)
{
    command_line line;
    bool options_ended = false;
    // Numbers too large or negative to read: where their error is, and the
    // text, to be told the range of their kind once it is known.
    std::vector<std::pair<std::size_t, std::string>> out_of_range;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        switch (classify(arg, options_ended)) {
        case arg_kind::end_of_options:
            options_ended = true;
            break;
        case arg_kind::help:  // the first of --help and --version wins
            line.help = !line.version;
            break;
        case arg_kind::version:
            line.version = !line.help;
            break;
        case arg_kind::self_test: {
            line.self_test = true;
            if (arg == "--test")
                break;
            const std::string_view seed = arg.substr(7);
            const auto [end, status] = std::from_chars(seed.data(), seed.data() + seed.size(), line.test_seed);
            if (seed.empty() || seed[0] == '+' || status != std::errc() || end != seed.data() + seed.size() ||
                line.test_seed == 0)
                line.errors.push_back("--test '" + printable(seed) +
                                      "': the seed must be a whole number from 1 to 18446744073709551615");
            break;
        }
        case arg_kind::time:
            line.time = true;
            break;
        case arg_kind::double_check:
            line.double_check = true;
            break;
        case arg_kind::threads: {
            std::string_view value;
            std::string option(arg);
            if (arg.starts_with("--threads=")) {
                value = arg.substr(10);
                option = "--threads";
            } else if (arg.size() > 2 && arg[1] == 't') {  // -tN
                value = arg.substr(2);
                option = "-t";
            } else if (i + 1 < argc && !looks_like_option(argv[i + 1])) {
                value = argv[++i];
            } else {
                line.errors.push_back("'" + option + "' needs a number of threads, " + threads_range_text());
                break;
            }
            if (!parse_small(value, MAX_THREADS, line.threads))
                line.errors.push_back(option + " '" + printable(value) +
                                      "': the number of threads must be a whole number " + threads_range_text());
            break;
        }
        case arg_kind::gpu: {
            line.gpu = true;
            if (arg == "--gpu")
                break;
            const std::string_view device = arg.substr(6);
            if (device == "emulate")
                line.gpu_emulate = true;
            else if (!parse_small(device, MAX_GPU_DEVICE, line.gpu_device))
                line.errors.push_back("--gpu '" + printable(device) + "': the device must be a whole number from 0 " +
                                      "(the first) to " + std::to_string(MAX_GPU_DEVICE) + ", or 'emulate'");
            break;
        }
        case arg_kind::status:
            line.status = status_choice::always;
            break;
        case arg_kind::no_status:
            line.status = status_choice::never;
            break;
        case arg_kind::checkpoint:
            take_file(line, "--checkpoint", arg, argc, argv, i, line.checkpoint);
            break;
        case arg_kind::checkpoint_key:
            take_file(line, "--checkpoint-key", arg, argc, argv, i, line.checkpoint_key);
            break;
        case arg_kind::output:
            take_file(line, "--output", arg, argc, argv, i, line.output);
            break;
        case arg_kind::kind: {
            const count_kind kind =
                std::find_if(std::begin(kind_spellings), std::end(kind_spellings), [&](const kind_spelling& k) {
                    return arg == k.option;
                })->kind;
            if (line.kind != count_kind::pi && line.kind != kind)
                line.errors.push_back(std::string("'") + kind_option(line.kind) + "' and '" + kind_option(kind) +
                                      "' ask for different things: give one of them");
            else
                line.kind = kind;
            break;
        }
        case arg_kind::unknown_option:
            line.errors.push_back("unknown option '" + printable(arg) + "'");
            break;
        case arg_kind::number: {
            const parsed_count parsed = parse_count(arg);
            if (parsed.status == parse_status::ok) {
                line.numbers.push_back(parsed.value);
                break;
            }
            if (parsed.status == parse_status::too_large || parsed.status == parse_status::negative)
                out_of_range.push_back({line.errors.size(), printable(arg)});
            line.errors.push_back(parse_error_message(printable(arg), parsed.status));
            break;
        }
        }
    }
    // Each number within the range of its kind (pi takes every X); one too
    // large or negative to read is told the same range.
    if (line.kind != count_kind::pi) {
        const number_range range = range_of(line.kind);
        const auto outside = [&](const std::string& text) {
            return std::string(kind_option(line.kind)) + " '" + text + "': " + range.name + " must be from " +
                std::to_string(range.least) + " to " + std::to_string(range.largest) + range.why;
        };
        for (const auto& [index, text] : out_of_range)
            line.errors[index] = outside(text);
        for (const std::int64_t v : line.numbers)
            if (v < range.least || v > range.largest)
                line.errors.push_back(outside(std::to_string(v)));
    }
    // The pairs of --range, once every number could be read.
    if (line.kind == count_kind::range && line.errors.empty()) {
        if (line.numbers.size() % 2 != 0)
            line.errors.push_back("--range takes its numbers in pairs, A B: " + std::to_string(line.numbers.size()) +
                                  (line.numbers.size() == 1 ? " number is" : " numbers are") + " given");
        else
            for (std::size_t i = 0; i < line.numbers.size(); i += 2)
                if (line.numbers[i] > line.numbers[i + 1])
                    line.errors.push_back("--range " + std::to_string(line.numbers[i]) + " " +
                                          std::to_string(line.numbers[i + 1]) +
                                          ": A is above B; the range [A, B] needs A <= B");
    }
    if (line.help || line.version)
        line.errors.clear();
    else if (line.self_test &&
             (!line.numbers.empty() || line.kind != count_kind::pi || !line.checkpoint.empty() ||
              !line.output.empty() || line.double_check || line.gpu))
        line.errors.push_back("--test checks this program and takes no numbers, and of the options only --threads");
    else if (!line.self_test && line.errors.empty() && line.numbers.empty())
        line.errors.push_back("no number given");
    else if (line.checkpoint.empty() && !line.checkpoint_key.empty())
        line.errors.push_back("--checkpoint-key is the key of a checkpoint: give --checkpoint FILE too");
    else if (!line.checkpoint.empty() && line.kind == count_kind::range)
        line.errors.push_back(
            "--checkpoint keeps a count of pi(X) or p_N, and --range counts a range: give one of them");
    else if (!line.checkpoint.empty() && line.numbers.size() > 1)
        line.errors.push_back("--checkpoint keeps one count: give one number, and each count a file of its own");
    else if (!line.checkpoint.empty() && line.kind != count_kind::pi && line.kind != count_kind::nth)
        line.errors.push_back(std::string("--checkpoint keeps a count, and ") + kind_option(line.kind) +
                              " is an estimate, which takes no time: give one of them");
    else if (line.gpu && line.kind != count_kind::pi)
        line.errors.push_back(std::string("--gpu counts pi(X) on a CUDA device, and ") + kind_option(line.kind) +
                              " is not pi(X): give one of them");
    else if (line.gpu && line.double_check)
        line.errors.push_back("--double-check counts twice on the CPU, and --gpu once on a CUDA device: give one of "
                              "them");
    else if (line.gpu && line.threads > 0)
        line.errors.push_back("--threads is for a count on the CPU, and --gpu counts on a CUDA device: give one of "
                              "them");
    else if (line.double_check && line.kind != count_kind::pi && line.kind != count_kind::nth &&
             line.kind != count_kind::range)
        line.errors.push_back(std::string("--double-check counts twice, and ") + kind_option(line.kind) +
                              " is an estimate, which counts nothing: give one of them");
    return line;
}

std::string version_text(std::string_view name)
{
    return std::string(name) + " " + roughpi::version() +
        "\n"
        "Licence: MIT (see LICENSE)\n";
}

std::string usage_line(std::string_view name, bool other_kinds)
{
    std::string usage = "Usage: " + std::string(name) +
        " [--time] [--threads N] [--output FILE] X [X ...]\n"
        "   or: " +
        std::string(name) + " [--time] [--threads N] [--output FILE] --checkpoint FILE X\n" +
        "   or: " + std::string(name) + " [--time] [--output FILE] [--checkpoint FILE] --gpu[=N] X [X ...]\n";
    if (other_kinds)
        usage += "   or: " + std::string(name) +
            " [options] --nth N [N ...]\n"
            "   or: " +
            std::string(name) +
            " --li | --li-inverse | --Li | --Li-inverse | --riemann-r |\n"
            "       --riemann-r-inverse X [X ...]\n"
            "   or: " +
            std::string(name) +
            " [--time] [--threads N] [--output FILE] --range A B [A B ...]\n"
            "   or: " +
            std::string(name) + " [--threads N] --test[=SEED]\n";
    return usage;
}

std::string help_text(std::string_view name, std::string_view threads_default, bool other_kinds)
{
    char largest[24];
    const auto end = std::to_chars(largest, largest + sizeof(largest), MAX_SUPPORTED_X).ptr;
    const std::string max_x(largest, end);
    const std::string kinds = other_kinds
        ? std::string("  --nth, -n, --nth-prime\n"
                      "                     print p_N, the N-th prime, for each number N instead (N\n"
                      "                     from 1 to ") +
            std::to_string(MAX_PRIME_INDEX) +
            ")\n"
            "  --li, --li-inverse, --riemann-r, --riemann-r-inverse\n"
            "                     print the estimate li(X) or R(X), or the x where it is X,\n"
            "                     rounded down, for each X instead\n"
            "  --Li, --Li-inverse the same with the offset Li(x) = li(x) - li(2), which is\n"
            "                     0 at x = 2 (so that --Li-inverse takes X from 0)\n"
            "  -R, --RiemannR, --RiemannR-inverse\n"
            "                     the same as --riemann-r and --riemann-r-inverse\n"
            "  --range            print the number of primes p with A <= p <= B for each\n"
            "                     pair of numbers A B instead (A <= B): by pi(B) - pi(A-1),\n"
            "                     a sieve of [A, B] or a test of each integer, whichever\n"
            "                     is estimated quickest\n"
            "  --test[=SEED]      check every counting path of this processor against known\n"
            "                     values and each other (a minute at most), print one line\n"
            "                     per check, and exit with 0 if all pass, 1 if any fails;\n"
            "                     random x from SEED (default: drawn; printed either way)\n"
            "  --double-check     count each X twice, independently (other pieces, another\n"
            "                     counting path where there is one; never from a\n"
            "                     checkpoint), and print it only when both agree: about\n"
            "                     twice the time\n"
        : std::string();
    return usage_line(name, other_kinds) +
        "\n"
        "Prints pi(X), the number of primes p <= X, for each X, one line each.\n"
        "\n"
        "X is a whole number from 0 to " +
        max_x +
        ", written as\n"
        "  1000             a plain integer\n"
        "  1e15, 2.5e3      <digits>[.<digits>]e<digits>, if the value is whole\n"
        "  10^15, 2^50      <base>^<exponent>\n"
        "  2^59-1, 1e18+1e9 any of these, then + or - and another of them\n"
        "with an optional leading '+' and no spaces. Each part must fit in 64 bits.\n"
        "\n"
        "Options (anywhere among the numbers):\n"
        "  --time             follow each count by its wall time:  455052511  (0.002 s)\n"
        "  -t, --threads N    count on N threads, from 1 to " +
        std::to_string(MAX_THREADS) +
        " (also -tN, --threads=N)\n"
        "                     0 (default): " +
        std::string(threads_default) +
        "\n"
        "  --gpu[=N]          count pi(X) on CUDA device N (default 0) instead of the\n"
        "                     CPU, with --time, --status and --checkpoint as there;\n"
        "                     exit status 1 when there is no device to count on.\n"
        "                     --gpu=emulate counts the device's way on one core of\n"
        "                     the CPU (slow: for checking a build without a device)\n"
        "  -s, --status       show the progress of counts from 10^12 up on standard\n"
        "                     error even when it is not a terminal: a line about\n"
        "                     each second, and one at 100%\n"
        "  --no-status        never show the progress, not even on a terminal (the\n"
        "                     last of --status and --no-status wins)\n"
        "  --checkpoint FILE  save the count to FILE as it goes, and take up what FILE\n"
        "                     holds, so that a count that was stopped goes on from\n"
        "                     where it was (one X only)\n"
        "  --checkpoint-key FILE\n"
        "                     check the checkpoint with the key in FILE (32 hex digits)\n"
        "                     instead of the user's own, which is made on first use\n"
        "  --output FILE      write the counts to FILE instead of standard output, whole\n"
        "                     and only when every count is done (the file is replaced)\n" +
        kinds +
        "  -h, --help         print this help and exit\n"
        "  -v, --version      print the version and exit\n"
        "  --                 end of options: everything after it is a number\n"
        "\n"
        "All arguments are checked before the first count starts. If any is bad,\n"
        "each bad one is reported on standard error, nothing is counted, and the\n"
        "exit status is 2. When standard error is a terminal, counts from 10^12\n"
        "up show their progress there, on one line that is erased when done\n"
        "(see --status and --no-status).\n"
        "SIGINT (Ctrl-C) and SIGTERM end the program with status 130 and 143;\n"
        "with --checkpoint, the file then holds every piece finished so far.\n";
}

}  // namespace roughpi::tools
