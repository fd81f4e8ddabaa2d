// What the vector paths of the quotient loop share: the group of eight
// consecutive rough numbers each step handles, the exact reduction modulo 30030
// in double precision, and the bookkeeping between groups.
#pragma once

#include "quotient_counts.hpp"

#include <cstdint>
#include <cstring>
#include <utility>

namespace roughpi::detail {

// Rough numbers per step: eight gaps are read as one 64-bit word.
inline constexpr std::int32_t vector_group = 8;

// 1/30030 rounded up (the nearest double, 0x1.175746e8cba40p-15, lies below it).
inline constexpr double reciprocal_of_modulus = 0x1.175746e8cba41p-15;

// Reducing a quotient modulo 30030 without rounding it first. Let t be the
// double nearest n/u and q = floor(n/u) = floor(t) (see max_exact_double_n).
// What the table needs is h = q + 1 = 30030 k + r with 0 <= r < 30030. The
// vector paths take
//
//     k = floor(fma(t, R, R)),   R = reciprocal_of_modulus,
//     r = trunc(t - 30030 k)     (one fused, exact operation; then truncated)
//
// k is right: (t+1)/30030 and (n/u+1)/30030 have the same floor, since no
// multiple of 30030 lies strictly between q+1 and n/u+1 < q+2; and the
// computed (t+1) R is off from (n/u+1)/30030 by less than (n/u)/30030 * 2^-51
// (the rounding of t, of R and of the product), which for n < 2^51 is below
// 1/(30030 u), the least distance from (n/u+1)/30030 to an integer when n/u is
// not one. When n/u is an integer the product is never below the true value
// (R is rounded up) and exceeds it by far less than 1/30030.
// r is right: t - 30030 k = (r - 1) + (t - q) with 0 <= t - q < 1, exact in
// one fused operation as it needs fewer bits than t. Truncated, that is r - 1
// when r >= 1, and -1 or 0 when r = 0. The table is read one entry on: at r,
// or at 0 or 1 for r = 0, whose entries are both 0, the entry at r = 0.
//
// A lane past the end of a count gets u = n + 1: t < 1, k = 0, entry 0 or 1.

// Byte i of the result is g_0 + ... + g_{i-1}, the distance from the group's
// first rough number to its i-th: multiplying by 0x0101...01 adds every byte
// into all the bytes above it. No byte overflows, as eight gaps add up to at
// most 8 * 22 = 176.
inline std::uint64_t exclusive_byte_sums(std::uint64_t gaps)
{
    return (gaps * 0x0101010101010101ull) << 8;
}

// The distance from the group's first rough number to the next group's first.
inline std::int64_t group_span(std::uint64_t gaps)
{
    return static_cast<std::int64_t>((gaps * 0x0101010101010101ull) >> 56);
}

// Groups of eight to run from wheel position q with `left` rough numbers to go:
// the last may be partial (its extra lanes count nothing); none reads gaps past
// the end of the cycle; and the double-precision sums of the quotients of
// 30030 are flushed to integers every 2^16 groups, before a lane (adding at
// most one k < 2^35 per group) can pass 2^51.
inline std::int64_t groups_before_wrap_or_flush(std::int32_t q, std::int64_t left)
{
    std::int64_t groups = (left + vector_group - 1) / vector_group;
    const std::int64_t to_wrap = (WHEEL_RESIDUES - q) / vector_group;
    if (groups > to_wrap)
        groups = to_wrap;
    constexpr std::int64_t flush = std::int64_t{1} << 16;
    return groups < flush ? groups : flush;
}

// The table reads of a group are done a few groups after its divisions, from
// the indices it left in a small ring: read back at once, the vector-to-scalar
// moves stall the loop; a few groups later they are plain loads.
inline constexpr int ring_slots = 8;
inline constexpr int read_behind = 6;  // groups between a group's divisions and its reads

struct index_ring {
    alignas(32) std::int32_t index[ring_slots][vector_group];
};

// The sum of the table entries one on from the eight indices of one slot
// (indices from -1 up). Eight entries of at most 5760 add up to far less than
// 2^32, and 32-bit sums save the widening of each partial sum.
inline std::uint32_t read_slot(const index_ring& ring, std::int64_t group)
{
    const std::int32_t* i = ring.index[group & (ring_slots - 1)];
    const std::uint16_t* entry = wheel_prefix_count + 1;
    return (std::uint32_t{entry[i[0]]} + entry[i[1]]) + (std::uint32_t{entry[i[2]]} + entry[i[3]]) +
           (std::uint32_t{entry[i[4]]} + entry[i[5]]) + (std::uint32_t{entry[i[6]]} + entry[i[7]]);
}

// The integer total of lanes that each hold an exact integer below 2^51.
inline std::int64_t exact_lane_total(const double* lanes, int count)
{
    std::int64_t total = 0;
    for (int i = 0; i < count; ++i)
        total += static_cast<std::int64_t>(lanes[i]);
    return total;
}

// C(floor(n / u)) for one u, with the same exact double division.
inline std::int64_t scalar_quotient_count(std::int64_t n, std::int64_t u)
{
    return coprime_count_up_to(static_cast<std::int64_t>(static_cast<double>(n) / static_cast<double>(u)));
}

// The loop both vector paths share: the sum of C(floor(n/u)) over `count`
// rough numbers from u0 at wheel position q0, eight at a time.
//
//   group(offsets, u, active, slot)   one step: the step's rough numbers are u
//        plus the bytes of `offsets`; lanes from `active` on (when below 8) are
//        past the end and must count nothing; it adds the quotients of 30030
//        to its own vector sum and writes the eight table indices to slot.
//   take_k_total()   returns the integer total of that vector sum, and clears it.
template <typename Group, typename TakeKTotal>
inline std::int64_t vector_quotient_sum(std::int64_t n, std::int64_t u0, std::int32_t q0, std::int64_t count,
                                        Group&& group, TakeKTotal&& take_k_total)
{
    std::int64_t sum = 0;
    std::int64_t u = u0;
    std::int32_t q = q0;
    std::int64_t left = count;
    while (left > 0) {
        if (q > WHEEL_RESIDUES - vector_group) {
            // A step would read gaps past the end of the cycle: go one at a time to the wrap.
            sum += scalar_quotient_count(n, u);
            u += wheel_gaps[q];
            q = next_wheel_position(q);
            --left;
            continue;
        }
        const std::int64_t groups = groups_before_wrap_or_flush(q, left);
        // Only the last group can be partial; the others need no check of
        // their lanes.
        const std::int64_t full = groups * vector_group > left ? groups - 1 : groups;
        std::uint64_t table_sum = 0;
        index_ring ring;
        const auto run_group = [&](std::int64_t g, std::int64_t slot, std::int64_t active) {
            std::uint64_t gaps;
            std::memcpy(&gaps, wheel_gaps + q + g * vector_group, sizeof(gaps));
            group(exclusive_byte_sums(gaps), u, active, ring.index[slot]);
            u += group_span(gaps);
        };
        const auto full_group = [&](std::int64_t g, std::int64_t slot) { run_group(g, slot, vector_group); };
        std::int64_t g = 0;
        // Lead-in: fill the ring, reading from the group `read_behind` back on.
        for (; g < full && g < ring_slots; ++g) {
            full_group(g, g);
            if (g >= read_behind)
                table_sum += read_slot(ring, g - read_behind);
        }
        // Steady state, a whole turn of the ring per pass so that every slot
        // is a constant offset.
        for (; g + ring_slots <= full; g += ring_slots) {
            [&]<int... j>(std::integer_sequence<int, j...>) {
                ((full_group(g + j, j), table_sum += read_slot(ring, j + ring_slots - read_behind)), ...);
            }(std::make_integer_sequence<int, ring_slots>{});
        }
        for (; g < full; ++g) {
            full_group(g, g & (ring_slots - 1));
            table_sum += read_slot(ring, g - read_behind);
        }
        if (full < groups) {
            run_group(g, g & (ring_slots - 1), left - g * vector_group);
            if (g >= read_behind)
                table_sum += read_slot(ring, g - read_behind);
            ++g;
        }
        // Drain: the groups not read yet.
        for (std::int64_t h = g > read_behind ? g - read_behind : 0; h < g; ++h)
            table_sum += read_slot(ring, h);
        sum += take_k_total() * WHEEL_RESIDUES + static_cast<std::int64_t>(table_sum);

        const std::int64_t done = groups * vector_group < left ? groups * vector_group : left;
        q += static_cast<std::int32_t>(groups * vector_group);
        if (q == WHEEL_RESIDUES)
            q = 0;
        left -= done;
    }
    return sum;
}

}  // namespace roughpi::detail
