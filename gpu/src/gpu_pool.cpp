// SPDX-License-Identifier: MIT
// The pool that counts pieces on the device: one thread of its own runs the
// rounds (piece_rounds.hpp), and hands the finished pieces to the thread
// that owns the pool, as the worker pool's threads do.
#include "gpu_pool.hpp"

#include "device.hpp"
#include "piece_rounds.hpp"

#include <roughpi/error.hpp>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace roughpi::gpu {

namespace {

// How long the pool's thread waits before it asks a source again that had
// no piece yet, with no piece in hand.
constexpr std::chrono::milliseconds ASK_AGAIN{1};

class gpu_pool final : public detail::piece_pool {
public:
    gpu_pool(std::unique_ptr<device> dev, std::span<const prime_count_piece> pieces, piece_rounds::source next)
        : device_(std::move(dev))
        , rounds_(*device_, pieces)
        , next_(std::move(next))
        , thread_([this] { work(); })
    {
    }

    ~gpu_pool() override
    {
        stop();
        if (thread_.joinable())
            thread_.join();
    }

    bool wait(std::chrono::milliseconds timeout, std::vector<detail::finished_piece>& out) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, timeout, [this] { return !finished_.empty() || !running_; });
        const bool more = running_ || !finished_.empty();
        for (detail::finished_piece& piece : finished_)
            out.push_back(std::move(piece));
        finished_.clear();
        return more;
    }

    void stop() override
    {
        // The flag the rounds look at first, then the device's: a round that
        // sees the device stopped has seen the flag.
        stopped_.store(true);
        device_->stop();
    }

    prime_count_sums join() override
    {
        if (thread_.joinable())
            thread_.join();
        if (error_)
            std::rethrow_exception(error_);
        return sums_;
    }

private:
    void work()
    {
        try {
            std::vector<detail::finished_piece> done;
            for (;;) {
                done.clear();
                const piece_rounds::result r = rounds_.round(next_, done, stopped_);
                if (!done.empty()) {
                    const std::lock_guard<std::mutex> lock(mutex_);
                    for (const detail::finished_piece& piece : done) {
                        sums_ += piece.sums;
                        finished_.push_back(piece);
                    }
                    changed_.notify_all();
                }
                if (r == piece_rounds::result::finished)
                    break;
                if (r == piece_rounds::result::waiting)
                    std::this_thread::sleep_for(ASK_AGAIN);
            }
        } catch (const cancelled&) {
            // Only stop() stops the rounds: the pieces in hand are dropped.
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex_);
            error_ = std::current_exception();
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
        changed_.notify_all();
    }

    std::unique_ptr<device> device_;
    piece_rounds rounds_;
    piece_rounds::source next_;
    std::atomic<bool> stopped_{false};

    std::mutex mutex_;  // guards what follows
    std::condition_variable changed_;
    std::vector<detail::finished_piece> finished_;
    bool running_ = true;
    std::exception_ptr error_;
    prime_count_sums sums_;

    std::thread thread_;  // last: it starts once everything above is there
};

}  // namespace

std::unique_ptr<detail::piece_pool> make_gpu_pool(std::span<const prime_count_piece> pieces,
                                                  std::function<detail::offer(std::size_t& index)> next,
                                                  const gpu_pool_options& options)
{
    std::int64_t slots = options.slots > 0 ? options.slots : static_cast<std::int64_t>(pieces.size());
    slots = slots < 1 ? 1 : slots > MAX_SLOTS ? MAX_SLOTS : slots;
    std::unique_ptr<device> dev =
        options.emulate ? open_emulated_device(slots) : open_cuda_device(options.device, slots);
    return std::make_unique<gpu_pool>(std::move(dev), pieces, std::move(next));
}

}  // namespace roughpi::gpu
