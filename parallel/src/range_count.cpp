// SPDX-License-Identifier: MIT
// The primes in [a, b]: two counts, a sieve of the range on every thread, or
// a test of each of its integers, whichever the estimates below find
// cheapest (see roughpi/range.hpp).
#include "primality.hpp"
#include "segment_sieve.hpp"
#include "thread_count.hpp"

#include <roughpi/error.hpp>
#include <roughpi/prime_count.hpp>
#include <roughpi/range.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace roughpi {

namespace {

using detail::segment_sieve;

// The cost rule, in seconds of one core of the 2-core Zen 4 machine of
// doc/performance.md (AVX-512 path):
//
//   count(x) = COUNT_AT_1E14 (x / 10^14)^COUNT_EXPONENT + COUNT_FLOOR
//   sieve    = windows * SEARCH_PER_ROOT * sqrt(b) + PER_INTEGER * (b - a + 1)
//
// A count grows about 6.7 times per tenfold x from 10^14 on (0.53 s at
// 10^14 on one core, the table of doc/performance.md), a little less below;
// under 10^10 it takes a millisecond or less, which the floor stands for. A
// window of the sieve first finds every prime up to the square root of its
// top by sieving the odd numbers up to it (the search: 1.2 s at b = 10^18,
// nearly all of a short window's time), then crosses off its integers (2 to
// 7 ns each, more for large b and long windows, whose bits leave the cache).
// The sieve's constants are user times of a single window at 10^12, 10^15 and
// 10^18 (roughpi-range-bench and a window timed alone), taken on the same
// machine under load and scaled by the count of 10^14 then (0.90 s) to the
// table's 0.53 s.
constexpr double COUNT_AT_1E14 = 0.53;
constexpr double COUNT_EXPONENT = 0.83;
constexpr double COUNT_FLOOR = 2e-4;
constexpr double SEARCH_PER_ROOT = 0.75e-9;
constexpr double PER_INTEGER = 2.5e-9;

// A range far shorter than sqrt(b) is cheaper tested than sieved: the rule
// takes a window's search as SEARCH_PER_ROOT * sqrt(b) (0.75 s at 10^18),
// and a short range has a window per thread, while the Miller-Rabin test of
// an integer, after trial division by the primes to 37, takes 0.23 to
// 0.28 us from 10^12 to 2^63 (most composites fail at the first base, each
// prime takes all twelve). That was measured on one core of the 2.8 GHz
// Xeon of doc/performance.md, not the Zen 4 machine of the constants above;
// a factor of two either way moves where the rule changes its way, never a
// count. So below about 2.5 10^6 integers a thread at 10^18, or 2500 at
// 10^12, the integers are tested. The threads share them in runs of at
// least MIN_TESTED.
constexpr double TEST_PER_INTEGER = 0.3e-6;

// The windows of the sieve: at least MIN_WINDOW integers where the range is
// that long (shorter ones would spend their time on the search), about
// ROOTS_PER_WINDOW square roots of b, so that the search is a fifth of the
// time of a window or less, and no more than MAX_WINDOW (16 MiB of bits).
constexpr std::int64_t MIN_WINDOW = std::int64_t{1} << 20;
constexpr std::int64_t MAX_WINDOW = std::int64_t{1} << 28;
constexpr double ROOTS_PER_WINDOW = 4 * SEARCH_PER_ROOT / PER_INTEGER;

constexpr std::chrono::milliseconds PROGRESS_EVERY{100};

[[noreturn]] void refuse(const std::string& what) { throw input_error("roughpi: prime_count_range: " + what); }

void check_range(std::int64_t a, std::int64_t b)
{
    if (a < 0 || b < 0)
        refuse(std::string(a < 0 ? "a = " + std::to_string(a) : "b = " + std::to_string(b)) + " is below 0");
    if (a > b)
        refuse("a = " + std::to_string(a) + " is above b = " + std::to_string(b) +
               ": the range [a, b] must have a <= b");
    // Both at most 2^63 - 1 as int64 values.
}

double count_seconds(std::int64_t x)
{
    if (x < 2)
        return 0.0;
    return COUNT_AT_1E14 * std::pow(static_cast<double>(x) / 1e14, COUNT_EXPONENT) + COUNT_FLOOR;
}

// The length of the windows of [a, b] on `threads` threads: so that every
// thread has a window, and as the constants above say.
std::int64_t window_length(std::int64_t a, std::int64_t b, int threads)
{
    const double root = std::sqrt(static_cast<double>(b));
    const double wanted =
        std::clamp(ROOTS_PER_WINDOW * root, static_cast<double>(MIN_WINDOW), static_cast<double>(MAX_WINDOW));
    const std::int64_t length = b - a;  // + 1, which may not fit
    const std::int64_t share = length / threads + 1;
    return std::max<std::int64_t>(1, std::min(static_cast<std::int64_t>(wanted), share));
}

// The number of windows of [a, b] of `window` integers each.
std::int64_t window_count(std::int64_t a, std::int64_t b, std::int64_t window) { return (b - a) / window + 1; }

double sieve_seconds(std::int64_t a, std::int64_t b, std::int64_t window)
{
    return static_cast<double>(window_count(a, b, window)) * SEARCH_PER_ROOT * std::sqrt(static_cast<double>(b)) +
        PER_INTEGER * (static_cast<double>(b - a) + 1.0);
}

double test_seconds(std::int64_t a, std::int64_t b) { return TEST_PER_INTEGER * (static_cast<double>(b - a) + 1.0); }

// The shares of a tested range: one per thread, of at least MIN_TESTED
// integers, so that a short range is not spread over threads for nothing.
constexpr std::int64_t MIN_TESTED = 4096;

std::int64_t tested_length(std::int64_t a, std::int64_t b, int threads)
{
    return std::max<std::int64_t>(MIN_TESTED, (b - a) / threads + 1);
}

// The primes of the window [lo, hi], sieved or tested.
std::int64_t count_window(segment_sieve* sieve, std::int64_t lo, std::int64_t hi, const std::stop_token& stop)
{
    if (sieve == nullptr)
        return detail::count_primes_tested(static_cast<std::uint64_t>(lo), static_cast<std::uint64_t>(hi), stop);
    return sieve->sieve(lo, hi, stop);
}

// pi(b) - pi(a - 1), each a count on every thread; progress split by their
// estimated times.
std::int64_t by_counts(std::int64_t a, std::int64_t b, const parallel_options& options)
{
    const double top = count_seconds(b);
    const double bottom = a > 0 ? count_seconds(a - 1) : 0.0;
    const double top_share = top + bottom > 0 ? top / (top + bottom) : 1.0;
    parallel_options count = options;
    count.piece_done = nullptr;
    if (options.progress)
        count.progress = [&](double done) { options.progress(top_share * done); };
    const std::int64_t pi_b = prime_count_parallel(b, count);
    std::int64_t pi_a = 0;
    if (a > 0) {
        if (options.progress)
            count.progress = [&](double done) { options.progress(top_share + (1 - top_share) * done); };
        pi_a = prime_count_parallel(a - 1, count);
    }
    if (options.progress)
        options.progress(1.0);
    return pi_b - pi_a;
}

// The primes in [a, b] by sieving (or, if `test`, testing) windows of
// `window` integers, which the threads take in turn; progress is the share
// of the windows done.
std::int64_t by_sieve(std::int64_t a, std::int64_t b, std::int64_t window, bool test, int threads,
                      const parallel_options& options, const std::function<void(double)>& progress)
{
    const std::int64_t windows = window_count(a, b, window);
    const auto bounds = [&](std::int64_t i, std::int64_t& lo, std::int64_t& hi) {
        lo = a + i * window;
        hi = b - lo < window ? b : lo + (window - 1);
    };
    threads = static_cast<int>(std::min<std::int64_t>(threads, windows));
    if (threads == 1 && windows == 1) {
        std::int64_t count = 0;
        if (test) {
            count = count_window(nullptr, a, b, options.stop);
        } else {
            segment_sieve sieve(b - a + 1);
            count = count_window(&sieve, a, b, options.stop);
        }
        if (progress)
            progress(1.0);
        return count;
    }

    std::mutex mutex;
    std::condition_variable finished_one;
    std::exception_ptr failure;
    int running = threads;
    std::atomic<std::int64_t> next{0};
    std::atomic<std::int64_t> done{0};
    std::atomic<std::int64_t> total{0};
    std::stop_source finished;
    const std::stop_callback finish_on_stop(options.stop, [&finished] { finished.request_stop(); });
    const auto work = [&] {
        try {
            std::vector<segment_sieve> sieve;  // none where the windows are tested
            if (!test)
                sieve.emplace_back(window);
            const std::stop_token stop = finished.get_token();
            for (std::int64_t i = next.fetch_add(1); i < windows && !stop.stop_requested(); i = next.fetch_add(1)) {
                std::int64_t lo = 0, hi = 0;
                bounds(i, lo, hi);
                total.fetch_add(count_window(test ? nullptr : sieve.data(), lo, hi, stop));
                done.fetch_add(1);
            }
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex);
            if (!failure)
                failure = std::current_exception();
            finished.request_stop();
        }
        const std::lock_guard<std::mutex> lock(mutex);
        --running;
        finished_one.notify_all();
    };
    std::vector<std::thread> workers;
    const auto join_workers = [&] {
        for (std::thread& t : workers)
            t.join();
        workers.clear();
    };
    try {
        for (int t = 0; t < threads; ++t)
            workers.emplace_back(work);
        std::unique_lock<std::mutex> lock(mutex);
        while (!finished_one.wait_for(lock, PROGRESS_EVERY, [&] { return running == 0; })) {
            lock.unlock();
            if (progress)
                progress(static_cast<double>(done.load()) / static_cast<double>(windows));
            lock.lock();
        }
    } catch (...) {
        finished.request_stop();
        join_workers();
        throw;
    }
    join_workers();
    if (options.stop.stop_requested())
        throw cancelled();
    if (failure)
        std::rethrow_exception(failure);
    if (done.load() != windows)
        throw internal_error("roughpi: internal error: the sieve of a range left windows unsieved");
    if (progress)
        progress(1.0);
    return total.load();
}

}  // namespace

range_costs prime_count_range_costs(std::int64_t a, std::int64_t b, int threads)
{
    check_range(a, b);
    const int t = detail::resolve_threads(threads);
    return {count_seconds(b) + (a > 0 ? count_seconds(a - 1) : 0.0), sieve_seconds(a, b, window_length(a, b, t)),
            test_seconds(a, b)};
}

range_method prime_count_range_method(std::int64_t a, std::int64_t b, int threads)
{
    const range_costs costs = prime_count_range_costs(a, b, threads);
    if (costs.tests < costs.sieve && costs.tests <= costs.counts)
        return range_method::tests;
    return costs.sieve <= costs.counts ? range_method::sieve : range_method::counts;
}

std::int64_t prime_count_range(std::int64_t a, std::int64_t b, const parallel_options& options, range_method method)
{
    check_range(a, b);
    const int threads = detail::resolve_threads(options.threads);
    if (options.stop.stop_requested())
        throw cancelled();
    if (method == range_method::automatic)
        method = prime_count_range_method(a, b, threads);
    if (method == range_method::counts)
        return by_counts(a, b, options);  // each count double-checked by prime_count_parallel if asked
    const bool test = method == range_method::tests;
    const std::int64_t window = test ? tested_length(a, b, threads) : window_length(a, b, threads);
    if (!options.double_check)
        return by_sieve(a, b, window, test, threads, options, options.progress);
    // Once more with windows two thirds as long, which end elsewhere (unless
    // the range is a single short window, where they are the same).
    const auto half = [&](double from) -> std::function<void(double)> {
        if (!options.progress)
            return {};
        return [&options, from](double done) { options.progress(from + 0.5 * done); };
    };
    const std::int64_t first = by_sieve(a, b, window, test, threads, options, half(0.0));
    const std::int64_t second =
        by_sieve(a, b, std::max<std::int64_t>(1, window - window / 3), test, threads, options, half(0.5));
    if (first != second)
        throw internal_error("roughpi: internal error: the double check of the primes in [" + std::to_string(a) + ", " +
                             std::to_string(b) + "] failed: the first pass gave " + std::to_string(first) +
                             ", the second " + std::to_string(second) + "; no result is given");
    return first;
}

}  // namespace roughpi
