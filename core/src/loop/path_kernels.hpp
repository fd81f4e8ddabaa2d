// SPDX-License-Identifier: MIT
// What runs the inner loop of a counting path: its kernels, from the one table
// of the paths in path_registry.cpp (which also says how to add a path).
#pragma once

#include "wide_int.hpp"

#include <roughpi/counting_path.hpp>

#include <cstdint>

namespace roughpi::detail {

struct path_kernels {
    counting_path path;
    const char* name;
    // Largest dividend n the kernels below take. Quotient loops of a larger n
    // run on the portable kernel, which takes every n.
    std::int64_t max_n;
    // The sum of C(floor(n/u)) over `count` rough u from u0 at wheel position
    // q0 (see quotient_counts.hpp).
    std::int64_t (*sum_quotient_counts)(std::int64_t n, std::int64_t u0, std::int32_t q0, std::int64_t count);
    // The sum of count_factor_pairs(n/u1, u1, w, 2) over the rough u1 from
    // `first` (at wheel position `position`) to `last` with u1^3 <= n: the
    // pair counts under one node of the tuple walk, run as one stream.
    // Requires n/first <= max_n. Null where the path counts them one at a time.
    wide_int (*sum_pair_node)(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position,
                              std::int64_t last);
};

// The kernels of a path. Throws input_error when the path is not available.
const path_kernels& kernels_of(counting_path path);

// The kernels of the fastest available path, chosen once.
const path_kernels& best_kernels() noexcept;

}  // namespace roughpi::detail
