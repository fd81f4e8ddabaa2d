// SPDX-License-Identifier: MIT
// The first entries of a node of the tuple walk with three entries to
// choose, each with the closed-form part of its pair count: the entries that
// both the scalar count (factor_counts.cpp) and the vector paths' stream of
// pair loops (stream_feeds.hpp) go through.
//
// For the rough u1 from `first` to `last` with u1^3 <= n, the pair count of
// n/u1 with b = u1, weight w and run parameter 2 (a new first entry) is
// pair_terms(...).base plus w times the quotient loop of n/u1 over the rough
// u in (u1, sqrt(n/u1)] less its offset (see pair_count_terms.hpp).
//
// Internal linkage (see quotient_reduction.hpp): the vector paths compile it
// for their own instruction sets.
#pragma once

#include "pair_count_terms.hpp"
#include "quotient_counts.hpp"

#include "roots.hpp"
#include "wheel.hpp"

#include <cstdint>

namespace roughpi::detail {

namespace {

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

// One first entry u1 of the node, at wheel position q1: the quotient
// m = floor(n/u1) whose pairs it counts, and the closed-form part of them.
struct pair_node_entry {
    std::int64_t u1;
    std::int32_t q1;
    std::int64_t m;
    pair_count_terms terms;
};

class pair_node_entries {
public:
    // `first` rough, at wheel position `position`.
    pair_node_entries(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position, std::int64_t last)
        : n_(n)
        , w_(w)
        , last_(last)
        , u1_(first)
        , q1_(position)
        , cycle_(first / WHEEL_MODULUS)
        , m_(exact_quotient(n, first))
        , s_(floor_sqrt(m_))
    {
    }

    // The next entry's u1, its wheel position and n / u1, before next() takes it.
    std::int64_t u1() const { return u1_; }
    std::int32_t q1() const { return q1_; }
    std::int64_t m() const { return m_; }
    bool done() const { return u1_ > last_ || s_ < u1_; }

    // Takes the next entry; false when none is left.
    bool next(pair_node_entry& entry)
    {
        if (done())
            return false;
        // The next first entry's quotient and root, for the processor to
        // work out while this entry's loop runs. The quotients here take
        // the integer divider, which the loops leave idle, rather than
        // queue behind the loops' own divisions.
        const std::int64_t next_u1 = u1_ + wheel_gaps[q1_];
        const std::int64_t next_m = unsigned_quotient(n_, next_u1);
        const std::int64_t next_s = floor_sqrt_from_above(next_m, s_);
        // C(u1) - 1 = 5760 * floor(u1 / 30030) + (the wheel position of u1).
        entry.terms = pair_terms(s_, unsigned_quotient(m_, u1_), cycle_ * WHEEL_RESIDUES + q1_, w_, 2);
        entry.u1 = u1_;
        entry.q1 = q1_;
        entry.m = m_;
        u1_ = next_u1;
        q1_ = next_wheel_position(q1_);
        cycle_ += q1_ == 0 ? 1 : 0;
        m_ = next_m;
        s_ = next_s;
        return true;
    }

private:
    std::int64_t n_, w_, last_;
    std::int64_t u1_;     // the next first entry,
    std::int32_t q1_;     // its wheel position,
    std::int64_t cycle_;  // floor(u1 / 30030),
    std::int64_t m_;      // n / u1
    std::int64_t s_;      // and floor(sqrt(n / u1))
};

}  // namespace

}  // namespace roughpi::detail
