// SPDX-License-Identifier: MIT
// The search of the n-th prime's sieve: from the count at x, the windows
// next to x sieved one after another, upward or downward, on as many threads
// as asked for, until they hold the prime sought (window_search.cpp).
#pragma once

#include <roughpi/parallel.hpp>

#include <cstdint>
#include <functional>

namespace roughpi::detail {

// The k-th prime (k >= 1) above x (up) or at or below it, on `threads`
// threads; progress is the share of the windows expected. Throws cancelled
// when options.stop is stopped.
std::int64_t kth_prime_from(std::int64_t x, bool up, std::int64_t k, int threads, const parallel_options& options,
                            const std::function<void(double)>& progress);

}  // namespace roughpi::detail
