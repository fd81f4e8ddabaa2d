// Refusing a call: input_error with a message formatted on the stack, so that
// the library's own code never calls an allocator (the exception itself is
// the runtime's business, and only a refused call makes one).
#pragma once


namespace roughpi::detail {

// Throws input_error with the printf-formatted message, prefixed "roughpi: ".
[[noreturn]] void refuse(const char* format, ...)
#if defined(__GNUC__) || defined(__clang__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace roughpi::detail
