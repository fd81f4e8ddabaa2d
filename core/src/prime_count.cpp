#include <roughpi/factor_counts.hpp>
#include <roughpi/prime_count.hpp>
#include <roughpi/wheel.hpp>

#include <cassert>
#include <cmath>

namespace roughpi {

namespace {

// Logarithms are taken to a base a hair above 17 so that log_17 of an exact
// power of 17 does not round up past the integer.
constexpr double LOG_BASE = 17.00000000001;

}  // namespace

std::int64_t prime_count(std::int64_t x, counting_path path)
{
    assert(x <= max_supported_x && "prime_count: x above the supported range");

    // mu(0) is a placeholder; mu(n) for n = 1 ... 28.
    const std::int32_t mobius_table[29] = {0,  1, -1, -1, 0, -1, 1,  -1, 0, 0, 1, -1, 0, -1, 1,
                                           1,  0, -1, 0,  -1, 0, 1,  1,  -1, 0, 0, 1,  0, 0};
    // k! for k = 1 ... 20 (index 0 unused).
    const std::int64_t factorial_table[21] = {1,
                                              1,
                                              2,
                                              6,
                                              24,
                                              120,
                                              720,
                                              5040,
                                              40320,
                                              362880,
                                              3628800,
                                              39916800,
                                              479001600,
                                              6227020800,
                                              87178291200,
                                              1307674368000,
                                              20922789888000,
                                              355687428096000,
                                              6402373705728000,
                                              121645100408832000,
                                              2432902008176640000};
    // pi(0) ... pi(16).
    const std::int32_t small_prime_count_table[17] = {0, 0, 1, 2, 2, 3, 3, 4, 4,
                                                      4, 4, 5, 5, 6, 6, 6, 6};

    // Below 17 no rough number exists and the sums are empty. pi(x) = 0 for x < 2,
    // negative x included.
    if (x < 2)
        return 0;
    if (x < FIRST_ROUGH)
        return small_prime_count_table[x];

    std::int64_t term_sums[32] = {};  // S_k, indexed by k = i*j

    const double X = static_cast<double>(x) + FLOOR_NUDGE;
    const double L = std::log(X);
    const double L17 = std::log(LOG_BASE);

    // i*j <= log_17(x): beyond that D_j(x^(1/i)) = 0.
    const auto imax = static_cast<std::int32_t>(L / L17 + FLOOR_NUDGE) + 1;
    for (std::int32_t i = 1; i < imax; ++i) {
        const std::int32_t m = mobius_table[i];
        if (m == 0)
            continue;
        const auto jmax = static_cast<std::int32_t>(L / i / L17 + FLOOR_NUDGE) + 1;
        if (jmax <= 1)
            continue;
        const auto y = static_cast<std::int64_t>(std::pow(X, 1.0 / i) + FLOOR_NUDGE);
        for (std::int32_t j = 1; j < jmax; ++j) {
            std::int64_t e;
            if (j == 1)
                e = count_rough_in_range(FIRST_ROUGH, y);
            else if (j == 2)
                e = count_factor_pairs(y, FIRST_ROUGH, 2, 1, path);
            else
                e = count_factor_tuples(y, FIRST_ROUGH, factorial_table[j], 1, j, path);
            // S_{ij} += (-1)^(j+1) mu(i) D_j(y), in double precision: every value
            // stays below 2^53 up to 10^14, so the update is exact.
            std::int64_t& s = term_sums[i * j];
            s = static_cast<std::int64_t>(std::pow(-1.0, j + 1) * static_cast<double>(e) * m +
                                          static_cast<double>(s));
        }
    }

    double result = 6.0;
    for (std::int32_t k = 1; k < 32; ++k)
        result += static_cast<double>(term_sums[k] / k);
    return static_cast<std::int64_t>(result + 0.5);
}

std::int64_t prime_count(std::int64_t x) { return prime_count(x, best_counting_path()); }

int prime_count_piece_count(std::int64_t) { return 1; }

double prime_count_piece_share(std::int64_t, int) { return 1.0; }

void prime_count_add_piece(std::int64_t x, int, prime_count_sums& sums) { sums.value += prime_count(x); }

std::int64_t prime_count_from_sums(std::int64_t, const prime_count_sums& sums) { return sums.value; }

}  // namespace roughpi
