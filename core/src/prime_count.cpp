// SPDX-License-Identifier: MIT
#include "factor_counts.hpp"
#include "loop/path_kernels.hpp"
#include "prime_bounds.hpp"
#include "refusal.hpp"
#include "small_primes.hpp"
#include "terms.hpp"
#include "wheel.hpp"

#include <roughpi/prime_count.hpp>

namespace roughpi {

namespace detail {

std::int64_t pi_from_term_sums(std::int64_t x, const wide_int (&sums)[TERM_SUMS])
{
    if (x < 2)
        return 0;
    if (x < FIRST_ROUGH)
        return SMALL_PRIME_COUNT_TABLE[x];
    // Each S_k is a multiple of k. Sums that came from outside may hold
    // anything, so the total is taken with a check for overflow.
    wide_int result = 6;
    for (int k = 1; k < TERM_SUMS; ++k)
        if (!add_within(result, sums[k] / k))
            fail_internally("pi(%lld) came out beyond 128 bits; no result is given", static_cast<long long>(x));
    return checked_pi(x, result);
}

namespace {

// D_j(y) of a term, whole.
wide_int term_count(const term& t, const path_kernels& kernels, stop_poll stop)
{
    if (t.j == 1)
        return count_rough_in_range(FIRST_ROUGH, t.y);
    if (t.j == 2)
        return count_factor_pairs_wide(t.y, FIRST_ROUGH, 2, 1, kernels, stop);
    return count_factor_tuples_wide(t.y, FIRST_ROUGH, factorial(t.j), 1, t.j, kernels, stop);
}

std::int64_t count_with(std::int64_t x, const path_kernels& kernels, stop_poll stop = {})
{
    // Below 17 no rough number exists and the sums are empty.
    wide_int sums[TERM_SUMS] = {};
    if (x >= FIRST_ROUGH) {
        ensure_wheel_tables();
        for_each_term(x, [&](const term& t) {
            const wide_int d = term_count(t, kernels, stop);
            sums[t.i * t.j] += t.sign > 0 ? d : -d;
        });
    }
    return pi_from_term_sums(x, sums);
}

}  // namespace

}  // namespace detail

std::int64_t prime_count(std::int64_t x, counting_path path) { return detail::count_with(x, detail::kernels_of(path)); }

namespace detail {
namespace {

// prime_count(x), stopped by `stop`. (The count takes a poll, not a
// std::stop_token of its own: an empty token made here would bring in the
// release of a token's shared state, and with it the heap.)
std::int64_t count_whole(std::int64_t x, stop_poll stop)
{
    // Small x from the tables: the six primes below 17, then the rough ones.
    if (x < FIRST_ROUGH)
        return x < 2 ? 0 : SMALL_PRIME_COUNT_TABLE[x];
    if (x < SMALL_TABLE_LIMIT) {
        ensure_wheel_tables();
        return small_prime_count(x);
    }
    return count_with(x, best_kernels(), stop);
}

}  // namespace
}  // namespace detail

std::int64_t prime_count(std::int64_t x) { return detail::count_whole(x, detail::stop_poll()); }

std::int64_t prime_count(std::int64_t x, const std::stop_token& stop)
{
    return detail::count_whole(x, detail::stop_poll(stop));
}

prime_count_interval prime_count_bounds(std::int64_t x) noexcept
{
    const detail::pi_bounds bounds = detail::proven_pi_bounds(x);
    return {bounds.lower, bounds.upper};
}

}  // namespace roughpi
