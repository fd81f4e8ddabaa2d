// SPDX-License-Identifier: MIT
// Proven bounds on the n-th prime p_n, part of the net under every n-th
// prime the library returns (nth_prime_bounds.cpp).
#pragma once

#include <cstdint>

namespace roughpi::detail {

// Whether p lies within the proven bounds on p_n (always, for n < 6).
bool within_nth_prime_bounds(std::int64_t n, std::int64_t p);

}  // namespace roughpi::detail
