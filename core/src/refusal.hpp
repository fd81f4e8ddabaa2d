// SPDX-License-Identifier: MIT
// Refusing a call, or a result: an exception with a message formatted on the
// stack, so that the library's own code never calls an allocator (the
// exception itself is the runtime's business, and only a refused call makes
// one).
#pragma once

#include "printf_format.hpp"

namespace roughpi::detail {

// Throws input_error with the printf-formatted message, prefixed "roughpi: ".
// (With MinGW, GCC's printf means Microsoft's; libstdc++ has the C99 one
// linked in, which knows %zu and %lld, and gnu_printf checks for that.)
[[noreturn]] void refuse(const char* format, ...) ROUGHPI_PRINTF_FORMAT(1, 2);

// Throws internal_error with the printf-formatted message, prefixed
// "roughpi: internal error: ".
[[noreturn]] void fail_internally(const char* format, ...) ROUGHPI_PRINTF_FORMAT(1, 2);

}  // namespace roughpi::detail
