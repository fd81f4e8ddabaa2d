// SPDX-License-Identifier: MIT
// The library's own view of the public piece and sums (pieces.hpp): what
// pieces.cpp (the pieces and the split they come from) and piece_sums.cpp
// (their sums) do with their private fields.
#pragma once

#include "loop/path_kernels.hpp"
#include "piece_access.hpp"
#include "stop_poll.hpp"
#include "wide_int.hpp"
#include "work_split.hpp"

#include <roughpi/pieces.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace roughpi::detail {

struct pieces_impl {
    // A 64-bit mix of every field of a piece but the check and the seal.
    static std::uint64_t check_of(const prime_count_piece& p);
    // SipHash of every field but the seal, under the process's key.
    static std::uint64_t seal_of(const prime_count_piece& p);

    // Piece `index` of the split of x that the split handed out; unsealed
    // until its split's size is known (seal).
    static prime_count_piece make(std::int64_t x, split_kind kind, std::int32_t index, const split_piece& s);

    // The one piece of an x below 17, whose count has no terms; unsealed.
    static prime_count_piece empty_count(std::int64_t x, split_kind kind);

    // Sets the size of the piece's split, its check and its seal.
    static void seal(prime_count_piece& p, std::int32_t split_size);

    // Refuses a piece that prime_count_pieces did not make in this process,
    // or that was changed since: every field is under the seal. The fields
    // are also checked one by one, so that no piece reaches the counting
    // outside its preconditions whatever the seal.
    static void check(const prime_count_piece& p);

    // The piece's count, with its sign: what it adds to its term.
    static wide_int value(const prime_count_piece& p, const path_kernels& kernels, stop_poll stop);

    // Term k of the sums, and setting it.
    static wide_int term(const prime_count_sums& s, int k) { return wide_from_words(s.low_[k], s.high_[k]); }
    static void set_term(prime_count_sums& s, int k, wide_int v)
    {
        s.low_[k] = low_word(v);
        s.high_[k] = high_word(v);
    }

    // Counts a piece into sums (prime_count_add_piece); a stopped count
    // leaves them as they were.
    static void add(const prime_count_piece& piece, prime_count_sums& sums, const path_kernels& kernels,
                    stop_poll stop = {});
    // Adds a piece whose count (before its sign) was made outside the core
    // (add_counted_piece of piece_access.hpp).
    static void add_counted(const prime_count_piece& piece, prime_count_sums& sums, wide_int count);
    // What add and add_counted share: refusing a piece that is not this
    // process's, or that the sums cannot take; and recording its value.
    static void admit(const prime_count_piece& piece, const prime_count_sums& sums);
    static void record(const prime_count_piece& piece, prime_count_sums& sums, wide_int value);
    // The node of a piece (node_of of piece_access.hpp).
    static piece_node node(const prime_count_piece& piece);

    // The most a piece's count can be: each non-decreasing k-tuple it counts
    // (product at most n) weighs at most w, and there are fewer of them than
    // ordered k-tuples of positive integers with product at most n, at most
    // n (1 + ln n)^(k-1) (by induction on k, from sum_{a <= n} n/a <= n (1 + ln n)).
    static long double largest_value(const prime_count_piece& p);

    // prime_count_check_piece_sums.
    static void check_piece_sums(const prime_count_piece& piece, const prime_count_sums& sums);

    // Sums of other pieces of the same count (prime_count_sums::operator+=).
    static void add(prime_count_sums& to, const prime_count_sums& from);

    // What identifies the split of x: its number of pieces and the total of
    // their fingerprints, from the split itself.
    struct split_identity {
        std::uint64_t pieces = 0;
        std::uint64_t fingerprints = 0;
    };

    static split_identity identity_of_split(std::int64_t x, split_kind kind, stop_poll stop);

    // The pieces of x, as prime_count_pieces gives them.
    static std::size_t pieces_of(std::int64_t x, split_kind kind, std::span<prime_count_piece> out, stop_poll stop);

    // Whether sums hold piece `index`, and marking it held.
    static bool held(const prime_count_sums& s, std::int32_t index)
    {
        return (s.held_[index / 64] >> (index % 64) & 1) != 0;
    }
    static void hold(prime_count_sums& s, std::int32_t index)
    {
        s.held_[index / 64] |= std::uint64_t{1} << (index % 64);
    }

    // prime_count_from_sums, against the split's identity.
    static std::int64_t finish(const prime_count_sums& sums, const split_identity& whole);
    static std::int64_t finish(const prime_count_sums& sums, stop_poll stop);
    static std::int64_t finish(const prime_count_sums& sums, std::span<const prime_count_piece> split);

    // prime_count_sums::to_words and from_words.
    static std::array<std::uint64_t, prime_count_sums::WORDS> words(const prime_count_sums& s);

    // The largest k of a term S_k of x: the terms are D_j(x^(1/i)) with
    // 17^(i j) <= x, k = i j.
    static int last_term(std::int64_t x);

    static prime_count_sums from_words(const std::array<std::uint64_t, prime_count_sums::WORDS>& w);
};

}  // namespace roughpi::detail
