// SPDX-License-Identifier: MIT
#include <roughpi/tools/progress_line.hpp>

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#  include <io.h>
#  include "windows_api.hpp"
#else
#  include <unistd.h>
#endif

namespace roughpi::tools {

namespace {

// The width of the line on the terminal, 0 when none is shown: read by the
// signal handler, which erases it.
volatile std::sig_atomic_t shown_width = 0;

// What erases a line of up to 62 characters: a carriage return, spaces, and
// a carriage return.
char eraser[66];

void write_stderr(const char* text, std::size_t length)
{
#if defined(_WIN32)
    _write(2, text, static_cast<unsigned>(length));
#else
    while (length > 0) {
        const ssize_t written = ::write(STDERR_FILENO, text, length);
        if (written <= 0)
            return;
        text += written;
        length -= static_cast<std::size_t>(written);
    }
#endif
}

}  // namespace

void erase_progress_line() noexcept
{
    const int width = shown_width;
    if (width <= 0)
        return;
    eraser[0] = '\r';
    std::memset(eraser + 1, ' ', static_cast<std::size_t>(width));
    eraser[width + 1] = '\r';
    write_stderr(eraser, static_cast<std::size_t>(width) + 2);
    shown_width = 0;
}

void progress_line::show(double done)
{
    if (!(done >= 0.0))  // also NaN
        done = 0.0;
    const int permille = done >= 1.0 ? 1000 : static_cast<int>(done * 1000.0);
    if (permille == shown_)
        return;
    if (style_ == progress_style::lines) {
        // The first, the last, and one a second between them.
        const auto now = std::chrono::steady_clock::now();
        if (shown_ >= 0 && permille < 1000 && now - written_ < std::chrono::seconds(1))
            return;
        written_ = now;
    }
    shown_ = permille;
    char number[24];
    *std::to_chars(number, number + sizeof(number) - 1, x_).ptr = '\0';
    char line[64];
    const int length =
        std::snprintf(line, sizeof(line), "\r%s(%s): %d.%d%%", name_, number, permille / 10, permille % 10);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof(line))
        return;
    if (style_ == progress_style::lines) {  // the line without its '\r', and ended
        line[length] = '\n';
        write_stderr(line + 1, static_cast<std::size_t>(length));
        return;
    }
    // The width first, so that a signal in between erases at least the new line.
    if (length - 1 > shown_width)
        shown_width = length - 1;
    write_stderr(line, static_cast<std::size_t>(length));
}

void progress_line::erase()
{
    if (style_ == progress_style::drawn)
        erase_progress_line();
    shown_ = -1;
}

count_progress::count_progress(const char* name, std::int64_t x, std::int64_t size, progress_style style)
{
    if (style != progress_style::none && size >= PROGRESS_FROM)
        line_.emplace(name, x, style);
}

void count_progress::start()
{
    if (line_)
        line_->show(0.0);
}

std::function<void(double)> count_progress::callback()
{
    if (!line_)
        return {};
    return [this](double done) { line_->show(done); };
}

progress_style stderr_progress_style(status_choice choice)
{
    if (choice == status_choice::never)
        return progress_style::none;
    if (stderr_is_terminal())
        return progress_style::drawn;
    return choice == status_choice::always ? progress_style::lines : progress_style::none;
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

}  // namespace roughpi::tools
