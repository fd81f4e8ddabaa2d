// SPDX-License-Identifier: MIT
#include "console.hpp"

#include <cstdarg>
#include <cstddef>
#include <cstdio>

namespace roughpi::bench {

namespace {
bool console_muted = false;
}

void console_mute(bool muted) { console_muted = muted; }

int console_printf(const char* format, ...)
{
    // Every line of the report fits in this buffer; a longer text is written
    // straight through (or, when muted, only measured).
    char text[512];
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    if (!console_muted && length > 0) {
        if (static_cast<std::size_t>(length) < sizeof(text))
            std::fwrite(text, 1, static_cast<std::size_t>(length), stdout);
        else
            std::vprintf(format, again);
    }
    va_end(again);
    return length;
}

void print_memory_growth(const char* unsigned_format, const char* signed_format, std::uint64_t before,
                         std::uint64_t after)
{
    if (after >= before)
        console_printf(unsigned_format, static_cast<std::size_t>(after - before));
    else
        console_printf(signed_format, -static_cast<long long>(before - after));
}

}  // namespace roughpi::bench
