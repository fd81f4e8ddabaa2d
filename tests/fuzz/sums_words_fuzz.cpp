// SPDX-License-Identifier: MIT
// libFuzzer target: prime_count_sums::from_words, which takes the sums that
// other processes send, on any 67 words.
//
// Words are either refused (input_error) or give sums that go back to the
// same words; sums of a small x that claim to be complete are either refused
// or give a count within the proven bounds: never a crash, never a number
// that the library's own checks would not stand by.
#include <roughpi/error.hpp>
#include <roughpi/pieces.hpp>

#include "prime_bounds.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using roughpi::prime_count_sums;
    std::array<std::uint64_t, prime_count_sums::WORDS> words{};
    std::memcpy(words.data(), data, size < sizeof(words) ? size : sizeof(words));
    prime_count_sums sums;
    try {
        sums = prime_count_sums::from_words(words);
    } catch (const roughpi::input_error&) {
        return 0;
    }
    if (sums.to_words() != words)
        std::abort();
    const std::int64_t x = sums.x();
    if (x < -100 || x > 1'000'000'000)
        return 0;  // a split of a large x takes too long for a fuzzer's pace
    try {
        const std::int64_t pi = roughpi::prime_count_from_sums(sums);
        const auto [lower, upper] = roughpi::detail::proven_pi_bounds(x);
        if (pi < lower || pi > upper)
            std::abort();
    } catch (const roughpi::input_error&) {
    } catch (const roughpi::internal_error&) {
    }
    return 0;
}
