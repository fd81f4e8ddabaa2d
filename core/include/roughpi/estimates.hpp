// SPDX-License-Identifier: MIT
// Analytic estimates of pi(x) and their inverses: the logarithmic integral
// li(x), its offset form Li(x), and Riemann's R(x). They are estimates, not
// counts: li(x) runs above pi(x) by about sqrt(x)/ln(x), R(x) is nearer but
// off either way. Each
// returns the exact floor of the true value (of the real x, for an inverse),
// the same on every machine: the sums are worked out in fixed point with a
// proven bound on their error, to more bits where that does not settle the
// floor. Tens of microseconds a call.
#pragma once

#include <roughpi/export.hpp>

#include <cstdint>

namespace roughpi {

// li(x) = integral from 0 to x of dt / ln t (the principal value; not the
// offset Li(x) = li(x) - li(2), which is about li(x) - 1.045), for
// 2 <= x <= 2^63 - 1; input_error outside.
ROUGHPI_API std::int64_t li(std::int64_t x);

// floor(x) for the x with li(x) = y, for 2 <= y <= li(2^63 - 1) = 216289611941014692 (so
// that the result fits); input_error outside, with the range.
ROUGHPI_API std::int64_t li_inverse(std::int64_t y);

// The offset logarithmic integral Li(x) = li(x) - li(2) = integral from 2 to
// x of dt / ln t (li(2) = 1.0451637801...), for 2 <= x <= 2^63 - 1, where
// Li(2) = 0; input_error outside.
ROUGHPI_API std::int64_t offset_li(std::int64_t x);

// floor(x) for the x with Li(x) = y, for 0 <= y <= Li(2^63 - 1) =
// 216289611941014690 (0 gives 2); input_error outside, with the range.
ROUGHPI_API std::int64_t offset_li_inverse(std::int64_t y);

// Riemann's R(x) = sum_{n>=1} mu(n)/n li(x^(1/n)), for 2 <= x <= 2^63 - 1;
// input_error outside.
ROUGHPI_API std::int64_t riemann_r(std::int64_t x);

// floor(x) for the x with R(x) = y, for 2 <= y <= R(2^63 - 1) = 216289611867888729;
// input_error outside, with the range.
ROUGHPI_API std::int64_t riemann_r_inverse(std::int64_t y);

// The estimate of the n-th prime that nth_prime starts from: R^-1(n), worked
// out in double precision with the basic operations and roots.hpp's
// logarithm alone, so that it is the same on every machine and build (and
// with it the count that nth_prime checkpoints). For 1 <= n <=
// 216289611853439384, pi(2^63 - 1); input_error outside. At most 2^63 - 1.
ROUGHPI_API std::int64_t nth_prime_estimate(std::int64_t n);

}  // namespace roughpi
