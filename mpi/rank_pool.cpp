// SPDX-License-Identifier: MIT
#include "rank_pool.hpp"

#include "gpu_pool.hpp"
#include "worker_pool.hpp"

#include <algorithm>

namespace roughpi::mpi {

std::size_t counted_at_once(const rank_setup& setup, std::size_t pieces)
{
    const std::size_t most = setup.engine.gpu ? RANK_GPU_SLOTS : static_cast<std::size_t>(setup.engine.threads);
    return std::min(most, pieces);
}

std::unique_ptr<detail::piece_pool> make_rank_pool(const rank_setup& setup, std::span<const prime_count_piece> pieces,
                                                   std::function<bool(std::size_t&)> take,
                                                   std::function<detail::offer(std::size_t&)> poll)
{
    if (!setup.engine.gpu)
        return std::make_unique<detail::worker_pool>(pieces, static_cast<int>(counted_at_once(setup, pieces.size())),
                                                     std::move(take), best_counting_path());
    gpu::gpu_pool_options options;
    options.device = setup.engine.gpu_device;
    options.emulate = setup.engine.gpu_emulate;
    options.slots = static_cast<std::int64_t>(counted_at_once(setup, pieces.size()));
    return gpu::make_gpu_pool(pieces, std::move(poll), options);
}

}  // namespace roughpi::mpi
