// SPDX-License-Identifier: MIT
// Roots: exact integer roots and powers for the counting's loop bounds, and
// the real cube root and logarithm of the split's estimates.
//
// Floating-point roots are fast but can land on the wrong side of an integer
// when the argument is at or next to a perfect power; the integer helpers
// take the floating estimate and correct it with exact integer comparisons.
// The real ones are made of the basic operations of double precision alone,
// so that they come out the same to the last bit on every machine (the
// library's cbrt and log may differ there, and so tip a piece's boundary in
// the split); roots.cpp is compiled without fused multiply-adds for them.
#pragma once

#include <cstdint>

namespace roughpi {

// True when b^e <= n, for b >= 1, e >= 0, n >= 0, without overflow: the
// product stops as soon as it passes n.
constexpr bool power_at_most(std::int64_t b, int e, std::int64_t n)
{
    std::int64_t p = 1;
    for (int i = 0; i < e; ++i) {
#if defined(__GNUC__) || defined(__clang__)
        if (__builtin_mul_overflow(p, b, &p) || p > n)
            return false;
#else
        if (p > n / b)  // p * b > n, and p * b might not fit
            return false;
        p *= b;
#endif
    }
    return true;
}

// floor(n^(1/k)) for 0 <= n < 2^63 and k >= 1, exact.
// Cost: one floating-point root and a few integer multiplications.
std::int64_t floor_root(std::int64_t n, int k);

// floor(sqrt(n)) for 0 <= n < 2^63, exact.
std::int64_t floor_sqrt(std::int64_t n);

// The real cube root and natural logarithm of z > 0, to about fifteen
// digits, identical on every machine (see above).
double real_cbrt(double z);
double real_log(double z);

}  // namespace roughpi
