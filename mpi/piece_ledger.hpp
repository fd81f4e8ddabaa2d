// SPDX-License-Identifier: MIT
// Rank 0's record of one count shared out among the ranks: which pieces are
// done, the sum of their sums, and the share of the work done so far.
//
// Every finished piece passes through record(), whether rank 0's own workers
// counted it or another rank sent its sums: this is the one place that
// learns of each piece, and so the place to save a count as it goes. Nothing
// here knows of MPI.
#pragma once

#include <roughpi/pieces.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace roughpi::mpi {

class piece_ledger {
public:
    // `pieces` is the whole list of the count (prime_count_piece_list), and
    // must outlive the ledger.
    explicit piece_ledger(std::span<const prime_count_piece> pieces);

    // Adds the sums of pieces[index]. Throws std::runtime_error, and records
    // nothing, when index is out of range, the piece is recorded already, or
    // the sums are not those of that one piece (so that sums damaged on the
    // way, or sent by a rank with a different list, never reach the count).
    void record(std::size_t index, const prime_count_sums& piece_sums);

    // Takes over the pieces `indices`, whose sums together are `their_sums`,
    // as done already: those a checkpoint file holds. Throws as record() does
    // when one is out of range or done already.
    void restore(std::span<const std::size_t> indices, const prime_count_sums& their_sums);

    // Called by record() for each piece it takes, after taking it: where the
    // count is saved as it goes.
    std::function<void(std::size_t index, const prime_count_sums& piece_sums)> on_record;

    bool is_done(std::size_t index) const { return done_[index]; }
    std::size_t done_count() const { return done_count_; }
    bool complete() const { return done_count_ == pieces_.size(); }
    // Estimated share of the work done, in [0, 1].
    double share_done() const;

    // pi(x) from the sums of every piece; throws input_error (from
    // prime_count_from_sums) while the count is incomplete.
    std::int64_t pi() const;

private:
    std::span<const prime_count_piece> pieces_;
    std::vector<bool> done_;
    std::size_t done_count_ = 0;
    prime_count_sums sums_;
    double total_cost_ = 0.0;
    double done_cost_ = 0.0;
};

}  // namespace roughpi::mpi
