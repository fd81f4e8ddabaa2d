// SPDX-License-Identifier: MIT
#include <roughpi/tools/parse_count.hpp>

#include <charconv>
#include <cstddef>
#include <limits>

namespace roughpi::tools {

namespace {

constexpr std::uint64_t u64_max = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint64_t i64_max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Appends one decimal digit to value. Past 64 bits the value sticks at the
// maximum and overflow is set: the part does not fit, and the number is too
// large whatever the other parts are.
void append_digit(std::uint64_t& value, bool& overflow, char c)
{
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (overflow || value > (u64_max - digit) / 10) {
        overflow = true;
        value = u64_max;
    } else {
        value = value * 10 + digit;
    }
}

// A run of decimal digits, text[begin, end).
struct digit_run {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::uint64_t value = 0;
    bool overflow = false;

    bool empty() const { return begin == end; }
};

digit_run read_digits(std::string_view text, std::size_t& pos)
{
    digit_run run;
    run.begin = pos;
    for (; pos < text.size() && is_digit(text[pos]); ++pos)
        append_digit(run.value, run.overflow, text[pos]);
    run.end = pos;
    return run;
}

bool next_is(std::string_view text, std::size_t pos, char a, char b = '\0')
{
    return pos < text.size() && (text[pos] == a || (b != '\0' && text[pos] == b));
}

// value *= factor; false when the product does not fit in 64 bits.
bool multiply(std::uint64_t& value, std::uint64_t factor)
{
    if (value != 0 && factor > u64_max / value)
        return false;
    value *= factor;
    return true;
}

// base^exponent; false when it does not fit in 64 bits. 0^0 is 1.
bool power(std::uint64_t base, std::uint64_t exponent, std::uint64_t& result)
{
    result = 1;
    if (exponent == 0)
        return true;
    if (base <= 1) {
        result = base;
        return true;
    }
    for (; exponent > 0; --exponent)  // at most 64 rounds before it overflows
        if (!multiply(result, base))
            return false;
    return true;
}

// <base>^<exponent>. A part past 64 bits makes the value too large, except
// where the other part keeps it small (0 or 1 to any power, anything to the
// power 0): then it is the part that cannot be read.
parse_status evaluate_power(const digit_run& base, const digit_run& exponent, std::uint64_t& value)
{
    if (exponent.overflow && !base.overflow && base.value <= 1)
        return parse_status::exponent_too_large;
    if (base.overflow && !exponent.overflow && exponent.value == 0)
        return parse_status::base_too_large;
    if (base.overflow || exponent.overflow)
        return parse_status::too_large;
    return power(base.value, exponent.value, value) ? parse_status::ok : parse_status::too_large;
}

// <whole>[.<fraction>]e<exponent>: the digits form an integer m with f digits
// after the point, and the value is m * 10^(exponent - f). Trailing zeros of
// the fraction are dropped first, so that 1.50e1 is as whole as 1.5e1 and the
// last digit of m is not 0 whenever f > 0: then the value is whole exactly
// when exponent >= f.
parse_status evaluate_scientific(std::string_view text, const digit_run& whole, const digit_run& fraction,
                                 const digit_run& exponent, std::uint64_t& value)
{
    std::size_t fraction_end = fraction.end;
    while (fraction_end > fraction.begin && text[fraction_end - 1] == '0')
        --fraction_end;
    const std::size_t fraction_digits = fraction_end - fraction.begin;

    std::uint64_t mantissa = 0;
    bool overflow = false;
    for (std::size_t i = whole.begin; i < whole.end; ++i)
        append_digit(mantissa, overflow, text[i]);
    for (std::size_t i = fraction.begin; i < fraction_end; ++i)
        append_digit(mantissa, overflow, text[i]);

    value = 0;
    if (exponent.overflow)  // 0 whatever the exponent, or else far too large
        return mantissa == 0 ? parse_status::exponent_too_large : parse_status::too_large;
    if (mantissa == 0)
        return parse_status::ok;
    if (exponent.value < fraction_digits)
        return parse_status::not_whole;
    if (overflow)
        return parse_status::too_large;
    std::uint64_t scale = 1;
    if (!power(10, exponent.value - fraction_digits, scale))
        return parse_status::too_large;
    value = mantissa;
    return multiply(value, scale) ? parse_status::ok : parse_status::too_large;
}

// One term of a number: <digits>, <digits>[.<digits>]e<digits> or
// <digits>^<digits>, read from text at pos. `syntax` is false when the text
// there is none of them; otherwise `status` and `value` are what it is worth
// (too_large also when a part of it does not fit in 64 bits).
struct term_reading {
    bool syntax = false;
    parse_status status = parse_status::ok;
    std::uint64_t value = 0;
};

term_reading read_term(std::string_view text, std::size_t& pos)
{
    term_reading term;
    const digit_run lead = read_digits(text, pos);
    if (lead.empty())
        return term;
    enum class form { plain, scientific, power } kind = form::plain;
    digit_run fraction{pos, pos};
    digit_run exponent;
    if (next_is(text, pos, '.')) {
        ++pos;
        fraction = read_digits(text, pos);
        if (fraction.empty() || !next_is(text, pos, 'e', 'E'))
            return term;
    }
    if (next_is(text, pos, 'e', 'E') || next_is(text, pos, '^')) {
        kind = text[pos] == '^' ? form::power : form::scientific;
        ++pos;
        exponent = read_digits(text, pos);
        if (exponent.empty())
            return term;
    }
    term.syntax = true;
    term.value = lead.value;
    term.status = lead.overflow ? parse_status::too_large : parse_status::ok;
    if (kind == form::power)
        term.status = evaluate_power(lead, exponent, term.value);
    else if (kind == form::scientific)
        term.status = evaluate_scientific(text, lead, fraction, exponent, term.value);
    return term;
}

}  // namespace

parsed_count parse_count(std::string_view text, std::int64_t limit)
{
    // The syntax first, in full: a malformed tail makes the whole argument
    // "not a number", whatever its front is worth. A number is a term with
    // an optional sign, and an optional offset: '+' or '-' and a second
    // term (1e18+1e9, 2^63-25).
    std::size_t pos = 0;
    bool minus = false;
    if (next_is(text, pos, '+', '-')) {
        minus = text[pos] == '-';
        ++pos;
    }
    const term_reading first = read_term(text, pos);
    if (!first.syntax)
        return {};
    bool offset_minus = false;
    term_reading offset{true, parse_status::ok, 0};
    if (next_is(text, pos, '+', '-')) {
        offset_minus = text[pos] == '-';
        ++pos;
        offset = read_term(text, pos);
        if (!offset.syntax)
            return {};
    }
    if (pos != text.size())
        return {};

    // A leading '-' makes a number negative, whatever follows it.
    if (minus)
        return {parse_status::negative, 0};

    // Then the value. A term past 64 bits less an offset above 2^63 may be
    // anything from 1 up: it is the term that cannot be read. Less a smaller
    // offset, it is still above 2^63 - 1.
    constexpr std::uint64_t two_to_63 = i64_max + 1;
    const bool offset_too_large = offset.status == parse_status::too_large;
    if (first.status == parse_status::too_large && offset_minus &&
        (offset_too_large || (offset.status == parse_status::ok && offset.value > two_to_63)))
        return {parse_status::term_too_large, 0};
    if (first.status != parse_status::ok)
        return {first.status, 0};
    if (offset_too_large)  // the term fits in 64 bits and the offset does not
        return {offset_minus ? parse_status::negative : parse_status::too_large, 0};
    if (offset.status != parse_status::ok)
        return {offset.status, 0};
    const std::uint64_t term = first.value;

    // term + offset or term - offset.
    std::uint64_t magnitude = 0;
    if (!offset_minus) {
        if (term > u64_max - offset.value)
            return {parse_status::too_large, 0};
        magnitude = term + offset.value;
    } else if (term >= offset.value) {
        magnitude = term - offset.value;
    } else {
        return {parse_status::negative, 0};
    }
    if (magnitude > i64_max)
        return {parse_status::too_large, 0};
    if (magnitude > static_cast<std::uint64_t>(limit))
        return {parse_status::above_limit, 0};
    return {parse_status::ok, static_cast<std::int64_t>(magnitude)};
}

std::string parse_error_message(std::string_view text, parse_status status, std::int64_t limit)
{
    char digits[24];
    const auto converted = std::to_chars(digits, digits + sizeof(digits), limit);
    const std::string_view largest(digits, static_cast<std::size_t>(converted.ptr - digits));

    constexpr std::string_view part_limit = " (each part must fit in 64 bits)";
    std::string message;
    message.append("'").append(text).append("'");
    switch (status) {
    case parse_status::ok:
        return {};
    case parse_status::not_a_number:
        return message.append(" is not a number");
    case parse_status::not_whole:
        return message.append(" is not a whole number");
    case parse_status::negative:
        return message.append(" is negative");
    case parse_status::too_large:  // above 2^63 - 1, so above every limit too
    case parse_status::above_limit:
        return message.append(" is above the largest supported value, ").append(largest);
    case parse_status::exponent_too_large:
        return message.append(" has an exponent too large to read").append(part_limit);
    case parse_status::base_too_large:
        return message.append(" has a base too large to read").append(part_limit);
    case parse_status::term_too_large:
        return message.append(" has a number before its '-' too large to read").append(part_limit);
    }
    return message.append(" is not a number");
}

}  // namespace roughpi::tools
