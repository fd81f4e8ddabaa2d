// SPDX-License-Identifier: MIT
// The estimate of the work under each node of the tuple walk: the cost model
// that the split of a count (work_split.hpp) cuts by.
//
// The estimates count quotients of the vector loop (about a third of a
// nanosecond each on a current x86-64 core); the other costs are in the same
// unit, as measured piece by piece with roughpi-scaling. They are closed
// forms over exact integer counts, made of the basic operations of double
// precision and the real roots of roots.hpp, and this file is compiled
// without fused multiply-adds: every machine comes to the same estimates, to
// the last bit, and so to the same split.
#pragma once

#include "factor_counts.hpp"
#include "loop/quotient_counts.hpp"
#include "wheel.hpp"

#include <cstdint>

namespace roughpi::detail {

inline constexpr double LOOP_COST = 30.0;  // one pair loop in a node's stream: its set-up and its end
inline constexpr double CALL_COST = 60.0;  // a pair count called on its own
inline constexpr double STEP_COST = 40.0;  // one child of a node with three or more entries to choose

// One quotient at dividend m: the vector paths take m <= 2^51; above that the
// quotients are taken one at a time, in double precision up to 2^53 and by
// 64-bit integer division beyond.
double quotient_cost(std::int64_t m);

// The rough numbers in [lo, hi] (lo >= 17), as a double.
double rough_in(std::int64_t lo, std::int64_t hi);

// The pair count of (n, b) over first entries u in [first, last]: one loop of
// a quotient for each rough u in (b, sqrt(n)].
double pair_cost(std::int64_t n, std::int64_t b, std::int64_t first, std::int64_t last);

// The pair loops of the first entries u in [lo, hi] of a node with three
// entries to choose, with n/u on either side of 2^51 and 2^53.
double first_entries_cost(std::int64_t n, std::int64_t lo, std::int64_t hi);

// A node with three entries to choose, over its children [first, last].
double triple_cost(const walk_node& node, std::int64_t first, std::int64_t last);

// Largest n of a node with four entries to choose whose pair loops all run
// in the vector loop, n / 17 <= 2^51: what quad_cost takes.
inline constexpr std::int64_t MAX_CLOSED_FORM_N = MAX_VECTOR_N * FIRST_ROUGH;

// A node with four entries to choose and n <= MAX_CLOSED_FORM_N, whole.
double quad_cost(const walk_node& node);

}  // namespace roughpi::detail
