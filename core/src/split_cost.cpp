// SPDX-License-Identifier: MIT
#include "split_cost.hpp"

#include "roots.hpp"

#include <cfloat>
#include <cmath>
#include <limits>

// The estimates must round the same everywhere: each operation in double
// precision, not in a wider format (as the x87 unit would), and without fused
// multiply-adds (see core/CMakeLists.txt).
static_assert(FLT_EVAL_METHOD == 0, "the split needs double arithmetic evaluated in double precision");
static_assert(std::numeric_limits<double>::is_iec559, "the split needs IEEE 754 double precision");

namespace roughpi::detail {

// One quotient at dividend m: the vector paths take m <= 2^51; above that the
// quotients are taken one at a time, in double precision up to 2^53 and by
// 64-bit integer division beyond.
double quotient_cost(std::int64_t m) { return m <= MAX_VECTOR_N ? 1.0 : m <= MAX_EXACT_DOUBLE_N ? 6.0 : 12.0; }

// The rough numbers in [lo, hi] (lo >= 17), as a double.
double rough_in(std::int64_t lo, std::int64_t hi)
{
    return lo <= hi ? static_cast<double>(count_rough_in_range(lo, hi)) : 0.0;
}

// The pair count of (n, b) over first entries u in [first, last]: one loop of
// a quotient for each rough u in (b, sqrt(n)].
double pair_cost(std::int64_t n, std::int64_t b, std::int64_t first, std::int64_t last)
{
    const std::int64_t s = floor_sqrt(n);
    return CALL_COST + rough_in(first > b ? first : b + 1, last < s ? last : s) * quotient_cost(n);
}

// The pair loops of the first entries u in [lo, hi] of a node with three
// entries to choose, all with the same quotient cost: each first entry u
// gives a loop over the rough numbers in (u, sqrt(n/u)], about
// ROUGH_DENSITY (sqrt(n/u) - u) of them, and the mean of that over [lo, hi] is
// an integral in closed form.
static double loops_cost(std::int64_t n, std::int64_t lo, std::int64_t hi, double per_quotient)
{
    const double loops = rough_in(lo, hi);
    if (loops == 0.0)
        return 0.0;
    const double a = static_cast<double>(lo);
    const double e = static_cast<double>(hi);
    const double root_n = std::sqrt(static_cast<double>(n));
    const double mean_root = hi > lo ? 2.0 * root_n * (std::sqrt(e) - std::sqrt(a)) / (e - a) : root_n / std::sqrt(a);
    const double mean_length = ROUGH_DENSITY * (mean_root - (a + e) / 2.0);
    return loops * (LOOP_COST + per_quotient * (mean_length > 0.0 ? mean_length : 0.0));
}

// The same over first entries u in [lo, hi] of any quotient cost: the range
// is cut where n/u crosses 2^53 and 2^51.
double first_entries_cost(std::int64_t n, std::int64_t lo, std::int64_t hi)
{
    double total = 0.0;
    while (lo <= hi) {
        // floor(n/u) > L exactly when u <= floor(n/(L+1)).
        const std::int64_t m = n / lo;
        std::int64_t end = hi;
        if (m > MAX_EXACT_DOUBLE_N)
            end = n / (MAX_EXACT_DOUBLE_N + 1);
        else if (m > MAX_VECTOR_N)
            end = n / (MAX_VECTOR_N + 1);
        if (end > hi)
            end = hi;
        total += loops_cost(n, lo, end, quotient_cost(m));
        lo = end + 1;
    }
    return total;
}

// A node with three entries to choose, over its children [first, last]: the
// pair count of n/b with b again, and a pair loop for each rough u in
// (b, cbrt(n)].
double triple_cost(const walk_node& node, std::int64_t first, std::int64_t last)
{
    const auto [n, b, w, r, k] = node;
    double total = 0.0;
    if (first <= b) {
        const std::int64_t m = n / b;
        total += pair_cost(m, b, b, m);
    }
    const std::int64_t top = floor_root(n, 3);
    return total + first_entries_cost(n, first > b ? first : b + 1, last < top ? last : top);
}

// A node with four entries to choose and n <= MAX_CLOSED_FORM_N, in closed
// form: the child that goes on with b by triple_cost, and the rest as their
// number times the mean work under one of them. With the sums of triple_cost
// taken as integrals, the work under a child u (a node n/u, u with three
// entries to choose) is, with R = ROUGH_DENSITY,
//
//   g(u) = STEP + CALL + R (sqrt(n)/u - u)                 the pairs of n/u^2 with u
//        + LOOP R ((n/u)^(1/3) - u)                       the ends of its pair loops
//        + R^2 (1.5 n^(2/3) u^(-2/3) - 2 sqrt(n) + u^2/2)  the quotients of those loops
//
// a sum of powers of u whose mean over [a, e] is an integral in closed form.
double quad_cost(const walk_node& node)
{
    const auto [n, b, w, r, k] = node;
    const std::int64_t m = n / b;
    double total = STEP_COST + triple_cost(walk_node{m, b, w / r, r + 1, 3}, b, m);
    const double children = rough_in(b + 1, floor_sqrt(floor_sqrt(n)));  // floor(n^(1/4))
    if (children == 0.0)
        return total;

    constexpr double R = ROUGH_DENSITY;
    const double nd = static_cast<double>(n);
    const double root2 = std::sqrt(nd);
    const double root3 = real_cbrt(nd);
    const double c0 = STEP_COST + CALL_COST - 2.0 * R * R * root2;  // u^0
    const double c_inverse = R * root2;                             // u^-1
    const double c_linear = -R * (1.0 + LOOP_COST);                 // u^1
    const double c_third = R * LOOP_COST * root3;                   // u^(-1/3)
    const double c_two_thirds = 1.5 * R * R * root3 * root3;        // u^(-2/3)
    const double c_square = R * R / 2.0;                            // u^2

    const double a = static_cast<double>(next_rough(b + 1));
    const double e = std::sqrt(root2);
    double mean = 0.0;
    if (e > a) {
        const double a3 = real_cbrt(a);
        const double e3 = std::sqrt(std::sqrt(root3));  // n^(1/12)
        const double integral = c0 * (e - a) + c_inverse * real_log(e / a) + c_linear * (e * e - a * a) / 2.0 +
            c_third * 1.5 * (e3 * e3 - a3 * a3) + c_two_thirds * 3.0 * (e3 - a3) +
            c_square * (e * e * e - a * a * a) / 3.0;
        mean = integral / (e - a);
    } else {
        const double a3 = real_cbrt(a);
        mean = c0 + c_inverse / a + c_linear * a + c_third / a3 + c_two_thirds / (a3 * a3) + c_square * a * a;
    }
    return total + children * (mean > 0.0 ? mean : 0.0);
}

}  // namespace roughpi::detail
