// SPDX-License-Identifier: MIT
#include "window_search.hpp"

#include "progress_pace.hpp"
#include "refusals.hpp"
#include "segment_sieve.hpp"

#include <roughpi/error.hpp>
#include <roughpi/prime_count.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace roughpi::detail {

namespace {

// The windows of the sieve, from x on: upward [x + 1 + iW, x + (i + 1)W], or
// downward [x - (i + 1)W + 1, x - iW], clipped to [0, 2^63 - 1], W at most
// segment_sieve::WINDOW.
struct windows {
    std::int64_t x;
    bool up;
    std::int64_t W;

    // False when window i lies wholly outside [0, 2^63 - 1].
    bool bounds(std::int64_t i, std::int64_t& lo, std::int64_t& hi) const
    {
        if (up) {
            if (i > (MAX_SUPPORTED_X - x - 1) / W)
                return false;
            lo = x + 1 + i * W;
            hi = lo + std::min<std::int64_t>(W - 1, MAX_SUPPORTED_X - lo);
        } else {
            if (i > x / W)
                return false;
            hi = x - i * W;
            lo = std::max<std::int64_t>(hi - (W - 1), 0);
        }
        return true;
    }
};

// The windows of a search, how many of them should hold its primes, and
// how many threads it is worth.
struct search_plan {
    windows w;
    double expected;
    int threads;
};

// About ln x integers per prime: windows a little longer than the stretch
// that should hold k primes, as long as the sieve's buffer, or (for a short
// stretch) the smallest that pays for finding the sieving primes; and no
// more threads than windows expected.
search_plan plan_search(std::int64_t x, bool up, std::int64_t k, int threads)
{
    const double far_end =
        std::max(static_cast<double>(x), static_cast<double>(k) * std::log(static_cast<double>(k) + 2));
    const double stretch = 1.25 * static_cast<double>(k) * std::log(std::max(far_end, 3.0));
    const std::int64_t length = stretch >= static_cast<double>(segment_sieve::WINDOW)
        ? segment_sieve::WINDOW
        : std::max<std::int64_t>(static_cast<std::int64_t>(std::ceil(stretch)), 1 << 16);
    const double expected = std::max(1.0, stretch / static_cast<double>(length));
    return {windows{x, up, length}, expected, static_cast<int>(std::min<double>(threads, std::ceil(expected)))};
}

[[noreturn]] void ran_past_the_range()
{
    detail::fail_internally("the sieve ran past the range without finding its prime");
}

// The bounds of window i, which must lie in the range.
void window_of(const windows& w, std::int64_t i, std::int64_t& lo, std::int64_t& hi)
{
    if (!w.bounds(i, lo, hi))
        ran_past_the_range();
}

// The k-th prime of window i from the search's side: from x outward.
std::int64_t kth_in_window(const windows& w, segment_sieve& sieve, std::int64_t i, std::int64_t k,
                           const std::stop_token& stop)
{
    std::int64_t lo = 0, hi = 0;
    window_of(w, i, lo, hi);
    sieve.sieve(lo, hi, stop);
    return w.up ? sieve.kth_from_bottom(k) : sieve.kth_from_top(k);
}

// The search on the calling thread: window after window until one holds the
// k-th prime.
std::int64_t search_alone(const search_plan& plan, std::int64_t k, const parallel_options& options,
                          const std::function<void(double)>& progress)
{
    const windows& w = plan.w;
    segment_sieve sieve;
    for (std::int64_t i = 0;; ++i) {
        if (options.stop.stop_requested())
            throw cancelled();
        std::int64_t lo = 0, hi = 0;
        window_of(w, i, lo, hi);
        const std::int64_t count = sieve.sieve(lo, hi, options.stop);
        if (count >= k)
            return w.up ? sieve.kth_from_bottom(k) : sieve.kth_from_top(k);
        k -= count;
        if (progress)
            progress(std::min(static_cast<double>(i + 1) / plan.expected, 0.99));
    }
}

// The counts of the windows that the workers of a search on threads have
// sieved, each taking the next window in turn, until `finished` is stopped
// or the windows run out; and the first failure of any of them.
struct window_tally {
    std::mutex mutex;
    std::condition_variable counted;
    std::map<std::int64_t, std::int64_t> counts;  // window -> primes in it
    std::exception_ptr failure;
    std::atomic<std::int64_t> next{0};

    // A worker's loop.
    void sieve_in_turn(const windows& w, const std::stop_token& stop)
    {
        try {
            segment_sieve sieve;
            while (!stop.stop_requested()) {
                const std::int64_t i = next.fetch_add(1);
                std::int64_t lo = 0, hi = 0;
                if (!w.bounds(i, lo, hi))
                    break;
                const std::int64_t count = sieve.sieve(lo, hi, stop);
                const std::lock_guard<std::mutex> lock(mutex);
                counts[i] = count;
                counted.notify_all();
            }
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex);
            if (!failure)
                failure = std::current_exception();
            counted.notify_all();
        }
    }

    // Adds up the counts in the order of the windows, from window i on, as
    // far as they are in: returns the window that holds the k-th prime, with
    // k the rank of that prime in it, or -1 with i the window to wait for
    // next. Rethrows a worker's failure.
    std::int64_t take_in_order(std::int64_t& i, std::int64_t& k)
    {
        std::unique_lock<std::mutex> lock(mutex);
        counted.wait_for(lock, PROGRESS_EVERY, [&] { return counts.count(i) != 0 || failure; });
        if (failure)
            std::rethrow_exception(failure);
        for (auto it = counts.find(i); it != counts.end() && it->first == i; it = counts.find(i)) {
            if (it->second >= k)
                return i;
            k -= it->second;
            counts.erase(it);
            ++i;
        }
        return -1;
    }
};

// The search on threads: workers sieve the windows in turn and report their
// counts; this thread adds them up in order until one holds the k-th prime.
// Then, or on a failure or a stop request, the workers drop the windows in
// hand, and the window found is sieved once more to find the prime in it.
std::int64_t search_on_threads(const search_plan& plan, std::int64_t k, const parallel_options& options,
                               const std::function<void(double)>& progress)
{
    const windows& w = plan.w;
    window_tally tally;
    std::stop_source finished;
    const std::stop_callback finish_on_stop(options.stop, [&finished] { finished.request_stop(); });
    std::vector<std::thread> workers;
    const auto stop_workers = [&] {
        finished.request_stop();
        for (std::thread& t : workers)
            t.join();
        workers.clear();
    };
    std::int64_t found = -1;
    try {
        for (int t = 0; t < plan.threads; ++t)
            workers.emplace_back([&] { tally.sieve_in_turn(w, finished.get_token()); });
        for (std::int64_t i = 0; found < 0;) {
            found = tally.take_in_order(i, k);
            if (options.stop.stop_requested())
                throw cancelled();
            if (progress)
                progress(std::min(static_cast<double>(i) / plan.expected, 0.99));
            std::int64_t lo = 0, hi = 0;
            if (found < 0 && !w.bounds(i, lo, hi))
                ran_past_the_range();
        }
    } catch (...) {
        stop_workers();
        throw;
    }
    stop_workers();
    segment_sieve sieve;
    return kth_in_window(w, sieve, found, k, options.stop);
}

}  // namespace

std::int64_t kth_prime_from(std::int64_t x, bool up, std::int64_t k, int threads, const parallel_options& options,
                            const std::function<void(double)>& progress)
{
    const search_plan plan = plan_search(x, up, k, threads);
    return plan.threads <= 1 ? search_alone(plan, k, options, progress) : search_on_threads(plan, k, options, progress);
}

}  // namespace roughpi::detail
