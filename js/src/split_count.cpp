// SPDX-License-Identifier: MIT
// The count of pi(x) piece by piece, as the JavaScript package shares it out
// among web workers (or Node's worker threads), each with a WebAssembly
// instance of its own.
//
// A piece is sealed to the instance that made it (pieces.hpp): instances
// exchange indices into the split and sums as words, never pieces. So every
// instance makes the split of x itself (the split depends on x alone, and
// comes out the same in each). A worker counts the pieces it is given by
// index and hands back each piece's sums as words; the caller's instance
// checks each against its own piece of that index
// (prime_count_check_piece_sums), adds them up, and finishes pi(x) with
// prime_count_from_sums against its own split, which must be held whole,
// piece by piece, before a number comes out.
//
// Every function reports a failure as the C interface does: -1 (or a null
// handle) and the reason in roughpi_last_error().
#include "c_api_call.hpp"

#include <roughpi/error.hpp>
#include <roughpi/pieces.hpp>

#include <emscripten/emscripten.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

struct split_count {
    std::vector<roughpi::prime_count_piece> pieces;
    roughpi::prime_count_sums total;  // the sums handed in so far
};

using words = std::array<std::uint64_t, roughpi::prime_count_sums::WORDS>;

// Where JavaScript reads and writes the words of one piece's sums.
words exchange{};

// The piece of this index, or input_error.
const roughpi::prime_count_piece& piece_at(const split_count& count, std::int32_t index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= count.pieces.size())
        throw roughpi::input_error("piece " + std::to_string(index) + " is not in the split of " +
                                   std::to_string(count.pieces.empty() ? -1 : count.pieces.front().x()));
    return count.pieces[static_cast<std::size_t>(index)];
}

}  // namespace

extern "C" {

// The buffer of prime_count_sums::WORDS words that the functions below read
// and write.
EMSCRIPTEN_KEEPALIVE std::uint64_t* rpjs_exchange_words() noexcept { return exchange.data(); }

EMSCRIPTEN_KEEPALIVE std::int32_t rpjs_sums_words() noexcept
{
    return static_cast<std::int32_t>(roughpi::prime_count_sums::WORDS);
}

// The split of x, made in this instance; null when x is refused.
EMSCRIPTEN_KEEPALIVE split_count* rpjs_split_new(std::int64_t x) noexcept
{
    split_count* made = nullptr;
    const std::int64_t status = roughpi::detail::c_api_call([&] {
        auto count = std::make_unique<split_count>();
        count->pieces.resize(roughpi::MAX_PIECES);
        count->pieces.resize(roughpi::prime_count_pieces(x, count->pieces));
        made = count.release();
        return std::int64_t{0};
    });
    return status == 0 ? made : nullptr;
}

EMSCRIPTEN_KEEPALIVE void rpjs_split_free(split_count* count) noexcept { delete count; }

EMSCRIPTEN_KEEPALIVE std::int32_t rpjs_split_size(const split_count* count) noexcept
{
    return static_cast<std::int32_t>(count->pieces.size());
}

// The estimated work of piece `index`, in the units of prime_count_piece::cost().
EMSCRIPTEN_KEEPALIVE double rpjs_split_cost(const split_count* count, std::int32_t index) noexcept
{
    return index >= 0 && static_cast<std::size_t>(index) < count->pieces.size()
        ? count->pieces[static_cast<std::size_t>(index)].cost()
        : 0.0;
}

// A worker's part: counts piece `index` and leaves its sums, as words, in
// the exchange buffer. 0, or -1.
EMSCRIPTEN_KEEPALIVE std::int32_t rpjs_split_count_piece(const split_count* count, std::int32_t index) noexcept
{
    return static_cast<std::int32_t>(roughpi::detail::c_api_call([&] {
        roughpi::prime_count_sums sums;
        roughpi::prime_count_add_piece(piece_at(*count, index), sums);
        exchange = sums.to_words();
        return std::int64_t{0};
    }));
}

// The caller's part: takes the sums of piece `index` from the exchange
// buffer, checks that they can be that piece's (its x, split, index and
// fingerprint, and a value within what the piece can add) and adds them to
// the total. 0, or -1 and nothing added.
EMSCRIPTEN_KEEPALIVE std::int32_t rpjs_split_add_sums(split_count* count, std::int32_t index) noexcept
{
    return static_cast<std::int32_t>(roughpi::detail::c_api_call([&] {
        const roughpi::prime_count_sums sums = roughpi::prime_count_sums::from_words(exchange);
        roughpi::prime_count_check_piece_sums(piece_at(*count, index), sums);
        count->total += sums;
        return std::int64_t{0};
    }));
}

// pi(x) from the sums handed in, checked against the whole split; -1 (and
// the missing piece named) unless every piece is in them once.
EMSCRIPTEN_KEEPALIVE std::int64_t rpjs_split_finish(const split_count* count) noexcept
{
    return roughpi::detail::c_api_call([&] { return roughpi::prime_count_from_sums(count->total, count->pieces); });
}

}  // extern "C"
