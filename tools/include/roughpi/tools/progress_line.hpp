// SPDX-License-Identifier: MIT
// The progress of one count on standard error, "pi(10000000000000): 42.3%"
// (or "nth(1000000000000): 42.3%" for the n-th prime). On a terminal it is
// drawn over itself with a carriage return (which every terminal and the
// Windows console understand) whenever the shown tenth of a percent changes,
// and erased with spaces at the end, or by a signal that ends the program.
// Elsewhere (a log, a pipe), when asked for, it is written as lines, one
// about each second, and the last at 100.0%, none of them erased.
#pragma once

#include <roughpi/tools/command_line.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace roughpi::tools {

// How progress is shown on standard error.
enum class progress_style {
    none,
    drawn,  // one line, drawn over itself and erased at the end: for a terminal
    lines,  // a line about each second and one at the end, each ending in "\n": for a log
};

// The style for standard error as it is, as `choice` asks: drawn on a
// terminal, in lines elsewhere with --status, none with --no-status.
progress_style stderr_progress_style(status_choice choice);

// Counts of x from here up take long enough to be worth a progress line;
// smaller ones take a moment.
inline constexpr std::int64_t PROGRESS_FROM = 1'000'000'000'000;  // 10^12

class progress_line {
public:
    // `name` is "pi" or "nth", what the line shows of what is counted;
    // `style` drawn or lines.
    progress_line(const char* name, std::int64_t x, progress_style style = progress_style::drawn)
        : name_(name)
        , x_(x)
        , style_(style)
    {
    }
    progress_line(const progress_line&) = delete;
    progress_line& operator=(const progress_line&) = delete;
    ~progress_line() { erase(); }

    // Shows the share done, in [0, 1].
    void show(double done);
    // Erases the line, if one is drawn (lines written stay).
    void erase();

private:
    const char* name_;
    std::int64_t x_;
    progress_style style_;
    int shown_ = -1;                                 // tenths of a percent on the line, or on the last line written
    std::chrono::steady_clock::time_point written_;  // when the last line was written (style lines)
};

// The progress line of one count, when there is one: when `style` is not
// none and the count, of `size`, is at least PROGRESS_FROM. Erased at the
// end when drawn.
class count_progress {
public:
    count_progress(std::int64_t x, progress_style style)
        : count_progress("pi", x, x, style)
    {
    }
    count_progress(const char* name, std::int64_t x, std::int64_t size, progress_style style);
    // Draws 0.0% at once.
    void start();
    // What a count calls with its share done; empty when no line is shown.
    std::function<void(double)> callback();

private:
    std::optional<progress_line> line_;
};

// Erases the progress line if one is shown; async-signal-safe (a write).
void erase_progress_line() noexcept;

// True when standard error is a terminal (on Windows, a console).
bool stderr_is_terminal();

}  // namespace roughpi::tools
