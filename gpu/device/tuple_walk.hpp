// SPDX-License-Identifier: MIT
// The tuple walk of a piece on the device, down to its pair counts.
//
// A piece counts the weighted non-decreasing k-tuples of rough numbers under
// a node (n, b, w, r, k) of the walk whose first entry lies in [first, last]
// (the core's factor_counts.hpp). Every such count ends in pair counts
// P(m, b, w, r), the weighted pairs (u, v) of rough numbers with b <= u <= v
// and u v <= m, and each pair count is a closed form plus w times a quotient
// loop over the rough u in (b, sqrt(m)] (leaf_of below). The walker goes
// down the nodes with three or more entries to choose, a frame per level,
// and hands out what it finds as runs (struct run):
//
//   - a run of leaves: up to LEAVES_PER_RUN consecutive first entries u1 of a
//     node with three entries to choose, whose pair counts P(n/u1, u1, w, 2)
//     the device then works out one per thread (expand_leaf in round.hpp);
//   - a loop: one quotient loop whose closed-form part the walker has added
//     itself (the pair count of a repeated entry, and a piece whose node has
//     two entries to choose).
//
// The walker stops when it has handed out what a round takes and goes on
// from there in the next round: its state (struct walker) is a few frames of
// fixed size, so the device's memory does not grow with x. What it counts in
// closed form goes into a 128-bit sum of its own.
#pragma once

#include "portable.hpp"
#include "wheel_view.hpp"

#include <cstdint>

namespace roughpi::gpu {

// The integer roots and quotients below are the device's own copies of the
// core's (roots.cpp, quotient_counts.hpp): those are compiled for the host
// alone, with the standard library's cbrt and pow, and a device function may
// call neither. The tests hold the two to the same values.

// floor(n / d) for 0 <= n < 2^63, d >= 1: in double precision below 2^53,
// where the correctly rounded quotient never crosses an integer (the gap
// from n/d to the next integer is at least 1/d, the rounding at most
// (n/d) 2^-53 < 1/d), by the integer divider above.
ROUGHPI_HD inline std::int64_t exact_quotient(std::int64_t n, std::int64_t d)
{
    if (n < (std::int64_t{1} << 53))
        return static_cast<std::int64_t>(static_cast<double>(n) / static_cast<double>(d));
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(n) / static_cast<std::uint64_t>(d));
}

// Whether b^e <= n, for b >= 1, e >= 0, n >= 0, without overflow: the
// product stops before it passes n.
ROUGHPI_HD inline bool power_at_most(std::int64_t b, int e, std::int64_t n)
{
    std::int64_t p = 1;
    for (int i = 0; i < e; ++i) {
        if (p > n / b)
            return false;
        p *= b;
    }
    return true;
}

// floor(sqrt(n)) for 0 <= n < 2^63: the double root is within one of it
// (n rounded to 53 bits first), and the last step is made exact.
ROUGHPI_HD inline std::int64_t floor_sqrt(std::int64_t n)
{
    if (n <= 0)
        return 0;
    auto s = static_cast<std::int64_t>(square_root(static_cast<double>(n)));
    constexpr std::int64_t largest = 3037000499;  // floor(sqrt(2^63 - 1)): s * s stays below 2^63
    if (s > largest)
        s = largest;
    while (s * s > n)
        --s;
    while (s < largest && (s + 1) * (s + 1) <= n)
        ++s;
    return s;
}

// floor(n^(1/k)) for 0 <= n < 2^63, k >= 1: a guess from pow, made exact.
ROUGHPI_HD inline std::int64_t floor_root(std::int64_t n, int k)
{
    if (k == 1 || n <= 1)
        return n < 0 ? 0 : n;
    if (k == 2)
        return floor_sqrt(n);
    auto r = static_cast<std::int64_t>(power(static_cast<double>(n), 1.0 / k));
    if (r < 1)
        r = 1;
    while (r > 1 && !power_at_most(r, k, n))
        --r;
    while (power_at_most(r + 1, k, n))
        ++r;
    return r;
}

// A pair count P(m, b, w, r), b rough of index index_b, split as
//
//     base + w * (sum of C(m/u) over the `loop` rough u in (b, sqrt(m)]) - w * offset
//
// (the core's pair_count_terms.hpp): base weighs the pairs (b, b), (b, v)
// and (u, u); the pairs (u, v), b < u < v <= m/u, weigh w each and number
// C(m/u) - C(u) for each u, whose C(u) are C(b) + 1, C(b) + 2, ... and add
// up to offset = loop C(b) + loop (loop + 1) / 2.
struct leaf_terms {
    std::int64_t base;
    std::int64_t loop;
    std::int64_t offset;
};

// Requires m >= b^2, w a multiple of r (r + 1) and of 2. Every count below is
// a difference of C values, each at most m; base is a weighted count of
// pairs, so below the whole pair count, under 2^62 everywhere but in D_2(x)
// itself (the core's factor_counts.hpp), where the largest product is 2 C(x/17)
// < 2^60; loop and C(b) are below 2^31, so offset is below 2^62.
ROUGHPI_HD inline leaf_terms leaf_of(const wheel_view& wheel, std::int64_t m, std::int64_t b, std::int64_t index_b,
                                     std::int64_t w, std::int32_t r)
{
    const std::int64_t above_b = coprimes_through(wheel, exact_quotient(m, b)) - index_b - 1;
    const std::int64_t squares = coprimes_through(wheel, floor_sqrt(m)) - index_b - 1;
    leaf_terms t{above_b * (w / r) + squares * (w / 2) + w / (r * (r + 1)), 0, 0};
    if (squares > 0) {
        t.loop = squares;
        t.offset = squares * (index_b + 1) + squares * (squares + 1) / 2;
    }
    return t;
}

// What the walker hands out (see the head of this file).
enum run_kind : std::int32_t {
    RUN_OF_LEAVES = 0,  // n, w: the node; a, count: the index of the first u1, and how many
    RUN_OF_LOOP = 1,    // n, w: the loop's dividend and weight; a, count: the index of its first u, its length
};

struct run {
    std::int64_t n;
    std::int64_t w;
    std::int64_t a;
    std::int64_t count;
    std::int32_t kind;
    std::int32_t reserved;
};

// The first entries of a node with three entries to choose that one run
// holds at most: the threads that work them out come in warps of 32.
inline constexpr std::int64_t LEAVES_PER_RUN = 32;

// Levels of the walk: a node with k entries to choose is a frame while k >= 3,
// and k < 16 for every term of every x < 2^63 (17^16 > 2^63).
inline constexpr int MAX_FRAMES = 16;

// A node (n, b, w, r, k), k >= 3, being walked: its child v = b first (the
// run of b's grows), then its children v > b, which open a run of their own,
// up to `end`.
struct walk_frame {
    std::int64_t n;
    std::int64_t b;
    std::int64_t w;
    std::int64_t next;  // the next child v > b to take
    std::int64_t end;   // the last: min(last, floor(n^(1/k))), as v^k <= n
    std::int32_t r;
    std::int32_t k;
    std::int32_t b_child;  // whether the child v = b is still to take
    std::int32_t reserved;
};

struct walker {
    walk_frame frames[MAX_FRAMES];
    std::int32_t depth;         // frames in use; the walk is done at 0 with no loop pending
    std::int32_t loop_pending;  // whether `pending` is still to hand out
    run pending;                // the loop of a piece whose node has two entries to choose
};

ROUGHPI_HD inline bool walk_done(const walker& walk) { return walk.depth == 0 && walk.loop_pending == 0; }

// Pushes the node (n, b, w, r, k), k >= 3, with its children v in [first, last].
ROUGHPI_HD inline void push_node(walker& walk, const wheel_view& wheel, std::int64_t n, std::int64_t b, std::int64_t w,
                                 std::int32_t r, std::int32_t k, std::int64_t first, std::int64_t last)
{
    walk_frame& f = walk.frames[walk.depth++];
    f.n = n;
    f.b = b;
    f.w = w;
    f.r = r;
    f.k = k;
    f.reserved = 0;
    const std::int64_t top = floor_root(n, k);
    f.end = last < top ? last : top;
    f.b_child = first <= b ? 1 : 0;
    const std::int64_t lo = first > b ? first : b + 1;
    f.next = lo <= f.end ? next_rough(wheel, lo) : f.end + 1;
}

// The pair count P(m, b, w, r) whose closed-form part goes into `closed`
// and whose loop, if it has one, into `out`: true when it has.
ROUGHPI_HD inline bool pair_count_loop(const wheel_view& wheel, wide_sum& closed, run& out, std::int64_t m,
                                       std::int64_t b, std::int64_t w, std::int32_t r)
{
    const std::int64_t index_b = coprimes_below(wheel, b);
    const leaf_terms t = leaf_of(wheel, m, b, index_b, w, r);
    add_signed(closed, t.base);
    subtract_product(closed, w, t.offset);
    if (t.loop <= 0)
        return false;
    out = run{m, w, index_b + 1, t.loop, RUN_OF_LOOP, 0};
    return true;
}

// Sets the walker to the count of a piece (the core's count_node_range):
// the node (n, b, w, r, k) with its children in [first, last]; k = 0 counts
// nothing. The parts that need no loop go into `closed`. Nodes with one or
// two entries to choose are counted here, the second with one loop left.
ROUGHPI_HD inline void start_walk(walker& walk, wide_sum& closed, const wheel_view& wheel, std::int64_t n,
                                  std::int64_t b, std::int64_t w, std::int32_t r, std::int32_t k, std::int64_t first,
                                  std::int64_t last)
{
    walk.depth = 0;
    walk.loop_pending = 0;
    walk.pending = run{};
    closed = wide_sum{0, 0};
    if (k == 0)
        return;
    const std::int64_t lo = first > b ? first : b + 1;
    if (k == 1) {  // single entries: b itself weighs w / r, every other w
        if (first <= b)
            add_signed(closed, w / r);
        const std::int64_t hi = last < n ? last : n;
        if (lo <= hi)
            add_product(closed, w, rough_in(wheel, lo, hi));
        return;
    }
    if (k > 2) {
        push_node(walk, wheel, n, b, w, r, k, first, last);
        return;
    }
    // Two entries: the pairs (b, v), v >= b, (b, b) weighing w / (r (r+1)),
    // the rest w / r; then the pairs (u, v) with b < u <= v, u in [first,
    // last]: (u, u) weighs w / 2, (u, v) with u < v <= n/u weighs w, and for
    // the K rough u from u0 the rough v number C(n/u) - C(u), whose C(u) are
    // C(u0), C(u0) + 1, ... All in 128 bits: this is D_2(x) itself for the
    // pieces of the term j = 2.
    if (first <= b) {
        add_signed(closed, w / (r * (r + 1)));
        add_product(closed, w / r, rough_in(wheel, b + 1, exact_quotient(n, b)));
    }
    const std::int64_t s = floor_sqrt(n);
    const std::int64_t hi = last < s ? last : s;
    if (lo > hi)
        return;
    const std::int64_t u0 = next_rough(wheel, lo);
    const std::int64_t index0 = coprimes_below(wheel, u0);
    const std::int64_t loop = coprimes_through(wheel, hi) - index0;
    if (loop <= 0)
        return;
    add_product(closed, loop, w / 2);
    subtract_product(closed, w, loop * (index0 + 1) + loop * (loop - 1) / 2);
    walk.pending = run{n, w, index0, loop, RUN_OF_LOOP, 0};
    walk.loop_pending = 1;
}

// Walks on until the walk is done or `capacity` runs are in `out`; returns
// how many. A node of three entries hands out its first entries as runs of
// leaves; the pair counts of its repeated entry (v = b) are worked out here.
ROUGHPI_HD inline std::int64_t walk_on(walker& walk, wide_sum& closed, const wheel_view& wheel, run* out,
                                       std::int64_t capacity)
{
    std::int64_t made = 0;
    while (made < capacity && !walk_done(walk)) {
        if (walk.loop_pending) {
            out[made++] = walk.pending;
            walk.loop_pending = 0;
            continue;
        }
        walk_frame& f = walk.frames[walk.depth - 1];
        if (f.b_child) {  // the child v = b: the run of b's grows to r, so the weight is w / r
            f.b_child = 0;
            const std::int64_t m = exact_quotient(f.n, f.b);
            if (f.k == 3) {
                if (pair_count_loop(wheel, closed, out[made], m, f.b, f.w / f.r, f.r + 1))
                    ++made;
            } else {
                push_node(walk, wheel, m, f.b, f.w / f.r, f.r + 1, f.k - 1, f.b, m);
            }
            continue;
        }
        if (f.next > f.end) {
            --walk.depth;
            continue;
        }
        if (f.k == 3) {  // first entries u1 from `next` on, each with the pair count P(n/u1, u1, w, 2)
            const std::int64_t a = coprimes_below(wheel, f.next);
            const std::int64_t left = coprimes_through(wheel, f.end) - a;
            const std::int64_t count = left < LEAVES_PER_RUN ? left : LEAVES_PER_RUN;
            out[made++] = run{f.n, f.w, a, count, RUN_OF_LEAVES, 0};
            f.next = count < left ? rough_at(wheel, a + count) : f.end + 1;
            continue;
        }
        // A child v > b of a node of four or more: the node (n/v, v, w, 2, k-1).
        const std::int64_t v = f.next;
        f.next = rough_after(wheel, v);
        const std::int64_t m = exact_quotient(f.n, v);
        push_node(walk, wheel, m, v, f.w, 2, f.k - 1, v, m);
    }
    return made;
}

}  // namespace roughpi::gpu
