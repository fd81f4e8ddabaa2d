// SPDX-License-Identifier: MIT
#include "piece_ledger.hpp"

#include <roughpi/error.hpp>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace roughpi::mpi {

piece_ledger::piece_ledger(std::span<const prime_count_piece> pieces)
    : pieces_(pieces)
    , done_(pieces.size())
{
    for (const prime_count_piece& piece : pieces_)
        total_cost_ += piece.cost();
}

void piece_ledger::record(std::size_t index, const prime_count_sums& piece_sums)
{
    if (index >= pieces_.size())
        throw std::runtime_error("piece " + std::to_string(index) + " is not in the list of " +
                                 std::to_string(pieces_.size()) + " pieces");
    if (done_[index])
        throw std::runtime_error("piece " + std::to_string(index) + " was counted twice");
    // The sums of one piece hold that piece alone (its x, a piece count of 1
    // and its own fingerprint), and a value the piece can have in its term.
    const prime_count_piece& piece = pieces_[index];
    try {
        prime_count_check_piece_sums(piece, piece_sums);
    } catch (const input_error&) {
        throw std::runtime_error("the sums given for piece " + std::to_string(index) + " of the count of " +
                                 std::to_string(piece.x()) + " are not that piece's");
    }
    sums_ += piece_sums;
    done_[index] = true;
    ++done_count_;
    done_cost_ += piece.cost();
    if (on_record)
        on_record(index, piece_sums);
}

void piece_ledger::restore(std::span<const std::size_t> indices, const prime_count_sums& their_sums)
{
    for (const std::size_t index : indices)
        if (index >= pieces_.size() || done_[index])
            throw std::runtime_error("piece " + std::to_string(index) + " cannot be taken over");
    sums_ += their_sums;
    for (const std::size_t index : indices) {
        done_[index] = true;
        ++done_count_;
        done_cost_ += pieces_[index].cost();
    }
}

double piece_ledger::share_done() const
{
    if (complete())
        return 1.0;
    return total_cost_ > 0.0 ? std::min(done_cost_ / total_cost_, 1.0) : 0.0;
}

std::int64_t piece_ledger::pi() const { return prime_count_from_sums(sums_, pieces_); }

}  // namespace roughpi::mpi
