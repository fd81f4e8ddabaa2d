// SPDX-License-Identifier: MIT
// SipHash-2-4: a keyed hash of 64 bits, a message authentication code for
// short messages. Without the 128-bit key, its value for a message cannot be
// worked out, not even from the values of other messages.
#pragma once

#include <cstdint>
#include <string_view>

namespace roughpi::tools {

// The key as two 64-bit words: its bytes 0 to 7 and 8 to 15, each read
// little-endian.
struct siphash_key {
    std::uint64_t k0 = 0;
    std::uint64_t k1 = 0;
};

std::uint64_t siphash24(const siphash_key& key, std::string_view message);

}  // namespace roughpi::tools
