// SPDX-License-Identifier: MIT
// The series behind the analytic estimates of pi(x), for any floating type
// T and logarithm: the logarithmic integral li(x) by Ramanujan's series, and
// Riemann's R(x) by Gram's series with the values of zeta at the integers.
//
//   li(x) = gamma + ln ln x + sqrt(x) sum_{n>=1} (-1)^(n-1) (ln x)^n / (n! 2^(n-1))
//                                                 * sum_{k=0}^{floor((n-1)/2)} 1/(2k+1)
//   R(x)  = 1 + sum_{k>=1} (ln x)^k / (k k! zeta(k+1))
//
// Gram's terms are all positive, so R loses nothing to cancellation; the
// terms of Ramanujan's series alternate, but their largest is within a
// factor of ten of the sum for every x < 2^63. The guess of nth_prime.cpp
// evaluates R in double with the library's own logarithm, so that the guess
// (and a checkpoint of its count) is the same on every machine. (li(x), R(x)
// and their inverses, rounded down exactly, are estimates.cpp's, in fixed
// point.)
#pragma once

#include <array>
#include <cstddef>

namespace roughpi::detail {

inline constexpr long double EULER_GAMMA = 0.577215664901532860606512090082402431L;

// zeta(s) for an integer s >= 2, by Euler-Maclaurin summation from N = 10:
// the sum to N - 1, the integral of the rest, and six Bernoulli terms,
// which leave an error below 10^-22 for every s >= 2. Powers by repeated
// multiplication, so that the result rounds the same everywhere.
template <typename T>
constexpr T zeta(int s)
{
    if (s >= 40) {
        // The terms from 6^-s on are below 10^-31.
        T sum = 1;
        for (int n = 2; n <= 5; ++n) {
            T power = 1;
            for (int i = 0; i < s; ++i)
                power /= n;
            sum += power;
        }
        return sum;
    }
    constexpr int N = 10;
    T sum = 0;
    for (int n = 1; n < N; ++n) {
        T power = 1;  // n^-s
        for (int i = 0; i < s; ++i)
            power /= n;
        sum += power;
    }
    T n_to_minus_s = 1;  // N^-s
    for (int i = 0; i < s; ++i)
        n_to_minus_s /= N;
    sum += n_to_minus_s * N / (s - 1) + n_to_minus_s / 2;
    // B_2j / (2j)! * s (s+1) ... (s+2j-2) * N^(-s-2j+1)
    constexpr T bernoulli_over_factorial[] = {T(1) / 12,       T(-1) / 720,     T(1) / 30240,
                                              T(-1) / 1209600, T(1) / 47900160, T(-691) / T(1307674368000)};
    T rising = s;                // s (s+1) ... (s+2j-2)
    T power = n_to_minus_s / N;  // N^(-s-2j+1)
    for (int j = 1; j <= 6; ++j) {
        sum += bernoulli_over_factorial[j - 1] * rising * power;
        rising *= T(s + 2 * j - 1) * T(s + 2 * j);
        power /= T(N) * T(N);
    }
    return sum;
}

// zeta(2) ... zeta(ZETA_TABLE - 1), worked out as the program is compiled;
// beyond, zeta(s) is 1 to within 10^-77.
inline constexpr int ZETA_TABLE = 256;
// (gcc gives the instances of a variable template default visibility, as
// unique symbols, whatever -fvisibility says: hidden by hand, so that a
// shared library does not export the table.)
template <typename T>
#if defined(__ELF__)
[[gnu::visibility("hidden")]]
#endif
inline constexpr auto zeta_table = [] {
    std::array<T, ZETA_TABLE> values{};
    for (int s = 2; s < ZETA_TABLE; ++s)
        values[static_cast<std::size_t>(s)] = zeta<T>(s);
    return values;
}();

// R(x) from ln x, for x >= 2.
template <typename T>
T riemann_r_of_log(T log_x)
{
    T sum = 1;
    T power = 1;  // (ln x)^k / k!
    for (int k = 1; k < 1000; ++k) {
        power *= log_x / k;
        const T zeta_k = k + 1 < ZETA_TABLE ? zeta_table<T>[static_cast<std::size_t>(k + 1)] : T(1);
        const T term = power / (k * zeta_k);
        sum += term;
        if (term < sum * T(1e-22) && k > log_x)
            break;
    }
    return sum;
}

// li(x) from x, ln x, ln ln x and sqrt x, for x >= 2.
template <typename T>
T li_of(T log_x, T log_log_x, T root_x)
{
    T sum = 0;
    T inner = 0;    // sum_{k <= (n-1)/2} 1/(2k+1)
    T factor = -2;  // (-1)^(n-1) (ln x)^n / (n! 2^(n-1)), from n = 0 on
    for (int n = 1; n < 1000; ++n) {
        factor *= -log_x / (2 * n);
        if (n % 2 == 1)
            inner += T(1) / n;
        const T term = factor * inner;
        sum += term;
        if ((term < 0 ? -term : term) < (sum < 0 ? -sum : sum) * T(1e-22) && n > log_x)
            break;
    }
    return T(EULER_GAMMA) + log_log_x + root_x * sum;
}

}  // namespace roughpi::detail
