// SPDX-License-Identifier: MIT
#include "nth_prime_bounds.hpp"

#include <cmath>

namespace roughpi::detail {

// The bounds
//   n (ln n + ln ln n - 1) < p_n        for n >= 2   Dusart (1999)
//   p_n < n (ln n + ln ln n)            for n >= 6   Rosser (1938)
// widened by far more than their rounding. (P. Dusart, "The kth prime is
// greater than k(ln k + ln ln k - 1) for k >= 2", Math. Comp. 68 (1999);
// J. B. Rosser, "The n-th prime is greater than n log n", Proc. London Math.
// Soc. 45 (1939).)
bool within_nth_prime_bounds(std::int64_t n, std::int64_t p)
{
    if (n < 6)
        return true;
    const auto nl = static_cast<long double>(n);
    const long double log_n = std::log(nl);
    const long double log_log_n = std::log(log_n);
    return static_cast<long double>(p) >= nl * (log_n + log_log_n - 1) * (1 - 1e-9L) - 1 &&
        static_cast<long double>(p) <= nl * (log_n + log_log_n) * (1 + 1e-9L) + 1;
}

}  // namespace roughpi::detail
