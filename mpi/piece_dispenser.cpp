// SPDX-License-Identifier: MIT
#include "piece_dispenser.hpp"

#include "worker_pool.hpp"

namespace roughpi::mpi {

piece_dispenser::piece_dispenser(std::span<const prime_count_piece> pieces, const piece_ledger& ledger)
{
    for (std::size_t i = 0; i < pieces.size(); ++i)
        if (!ledger.is_done(i))
            order_.push_back(i);
    detail::largest_first(pieces, order_);
}

bool piece_dispenser::take(std::size_t& index)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (next_ == order_.size())
        return false;
    index = order_[next_++];
    return true;
}

}  // namespace roughpi::mpi
