// SPDX-License-Identifier: MIT
// The device's arithmetic (gpu/device/), compiled here for the CPU, against
// the core: the wheel indices, the roots, the quotient loop on either side of
// its switch from doubles to integers, every pair loop that the walks of
// several counts hand out (whole and cut anywhere, as the chunks of the
// count kernel cut them), and each piece's whole count.
#include "support/random_seed.hpp"

#include "factor_counts.hpp"
#include "loop/quotient_counts.hpp"
#include "roots.hpp"
#include "wheel.hpp"

#include "piece_access.hpp"
#include "quotient_loop.hpp"
#include "round.hpp"
#include "tuple_walk.hpp"
#include "wheel_view.hpp"

#include <roughpi/pieces.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

namespace gpu = roughpi::gpu;

gpu::wheel_view wheel()
{
    const roughpi::detail::wheel_tables_view tables = roughpi::detail::wheel_tables();
    return gpu::wheel_view{tables.prefix_count, tables.gaps};
}

// The core's sum of C(m/u) over `count` rough u from index a, on the portable
// path, which divides integers.
std::int64_t core_quotient_counts(std::int64_t m, std::int64_t a, std::int64_t count)
{
    const std::int64_t u0 = gpu::rough_at(wheel(), a);
    return roughpi::detail::sum_quotient_counts_portable(m, u0, static_cast<std::int32_t>(a % gpu::RESIDUES), count);
}

// A piece walked as a walk lane of the device walks it, `capacity` runs at a
// time, each leaf worked out and each run summed as on the device: its loops,
// and its count with every loop summed whole.
struct walked_piece {
    std::vector<gpu::loop_record> loops;
    gpu::wide_sum count{0, 0};
};

walked_piece walk(const roughpi::prime_count_piece& piece, std::int64_t capacity)
{
    const roughpi::detail::piece_node node = roughpi::detail::node_of(piece);
    gpu::walker walker{};
    gpu::slot_sums sums{};
    gpu::start_walk(walker, sums.closed, wheel(), node.n, node.b, node.w, node.r, node.k, node.first, node.last);
    std::vector<gpu::run> runs(static_cast<std::size_t>(capacity));
    std::vector<gpu::loop_record> records(runs.size() * gpu::LEAVES_PER_RUN);
    std::vector<std::int64_t> run_totals(runs.size());
    std::int32_t slot = 0;
    gpu::round_memory mem{};
    mem.wheel = wheel();
    mem.walkers = &walker;
    mem.sums = &sums;
    mem.lane_slots = &slot;
    mem.lanes = 1;
    mem.capacity = capacity;
    mem.runs = runs.data();
    mem.records = records.data();
    mem.run_totals = run_totals.data();
    walked_piece walked;
    do {
        gpu::walk_lane(mem, 0);
        for (std::int64_t i = 0; i < gpu::record_count(mem); ++i)
            gpu::expand_leaf(mem, i);
        for (std::int64_t j = 0; j < gpu::run_count(mem); ++j)
            gpu::sum_run(mem, j);
        for (const gpu::loop_record& r : records)
            if (r.count > 0) {
                walked.loops.push_back(r);
                gpu::add_product(sums.loops, r.w, gpu::quotient_counts(mem.wheel, r.m, r.a, r.count));
            }
    } while (sums.done == 0);
    walked.count = sums.closed;
    gpu::add_words(walked.count, sums.loops.low, sums.loops.high);
    return walked;
}

// The count a piece adds to its term, with its sign, as the core makes it.
gpu::wide_sum core_value(const roughpi::prime_count_piece& piece)
{
    roughpi::prime_count_sums sums;
    roughpi::prime_count_add_piece(piece, sums);
    const auto words = sums.to_words();
    const auto k = static_cast<std::size_t>(piece.term());
    return gpu::wide_sum{words[3 + 2 * k], words[4 + 2 * k]};
}

TEST(DeviceFunctionsTest, WheelIndicesAndRootsMatchTheCore)
{
    ROUGHPI_SEEDED_RNG(rng);
    const gpu::wheel_view w = wheel();
    std::int64_t u = 17;
    for (std::int64_t a = 1; a < 3 * gpu::RESIDUES; ++a, u = roughpi::detail::next_rough(u + 1))
        ASSERT_EQ(gpu::rough_at(w, a), u) << "index " << a;
    for (int i = 0; i < 20000; ++i) {
        const int bits = std::uniform_int_distribution<int>(5, 62)(rng);
        const std::int64_t v = std::uniform_int_distribution<std::int64_t>(17, std::int64_t{1} << bits)(rng);
        const std::int64_t next = roughpi::detail::next_rough(v);
        ASSERT_EQ(gpu::next_rough(w, v), next) << v;
        ASSERT_EQ(gpu::rough_in(w, 17, v), roughpi::count_rough_in_range(17, v)) << v;
        ASSERT_EQ(gpu::rough_after(w, next), roughpi::detail::next_rough(next + 1)) << v;
        ASSERT_EQ(gpu::floor_sqrt(v), roughpi::floor_sqrt(v)) << v;
        const int k = std::uniform_int_distribution<int>(3, 15)(rng);
        ASSERT_EQ(gpu::floor_root(v, k), roughpi::floor_root(v, k)) << v << " " << k;
        ASSERT_EQ(gpu::exact_quotient(v, next % 100000 + 1), v / (next % 100000 + 1)) << v;
    }
    constexpr std::int64_t max = INT64_MAX;
    EXPECT_EQ(gpu::coprimes_through(w, max), roughpi::count_rough_in_range(0, max));
    EXPECT_EQ(gpu::floor_sqrt(max), roughpi::floor_sqrt(max));
    for (int k = 3; k < 16; ++k)
        EXPECT_EQ(gpu::floor_root(max, k), roughpi::floor_root(max, k)) << k;
}

// Around 2^51, where the loop goes from doubles to integers, and up to
// 2^63 - 1; dividends that are multiples of their u (exact quotients, and
// quotients one below a multiple of 30030) where the reduction is closest.
TEST(DeviceFunctionsTest, QuotientLoopsMatchTheCoreOnBothSidesOfTheSwitch)
{
    ROUGHPI_SEEDED_RNG(rng);
    const gpu::wheel_view w = wheel();
    for (int i = 0; i < 3000; ++i) {
        const int bits = std::uniform_int_distribution<int>(20, 63)(rng);
        const std::int64_t top = bits == 63 ? INT64_MAX : std::int64_t{1} << bits;
        std::int64_t m = std::uniform_int_distribution<std::int64_t>(top / 2, top)(rng);
        if (i % 4 == 0)
            m = gpu::MAX_REDUCED_DIVIDEND - std::uniform_int_distribution<std::int64_t>(-3, 3)(rng);
        const std::int64_t s = gpu::floor_sqrt(m);
        const std::int64_t a = std::uniform_int_distribution<std::int64_t>(1, gpu::coprimes_through(w, s) - 1)(rng);
        const std::int64_t left = gpu::coprimes_through(w, s) - a;
        const std::int64_t count =
            std::uniform_int_distribution<std::int64_t>(0, std::min<std::int64_t>(left, 700))(rng);
        if (i % 3 == 0) {  // m = u q with q + 1 a multiple of 30030, for the first u
            const std::int64_t u = gpu::rough_at(w, a);
            const std::int64_t q = (m / u + 1) / 30030 * 30030 - 1;
            if (q >= u)
                m = u * q;
        }
        ASSERT_EQ(gpu::quotient_counts(w, m, a, count), core_quotient_counts(m, a, count))
            << "m = " << m << ", index " << a << ", " << count << " quotients";
    }
}

// Every pair loop of the counts of several x, as the walk hands them out, a
// few runs at a time: the loop whole and cut at a random place (two chunks'
// parts of it), against the core; and each piece's count against the core's.
TEST(DeviceFunctionsTest, EveryPairLoopAndEveryPieceOfSeveralCountsMatchTheCore)
{
    ROUGHPI_SEEDED_RNG(rng);
    const gpu::wheel_view w = wheel();
    const std::int64_t xs[] = {1'000'000'000, std::uniform_int_distribution<std::int64_t>(17, 1'000'000)(rng),
                               std::uniform_int_distribution<std::int64_t>(10'000'000'000, 200'000'000'000)(rng),
                               std::int64_t{1} << 37, 300'000'000'000};
    std::size_t loops = 0;
    for (const std::int64_t x : xs) {
        SCOPED_TRACE("x = " + std::to_string(x));
        std::vector<roughpi::prime_count_piece> pieces(roughpi::prime_count_pieces(x, {}));
        roughpi::prime_count_pieces(x, pieces);
        for (const roughpi::prime_count_piece& piece : pieces) {
            const walked_piece walked = walk(piece, std::uniform_int_distribution<std::int64_t>(1, 40)(rng));
            for (const gpu::loop_record& r : walked.loops) {
                const std::int64_t whole = core_quotient_counts(r.m, r.a, r.count);
                const std::int64_t cut = std::uniform_int_distribution<std::int64_t>(0, r.count)(rng);
                ASSERT_EQ(gpu::quotient_counts(w, r.m, r.a, cut) +
                              gpu::quotient_counts(w, r.m, r.a + cut, r.count - cut),
                          whole)
                    << "the loop of " << r.m << " from index " << r.a << ", " << r.count << " long, cut at " << cut;
            }
            loops += walked.loops.size();
            gpu::wide_sum value = walked.count;
            if (piece.term() > 0 && roughpi::detail::node_of(piece).sign < 0)
                value = gpu::wide_sum{~value.low + 1, ~value.high + (value.low == 0 ? 1u : 0u)};
            const gpu::wide_sum expected = core_value(piece);
            ASSERT_TRUE(value.low == expected.low && value.high == expected.high) << "piece " << piece.index();
        }
    }
    EXPECT_GT(loops, 100'000u);
}

}  // namespace
