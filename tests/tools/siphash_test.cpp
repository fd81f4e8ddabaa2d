// SPDX-License-Identifier: MIT
// SipHash-2-4 against its authors' test vectors.
#include <roughpi/tools/siphash.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TEST(SipHashTest, GivesTheReferenceVectors)
{
    // The key 00 01 ... 0f, as in the paper and its reference code.
    constexpr roughpi::tools::siphash_key reference_key{0x0706050403020100ull, 0x0f0e0d0c0b0a0908ull};
    // For the messages 00, 00 01, ..., 00 01 ... 0e: every length of the last
    // partial word, and one whole word before it. The last is the paper's
    // own example.
    constexpr std::uint64_t expected[] = {
        0x726fdb47dd0e0e31ull, 0x74f839c593dc67fdull, 0x0d6c8009d9a94f5aull, 0x85676696d7fb7e2dull,
        0xcf2794e0277187b7ull, 0x18765564cd99a68dull, 0xcbc9466e58fee3ceull, 0xab0200f58b01d137ull,
        0x93f5f5799a932462ull, 0x9e0082df0ba9e4b0ull, 0x7a5dbbc594ddb9f3ull, 0xf4b32f46226bada7ull,
        0x751e8fbc860ee5fbull, 0x14ea5627c0843d90ull, 0xf723ca908e7af2eeull, 0xa129ca6149be45e5ull,
    };
    std::string message;
    for (const std::uint64_t value : expected) {
        EXPECT_EQ(roughpi::tools::siphash24(reference_key, message), value) << "length " << message.size();
        message.push_back(static_cast<char>(message.size()));
    }
}

}  // namespace
