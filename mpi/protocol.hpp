// SPDX-License-Identifier: MIT
// The messages between rank 0 and the other ranks of a count (see
// rank_count.hpp for the conversation):
//
//   rank r -> 0   request: (ask | finished | done, x, piece index, sums of that piece as 67 words)
//   rank 0 -> r   reply:   (index of the next piece | no more, fingerprint of that piece)
//
// All are arrays of 64-bit words, sent as MPI_UINT64_T. Each 128-bit term of
// the sums travels exactly, as two words (prime_count_sums::to_words).
#pragma once

#include <roughpi/pieces.hpp>

#include <array>
#include <cstddef>
#include <cstdint>

namespace roughpi::mpi {

// The words of a request: kind, x, piece index, then the piece's sums.
inline constexpr std::size_t REQUEST_WORDS = 3 + prime_count_sums::WORDS;
// The words of a reply: piece index, fingerprint.
inline constexpr std::size_t REPLY_WORDS = 2;

inline constexpr int REQUEST_TAG = 1;
inline constexpr int REPLY_TAG = 2;

enum request_kind : std::uint64_t {
    ASK = 1,       // asks for a piece; carries nothing
    FINISHED = 2,  // carries a finished piece and its sums, and asks for a piece
    DONE = 3,      // the rank is done with this count: no more requests
};

// A reply's index when rank 0 has no piece left.
inline constexpr std::uint64_t NO_MORE = ~std::uint64_t{0};

// Room for any message: a request, or a reply in its first words.
using message = std::array<std::uint64_t, REQUEST_WORDS>;

struct request {
    std::uint64_t kind = ASK;
    std::int64_t x = 0;
    std::uint64_t index = 0;
    prime_count_sums sums;  // of the finished piece, for FINISHED
};

message encode(const request& r);
// The request in `m`. Throws input_error when its sums are not sums
// (prime_count_sums::from_words).
request decode_request(const message& m);

}  // namespace roughpi::mpi
