// SPDX-License-Identifier: MIT
// What `roughpi` and `roughpi-mpi` write: the counts on standard output, the
// bad arguments on standard error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace roughpi::tools {

// "<pi>\n", or with the time "<pi>  (<seconds, three decimals> s)\n".
std::string count_line(std::int64_t pi, bool with_time, double seconds);

// Writes text to standard output and flushes it; false when that failed.
bool write_stdout(const std::string& text);

// write_stdout, and when that fails "<program>: cannot write to standard
// output" on standard error.
bool write_stdout_or_report(std::string_view program, const std::string& text);

// "<program>: <error>" for each error, then a hint at --help (and the usage
// lines when no number was given; with other_kinds, those of --nth and the
// estimates too), on standard error.
void report_usage_errors(std::string_view program, const std::vector<std::string>& errors, bool other_kinds = true);

// "<program>: <where><what>" on standard error; the library's prefix at the
// start of `what` (roughpi::MESSAGE_PREFIX, which its messages have) is not
// repeated.
void report_error(std::string_view program, std::string_view what, std::string_view where = "");

}  // namespace roughpi::tools
