// What the vector paths of the quotient loop share: the group of eight
// consecutive rough numbers each step handles, the exact reduction modulo 30030
// in double precision, the ring the table reads go through, and the stream
// that runs the quotient loops one after another: the walks that hand out the
// loops (one loop, or the pair counts under a node of the tuple walk), and the
// loop over the groups itself.
//
// Everything here has internal linkage: each vector path compiles it for its
// own instruction set, and no copy may stand in for another.
#pragma once

#include "pair_count_terms.hpp"
#include "quotient_counts.hpp"

#include "integer_roots.hpp"
#include "wide_int.hpp"

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace roughpi::detail {

namespace {

// Rough numbers per step: eight gaps are read as one 64-bit word.
inline constexpr std::int32_t VECTOR_GROUP = 8;

// 1/30030 rounded up (the nearest double, 0x1.175746e8cba40p-15, lies below it).
inline constexpr double RECIPROCAL_OF_MODULUS = 0x1.175746e8cba41p-15;

// Reducing a quotient modulo 30030 without rounding it first. Let t be the
// double nearest n/u and q = floor(n/u) = floor(t) (see MAX_EXACT_DOUBLE_N).
// What the table needs is h = q + 1 = 30030 k + r with 0 <= r < 30030. The
// vector paths take
//
//     k = floor(fma(t, R, R)),   R = RECIPROCAL_OF_MODULUS,
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
// A lane past the end of a loop divides 0 instead of n: t = 0, k = 0, and the
// entry one on from index 0 is 0.

// Byte i of the result is g_0 + ... + g_i: with g_0 the gap from the rough
// number before a group to the group's first, the distance from that number
// to the group's i-th. Multiplying by 0x0101...01 adds every byte into all the
// bytes above it; no byte overflows, as eight gaps add up to at most
// 8 * 22 = 176.
inline std::uint64_t inclusive_byte_sums(std::uint64_t gaps)
{
    return gaps * 0x0101010101010101ull;
}

// The table reads of a group are done a few groups after its divisions, from
// the indices it left in a small ring: read back at once, the vector-to-scalar
// moves stall the loop; a few groups later they are plain loads.
inline constexpr int RING_SLOTS = 8;
inline constexpr int READ_BEHIND = 6;  // groups between a group's divisions and its reads

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

// The integer total of lanes that each hold an exact integer below 2^51.
inline std::int64_t exact_lane_total(const double* lanes, int count)
{
    std::int64_t total = 0;
    for (int i = 0; i < count; ++i)
        total += static_cast<std::int64_t>(lanes[i]);
    return total;
}

// floor(n / d) for n >= 0, d >= 1, by the integer divider.
inline std::int64_t unsigned_quotient(std::int64_t n, std::int64_t d)
{
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(n) / static_cast<std::uint64_t>(d));
}

// floor(sqrt(m)) for m >= 1, from any x >= floor(sqrt(m)), by Newton's method on
// integers and the integer divider: from above, x -> floor((x + floor(m/x)) / 2)
// never passes below floor(sqrt(m)) and stops there, at the first x with
// x^2 <= m. Two steps come first unconditionally, which from a near guess is
// all it takes, so that the loop's branch hardly ever goes the other way.
inline std::int64_t floor_sqrt_from_above(std::int64_t m, std::int64_t x)
{
    x = (x + unsigned_quotient(m, x)) / 2;
    x = (x + unsigned_quotient(m, x)) / 2;
    while (x * x > m)
        x = (x + unsigned_quotient(m, x)) / 2;
    return x;
}

// Groups between two flushes of the vector sum of the quotients of 30030. A
// lane adds at most one k <= n/(17 * 30030) < 2^33 per group, so it stays
// below 2^47, exact in a double; and the total of a flush, under
// 8 * 2^47 * 5760 < 2^63, fits in 64 bits.
inline constexpr std::int64_t FLUSH_GROUPS = std::int64_t{1} << 14;

// A stretch of quotient groups for the stream below: `left` groups whose gaps
// are read on from `gaps`, the last of them with `last_active` lanes. A piece
// that opens a loop (new_loop) brings the loop's dividend and the rough number
// just before its first u. No piece reads gaps across the end of the gap
// cycle: a group that would is a piece of its own, with its gaps copied around
// the wrap.
struct stream_piece {
    bool new_loop = false;
    std::int64_t dividend = 0;
    std::int64_t u_before = 0;
    const std::uint8_t* gaps = nullptr;
    std::int64_t left = 0;
    std::int64_t last_active = 0;
    std::uint64_t reads = 0;  // the stream's table sum, kept here across set-ups
};

// One quotient loop, handed out a piece at a time: C(floor(n/u)) for the
// `count` rough numbers after u_before, which sits at wheel position p.
class loop_pieces {
public:
    void open(std::int64_t n, std::int64_t u_before, std::int32_t p, std::int64_t count, stream_piece& piece)
    {
        piece.new_loop = true;
        piece.dividend = n;
        piece.u_before = u_before;
        p_ = p;
        groups_ = (count + VECTOR_GROUP - 1) / VECTOR_GROUP;
        last_active_ = count - (groups_ - 1) * VECTOR_GROUP;
    }

    bool done() const { return groups_ == 0; }

    // The next piece of the loop, which must not be done: at most
    // FLUSH_GROUPS groups, and none reading gaps past the end of the cycle.
    void hand_out(stream_piece& piece)
    {
        std::int64_t groups = groups_ < FLUSH_GROUPS ? groups_ : FLUSH_GROUPS;
        // A group reads the gaps from p_ to p_ + 7, the first of them the
        // gap to its first rough number.
        const std::int32_t to_wrap = (WHEEL_RESIDUES - p_) / VECTOR_GROUP;
        if (to_wrap == 0) {
            for (std::int32_t i = 0; i < VECTOR_GROUP; ++i)
                wrap_gaps_[i] = wheel_gaps[(p_ + i) % WHEEL_RESIDUES];
            piece.gaps = wrap_gaps_;
            groups = 1;
            p_ += VECTOR_GROUP - WHEEL_RESIDUES;
        } else {
            piece.gaps = wheel_gaps + p_;
            if (groups > to_wrap)
                groups = to_wrap;
            p_ += static_cast<std::int32_t>(groups) * VECTOR_GROUP;
        }
        piece.left = groups;
        groups_ -= groups;
        piece.last_active = groups_ == 0 ? last_active_ : VECTOR_GROUP;
    }

private:
    std::int64_t groups_ = 0;  // groups not yet handed out,
    std::int32_t p_ = 0;       // the wheel position of the rough number before the first of them
    std::int64_t last_active_ = 0;
    std::uint8_t wrap_gaps_[VECTOR_GROUP] = {};
};

// The walk of a single quotient loop: C(floor(n/u)) for the `count` rough u
// from u0 on, u0 at wheel position q0.
class single_loop_walk {
public:
    single_loop_walk(std::int64_t n, std::int64_t u0, std::int32_t q0, std::int64_t count)
        : n_(n), u0_(u0), q0_(q0), count_(count)
    {
    }

    // Out of line, for the same reason as pair_node_walk::next_piece.
    [[gnu::noinline]] bool next_piece(stream_piece& piece)
    {
        piece.new_loop = false;
        if (!opened_) {
            opened_ = true;
            if (count_ <= 0)
                return false;
            const std::int32_t p = q0_ == 0 ? WHEEL_RESIDUES - 1 : q0_ - 1;
            loop_.open(n_, u0_ - wheel_gaps[p], p, count_, piece);
        }
        if (loop_.done())
            return false;
        loop_.hand_out(piece);
        return true;
    }

private:
    std::int64_t n_, u0_;
    std::int32_t q0_;
    std::int64_t count_;
    bool opened_ = false;
    loop_pieces loop_;
};

// The walk of the pair counts under one node of the tuple walk: the rough u1
// from `first` (at wheel position `position`) to `last` while u1^3 <= n, each
// with its pair count of n/u1 and b = u1. It adds up the parts of those counts
// that need no loop, and hands out their quotient loops, of quotients of n/u1
// over the rough u in (u1, sqrt(n/u1)].
class pair_node_walk {
public:
    pair_node_walk(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position, std::int64_t last)
        : n_(n), w_(w), last_(last), u1_(first), q1_(position), cycle_(first / WHEEL_MODULUS),
          m_(exact_quotient(n, first)), s_(floor_sqrt(m_))
    {
    }

    // The next piece: the rest of the loop under way, or else the first piece
    // of the next first entry with a loop. False when none is left. Out of
    // line: it runs about once a loop, and the stream's registers are better
    // spent on the groups.
    [[gnu::noinline]] bool next_piece(stream_piece& piece)
    {
        piece.new_loop = false;
        while (loop_.done()) {
            if (u1_ > last_ || s_ < u1_)
                return false;
            // The next first entry's quotient and root, for the processor to
            // work out while this entry's loop runs. The quotients here take
            // the integer divider, which the loops leave idle, rather than
            // queue behind the loops' own divisions.
            const std::int64_t next_u1 = u1_ + wheel_gaps[q1_];
            const std::int64_t next_m = unsigned_quotient(n_, next_u1);
            const std::int64_t next_s = floor_sqrt_from_above(next_m, s_);
            // C(u1) - 1 = 5760 * floor(u1 / 30030) + (the wheel position of u1).
            const pair_count_terms t =
                pair_terms(s_, unsigned_quotient(m_, u1_), cycle_ * WHEEL_RESIDUES + q1_, w_, 2);
            bases_ += t.base;
            if (t.loop_count > 0) {
                offsets_ += t.loop_offset;
                loop_.open(m_, u1_, q1_, t.loop_count, piece);
            }
            u1_ = next_u1;
            q1_ = next_wheel_position(q1_);
            cycle_ += q1_ == 0 ? 1 : 0;
            m_ = next_m;
            s_ = next_s;
        }
        loop_.hand_out(piece);
        return true;
    }

    // The node's total, given the sum of every quotient count of its loops.
    wide_int total(wide_int quotients) const
    {
        // The quotient counts less the C(u) of the u they are taken at: the
        // number of pairs (u, v) with u1 < u < v over the node: at most about
        // 1.7 10^18 < 2^63, for the node D_3(x) at x = 2^63 - 1, whose stream
        // takes the first entries from n / 2^51 = 4096 on.
        const auto loop_pairs = static_cast<std::int64_t>(quotients - offsets_);
        return bases_ + wide_product(w_, loop_pairs);
    }

private:
    std::int64_t n_, w_, last_;
    std::int64_t u1_;  // the next first entry,
    std::int32_t q1_;  // its wheel position,
    std::int64_t cycle_;  // floor(u1 / 30030),
    std::int64_t m_;   // n / u1
    std::int64_t s_;   // and floor(sqrt(n / u1))
    loop_pieces loop_;
    wide_int bases_ = 0;
    wide_int offsets_ = 0;
};

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

// The sum of C(floor(n/u)) over the loops that `walk` hands out, as one
// stream: the loops follow one another without a break. The groups go round
// the ring of table indices as one sequence, a turn of eight per pass so that
// every slot is a constant address (a processor forwards the ring's stores to
// its loads far better so); a loop's last group may sit anywhere in the turn,
// and the next loop starts in the slot after it. So the ring, the vector sum
// of the quotients of 30030 and the table sum carry on from one loop into the
// next: the table reads of one loop's last groups overlap the divisions of the
// next loop's first, and a loop's end costs one mispredicted branch and the
// walk's set-up of the next.
template <typename Lanes, typename Walk>
inline wide_int vector_stream_sum(Walk& walk)
{
    auto nv = Lanes::dividend(0);
    auto u_last = Lanes::before(0);
    auto k_sum = Lanes::no_k();
    stream_piece piece;
    wide_int quotients = 0;
    std::int64_t unflushed = 0;  // groups since k_sum was last flushed
    const auto start_piece = [&]() -> bool {
        if (!walk.next_piece(piece))
            return false;
        if (unflushed + piece.left > FLUSH_GROUPS) {
            quotients += Lanes::k_total(k_sum) * WHEEL_RESIDUES;
            k_sum = Lanes::no_k();
            unflushed = 0;
        }
        unflushed += piece.left;
        if (piece.new_loop) {
            nv = Lanes::dividend(piece.dividend);
            u_last = Lanes::before(piece.u_before);
        }
        return true;
    };

    // Zero indices read entries of 0, so the first groups may read slots
    // that no group has written yet.
    index_ring ring{};
    int end_slot = 0;  // the slot after the last group
    if (start_piece()) {
        const std::uint8_t* gap = piece.gaps;
        std::int64_t left = piece.left;
        std::uint64_t reads = 0;
        // One group into slot j, and the reads of the group READ_BEHIND
        // before it. False after the last group.
        const auto step = [&]<int j>(std::integral_constant<int, j>) -> bool {
            std::uint64_t gaps;
            std::memcpy(&gaps, gap, sizeof(gaps));
            gap += VECTOR_GROUP;
            if (left > 1) [[likely]] {
                // Not the piece's last group, so a whole one, and more follow.
                Lanes::group(nv, k_sum, u_last, inclusive_byte_sums(gaps), VECTOR_GROUP, ring.index[j]);
                reads += read_slot(ring, j + RING_SLOTS - READ_BEHIND);
                --left;
                return true;
            }
            Lanes::group(nv, k_sum, u_last, inclusive_byte_sums(gaps), piece.last_active, ring.index[j]);
            reads += read_slot(ring, j + RING_SLOTS - READ_BEHIND);
            // What the groups keep in registers goes through `piece` across
            // the call, so that none has to stay in memory throughout.
            piece.reads = reads;
            if (!start_piece()) {
                end_slot = j + 1;
                return false;
            }
            gap = piece.gaps;
            left = piece.left;
            reads = piece.reads;
            return true;
        };
        static_assert(RING_SLOTS == 8, "a turn of the loop below is eight steps");
        while (step(std::integral_constant<int, 0>{}) && step(std::integral_constant<int, 1>{}) &&
               step(std::integral_constant<int, 2>{}) && step(std::integral_constant<int, 3>{}) &&
               step(std::integral_constant<int, 4>{}) && step(std::integral_constant<int, 5>{}) &&
               step(std::integral_constant<int, 6>{}) && step(std::integral_constant<int, 7>{})) {
        }
    }
    // Drain: the last READ_BEHIND groups, not read yet (slots no group wrote
    // read as zero).
    std::uint64_t table_sum = piece.reads;
    for (int h = end_slot - READ_BEHIND; h < end_slot; ++h)
        table_sum += read_slot(ring, h);
    return quotients + Lanes::k_total(k_sum) * WHEEL_RESIDUES + static_cast<std::int64_t>(table_sum);
}

// The pair counts under one node of the tuple walk (see sum_pair_node_avx2).
template <typename Lanes>
inline wide_int vector_pair_node_sum(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position,
                                     std::int64_t last)
{
    pair_node_walk walk(n, w, first, position, last);
    return walk.total(vector_stream_sum<Lanes>(walk));
}

// The sum of C(floor(n/u)) over `count` rough u from u0 at wheel position q0,
// below 2^63.
template <typename Lanes>
inline std::int64_t vector_quotient_sum(std::int64_t n, std::int64_t u0, std::int32_t q0, std::int64_t count)
{
    single_loop_walk walk(n, u0, q0, count);
    return static_cast<std::int64_t>(vector_stream_sum<Lanes>(walk));
}

}  // namespace

}  // namespace roughpi::detail
