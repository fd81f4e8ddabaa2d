// SPDX-License-Identifier: MIT
// The benchmark's formatted output to standard output.
#pragma once

#include "printf_format.hpp"

#include <cstdint>

namespace roughpi::bench {

// Formats with printf conventions and writes the text to standard output,
// unless the console is muted, in which case the text is formatted all the
// same and then dropped. Returns the length of the formatted text.
#if defined(_WIN32)
// On Windows its formats are Microsoft's (%I64d), which the check knows not.
int console_printf(const char* format, ...);
#else
int console_printf(const char* format, ...) ROUGHPI_PRINTF_FORMAT(1, 2);
#endif

// While muted, console_printf formats but writes nothing.
void console_mute(bool muted);

// Prints one memory-growth line: unsigned_format (one %zu) with after - before
// when the size grew or stayed, and signed_format (one %lld) with the negative
// difference when it shrank, instead of letting the unsigned difference wrap.
void print_memory_growth(const char* unsigned_format, const char* signed_format, std::uint64_t before,
                         std::uint64_t after);

}  // namespace roughpi::bench
