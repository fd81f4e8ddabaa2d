// SPDX-License-Identifier: MIT
// The pieces of a count on a CUDA device, handed out one by one: the
// piece_pool of roughpi_gpu, which roughpi-mpi's ranks count on with --gpu
// as they would on their worker threads. Shared through the target
// roughpi_gpu_pool; not installed, not part of the interface.
#pragma once

#include "piece_pool.hpp"

#include <roughpi/pieces.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace roughpi::gpu {

struct gpu_pool_options {
    int device = 0;        // the CUDA device
    bool emulate = false;  // or the host emulation (gpu_options::emulate)
    // The most pieces the device keeps in hand at once (0: as many as there
    // are pieces, up to the most a count takes). A rank of roughpi-mpi takes
    // fewer, so as to leave pieces for the others.
    std::int64_t slots = 0;
};

// A pool that counts pieces[i] for the indices i that `next` gives, each
// once, on the device, from a thread of its own. Throws gpu_unavailable (and
// has started nothing) when there is no device to count on; in a build
// without CUDA, always.
std::unique_ptr<detail::piece_pool> make_gpu_pool(std::span<const prime_count_piece> pieces,
                                                  std::function<detail::offer(std::size_t& index)> next,
                                                  const gpu_pool_options& options);

}  // namespace roughpi::gpu
