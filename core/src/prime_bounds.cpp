// SPDX-License-Identifier: MIT
#include "prime_bounds.hpp"

#include "refusal.hpp"
#include "terms.hpp"
#include "wheel.hpp"

#include <cmath>

namespace roughpi::detail {

pi_bounds proven_pi_bounds(std::int64_t x)
{
    if (x < FIRST_ROUGH) {
        const std::int64_t pi = x < 2 ? 0 : SMALL_PRIME_COUNT_TABLE[x];
        return {pi, pi};
    }
    const auto xl = static_cast<long double>(x);
    const long double log_x = std::log(xl);
    const long double base = xl / log_x;
    const long double lower = x >= 599 ? base * (1.0L + 1.0L / log_x) : base;
    const long double upper = base * (1.0L + 1.2762L / log_x);
    constexpr long double slack = 1e-9L;
    return {static_cast<std::int64_t>(std::floor(lower * (1.0L - slack))) - 1,
            static_cast<std::int64_t>(std::ceil(upper * (1.0L + slack))) + 1};
}

std::int64_t checked_pi(std::int64_t x, const wide_int& counted)
{
    const pi_bounds bounds = proven_pi_bounds(x);
    if (!(counted < wide_int(bounds.lower)) && !(wide_int(bounds.upper) < counted))
        return static_cast<std::int64_t>(counted);
    if (high_word(counted) == (static_cast<std::int64_t>(low_word(counted)) < 0 ? -1 : 0))
        fail_internally("pi(%lld) came out as %lld, outside the proven bounds %lld ... %lld; no result is given",
                        static_cast<long long>(x), static_cast<long long>(low_word(counted)),
                        static_cast<long long>(bounds.lower), static_cast<long long>(bounds.upper));
    fail_internally("pi(%lld) came out beyond 64 bits, outside the proven bounds %lld ... %lld; no result is given",
                    static_cast<long long>(x), static_cast<long long>(bounds.lower),
                    static_cast<long long>(bounds.upper));
}

}  // namespace roughpi::detail
