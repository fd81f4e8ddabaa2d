// Counting one piece at a time adds up to the whole count, exactly; and the
// 128-bit sums behave the same with and without the compiler's __int128.
#include <roughpi/prime_count.hpp>
#include <roughpi/wide_int.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

class PiecesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { roughpi::build_wheel_tables(); }
};

std::int64_t count_by_pieces(std::int64_t x, bool backwards)
{
    roughpi::prime_count_sums sums{};
    const int pieces = roughpi::prime_count_piece_count(x);
    for (int i = 0; i < pieces; ++i)
        roughpi::prime_count_add_piece(x, backwards ? pieces - 1 - i : i, sums);
    return roughpi::prime_count_from_sums(x, sums);
}

TEST_F(PiecesTest, PiecesAddUpToTheWholeCountInAnyOrder)
{
    const auto seed = std::random_device{}();
    SCOPED_TRACE("seed = " + std::to_string(seed));
    std::mt19937_64 rng(seed);
    std::vector<std::int64_t> xs = {-5, 0, 1, 2, 16, 17, 288, 289, 4913, 83520, 83521, 1'000'000, 24'137'569,
                                    10'000'000'000, 1'000'000'000'000};
    for (int i = 0; i < 20; ++i)
        xs.push_back(std::uniform_int_distribution<std::int64_t>(17, 100'000'000'000)(rng));
    for (std::int64_t x : xs) {
        const std::int64_t whole = roughpi::prime_count(x);
        EXPECT_EQ(count_by_pieces(x, false), whole) << "x = " << x;
        EXPECT_EQ(count_by_pieces(x, true), whole) << "x = " << x;

        double total = 0;
        for (int p = 0; p < roughpi::prime_count_piece_count(x); ++p) {
            const double share = roughpi::prime_count_piece_share(x, p);
            EXPECT_GE(share, 0.0);
            total += share;
        }
        EXPECT_NEAR(total, 1.0, 1e-9) << "x = " << x;
    }
}

#if defined(__SIZEOF_INT128__)
TEST(WideIntTest, PortableTwoWordSumsMatchTheBuiltInType)
{
    // Sums that cross 2^63 and 2^64 both ways, and exact division by small k.
    using roughpi::portable_wide_int;
    const auto seed = std::random_device{}();
    SCOPED_TRACE("seed = " + std::to_string(seed));
    std::mt19937_64 rng(seed);
    for (int trial = 0; trial < 2000; ++trial) {
        portable_wide_int a;
        roughpi::wide_int b = 0;
        for (int i = 0; i < 8; ++i) {
            const auto v = static_cast<std::int64_t>(rng() >> (trial % 3));
            if (rng() & 1) {
                a += v;
                b += v;
            } else {
                a -= v;
                b -= v;
            }
        }
        const std::int64_t k = 1 + static_cast<std::int64_t>(rng() % 31);
        // Make a multiple of k, the way the term sums are, then divide.
        const std::int64_t r = static_cast<std::int64_t>(b % k);
        a -= r;
        b -= r;
        const portable_wide_int q = a / k;
        const roughpi::wide_int expected = b / k;
        EXPECT_EQ(q.lo, static_cast<std::uint64_t>(expected)) << "trial " << trial;
        EXPECT_EQ(q.hi, static_cast<std::int64_t>(expected >> 64)) << "trial " << trial;
        // Back to 64 bits once the value is small again.
        const portable_wide_int small = q - q + portable_wide_int(-12345);
        EXPECT_EQ(static_cast<std::int64_t>(small), -12345);

        // Products of two non-negative 64-bit integers, up to 126 bits.
        const auto x = static_cast<std::int64_t>(rng() >> (1 + trial % 40));
        const auto y = static_cast<std::int64_t>(rng() >> (1 + trial % 7));
        const portable_wide_int p = portable_wide_int::product(x, y);
        const roughpi::wide_int exact = static_cast<roughpi::wide_int>(x) * y;
        EXPECT_EQ(p.lo, static_cast<std::uint64_t>(exact)) << x << " * " << y;
        EXPECT_EQ(p.hi, static_cast<std::int64_t>(exact >> 64)) << x << " * " << y;
    }
}
#endif

}  // namespace
