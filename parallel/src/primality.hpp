// SPDX-License-Identifier: MIT
// Whether a number below 2^64 is prime, by a test that is deterministic
// there (primality.cpp): the check of every n-th prime before it is returned.
#pragma once

#include <cstdint>

namespace roughpi::detail {

bool is_prime(std::uint64_t n);

}  // namespace roughpi::detail
