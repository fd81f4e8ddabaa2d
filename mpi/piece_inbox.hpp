// SPDX-License-Identifier: MIT
// Another rank's queue of the pieces rank 0 gave it, which its workers take
// from: take() waits for a piece, and is false once rank 0 has none left (or
// the count is abandoned) and the queue is empty; poll() does not wait. It also measures how long
// the workers take for a piece: the time from one take() to the next.
#pragma once

#include "piece_pool.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

namespace roughpi::mpi {

class piece_inbox {
public:
    void put(std::size_t index);
    void close();
    bool closed();
    // The mean time a worker took for a piece, 0 before any was done.
    double seconds_per_piece();
    bool take(std::size_t& index);
    // The same without waiting, for a CUDA device: a piece, none yet, or
    // none any more (closed and empty).
    detail::offer poll(std::size_t& index);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::size_t> queue_;
    bool closed_ = false;
    std::chrono::duration<double> counting_{0.0};
    std::size_t counted_ = 0;
};

// Closes an inbox when it goes out of scope, so that a worker waiting in
// take() returns and the pool can join it, also when an exception leaves.
class inbox_closer {
public:
    explicit inbox_closer(piece_inbox& inbox)
        : inbox_(inbox)
    {
    }
    inbox_closer(const inbox_closer&) = delete;
    inbox_closer& operator=(const inbox_closer&) = delete;
    ~inbox_closer() { inbox_.close(); }

private:
    piece_inbox& inbox_;
};

}  // namespace roughpi::mpi
