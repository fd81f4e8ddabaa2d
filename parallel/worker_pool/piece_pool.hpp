// SPDX-License-Identifier: MIT
// What counts the pieces of a count for a program that hands them out one
// by one (roughpi-mpi's ranks): the worker threads of worker_pool.hpp, or a
// CUDA device (gpu/internal/gpu_pool.hpp). Each takes piece indices from a
// source of the caller's, counts the pieces, and hands each finished one to
// the thread that owns it, which collects them with wait().
#pragma once

#include <roughpi/pieces.hpp>

#include <chrono>
#include <cstddef>
#include <vector>

namespace roughpi::detail {

// A piece that is finished: its index and its own sums.
struct finished_piece {
    std::size_t index;
    prime_count_sums sums;
};

// What a source that does not wait for its pieces says when asked for one.
enum class offer {
    piece,    // here is one
    not_yet,  // none now; ask again
    none,     // none any more
};

class piece_pool {
public:
    piece_pool() = default;
    piece_pool(const piece_pool&) = delete;
    piece_pool& operator=(const piece_pool&) = delete;
    virtual ~piece_pool() = default;

    // Moves the pieces finished since the last call to `out`, waiting up to
    // `timeout` for one if there is none. False once the pool has stopped
    // and every finished piece has been collected.
    virtual bool wait(std::chrono::milliseconds timeout, std::vector<finished_piece>& out) = 0;

    // Takes no further piece, and drops those in hand within milliseconds
    // (they never reach wait() or the sums of join()).
    virtual void stop() = 0;

    // Waits for the pool to end, rethrows the first exception it met, and
    // returns the sum of the sums of the pieces it finished.
    virtual prime_count_sums join() = 0;
};

}  // namespace roughpi::detail
