// SPDX-License-Identifier: MIT
// The n-th prime: the count at the estimate, then the sieve of the windows
// between the estimate and p_n, on as many threads as asked for; every
// result checked before it is returned.
#include "nth_prime_bounds.hpp"
#include "primality.hpp"
#include "refusals.hpp"
#include "segment_sieve.hpp"
#include "thread_count.hpp"
#include "window_search.hpp"

#include <roughpi/error.hpp>
#include <roughpi/estimates.hpp>
#include <roughpi/nth_prime.hpp>
#include <roughpi/prime_count.hpp>

#include <stop_token>
#include <string>

namespace roughpi {

namespace {

using detail::segment_sieve;

// Below this estimate the sieve from 0 alone is quicker than a count (it is
// one window).
constexpr std::int64_t SIEVE_ALONE_BELOW = segment_sieve::WINDOW;

using detail::refuse;

// The net under every result, as under every count: p_n is prime, and
// within proven bounds (nth_prime_bounds.hpp).
std::int64_t checked(std::int64_t n, std::int64_t p)
{
    const bool within = detail::within_nth_prime_bounds(n, p);
    if (!within || !detail::is_prime(static_cast<std::uint64_t>(p)))
        detail::fail_internally("the " + std::to_string(n) + "-th prime came out as " + std::to_string(p) +
                                ", which is " + (within ? "not prime" : "outside the proven bounds") +
                                "; no result is given");
    return p;
}

std::int64_t from_count(std::int64_t n, std::int64_t x, std::int64_t pi_x, const parallel_options& options,
                        double progress_from)
{
    const int threads = detail::resolve_threads(options.threads);
    std::function<void(double)> progress;
    if (options.progress)
        progress = [&](double share) { options.progress(progress_from + (1 - progress_from) * share); };
    // p_n is the (pi_x - n + 1)-th prime at or below x, or the (n - pi_x)-th above it.
    const std::int64_t p = pi_x >= n ? detail::kth_prime_from(x, false, pi_x - n + 1, threads, options, progress)
                                     : detail::kth_prime_from(x, true, n - pi_x, threads, options, progress);
    const std::int64_t result = checked(n, p);
    if (options.progress)
        options.progress(1.0);
    return result;
}

// The primes of prime_count's table, p_n for n up to pi(PRIME_TABLE_LIMIT - 1),
// found as the least x with pi(x) >= n by bisection: 17 lookups.
std::int64_t from_table(std::int64_t n)
{
    std::int64_t lo = 2, hi = PRIME_TABLE_LIMIT - 1;  // pi(lo - 1) < n <= pi(hi)
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (prime_count(mid) >= n)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
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
        refuse("nth_prime_from_count: pi(" + std::to_string(x) + ") = " + std::to_string(pi_x) + " cannot be: pi(" +
               std::to_string(x) + ") is proven to lie in [" + std::to_string(bounds.lower) + ", " +
               std::to_string(bounds.upper) + "]");
    if (x < PARALLEL_FROM && pi_x != prime_count(x))
        refuse("nth_prime_from_count: pi(" + std::to_string(x) + ") = " + std::to_string(pi_x) + " is not so: pi(" +
               std::to_string(x) + ") = " + std::to_string(prime_count(x)));
    return from_count(n, x, pi_x, options, 0.0);
}

std::int64_t nth_prime_parallel(std::int64_t n, const parallel_options& options)
{
    const std::int64_t x = nth_prime_estimate(n);  // refuses n out of range
    detail::resolve_threads(options.threads);      // and a thread count out of range, before anything starts
    if (options.stop.stop_requested())
        throw cancelled();
    if (n <= prime_count(PRIME_TABLE_LIMIT - 1)) {
        const std::int64_t p = checked(n, from_table(n));
        if (options.progress)
            options.progress(1.0);
        return p;
    }
    if (x < SIEVE_ALONE_BELOW)
        return from_count(n, 0, 0, options, 0.0);
    parallel_options count_options;
    count_options.threads = options.threads;
    count_options.stop = options.stop;
    count_options.double_check = options.double_check;
    if (options.progress)
        count_options.progress = [&](double share) { options.progress(NTH_PRIME_COUNT_SHARE * share); };
    const std::int64_t pi_x = prime_count_parallel(x, count_options);
    return from_count(n, x, pi_x, options, NTH_PRIME_COUNT_SHARE);
}

std::int64_t nth_prime(std::int64_t n, std::stop_token stop)
{
    parallel_options options;
    options.threads = 1;
    options.stop = std::move(stop);
    return nth_prime_parallel(n, options);
}

}  // namespace roughpi
