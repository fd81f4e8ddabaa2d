// SPDX-License-Identifier: MIT
#include "process_key.hpp"

#if defined(_WIN32)
#  define _CRT_RAND_S  // rand_s: the system's cryptographic generator (RtlGenRandom)
#  include <stdlib.h>
#else
#  include <unistd.h>  // getentropy
#endif

#include <chrono>
#include <cstdint>
#include <cstring>

namespace roughpi::detail {

namespace {

// 16 bytes from the system's random source; false if it has none to give.
bool system_random(unsigned char (&bytes)[16]) noexcept
{
#if defined(_WIN32)
    for (int i = 0; i < 4; ++i) {
        unsigned int word = 0;
        if (rand_s(&word) != 0)
            return false;
        std::memcpy(bytes + 4 * i, &word, 4);
    }
    return true;
#else
    return getentropy(bytes, sizeof bytes) == 0;
#endif
}

siphash_key draw_key() noexcept
{
    unsigned char bytes[16] = {};
    if (!system_random(bytes)) {
        // A system without a random source (none that roughpi is built for):
        // the clock and where this process was loaded stand in, which still
        // differ from process to process and are not shown to callers.
        const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        const auto here = reinterpret_cast<std::uintptr_t>(&bytes);
        const auto code = reinterpret_cast<std::uintptr_t>(&draw_key);
        siphash mix(siphash_key{now, static_cast<std::uint64_t>(here)});
        mix.add_word(static_cast<std::uint64_t>(code));
        const std::uint64_t a = mix.finish();
        mix.add_word(a);
        const std::uint64_t b = mix.finish();
        std::memcpy(bytes, &a, 8);
        std::memcpy(bytes + 8, &b, 8);
    }
    siphash_key key;
    std::memcpy(&key.k0, bytes, 8);
    std::memcpy(&key.k1, bytes + 8, 8);
    return key;
}

}  // namespace

const siphash_key& process_key() noexcept
{
    static const siphash_key key = draw_key();
    return key;
}

}  // namespace roughpi::detail
