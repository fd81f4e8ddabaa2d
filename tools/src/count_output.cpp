// SPDX-License-Identifier: MIT
#include <roughpi/tools/count_output.hpp>

#include <roughpi/tools/command_line.hpp>

#include <roughpi/error.hpp>

#include <charconv>
#include <cstdio>

namespace roughpi::tools {

std::string count_line(std::int64_t pi, bool with_time, double seconds)
{
    char digits[24];
    std::string line(digits, std::to_chars(digits, digits + sizeof(digits), pi).ptr);
    if (with_time) {
        char time[48];
        std::snprintf(time, sizeof(time), "  (%.3f s)", seconds);
        line += time;
    }
    return line + "\n";
}

bool write_stdout(const std::string& text)
{
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    return std::fflush(stdout) == 0 && written && !std::ferror(stdout);
}

bool write_stdout_or_report(std::string_view program, const std::string& text)
{
    if (write_stdout(text))
        return true;
    report_error(program, "cannot write to standard output");
    return false;
}

void report_usage_errors(std::string_view program, const std::vector<std::string>& errors, bool other_kinds)
{
    const std::string name(program);
    for (const std::string& error : errors)
        std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
    if (errors.size() == 1 && errors[0] == "no number given")
        std::fputs(usage_line(name, other_kinds).c_str(), stderr);
    std::fprintf(stderr, "Try '%s --help' for more information.\n", name.c_str());
}

void report_error(std::string_view program, std::string_view what, std::string_view where)
{
    const std::string_view library = MESSAGE_PREFIX;
    if (what.starts_with(library))
        what.remove_prefix(library.size());
    std::string line(program);
    line.append(": ").append(where).append(what).append("\n");
    std::fputs(line.c_str(), stderr);
}

}  // namespace roughpi::tools
