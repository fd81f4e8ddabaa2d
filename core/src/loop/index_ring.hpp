// SPDX-License-Identifier: MIT
// The ring the vector paths' table reads go through.
//
// Internal linkage (see quotient_reduction.hpp).
#pragma once

#include "quotient_reduction.hpp"
#include "wheel.hpp"

#include <cstdint>

namespace roughpi::detail {

namespace {

// The table reads of a group are done a few groups after its divisions, from
// the indices it left in a small ring: read back at once, the vector-to-scalar
// moves stall the loop; a few groups later they are plain loads. They must
// come late enough that the group's stores are done: a group's chain of
// dependent operations, from its gaps to its stores, is some tens of cycles
// long (longer where the quotients come from reciprocals), and the loop starts
// a group every 8 to 12 cycles. Reading 12 groups behind rather than 6 took the
// pair loop on an AMD Zen 5 from 0.33 to 0.285 ns a quotient by the divider,
// and from 0.43 to 0.39 ns from reciprocals.
inline constexpr int RING_SLOTS = 16;
inline constexpr int READ_BEHIND = 12;  // groups between a group's divisions and its reads

struct index_ring {
    alignas(32) std::int32_t index[RING_SLOTS][VECTOR_GROUP];
};

// The sum of the table entries one on from the eight indices of one slot
// (indices from -1 up). Eight entries of at most 5760 add up to at most
// 46080, so the sum is kept in 16 bits: each entry is then one addition
// straight from the table, with no separate load and widening. The indices
// are read back from memory even where the compiler could see them still in a
// vector register: taking them from there costs the vector-to-scalar moves
// that the ring is there to avoid.
inline std::uint16_t read_slot(const index_ring& ring, std::int64_t group)
{
    const volatile std::int32_t* i = ring.index[group & (RING_SLOTS - 1)];
    const std::uint16_t* entry = wheel_prefix_count + 1;
    std::uint16_t sum = entry[i[0]];
    for (int lane = 1; lane < VECTOR_GROUP; ++lane)
        sum = static_cast<std::uint16_t>(sum + entry[i[lane]]);
    return sum;
}

}  // namespace

}  // namespace roughpi::detail
