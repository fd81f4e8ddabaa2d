// SPDX-License-Identifier: MIT
// Reading one command-line argument of `roughpi` as the x to count up to.
//
// Accepted forms (no whitespace; an optional leading '+'):
//
//   1000              a plain integer; leading zeros are fine
//   1e15  2.5e3       <digits>[.<digits>](e|E)<digits>, when the value is whole
//   10^15  2^50       <base>^<exponent>, both plain integers
//   2^59-1  1e15+3    any of the above followed by '+' or '-' and another of
//   1e18+1e9          them, the offset (2^63-2^32 and 1e15-2.5e3 too)
//
// A leading '-' is read as a sign, so that "-5" is reported as negative rather
// than as something that is not a number: anything that starts with '-' and
// is otherwise well formed is negative ("-0" and "-5+10" too). Every part
// (mantissa, base, exponent, those of the offset) must fit in 64 bits unsigned and the
// value in 64 bits signed; anything larger is too_large, whatever the limit,
// and reported as above it. A part past 64 bits whose number may well be
// small (0e99999999999999999999, 99999999999999999999^0, 2^64 less an offset
// above 2^63) is refused as a part that cannot be read, not as too large.
#pragma once

#include <roughpi/prime_count.hpp>

#include <cstdint>
#include <string>
#include <string_view>

namespace roughpi::tools {

enum class parse_status {
    ok,
    not_a_number,        // none of the accepted forms
    not_whole,           // e-notation whose value has a fractional part, e.g. 2.55e1
    negative,            // a leading '-', or below 0, e.g. -5 or 2^3-9
    too_large,           // the value is above 2^63 - 1 (or a part above 2^64 - 1 makes it so)
    above_limit,         // fits in 64 bits but exceeds the limit passed in
    exponent_too_large,  // an exponent past 2^64 - 1 on 0 or 1, e.g. 0e99999999999999999999
    base_too_large,      // a base past 2^64 - 1 to the power 0
    term_too_large,      // a term past 2^64 - 1 less an offset above 2^63, e.g. 2^64-18446744073709551615
};

struct parsed_count {
    parse_status status = parse_status::not_a_number;
    std::int64_t value = 0;  // meaningful only when status is ok
};

// Parses one argument. Pure: no I/O, no state. limit must be >= 0.
parsed_count parse_count(std::string_view text, std::int64_t limit = roughpi::MAX_SUPPORTED_X);

// The message for a failed parse of `text`, without a program-name prefix,
// e.g. "'abc' is not a number". Empty for parse_status::ok.
std::string parse_error_message(std::string_view text, parse_status status,
                                std::int64_t limit = roughpi::MAX_SUPPORTED_X);

}  // namespace roughpi::tools
