// SPDX-License-Identifier: MIT
#include "roots.hpp"

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <limits>

#include <cmath>

// The real functions below must round the same everywhere: each operation
// in double precision, not in a wider format (as the x87 unit would), and
// without fused multiply-adds (see core/CMakeLists.txt).
static_assert(FLT_EVAL_METHOD == 0, "the real roots need double arithmetic evaluated in double precision");
static_assert(std::numeric_limits<double>::is_iec559, "the real roots need IEEE 754 double precision");

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

// 2^e, and the e with 2^e <= z < 2^(e+1), for normal doubles, read off the
// bits. They are copied with memcpy rather than std::bit_cast, which some
// standard libraries of C++20 compilers lack (libc++ before 14, as in
// Emscripten's); compilers make a plain move of either.
static double power_of_two(int e)
{
    const std::uint64_t bits = static_cast<std::uint64_t>(e + 1023) << 52;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
static int binary_exponent(double z)
{
    std::uint64_t bits;
    std::memcpy(&bits, &z, sizeof bits);
    return static_cast<int>((bits >> 52) & 0x7ff) - 1023;
}

double real_cbrt(double z)
{
    if (z < 1.0)
        return z <= 0.0 ? 0.0 : 1.0 / real_cbrt(1.0 / z);
    // From 2^floor(e/3), within a factor of two of the root, Newton's method:
    // the relative error goes 0.6, 0.15, 0.015, 2e-4, 4e-8.
    double r = power_of_two(binary_exponent(z) / 3);
    for (int i = 0; i < 5; ++i)
        r = (r + r + z / (r * r)) * (1.0 / 3.0);
    return r;
}

double real_log(double z)
{
    // z = f 2^e with 1/sqrt(2) <= f < sqrt(2); both exact.
    int e = binary_exponent(z);
    double f = z / power_of_two(e);
    if (f >= 1.4142135623730951) {
        f *= 0.5;
        ++e;
    }
    // log f = 2 atanh(t) = 2 (t + t^3/3 + t^5/5 + ...), t = (f - 1)/(f + 1), |t| < 0.172.
    const double t = (f - 1.0) / (f + 1.0);
    const double t2 = t * t;
    const double series =
        1.0 + t2 * (1.0 / 3 + t2 * (1.0 / 5 + t2 * (1.0 / 7 + t2 * (1.0 / 9 + t2 * (1.0 / 11 + t2 / 13)))));
    return e * 0.6931471805599453 + 2.0 * t * series;
}

}  // namespace roughpi
