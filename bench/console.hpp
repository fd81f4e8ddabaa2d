// The benchmark's formatted output to standard output.
#pragma once

#include <cstdint>

namespace roughpi::bench {

#if defined(__GNUC__) && !defined(_WIN32)
#  define ROUGHPI_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#  define ROUGHPI_PRINTF_FORMAT(f, a)
#endif

// Formats with printf conventions and writes the text to standard output,
// unless the console is muted, in which case the text is formatted all the
// same and then dropped. Returns the length of the formatted text.
int console_printf(const char* format, ...) ROUGHPI_PRINTF_FORMAT(1, 2);

// While muted, console_printf formats but writes nothing.
void console_mute(bool muted);

// Prints one memory-growth line: unsigned_format (one %zu) with after - before
// when the size grew or stayed, and signed_format (one %lld) with the negative
// difference when it shrank, instead of letting the unsigned difference wrap.
void print_memory_growth(const char* unsigned_format, const char* signed_format,
                         std::uint64_t before, std::uint64_t after);

}  // namespace roughpi::bench
