// SPDX-License-Identifier: MIT
#include "worker_pool.hpp"

#include <roughpi/error.hpp>

#include <algorithm>

namespace roughpi::detail {

worker_pool::worker_pool(std::span<const prime_count_piece> pieces, int threads, source next, counting_path path)
    : pieces_(pieces)
    , next_(std::move(next))
    , path_(path)
    , sums_(static_cast<std::size_t>(threads))
{
    running_ = threads;
    threads_.reserve(static_cast<std::size_t>(threads));
    try {
        for (int t = 0; t < threads; ++t)
            threads_.emplace_back([this, t] { work(static_cast<std::size_t>(t)); });
    } catch (...) {
        // A thread that could not start never runs, so it never counts itself out.
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            running_ -= threads - static_cast<int>(threads_.size());
        }
        stop();
        for (std::thread& thread : threads_)
            thread.join();
        throw;
    }
}

worker_pool::~worker_pool()
{
    stop();
    for (std::thread& thread : threads_)
        if (thread.joinable())
            thread.join();
}

void worker_pool::work(std::size_t worker)
{
    const std::stop_token stop_token = stop_source_.get_token();
    try {
        for (;;) {
            std::size_t index = 0;
            {
                const std::lock_guard<std::mutex> lock(next_mutex_);
                if (stop_token.stop_requested() || !next_(index))
                    break;
            }
            prime_count_sums piece_sums;
            prime_count_add_piece(pieces_[index], piece_sums, path_, stop_token);
            sums_[worker] += piece_sums;
            const std::lock_guard<std::mutex> lock(mutex_);
            finished_.push_back({index, piece_sums});
            changed_.notify_all();
        }
    } catch (const cancelled&) {
        // Only stop() asks the pieces to stop: the piece in hand is dropped.
    } catch (...) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!error_)
            error_ = std::current_exception();
        stop();
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    --running_;
    changed_.notify_all();
}

bool worker_pool::wait(std::chrono::milliseconds timeout, std::vector<finished_piece>& out)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, timeout, [this] { return !finished_.empty() || running_ == 0; });
    const bool more = running_ > 0 || !finished_.empty();
    for (finished_piece& piece : finished_)
        out.push_back(std::move(piece));
    finished_.clear();
    return more;
}

prime_count_sums worker_pool::join()
{
    for (std::thread& thread : threads_)
        if (thread.joinable())
            thread.join();
    if (error_)
        std::rethrow_exception(error_);
    prime_count_sums total;
    for (const prime_count_sums& s : sums_)
        total += s;
    return total;
}

void largest_first(std::span<const prime_count_piece> pieces, std::vector<std::size_t>& indices)
{
    std::stable_sort(indices.begin(), indices.end(),
                     [&](std::size_t a, std::size_t b) { return pieces[a].cost() > pieces[b].cost(); });
}

}  // namespace roughpi::detail
