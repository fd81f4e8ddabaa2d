// SPDX-License-Identifier: MIT
// What a rank counts its pieces on: its worker threads, or with --gpu its
// CUDA device, both pools of pieces handed out one by one
// (worker_pool/piece_pool.hpp).
#pragma once

#include "rank_count.hpp"

#include "piece_pool.hpp"

#include <roughpi/pieces.hpp>

#include <cstddef>
#include <functional>
#include <memory>
#include <span>

namespace roughpi::mpi {

// The most pieces a rank's CUDA device holds at once: enough to keep it
// busy (the device shares out each piece's loops over all its threads),
// few enough to leave pieces for the other ranks.
inline constexpr std::size_t RANK_GPU_SLOTS = 256;

// How many pieces a rank counts at once: its workers, or its device's
// slots; never more than the count has pieces.
std::size_t counted_at_once(const rank_setup& setup, std::size_t pieces);

// The rank's pool of pieces[i] for the i that its source gives: `take`, which
// waits for a piece (false when there are no more), feeds the workers;
// `poll`, which does not wait, the device.
std::unique_ptr<detail::piece_pool> make_rank_pool(const rank_setup& setup, std::span<const prime_count_piece> pieces,
                                                   std::function<bool(std::size_t&)> take,
                                                   std::function<detail::offer(std::size_t&)> poll);

}  // namespace roughpi::mpi
