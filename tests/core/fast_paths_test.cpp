// SPDX-License-Identifier: MIT
// The fast counting, on every path this processor has, against the
// straightforward reference: value for value on many random arguments.
#include "reference/reference_counting.hpp"

#include "support/factor_counts_64.hpp"
#include "roots.hpp"
#include <roughpi/prime_count.hpp>
#include "wheel.hpp"

#include "loop/pair_node_entries.hpp"
#include "loop/path_kernels.hpp"
#include "loop/quotient_counts.hpp"

#include "support/counting_paths.hpp"
#include "support/random_seed.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using roughpi::counting_path;
using roughpi::testing::available_paths;

class FastPathsTest : public ::testing::TestWithParam<counting_path> {
protected:
    static void SetUpTestSuite() { roughpi::build_wheel_tables(); }

    // A seed per test (see test_seed), printed with every failure.
    const std::uint32_t seed = roughpi::testing::test_seed();
    std::mt19937_64 rng{seed};
    const std::string trace = roughpi::testing::seed_note(seed) + ", path = " + roughpi::counting_path_name(GetParam());

    std::int64_t uniform(std::int64_t lo, std::int64_t hi)
    {
        return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
    }
    // A random rough number in [lo, hi] (hi - lo of at least a few dozen).
    std::int64_t rough(std::int64_t lo, std::int64_t hi)
    {
        for (;;)
            if (const std::int64_t b = uniform(lo, hi); roughpi::count_rough_in_range(b, b) == 1 && b > 1)
                return b;
    }
};

// count_factor_pairs(n, b, w, r) in 128 bits, one first entry at a time, with
// a range count for its second entries.
roughpi::wide_int pairs_one_first_entry_at_a_time(std::int64_t n, std::int64_t b, std::int64_t w, int r)
{
    roughpi::wide_int pairs =
        w / (r * (r + 1)) + roughpi::wide_product(w / r, roughpi::count_rough_in_range(b + 1, n / b));
    for (std::int64_t u = b + 1, s = roughpi::floor_sqrt(n); u <= s; ++u)
        if (roughpi::count_rough_in_range(u, u) == 1)
            pairs += w / 2 + roughpi::wide_product(w, roughpi::count_rough_in_range(u + 1, n / u));
    return pairs;
}

// The quotient loop itself: sum of C(n/u) over `count` rough numbers from u0,
// with counts that leave every kind of partial group, starts next to the wrap
// of the gap cycle, and n around 2^32 and up to the largest n of the vector paths.
TEST_P(FastPathsTest, QuotientSumsMatchOneByOneCounts)
{
    SCOPED_TRACE(trace);
    const std::int64_t ns[] = {1'000'000, (std::int64_t{1} << 32) - 2, (std::int64_t{1} << 32) + 5, 1'000'000'000'000,
                               roughpi::detail::MAX_VECTOR_N};
    for (int trial = 0; trial < 400; ++trial) {
        const std::int64_t n = trial % 5 == 4 ? ns[4] - uniform(0, 1000) : uniform(ns[trial % 5] / 2, ns[trial % 5]);
        std::int64_t u0 = trial % 3 == 0 ? 30030 * uniform(0, 3) + 30029 - 2 * uniform(0, 40) : uniform(17, 5000);
        while (roughpi::count_rough_in_range(u0, u0) != 1)
            ++u0;
        const std::int32_t q0 = roughpi::wheel_prefix_count[u0 % 30030];
        const std::int64_t count = trial % 2 ? uniform(0, 20) : uniform(0, 3000);

        std::int64_t expected = 0;
        std::int64_t u = u0;
        std::int32_t q = q0;
        for (std::int64_t i = 0; i < count; ++i) {
            expected += roughpi::count_rough_in_range(1, n / u);
            u += roughpi::wheel_gaps[q];
            q = roughpi::next_wheel_position(q);
        }
        const roughpi::detail::path_kernels& kernels = roughpi::detail::kernels_of(GetParam());
        if (n > kernels.max_n)
            continue;
        const std::int64_t actual = kernels.sum_quotient_counts(n, u0, q0, count);
        ASSERT_EQ(actual, expected) << "n = " << n << ", u0 = " << u0 << ", count = " << count;
    }
    // n a multiple of u0, or one off it, up to the largest n: where n/u0 is an
    // integer, or just below or above one, where a quotient taken from a
    // reciprocal is closest to going wrong.
    const roughpi::detail::path_kernels& kernels = roughpi::detail::kernels_of(GetParam());
    for (int trial = 0; trial < 3000; ++trial) {
        std::int64_t u0 = uniform(17, trial % 2 ? 5000 : 40'000'000);
        while (roughpi::count_rough_in_range(u0, u0) != 1)
            ++u0;
        const std::int64_t top = std::min(kernels.max_n, roughpi::detail::MAX_VECTOR_N) - 1;
        std::int64_t m = trial % 3 == 0 ? top / u0 : uniform(1, top / u0);
        // m + 1 or m a multiple of 30030, where a quotient one off would
        // also change the quotient of 30030 in its reduction.
        if (trial % 5 == 0 && m > 30030)
            m = m / 30030 * 30030 - (trial / 5) % 2;
        const std::int64_t n = m * u0 + (trial % 3) - 1;
        const std::int32_t q0 = roughpi::wheel_prefix_count[u0 % 30030];
        ASSERT_EQ(kernels.sum_quotient_counts(n, u0, q0, 1), roughpi::count_rough_in_range(1, n / u0))
            << "n = " << n << ", u0 = " << u0;
    }
}

// Dividends above 2^53, up to the largest signed integer, where the portable
// loop divides in 64-bit integers (every path sends such loops there): short
// loops, against one range count per quotient.
TEST(LargeDividendTest, QuotientSumsAboveTwoToTheFiftyThree)
{
    roughpi::build_wheel_tables();
    ROUGHPI_SEEDED_RNG(rng);
    const auto uniform = [&](std::int64_t lo, std::int64_t hi) {
        return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
    };
    constexpr std::int64_t two_53 = std::int64_t{1} << 53;
    for (int trial = 0; trial < 300; ++trial) {
        std::int64_t n = 0;
        switch (trial % 3) {
        case 0:
            n = two_53 + uniform(-3, 1000);
            break;
        case 1:
            n = uniform(two_53, INT64_MAX);
            break;
        default:
            n = INT64_MAX - uniform(0, 1000);
            break;
        }
        // First entries small, or near sqrt(n), where the quotients are smallest.
        std::int64_t u0 = trial % 2 ? uniform(17, 100'000) : roughpi::floor_sqrt(n) - uniform(0, 5000);
        while (roughpi::count_rough_in_range(u0, u0) != 1)
            ++u0;
        const std::int32_t q0 = roughpi::wheel_prefix_count[u0 % 30030];
        const std::int64_t count = uniform(0, 40);
        std::int64_t expected = 0;
        std::int64_t u = u0;
        std::int32_t q = q0;
        for (std::int64_t i = 0; i < count; ++i) {
            expected += roughpi::count_rough_in_range(1, n / u);
            u += roughpi::wheel_gaps[q];
            q = roughpi::next_wheel_position(q);
        }
        ASSERT_EQ(roughpi::detail::sum_quotient_counts_portable(n, u0, q0, count), expected)
            << "n = " << n << ", u0 = " << u0 << ", count = " << count;
    }
}

// Pair counts of dividends near 2^63 whose loops are short (b near sqrt(n)),
// with weights that take the total past 2^63 (about 2^31 pairs weighing up to
// 2^42), on every path, against the pairs counted one first entry at a time
// in 128 bits.
TEST_P(FastPathsTest, PairCountsNearTheTopOfTheRange)
{
    SCOPED_TRACE(trace);
    const roughpi::detail::path_kernels& kernels = roughpi::detail::kernels_of(GetParam());
    for (int trial = 0; trial < 100; ++trial) {
        const std::int64_t n = trial % 2 ? INT64_MAX - uniform(0, 100) : uniform(std::int64_t{1} << 60, INT64_MAX);
        const std::int64_t s = roughpi::floor_sqrt(n);
        const std::int64_t b = rough(s - (trial % 4 == 0 ? 300'000 : 3000), s);
        const int r = 1 + trial % 3;
        // A multiple of r (r + 1) and of 2, up to about 2^41.
        const std::int64_t w = std::int64_t{r} * (r + 1) * 2 * uniform(1, std::int64_t{1} << 38);
        ASSERT_TRUE(roughpi::detail::count_factor_pairs_wide(n, b, w, r, kernels) ==
                    pairs_one_first_entry_at_a_time(n, b, w, r))
            << "n = " << n << ", b = " << b << ", w = " << w << ", r = " << r;
    }
}

// Long loops and streams run in stretches, with a look at the stop request
// between them: pair loops of over a million rough numbers (several
// stretches), below and above the vector paths' largest n, and a node of
// three entries whose stream of pair loops is several stretches long.
TEST_P(FastPathsTest, LoopsAndStreamsOfManyStretches)
{
    SCOPED_TRACE(trace);
    const roughpi::detail::path_kernels& kernels = roughpi::detail::kernels_of(GetParam());
    const std::int64_t small = uniform(100'000'000'000'000, 400'000'000'000'000);
    const std::int64_t large = uniform(std::int64_t{1} << 60, INT64_MAX);
    const std::int64_t root = roughpi::floor_sqrt(large);
    for (const auto& [n, b] :
         {std::pair{small, std::int64_t{17}}, {large, rough(root - 20'000'000, root - 15'000'000)}})
        ASSERT_TRUE(roughpi::detail::count_factor_pairs_wide(n, b, 2, 1, kernels) ==
                    pairs_one_first_entry_at_a_time(n, b, 2, 1))
            << "n = " << n << ", b = " << b;
    const std::int64_t n = uniform(10'000'000'000'000, 30'000'000'000'000);
    ASSERT_EQ(roughpi::count_factor_tuples(n, 17, 6, 1, 3, GetParam()),
              roughpi::reference::count_factor_tuples(n, 17, 6, 1, 3))
        << "n = " << n;
}

// The pair counts under a node of the tuple walk, run as one stream, against
// the reference's pair counts one first entry at a time. The first entries
// give loops of every length (none, under one group, whole groups only, loops
// that cross the wrap of the gap cycle or run longer than a flush of the
// vector sums) and quotients up to the largest n of the vector paths.
TEST_P(FastPathsTest, PairNodeStreamsMatchPairByPairCounts)
{
    SCOPED_TRACE(trace);
    const roughpi::detail::path_kernels& kernels = roughpi::detail::kernels_of(GetParam());
    if (kernels.sum_pair_node == nullptr)
        GTEST_SKIP() << "the " << kernels.name << " path counts a node's pairs one first entry at a time";
    for (int trial = 0; trial < 120; ++trial) {
        std::int64_t n = 0, first = 0, last = 0;
        switch (trial % 4) {
        case 0:  // whole nodes of every size
            n = uniform(17 * 17 * 17, trial % 8 ? 100'000'000 : 1'000'000'000'000);
            first = 19;
            last = n;
            break;
        case 1:  // ranges of first entries, up to the node's end and past it
            n = uniform(1'000'000, 10'000'000'000);
            first = rough(19, 1500);
            last = first + uniform(0, 400);
            break;
        case 2:  // loops of more than 2^14 groups of eight
            n = uniform(5'000'000'000'000, 20'000'000'000'000);
            first = rough(19, 60);
            last = first + uniform(0, 30);
            break;
        default:  // n / first at the largest n of the vector paths
            first = rough(19, 100);
            n = roughpi::detail::MAX_VECTOR_N / 64 * 64 / first * first - uniform(0, 1000);
            if (trial % 8 == 7)
                n = roughpi::detail::MAX_VECTOR_N * first;
            last = first;
            break;
        }
        const std::int64_t w = 6 * uniform(1, 4);
        const std::int32_t position = roughpi::wheel_prefix_count[first % 30030];

        roughpi::wide_int expected = 0;
        std::int32_t q = position;
        for (std::int64_t u1 = first; u1 <= last && u1 * u1 <= n / u1;
             u1 += roughpi::wheel_gaps[q], q = roughpi::next_wheel_position(q))
            expected += roughpi::reference::count_factor_pairs(n / u1, u1, w, 2);
        const roughpi::wide_int actual = kernels.sum_pair_node(n, w, first, position, last);
        ASSERT_TRUE(actual == expected) << "n = " << n << ", first = " << first << ", last = " << last << ", w = " << w;
    }
}

TEST_P(FastPathsTest, PairsAndTuplesMatchTheReference)
{
    SCOPED_TRACE(trace);
    for (int trial = 0; trial < 300; ++trial) {
        const int k = 2 + trial % 5;
        const std::int64_t b = trial % 4 == 0 ? 17 : rough(17, trial % 8 == 1 ? 2000 : 200);
        std::int64_t least = 1;
        for (int i = 0; i < k; ++i)
            least = least > 1'000'000'000'000 / b ? 1'000'000'000'000 : least * b;
        if (least >= 1'000'000'000'000)
            continue;
        const std::int64_t n = uniform(least, std::min<std::int64_t>(1'000'000'000'000, least * uniform(1, 1'000'000)));
        const int r = 1 + trial % 3;
        // Twice r (r+1) ... (r+k-1): every division by a run length is exact, and
        // the weighted counts stay well inside 64 bits.
        std::int64_t w = 2;
        for (int i = r; i < r + k; ++i)
            w *= i;
        const std::int64_t fast = k == 2 ? roughpi::count_factor_pairs(n, b, w, r, GetParam())
                                         : roughpi::count_factor_tuples(n, b, w, r, k, GetParam());
        const std::int64_t slow = k == 2 ? roughpi::reference::count_factor_pairs(n, b, w, r)
                                         : roughpi::reference::count_factor_tuples(n, b, w, r, k);
        ASSERT_EQ(fast, slow) << "n = " << n << ", b = " << b << ", r = " << r << ", k = " << k;
    }
}

TEST_P(FastPathsTest, PrimeCountMatchesTheReference)
{
    SCOPED_TRACE(trace);
    std::vector<std::int64_t> xs;
    for (int i = 0; i < 300; ++i)
        xs.push_back(uniform(0, 10'000'000));
    for (int i = 0; i < 12; ++i)
        xs.push_back(uniform(10'000'000, 1'000'000'000'000));
    // At and next to powers of 17, where a new term of the sums starts.
    for (std::int64_t p = 17; p <= 1'000'000'000'000; p *= 17)
        for (std::int64_t d : {-2, -1, 0, 1})
            xs.push_back(p + d);
    for (std::int64_t x : xs)
        ASSERT_EQ(roughpi::prime_count(x, GetParam()), roughpi::reference::prime_count(x)) << "x = " << x;
}

TEST_P(FastPathsTest, ExactJustBelowPowersOfSeventeen)
{
    // 17^k, 17^k - 1 and 17^k - 2 are all composite, so pi is the same at the
    // three, where the terms of the sums change.
    for (std::int64_t p = 17 * 17; p <= 100'000'000'000'000; p *= 17) {
        const std::int64_t at = roughpi::prime_count(p, GetParam());
        if (p <= 1'000'000'000'000) {
            EXPECT_EQ(at, roughpi::reference::prime_count(p)) << "x = " << p;
            EXPECT_EQ(roughpi::reference::prime_count(p - 1), at) << "x = " << p << " - 1";
        }
        EXPECT_EQ(roughpi::prime_count(p - 1, GetParam()), at) << "x = " << p << " - 1";
        EXPECT_EQ(roughpi::prime_count(p - 2, GetParam()), at) << "x = " << p << " - 2";
    }
}

// The node walk's square root, found by Newton's method from a guess above,
// near (as from one first entry to the next) or far, against the exact one at
// squares and their neighbours up to 2^53.
TEST(VectorHelpersTest, NewtonSquareRootMatchesTheExactOne)
{
    std::mt19937_64 rng{12345};
    for (std::int64_t k = 1; k * k < (std::int64_t{1} << 53); k += 1 + k / 1000) {
        for (const std::int64_t m : {k * k - 1, k * k, k * k + 1, k * k + 2 * k}) {
            const std::int64_t root = roughpi::floor_sqrt(m);
            if (m == 0)  // the walk's quotients are at least 1
                continue;
            for (const std::int64_t guess :
                 {root, root + 1, root + 1 + static_cast<std::int64_t>(rng() % 64), root + root / 8 + 1, 4 * root + 3})
                ASSERT_EQ(roughpi::detail::floor_sqrt_from_above(m, guess), root)
                    << "m = " << m << ", guess = " << guess;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, FastPathsTest, ::testing::ValuesIn(available_paths()),
                         [](const auto& info) { return std::string(roughpi::counting_path_name(info.param)); });

}  // namespace
