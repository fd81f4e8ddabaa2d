// SPDX-License-Identifier: MIT
// SipHash-2-4: a keyed 64-bit hash (a pseudorandom function of a 128-bit
// key) that is fast on short inputs. Without the key nobody can compute the
// hash of any input, nor find two inputs with the same hash, better than by
// guessing: seeing the hashes of other inputs does not help. The library
// seals its pieces with it under a key of the process; the tools sign
// checkpoint files with it under the user's key.
//
// (J.-P. Aumasson, D. J. Bernstein, "SipHash: a fast short-input PRF",
// INDOCRYPT 2012; the test vectors of its appendix are in the tests.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace roughpi::detail {

struct siphash_key {
    std::uint64_t k0 = 0;  // the key's bytes 0-7, little-endian
    std::uint64_t k1 = 0;  // and bytes 8-15
};

class siphash {
public:
    explicit siphash(const siphash_key& key) noexcept
        : v0_(key.k0 ^ 0x736f6d6570736575ull)
        , v1_(key.k1 ^ 0x646f72616e646f6dull)
        , v2_(key.k0 ^ 0x6c7967656e657261ull)
        , v3_(key.k1 ^ 0x7465646279746573ull)
    {
    }

    // Takes in bytes, in any number of calls.
    void add(std::span<const unsigned char> bytes) noexcept
    {
        for (const unsigned char byte : bytes) {
            block_ |= std::uint64_t{byte} << (8 * (length_ % 8));
            if (++length_ % 8 == 0) {
                compress(block_);
                block_ = 0;
            }
        }
    }
    // Takes in a 64-bit word as its eight bytes, little-endian.
    void add_word(std::uint64_t word) noexcept
    {
        unsigned char bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<unsigned char>(word >> (8 * i));
        add(bytes);
    }

    // The hash of everything taken in.
    std::uint64_t finish() const noexcept
    {
        siphash s = *this;
        s.compress(s.block_ | (std::uint64_t{s.length_ & 0xff} << 56));
        s.v2_ ^= 0xff;
        for (int i = 0; i < 4; ++i)
            s.round();
        return s.v0_ ^ s.v1_ ^ s.v2_ ^ s.v3_;
    }

private:
    static std::uint64_t rotl(std::uint64_t v, int b) noexcept { return (v << b) | (v >> (64 - b)); }

    void round() noexcept
    {
        v0_ += v1_;
        v1_ = rotl(v1_, 13) ^ v0_;
        v0_ = rotl(v0_, 32);
        v2_ += v3_;
        v3_ = rotl(v3_, 16) ^ v2_;
        v0_ += v3_;
        v3_ = rotl(v3_, 21) ^ v0_;
        v2_ += v1_;
        v1_ = rotl(v1_, 17) ^ v2_;
        v2_ = rotl(v2_, 32);
    }

    void compress(std::uint64_t m) noexcept
    {
        v3_ ^= m;
        round();
        round();
        v0_ ^= m;
    }

    std::uint64_t v0_, v1_, v2_, v3_;
    std::uint64_t block_ = 0;
    std::uint64_t length_ = 0;
};

}  // namespace roughpi::detail
