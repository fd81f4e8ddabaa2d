// SPDX-License-Identifier: MIT
// A round of the count on the device: what each thread of each kernel does,
// written once for the device and for its host emulation (which runs the
// same functions, a thread at a time, over the same grids).
//
// The host keeps up to `slots` pieces in hand, each with a walker on the
// device (tuple_walk.hpp), and runs rounds until every piece is counted. In
// a round, for the `lanes` slots that hold a piece:
//
//   walk_lane      a thread per slot: its walker hands out up to `capacity`
//                  runs into the slot's stretch of the runs;
//   expand_leaf    a thread per leaf place (LEAVES_PER_RUN per run): the pair
//                  count of its leaf, as a loop record (m, first u, length,
//                  weight) and the part of it that needs no loop;
//   sum_run        a thread per run: the loops' lengths added up in the run,
//                  and its parts without loop into the slot's sum;
//   sum_group      a thread per RUNS_PER_GROUP runs: where each run starts;
//   sum_groups     one thread: where each group starts, and the round's total;
//   count_chunk    a thread per QUOTIENTS_PER_CHUNK quotients of the round's
//                  loops, all of them laid end to end: its stretch of them,
//                  with the tables in shared memory, into the slots' sums.
//                  A block whose threads start after a stop was asked for
//                  counts nothing (the round is dropped).
//
// So the work of the count kernel is shared out in equal chunks whatever the
// loops' lengths: a loop of 5 10^8 quotients (D_2 at 2^63 - 1) is 10^5
// chunks, and a chunk may hold hundreds of short loops. The sums are exact:
// a chunk's part of one loop is below 2^63 (quotient_loop.hpp), so a thread
// sums a loop in 64 bits; times the loop's weight, and across loops and
// threads, in 128 bits (portable.hpp's wide_sum), with atomic additions.
#pragma once

#include "portable.hpp"
#include "quotient_loop.hpp"
#include "tuple_walk.hpp"
#include "wheel_view.hpp"

#include <cstdint>

namespace roughpi::gpu {

// Runs per group of the sums of where runs start (sum_group).
inline constexpr std::int64_t RUNS_PER_GROUP = 256;
// Quotients per thread of the count kernel.
inline constexpr std::int64_t QUOTIENTS_PER_CHUNK = 4096;

// One loop of a round: the sum of C(m/u) over `count` rough u from index a,
// weighted by w. `end` is where it ends among the loops of its run.
struct loop_record {
    std::int64_t m;
    std::int64_t a;
    std::int64_t count;
    std::int64_t w;
    std::int64_t closed;  // the part of its pair count that needs no loop
    std::int64_t end;
};

// A slot's sums: what its walker counted in closed form, what the loops and
// the leaves added, and whether its walk is done. The piece's count is
// closed + loops once the round that finished its walk is over.
struct slot_sums {
    wide_sum closed;
    wide_sum loops;
    std::int32_t done;
    std::int32_t reserved;
};

// Everything a round reads and writes, in the device's memory (the host's
// for the emulation).
struct round_memory {
    wheel_view wheel;
    walker* walkers;             // [slots]
    slot_sums* sums;             // [slots]
    std::int32_t* lane_slots;    // [lanes]: the slot of each walk lane this round
    std::int64_t lanes;          // slots walking this round
    std::int64_t capacity;       // runs each of them may hand out
    run* runs;                   // [lanes * capacity]: lane i's from i * capacity
    loop_record* records;        // [runs * LEAVES_PER_RUN]: run j's from j * LEAVES_PER_RUN
    std::int64_t* run_starts;    // [runs]: where each run's loops start in its group
    std::int64_t* run_totals;    // [runs]
    std::int64_t* group_starts;  // [groups]: where each group's start in the round
    std::int64_t* group_totals;  // [groups]
    std::int64_t* total;         // [1]: the round's quotients
    std::int32_t* skipped;       // [1]: not 0 once a block of the count kernel was dropped for a stop
};

ROUGHPI_HD inline std::int64_t run_count(const round_memory& mem) { return mem.lanes * mem.capacity; }
ROUGHPI_HD inline std::int64_t group_count(const round_memory& mem)
{
    return (run_count(mem) + RUNS_PER_GROUP - 1) / RUNS_PER_GROUP;
}
ROUGHPI_HD inline std::int64_t record_count(const round_memory& mem) { return run_count(mem) * LEAVES_PER_RUN; }

// The slot whose walker handed out record i.
ROUGHPI_HD inline std::int32_t slot_of_record(const round_memory& mem, std::int64_t i)
{
    return mem.lane_slots[i / LEAVES_PER_RUN / mem.capacity];
}

// Walk lane `lane`: the slot's walker hands out its runs, and the rest of
// its stretch is left empty (runs of no leaves).
ROUGHPI_HD inline void walk_lane(const round_memory& mem, std::int64_t lane)
{
    const std::int32_t slot = mem.lane_slots[lane];
    run* out = mem.runs + lane * mem.capacity;
    slot_sums& sums = mem.sums[slot];
    const std::int64_t made = walk_on(mem.walkers[slot], sums.closed, mem.wheel, out, mem.capacity);
    for (std::int64_t i = made; i < mem.capacity; ++i)
        out[i] = run{0, 0, 0, 0, RUN_OF_LEAVES, 0};
    sums.done = walk_done(mem.walkers[slot]) ? 1 : 0;
}

// Leaf place i: leaf i % LEAVES_PER_RUN of run i / LEAVES_PER_RUN.
ROUGHPI_HD inline void expand_leaf(const round_memory& mem, std::int64_t i)
{
    const run& from = mem.runs[i / LEAVES_PER_RUN];
    const std::int64_t leaf = i % LEAVES_PER_RUN;
    loop_record& out = mem.records[i];
    out = loop_record{0, 0, 0, 0, 0, 0};
    if (from.kind == RUN_OF_LOOP) {
        if (leaf == 0)
            out = loop_record{from.n, from.a, from.count, from.w, 0, 0};
        return;
    }
    if (leaf >= from.count)
        return;
    // The first entry u1 of index from.a + leaf, and its pair count
    // P(n/u1, u1, w, 2). Its part without loop, base - w offset, fits in 64
    // bits: u1 is an entry chosen, so w n/u1 <= 6 x / 17 (the core's
    // factor_counts.hpp), base is below 2^62, and offset = the sum of the
    // loop's C(u), each at most sqrt(m), over at most sqrt(m) of them, is at
    // most m = n/u1, so w offset < 2^62 too.
    const std::int64_t index = from.a + leaf;
    const std::int64_t u1 = rough_at(mem.wheel, index);
    const std::int64_t m = exact_quotient(from.n, u1);
    const leaf_terms t = leaf_of(mem.wheel, m, u1, index, from.w, 2);
    out = loop_record{m, index + 1, t.loop, from.w, t.base - from.w * t.offset, 0};
}

// Run j: where its loops end within it, its total, and the closed parts of
// its leaves into its slot's sum (up to 32 of them, each below 2^62 in size,
// so in 128 bits).
ROUGHPI_HD inline void sum_run(const round_memory& mem, std::int64_t j)
{
    loop_record* records = mem.records + j * LEAVES_PER_RUN;
    std::int64_t end = 0;
    wide_sum closed{0, 0};
    for (std::int64_t i = 0; i < LEAVES_PER_RUN; ++i) {
        end += records[i].count;
        records[i].end = end;
        add_signed(closed, records[i].closed);
    }
    mem.run_totals[j] = end;
    if (closed.low != 0 || closed.high != 0)
        add_shared(&mem.sums[mem.lane_slots[j / mem.capacity]].loops, closed);
}

// Group g of RUNS_PER_GROUP runs: where each run starts in it, and its total.
ROUGHPI_HD inline void sum_group(const round_memory& mem, std::int64_t g)
{
    const std::int64_t first = g * RUNS_PER_GROUP;
    const std::int64_t runs = run_count(mem);
    const std::int64_t last = first + RUNS_PER_GROUP < runs ? first + RUNS_PER_GROUP : runs;
    std::int64_t start = 0;
    for (std::int64_t j = first; j < last; ++j) {
        mem.run_starts[j] = start;
        start += mem.run_totals[j];
    }
    mem.group_totals[g] = start;
}

// Where each group starts, and the round's total: one thread.
ROUGHPI_HD inline void sum_groups(const round_memory& mem)
{
    std::int64_t start = 0;
    const std::int64_t groups = group_count(mem);
    for (std::int64_t g = 0; g < groups; ++g) {
        mem.group_starts[g] = start;
        start += mem.group_totals[g];
    }
    *mem.total = start;
}

// The last i in [0, count) with starts[i] <= value, for non-decreasing
// starts with starts[0] <= value.
ROUGHPI_HD inline std::int64_t last_at_most(const std::int64_t* starts, std::int64_t count, std::int64_t value)
{
    std::int64_t lo = 0;
    std::int64_t hi = count - 1;
    while (lo < hi) {
        const std::int64_t mid = hi - (hi - lo) / 2;
        if (starts[mid] <= value)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

// Chunk c: quotients c Q ... c Q + Q - 1 of the round (Q = QUOTIENTS_PER_CHUNK),
// the loops laid end to end in the order of the records, tables from `wheel`
// (shared memory on the device).
ROUGHPI_HD inline void count_chunk(const round_memory& mem, const wheel_view& wheel, std::int64_t c)
{
    const std::int64_t total = *mem.total;
    std::int64_t at = c * QUOTIENTS_PER_CHUNK;
    if (at >= total)
        return;
    std::int64_t left = total - at < QUOTIENTS_PER_CHUNK ? total - at : QUOTIENTS_PER_CHUNK;
    // The group, the run and the record that hold quotient `at`. Among equal
    // starts (groups or runs of no quotients) the last is the one that holds
    // it, as `at` is below the total.
    const std::int64_t g = last_at_most(mem.group_starts, group_count(mem), at);
    at -= mem.group_starts[g];
    const std::int64_t first_run = g * RUNS_PER_GROUP;
    const std::int64_t runs_in_group =
        run_count(mem) - first_run < RUNS_PER_GROUP ? run_count(mem) - first_run : RUNS_PER_GROUP;
    const std::int64_t j = first_run + last_at_most(mem.run_starts + first_run, runs_in_group, at);
    at -= mem.run_starts[j];
    std::int64_t i = j * LEAVES_PER_RUN;
    while (mem.records[i].end <= at)
        ++i;
    std::int64_t skip = at - (mem.records[i].end - mem.records[i].count);  // into record i
    std::int32_t slot = slot_of_record(mem, i);
    wide_sum sum{0, 0};
    for (;;) {
        const loop_record& r = mem.records[i];
        const std::int64_t take = r.count - skip < left ? r.count - skip : left;
        if (take > 0) {
            add_product(sum, r.w, quotient_counts(wheel, r.m, r.a + skip, take));
            left -= take;
        }
        skip = 0;
        if (left == 0)
            break;
        ++i;
        const std::int32_t next_slot = slot_of_record(mem, i);
        if (next_slot != slot) {
            add_shared(&mem.sums[slot].loops, sum);
            sum = wide_sum{0, 0};
            slot = next_slot;
        }
    }
    add_shared(&mem.sums[slot].loops, sum);
}

// The kernels of a round, in the order a round launches them, and what
// thread i of each does (the count kernel's with the tables `wheel`).
enum class kernel { walk, expand, sum_runs, sum_groups, sum_total, count };

ROUGHPI_HD inline void run_lane(kernel k, const round_memory& mem, const wheel_view& wheel, std::int64_t i)
{
    switch (k) {
    case kernel::walk:
        walk_lane(mem, i);
        break;
    case kernel::expand:
        expand_leaf(mem, i);
        break;
    case kernel::sum_runs:
        sum_run(mem, i);
        break;
    case kernel::sum_groups:
        sum_group(mem, i);
        break;
    case kernel::sum_total:
        sum_groups(mem);
        break;
    case kernel::count:
        count_chunk(mem, wheel, i);
        break;
    }
}

}  // namespace roughpi::gpu
