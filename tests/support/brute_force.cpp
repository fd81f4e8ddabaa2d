// SPDX-License-Identifier: MIT
#include "support/brute_force.hpp"

#include <fstream>
#include <numeric>
#include <string>

namespace roughpi::testing {

bool is_rough(std::int64_t m) { return m > 1 && std::gcd(m, std::int64_t{30030}) == 1; }

std::int64_t brute_count_coprime(std::int64_t lo, std::int64_t hi)
{
    std::int64_t count = 0;
    if (lo > hi)
        return 0;
    for (std::int64_t m = lo;; ++m) {  // stops at hi, which may be 2^63 - 1
        count += std::gcd(m, std::int64_t{30030}) == 1;
        if (m == hi)
            break;
    }
    return count;
}

std::vector<std::int64_t> coprime_prefix(std::int64_t limit)
{
    std::vector<std::int64_t> prefix(static_cast<std::size_t>(limit) + 1, 0);
    for (std::int64_t n = 1; n <= limit; ++n)
        prefix[n] = prefix[n - 1] + (std::gcd(n, std::int64_t{30030}) == 1);
    return prefix;
}

namespace {

// Coprimality repeats with period 30030, so one period counted by gcd gives
// the count below any n.
std::int64_t coprime_up_to(std::int64_t n, const std::vector<std::int64_t>& period)
{
    return n / 30030 * period[30030] + period[n % 30030];
}

std::int64_t ordered_tuples(std::int64_t n, int j, const std::vector<std::int64_t>& period)
{
    if (j == 1)
        return n >= 17 ? coprime_up_to(n, period) - 1 : 0;  // every coprime m <= n but 1
    // The other j - 1 entries are at least 17 each.
    std::int64_t others = 1;
    for (int i = 1; i < j; ++i)
        others *= 17;
    std::int64_t count = 0;
    for (std::int64_t m = 17; m <= n / others; ++m)
        if (is_rough(m))
            count += ordered_tuples(n / m, j - 1, period);
    return count;
}

std::int64_t factorial(int k) { return k <= 1 ? 1 : k * factorial(k - 1); }

// Enumerates non-decreasing tuples from `first` on; counts[] holds how many
// times each chosen value occurred, as (value, multiplicity) runs.
std::int64_t weighted(std::int64_t n, std::int64_t first, int left, std::int64_t b, std::int64_t w, int r,
                      std::vector<std::pair<std::int64_t, int>>& runs)
{
    if (left == 0) {
        std::int64_t weight = w;
        for (const auto& [value, count] : runs) {
            if (value == b)
                weight = weight * factorial(r - 1) / factorial(r - 1 + count);
            else
                weight /= factorial(count);
        }
        return weight;
    }
    std::int64_t total = 0;
    for (std::int64_t v = first; v <= n; ++v) {
        if (!is_rough(v))
            continue;
        if (!runs.empty() && runs.back().first == v)
            ++runs.back().second;
        else
            runs.emplace_back(v, 1);
        total += weighted(n / v, v, left - 1, b, w, r, runs);
        if (--runs.back().second == 0)
            runs.pop_back();
    }
    return total;
}

}  // namespace

std::int64_t brute_ordered_tuples(std::int64_t n, int j)
{
    static const auto period = coprime_prefix(30030);
    return ordered_tuples(n, j, period);
}

std::int64_t brute_weighted_tuples(std::int64_t n, std::int64_t b, std::int64_t w, int r, int k)
{
    std::vector<std::pair<std::int64_t, int>> runs;
    return weighted(n, b, k, b, w, r, runs);
}

std::vector<std::int64_t> sieve_prime_counts(std::int64_t limit)
{
    std::vector<bool> composite(static_cast<std::size_t>(limit) + 1, false);
    std::vector<std::int64_t> counts(static_cast<std::size_t>(limit) + 1, 0);
    for (std::int64_t n = 2; n <= limit; ++n) {
        if (!composite[n])
            for (std::int64_t m = n * n; m <= limit; m += n)
                composite[m] = true;
        counts[n] = counts[n - 1] + !composite[n];
    }
    return counts;
}

std::vector<known_value> read_known_values(const char* path)
{
    std::vector<known_value> values;
    std::ifstream in(path);
    std::string header;
    if (!in || !std::getline(in, header))
        return values;
    known_value v{};
    while (in >> v.x >> v.pi)
        values.push_back(v);
    return values;
}

}  // namespace roughpi::testing
