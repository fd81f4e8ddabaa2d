// SPDX-License-Identifier: MIT
// What an executor outside the core needs to count pieces its own way (the
// CUDA device of roughpi_gpu): the node of the tuple walk that a piece
// counts, the wheel tables, and the sums of a piece whose count it made
// itself. Shared through the target roughpi_piece_access; not installed,
// not part of the interface.
#pragma once

#include <roughpi/export.hpp>
#include <roughpi/pieces.hpp>

#include <cstdint>

namespace roughpi::detail {

// What a piece counts: the non-decreasing k-tuples of rough numbers, each at
// least b, with product at most n, whose first entry lies in [first, last],
// each weighted by its orderings from the weight w and the run parameter r
// (the node of factor_counts.hpp and its count_node_range); the count goes
// with `sign` into the term sum S_term. k = 0 for the one piece of an x
// below 17, which counts nothing.
struct piece_node {
    std::int64_t n;
    std::int64_t b;
    std::int64_t w;
    std::int32_t r;
    std::int32_t k;
    std::int64_t first;
    std::int64_t last;
    std::int32_t term;
    std::int32_t sign;
};

}  // namespace roughpi::detail

// What the functions of roughpi::detail below call: exported from a shared
// libroughpi as roughpi_internal_set_last_error is (c_api_call.hpp), under C
// names, as the library exports nothing of roughpi::detail. They are C++
// functions all the same, which throw.
extern "C" {
ROUGHPI_API void roughpi_internal_piece_node(const roughpi::prime_count_piece& piece,
                                             roughpi::detail::piece_node& node);
ROUGHPI_API void roughpi_internal_add_counted_piece(const roughpi::prime_count_piece& piece,
                                                    roughpi::prime_count_sums& sums, std::uint64_t low,
                                                    std::int64_t high);
ROUGHPI_API void roughpi_internal_wheel_tables(const std::uint16_t** prefix_count, const std::uint8_t** gaps);
}

namespace roughpi::detail {

// The node of a piece that prime_count_pieces made in this process. Throws
// input_error, as prime_count_add_piece does, for any other piece.
inline piece_node node_of(const prime_count_piece& piece)
{
    piece_node node{};
    roughpi_internal_piece_node(piece, node);
    return node;
}

// Adds to sums a piece whose count was made outside the core: the weighted
// tuples before the sign, high * 2^64 + low. Throws input_error as
// prime_count_add_piece does (a piece not made here, sums of another count,
// or holding it already), and internal_error for a count that the piece
// cannot have (negative, or above the bound prime_count_check_piece_sums
// applies); either way sums are left as they were.
inline void add_counted_piece(const prime_count_piece& piece, prime_count_sums& sums, std::uint64_t low,
                              std::int64_t high)
{
    roughpi_internal_add_counted_piece(piece, sums, low, high);
}

// The wheel tables (wheel.hpp), built on first use: wheel_prefix_count, of
// WHEEL_MODULUS + 1 = 30031 entries, and wheel_gaps, of WHEEL_RESIDUES = 5760.
struct wheel_tables_view {
    const std::uint16_t* prefix_count;
    const std::uint8_t* gaps;
};
inline wheel_tables_view wheel_tables()
{
    wheel_tables_view tables{};
    roughpi_internal_wheel_tables(&tables.prefix_count, &tables.gaps);
    return tables;
}

}  // namespace roughpi::detail
