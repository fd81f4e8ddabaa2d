// SPDX-License-Identifier: MIT
// The little the benchmark needs from the operating system, behind one small
// interface: a wall clock in milliseconds, the process's resident memory, and
// the console (is it a terminal, and clearing it).
#pragma once

#include <cstdint>

namespace roughpi::bench {

// Milliseconds of wall time since the first call; monotonic, so differences
// between two readings are elapsed wall time even on systems whose clock()
// counts processor time.
std::int64_t wall_clock_ms();

// One reading of the process's memory: its current resident size in bytes
// (the working set on Windows, resident size on macOS, and on Linux the
// resident pages that are not backed by files).
struct memory_snapshot {
    std::uint64_t working_set_size = 0;
};

// Fills the snapshot. Uses no heap, so that taking it does not change what it
// measures. On failure the size reads 0.
void take_memory_snapshot(memory_snapshot& snapshot);

// True when standard output is an interactive terminal.
bool stdout_is_terminal();

// Clears the console window (standard output must be a terminal). Flushes
// standard output first, so that everything printed so far comes before the
// clear.
void clear_console();

}  // namespace roughpi::bench
