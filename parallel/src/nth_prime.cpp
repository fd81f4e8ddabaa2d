// The n-th prime: the count at the estimate, then the sieve of the windows
// between the estimate and p_n, on as many threads as asked for; every
// result checked before it is returned.
#include "segment_sieve.hpp"
#include "thread_count.hpp"

#include <roughpi/error.hpp>
#include <roughpi/estimates.hpp>
#include <roughpi/nth_prime.hpp>
#include <roughpi/prime_count.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace roughpi {

namespace {

using detail::segment_sieve;

// Below this estimate the sieve from 0 alone is quicker than a count (it is
// one window).
constexpr std::int64_t SIEVE_ALONE_BELOW = segment_sieve::WINDOW;

// The share of the progress given to the count; the sieve has the rest.
constexpr double COUNT_SHARE = 0.95;

constexpr std::chrono::milliseconds PROGRESS_EVERY{100};

[[noreturn]] void refuse(const std::string& what) { throw input_error("roughpi: " + what); }

// a * b mod m, for a, b < m < 2^63.
std::uint64_t multiply_mod(std::uint64_t a, std::uint64_t b, std::uint64_t m)
{
#if defined(__SIZEOF_INT128__)
    __extension__ typedef unsigned __int128 wide;
    return static_cast<std::uint64_t>(static_cast<wide>(a) * b % m);
#else
    std::uint64_t result = 0;
    for (a %= m; b != 0; b >>= 1) {
        if (b & 1)
            result = result >= m - a ? result - (m - a) : result + a;
        a = a >= m - a ? a - (m - a) : a + a;
    }
    return result;
#endif
}

// Deterministic for every n < 2^64: the Miller-Rabin test to the twelve
// prime bases up to 37.
bool is_prime(std::uint64_t n)
{
    if (n < 2)
        return false;
    constexpr std::uint64_t bases[] = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37};
    for (const std::uint64_t p : bases)
        if (n % p == 0)
            return n == p;
    std::uint64_t d = n - 1;
    int s = 0;
    for (; d % 2 == 0; d /= 2)
        ++s;
    for (const std::uint64_t a : bases) {
        std::uint64_t x = 1;
        for (std::uint64_t power = a, e = d; e != 0; e >>= 1, power = multiply_mod(power, power, n))
            if (e & 1)
                x = multiply_mod(x, power, n);
        if (x == 1 || x == n - 1)
            continue;
        bool composite = true;
        for (int r = 1; r < s && composite; ++r) {
            x = multiply_mod(x, x, n);
            composite = x != n - 1;
        }
        if (composite)
            return false;
    }
    return true;
}

// The net under every result, as under every count: p_n is prime, and
// within proven bounds,
//   n (ln n + ln ln n - 1) < p_n        for n >= 2   Dusart (1999)
//   p_n < n (ln n + ln ln n)            for n >= 6   Rosser (1938)
// widened by far more than their rounding. (P. Dusart, "The kth prime is
// greater than k(ln k + ln ln k - 1) for k >= 2", Math. Comp. 68 (1999);
// J. B. Rosser, "The n-th prime is greater than n log n", Proc. London Math.
// Soc. 45 (1939).)
std::int64_t checked(std::int64_t n, std::int64_t p)
{
    bool within = true;
    if (n >= 6) {
        const auto nl = static_cast<long double>(n);
        const long double log_n = std::log(nl);
        const long double log_log_n = std::log(log_n);
        within = static_cast<long double>(p) >= nl * (log_n + log_log_n - 1) * (1 - 1e-9L) - 1 &&
                 static_cast<long double>(p) <= nl * (log_n + log_log_n) * (1 + 1e-9L) + 1;
    }
    if (!within || !is_prime(static_cast<std::uint64_t>(p)))
        throw internal_error("roughpi: internal error: the " + std::to_string(n) + "-th prime came out as " +
                             std::to_string(p) + ", which is " + (within ? "not prime" : "outside the proven bounds") +
                             "; no result is given");
    return p;
}

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

// The k-th prime (k >= 1) above x (up) or at or below it, on `threads`
// threads; progress is the share of the windows expected.
std::int64_t walk(std::int64_t x, bool up, std::int64_t k, int threads, const parallel_options& options,
                  const std::function<void(double)>& progress)
{
    // About ln x integers per prime: windows a little longer than the
    // stretch that should hold k primes, as long as the sieve's buffer, or
    // (for a short stretch) the smallest that pays for finding the sieving
    // primes.
    const double far_end = std::max(static_cast<double>(x), static_cast<double>(k) * std::log(static_cast<double>(k) + 2));
    const double stretch = 1.25 * static_cast<double>(k) * std::log(std::max(far_end, 3.0));
    const std::int64_t length =
        stretch >= static_cast<double>(segment_sieve::WINDOW)
            ? segment_sieve::WINDOW
            : std::max<std::int64_t>(static_cast<std::int64_t>(std::ceil(stretch)), 1 << 16);
    const windows w{x, up, length};
    const double expected = std::max(1.0, stretch / static_cast<double>(length));
    threads = static_cast<int>(std::min<double>(threads, std::ceil(expected)));
    const auto window_of = [&](std::int64_t i, std::int64_t& lo, std::int64_t& hi) {
        if (!w.bounds(i, lo, hi))
            throw internal_error("roughpi: internal error: the sieve ran past the range without finding its prime");
    };
    const auto locate = [&](segment_sieve& sieve, std::int64_t i, std::int64_t rest) {
        std::int64_t lo = 0, hi = 0;
        window_of(i, lo, hi);
        sieve.sieve(lo, hi, options.stop);
        return w.up ? sieve.kth_from_bottom(rest) : sieve.kth_from_top(rest);
    };

    if (threads <= 1) {
        segment_sieve sieve;
        for (std::int64_t i = 0;; ++i) {
            if (options.stop.stop_requested())
                throw cancelled();
            std::int64_t lo = 0, hi = 0;
            window_of(i, lo, hi);
            const std::int64_t count = sieve.sieve(lo, hi, options.stop);
            if (count >= k)
                return w.up ? sieve.kth_from_bottom(k) : sieve.kth_from_top(k);
            k -= count;
            if (progress)
                progress(std::min(static_cast<double>(i + 1) / expected, 0.99));
        }
    }

    // Workers sieve the windows in turn and report their counts; this thread
    // adds them up in order until one holds the k-th prime. Then, or on a
    // failure or a stop request, the workers drop the windows in hand.
    std::mutex mutex;
    std::condition_variable counted;
    std::map<std::int64_t, std::int64_t> counts;  // window -> primes in it
    std::exception_ptr failure;
    std::atomic<std::int64_t> next{0};
    std::stop_source finished;
    const std::stop_callback finish_on_stop(options.stop, [&finished] { finished.request_stop(); });
    const auto work = [&] {
        try {
            segment_sieve sieve;
            const std::stop_token stop = finished.get_token();
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
    };
    std::vector<std::thread> workers;
    const auto stop_workers = [&] {
        finished.request_stop();
        for (std::thread& t : workers)
            t.join();
        workers.clear();
    };
    std::int64_t found = -1;
    try {
        for (int t = 0; t < threads; ++t)
            workers.emplace_back(work);
        for (std::int64_t i = 0; found < 0;) {
            std::unique_lock<std::mutex> lock(mutex);
            counted.wait_for(lock, PROGRESS_EVERY, [&] { return counts.count(i) != 0 || failure; });
            if (failure)
                std::rethrow_exception(failure);
            for (auto it = counts.find(i); it != counts.end() && it->first == i; it = counts.find(i)) {
                if (it->second >= k) {
                    found = i;
                    break;
                }
                k -= it->second;
                counts.erase(it);
                ++i;
            }
            lock.unlock();
            if (options.stop.stop_requested())
                throw cancelled();
            if (progress)
                progress(std::min(static_cast<double>(i) / expected, 0.99));
            std::int64_t lo = 0, hi = 0;
            if (found < 0 && !w.bounds(i, lo, hi))
                throw internal_error("roughpi: internal error: the sieve ran past the range without finding its prime");
        }
    } catch (...) {
        stop_workers();
        throw;
    }
    stop_workers();
    segment_sieve sieve;
    return locate(sieve, found, k);
}

std::int64_t from_count(std::int64_t n, std::int64_t x, std::int64_t pi_x, const parallel_options& options,
                        double progress_from)
{
    const int threads = detail::resolve_threads(options.threads);
    std::function<void(double)> progress;
    if (options.progress)
        progress = [&](double share) { options.progress(progress_from + (1 - progress_from) * share); };
    // p_n is the (pi_x - n + 1)-th prime at or below x, or the (n - pi_x)-th above it.
    const std::int64_t p = pi_x >= n ? walk(x, false, pi_x - n + 1, threads, options, progress)
                                     : walk(x, true, n - pi_x, threads, options, progress);
    const std::int64_t result = checked(n, p);
    if (options.progress)
        options.progress(1.0);
    return result;
}

}  // namespace

std::int64_t nth_prime_from_count(std::int64_t n, std::int64_t x, std::int64_t pi_x, const parallel_options& options)
{
    nth_prime_estimate(n);  // refuses n out of range
    if (x < 0)
        refuse("nth_prime_from_count: x = " + std::to_string(x) + " is below 0");
    // The caller's count must at least be one that pi(x) can be; where the
    // count takes milliseconds it must be the count itself. (Above, a count
    // that is off by a little within the bounds gives a prime near p_n that
    // the bounds on p_n may not catch: the caller vouches for it.)
    const prime_count_interval bounds = prime_count_bounds(x);
    if (pi_x < bounds.lower || pi_x > bounds.upper)
        refuse("nth_prime_from_count: pi(" + std::to_string(x) + ") = " + std::to_string(pi_x) +
               " cannot be: pi(" + std::to_string(x) + ") is proven to lie in [" + std::to_string(bounds.lower) +
               ", " + std::to_string(bounds.upper) + "]");
    if (x < PARALLEL_FROM && pi_x != prime_count(x))
        refuse("nth_prime_from_count: pi(" + std::to_string(x) + ") = " + std::to_string(pi_x) +
               " is not so: pi(" + std::to_string(x) + ") = " + std::to_string(prime_count(x)));
    return from_count(n, x, pi_x, options, 0.0);
}

std::int64_t nth_prime_parallel(std::int64_t n, const parallel_options& options)
{
    const std::int64_t x = nth_prime_estimate(n);  // refuses n out of range
    detail::resolve_threads(options.threads);       // and a thread count out of range, before anything starts
    if (options.stop.stop_requested())
        throw cancelled();
    if (x < SIEVE_ALONE_BELOW)
        return from_count(n, 0, 0, options, 0.0);
    parallel_options count_options;
    count_options.threads = options.threads;
    count_options.stop = options.stop;
    count_options.double_check = options.double_check;
    if (options.progress)
        count_options.progress = [&](double share) { options.progress(COUNT_SHARE * share); };
    const std::int64_t pi_x = prime_count_parallel(x, count_options);
    return from_count(n, x, pi_x, options, COUNT_SHARE);
}

std::int64_t nth_prime(std::int64_t n, std::stop_token stop)
{
    parallel_options options;
    options.threads = 1;
    options.stop = std::move(stop);
    return nth_prime_parallel(n, options);
}

}  // namespace roughpi
