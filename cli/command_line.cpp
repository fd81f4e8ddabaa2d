#include "command_line.hpp"

#include "parse_count.hpp"

#include <roughpi/parallel.hpp>
#include <roughpi/prime_count.hpp>

#include <charconv>

namespace roughpi::cli {

namespace {

enum class arg_kind { number, time, threads, checkpoint, help, version, end_of_options, unknown_option };

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
    if (arg == "-t" || arg == "--threads" || arg.starts_with("--threads="))
        return arg_kind::threads;
    if (arg == "--checkpoint" || arg.starts_with("--checkpoint="))
        return arg_kind::checkpoint;
    if (arg == "-h" || arg == "--help")
        return arg_kind::help;
    if (arg == "--version")
        return arg_kind::version;
    return arg_kind::unknown_option;
}

// A thread count: a whole number from 1 to MAX_THREADS, plain decimal digits.
bool parse_threads(std::string_view text, int& threads)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value < 1 || value > MAX_THREADS)
        return false;
    threads = value;
    return true;
}

std::string max_threads_text() { return std::to_string(MAX_THREADS); }

}  // namespace

std::string printable(std::string_view text)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte == '\\') {
            out += "\\\\";
        } else if (byte < 0x20 || byte >= 0x7f) {
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

command_line parse_command_line(int argc, const char* const* argv)
{
    command_line line;
    bool options_ended = false;
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
        case arg_kind::time:
            line.time = true;
            break;
        case arg_kind::threads: {
            std::string_view value;
            std::string option(arg);
            if (arg.starts_with("--threads=")) {
                value = arg.substr(10);
                option = "--threads";
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                line.errors.push_back("'" + option + "' needs a number of threads, from 1 to " +
                                      max_threads_text());
                break;
            }
            if (!parse_threads(value, line.threads))
                line.errors.push_back(option + " '" + printable(value) +
                                      "': the number of threads must be a whole number from 1 to " +
                                      max_threads_text());
            break;
        }
        case arg_kind::checkpoint:
            if (arg.starts_with("--checkpoint=")) {
                line.checkpoint = arg.substr(13);
            } else if (i + 1 < argc) {
                line.checkpoint = argv[++i];
            } else {
                line.errors.push_back("'--checkpoint' needs the name of a file");
                break;
            }
            if (line.checkpoint.empty())
                line.errors.push_back("'--checkpoint' needs the name of a file");
            break;
        case arg_kind::unknown_option:
            line.errors.push_back("unknown option '" + printable(arg) + "'");
            break;
        case arg_kind::number: {
            const parsed_count parsed = parse_count(arg);
            if (parsed.status == parse_status::ok)
                line.numbers.push_back(parsed.value);
            else
                line.errors.push_back(parse_error_message(printable(arg), parsed.status));
            break;
        }
        }
    }
    if (line.help || line.version)
        line.errors.clear();
    else if (line.errors.empty() && line.numbers.empty())
        line.errors.push_back("no number given");
    else if (!line.checkpoint.empty() && line.numbers.size() > 1)
        line.errors.push_back("--checkpoint keeps one count: give one number, and each count a file of its own");
    return line;
}

std::string usage_line(std::string_view name)
{
    return "Usage: " + std::string(name) + " [--time] [--threads N] X [X ...]\n"
           "   or: " + std::string(name) + " [--time] [--threads N] --checkpoint FILE X\n";
}

std::string help_text(std::string_view name, std::string_view threads_default)
{
    char largest[24];
    const auto end = std::to_chars(largest, largest + sizeof(largest), MAX_SUPPORTED_X).ptr;
    const std::string max_x(largest, end);
    return usage_line(name) +
           "\n"
           "Prints pi(X), the number of primes p <= X, for each X, one line each.\n"
           "\n"
           "X is a whole number from 0 to " + max_x + ", written as\n"
           "  1000             a plain integer\n"
           "  1e15, 2.5e3      <digits>[.<digits>]e<digits>, if the value is whole\n"
           "  10^15, 2^50      <base>^<exponent>\n"
           "  2^59-1, 1e15+3   any of these followed by +<digits> or -<digits>\n"
           "with an optional leading '+' and no spaces. Each part must fit in 64 bits.\n"
           "\n"
           "Options (anywhere among the numbers):\n"
           "  --time             follow each count by its wall time:  455052511  (0.002 s)\n"
           "  -t, --threads N    count on N threads, from 1 to " + max_threads_text() + "\n"
           "                     (default: " + std::string(threads_default) + ")\n"
           "  --checkpoint FILE  save the count to FILE as it goes, and take up what FILE\n"
           "                     holds, so that a count that was stopped goes on from\n"
           "                     where it was (one X only)\n"
           "  -h, --help         print this help and exit\n"
           "  --version          print the version and exit\n"
           "  --                 end of options: everything after it is a number\n"
           "\n"
           "All arguments are checked before the first count starts. If any is bad,\n"
           "each bad one is reported on standard error, nothing is counted, and the\n"
           "exit status is 2. When standard error is a terminal, counts from 10^12\n"
           "up show their progress there, on one line that is erased when done.\n"
           "SIGINT (Ctrl-C) and SIGTERM end the program with status 130 and 143;\n"
           "with --checkpoint, the file then holds every piece finished so far.\n";
}

}  // namespace roughpi::cli
