// SPDX-License-Identifier: MIT
#include "piece_inbox.hpp"

#include <optional>

namespace roughpi::mpi {

void piece_inbox::put(std::size_t index)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(index);
    changed_.notify_one();
}

void piece_inbox::close()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

bool piece_inbox::closed()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

double piece_inbox::seconds_per_piece()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return counted_ == 0 ? 0.0 : counting_.count() / static_cast<double>(counted_);
}

bool piece_inbox::take(std::size_t& index)
{
    // When this worker last left take(): a pool's workers are threads of
    // their own count, so this starts empty for each count.
    static thread_local std::optional<std::chrono::steady_clock::time_point> last_taken;
    std::unique_lock<std::mutex> lock(mutex_);
    if (last_taken) {
        counting_ += std::chrono::steady_clock::now() - *last_taken;
        ++counted_;
    }
    changed_.wait(lock, [this] { return !queue_.empty() || closed_; });
    if (queue_.empty())
        return false;
    index = queue_.front();
    queue_.pop_front();
    last_taken = std::chrono::steady_clock::now();
    return true;
}

detail::offer piece_inbox::poll(std::size_t& index)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty())
        return closed_ ? detail::offer::none : detail::offer::not_yet;
    index = queue_.front();
    queue_.pop_front();
    return detail::offer::piece;
}

}  // namespace roughpi::mpi
