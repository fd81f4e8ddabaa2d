// SPDX-License-Identifier: MIT
// ROUGHPI_PRINTF_FORMAT(format_at, first_at): marks a function whose argument
// `format_at` (counted from 1) is a printf format with the arguments from
// `first_at` on, so that the compiler checks every call. MinGW's gcc checks
// against the GNU conventions, which its C++ runtime follows. Shared with
// the other targets through roughpi_platform_support; not installed.
#pragma once

#if defined(__MINGW32__) && !defined(__clang__)
#  define ROUGHPI_PRINTF_FORMAT(format_at, first_at) __attribute__((format(gnu_printf, format_at, first_at)))
#elif defined(__GNUC__) || defined(__clang__)
#  define ROUGHPI_PRINTF_FORMAT(format_at, first_at) __attribute__((format(printf, format_at, first_at)))
#else
#  define ROUGHPI_PRINTF_FORMAT(format_at, first_at)
#endif
