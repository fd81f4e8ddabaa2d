#include <roughpi/tools/siphash.hpp>

#include <cstddef>

namespace roughpi::tools {

namespace {

constexpr std::uint64_t rotl(std::uint64_t v, int bits) { return (v << bits) | (v >> (64 - bits)); }

struct sip_state {
    std::uint64_t v0, v1, v2, v3;

    void round()
    {
        v0 += v1;
        v1 = rotl(v1, 13);
        v1 ^= v0;
        v0 = rotl(v0, 32);
        v2 += v3;
        v3 = rotl(v3, 16);
        v3 ^= v2;
        v0 += v3;
        v3 = rotl(v3, 21);
        v3 ^= v0;
        v2 += v1;
        v1 = rotl(v1, 17);
        v1 ^= v2;
        v2 = rotl(v2, 32);
    }

    // Two rounds per word of the message.
    void absorb(std::uint64_t m)
    {
        v3 ^= m;
        round();
        round();
        v0 ^= m;
    }
};

// Up to eight bytes from `p`, little-endian whatever the machine's order.
std::uint64_t little_endian(const char* p, std::size_t n)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
        v |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    return v;
}

}  // namespace

std::uint64_t siphash24(const siphash_key& key, std::string_view message)
{
    sip_state s{key.k0 ^ 0x736f6d6570736575ull, key.k1 ^ 0x646f72616e646f6dull, key.k0 ^ 0x6c7967656e657261ull,
                key.k1 ^ 0x7465646279746573ull};
    const std::size_t whole = message.size() / 8 * 8;
    for (std::size_t i = 0; i < whole; i += 8)
        s.absorb(little_endian(message.data() + i, 8));
    // The last 0 to 7 bytes, with the length's low byte on top.
    s.absorb(little_endian(message.data() + whole, message.size() - whole) |
             (static_cast<std::uint64_t>(message.size() & 0xff) << 56));
    s.v2 ^= 0xff;
    for (int i = 0; i < 4; ++i)
        s.round();
    return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

}  // namespace roughpi::tools
