#include <roughpi/factor_counts.hpp>
#include <roughpi/wheel.hpp>

#include <cmath>

namespace roughpi {

std::int64_t count_factor_pairs(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r)
{
    // s = floor(sqrt(n)); the nudge keeps an exact square from landing just below.
    const auto s = static_cast<std::int32_t>(std::sqrt(static_cast<double>(n)) + FLOOR_NUDGE);

    // Pairs with u = b: v runs over the rough numbers in (b, n/b], plus (b, b).
    const std::int64_t above_b = count_rough_in_range(b, n / b) - 1;
    // Pairs (u, u) with b < u <= s.
    const std::int64_t squares = count_rough_in_range(b, s) - 1;
    const std::int64_t base = above_b * (w / r) + squares * (w / 2) + w / (r * (r + 1));

    // Pairs (u, v) with b < u < v <= n/u, each of weight w.
    std::int32_t p = wheel_prefix_count[b % WHEEL_MODULUS];
    std::int64_t u = b + wheel_gaps[p];
    std::int32_t q = next_wheel_position(p);
    std::int64_t t = 0;
    while (u <= s) {
        t += count_rough_in_range(u, n / u) - 1;
        u += wheel_gaps[q];
        q = next_wheel_position(q);
    }
    return base + w * t;
}

std::int64_t count_factor_tuples(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r,
                                 std::int32_t k)
{
    if (k == 2)
        return count_factor_pairs(n, b, w, r);

    // Next entry equal to b: the run of b's grows to length r, so divide by r.
    std::int64_t total = count_factor_tuples(n / b, b, w / r, r + 1, k - 1);

    std::int32_t p = wheel_prefix_count[b % WHEEL_MODULUS];
    std::int64_t u = b + wheel_gaps[p];
    std::int32_t q = next_wheel_position(p);

    // The next entry u is the smallest of the k still to choose, so u^k <= n.
    const auto lim = static_cast<std::int64_t>(
        std::pow(static_cast<double>(n) + FLOOR_NUDGE, 1.0 / k) + FLOOR_NUDGE);
    while (u <= lim) {
        // A new value opens a run of length 1: run parameter 2, weight unchanged.
        total += count_factor_tuples(n / u, u, w, 2, k - 1);
        u += wheel_gaps[q];
        q = next_wheel_position(q);
    }
    return total;
}

}  // namespace roughpi
