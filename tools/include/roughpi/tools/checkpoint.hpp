// SPDX-License-Identifier: MIT
// A count that survives being stopped: each finished piece's sums go to a
// file as the count runs (checkpoint_format.hpp says how), and a count
// started again with the same file counts only the pieces the file does not
// hold (resumed_count.hpp).
//
// The file must be a regular file (not a device, a pipe or a directory), no
// longer than a checkpoint of its count can be, and used by one count at a
// time. It is created when it does not exist.
#pragma once

#include <roughpi/tools/checkpoint_format.hpp>

#include <roughpi/pieces.hpp>

#include <cstddef>
#include <cstdint>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

namespace roughpi::tools {

class checkpoint {
public:
    // Opens the checkpoint at `path` for the count of x split into `pieces`
    // (which must outlive it), under `key`, creating it if it does not exist,
    // and reads the pieces it holds. Throws checkpoint_refused as
    // checkpoint_format::read does, or when the file cannot be opened, is not
    // a regular file, is longer than a checkpoint of this count can be, or
    // another count still has it open after three seconds; throws
    // roughpi::cancelled when `stop` is requested while it waits for that.
    checkpoint(const std::string& path, std::int64_t x, std::span<const prime_count_piece> pieces,
               const siphash_key& key, std::stop_token stop = {});
    checkpoint(const checkpoint&) = delete;
    checkpoint& operator=(const checkpoint&) = delete;
    ~checkpoint();

    std::int64_t x() const { return format_.x(); }
    // The pieces of the count, as given.
    std::span<const prime_count_piece> pieces() const { return format_.pieces(); }
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
    void write_all(const std::string& text);
    void truncate_to(std::size_t length);

    std::string path_;
    std::string name_;  // "checkpoint '<path>'", for messages
    checkpoint_format format_;
    int fd_ = -1;
    std::vector<bool> held_;
    prime_count_sums sums_;
    bool unflushed_ = false;
};

}  // namespace roughpi::tools
