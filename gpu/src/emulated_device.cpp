// SPDX-License-Identifier: MIT
// The host emulation of the device: the memory of a round in the host's
// memory, and every launch run on the calling thread, block after block and
// thread after thread, through the same functions the kernels call. Atomic
// additions are plain ones here (gpu/device/portable.hpp), as no two
// threads run at once; a stop is looked at before each block, as the
// device's blocks look at it when they start.
#include "device.hpp"

#include "piece_access.hpp"

#include <atomic>
#include <cstring>
#include <vector>

namespace roughpi::gpu {

namespace {

class emulated_device final : public device {
public:
    explicit emulated_device(std::int64_t slots)
        : plan_(slots)
        , walkers_(static_cast<std::size_t>(plan_.slots))
        , sums_(static_cast<std::size_t>(plan_.slots))
        , lane_slots_(static_cast<std::size_t>(plan_.slots))
        , runs_(static_cast<std::size_t>(plan_.runs))
        , records_(static_cast<std::size_t>(plan_.records))
        , run_starts_(static_cast<std::size_t>(plan_.runs))
        , run_totals_(static_cast<std::size_t>(plan_.runs))
        , group_starts_(static_cast<std::size_t>(plan_.groups))
        , group_totals_(static_cast<std::size_t>(plan_.groups))
    {
        const detail::wheel_tables_view tables = detail::wheel_tables();
        memory_.wheel = wheel_view{tables.prefix_count, tables.gaps};
        memory_.walkers = walkers_.data();
        memory_.sums = sums_.data();
        memory_.lane_slots = lane_slots_.data();
        memory_.runs = runs_.data();
        memory_.records = records_.data();
        memory_.run_starts = run_starts_.data();
        memory_.run_totals = run_totals_.data();
        memory_.group_starts = group_starts_.data();
        memory_.group_totals = group_totals_.data();
        memory_.total = &total_;
        memory_.skipped = &skipped_;
    }

    round_memory& memory() override { return memory_; }
    const memory_plan& plan() const override { return plan_; }

    void to_device(void* destination, const void* source, std::size_t bytes) override
    {
        std::memcpy(destination, source, bytes);
    }
    void from_device(void* destination, const void* source, std::size_t bytes) override
    {
        std::memcpy(destination, source, bytes);
    }

    void launch(kernel k, const grid& g) override
    {
        const round_memory mem = memory_;
        for (std::int64_t block = 0; block < g.blocks; ++block) {
            if (k == kernel::count && stopped_.load(std::memory_order_relaxed)) {
                skipped_ = 1;
                return;
            }
            for (std::int32_t thread = 0; thread < g.threads; ++thread)
                if (const std::int64_t i = block * g.threads + thread; i < g.lanes)
                    run_lane(k, mem, mem.wheel, i);
        }
    }

    void stop() override { stopped_.store(true, std::memory_order_relaxed); }

private:
    memory_plan plan_;
    round_memory memory_{};
    std::vector<walker> walkers_;
    std::vector<slot_sums> sums_;
    std::vector<std::int32_t> lane_slots_;
    std::vector<run> runs_;
    std::vector<loop_record> records_;
    std::vector<std::int64_t> run_starts_;
    std::vector<std::int64_t> run_totals_;
    std::vector<std::int64_t> group_starts_;
    std::vector<std::int64_t> group_totals_;
    std::int64_t total_ = 0;
    std::int32_t skipped_ = 0;
    std::atomic<bool> stopped_{false};
};

}  // namespace

std::unique_ptr<device> open_emulated_device(std::int64_t slots) { return std::make_unique<emulated_device>(slots); }

}  // namespace roughpi::gpu
