// SPDX-License-Identifier: MIT
// The feeds that hand out the quotient loops to the vector paths' stream
// (vector_stream.hpp), a stretch of groups at a time: one loop alone, or the
// pair loops under a node of the tuple walk one after another.
//
// Internal linkage (see quotient_reduction.hpp).
#pragma once

#include "pair_node_entries.hpp"
#include "quotient_reduction.hpp"
#include "wheel.hpp"
#include "wide_int.hpp"

#include <cstdint>

namespace roughpi::detail {

namespace {

// A stretch of quotient groups for the stream below: `left` groups whose gaps
// are read on from `gaps`, the last of them with `last_active` lanes. A stretch
// that opens a loop (new_loop) brings the loop's dividend and the rough number
// just before its first u. No stretch reads gaps across the end of the gap
// cycle: a group that would is a stretch of its own, with its gaps copied around
// the wrap.
struct stream_stretch {
    bool new_loop = false;
    std::int64_t dividend = 0;
    std::int64_t u_before = 0;
    const std::uint8_t* gaps = nullptr;
    std::int64_t left = 0;
    std::int64_t last_active = 0;
    std::uint64_t reads = 0;  // the stream's table sum, kept here across set-ups
};

// One quotient loop, handed out a stretch at a time: C(floor(n/u)) for the
// `count` rough numbers after u_before, which sits at wheel position p.
class loop_stretches {
public:
    void open(std::int64_t n, std::int64_t u_before, std::int32_t p, std::int64_t count, stream_stretch& stretch)
    {
        stretch.new_loop = true;
        stretch.dividend = n;
        stretch.u_before = u_before;
        p_ = p;
        groups_ = (count + VECTOR_GROUP - 1) / VECTOR_GROUP;
        last_active_ = count - (groups_ - 1) * VECTOR_GROUP;
    }

    bool done() const { return groups_ == 0; }

    // The next stretch of the loop, which must not be done: at most
    // FLUSH_GROUPS groups, and none reading gaps past the end of the cycle.
    void hand_out(stream_stretch& stretch)
    {
        std::int64_t groups = groups_ < FLUSH_GROUPS ? groups_ : FLUSH_GROUPS;
        // A group reads the gaps from p_ to p_ + 7, the first of them the
        // gap to its first rough number.
        const std::int32_t to_wrap = (WHEEL_RESIDUES - p_) / VECTOR_GROUP;
        if (to_wrap == 0) {
            for (std::int32_t i = 0; i < VECTOR_GROUP; ++i)
                wrap_gaps_[i] = wheel_gaps[(p_ + i) % WHEEL_RESIDUES];
            stretch.gaps = wrap_gaps_;
            groups = 1;
            p_ += VECTOR_GROUP - WHEEL_RESIDUES;
        } else {
            stretch.gaps = wheel_gaps + p_;
            if (groups > to_wrap)
                groups = to_wrap;
            p_ += static_cast<std::int32_t>(groups) * VECTOR_GROUP;
        }
        stretch.left = groups;
        groups_ -= groups;
        stretch.last_active = groups_ == 0 ? last_active_ : VECTOR_GROUP;
    }

private:
    std::int64_t groups_ = 0;  // groups not yet handed out,
    std::int32_t p_ = 0;       // the wheel position of the rough number before the first of them
    std::int64_t last_active_ = 0;
    std::uint8_t wrap_gaps_[VECTOR_GROUP] = {};
};

// The feed of a single quotient loop: C(floor(n/u)) for the `count` rough u
// from u0 on, u0 at wheel position q0.
class single_loop_feed {
public:
    single_loop_feed(std::int64_t n, std::int64_t u0, std::int32_t q0, std::int64_t count)
        : n_(n)
        , u0_(u0)
        , q0_(q0)
        , count_(count)
    {
    }

    // Out of line, for the same reason as pair_node_feed::next_stretch.
    [[gnu::noinline]] bool next_stretch(stream_stretch& stretch)
    {
        stretch.new_loop = false;
        if (!opened_) {
            opened_ = true;
            if (count_ <= 0)
                return false;
            const std::int32_t p = q0_ == 0 ? WHEEL_RESIDUES - 1 : q0_ - 1;
            loop_.open(n_, u0_ - wheel_gaps[p], p, count_, stretch);
        }
        if (loop_.done())
            return false;
        loop_.hand_out(stretch);
        return true;
    }

private:
    std::int64_t n_, u0_;
    std::int32_t q0_;
    std::int64_t count_;
    bool opened_ = false;
    loop_stretches loop_;
};

// The feed of the pair counts under one node of the tuple walk: the first
// entries u1 of pair_node_entries, whose parts of the counts that need no
// loop it adds up, and whose quotient loops (of n/u1 over the rough u in
// (u1, sqrt(n/u1)]) it hands out.
class pair_node_feed {
public:
    pair_node_feed(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position, std::int64_t last)
        : w_(w)
        , entries_(n, w, first, position, last)
    {
    }

    // The next stretch: the rest of the loop under way, or else the first stretch
    // of the next first entry with a loop. False when none is left. Out of
    // line: it runs about once a loop, and the stream's registers are better
    // spent on the groups.
    [[gnu::noinline]] bool next_stretch(stream_stretch& stretch)
    {
        stretch.new_loop = false;
        while (loop_.done()) {
            pair_node_entry entry;
            if (!entries_.next(entry))
                return false;
            bases_ += entry.terms.base;
            if (entry.terms.loop_count > 0) {
                offsets_ += entry.terms.loop_offset;
                loop_.open(entry.m, entry.u1, entry.q1, entry.terms.loop_count, stretch);
            }
        }
        loop_.hand_out(stretch);
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
    std::int64_t w_;
    pair_node_entries entries_;
    loop_stretches loop_;
    wide_int bases_ = 0;
    wide_int offsets_ = 0;
};

}  // namespace

}  // namespace roughpi::detail
