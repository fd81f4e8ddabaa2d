// SPDX-License-Identifier: MIT
// Counting pi(x) a piece at a time: for progress reports, for counting on
// several threads or machines, and for counts that are stopped and resumed.
//
// The count of x splits into independent pieces whose sums add up to exactly
// what prime_count(x) returns, in any order and on any machine:
//
//   std::vector<roughpi::prime_count_piece> pieces(roughpi::prime_count_pieces(x, {}));
//   roughpi::prime_count_pieces(x, pieces);
//   roughpi::prime_count_sums sums;
//   for (const auto& piece : pieces)                 // any order, any thread
//       roughpi::prime_count_add_piece(piece, sums);
//   std::int64_t pi = roughpi::prime_count_from_sums(sums);
//
// A piece is a plain value of fixed size: it can be copied, stored or sent to
// another process of the same program. Each one carries an estimate of its
// work, good enough to hand out the largest pieces first and to show progress
// that runs roughly in step with time. The split depends on x alone, so every
// process that asks for the pieces of x gets the same list; it is fine enough
// for hundreds of workers (at x = 10^16 no piece takes more than about 0.05 %
// of the whole count).
//
// A piece is bound to the process that made it: besides its fingerprint
// (public, the same everywhere) it carries a seal, a keyed hash of every
// field under a key that each process draws at random and never shows. So a
// piece copied, changed and given a recomputed fingerprint is refused, and
// so is a piece from another process: processes exchange indices into the
// split and sums, never pieces (roughpi-mpi and checkpoints do so).
//
// Each count can be split two ways: the usual split, and another with other
// cuts (split_kind::other), whose pieces end elsewhere, so that a second
// count of x shares no piece sum with the first (a double check).
#pragma once

#include <roughpi/counting_path.hpp>
#include <roughpi/export.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stop_token>

namespace roughpi {

namespace detail {
struct pieces_impl;
}

// The two splits of a count.
enum class split_kind : std::int32_t {
    usual = 0,  // the one every count uses
    other = 1,  // other cuts, for a second, independent count of the same x
};

// No split has more pieces than this (the largest seen is about 5600, near
// x = 2.3 10^14; the split refuses to go past it). Sums record which pieces
// they hold in a bit each.
inline constexpr std::int32_t MAX_PIECES = 8192;

// One piece of the count of x(). A default-constructed piece belongs to no
// count, and every function below refuses it.
class prime_count_piece {
public:
    // The x whose count this piece is part of (-1 for a default-constructed one).
    std::int64_t x() const noexcept { return x_; }
    // Estimated work, in arbitrary units that are the same for every piece of
    // every x: the share of the piece in its count is its cost over the sum of
    // the costs of all the pieces.
    double cost() const noexcept { return cost_; }
    // A 64-bit check of everything the piece holds, which also tells pieces
    // apart: equal pieces have equal fingerprints. The same on every machine
    // and build (see prime_count_pieces).
    std::uint64_t fingerprint() const noexcept { return check_; }
    // The index k of the term sum S_k of pi(x) = 6 + sum_k S_k / k that the
    // piece adds to: its sums hold that term and no other. 0 for the one
    // piece of an x below 17, whose count has no terms.
    std::int32_t term() const noexcept { return term_; }
    // Its place in the split: prime_count_pieces writes it to out[index()]
    // (-1 for a default-constructed piece).
    std::int32_t index() const noexcept { return index_; }
    // The number of pieces in its split (0 for a default-constructed piece).
    std::int32_t split_size() const noexcept { return of_; }
    // Which split of x it belongs to.
    split_kind split() const noexcept { return static_cast<split_kind>(split_); }

private:
    friend struct detail::pieces_impl;
    std::int64_t x_ = -1;
    std::int64_t n_ = 0;
    std::int64_t b_ = 0;
    std::int64_t w_ = 0;
    std::int64_t first_ = 0;
    std::int64_t last_ = 0;
    std::int32_t r_ = 0;
    std::int32_t k_ = 0;
    std::int32_t term_ = 0;
    std::int32_t sign_ = 0;
    std::int32_t index_ = -1;
    std::int32_t split_ = 0;
    std::int32_t of_ = 0;
    std::int32_t reserved_ = 0;  // zero (and so no padding that no field owns)
    double cost_ = 0.0;
    std::uint64_t check_ = 0;
    std::uint64_t seal_ = 0;
};

// The exact sums of some pieces of one count: the term sums S_k of
// pi(x) = 6 + sum_k S_k / k in 128 bits, and which pieces went into them: a
// bit for each index of the split (so each piece is in them at most once,
// and a count is finished only when every bit is set), with their number and
// the sum of their fingerprints. A plain value of 1568 bytes: no heap, and
// sums of different threads or processes are added with +=.
class ROUGHPI_API prime_count_sums {
public:
    static constexpr int TERMS = 32;
    static constexpr std::size_t HELD_WORDS = MAX_PIECES / 64;
    // to_words() gives x, the piece count, the fingerprint sum, then each term
    // as two 64-bit words, low then high (two's complement), the split, and
    // the bits of the pieces held (piece i is bit i % 64 of word i / 64).
    static constexpr std::size_t SPLIT_WORD = 3 + 2 * TERMS;
    static constexpr std::size_t HELD_WORD = SPLIT_WORD + 1;
    static constexpr std::size_t WORDS = HELD_WORD + HELD_WORDS;

    // The x of the pieces added so far; -1 while none has been.
    std::int64_t x() const noexcept { return x_; }
    // The number of pieces added so far.
    std::uint64_t pieces() const noexcept { return pieces_; }
    // Which split their pieces come from.
    split_kind split() const noexcept { return static_cast<split_kind>(split_); }
    // Whether they hold the piece of this index (0 <= index < MAX_PIECES).
    bool holds(std::int32_t index) const noexcept;

    // Adds the sums of other pieces of the same count. Throws input_error,
    // and changes nothing, when both hold pieces and their x or split
    // differ, or when a piece is in both.
    prime_count_sums& operator+=(const prime_count_sums& other);

    // Exact transport and storage: from_words(to_words()) is the same sums.
    // from_words throws input_error for words that no sums give: no pieces
    // but something else than empty sums, a piece count that is not the
    // number of bits held, an unknown split, or a term that no piece of that
    // x adds to. (Words that pass may still be
    // damaged or forged: prime_count_check_piece_sums and
    // prime_count_from_sums check them against the count they claim.)
    std::array<std::uint64_t, WORDS> to_words() const noexcept;
    static prime_count_sums from_words(const std::array<std::uint64_t, WORDS>& words);

    friend bool operator==(const prime_count_sums&, const prime_count_sums&) = default;

private:
    friend struct detail::pieces_impl;
    std::int64_t x_ = -1;
    std::uint64_t pieces_ = 0;
    std::uint64_t fingerprints_ = 0;
    std::uint64_t low_[TERMS] = {};
    std::int64_t high_[TERMS] = {};
    std::int32_t split_ = 0;
    std::uint64_t held_[HELD_WORDS] = {};
};

// Splits the count of x into pieces: writes the first min(out.size(), total)
// of them to out, in a fixed order, and returns the total number (at least 1).
// Call it with an empty span to learn the number. The split and every
// fingerprint are the same on every machine, compiler and operating system,
// so pieces and sums can move between them.
// Cost: a walk over the top levels of the count, about a hundredth of the
// count itself at 10^12 and less beyond (0.6 s at 2^63 - 1); no heap.
ROUGHPI_API std::size_t prime_count_pieces(std::int64_t x, std::span<prime_count_piece> out);
// The same, looking at `stop` as it walks: throws cancelled once a stop is
// requested (what it wrote to out is then incomplete).
ROUGHPI_API std::size_t prime_count_pieces(std::int64_t x, std::span<prime_count_piece> out,
                                           const std::stop_token& stop);
// The same for either split of x.
ROUGHPI_API std::size_t prime_count_pieces(std::int64_t x, std::span<prime_count_piece> out, split_kind split,
                                           const std::stop_token& stop);

// Counts one piece and adds it to sums. Throws input_error, and leaves sums as
// they were, before a single quotient is taken, when the piece is not exactly
// one that prime_count_pieces made in this process (every field is sealed),
// when sums already hold pieces of another x or split, or when they hold
// this piece already.
ROUGHPI_API void prime_count_add_piece(const prime_count_piece& piece, prime_count_sums& sums);
// The same on a given path; throws input_error when the path is not available.
ROUGHPI_API void prime_count_add_piece(const prime_count_piece& piece, prime_count_sums& sums, counting_path path);
// The same, for a piece that may be stopped: the count looks at `stop` every
// few milliseconds of its work, and once a stop is requested it throws
// cancelled and leaves sums as they were (what it had counted of the piece
// is dropped). So a caller waits milliseconds for a stop, not the length of a
// piece (over a second at 2^63 - 1). No heap, like the rest.
ROUGHPI_API void prime_count_add_piece(const prime_count_piece& piece, prime_count_sums& sums,
                                       const std::stop_token& stop);
// Both: a given path, and a stop.
ROUGHPI_API void prime_count_add_piece(const prime_count_piece& piece, prime_count_sums& sums, counting_path path,
                                       const std::stop_token& stop);

// Throws input_error unless piece_sums can be the sums of that one piece: its
// x and split, that one piece held, its fingerprint, and in its term (and no other) a value of
// the piece's sign no larger than the tuples the piece counts allow. For
// sums that come from outside (a file, another process) before they are
// trusted; a wrong value within those limits still passes.
ROUGHPI_API void prime_count_check_piece_sums(const prime_count_piece& piece, const prime_count_sums& piece_sums);

// pi(x), x = sums.x(), from sums that hold every piece of the count of x
// exactly once. The sums are checked against the whole split of x (its
// number of pieces, worked out afresh, must be exactly the pieces held, bit
// for bit, and the total of their fingerprints must agree), so a subset or
// sums of another count throw input_error, naming a missing piece: a count
// is never finished from partial sums. Like every
// count, the result is checked against proven bounds on pi(x) (internal_error
// if outside). Cost: the split of x once more; no heap.
ROUGHPI_API std::int64_t prime_count_from_sums(const prime_count_sums& sums);
// The same, looking at `stop` as it works out the split: throws cancelled
// once a stop is requested.
ROUGHPI_API std::int64_t prime_count_from_sums(const prime_count_sums& sums, const std::stop_token& stop);

// The same, for sums whose split the caller has in hand, as made by
// prime_count_pieces for sums.x() and sums.split() (all of it): they are
// checked against that list rather than a split worked out again (each
// piece sealed, in its place, and as many as its split has). Throws
// input_error when the list is not the whole split of the sums' x.
ROUGHPI_API std::int64_t prime_count_from_sums(const prime_count_sums& sums, std::span<const prime_count_piece> split);

}  // namespace roughpi
