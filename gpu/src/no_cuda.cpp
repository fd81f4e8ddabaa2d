// SPDX-License-Identifier: MIT
// roughpi_gpu in a build without CUDA: the same interface, and every count
// on a device refused with gpu_unavailable, so that the programs and the
// Python module need not know how they were built.
#include "gpu_pool.hpp"

#include <roughpi/gpu.hpp>

namespace roughpi {

namespace {

[[noreturn]] void no_cuda()
{
    throw gpu_unavailable("this build has no CUDA (configure it with -DROUGHPI_CUDA=ON: doc/building.md)");
}

}  // namespace

std::int64_t prime_count_gpu(std::int64_t, const gpu_options&) { no_cuda(); }

void count_pieces_gpu(std::span<const prime_count_piece>, prime_count_sums&, const gpu_options&) { no_cuda(); }

gpu_device count_gpu_device(const gpu_options&) { no_cuda(); }

int gpu_device_count() noexcept { return 0; }

std::size_t gpu_memory_bound() { return 0; }

std::unique_ptr<detail::piece_pool> gpu::make_gpu_pool(std::span<const prime_count_piece>,
                                                       std::function<detail::offer(std::size_t&)>,
                                                       const gpu_pool_options&)
{
    no_cuda();
}

}  // namespace roughpi
