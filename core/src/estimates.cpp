// li(x), R(x) and their inverses in long double (analytic_series.hpp).
#include "analytic_series.hpp"
#include "refusal.hpp"

#include <roughpi/estimates.hpp>
#include <roughpi/prime_count.hpp>

#include <cmath>

namespace roughpi {

namespace {

using real = long double;

real li_real(real x)
{
    const real log_x = std::log(x);
    return detail::li_of(log_x, std::log(log_x), std::sqrt(x));
}

real riemann_r_real(real x) { return detail::riemann_r_of_log(std::log(x)); }

void check_argument(const char* what, std::int64_t x)
{
    if (x < 2)
        detail::refuse("%s(%lld): x must be from 2 to %lld", what, static_cast<long long>(x),
                       static_cast<long long>(MAX_SUPPORTED_X));
}

// floor(v) for 0 <= v < 2^63 (rounding may put v a hair past 2^63 - 1).
std::int64_t floor_of(real v)
{
    const real f = std::floor(v);
    return f >= real(MAX_SUPPORTED_X) ? MAX_SUPPORTED_X : static_cast<std::int64_t>(f);
}

// The x >= 2 with f(x) = y, by Newton's method from x = y ln y, with f'(x)
// taken as 1/ln x (exact for li, and within a few per cent for R): y is at
// least 2, where both are increasing, and the iteration settles within a
// dozen steps.
template <typename F>
std::int64_t inverse(const char* what, F f, std::int64_t y)
{
    const real largest = f(real(MAX_SUPPORTED_X));
    if (y < 2 || real(y) > largest)
        detail::refuse("%s(%lld): y must be from 2 to %lld, where the result stays below 2^63", what,
                       static_cast<long long>(y), static_cast<long long>(floor_of(largest)));
    const real target = y;
    real x = target * std::log(target) + 2;
    for (int i = 0; i < 100; ++i) {
        const real step = (f(x) - target) * std::log(x);
        real next = x - step;
        if (next < 2)
            next = 2;
        if (next > real(MAX_SUPPORTED_X))
            next = real(MAX_SUPPORTED_X);
        const bool settled = std::fabs(next - x) < 1e-3L * (1 + std::fabs(x) * 1e-15L);
        x = next;
        if (settled)
            break;
    }
    return floor_of(x);
}

}  // namespace

std::int64_t li(std::int64_t x)
{
    check_argument("li", x);
    return floor_of(li_real(real(x)));
}

std::int64_t li_inverse(std::int64_t y) { return inverse("li_inverse", li_real, y); }

std::int64_t riemann_r(std::int64_t x)
{
    check_argument("riemann_r", x);
    return floor_of(riemann_r_real(real(x)));
}

std::int64_t riemann_r_inverse(std::int64_t y) { return inverse("riemann_r_inverse", riemann_r_real, y); }

}  // namespace roughpi
