// SPDX-License-Identifier: MIT
// The sizes of a count's memory, and the grids of its kernels.
#include "device.hpp"

namespace roughpi::gpu {

memory_plan::memory_plan(std::int64_t slot_count)
    : slots(slot_count)
    , runs(slot_count * RUNS_PER_SLOT)
    , records(runs * LEAVES_PER_RUN)
    , groups((runs + RUNS_PER_GROUP - 1) / RUNS_PER_GROUP)
{
}

std::size_t memory_plan::bytes() const
{
    const auto n = [](std::int64_t count, std::size_t size) { return static_cast<std::size_t>(count) * size; };
    return n(slots, sizeof(walker) + sizeof(slot_sums) + sizeof(std::int32_t)) + n(runs, sizeof(run)) +
        n(records, sizeof(loop_record)) + n(runs, 2 * sizeof(std::int64_t)) + n(groups, 2 * sizeof(std::int64_t)) +
        sizeof(std::int64_t) + sizeof(std::int32_t) + TABLE_BYTES;
}

grid grid_of(kernel k, std::int64_t lanes)
{
    // Threads per block: the count kernel's blocks each load the 66 KB of
    // tables into shared memory, so that three of them fit a multiprocessor
    // of 228 KB (768 threads); the others are small and short.
    std::int32_t threads = 256;
    switch (k) {
    case kernel::walk:
    case kernel::sum_groups:
        threads = 64;
        break;
    case kernel::sum_total:
        threads = 1;
        break;
    case kernel::expand:
    case kernel::sum_runs:
    case kernel::count:
        threads = 256;
        break;
    }
    return grid{(lanes + threads - 1) / threads, threads, lanes};
}

}  // namespace roughpi::gpu
