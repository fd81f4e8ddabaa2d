// SPDX-License-Identifier: MIT
// The estimate of the n-th prime: the x with R(x) = n, in double precision
// from the basic operations and the library's own logarithm (real_log), and
// compiled without fused multiply-adds, so that every machine comes to the
// same x. Its error is that of R, a few million at the top of the range: the
// sieve of nth_prime walks the rest.
#include "analytic_series.hpp"
#include "refusal.hpp"
#include "roots.hpp"

#include <roughpi/estimates.hpp>
#include <roughpi/prime_count.hpp>

#include <cfloat>
#include <limits>

static_assert(FLT_EVAL_METHOD == 0, "the estimate needs double arithmetic evaluated in double precision");
static_assert(std::numeric_limits<double>::is_iec559, "the estimate needs IEEE 754 double precision");

namespace roughpi {

std::int64_t nth_prime_estimate(std::int64_t n)
{
    if (n < 1 || n > MAX_PRIME_INDEX)
        detail::refuse("n = %lld: the n-th prime is found for n from 1 to %lld, the number of primes up to 2^63 - 1",
                       static_cast<long long>(n), static_cast<long long>(MAX_PRIME_INDEX));
    if (n < 6)
        return 2;  // the sieve from 2 is quicker than any estimate
    // Newton's method on R(x) = n, R'(x) about 1/ln x, from x = n ln n: a
    // dozen steps at most.
    const double target = static_cast<double>(n);
    const double largest = static_cast<double>(MAX_SUPPORTED_X);
    double x = target * real_log(target);
    for (int i = 0; i < 60; ++i) {
        const double log_x = real_log(x);
        double next = x - (detail::riemann_r_of_log(log_x) - target) * log_x;
        if (next < 2.0)
            next = 2.0;
        if (next > largest)
            next = largest;
        const double step = next > x ? next - x : x - next;
        x = next;
        if (step < 1.0 + x * 1e-14)  // as near as double precision and R's rounding get
            break;
    }
    // 2^63 itself is the double nearest to 2^63 - 1.
    return x >= largest ? MAX_SUPPORTED_X : static_cast<std::int64_t>(x);
}

}  // namespace roughpi
