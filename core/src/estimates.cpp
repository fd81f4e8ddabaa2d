// SPDX-License-Identifier: MIT
// li(x), R(x) and their inverses, rounded down exactly: each is worked out
// as a ball (fixed_ball.hpp), a value with a proven bound on its error, and
// the floor is taken only when the whole ball lies between two integers.
// When it does not, the same sums are worked out again with twice the
// fraction bits.
//
// The series, for x >= 2 and L = ln x (all their terms are positive):
//
//   li(x) = gamma + ln L + sum_{k>=1} L^k / (k k!)
//   R(x)  = 1 + sum_{k>=1} L^k / (k k! zeta(k+1))          (Gram's series)
//
// Their error, beyond what the balls carry, is the tail left off. With
// p_k = L^k / k!, p_{j+1} = p_j L / (j+1) <= p_j / 2 once j + 1 >= 2L, so
// after term k, with k + 1 >= 2L, the rest is below p_k / (k+1) times
// 1 + 1/2 + 1/4 + ... <= p_k (and 1/zeta < 1 makes R's rest smaller still).
// The sums stop once p_k, as its ball bounds it, is below 1024 units in the
// last place, and add p_k to the radius.
//
// The logarithm, for v > 0: v = 2^e m with m in [3/4, 3/2), and
//
//   ln v = e ln 2 + 2 atanh(t),   t = (v - 2^e) / (v + 2^e), |t| <= 1/5,
//   atanh(t) = sum_{k>=0} t^(2k+1) / (2k+1),
//
// whose rest after the term in t^(2k+1) is below |t|^(2k+1) t^2 / (1 - t^2);
// ln 2 = 2 atanh(1/3) in the same way. For an integer x the quotient t is
// worked out exactly to the last bit from x - 2^e and x + 2^e (both fit in
// 64 bits); for L it is a quotient of balls. For a ball around a, ln moves by
// at most r / (a - r) (the mean value theorem, with 1/t <= 1/(a - r)).
//
// Euler's gamma and zeta(s) come from Euler-Maclaurin summation at N = 2^n,
// with the Bernoulli numbers B_2 ... B_20 (and B_22 for the remainder):
//
//   gamma   = H_N - ln N - 1/(2N) + sum_{j=1}^{10} B_2j / (2j N^2j)
//   zeta(s) = sum_{m<N} m^-s + N^(1-s)/(s-1) + N^-s/2
//                + sum_{j=1}^{10} B_2j / (2j)! s(s+1)...(s+2j-2) N^(-s-2j+1)
//
// For 1/t and t^-s the derivatives alternate in sign and shrink, so the
// remainder is at most the first term left out: |B_22| / (22 N^22) for
// gamma, and |B_22| / 22! s(s+1)...(s+20) N^(-s-21) for zeta(s), which falls
// as s grows (the ratio from s to s+1 is (s+21) / (s N) < 1), so it is at
// most its value at s = 2, |B_22| N^-23. Beyond the table, for s > F,
// 1 - 2^(1-s) < 1/zeta(s) < 1 (zeta(s) - 1 < 2^-s (1 + 2/(s-1))).
//
// With these, li(x) and R(x) come out with radii of about 2^-54 at the top
// of the range and far less below it (2^-183 with the second precision): the
// first precision leaves undecided about one argument in 10^16, the second
// one in 10^54. A value that neither decides would be an internal error,
// never a wrong floor.
//
// The offset Li(x) = li(x) - li(2) is li(x)'s ball less li(2)'s, worked out
// the same way, its radius the sum of theirs; Li(2) = 0 exactly, which no
// ball decides, so x = 2 is answered apart.
//
// The inverses: f is increasing, so the floor of the x with f(x) = y is the
// largest integer k with f(k) <= y, that is with floor(f(k)) < y (f(k), if it
// is decided, is not an integer). Newton's method on the balls' values puts
// k within a step or so of it, and exact floors of f at k and k + 1 settle
// it.
#include "fixed_ball.hpp"
#include "refusal.hpp"

#include <roughpi/estimates.hpp>
#include <roughpi/prime_count.hpp>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>

namespace roughpi {

namespace {

using detail::ball;
using detail::fixed;
using detail::up;

// B_2, B_4, ..., B_20 (and |B_22| = 854513/138 for the remainders).
struct fraction {
    std::int32_t numerator;
    std::uint32_t denominator;
};
constexpr fraction BERNOULLI[] = {
    {1, 6}, {-1, 30}, {1, 42}, {-1, 30}, {5, 66}, {-691, 2730}, {7, 6}, {-3617, 510}, {43867, 798}, {-174611, 330},
};
constexpr int BERNOULLI_TERMS = 10;
constexpr double B22 = 854513.0 / 138;

// A series stops once what is left is below STOP units in the last place:
// the radii of its terms never fall below a few units themselves.
constexpr double STOP = 1024;

// The signed value, roughly (for Newton's steps only).
template <int W>
double approximate(const fixed<W>& v)
{
    return v.negative() ? -v.magnitude_above() : v.magnitude_above();
}

// atanh(t) for a ball t with |t| <= 1/3.
template <int W>
ball<W> atanh_series(const ball<W>& t)
{
    const ball<W> square = t * t;
    const double square_above = square.above();
    ball<W> power = t;
    ball<W> sum = t;
    for (std::uint32_t k = 1; k < 1000; ++k) {
        power = power * square;  // t^(2k+1)
        sum = sum + power / (2 * k + 1);
        const double rest = up(power.above() * square_above / (1 - square_above));
        if (rest < STOP * ball<W>::ULP) {
            sum.radius = up(sum.radius + rest);
            return sum;
        }
    }
    detail::fail_internally("atanh series did not converge");
}

// e ln 2 + 2 atanh(t), for an integer e.
template <int W>
ball<W> log_from(int e, const ball<W>& t, const ball<W>& ln2)
{
    const ball<W> scaled = ln2 * static_cast<std::uint32_t>(e < 0 ? -e : e);
    return (e < 0 ? -scaled : scaled) + atanh_series(t) * 2u;
}

// ln x for an integer 2 <= x < 2^63.
template <int W>
ball<W> log_of_integer(std::uint64_t x, const ball<W>& ln2)
{
    int e = std::bit_width(x) - 1;
    if ((x >> (e - 1)) >= 3)  // x >= (3/2) 2^e
        ++e;
    const std::uint64_t power = std::uint64_t{1} << e;
    const bool negative = x < power;
    std::uint64_t remainder = negative ? power - x : x - power;
    const std::uint64_t divisor = x + power;  // below 2^64
    // |t| = remainder / divisor < 1, to F bits, truncated: within one ULP.
    fixed<W> t;
    for (int bit = fixed<W>::FRACTION_BITS - 1; bit >= 0; --bit) {
        const bool carry = (remainder >> 63) != 0;
        remainder <<= 1;
        if (carry || remainder >= divisor) {
            remainder -= divisor;  // 2 remainder - divisor < divisor, so exact modulo 2^64
            t.word[static_cast<std::size_t>(bit / 32)] |= std::uint32_t{1} << (bit % 32);
        }
    }
    return log_from(e, ball<W>{t.with_sign(negative), ball<W>::ULP}, ln2);
}

// ln of a ball around a > 0 with a <= 2^62.
template <int W>
ball<W> log_of_ball(const ball<W>& a, const ball<W>& ln2)
{
    const fixed<W>& v = a.value;
    int top = 32 * W - 1;
    while (((v.word[static_cast<std::size_t>(top / 32)] >> (top % 32)) & 1) == 0)
        --top;
    int e = top - fixed<W>::FRACTION_BITS;  // v in [2^e, 2^(e+1))
    if (top > 0 && ((v.word[static_cast<std::size_t>((top - 1) / 32)] >> ((top - 1) % 32)) & 1) != 0)
        ++e;  // v >= (3/2) 2^e
    const ball<W> power{fixed<W>::power_of_two(e), 0};
    const ball<W> exact{v, 0};
    ball<W> result = log_from(e, (exact - power) / (exact + power), ln2);
    const double below = (v.magnitude_below() - a.radius) * (1 - 0x1p-40);
    if (!(below > 0))
        detail::fail_internally("logarithm of a ball around 0");
    result.radius = up(result.radius + a.radius / below);
    return result;
}

template <int W>
struct constants {
    static constexpr int F = fixed<W>::FRACTION_BITS;
    static constexpr int LOG2_N = (F + 26 + 22) / 23;  // Euler-Maclaurin at N = 2^LOG2_N: 128, 8192
    static constexpr std::uint32_t N = std::uint32_t{1} << LOG2_N;

    ball<W> ln2;
    ball<W> gamma;
    std::array<ball<W>, F + 1> inverse_zeta;  // 1/zeta(s) at s, for 2 <= s <= F

    constants()
    {
        // The remainders: below 2^-146 at F = 128, 2^-278 at F = 256.
        const double gamma_remainder = up(std::ldexp(B22 / 22, -22 * LOG2_N));
        const double zeta_remainder = up(std::ldexp(B22, -23 * LOG2_N));
        ln2 = atanh_series(ball<W>{fixed<W>::integer(1) / 3u, ball<W>::ULP}) * 2u;

        // gamma = H_N - ln N - 1/(2N) + sum B_2j / (2j N^2j).
        ball<W> sum{};
        for (std::uint32_t m = 1; m <= N; ++m)
            sum = sum + ball<W>::exact(1) / m;
        sum = sum - ln2 * static_cast<std::uint32_t>(LOG2_N) - ball<W>::exact(1) / (2 * N);
        for (int j = 1; j <= BERNOULLI_TERMS; ++j) {
            const fraction& b = BERNOULLI[j - 1];
            ball<W> term = ball<W>::exact(b.numerator) / b.denominator / static_cast<std::uint32_t>(2 * j);
            for (int i = 0; i < 2 * j; ++i)
                term = term / N;
            sum = sum + term;
        }
        sum.radius = up(sum.radius + gamma_remainder);
        gamma = sum;

        // zeta(s): first the sums of m^-s for 1 <= m < N, all s at once.
        std::array<ball<W>, F + 1> zeta{};
        for (int s = 2; s <= F; ++s)
            zeta[static_cast<std::size_t>(s)] = ball<W>::exact(1);
        for (std::uint32_t m = 2; m < N; ++m) {
            ball<W> power = ball<W>::exact(1);
            for (int s = 1; s <= F; ++s) {
                power = power / m;  // m^-s
                if (s >= 2)
                    zeta[static_cast<std::size_t>(s)] = zeta[static_cast<std::size_t>(s)] + power;
                if (power.value.zero()) {
                    // m^-s' <= m^-s <= the radius from here on.
                    for (int later = s + 1; later <= F; ++later)
                        zeta[static_cast<std::size_t>(later)].radius =
                            up(zeta[static_cast<std::size_t>(later)].radius + power.radius);
                    break;
                }
            }
        }
        // Then the integral, the half term and the Bernoulli terms at N, as
        // N^-s times N/(s-1) + 1/2 + sum_j B_2j a_j, with
        // a_j = s(s+1)...(s+2j-2) / ((2j)! N^(2j-1)) <= a_1 = s/(2N) <= 1
        // (each a_j+1 / a_j <= (F+20)^2 / (12 N^2) < 1), so that no
        // truncation is multiplied by more than |B_2j| N^-s.
        for (int s = 2; s <= F; ++s) {
            const auto su = static_cast<std::uint32_t>(s);
            ball<W> bracket = ball<W>::exact(N) / (su - 1) + ball<W>::exact(1) / 2u;
            ball<W> a = ball<W>::exact(su) / (2 * N);
            for (int j = 1; j <= BERNOULLI_TERMS; ++j) {
                const fraction& b = BERNOULLI[j - 1];
                const ball<W> term =
                    a * static_cast<std::uint32_t>(b.numerator < 0 ? -b.numerator : b.numerator) / b.denominator;
                bracket = b.numerator < 0 ? bracket - term : bracket + term;
                const auto i = static_cast<std::uint32_t>(2 * j);
                a = a * ((su + i - 1) * (su + i)) / N / N / ((i + 1) * (i + 2));
            }
            ball<W>& z = zeta[static_cast<std::size_t>(s)];
            if (s * LOG2_N <= F)
                z = z + bracket * ball<W>{fixed<W>::power_of_two(-s * LOG2_N), 0};
            else  // N^-s < 2^-F
                z.radius = up(z.radius + bracket.above() * ball<W>::ULP);
            z.radius = up(z.radius + zeta_remainder);
            inverse_zeta[static_cast<std::size_t>(s)] = ball<W>::exact(1) / z;
        }
    }

    // 1/zeta(s) for s >= 2.
    ball<W> inverse_zeta_at(std::uint32_t s) const
    {
        if (s <= static_cast<std::uint32_t>(F))
            return inverse_zeta[s];
        return {fixed<W>::integer(1), std::ldexp(1.0, 1 - static_cast<int>(s))};
    }
};

template <int W>
const constants<W>& constants_at()
{
    static const constants<W> c;
    return c;
}

enum class function { li, offset_li, riemann_r };

template <int W>
ball<W> evaluate(function f, std::int64_t x);

// li(2), as a ball.
template <int W>
const ball<W>& li_of_2()
{
    static const ball<W> value = evaluate<W>(function::li, 2);
    return value;
}

// li(x), Li(x) or R(x) for 2 <= x < 2^63, as a ball.
template <int W>
ball<W> evaluate(function f, std::int64_t x)
{
    if (f == function::offset_li)
        return evaluate<W>(function::li, x) - li_of_2<W>();
    const constants<W>& c = constants_at<W>();
    const ball<W> log_x = log_of_integer(static_cast<std::uint64_t>(x), c.ln2);
    const double twice_log = up(2 * log_x.above());
    ball<W> power = ball<W>::exact(1);  // L^k / k!
    ball<W> sum{};
    for (std::uint32_t k = 1; k < 10000; ++k) {
        power = power / k * log_x;
        ball<W> term = power / k;
        if (f == function::riemann_r)
            term = term * c.inverse_zeta_at(k + 1);
        sum = sum + term;
        if (k + 1 >= twice_log) {
            const double rest = power.above();
            if (rest < STOP * ball<W>::ULP) {
                sum.radius = up(sum.radius + rest);
                if (f == function::riemann_r)
                    return sum + ball<W>::exact(1);
                return c.gamma + log_of_ball(log_x, c.ln2) + sum;
            }
        }
    }
    detail::fail_internally("the series of li or R did not converge");
}

// floor(v) when every number of the ball has it.
template <int W>
std::optional<std::int64_t> decided_floor(const ball<W>& b)
{
    if (!(b.radius < 0x1p-16))
        return std::nullopt;
    // The true value lies within r of v = n + frac, frac in [f, f + 1) 2^-64;
    // with R = ceil(r 2^64) <= f and f + 1 + R <= 2^64 it is in [n, n + 1).
    const auto r = static_cast<std::uint64_t>(std::ceil(b.radius * 0x1p64));
    const std::uint64_t f = b.value.fraction_bits();
    if (r <= f && r <= ~f)
        return b.value.floor();
    return std::nullopt;
}

const char* name_of(function f)
{
    return f == function::li ? "li" : f == function::offset_li ? "offset_li" : "riemann_r";
}

std::int64_t exact_floor(function f, std::int64_t x)
{
    if (f == function::offset_li && x == 2)
        return 0;  // Li(2) = 0
    if (const auto v = decided_floor(evaluate<6>(f, x)))
        return *v;
    if (const auto v = decided_floor(evaluate<10>(f, x)))
        return *v;
    detail::fail_internally("%s(%lld) lies too near an integer to round down", name_of(f), static_cast<long long>(x));
}

void check_argument(const char* what, std::int64_t x)
{
    if (x < 2)
        detail::refuse("%s(%lld): x must be from 2 to %lld", what, static_cast<long long>(x),
                       static_cast<long long>(MAX_SUPPORTED_X));
}

// li(x) or R(x) in double precision: where Newton's method starts.
double approximate(function f, double x)
{
    const constants<6>& c = constants_at<6>();
    const double log_x = std::log(x);
    double sum = 0;
    double power = 1;
    for (std::uint32_t k = 1; k < 1000; ++k) {
        power *= log_x / k;
        double term = power / k;
        if (f == function::riemann_r)
            term *= approximate(c.inverse_zeta_at(k + 1).value);
        sum += term;
        if (k > 2 * log_x && term < sum * 1e-17)
            break;
    }
    if (f == function::riemann_r)
        return 1 + sum;
    const double value = approximate(c.gamma.value) + std::log(log_x) + sum;
    return f == function::offset_li ? value - approximate(li_of_2<6>().value) : value;
}

std::int64_t clamp_to_range(double x)
{
    const double largest = static_cast<double>(MAX_SUPPORTED_X);  // 2^63
    if (!(x >= 2))
        return 2;
    return x >= largest ? MAX_SUPPORTED_X : static_cast<std::int64_t>(std::llround(x));
}

std::int64_t inverse(const char* what, function f, std::int64_t y)
{
    static const std::int64_t largest[3] = {exact_floor(function::li, MAX_SUPPORTED_X),
                                            exact_floor(function::offset_li, MAX_SUPPORTED_X),
                                            exact_floor(function::riemann_r, MAX_SUPPORTED_X)};
    const std::int64_t top = largest[static_cast<int>(f)];
    // Li(2) = 0: Li^-1 takes 0 (to 2) and 1; li and R are above 1 from 2 on.
    const std::int64_t least = f == function::offset_li ? 0 : 2;
    if (y < least || y > top)
        detail::refuse("%s(%lld): y must be from %lld to %lld, where the result stays below 2^63", what,
                       static_cast<long long>(y), static_cast<long long>(least), static_cast<long long>(top));
    if (y == 0)
        return 2;
    // Newton's method with f'(x) taken as 1/ln x (exact for li, and for R
    // within a factor 0.4 to 1 from x = 2 and nearer 1 the larger x is), first
    // in double precision, then on the balls' values, until a step is below 1.
    const double target = static_cast<double>(y);
    double x = target * std::log(target) + 2;
    for (int i = 0; i < 100; ++i) {
        const double step = (approximate(f, x) - target) * std::log(x);
        const double next = std::clamp(x - step, 2.0, static_cast<double>(MAX_SUPPORTED_X));
        const bool settled = std::fabs(next - x) < 1 + x * 1e-14;
        x = next;
        if (settled)
            break;
    }
    std::int64_t k = clamp_to_range(x);
    // The last ball worked out, and where: its floor is used when decided.
    std::int64_t at = 0;
    ball<6> value{};
    for (int i = 0; i < 100; ++i) {
        value = evaluate<6>(f, k);
        at = k;
        const double step = approximate((ball<6>::exact(y) - value).value) * std::log(static_cast<double>(k));
        if (std::fabs(step) < 1)
            break;
        // In integers: near 2^63 doubles are 1024 apart.
        const std::int64_t jump = std::fabs(step) < 0x1p62 ? std::llround(step)
            : step > 0                                     ? MAX_SUPPORTED_X
                                                           : -MAX_SUPPORTED_X;
        k = jump > MAX_SUPPORTED_X - k ? MAX_SUPPORTED_X : jump < 2 - k ? 2 : k + jump;
    }
    auto floor_at = [&](std::int64_t n) {
        if (n == at)
            if (const auto v = decided_floor(value))
                return *v;
        return exact_floor(f, n);
    };
    // floor(f(2)) < y (1 for li and R, 0 for Li), and floor(f(k)) < y <=
    // floor(f(2^63 - 1)) keeps k + 1 in range.
    while (floor_at(k) >= y)
        --k;
    while (floor_at(k + 1) < y)
        ++k;
    return k;
}

}  // namespace

std::int64_t li(std::int64_t x)
{
    check_argument("li", x);
    return exact_floor(function::li, x);
}

std::int64_t li_inverse(std::int64_t y) { return inverse("li_inverse", function::li, y); }

std::int64_t offset_li(std::int64_t x)
{
    check_argument("offset_li", x);
    return exact_floor(function::offset_li, x);
}

std::int64_t offset_li_inverse(std::int64_t y) { return inverse("offset_li_inverse", function::offset_li, y); }

std::int64_t riemann_r(std::int64_t x)
{
    check_argument("riemann_r", x);
    return exact_floor(function::riemann_r, x);
}

std::int64_t riemann_r_inverse(std::int64_t y) { return inverse("riemann_r_inverse", function::riemann_r, y); }

}  // namespace roughpi
