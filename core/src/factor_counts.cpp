// SPDX-License-Identifier: MIT
#include "factor_counts.hpp"
#include "roots.hpp"
#include "loop/pair_count_terms.hpp"
#include "loop/pair_node_entries.hpp"
#include "loop/quotient_counts.hpp"
#include "wheel.hpp"

namespace roughpi {

namespace {

// C(b) for a rough b: the coprime integers up to and including b.
inline std::int64_t coprime_count_through_rough(std::int64_t b)
{
    return b / WHEEL_MODULUS * WHEEL_RESIDUES + wheel_prefix_count[b % WHEEL_MODULUS] + 1;
}

// A count that may be stopped runs its loops in stretches, and looks at the
// stop request before each (stop_poll.hpp): a few milliseconds of work at
// most between two looks, on every path and at every n.
//
// A quotient loop goes in stretches of a whole number of wheel periods, so
// that each starts at the same place of the gap cycle, WHEEL_MODULUS further
// per period: about a millisecond of the vector loop, a few of the portable.
constexpr std::int64_t LOOP_STRETCH = std::int64_t{WHEEL_RESIDUES} * 256;
// A node's stream of pair loops goes in stretches of about this many quotients.
constexpr double STREAM_STRETCH = 16.0 * 1024 * 1024;

std::int64_t sum_quotient_counts(const detail::path_kernels& kernels, std::int64_t n, std::int64_t u0, std::int32_t q0,
                                 std::int64_t count, detail::stop_poll stop)
{
    // The loop starts at a rough u0 whose place in the gap cycle is q0 (every
    // kernel steps u by the gaps from there), and runs over u <= sqrt(n) at most.
    ROUGHPI_ASSERT(u0 >= FIRST_ROUGH && count >= 0 && q0 == wheel_prefix_count[u0 % WHEEL_MODULUS] &&
                       wheel_prefix_count[u0 % WHEEL_MODULUS + 1] == q0 + 1,
                   "a quotient loop that does not start at a rough number and its place in the gap cycle");
    const auto kernel = n <= kernels.max_n ? kernels.sum_quotient_counts : &detail::sum_quotient_counts_portable;
    std::int64_t total = 0;
    for (;;) {
        stop.check();
        if (count <= LOOP_STRETCH)
            return total + kernel(n, u0, q0, count);
        total += kernel(n, u0, q0, LOOP_STRETCH);
        u0 += LOOP_STRETCH / WHEEL_RESIDUES * WHEEL_MODULUS;
        count -= LOOP_STRETCH;
    }
}

}  // namespace

namespace detail {

wide_int count_factor_pairs_wide(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r,
                                 const path_kernels& kernels, stop_poll stop)
{
    const pair_count_terms t =
        pair_terms(floor_sqrt(n), exact_quotient(n, b), coprime_count_through_rough(b) - 1, w, r);
    if (t.loop_count <= 0)
        return t.base;
    // The loop starts at the rough number after b. The pairs it counts are
    // below 2^63 (see pair_count_terms.hpp), w times them need not be.
    const std::int32_t p = wheel_prefix_count[b % WHEEL_MODULUS];
    const std::int64_t loop_pairs =
        sum_quotient_counts(kernels, n, b + wheel_gaps[p], next_wheel_position(p), t.loop_count, stop) - t.loop_offset;
    return t.base + wide_product(w, loop_pairs);
}

namespace {

// The path's stream of the pair counts of the first entries u from `first`
// (at `position`) to `last`, in stretches of about STREAM_STRETCH quotients.
// The pair loop of u runs over the rough v in (u, sqrt(n/u)], about
// ROUGH_DENSITY (sqrt(n/u) - u) of them and fewer for every later u, so a
// stretch of STREAM_STRETCH / (that length) entries stays within it.
wide_int stream_pair_node(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position, std::int64_t last,
                          const path_kernels& kernels, stop_poll stop)
{
    wide_int total = 0;
    for (;;) {
        stop.check();
        const double loop = ROUGH_DENSITY * (static_cast<double>(floor_sqrt(n / first)) - static_cast<double>(first));
        const double width = (loop > 1.0 ? STREAM_STRETCH / loop : STREAM_STRETCH) / ROUGH_DENSITY;
        const std::int64_t end =
            width >= static_cast<double>(last - first) ? last : first + static_cast<std::int64_t>(width);
        total += kernels.sum_pair_node(n, w, first, position, end);
        if (end == last)
            return total;
        first = next_rough(end + 1);
        if (first > last || !power_at_most(first, 3, n))
            return total;
        position = wheel_prefix_count[first % WHEEL_MODULUS];
    }
}

// The first entries of a node with three entries to choose, each with its
// pair count: one quotient loop at a time, until n/u1 is small enough for the
// path's stream of pair loops (if it has one), which takes the rest.
wide_int sum_pair_node(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position, std::int64_t last,
                       const path_kernels& kernels, stop_poll stop)
{
    pair_node_entries entries(n, w, first, position, last);
    wide_int total = 0;
    for (;;) {
        if (entries.done())
            return total;
        if (kernels.sum_pair_node != nullptr && entries.m() <= kernels.max_n)
            return total + stream_pair_node(n, w, entries.u1(), entries.q1(), last, kernels, stop);
        pair_node_entry entry;
        entries.next(entry);
        total += entry.terms.base;
        if (entry.terms.loop_count > 0) {
            // The loop starts at the rough number after u1. The pairs it counts
            // are below 2^63 (see pair_count_terms.hpp), w times them need not be.
            const std::int64_t loop_pairs =
                sum_quotient_counts(kernels, entry.m, entry.u1 + wheel_gaps[entry.q1], next_wheel_position(entry.q1),
                                    entry.terms.loop_count, stop) -
                entry.terms.loop_offset;
            total += wide_product(w, loop_pairs);
        }
    }
}

}  // namespace

wide_int sum_over_first_entries(std::int64_t n, std::int64_t w, std::int32_t k, std::int64_t first,
                                std::int32_t position, std::int64_t last, const path_kernels& kernels, stop_poll stop)
{
    if (k == 3)
        return sum_pair_node(n, w, first, position, last, kernels, stop);
    wide_int total = 0;
    std::int64_t u = first;
    std::int32_t q = position;
    // The entry u is the smallest of the k still to choose, so u^k <= n,
    // which is u^(k-1) <= floor(n/u): the quotient the recursion needs anyway.
    while (u <= last) {
        const std::int64_t m = exact_quotient(n, u);
        if (!power_at_most(u, k - 1, m))
            break;
        stop.check();
        total += count_factor_tuples_wide(m, u, w, 2, k - 1, kernels, stop);
        u += wheel_gaps[q];
        q = next_wheel_position(q);
    }
    return total;
}

wide_int count_factor_tuples_wide(std::int64_t n, std::int64_t b, std::int64_t w, std::int32_t r, std::int32_t k,
                                  const path_kernels& kernels, stop_poll stop)
{
    if (k == 2)
        return count_factor_pairs_wide(n, b, w, r, kernels, stop);

    // Next entry equal to b: the run of b's grows to length r, so divide by r.
    wide_int total = count_factor_tuples_wide(exact_quotient(n, b), b, w / r, r + 1, k - 1, kernels, stop);
    // Next entry a new value: it opens a run of length 1, run parameter 2.
    const std::int32_t p = wheel_prefix_count[b % WHEEL_MODULUS];
    total += sum_over_first_entries(n, w, k, b + wheel_gaps[p], next_wheel_position(p), n, kernels, stop);
    return total;
}

std::int64_t next_rough(std::int64_t v)
{
    // A coprime residue r is where the prefix count steps up: prefix[r + 1] = prefix[r] + 1.
    while (wheel_prefix_count[v % WHEEL_MODULUS + 1] == wheel_prefix_count[v % WHEEL_MODULUS])
        ++v;
    return v;
}

wide_int count_node_range(const walk_node& node, std::int64_t first, std::int64_t last, const path_kernels& kernels,
                          stop_poll stop)
{
    const auto [n, b, w, r, k] = node;
    ROUGHPI_ASSERT(k >= 1 && r >= 1 && w > 0 && b >= FIRST_ROUGH, "a node of the tuple walk out of its bounds");
    wide_int total = 0;
    if (k == 1) {  // single entries: b itself, then the rough numbers after it
        if (first <= b)
            total += w / r;
        const std::int64_t lo = first > b ? first : b + 1;
        const std::int64_t hi = last < n ? last : n;
        if (lo <= hi)
            total += wide_product(w, count_rough_in_range(lo, hi));
        return total;
    }
    if (k == 2) {
        // The pairs (b, v) with v >= b: (b, b) weighs w / (r(r+1)), the rest w / r.
        if (first <= b)
            total += w / (r * (r + 1)) + wide_product(w / r, count_rough_in_range(b + 1, exact_quotient(n, b)));
        // The pairs (u, v) with b < u <= v, u in [first, last]: (u, u) weighs
        // w / 2 and (u, v), u < v <= n/u, weighs w; for the K consecutive rough
        // u from u0 the rough v in (u, n/u] number C(n/u) - C(u), and the C(u)
        // are C(u0), C(u0) + 1, ...
        const std::int64_t s = floor_sqrt(n);
        const std::int64_t lo = first > b ? first : b + 1;
        const std::int64_t hi = last < s ? last : s;
        if (lo > hi)
            return total;
        const std::int64_t u0 = next_rough(lo);
        const std::int64_t K = count_rough_in_range(u0, hi);
        if (K <= 0)
            return total;
        const std::int64_t below_u0 = coprime_count_through_rough(u0);  // C(u0)
        const std::int64_t quotients =
            sum_quotient_counts(kernels, n, u0, wheel_prefix_count[u0 % WHEEL_MODULUS], K, stop);
        total += wide_product(K, w / 2);
        total += wide_product(w, quotients - K * below_u0 - K * (K - 1) / 2);
        return total;
    }
    // Next entry equal to b: the run of b's grows.
    if (first <= b)
        total += count_factor_tuples_wide(exact_quotient(n, b), b, w / r, r + 1, k - 1, kernels, stop);
    const std::int64_t lo = next_rough(first > b ? first : b + 1);
    total += sum_over_first_entries(n, w, k, lo, wheel_prefix_count[lo % WHEEL_MODULUS], last, kernels, stop);
    return total;
}

}  // namespace detail

}  // namespace roughpi
