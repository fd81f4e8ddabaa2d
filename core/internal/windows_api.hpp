// SPDX-License-Identifier: MIT
// <windows.h> as roughpi takes it, on Windows alone: without the APIs it
// never uses (WIN32_LEAN_AND_MEAN) and without the min and max macros that
// would stand in for std::min and std::max (NOMINMAX). Shared with the other
// targets through roughpi_platform_support; not installed.
#pragma once

#if defined(_WIN32)
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  include <windows.h>
#endif
