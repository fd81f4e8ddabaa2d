// SPDX-License-Identifier: MIT
#include "quotient_counts.hpp"

namespace roughpi::detail {

namespace {

// C(m) for 0 <= m < 2^32 - 1, in 32-bit arithmetic.
inline std::int64_t coprime_count_up_to_32(std::uint32_t m)
{
    const std::uint32_t h = m + 1;
    if (h < WHEEL_MODULUS)
        return wheel_prefix_count[h];
    return std::int64_t{h / 30030u} * WHEEL_RESIDUES + wheel_prefix_count[h % 30030u];
}

}  // namespace

std::int64_t sum_quotient_counts_portable(std::int64_t n, std::int64_t u0, std::int32_t q0, std::int64_t count)
{
    std::int64_t sum = 0;
    std::int32_t q = q0;
    if (n < (std::int64_t{1} << 32) - 1) {
        // 32-bit division: the cheapest exact quotient, and the common case deep
        // in the recursion.
        const auto n32 = static_cast<std::uint32_t>(n);
        auto u = static_cast<std::uint32_t>(u0);
        for (std::int64_t i = 0; i < count; ++i) {
            sum += coprime_count_up_to_32(n32 / u);
            u += wheel_gaps[q];
            q = next_wheel_position(q);
        }
    } else if (n <= MAX_EXACT_DOUBLE_N) {
        // Double-precision division is exact here and faster than a 64-bit divide.
        const auto nd = static_cast<double>(n);
        auto u = static_cast<double>(u0);
        for (std::int64_t i = 0; i < count; ++i) {
            sum += coprime_count_up_to(static_cast<std::int64_t>(nd / u));
            u += wheel_gaps[q];
            q = next_wheel_position(q);
        }
    } else {
        std::int64_t u = u0;
        for (std::int64_t i = 0; i < count; ++i) {
            sum += coprime_count_up_to(n / u);
            u += wheel_gaps[q];
            q = next_wheel_position(q);
        }
    }
    return sum;
}

}  // namespace roughpi::detail
