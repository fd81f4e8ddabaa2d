// SPDX-License-Identifier: MIT
// Rank 0's queue of the pieces of a count, largest estimate first, taken
// from by its own workers and by its main thread for the other ranks.
#pragma once

#include "piece_ledger.hpp"

#include <roughpi/pieces.hpp>

#include <cstddef>
#include <mutex>
#include <span>
#include <vector>

namespace roughpi::mpi {

class piece_dispenser {
public:
    // Hands out the pieces that are not done already in the ledger.
    piece_dispenser(std::span<const prime_count_piece> pieces, const piece_ledger& ledger);

    // The next piece's index; false when none is left. From any thread.
    bool take(std::size_t& index);

private:
    std::vector<std::size_t> order_;
    std::mutex mutex_;
    std::size_t next_ = 0;
};

}  // namespace roughpi::mpi
