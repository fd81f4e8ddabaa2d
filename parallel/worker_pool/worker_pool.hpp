// SPDX-License-Identifier: MIT
// Worker threads that count pieces of a count: the engine of the parallel
// count, and of each process of the MPI program (an internal target that
// both link, roughpi_worker_pool; not part of the interface).
#pragma once

#include "piece_pool.hpp"

#include <roughpi/pieces.hpp>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <stop_token>
#include <thread>
#include <vector>

namespace roughpi::detail {

// `threads` workers, each taking piece indices from `next` until it returns
// false, counting pieces[index] on `path` into sums of its own and handing each
// finished piece to the thread that owns the pool, which collects them with
// wait(). `next` is called from the workers, one call at a time.
class worker_pool final : public piece_pool {
public:
    using source = std::function<bool(std::size_t& index)>;

    worker_pool(std::span<const prime_count_piece> pieces, int threads, source next, counting_path path);
    // Stops the workers and joins them.
    ~worker_pool() override;

    // As piece_pool's: false once every worker has ended and every finished
    // piece has been collected.
    bool wait(std::chrono::milliseconds timeout, std::vector<finished_piece>& out) override;

    // Workers take no further piece, and drop the pieces in hand within a few
    // milliseconds (those never reach wait() or the sums of join()).
    void stop() override { stop_source_.request_stop(); }

    // Joins the workers, rethrows the first exception any of them met, and
    // returns the sum of their sums.
    prime_count_sums join() override;

private:
    void work(std::size_t worker);

    std::span<const prime_count_piece> pieces_;
    source next_;
    counting_path path_;
    std::mutex next_mutex_;
    std::stop_source stop_source_;  // the workers, and the pieces in hand, look at it

    std::mutex mutex_;  // guards what follows
    std::condition_variable changed_;
    std::vector<finished_piece> finished_;
    int running_ = 0;
    std::exception_ptr error_;

    std::vector<prime_count_sums> sums_;  // one per worker, each its own
    std::vector<std::thread> threads_;
};

// Sorts `indices` (of pieces) by estimated work, largest first, ties in the
// order given: the order in which pieces are handed out, so that the last
// ones to finish are short.
void largest_first(std::span<const prime_count_piece> pieces, std::vector<std::size_t>& indices);

}  // namespace roughpi::detail
