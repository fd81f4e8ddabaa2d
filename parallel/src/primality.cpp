// SPDX-License-Identifier: MIT
#include "primality.hpp"

#include <roughpi/error.hpp>

namespace roughpi::detail {

namespace {

// a * b mod m, for a, b < m < 2^63.
std::uint64_t multiply_mod(std::uint64_t a, std::uint64_t b, std::uint64_t m)
{
#if defined(__SIZEOF_INT128__)
    __extension__ typedef unsigned __int128 wide;
    return static_cast<std::uint64_t>(static_cast<wide>(a) * b % m);
#else
    std::uint64_t result = 0;
    for (a %= m; b != 0; b >>= 1) {
        if (b & 1)
            result = result >= m - a ? result - (m - a) : result + a;
        a = a >= m - a ? a - (m - a) : a + a;
    }
    return result;
#endif
}

}  // namespace

// Deterministic for every n < 2^64: the Miller-Rabin test to the twelve
// prime bases up to 37.
bool is_prime(std::uint64_t n)
{
    if (n < 2)
        return false;
    constexpr std::uint64_t bases[] = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37};
    for (const std::uint64_t p : bases)
        if (n % p == 0)
            return n == p;
    std::uint64_t d = n - 1;
    int s = 0;
    for (; d % 2 == 0; d /= 2)
        ++s;
    for (const std::uint64_t a : bases) {
        std::uint64_t x = 1;
        for (std::uint64_t power = a, e = d; e != 0; e >>= 1, power = multiply_mod(power, power, n))
            if (e & 1)
                x = multiply_mod(x, power, n);
        if (x == 1 || x == n - 1)
            continue;
        bool composite = true;
        for (int r = 1; r < s && composite; ++r) {
            x = multiply_mod(x, x, n);
            composite = x != n - 1;
        }
        if (composite)
            return false;
    }
    return true;
}

std::int64_t count_primes_tested(std::uint64_t lo, std::uint64_t hi, const std::stop_token& stop)
{
    std::int64_t count = lo <= 2 && hi >= 2 ? 1 : 0;
    // The odd numbers from the least odd n >= max(lo, 3) up to hi, with no
    // n + 2 that could overflow: hi < 2^64 - 1.
    std::uint64_t n = lo < 3 ? 3 : lo | 1;
    for (unsigned polled = 0; n <= hi; n += 2) {
        if (++polled == 256) {
            polled = 0;
            if (stop.stop_requested())
                throw cancelled();
        }
        count += is_prime(n) ? 1 : 0;
        if (hi - n < 2)
            break;
    }
    return count;
}

}  // namespace roughpi::detail
