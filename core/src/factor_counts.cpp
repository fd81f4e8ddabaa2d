#include <roughpi/factor_counts.hpp>
#include <roughpi/integer_roots.hpp>
#include <roughpi/wheel.hpp>

#include "pair_count_terms.hpp"
#include "quotient_counts.hpp"
#include "tuple_walk.hpp"

namespace roughpi {

namespace {

// C(b) for a rough b: the coprime integers up to and including b.
inline std::int64_t coprime_count_through_rough(std::int64_t b)
{
    return b / WHEEL_MODULUS * WHEEL_RESIDUES + wheel_prefix_count[b % WHEEL_MODULUS] + 1;
}

std::int64_t sum_quotient_counts(counting_path path, std::int64_t n, std::int64_t u0, std::int32_t q0,
                                 std::int64_t count)
{
#if defined(ROUGHPI_HAVE_X86_PATHS)
    if (n <= detail::max_vector_n) {
        if (path == counting_path::avx512)
            return detail::sum_quotient_counts_avx512(n, u0, q0, count);
        if (path == counting_path::avx2)
            return detail::sum_quotient_counts_avx2(n, u0, q0, count);
    }
#else
    (void)path;
#endif
    return detail::sum_quotient_counts_portable(n, u0, q0, count);
}

}  // namespace

std::int64_t count_factor_pairs(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r,
                                counting_path path)
{
    const detail::pair_count_terms t = detail::pair_terms(floor_sqrt(n), detail::exact_quotient(n, b),
                                                          coprime_count_through_rough(b) - 1, w, r);
    if (t.loop_count <= 0)
        return t.base;
    // The loop starts at the rough number after b.
    const std::int32_t p = wheel_prefix_count[b % WHEEL_MODULUS];
    return t.base + w * (sum_quotient_counts(path, n, b + wheel_gaps[p], next_wheel_position(p), t.loop_count) -
                         t.loop_offset);
}

std::int64_t count_factor_pairs(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r)
{
    return count_factor_pairs(n, b, w, r, best_counting_path());
}

namespace detail {

wide_int sum_over_first_entries(std::int64_t n, std::int64_t w, std::int32_t k, std::int64_t first,
                                std::int32_t position, std::int64_t last, counting_path path)
{
    wide_int total = 0;
    std::int64_t u = first;
    std::int32_t q = position;
    // The entry u is the smallest of the k still to choose, so u^k <= n,
    // which is u^(k-1) <= floor(n/u): the quotient the recursion needs anyway.
    while (u <= last) {
        const std::int64_t m = exact_quotient(n, u);
        if (!power_at_most(u, k - 1, m))
            break;
#if defined(ROUGHPI_HAVE_X86_PATHS)
        // Once n/u is small enough for the vector paths, the pair counts of
        // this and the further first entries run there as one stream.
        if (k == 3 && m <= max_vector_n) {
            if (path == counting_path::avx512)
                return total + sum_pair_node_avx512(n, w, u, q, last);
            if (path == counting_path::avx2)
                return total + sum_pair_node_avx2(n, w, u, q, last);
        }
#endif
        total += count_factor_tuples_wide(m, u, w, 2, k - 1, path);
        u += wheel_gaps[q];
        q = next_wheel_position(q);
    }
    return total;
}

wide_int count_factor_tuples_wide(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r,
                                  std::int32_t k, counting_path path)
{
    if (k == 2)
        return count_factor_pairs(n, b, w, r, path);

    // Next entry equal to b: the run of b's grows to length r, so divide by r.
    wide_int total = count_factor_tuples_wide(exact_quotient(n, b), b, w / r, r + 1, k - 1, path);
    // Next entry a new value: it opens a run of length 1, run parameter 2.
    const std::int32_t p = wheel_prefix_count[b % WHEEL_MODULUS];
    total += sum_over_first_entries(n, w, k, b + wheel_gaps[p], next_wheel_position(p), n, path);
    return total;
}

}  // namespace detail

std::int64_t count_factor_tuples(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r,
                                 std::int32_t k, counting_path path)
{
    return static_cast<std::int64_t>(detail::count_factor_tuples_wide(n, b, w, r, k, path));
}

std::int64_t count_factor_tuples(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r,
                                 std::int32_t k)
{
    return count_factor_tuples(n, b, w, r, k, best_counting_path());
}

}  // namespace roughpi
