// The progress of one count on standard error, "pi(10000000000000): 42.3%"
// (or "nth(1000000000000): 42.3%" for the n-th prime),
// drawn over itself with a carriage return (which every terminal and the
// Windows console understand) whenever the shown tenth of a percent changes,
// and erased with spaces at the end, or by a signal that ends the program.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace roughpi::tools {

// Counts of x from here up take long enough to be worth a progress line;
// smaller ones take a moment.
inline constexpr std::int64_t PROGRESS_FROM = 1'000'000'000'000;  // 10^12

class progress_line {
public:
    // `name` is "pi" or "nth", what the line shows of what is counted.
    progress_line(const char* name, std::int64_t x) : name_(name), x_(x) {}
    progress_line(const progress_line&) = delete;
    progress_line& operator=(const progress_line&) = delete;
    ~progress_line() { erase(); }

    // Shows the share done, in [0, 1].
    void show(double done);
    // Erases the line, if one is shown.
    void erase();

private:
    const char* name_;
    std::int64_t x_;
    int shown_ = -1;  // tenths of a percent on the line
};

// The progress line of one count, when there is one: when `shown` (standard
// error is a terminal) and the count, of `size`, is at least PROGRESS_FROM.
// Erased at the end.
class count_progress {
public:
    count_progress(std::int64_t x, bool shown) : count_progress("pi", x, x, shown) {}
    count_progress(const char* name, std::int64_t x, std::int64_t size, bool shown);
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
