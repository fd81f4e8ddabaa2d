// What the vector paths of the quotient loop share: the group of eight
// consecutive rough numbers each step handles, the exact reduction modulo 30030
// in double precision, and the bookkeeping between groups.
#pragma once

#include "quotient_counts.hpp"

#include <cstdint>

namespace roughpi::detail {

// Rough numbers per step: eight gaps are read as one 64-bit word.
inline constexpr std::int32_t vector_group = 8;

// 1/30030 rounded up (the nearest double, 0x1.175746e8cba40p-15, lies below it).
// With the reciprocal above the true value, floor(h * reciprocal) is never too
// small, and while h < 2^51 the error stays below 1/30030, the least distance
// from h/30030 up to the next integer, so it is never too large either. The
// vector paths see h <= n/17 + 1 < 2^49.
inline constexpr double reciprocal_of_modulus = 0x1.175746e8cba41p-15;

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

// The sum of the table entries at the eight indices of one slot.
inline std::int64_t read_slot(const index_ring& ring, std::int64_t group)
{
    const std::int32_t* i = ring.index[group & (ring_slots - 1)];
    return (std::int64_t{wheel_prefix_count[i[0]]} + wheel_prefix_count[i[1]]) +
           (wheel_prefix_count[i[2]] + wheel_prefix_count[i[3]]) +
           (wheel_prefix_count[i[4]] + wheel_prefix_count[i[5]]) +
           (wheel_prefix_count[i[6]] + wheel_prefix_count[i[7]]);
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

}  // namespace roughpi::detail
