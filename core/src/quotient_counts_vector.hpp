// What the vector paths of the quotient loop share: the group of eight
// consecutive rough numbers each step handles, the exact reduction modulo 30030
// in double precision, and the bookkeeping between groups.
//
// Everything here has internal linkage: each vector path compiles it for its
// own instruction set, and no copy may stand in for another.
#pragma once

#include "pair_count_terms.hpp"
#include "quotient_counts.hpp"

#include <roughpi/integer_roots.hpp>
#include <roughpi/wide_int.hpp>

#include <cstdint>
#include <cstring>
#include <utility>

namespace roughpi::detail {

namespace {

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
// 2^32, and 32-bit sums save the widening of each partial sum. The indices
// are read back from memory even where the compiler could see them still in a
// vector register: taking them from there costs the vector-to-scalar moves
// that the ring is there to avoid.
inline std::uint32_t read_slot(const index_ring& ring, std::int64_t group)
{
    const volatile std::int32_t* i = ring.index[group & (ring_slots - 1)];
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

// What a vector path supplies to the loops below, as an object `lanes` with
//
//   lanes.set_dividend(n)   the n of the quotients that follow;
//   lanes.group(offsets, u, active, slot)   one step: the step's rough numbers
//        are u plus the bytes of `offsets`; lanes from `active` on (when below
//        8) are past the end and must count nothing; it adds the quotients of
//        30030 to its own vector sum and writes the eight table indices to slot;
//   lanes.take_k_total()   returns the integer total of that vector sum, and
//        clears it.

// The loop both vector paths share: the sum of C(floor(n/u)) over `count`
// rough numbers from u0 at wheel position q0, eight at a time.
template <typename Lanes>
inline std::int64_t vector_quotient_sum(std::int64_t n, std::int64_t u0, std::int32_t q0, std::int64_t count,
                                        Lanes& lanes)
{
    lanes.set_dividend(n);
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
            lanes.group(exclusive_byte_sums(gaps), u, active, ring.index[slot]);
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
        sum += lanes.take_k_total() * WHEEL_RESIDUES + static_cast<std::int64_t>(table_sum);

        const std::int64_t done = groups * vector_group < left ? groups * vector_group : left;
        q += static_cast<std::int32_t>(groups * vector_group);
        if (q == WHEEL_RESIDUES)
            q = 0;
        left -= done;
    }
    return sum;
}

// Groups between two flushes of the vector sum of the quotients of 30030 in the
// node stream below. A lane adds at most one k < n/(19 * 30030) < 2^32 per
// group, so it stays below 2^46, exact in a double; and the total of a flush,
// under 8 * 2^46 * 5760 < 2^62, fits in 64 bits.
inline constexpr std::int64_t node_flush_groups = std::int64_t{1} << 14;

// A stretch of one quotient loop for the node stream below: `left` groups of
// quotients of `dividend`, from u on, with their gaps read on from `gaps`; the
// last group has `last_active` lanes. A stretch never reads gaps across the
// end of the gap cycle: a group that would is a stretch of its own, with its
// gaps copied around the wrap.
struct stream_piece {
    std::int64_t dividend = 0;
    std::int64_t u = 0;
    const std::uint8_t* gaps = nullptr;
    std::int64_t left = 0;
    std::int64_t last_active = 0;
    std::uint64_t reads = 0;  // the stream's table sum, kept here across set-ups
};

// The scalar side of a node stream: walks the first entries u1 from `first`
// (at wheel position `position`) to `last` while u1^3 <= n, adds up the parts
// of their pair counts that need no loop, and hands out their quotient loops a
// piece of at most node_flush_groups groups at a time.
class pair_node_walk {
public:
    pair_node_walk(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position, std::int64_t last)
        : n_(n), w_(w), last_(last), u1_(first), q1_(position), m_(exact_quotient(n, first)), s_(floor_sqrt(m_))
    {
    }

    // The next piece: the rest of the loop under way (whose u the caller has
    // kept in `piece`), or else the first piece of the next first entry with a
    // loop. False when none is left. Out of line: it runs once a loop, and the
    // stream's registers are better spent on the groups.
    [[gnu::noinline]] bool next_piece(stream_piece& piece)
    {
        while (loop_groups_ == 0) {
            if (u1_ > last_ || s_ < u1_)
                return false;
            // The next first entry's quotient and root, for the processor to
            // work out while this entry's loop runs.
            const std::int64_t next_u1 = u1_ + wheel_gaps[q1_];
            const std::int64_t next_m = exact_quotient(n_, next_u1);
            const std::int64_t next_s = floor_sqrt(next_m);
            const pair_count_terms t = pair_terms(m_, s_, u1_, w_, 2);
            bases_ += t.base;
            if (t.loop_count > 0) {
                offsets_ += t.loop_offset;
                piece.dividend = m_;
                piece.u = t.first_u;
                loop_q_ = t.first_position;
                loop_groups_ = (t.loop_count + vector_group - 1) / vector_group;
                loop_last_active_ = t.loop_count - (loop_groups_ - 1) * vector_group;
            }
            u1_ = next_u1;
            q1_ = next_wheel_position(q1_);
            m_ = next_m;
            s_ = next_s;
        }
        std::int64_t groups = loop_groups_ < node_flush_groups ? loop_groups_ : node_flush_groups;
        const std::int32_t to_wrap = (WHEEL_RESIDUES - loop_q_) / vector_group;
        if (to_wrap == 0) {
            // The next group's gaps run across the end of the cycle.
            for (std::int32_t i = 0; i < vector_group; ++i)
                wrap_gaps_[i] = wheel_gaps[(loop_q_ + i) % WHEEL_RESIDUES];
            piece.gaps = wrap_gaps_;
            groups = 1;
            loop_q_ += vector_group - WHEEL_RESIDUES;
        } else {
            piece.gaps = wheel_gaps + loop_q_;
            if (groups > to_wrap)
                groups = to_wrap;
            loop_q_ += static_cast<std::int32_t>(groups) * vector_group;
        }
        piece.left = groups;
        loop_groups_ -= groups;
        piece.last_active = loop_groups_ == 0 ? loop_last_active_ : vector_group;
        return true;
    }

    // The node's total, given the sum of every quotient count of its loops.
    wide_int total(wide_int quotients) const
    {
        // The quotient counts less the C(u) of the u they are taken at: the
        // number of pairs (u, v) with u1 < u < v over the node, below 2^63.
        const auto loop_pairs = static_cast<std::int64_t>(quotients - offsets_);
        return bases_ + wide_product(w_, loop_pairs);
    }

private:
    std::int64_t n_, w_, last_;
    std::int64_t u1_;  // the next first entry,
    std::int32_t q1_;  // its wheel position,
    std::int64_t m_;   // n / u1
    std::int64_t s_;   // and floor(sqrt(n / u1))
    std::int64_t loop_groups_ = 0;  // groups of the loop under way not yet handed out,
    std::int32_t loop_q_ = 0;       // the wheel position of the first of them
    std::int64_t loop_last_active_ = 0;
    std::uint8_t wrap_gaps_[vector_group] = {};
    wide_int bases_ = 0;
    wide_int offsets_ = 0;
};

// The pair counts under one node of the tuple walk, as one stream: the sum of
// count_factor_pairs(n/u1, u1, w, 2) over the rough u1 from `first` (at wheel
// position `position`) to `last`, as long as u1^3 <= n. Requires n/first <=
// max_vector_n.
//
// The quotient loops of the pair counts follow one another without a break.
// The groups go round the ring of table indices as one sequence, a turn of
// eight per pass so that every slot is a constant; a loop's last group may sit
// anywhere in the turn, and the next loop starts in the slot after it. So the
// ring, the vector sum of the quotients of 30030 and the table sum carry on
// from one loop into the next: the table reads of one loop's last groups
// overlap the divisions of the next loop's first, and a loop's end costs one
// mispredicted branch and the scalar set-up of the next. All the pair counts
// share the weight w, so the node's total is
//
//     sum of base  +  w * (sum of all quotient counts - sum of loop_offset)
//
// with the sums in 128 bits.
template <typename Lanes>
inline wide_int vector_pair_node_sum(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position,
                                     std::int64_t last, Lanes& lanes)
{
    pair_node_walk walk(n, w, first, position, last);
    stream_piece piece;
    wide_int quotients = 0;
    std::int64_t unflushed = 0;  // groups since the vector sum was last flushed
    const auto start_piece = [&]() -> bool {
        if (!walk.next_piece(piece))
            return false;
        if (unflushed + piece.left > node_flush_groups) {
            quotients += lanes.take_k_total() * WHEEL_RESIDUES;
            unflushed = 0;
        }
        unflushed += piece.left;
        lanes.set_dividend(piece.dividend);
        return true;
    };

    // Zero indices read entries of 0, so the first groups may read slots
    // that no group has written yet.
    index_ring ring{};
    std::uint64_t table_sum = 0;
    int end_slot = 0;  // the slot after the node's last group
    if (start_piece()) {
        std::int64_t u = piece.u;
        const std::uint8_t* gap = piece.gaps;
        std::int64_t left = piece.left;
        std::uint64_t reads = 0;
        // One group into slot j, and the reads of the group read_behind
        // before it. False after the node's last group.
        const auto step = [&]<int j>(std::integral_constant<int, j>) -> bool {
            std::uint64_t gaps;
            std::memcpy(&gaps, gap, sizeof(gaps));
            gap += vector_group;
            lanes.group(exclusive_byte_sums(gaps), u, left == 1 ? piece.last_active : vector_group, ring.index[j]);
            reads += read_slot(ring, j + ring_slots - read_behind);
            u += group_span(gaps);
            if (--left > 0)
                return true;
            // Everything the groups keep in registers goes through `piece`
            // across the call, so that none has to stay in memory throughout.
            piece.u = u;
            piece.reads = reads;
            if (!start_piece()) {
                end_slot = j + 1;
                return false;
            }
            u = piece.u;
            gap = piece.gaps;
            left = piece.left;
            reads = piece.reads;
            return true;
        };
        const auto turn = [&]<int... j>(std::integer_sequence<int, j...>) {
            return (step(std::integral_constant<int, j>{}) && ...);
        };
        while (turn(std::make_integer_sequence<int, ring_slots>{})) {
        }
        table_sum = piece.reads;
    }
    // Drain: the last read_behind groups, not read yet (slots no group wrote
    // read as zero).
    for (int h = end_slot - read_behind; h < end_slot; ++h)
        table_sum += read_slot(ring, h);
    return walk.total(quotients + lanes.take_k_total() * WHEEL_RESIDUES + static_cast<std::int64_t>(table_sum));
}

}  // namespace

}  // namespace roughpi::detail
