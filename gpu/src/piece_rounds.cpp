// SPDX-License-Identifier: MIT
#include "piece_rounds.hpp"

#include "piece_access.hpp"

#include <roughpi/error.hpp>

namespace roughpi::gpu {

piece_rounds::piece_rounds(device& dev, std::span<const prime_count_piece> pieces)
    : device_(dev)
    , pieces_(pieces)
    , piece_of_(static_cast<std::size_t>(dev.plan().slots), -1)
    , walkers_(static_cast<std::size_t>(dev.plan().slots))
    , sums_(static_cast<std::size_t>(dev.plan().slots))
{
    const detail::wheel_tables_view tables = detail::wheel_tables();
    wheel_ = wheel_view{tables.prefix_count, tables.gaps};
}

void piece_rounds::take_pieces(const source& next)
{
    std::vector<std::int32_t> fresh;
    for (std::size_t slot = 0; slot < piece_of_.size() && !source_done_; ++slot) {
        if (piece_of_[slot] >= 0)
            continue;
        std::size_t index = 0;
        const detail::offer offered = next(index);
        if (offered != detail::offer::piece) {
            source_done_ = offered == detail::offer::none;
            break;
        }
        const detail::piece_node node = detail::node_of(pieces_[index]);
        sums_[slot] = slot_sums{};
        start_walk(walkers_[slot], sums_[slot].closed, wheel_, node.n, node.b, node.w, node.r, node.k, node.first,
                   node.last);
        piece_of_[slot] = static_cast<std::int64_t>(index);
        fresh.push_back(static_cast<std::int32_t>(slot));
    }
    // To the device in stretches of neighbouring slots (at the start, all at once).
    const round_memory& mem = device_.memory();
    for (std::size_t i = 0; i < fresh.size();) {
        std::size_t j = i + 1;
        while (j < fresh.size() && fresh[j] == fresh[j - 1] + 1)
            ++j;
        const auto first = static_cast<std::size_t>(fresh[i]);
        device_.to_device(mem.walkers + first, &walkers_[first], (j - i) * sizeof(walker));
        device_.to_device(mem.sums + first, &sums_[first], (j - i) * sizeof(slot_sums));
        i = j;
    }
}

void piece_rounds::launch(kernel k, std::int64_t lanes, const std::atomic<bool>& stopped)
{
    if (stopped.load())
        throw cancelled();
    if (lanes > 0)
        device_.launch(k, grid_of(k, lanes));
}

piece_rounds::result piece_rounds::round(const source& next, std::vector<detail::finished_piece>& done,
                                         const std::atomic<bool>& stopped)
{
    take_pieces(next);
    lane_slots_.clear();
    for (std::size_t slot = 0; slot < piece_of_.size(); ++slot)
        if (piece_of_[slot] >= 0)
            lane_slots_.push_back(static_cast<std::int32_t>(slot));
    if (lane_slots_.empty())
        return source_done_ ? result::finished : result::waiting;

    // Each slot that walks may hand out an equal share of the runs there is
    // room for: as slots empty at the end of a count, those left walk
    // further in a round.
    round_memory& mem = device_.memory();
    const auto lanes = static_cast<std::int64_t>(lane_slots_.size());
    mem.lanes = lanes;
    mem.capacity = device_.plan().runs / lanes < MAX_CAPACITY ? device_.plan().runs / lanes : MAX_CAPACITY;
    device_.to_device(mem.lane_slots, lane_slots_.data(), lane_slots_.size() * sizeof(std::int32_t));
    launch(kernel::walk, lanes, stopped);
    launch(kernel::expand, record_count(mem), stopped);
    launch(kernel::sum_runs, run_count(mem), stopped);
    launch(kernel::sum_groups, group_count(mem), stopped);
    launch(kernel::sum_total, 1, stopped);
    std::int64_t total = 0;
    device_.from_device(&total, mem.total, sizeof(total));
    launch(kernel::count, (total + QUOTIENTS_PER_CHUNK - 1) / QUOTIENTS_PER_CHUNK, stopped);
    std::int32_t skipped = 0;
    device_.from_device(&skipped, mem.skipped, sizeof(skipped));
    if (skipped != 0 || stopped.load())
        throw cancelled();
    device_.from_device(sums_.data(), mem.sums, sums_.size() * sizeof(slot_sums));
    for (const std::int32_t slot : lane_slots_)
        if (sums_[static_cast<std::size_t>(slot)].done != 0)
            finish(slot, done);
    return result::counted;
}

void piece_rounds::finish(std::int32_t slot, std::vector<detail::finished_piece>& done)
{
    const auto s = static_cast<std::size_t>(slot);
    wide_sum count = sums_[s].closed;
    add_words(count, sums_[s].loops.low, sums_[s].loops.high);
    const auto index = static_cast<std::size_t>(piece_of_[s]);
    detail::finished_piece piece{index, {}};
    detail::add_counted_piece(pieces_[index], piece.sums, count.low, static_cast<std::int64_t>(count.high));
    done.push_back(piece);
    piece_of_[s] = -1;
}

}  // namespace roughpi::gpu
