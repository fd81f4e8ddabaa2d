// SPDX-License-Identifier: MIT
// The host's side of a count on the device: pieces into slots, and rounds
// (gpu/device/round.hpp) until they are counted. Each piece's walker is set
// up here, from the piece's node, and goes to the device; a round walks
// every slot that holds a piece, works out the leaves, counts the loops,
// and brings back the slots' sums; a slot whose walk ended in the round
// holds its piece's count, which goes into the piece's own sums (the core's
// add_counted_piece, with its check), and the slot takes the next piece.
#pragma once

#include "device.hpp"

#include "piece_pool.hpp"

#include <roughpi/pieces.hpp>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace roughpi::gpu {

class piece_rounds {
public:
    // Where the pieces come from: indices into `pieces`, each once.
    using source = std::function<detail::offer(std::size_t& index)>;

    enum class result {
        counted,   // a round ran
        waiting,   // no piece in hand, and the source has none yet
        finished,  // no piece in hand, and the source has none any more
    };

    piece_rounds(device& dev, std::span<const prime_count_piece> pieces);

    // Fills the free slots from `next`, then runs a round over the slots that
    // hold a piece, and appends the pieces it finished to `done`. Throws
    // cancelled once `stopped` is set (the round is dropped), input_error for
    // a piece the core refuses, internal_error for a count the core refuses
    // or a device that fails.
    result round(const source& next, std::vector<detail::finished_piece>& done, const std::atomic<bool>& stopped);

private:
    void take_pieces(const source& next);
    void finish(std::int32_t slot, std::vector<detail::finished_piece>& done);
    void launch(kernel k, std::int64_t lanes, const std::atomic<bool>& stopped);

    device& device_;
    std::span<const prime_count_piece> pieces_;
    wheel_view wheel_;                      // the host's tables, for setting up walkers
    std::vector<std::int64_t> piece_of_;    // the piece each slot holds, -1 for none
    std::vector<walker> walkers_;           // set up here, then copied to the device
    std::vector<slot_sums> sums_;           // the same, and brought back after each round
    std::vector<std::int32_t> lane_slots_;  // the slots that walk in a round
    bool source_done_ = false;
};

}  // namespace roughpi::gpu
