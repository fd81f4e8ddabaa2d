#include <roughpi/factor_counts.hpp>
#include <roughpi/integer_roots.hpp>
#include <roughpi/prime_count.hpp>
#include <roughpi/wheel.hpp>

#include "tuple_walk.hpp"

#include <cassert>
#include <cmath>

namespace roughpi {

namespace {

// mu(0) is a placeholder; mu(n) for n = 1 ... 28.
constexpr std::int32_t mobius_table[29] = {0, 1, -1, -1, 0, -1, 1, -1, 0, 0, 1, -1, 0, -1, 1,
                                           1, 0, -1, 0, -1, 0, 1, 1, -1, 0, 0, 1, 0, 0};

// pi(0) ... pi(16).
constexpr std::int32_t small_prime_count_table[17] = {0, 0, 1, 2, 2, 3, 3, 4, 4, 4, 4, 5, 5, 6, 6, 6, 6};

// k! for k = 0 ... 20; 20! < 2^63.
constexpr std::int64_t factorial(int k) { return k <= 1 ? 1 : k * factorial(k - 1); }

// Ranges of first entries each large tuple term is split into, for counting a
// piece at a time.
constexpr int first_entry_ranges = 16;

// One term mu(i) (-1)^(j+1) D_j(floor(x^(1/i))) of the sums, which belongs to
// S_{i*j}. D_j(y) = 0 unless 17^j <= y, so the terms of x are the (i, j) with
// mu(i) != 0 and 17^(i*j) <= x: i*j <= log_17(10^18) < 15.
struct term {
    std::int32_t i;
    std::int32_t j;
    std::int64_t y;     // floor(x^(1/i))
    std::int32_t sign;  // mu(i) (-1)^(j+1)
};

// Calls visit(term) for every term of x, in order of i, then j; stops early
// when visit returns true.
template <typename Visit>
void for_each_term(std::int64_t x, Visit&& visit)
{
    for (std::int32_t i = 1; power_at_most(FIRST_ROUGH, i, x); ++i) {
        if (mobius_table[i] == 0)
            continue;
        const std::int64_t y = floor_root(x, i);
        for (std::int32_t j = 1; power_at_most(FIRST_ROUGH, j, y); ++j)
            if (visit(term{i, j, y, mobius_table[i] * (j % 2 == 1 ? 1 : -1)}))
                return;
    }
}

// D_j(y) for the term, whole.
wide_int term_count(const term& t, counting_path path)
{
    if (t.j == 1)
        return count_rough_in_range(FIRST_ROUGH, t.y);
    if (t.j == 2)
        return count_factor_pairs(t.y, FIRST_ROUGH, 2, 1, path);
    return detail::count_factor_tuples_wide(t.y, FIRST_ROUGH, factorial(t.j), 1, t.j, path);
}

// Pieces of a term: one for j <= 2; for larger j, the tuples whose first two
// entries are both 17 (the run of 17s goes on), then the first entries after 17
// in ranges.
int term_pieces(const term& t) { return t.j <= 2 ? 1 : 1 + first_entry_ranges; }

// The upper end of first-entry range c (1 ... first_entry_ranges) of a term:
// the ranges grow quadratically, as the work of a first entry u falls off
// about like 1/sqrt(u).
std::int64_t range_end(const term& t, int c)
{
    const std::int64_t last = floor_root(t.y, t.j);  // the largest first entry
    const double f = static_cast<double>(c) / first_entry_ranges;
    return c == first_entry_ranges ? last
                                   : FIRST_ROUGH + static_cast<std::int64_t>(static_cast<double>(last - FIRST_ROUGH) * f * f);
}

// The smallest rough number >= v.
std::int64_t next_rough(std::int64_t v)
{
    while (count_rough_in_range(v, v) == 0 || v < FIRST_ROUGH)
        ++v;
    return v;
}

// Piece `piece` (0 ... term_pieces(t) - 1) of D_j(y).
wide_int piece_count(const term& t, int piece, counting_path path)
{
    if (t.j <= 2)
        return term_count(t, path);
    const std::int64_t w = factorial(t.j);
    if (piece == 0)  // the second entry is 17 too: the run grows to 2
        return detail::count_factor_tuples_wide(t.y / FIRST_ROUGH, FIRST_ROUGH, w, 2, t.j - 1, path);
    const std::int64_t lo = piece == 1 ? FIRST_ROUGH + 1 : range_end(t, piece - 1) + 1;
    const std::int64_t hi = range_end(t, piece);
    if (lo > hi)
        return 0;
    const std::int64_t first = next_rough(lo);
    return detail::sum_over_first_entries(t.y, w, t.j, first, wheel_prefix_count[first % WHEEL_MODULUS], hi,
                                          path);
}

// A rough guess of the work of a piece, in pair-loop steps: enough to show
// progress, not to predict time.
double piece_cost(const term& t, int piece)
{
    const double y = static_cast<double>(t.y);
    if (t.j == 1)
        return 1.0;
    if (t.j == 2)  // beyond 2^53 the quotients take a slower division
        return 0.19 * std::sqrt(y) * (t.y > (std::int64_t{1} << 53) ? 4.0 : 1.0);
    // A first entry u leaves D_{j-1}(y/u)-like work: about sqrt(y/u) times a
    // factor that grows with the depth left.
    const auto depth_factor = [&](double n) {
        const double l = 0.45 * std::log(n / std::pow(17.0, t.j - 1) + 1.0);
        double f = 1.0;
        for (int d = 1; d <= t.j - 3; ++d)
            f *= (l > 0 ? l : 0) / d;
        return f;
    };
    double lo = FIRST_ROUGH, hi = FIRST_ROUGH;
    if (piece > 0) {
        lo = piece == 1 ? FIRST_ROUGH + 1 : static_cast<double>(range_end(t, piece - 1) + 1);
        hi = static_cast<double>(range_end(t, piece));
        if (hi < lo)
            return 0.0;
    }
    const double mid = (lo + hi) / 2;
    const double count = 0.19 * (hi - lo) + 1.0;
    return 0.19 * count * std::sqrt(y / mid) * depth_factor(y / mid);
}

// The term and local piece index of global piece `piece` of x.
bool locate_piece(std::int64_t x, int piece, term& found, int& local)
{
    bool located = false;
    int start = 0;
    for_each_term(x, [&](const term& t) {
        const int n = term_pieces(t);
        if (piece < start + n) {
            found = t;
            local = piece - start;
            located = true;
            return true;
        }
        start += n;
        return false;
    });
    return located;
}

}  // namespace

std::int64_t prime_count(std::int64_t x, counting_path path)
{
    assert(x <= max_supported_x && "prime_count: x above the supported range");

    // Below 17 no rough number exists and the sums are empty. pi(x) = 0 for
    // x < 2, negative x included.
    if (x < 2)
        return 0;
    if (x < FIRST_ROUGH)
        return small_prime_count_table[x];

    prime_count_sums sums{};
    for_each_term(x, [&](const term& t) {
        const wide_int d = term_count(t, path);
        sums.term_sums[t.i * t.j] += t.sign > 0 ? d : -d;
        return false;
    });
    return prime_count_from_sums(x, sums);
}

std::int64_t prime_count(std::int64_t x) { return prime_count(x, best_counting_path()); }

int prime_count_piece_count(std::int64_t x)
{
    int pieces = 0;
    if (x >= FIRST_ROUGH && x <= max_supported_x)
        for_each_term(x, [&](const term& t) {
            pieces += term_pieces(t);
            return false;
        });
    return pieces > 0 ? pieces : 1;
}

double prime_count_piece_share(std::int64_t x, int piece)
{
    double total = 0.0;
    double mine = 0.0;
    int index = 0;
    if (x >= FIRST_ROUGH && x <= max_supported_x)
        for_each_term(x, [&](const term& t) {
            for (int p = 0; p < term_pieces(t); ++p, ++index) {
                const double cost = piece_cost(t, p);
                total += cost;
                if (index == piece)
                    mine = cost;
            }
            return false;
        });
    if (total <= 0.0)
        return 1.0 / prime_count_piece_count(x);
    return mine / total;
}

void prime_count_add_piece(std::int64_t x, int piece, prime_count_sums& sums)
{
    term t{};
    int local = 0;
    if (x < FIRST_ROUGH || x > max_supported_x || !locate_piece(x, piece, t, local))
        return;
    const wide_int d = piece_count(t, local, best_counting_path());
    sums.term_sums[t.i * t.j] += t.sign > 0 ? d : -d;
}

std::int64_t prime_count_from_sums(std::int64_t x, const prime_count_sums& sums)
{
    if (x < 2)
        return 0;
    if (x < FIRST_ROUGH)
        return small_prime_count_table[x];
    // pi(x) = 6 + sum_k S_k / k, each division exact. The result is below x.
    wide_int result = 6;
    for (int k = 1; k < prime_count_sums::terms; ++k)
        result += sums.term_sums[k] / k;
    return static_cast<std::int64_t>(result);
}

}  // namespace roughpi
