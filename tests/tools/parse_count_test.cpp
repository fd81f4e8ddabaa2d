// SPDX-License-Identifier: MIT
// The number parser of the programs: every accepted form, every refusal.
#include <roughpi/tools/parse_count.hpp>

#include <roughpi/prime_count.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

using roughpi::MAX_SUPPORTED_X;
using roughpi::tools::parse_count;
using roughpi::tools::parse_error_message;
using roughpi::tools::parse_status;

constexpr std::int64_t int64_max = std::numeric_limits<std::int64_t>::max();
static_assert(MAX_SUPPORTED_X == int64_max, "every signed 64-bit x is supported");

const std::string max_text = std::to_string(MAX_SUPPORTED_X);

// Parses with the limit at 2^63-1, so that the forms are tested apart from
// whatever the core supports today.
parse_status status_of(const std::string& text) { return parse_count(text, int64_max).status; }

TEST(CliParseTest, AcceptedForms)
{
    const struct {
        const char* text;
        std::int64_t value;
    } cases[] = {
        {"0", 0},
        {"1000", 1000},
        {"+1000", 1000},
        {"007", 7},
        {"0000000000000000000000000001", 1},
        {"1e10", 10'000'000'000},
        {"1E3", 1000},
        {"2.5e3", 2500},
        {"1.50e1", 15},
        {"0.000001e21", 1'000'000'000'000'000},
        {"0e18446744073709551615", 0},
        {"10^15", 1'000'000'000'000'000},
        {"2^50", 1LL << 50},
        {"10^0", 1},
        {"18446744073709551615^0", 1},
        {"2^59-1", (1LL << 59) - 1},
        {"10^18-11", 999'999'999'999'999'989},
        {"1e15+3", 1'000'000'000'000'003},
        {"2^32+1", 4'294'967'297},
        {"1e18+1e9", 1'000'000'001'000'000'000},
        {"2^63-2^32", 9'223'372'032'559'808'512},
        {"1e15-2.5e3", 999'999'999'997'500},
        {"1000-1000", 0},
        {"1^18446744073709551615", 1},
        {"2^63-1", int64_max},
        {"9223372036854775807", int64_max},
    };
    for (const auto& c : cases) {
        const auto parsed = parse_count(c.text, int64_max);
        EXPECT_EQ(parsed.status, parse_status::ok) << c.text;
        EXPECT_EQ(parsed.value, c.value) << c.text;
    }
}

TEST(CliParseTest, RejectedForms)
{
    const struct {
        parse_status status;
        std::vector<const char*> texts;
    } groups[] = {
        {parse_status::not_a_number,
         {"",      "abc",     "1e",       "^5",         "10^",       "e5",    "--5",   "+",           "-",    "++5",
          "+-5",   " 5",      "5 ",       "1 000",      "1,000",     "1'000", "0x10",  "1.5",         "1.",   ".5e3",
          "1.e3",  "1e-3",    "1e+3",     "1e15.5",     "1ee3",      "5e3e1", "2^3^2", "2^62+2^62-1", "2^-1", "2^3.0",
          "1e15+", "1e15+-3", "1e15+3+4", "1e15+1e3+1", "1e15+-1e3", "1k"}},
        {parse_status::not_whole, {"2.55e1", "0.5e0", "1.0001e3", "12345678901234567890123.5e0", "1e18+2.55e1"}},
        // A leading '-' is a sign, whatever follows.
        {parse_status::negative,
         {"-5", "-1e3", "-2^10", "2^3-9", "0-1", "-2^3+7", "-0", "-2^3+8", "-5+10", "-1e19", "5-99999999999999999999",
          "-0e99999999999999999999"}},
        {parse_status::too_large,
         {"2^63",
          "9223372036854775808",
          "1e19",
          "2^64",
          "2^64-1",
          "18446744073709551615",
          "18446744073709551616",
          "99999999999999999999",
          "10^30",
          "10^30-10",
          "1e15+99999999999999999999",
          "12345678901234567890123e0",
          "1e99999999999999999999999",
          "3^99999999999999999999",
          "2^99999999999999",
          "99999999999999999999^1",
          "99999999999999999999^99999999999999999999",
          "2^64-9223372036854775808",
          "99999999999999999999-1",
          "99999999999999999999^2-1"}},
        // A part that does not fit in 64 bits, in a number that may be small.
        {parse_status::exponent_too_large,
         {"0e99999999999999999999", "0.000e99999999999999999999", "1^99999999999999999999", "0^18446744073709551616",
          "0e99999999999999999999-99999999999999999999", "1e18-0e99999999999999999999"}},
        {parse_status::base_too_large, {"99999999999999999999^0"}},
        {parse_status::term_too_large,
         {"2^64-18446744073709551615", "2^64-9223372036854775809", "20000000000000000000-19999999999999999999",
          "1e20-99999999999999999999"}},
    };
    for (const auto& group : groups)
        for (const char* text : group.texts)
            EXPECT_EQ(status_of(text), group.status) << '\'' << text << '\'';
}

TEST(CliParseTest, TheLimitIsInclusive)
{
    EXPECT_EQ(parse_count(max_text).value, MAX_SUPPORTED_X);
    EXPECT_EQ(parse_count("2^63-1").value, MAX_SUPPORTED_X);
    EXPECT_EQ(parse_count("2^63").status, parse_status::too_large);
    EXPECT_EQ(parse_count("1e3", 1000).value, 1000);
    EXPECT_EQ(parse_count("1e3+1", 1000).status, parse_status::above_limit);
    // From 2^63 up, whether or not it fits in 64 bits unsigned, the message
    // states the maximum.
    for (const char* text : {"1e19", "9223372036854775808", "2^64", "10^30"})
        EXPECT_EQ(parse_error_message(text, parse_count(text).status),
                  std::string("'") + text + "' is above the largest supported value, 9223372036854775807");
    EXPECT_EQ(parse_error_message("1001", parse_status::above_limit, 1000),
              "'1001' is above the largest supported value, 1000");
}

TEST(CliParseTest, APartThatCannotBeReadIsToldApartFromAValueTooLarge)
{
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"0e99999999999999999999", "'0e99999999999999999999' has an exponent too large to read"},
        {"1^99999999999999999999", "'1^99999999999999999999' has an exponent too large to read"},
        {"99999999999999999999^0", "'99999999999999999999^0' has a base too large to read"},
        {"2^64-18446744073709551615", "'2^64-18446744073709551615' has a number before its '-' too large to read"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse_error_message(c.text, parse_count(c.text).status),
                  std::string(c.message) + " (each part must fit in 64 bits)");
}

}  // namespace
