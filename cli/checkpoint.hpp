// A count that survives being stopped: each finished piece's sums go to a
// file as the count runs, and a count started again with the same file counts
// only the pieces the file does not hold.
//
// The file is text, one line each:
//
//   roughpi-checkpoint 1 roughpi=0.2.0 x=1000000000000000 pieces=5519 split=<16 hex> check=<16 hex>
//   piece 17 6:000004a817c800a0:0000000000000000 check=<16 hex>
//   ...
//
// The first line says what the file belongs to: the format version, the
// roughpi that wrote it, x, and the split of the count (its number of pieces
// and a hash of their fingerprints). Each further line is one finished piece:
// its index in the split, then each term sum it adds to as the term's index
// and its 128 bits as two 64-bit words, low then high. Every line ends with a
// check of what comes before it on the line.
//
// A file that belongs to another count, version or split, or a line that does
// not check, is refused: nothing from it ever goes into a count. A last line
// cut short (a count killed as it wrote) is dropped, and its piece counted
// again.
#pragma once

#include <roughpi/pieces.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace roughpi::cli {

// A checkpoint file that cannot be used for this count; the message says why.
// Nothing has been counted or written when it is thrown.
class checkpoint_refused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class checkpoint {
public:
    // The format this program reads and writes.
    static constexpr int FORMAT_VERSION = 1;

    // Opens the checkpoint at `path` for the count of x split into `pieces`
    // (which must outlive it), creating it if it does not exist, and reads the
    // pieces it holds. Throws checkpoint_refused as above, or when the file
    // cannot be opened, is not a checkpoint, or another count still has it
    // open after three seconds.
    checkpoint(const std::string& path, std::int64_t x, std::span<const prime_count_piece> pieces);
    checkpoint(const checkpoint&) = delete;
    checkpoint& operator=(const checkpoint&) = delete;
    ~checkpoint();

    // The pieces of the count, as given.
    std::span<const prime_count_piece> pieces() const { return pieces_; }
    // The sums of the pieces the file holds, and which those are.
    const prime_count_sums& sums() const { return sums_; }
    bool holds(std::size_t index) const { return held_[index]; }
    // The indices of the pieces still to count, in the split's order.
    std::vector<std::size_t> missing() const;
    // The estimated share of the count that the file holds, in [0, 1].
    double share_held() const;

    // Adds a finished piece (its own sums) to the file. Written at once, and
    // made durable by the next flush(). Throws std::runtime_error when the
    // write fails.
    void record(std::size_t index, const prime_count_sums& piece_sums);
    // Waits until everything recorded is on the disk (fsync).
    void flush();

private:
    void read_existing(const std::string& text);
    void write_all(const std::string& text);
    void truncate_to(std::size_t length);

    std::string path_;
    std::int64_t x_;
    std::span<const prime_count_piece> pieces_;
    int fd_ = -1;
    std::vector<bool> held_;
    prime_count_sums sums_;
    bool unflushed_ = false;
};

// pi(x) from the pieces the file holds and those it lacks, which are counted
// on `threads` threads (0: every logical CPU) and each recorded as it is
// done; what was recorded reaches the disk about ten times a second.
// progress, if set, gets the share of the whole count done, the file's
// share included.
std::int64_t count_the_rest(checkpoint& file, int threads, const std::function<void(double)>& progress);

// The split's identity: its number of pieces and a hash of their
// fingerprints, in order.
std::uint64_t split_hash(std::span<const prime_count_piece> pieces);

}  // namespace roughpi::cli
