// SPDX-License-Identifier: MIT
#include "reference/reference_counting.hpp"

#include "wheel.hpp"

#include <cmath>

namespace roughpi::reference {

namespace {

// Added to floating-point roots and logarithm ratios before they are
// truncated, so that an exact integer result computed as 2.9999999999999996
// still truncates to 3.
constexpr double FLOOR_NUDGE = 1e-11;

// b^e <= n, by repeated multiplication that stops once past n.
bool power_fits(std::int64_t b, int e, std::int64_t n)
{
    std::int64_t p = 1;
    for (int i = 0; i < e; ++i) {
        if (p > n / b)
            return false;
        p *= b;
    }
    return true;
}

// floor(x^(1/i)): the floating-point root, moved to the exact integer by
// comparing powers, as the estimate can land on the wrong side of a perfect
// power.
std::int64_t integer_root(std::int64_t x, std::int32_t i)
{
    auto y = static_cast<std::int64_t>(std::pow(static_cast<double>(x) + FLOOR_NUDGE, 1.0 / i) + FLOOR_NUDGE);
    while (y > 1 && !power_fits(y, i, x))
        --y;
    while (power_fits(y + 1, i, x))
        ++y;
    return y;
}

}  // namespace

std::int64_t count_factor_pairs(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r)
{
    const auto s = static_cast<std::int32_t>(std::sqrt(static_cast<double>(n)) + FLOOR_NUDGE);
    const std::int64_t above_b = count_rough_in_range(b, n / b) - 1;
    const std::int64_t squares = count_rough_in_range(b, s) - 1;
    const std::int64_t base = above_b * (w / r) + squares * (w / 2) + w / (r * (r + 1));

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

std::int64_t count_factor_tuples(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r, std::int32_t k)
{
    if (k == 2)
        return count_factor_pairs(n, b, w, r);
    std::int64_t total = count_factor_tuples(n / b, b, w / r, r + 1, k - 1);
    std::int32_t p = wheel_prefix_count[b % WHEEL_MODULUS];
    std::int64_t u = b + wheel_gaps[p];
    std::int32_t q = next_wheel_position(p);
    const auto lim = static_cast<std::int64_t>(std::pow(static_cast<double>(n) + FLOOR_NUDGE, 1.0 / k) + FLOOR_NUDGE);
    while (u <= lim) {
        total += count_factor_tuples(n / u, u, w, 2, k - 1);
        u += wheel_gaps[q];
        q = next_wheel_position(q);
    }
    return total;
}

std::int64_t prime_count(std::int64_t x)
{
    const std::int32_t mobius_table[29] = {0, 1, -1, -1, 0,  -1, 1, -1, 0,  0, 1, -1, 0, -1, 1,
                                           1, 0, -1, 0,  -1, 0,  1, 1,  -1, 0, 0, 1,  0, 0};
    const std::int32_t small_prime_count_table[17] = {0, 0, 1, 2, 2, 3, 3, 4, 4, 4, 4, 5, 5, 6, 6, 6, 6};
    if (x < 2)
        return 0;
    if (x < FIRST_ROUGH)
        return small_prime_count_table[x];

    // The terms are the (i, j) with 17^(i j) <= x. The bounds are exact
    // comparisons of powers: near a power of 17 floating-point logarithms can
    // admit a term whose tuple count is then called outside its range.
    std::int64_t term_sums[32] = {};
    for (std::int32_t i = 1; power_fits(FIRST_ROUGH, i, x); ++i) {
        const std::int32_t m = mobius_table[i];
        if (m == 0)
            continue;
        const std::int64_t y = integer_root(x, i);
        std::int64_t factorial = 1;
        for (std::int32_t j = 1; power_fits(FIRST_ROUGH, j, y); ++j) {
            factorial *= j;
            std::int64_t e;
            if (j == 1)
                e = count_rough_in_range(FIRST_ROUGH, y);
            else if (j == 2)
                e = count_factor_pairs(y, FIRST_ROUGH, 2, 1);
            else
                e = count_factor_tuples(y, FIRST_ROUGH, factorial, 1, j);
            std::int64_t& s = term_sums[i * j];
            s = static_cast<std::int64_t>(std::pow(-1.0, j + 1) * static_cast<double>(e) * m + static_cast<double>(s));
        }
    }
    double result = 6.0;
    for (std::int32_t k = 1; k < 32; ++k)
        result += static_cast<double>(term_sums[k] / k);
    return static_cast<std::int64_t>(result + 0.5);
}

}  // namespace roughpi::reference
