// SPDX-License-Identifier: MIT
#include "protocol.hpp"

#include <algorithm>

namespace roughpi::mpi {

message encode(const request& r)
{
    message m{};
    m[0] = r.kind;
    m[1] = static_cast<std::uint64_t>(r.x);
    m[2] = r.index;
    const auto words = r.sums.to_words();
    std::copy(words.begin(), words.end(), m.begin() + 3);
    return m;
}

request decode_request(const message& m)
{
    request r;
    r.kind = m[0];
    r.x = static_cast<std::int64_t>(m[1]);
    r.index = m[2];
    std::array<std::uint64_t, prime_count_sums::WORDS> words;
    std::copy(m.begin() + 3, m.end(), words.begin());
    r.sums = prime_count_sums::from_words(words);
    return r;
}

}  // namespace roughpi::mpi
