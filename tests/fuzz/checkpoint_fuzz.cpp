// SPDX-License-Identifier: MIT
// libFuzzer target: the checkpoint reader, on any text, for the count of
// 10^10 (17 pieces), under the key 00 01 ... 0f (the key file
// 000102030405060708090a0b0c0d0e0f that .ci/fuzz.sh and the seed corpus
// were written with).
//
// A file it accepts must never change the count: the pieces it holds, with
// the pieces it lacks counted afresh, give pi(10^10) exactly, or the count
// is refused. (A file that fails a check is refused whole, which is fine.)
#include <roughpi/tools/checkpoint_format.hpp>

#include <roughpi/roughpi.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

constexpr std::int64_t X = 10'000'000'000;
constexpr std::int64_t PI_X = 455'052'511;
constexpr roughpi::tools::siphash_key KEY{0x0706050403020100ull, 0x0f0e0d0c0b0a0908ull};

struct count {
    std::vector<roughpi::prime_count_piece> pieces = roughpi::prime_count_piece_list(X);
    std::vector<roughpi::prime_count_sums> sums;  // of each piece, counted once
    count()
    {
        for (const roughpi::prime_count_piece& piece : pieces) {
            roughpi::prime_count_add_piece(piece, sums.emplace_back());
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const count c;
    static const roughpi::tools::checkpoint_format format(X, c.pieces, KEY);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (size > format.largest_text())
        return 0;  // the file layer refuses these before they are read
    roughpi::tools::checkpoint_contents contents;
    try {
        contents = format.read(text, "fuzz.txt");
    } catch (const roughpi::tools::checkpoint_refused&) {
        return 0;
    }
    if (contents.whole_length > size || contents.held.size() != c.pieces.size())
        std::abort();
    roughpi::prime_count_sums total = contents.sums;
    for (std::size_t i = 0; i < c.pieces.size(); ++i)
        if (!contents.held[i])
            total += c.sums[i];
    if (roughpi::prime_count_from_sums(total) != PI_X)
        std::abort();  // an accepted file changed the count
    return 0;
}
