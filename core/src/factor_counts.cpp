#include <roughpi/factor_counts.hpp>
#include <roughpi/integer_roots.hpp>
#include <roughpi/wheel.hpp>

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
    const std::int64_t s = floor_sqrt(n);

    // C(b) - 1 counts the coprime integers below b; every count below is a
    // difference of C values, each at most n.
    const std::int64_t below_b = coprime_count_through_rough(b) - 1;
    // Pairs with u = b: v runs over the rough numbers in (b, n/b], plus (b, b).
    const std::int64_t above_b = detail::coprime_count_up_to(detail::exact_quotient(n, b)) - below_b - 1;
    // Pairs (u, u) with b < u <= s.
    const std::int64_t squares = detail::coprime_count_up_to(s) - below_b - 1;
    // Each product is a weight times a count of pairs, so at most the result,
    // which stays below 2^61 (see tuple_walk.hpp).
    const std::int64_t base = above_b * (w / r) + squares * (w / 2) + w / (r * (r + 1));
    if (squares <= 0)
        return base;

    // Pairs (u, v) with b < u < v <= n/u, each of weight w: for each of the K
    // rough u in (b, s], the rough v in (u, n/u], which is C(n/u) - C(u). The
    // i-th rough number after b has C(u) = C(b) + i, so those terms add up to
    // K*C(b) + K(K+1)/2 and only the quotients need a loop. The sum of the
    // C(n/u) is below 0.2 * n * ln(n) / 5 < 2^63 for n <= 10^18; K and C(b)
    // are below 2^28, so K*C(b) and K(K+1)/2 fit easily.
    const std::int64_t K = squares;
    const std::int32_t p = wheel_prefix_count[b % WHEEL_MODULUS];
    const std::int64_t t = sum_quotient_counts(path, n, b + wheel_gaps[p], next_wheel_position(p), K) -
                           K * (below_b + 1) - K * (K + 1) / 2;
    return base + w * t;
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
