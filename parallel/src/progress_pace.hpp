// SPDX-License-Identifier: MIT
// How often the count on threads (parallel_count.cpp) and the n-th prime's
// sieve (window_search.cpp) report their progress, and look for a stop
// request while they wait for their workers. The share of the n-th prime's
// progress that its count takes is public (NTH_PRIME_COUNT_SHARE in
// roughpi/nth_prime.hpp), for the tools that make the count themselves.
#pragma once

#include <chrono>

namespace roughpi::detail {

inline constexpr std::chrono::milliseconds PROGRESS_EVERY{100};

}  // namespace roughpi::detail
