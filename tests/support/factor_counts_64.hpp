// SPDX-License-Identifier: MIT
// The weighted factorisation counts of the core (factor_counts.hpp) in 64
// bits, on the best path or a path named, as the tests and the
// micro-benchmarks call them: the library itself sums them in 128 bits
// (detail::count_factor_pairs_wide, detail::count_factor_tuples_wide) and
// needs no other form. Each must fit in 64 bits: it does for n up to about
// 10^17 (see factor_counts.hpp). Every path returns the same value.
#pragma once

#include "factor_counts.hpp"

#include <roughpi/counting_path.hpp>

#include <cstdint>

namespace roughpi {

inline std::int64_t count_factor_pairs(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r,
                                       const detail::path_kernels& kernels)
{
    return static_cast<std::int64_t>(detail::count_factor_pairs_wide(n, b, w, r, kernels));
}

inline std::int64_t count_factor_pairs(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r)
{
    return count_factor_pairs(n, b, w, r, detail::best_kernels());
}

inline std::int64_t count_factor_pairs(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r,
                                       counting_path path)
{
    return count_factor_pairs(n, b, w, r, detail::kernels_of(path));
}

inline std::int64_t count_factor_tuples(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r, std::int32_t k,
                                        counting_path path)
{
    return static_cast<std::int64_t>(detail::count_factor_tuples_wide(n, b, w, r, k, detail::kernels_of(path)));
}

inline std::int64_t count_factor_tuples(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r, std::int32_t k)
{
    return static_cast<std::int64_t>(detail::count_factor_tuples_wide(n, b, w, r, k, detail::best_kernels()));
}

}  // namespace roughpi
