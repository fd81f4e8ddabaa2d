// SPDX-License-Identifier: MIT
// ROUGHPI_ASSERT(condition, what): an invariant of the code itself, one that
// no input can break. A build configured with -DROUGHPI_ASSERTIONS=ON (the
// default of a Debug build) checks it and throws roughpi::internal_error
// naming `what`, the file and the line when it fails; every other build
// compiles the check away, condition and all, so that it costs nothing in
// the inner loop. What input can get wrong is checked always, elsewhere,
// and refused as input_error.
//
// Header-only, so that every library can use it without reaching into
// another's private sources or exporting a symbol for it.
#pragma once

#if defined(ROUGHPI_ASSERTIONS) && ROUGHPI_ASSERTIONS

#  include <roughpi/error.hpp>

#  include <cstdio>

namespace roughpi::detail {

// The message is put together on the stack: the counting core, which
// asserts too, refers to no heap allocation of its own.
[[noreturn]] inline void assertion_failed(const char* what, const char* file, int line)
{
    char message[512];
    std::snprintf(message, sizeof message, "%sinternal error: %s (assertion at %s:%d)", MESSAGE_PREFIX, what, file,
                  line);
    throw internal_error(message);
}

}  // namespace roughpi::detail

#  define ROUGHPI_ASSERT(condition, what)                                                                              \
    do {                                                                                                               \
      if (!(condition)) [[unlikely]]                                                                                   \
        ::roughpi::detail::assertion_failed((what), __FILE__, __LINE__);                                               \
    } while (false)

#else

// Not evaluated, but still compiled: an assertion that stops compiling is
// noticed in every build, not only in the checked one.
#  define ROUGHPI_ASSERT(condition, what) static_cast<void>(sizeof(static_cast<bool>(condition)))

#endif
