// SPDX-License-Identifier: MIT
// What counts the pieces of a count for a program that hands them out one
// by one (roughpi-mpi's ranks): the worker threads of worker_pool.hpp, or a
// CUDA device (gpu/internal/gpu_pool.hpp). Each takes piece indices from a
// source of the caller's, counts the pieces, and hands each finished one to
// the thread that owns it, which collects them with wait().
#pragma once

#include <roughpi/pieces.hpp>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <span>
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

// Collects what `pool` finishes until it ends, on the calling thread: each
// finished piece to piece_done (with its index), and every `every` the share
// of `todo_cost` that the finished pieces' estimates make to progress. When
// either throws, the pool is stopped and the exception goes on; the pool's
// own sums and error are join()'s.
inline void collect_finished(piece_pool& pool, std::span<const prime_count_piece> pieces, double todo_cost,
                             const std::function<void(std::size_t, const prime_count_sums&)>& piece_done,
                             const std::function<void(double)>& progress, std::chrono::milliseconds every)
{
    std::vector<finished_piece> finished;
    double done_cost = 0.0;
    auto last_progress = std::chrono::steady_clock::now();
    try {
        while (pool.wait(every, finished)) {
            for (const finished_piece& piece : finished) {
                done_cost += pieces[piece.index].cost();
                if (piece_done)
                    piece_done(piece.index, piece.sums);
            }
            finished.clear();
            const auto now = std::chrono::steady_clock::now();
            if (progress && todo_cost > 0.0 && now - last_progress >= every) {
                progress(std::min(done_cost / todo_cost, 1.0));
                last_progress = now;
            }
        }
    } catch (...) {
        pool.stop();
        throw;
    }
}

}  // namespace roughpi::detail
