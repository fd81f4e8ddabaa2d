// SPDX-License-Identifier: MIT
// The library's own SipHash (the one that seals its pieces), for messages of
// text.
#include <roughpi/tools/siphash.hpp>

#include <siphash.hpp>

#include <span>

namespace roughpi::tools {

std::uint64_t siphash24(const siphash_key& key, std::string_view message)
{
    detail::siphash h(detail::siphash_key{key.k0, key.k1});
    h.add(std::span(reinterpret_cast<const unsigned char*>(message.data()), message.size()));
    return h.finish();
}

}  // namespace roughpi::tools
