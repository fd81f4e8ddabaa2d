// SPDX-License-Identifier: MIT
// The split of a count into independent pieces, and the estimate of each
// piece's work.
//
// Every term D_j(y) of the Moebius sum is a node of the tuple walk (see
// factor_counts.hpp): the non-decreasing j-tuples of rough numbers with product
// at most y, each weighted by its number of orderings. A node's count is the
// sum over its children, one per value v of the next entry: v = b goes on with
// the run of the last entry, and each rough v > b opens a new run. So a range
// of children [first, last] of any node is a piece of the count that can be
// counted on its own, and the pieces of a split add up to the whole.
//
// The split walks the nodes from the top, estimating the work under each
// child, and cuts each node's children into ranges of about the same work.
// Where a single child is too big for one piece (the run 17, 17, ... at the
// start of every term is the largest), it is split the same way, one level
// down: so the largest piece is small against the whole count at every x.
#pragma once

#include "factor_counts.hpp"
#include "stop_poll.hpp"

#include <roughpi/pieces.hpp>

#include <cstddef>
#include <cstdint>

namespace roughpi::detail {

struct split_piece {
    std::int32_t term;  // the index k of the term sum S_k the piece adds to,
    std::int32_t sign;  // and with which sign
    walk_node node;
    std::int64_t first;  // the range of the node's children,
    std::int64_t last;
    double cost;  // estimated work, in quotients of the vector loop
};

// What takes the pieces of a split, one at a time. An interface rather than
// a template parameter of split_count: the split's arithmetic must stay in
// work_split.cpp, which is compiled without floating-point contraction so
// that every machine comes to the same split, and a template would be
// instantiated in its callers' files, compiled with it. The destructor is
// protected and not virtual: a sink is never deleted through this type (and
// the core refers to no operator delete).
class split_sink {
public:
    virtual void take(const split_piece& piece) = 0;

protected:
    ~split_sink() = default;
};

// Splits the count of x (x >= 17): calls sink.take(piece) for each piece, in a fixed order that depends on x and the
// kind of split alone, and returns the number of pieces (at most MAX_PIECES: internal_error past it). Only exact
// integer roots and the basic operations of double precision go into the decisions, so the split is the same on every
// machine. Requires the wheel tables. Asks `stop` at every node it walks.
//
// The other split aims at pieces OTHER_SPLIT_SCALE times as large: every cut
// that is not at the end of a node or a term falls elsewhere.
inline constexpr double OTHER_SPLIT_SCALE = 1.37;
std::size_t split_count(std::int64_t x, split_kind kind, split_sink& sink, stop_poll stop = {});

// The estimated work of a whole node, in the units of split_piece::cost.
double node_cost(const walk_node& node, stop_poll stop = {});

}  // namespace roughpi::detail
