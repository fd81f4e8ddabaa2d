#include "integer_roots.hpp"

#include <cmath>

namespace roughpi {

std::int64_t floor_sqrt(std::int64_t n)
{
    if (n <= 0)
        return 0;
    // The double square root is within one of the answer for every n < 2^63
    // (n itself is rounded to 53 bits first); fix the last step exactly.
    auto s = static_cast<std::int64_t>(std::sqrt(static_cast<double>(n)));
    // s <= 3037000499 keeps s * s below 2^63.
    if (s > 3037000499)
        s = 3037000499;
    while (s * s > n)
        --s;
    while (s < 3037000499 && (s + 1) * (s + 1) <= n)
        ++s;
    return s;
}

std::int64_t floor_root(std::int64_t n, int k)
{
    if (k == 1 || n <= 1)
        return n < 0 ? 0 : n;
    if (k == 2)
        return floor_sqrt(n);
    const double x = static_cast<double>(n);
    auto r = static_cast<std::int64_t>(k == 3 ? std::cbrt(x) : std::pow(x, 1.0 / k));
    if (r < 1)
        r = 1;
    // The estimate is off by at most a little; walk to the exact floor.
    while (r > 1 && !power_at_most(r, k, n))
        --r;
    while (power_at_most(r + 1, k, n))
        ++r;
    return r;
}

}  // namespace roughpi
