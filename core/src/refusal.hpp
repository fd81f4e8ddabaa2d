// Refusing a call: input_error with a message formatted on the stack, so that
// the library's own code never calls an allocator (the exception itself is
// the runtime's business, and only a refused call makes one).
#pragma once


namespace roughpi::detail {

// Throws input_error with the printf-formatted message, prefixed "roughpi: ".
// (With MinGW, GCC's printf means Microsoft's; libstdc++ has the C99 one
// linked in, which knows %zu and %lld, and gnu_printf checks for that.)
[[noreturn]] void refuse(const char* format, ...)
#if defined(__MINGW32__) && !defined(__clang__)
    __attribute__((format(gnu_printf, 1, 2)))
#elif defined(__GNUC__) || defined(__clang__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace roughpi::detail
