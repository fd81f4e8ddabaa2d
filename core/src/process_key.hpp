// SPDX-License-Identifier: MIT
// The key that seals the pieces this process makes (pieces.hpp): 128 bits
// from the operating system's random source, drawn on first use and never
// shown. No piece made elsewhere, or changed since, carries its seal.
#pragma once

#include <siphash.hpp>

namespace roughpi::detail {

// The same key for the life of the process; safe from any number of threads.
// No heap.
const siphash_key& process_key() noexcept;

}  // namespace roughpi::detail
