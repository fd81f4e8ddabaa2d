// SPDX-License-Identifier: MIT
// The text of a checkpoint file: what it says, and how it is read back.
//
//   roughpi-checkpoint 3 roughpi=0.3.0 x=1000000000000000 pieces=5519 split=<16 hex> key=<8 hex> mac=<16 hex>
//   piece 17 <16 hex> 6:000004a817c800a0:0000000000000000 mac=<16 hex>
//   ...
//
// The first line says which count the file belongs to: the format version,
// the roughpi that wrote it, x, the split of the count (its number of pieces
// and a hash of their fingerprints) and the id of the key it was written
// with (checkpoint_key_id), and ends with its MAC. Each further line is one
// finished piece: its index in the split, its fingerprint, and the one term
// sum it adds to, as the term's index and its 128 bits in two 64-bit words,
// low then high (nothing for the one piece of an x below 17, which adds to no
// term), and ends with its MAC.
//
// The MACs are SipHash-2-4 under the user's key (checkpoint_key.hpp): of the
// first line's content, and of a piece's line bound to its file's count, as
// the first line's MAC, a newline and the line's content. Without the key no
// line can be made or changed so that it checks, and a line of a file of any
// other x, split or key does not check here.
//
// A line is taken only when it checks, names a piece of this split by its
// index and fingerprint, holds exactly the term its piece adds to, with a
// value that the piece can have (prime_count_check_piece_sums), and its piece
// is not in the file already. Anything else refuses the whole file: nothing
// from it goes into a count. A last line without its newline was cut short by
// a kill in the middle of a write: it is dropped, and its piece counted again.
#pragma once

#include <roughpi/tools/siphash.hpp>

#include <roughpi/pieces.hpp>

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace roughpi::tools {

// A checkpoint that cannot be used for this count; the message says why.
// Nothing has been counted or written when it is thrown.
class checkpoint_refused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a checkpoint's text holds for the count it is read for.
struct checkpoint_contents {
    bool fresh = false;            // no first line yet (empty, or cut short): to be started afresh
    std::size_t whole_length = 0;  // the length of the text up to the end of its last whole line
    std::vector<bool> held;        // the pieces it holds,
    prime_count_sums sums;         // and the sum of their sums
};

class checkpoint_format {
public:
    // The format this program reads and writes.
    static constexpr int VERSION = 3;

    // The format of the checkpoint of the count of x, split into `pieces`
    // (all of prime_count_pieces(x), which must outlive it), under `key`.
    checkpoint_format(std::int64_t x, std::span<const prime_count_piece> pieces, const siphash_key& key);

    std::int64_t x() const { return x_; }
    std::span<const prime_count_piece> pieces() const { return pieces_; }

    // The first line, with its newline.
    const std::string& header() const { return header_; }
    // The line of a finished piece, with its newline: pieces()[index] and its own sums.
    std::string record(std::size_t index, const prime_count_sums& piece_sums) const;
    // The longest text a checkpoint of this count can have.
    std::size_t largest_text() const;

    // Reads the text of the checkpoint file at `path`, which messages show.
    // Throws checkpoint_refused as above.
    checkpoint_contents read(std::string_view text, std::string_view path) const;
    // Throws checkpoint_refused, as read() would, when the first line of
    // `text` is not this count's (and said to be so, not merely cut short).
    void check_first_line(std::string_view text, std::string_view path) const;

private:
    std::int64_t x_;
    std::span<const prime_count_piece> pieces_;
    siphash_key key_;
    std::string key_id_;
    std::string header_;
    std::string header_mac_;  // its 16 hex digits
};

// The short name of a key in the first line: 8 hex digits of the key's MAC
// of a fixed text, which tell nothing of the key itself.
std::string checkpoint_key_id(const siphash_key& key);

// The split's identity: its number of pieces and a hash of their
// fingerprints, in order. The same on every machine and build.
std::uint64_t split_hash(std::span<const prime_count_piece> pieces);

}  // namespace roughpi::tools
