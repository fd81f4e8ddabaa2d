// SPDX-License-Identifier: MIT
// The estimates of pi(x) against values worked out apart, and their shape:
// increasing, inverse to each other, refused outside their ranges.
#include "support/random_seed.hpp"

#include <roughpi/error.hpp>
#include <roughpi/estimates.hpp>
#include <roughpi/prime_count.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

// floor(li(x)) and floor(R(x)), and floor(li^-1(y)) and floor(R^-1(y)), by
// mpmath 1.3 at 60 digits (mpmath.li, mpmath.riemannr; the inverses by
// Newton's method in mpmath). "near" marks a value within 0.05 of an
// integer.
struct reference {
    std::int64_t argument;
    std::int64_t li;
    bool li_near;
    std::int64_t r;
    bool r_near;
};

void expect_near(std::int64_t actual, std::int64_t expected, bool /*near*/, const char* what, std::int64_t argument)
{
    // The estimates are rounded down exactly, near an integer or not.
    EXPECT_EQ(actual, expected) << what << "(" << argument << ")";
}

TEST(EstimatesTest, MatchValuesWorkedOutApart)
{
    const reference forward[] = {
        {10, 6, false, 4, false},
        {100, 30, false, 25, false},
        {1000, 177, false, 168, false},
        {10000, 1246, false, 1226, false},
        {100000, 9629, false, 9587, false},
        {1000000, 78627, false, 78527, false},
        {10000000, 664918, false, 664667, false},
        {100000000, 5762209, false, 5761551, false},
        {1000000000, 50849234, true, 50847455, false},
        {10000000000, 455055614, false, 455050683, false},
        {100000000000, 4118066400, false, 4118052494, false},
        {1000000000000, 37607950280, false, 37607910542, false},
        {10000000000000, 346065645810, false, 346065531065, false},
        {100000000000000, 3204942065691, true, 3204941731601, false},
        {1000000000000000, 29844571475287, false, 29844570495886, false},
        {10000000000000000, 279238344248556, false, 279238341360977, false},
        {100000000000000000, 2623557165610821, false, 2623557157055978, true},
        {1000000000000000000, 24739954309690415, true, 24739954284239494, false},
        {9223372036854775807, 216289611941014692, true, 216289611867888729, false},
    };
    for (const reference& r : forward) {
        expect_near(roughpi::li(r.argument), r.li, r.li_near, "li", r.argument);
        expect_near(roughpi::riemann_r(r.argument), r.r, r.r_near, "R", r.argument);
    }
    const reference inverse[] = {
        {10, 20, false, 29, false},
        {100, 488, false, 536, false},
        {1000, 7762, true, 7922, false},
        {10000, 104269, false, 104767, false},
        {100000, 1298172, false, 1299733, false},
        {1000000, 15479066, false, 15484039, false},
        {10000000, 179415191, false, 179431238, false},
        {100000000, 2038024424, false, 2038076587, false},
        {1000000000, 22801627414, false, 22801797575, false},
        {10000000000, 252097160014, true, 252097715776, false},
        {100000000000, 2760725937306, false, 2760727752352, false},
        {1000000000000, 29996219470244, true, 29996225393465, false},
        {10000000000000, 323780493102755, false, 323780512411509, false},
        {100000000000000, 3475385697424950, false, 3475385760290722, false},
        {1000000000000000, 37124507851936144, true, 37124508056355511, false},
        {10000000000000000, 394906913134349168, false, 394906913798224975, false},
        {100000000000000000, 4185296579523038470, false, 4185296581676470067, false},
        {216289611853439384, 9223372033030513403, false, 9223372036223797851, false},
        {200000000000000000, 8512677383491052700, false, 8512677386559177425, false},
    };
    for (const reference& r : inverse) {
        expect_near(roughpi::li_inverse(r.argument), r.li, r.li_near, "li_inverse", r.argument);
        expect_near(roughpi::riemann_r_inverse(r.argument), r.r, r.r_near, "riemann_r_inverse", r.argument);
    }
}

// Exact floors by mpmath at 80 digits, from estimates_values.tsv (its header
// says how they were made): about 2000 arguments log-uniform over the range
// of each function (250 for Li and its inverse), and the ends of the ranges.
struct exact_value {
    const char* function;
    std::int64_t argument;
    std::int64_t floor;
};
constexpr exact_value EXACT_VALUES[] = {
#include "estimates_values.inc"
};

TEST(EstimatesTest, AreTheExactFloorsOfTheTrueValues)
{
    ASSERT_GT(std::size(EXACT_VALUES), 8000u);
    int mismatches = 0;
    for (const exact_value& v : EXACT_VALUES) {
        const std::string name = v.function;
        const std::int64_t got = name == "li" ? roughpi::li(v.argument)
            : name == "riemann_r"             ? roughpi::riemann_r(v.argument)
            : name == "li_inverse"            ? roughpi::li_inverse(v.argument)
            : name == "riemann_r_inverse"     ? roughpi::riemann_r_inverse(v.argument)
            : name == "offset_li"             ? roughpi::offset_li(v.argument)
            : name == "offset_li_inverse"     ? roughpi::offset_li_inverse(v.argument)
                                              : -1;
        if (got != v.floor && ++mismatches <= 10)
            ADD_FAILURE() << name << "(" << v.argument << ") = " << got << ", not " << v.floor;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(EstimatesTest, IncreaseInverseToEachOtherAndRefuseOutsideTheirRanges)
{
    ROUGHPI_SEEDED_RNG(rng);
    std::vector<std::int64_t> xs = {2, 3, 4, 16, 17, 1'000, roughpi::MAX_SUPPORTED_X};
    for (int i = 0; i < 300; ++i)
        xs.push_back(static_cast<std::int64_t>(std::pow(2.0, std::uniform_real_distribution<double>(1.0, 62.9)(rng))));
    std::sort(xs.begin(), xs.end());
    for (std::size_t i = 1; i < xs.size(); ++i) {
        EXPECT_LE(roughpi::li(xs[i - 1]), roughpi::li(xs[i])) << xs[i - 1] << " < " << xs[i];
        EXPECT_LE(roughpi::riemann_r(xs[i - 1]), roughpi::riemann_r(xs[i])) << xs[i - 1] << " < " << xs[i];
    }
    // Each inverse takes y back to within one unit of x's estimate.
    for (const std::int64_t x : xs) {
        if (x < 100 || x > 9'000'000'000'000'000'000)
            continue;
        const std::int64_t y = roughpi::li(x);
        const std::int64_t z = roughpi::riemann_r(x);
        EXPECT_LE(roughpi::li(roughpi::li_inverse(y)), y) << x;
        EXPECT_GE(roughpi::li(roughpi::li_inverse(y) + 2 * static_cast<std::int64_t>(std::log(x))), y) << x;
        EXPECT_LE(roughpi::riemann_r(roughpi::riemann_r_inverse(z)), z) << x;
        EXPECT_GE(roughpi::riemann_r(roughpi::riemann_r_inverse(z) + 2 * static_cast<std::int64_t>(std::log(x))), z)
            << x;
    }
    for (const std::int64_t bad : {std::int64_t{1}, std::int64_t{0}, std::int64_t{-5}}) {
        EXPECT_THROW(roughpi::offset_li(bad), roughpi::input_error);
        EXPECT_THROW(roughpi::li(bad), roughpi::input_error);
        EXPECT_THROW(roughpi::riemann_r(bad), roughpi::input_error);
        EXPECT_THROW(roughpi::li_inverse(bad), roughpi::input_error);
        EXPECT_THROW(roughpi::riemann_r_inverse(bad), roughpi::input_error);
    }
    // The inverses as far as their result stays below 2^63, and no further.
    EXPECT_GE(roughpi::li_inverse(216'289'611'941'014'692), roughpi::MAX_SUPPORTED_X - 100);
    EXPECT_THROW(roughpi::li_inverse(216'289'611'941'014'693), roughpi::input_error);
    EXPECT_THROW(roughpi::riemann_r_inverse(216'289'611'867'888'730), roughpi::input_error);
    // Li(2) = 0 exactly, and its inverse runs from 0, which it takes to 2.
    EXPECT_EQ(roughpi::offset_li(2), 0);
    EXPECT_EQ(roughpi::offset_li_inverse(0), 2);
    EXPECT_THROW(roughpi::offset_li_inverse(-1), roughpi::input_error);
    EXPECT_THROW(roughpi::offset_li_inverse(216'289'611'941'014'691), roughpi::input_error);
    EXPECT_THROW(roughpi::nth_prime_estimate(0), roughpi::input_error);
    EXPECT_THROW(roughpi::nth_prime_estimate(roughpi::MAX_PRIME_INDEX + 1), roughpi::input_error);
    EXPECT_LE(roughpi::nth_prime_estimate(roughpi::MAX_PRIME_INDEX), roughpi::MAX_SUPPORTED_X);
}

}  // namespace
