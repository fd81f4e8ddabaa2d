// Counting a piece at a time: the pieces add up to exactly the whole count in
// any order and from any number of partial sums; the split is fine enough
// and the same every time; and every misuse of the piece API is refused.
// Also the 128-bit sums, with and without the compiler's __int128.
#include "support/random_seed.hpp"
#include "wide_int.hpp"

#include <roughpi/roughpi.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using roughpi::prime_count_piece;
using roughpi::prime_count_sums;

std::vector<prime_count_piece> pieces_of(std::int64_t x)
{
    std::vector<prime_count_piece> pieces(roughpi::prime_count_pieces(x, {}));
    EXPECT_EQ(roughpi::prime_count_pieces(x, pieces), pieces.size());
    return pieces;
}

TEST(PiecesTest, AddUpToTheWholeCountInAnyOrderFromAnyPartialSums)
{
    ROUGHPI_SEEDED_RNG(rng);
    std::vector<std::int64_t> xs = {-5, 0, 1, 2, 16, 17, 288, 289, 4913, 83520, 83521, 1'000'000, 24'137'569,
                                    10'000'000'000, 1'000'000'000'000, 20'000'000'000'000};
    for (int i = 0; i < 12; ++i)
        xs.push_back(std::uniform_int_distribution<std::int64_t>(17, 300'000'000'000)(rng));
    for (const std::int64_t x : xs) {
        SCOPED_TRACE("x = " + std::to_string(x));
        std::vector<prime_count_piece> pieces = pieces_of(x);
        ASSERT_GE(pieces.size(), 1u);
        const std::vector<prime_count_piece> in_order = pieces;
        std::shuffle(pieces.begin(), pieces.end(), rng);
        // Three workers' sums, each piece to a random one, then added up.
        prime_count_sums parts[3];
        for (const prime_count_piece& piece : pieces)
            roughpi::prime_count_add_piece(piece, parts[rng() % 3]);
        prime_count_sums total;
        for (const prime_count_sums& part : parts)
            total += part;
        EXPECT_EQ(total.pieces(), pieces.size());
        EXPECT_EQ(roughpi::prime_count_from_sums(in_order, total), roughpi::prime_count(x));
        for (const prime_count_piece& piece : pieces) {
            EXPECT_EQ(piece.x(), x);
            EXPECT_GT(piece.cost(), 0.0);
        }
    }
}

TEST(PiecesTest, TheSplitIsFixedAndFine)
{
    // The same list every time, and fine enough for hundreds of workers: by
    // the estimates, no piece is more than a small share of the whole.
    const struct {
        std::int64_t x;
        double largest_share;
    } cases[] = {{1'000'000'000'000, 0.05}, {100'000'000'000'000, 0.005}, {10'000'000'000'000'000, 0.001}};
    for (const auto& c : cases) {
        const std::vector<prime_count_piece> a = pieces_of(c.x);
        const std::vector<prime_count_piece> b = pieces_of(c.x);
        ASSERT_EQ(a.size(), b.size());
        double total = 0.0;
        double largest = 0.0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].fingerprint(), b[i].fingerprint()) << "piece " << i;
            total += a[i].cost();
            largest = std::max(largest, a[i].cost());
        }
        EXPECT_LE(largest / total, c.largest_share) << "x = " << c.x << ", " << a.size() << " pieces";
        // Asking for fewer writes fewer and tells the same total.
        std::vector<prime_count_piece> few(3);
        EXPECT_EQ(roughpi::prime_count_pieces(c.x, few), a.size());
        EXPECT_EQ(few[2].fingerprint(), a[2].fingerprint());
    }
}

TEST(PiecesTest, MisuseIsRefusedAndChangesNothing)
{
    const std::int64_t x = 10'000'000'000;
    const std::vector<prime_count_piece> pieces = pieces_of(x);
    ASSERT_GE(pieces.size(), 3u);
    prime_count_sums sums;
    roughpi::prime_count_add_piece(pieces[0], sums);
    const prime_count_sums before = sums;

    // A piece that no split made: default, or with any byte changed.
    EXPECT_THROW(roughpi::prime_count_add_piece(prime_count_piece{}, sums), roughpi::input_error);
    for (std::size_t byte = 0; byte < sizeof(prime_count_piece); ++byte) {
        prime_count_piece damaged = pieces[1];
        unsigned char raw[sizeof(prime_count_piece)];
        std::memcpy(raw, &damaged, sizeof(raw));
        raw[byte] ^= 0x10;
        std::memcpy(&damaged, raw, sizeof(raw));
        EXPECT_THROW(roughpi::prime_count_add_piece(damaged, sums), roughpi::input_error) << "byte " << byte;
    }
    // A piece of another count.
    EXPECT_THROW(roughpi::prime_count_add_piece(pieces_of(x + 1)[1], sums), roughpi::input_error);
    EXPECT_TRUE(sums == before);

    // Finishing from sums that miss a piece or hold one twice.
    for (std::size_t i = 1; i < pieces.size(); ++i)
        roughpi::prime_count_add_piece(pieces[i], sums);
    const prime_count_sums complete = sums;
    prime_count_sums twice = complete;
    roughpi::prime_count_add_piece(pieces[2], twice);
    EXPECT_THROW(roughpi::prime_count_from_sums(pieces, twice), roughpi::input_error);
    EXPECT_THROW(roughpi::prime_count_from_sums(pieces, before), roughpi::input_error);
    EXPECT_THROW(roughpi::prime_count_from_sums({}, complete), roughpi::input_error);
    EXPECT_THROW(roughpi::prime_count_from_sums(pieces_of(x + 1), complete), roughpi::input_error);
    EXPECT_EQ(roughpi::prime_count_from_sums(pieces, complete), roughpi::prime_count(x));

    // Sums of two counts do not add.
    prime_count_sums other;
    roughpi::prime_count_add_piece(pieces_of(x + 1)[0], other);
    EXPECT_THROW(sums += other, roughpi::input_error);
    EXPECT_TRUE(sums == complete);
}

TEST(PiecesTest, SumsTravelExactlyAsWords)
{
    const std::vector<prime_count_piece> pieces = pieces_of(1'000'000'000'000);
    prime_count_sums sums;
    for (const prime_count_piece& piece : pieces)
        roughpi::prime_count_add_piece(piece, sums);
    const auto words = sums.to_words();
    EXPECT_TRUE(prime_count_sums::from_words(words) == sums);
    EXPECT_EQ(words[0], 1'000'000'000'000u);
    EXPECT_EQ(words[1], pieces.size());
    EXPECT_EQ(roughpi::prime_count_from_sums(pieces, prime_count_sums::from_words(words)), 37'607'912'018);
}

#if defined(__SIZEOF_INT128__)
TEST(WideIntTest, PortableTwoWordSumsMatchTheBuiltInType)
{
    // Sums that cross 2^63 and 2^64 both ways, and exact division by small k.
    using roughpi::portable_wide_int;
    ROUGHPI_SEEDED_RNG(rng);
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
        // To words and back.
        EXPECT_TRUE(roughpi::wide_from_words(roughpi::low_word(expected), roughpi::high_word(expected)) == expected);

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
