// SPDX-License-Identifier: MIT
// The part of the C interface (roughpi/parallel.h) that starts threads.
// Errors, including failures to start a thread or to allocate the list of
// pieces, become -1 and the text that roughpi_last_error() returns; a
// cancelled count becomes ROUGHPI_CANCELLED.
#include "c_api_call.hpp"

#include <roughpi/nth_prime.hpp>
#include <roughpi/parallel.h>
#include <roughpi/parallel.hpp>
#include <roughpi/range.hpp>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

namespace {

// Reads the caller's flag. Another thread writes it, so the read is an atomic
// load where the compiler offers one on a plain int (gcc, clang, MinGW):
// then a writer that stores atomically (C11 atomics, std::atomic_ref,
// __atomic_store_n) is not a data race. A signal handler's store to the int
// is seen either way.
bool flag_set(const volatile int* cancel)
{
#if defined(__GNUC__)
    return __atomic_load_n(cancel, __ATOMIC_RELAXED) != 0;
#else
    return *cancel != 0;
#endif
}

// How often the flag is read.
constexpr std::chrono::milliseconds FLAG_EVERY{10};

// Options that stop the count when *cancel becomes non-zero: a thread of
// their own reads the flag every FLAG_EVERY while the count runs, so a stop
// is seen in every part of it (the split, the pieces, the sieve, the finish).
class cancellable_options {
public:
    roughpi::parallel_options options;

    cancellable_options(int threads, const volatile int* cancel)
    {
        options.threads = threads;
        if (cancel == nullptr)
            return;
        options.stop = source_.get_token();
        if (flag_set(cancel)) {
            source_.request_stop();
            return;
        }
        watcher_ = std::thread([this, cancel] {
            std::unique_lock<std::mutex> lock(mutex_);
            while (!over_) {
                if (flag_set(cancel)) {
                    source_.request_stop();
                    return;
                }
                wake_.wait_for(lock, FLAG_EVERY);
            }
        });
    }
    cancellable_options(const cancellable_options&) = delete;
    cancellable_options& operator=(const cancellable_options&) = delete;

    // The count is over: the watcher ends at once.
    ~cancellable_options()
    {
        if (!watcher_.joinable())
            return;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            over_ = true;
        }
        wake_.notify_one();
        watcher_.join();
    }

private:
    std::stop_source source_;
    std::mutex mutex_;  // guards over_
    std::condition_variable wake_;
    bool over_ = false;
    std::thread watcher_;
};

}  // namespace

extern "C" {

int64_t roughpi_pi_threads(int64_t x, int threads) noexcept
{
    return roughpi::detail::c_api_call([&] { return roughpi::prime_count_parallel(x, threads); });
}

int64_t roughpi_nth_prime(int64_t n) noexcept
{
    return roughpi::detail::c_api_call([&] { return roughpi::nth_prime(n); });
}

int64_t roughpi_nth_prime_threads(int64_t n, int threads) noexcept
{
    return roughpi::detail::c_api_call([&] {
        roughpi::parallel_options options;
        options.threads = threads;
        return roughpi::nth_prime_parallel(n, options);
    });
}

int64_t roughpi_pi_cancellable(int64_t x, int threads, const volatile int* cancel) noexcept
{
    return roughpi::detail::c_api_call([&] {
        cancellable_options o(threads, cancel);
        return roughpi::prime_count_parallel(x, o.options);
    });
}

int64_t roughpi_nth_prime_cancellable(int64_t n, int threads, const volatile int* cancel) noexcept
{
    return roughpi::detail::c_api_call([&] {
        cancellable_options o(threads, cancel);
        return roughpi::nth_prime_parallel(n, o.options);
    });
}

int64_t roughpi_pi_range(int64_t a, int64_t b, int threads) noexcept
{
    return roughpi::detail::c_api_call([&] {
        roughpi::parallel_options options;
        options.threads = threads;
        return roughpi::prime_count_range(a, b, options);
    });
}

int64_t roughpi_pi_range_cancellable(int64_t a, int64_t b, int threads, const volatile int* cancel) noexcept
{
    return roughpi::detail::c_api_call([&] {
        cancellable_options o(threads, cancel);
        return roughpi::prime_count_range(a, b, o.options);
    });
}

}  // extern "C"
