// SPDX-License-Identifier: MIT
// The stream of the vector paths: their quotient loops run one after another
// through one loop over groups of eight rough numbers, whatever feed hands
// them out (stream_feeds.hpp), and the kernels each vector path makes of it
// with its own vector type (quotient_counts_avx2.cpp, quotient_counts_avx512.cpp).
//
// Internal linkage (see quotient_reduction.hpp).
#pragma once

#include "index_ring.hpp"
#include "quotient_reduction.hpp"
#include "stream_feeds.hpp"
#include "wide_int.hpp"

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

namespace roughpi::detail {

namespace {

// What a vector path supplies to the stream below: a type `Lanes` with
//
//   Lanes::dividend(n)   a vector of n, the dividend of a loop's quotients;
//   Lanes::before(u)     the vector a loop starts from: its u follow on from
//        the rough number u;
//   Lanes::no_k()        an empty vector sum of quotients of 30030;
//   Lanes::group(nv, k_sum, u_last, sums, active, slot)   one step: the
//        step's rough numbers are the last one in u_last plus the bytes of
//        `sums`, and go to u_last; lanes from `active` on (when below 8) are
//        past the end of the loop and must count nothing; it adds the
//        quotients of 30030 to k_sum and writes the eight table indices to
//        slot;
//   Lanes::k_total(k_sum)   the integer total of the vector sum.
//
// The stream keeps those vectors as separate variables rather than in one
// object, as the compiler keeps such variables in registers through its loop.

// The sum of C(floor(n/u)) over the loops that `feed` hands out, as one
// stream: the loops follow one another without a break. The groups go round
// the ring of table indices as one sequence, a whole turn of the ring per pass
// of the loop so that every slot is a constant address (a processor forwards the ring's stores to
// its loads far better so); a loop's last group may sit anywhere in the turn,
// and the next loop starts in the slot after it. So the ring, the vector sum
// of the quotients of 30030 and the table sum carry on from one loop into the
// next: the table reads of one loop's last groups overlap the divisions of the
// next loop's first, and a loop's end costs one mispredicted branch and the
// feed's set-up of the next.
template <typename Lanes, typename Feed>
inline wide_int vector_stream_sum(Feed& feed)
{
    auto nv = Lanes::dividend(0);
    auto u_last = Lanes::before(0);
    auto k_sum = Lanes::no_k();
    stream_stretch stretch;
    wide_int quotients = 0;
    std::int64_t unflushed = 0;  // groups since k_sum was last flushed
    const auto start_stretch = [&]() -> bool {
        if (!feed.next_stretch(stretch))
            return false;
        if (unflushed + stretch.left > FLUSH_GROUPS) {
            quotients += Lanes::k_total(k_sum) * WHEEL_RESIDUES;
            k_sum = Lanes::no_k();
            unflushed = 0;
        }
        unflushed += stretch.left;
        if (stretch.new_loop) {
            nv = Lanes::dividend(stretch.dividend);
            u_last = Lanes::before(stretch.u_before);
        }
        return true;
    };

    // Zero indices read entries of 0, so the first groups may read slots
    // that no group has written yet.
    index_ring ring{};
    int end_slot = 0;  // the slot after the last group
    if (start_stretch()) {
        const std::uint8_t* gap = stretch.gaps;
        std::int64_t left = stretch.left;
        std::uint64_t reads = 0;
        // One group into slot j, and the reads of the group READ_BEHIND
        // before it. False after the last group.
        const auto step = [&]<int j>(std::integral_constant<int, j>) __attribute__((always_inline)) -> bool {
            std::uint64_t gaps;
            std::memcpy(&gaps, gap, sizeof(gaps));
            gap += VECTOR_GROUP;
            if (left > 1) [[likely]] {
                // Not the stretch's last group, so a whole one, and more follow.
                Lanes::group(nv, k_sum, u_last, inclusive_byte_sums(gaps), VECTOR_GROUP, ring.index[j]);
                reads += read_slot(ring, j + RING_SLOTS - READ_BEHIND);
                --left;
                return true;
            }
            Lanes::group(nv, k_sum, u_last, inclusive_byte_sums(gaps), stretch.last_active, ring.index[j]);
            reads += read_slot(ring, j + RING_SLOTS - READ_BEHIND);
            // What the groups keep in registers goes through `stretch` across
            // the call, so that none has to stay in memory throughout.
            stretch.reads = reads;
            if (!start_stretch()) {
                end_slot = j + 1;
                return false;
            }
            gap = stretch.gaps;
            left = stretch.left;
            reads = stretch.reads;
            return true;
        };
        // A turn of the ring, one step per slot, stopping after the last
        // group. Both lambdas are inlined by force: a turn is sixteen steps,
        // and a step left as a call keeps the loop's vectors in memory.
        const auto turn = [&]<int... j>(std::integer_sequence<int, j...>) __attribute__((always_inline)) -> bool {
            return (step(std::integral_constant<int, j>{}) && ...);
        };
        while (turn(std::make_integer_sequence<int, RING_SLOTS>{})) { }
    }
    // Drain: the last READ_BEHIND groups, not read yet (slots no group wrote
    // read as zero).
    std::uint64_t table_sum = stretch.reads;
    for (int h = end_slot - READ_BEHIND; h < end_slot; ++h)
        table_sum += read_slot(ring, h);
    return quotients + Lanes::k_total(k_sum) * WHEEL_RESIDUES + static_cast<std::int64_t>(table_sum);
}

// The pair counts under one node of the tuple walk (path_kernels::sum_pair_node).
template <typename Lanes>
inline wide_int vector_pair_node_sum(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position,
                                     std::int64_t last)
{
    pair_node_feed feed(n, w, first, position, last);
    return feed.total(vector_stream_sum<Lanes>(feed));
}

// The sum of C(floor(n/u)) over `count` rough u from u0 at wheel position q0,
// below 2^63.
template <typename Lanes>
inline std::int64_t vector_quotient_sum(std::int64_t n, std::int64_t u0, std::int32_t q0, std::int64_t count)
{
    single_loop_feed feed(n, u0, q0, count);
    return static_cast<std::int64_t>(vector_stream_sum<Lanes>(feed));
}

}  // namespace

}  // namespace roughpi::detail
