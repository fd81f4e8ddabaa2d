// SPDX-License-Identifier: MIT
// The exit statuses of roughpi and roughpi-mpi.
#pragma once

namespace roughpi::tools {

inline constexpr int EXIT_OK = 0;
// The results could not be written, or a count failed (an internal error).
inline constexpr int EXIT_FAILED = 1;
// Bad arguments, or a checkpoint or output file that cannot be used: nothing
// was counted.
inline constexpr int EXIT_USAGE = 2;
// A program ended by a signal: 128 + its number (130 for SIGINT, 143 for
// SIGTERM), as a shell reports it.

}  // namespace roughpi::tools
