// SPDX-License-Identifier: MIT
// The command line's number syntax, read as the program `roughpi` reads its
// arguments, with the same refusals in the same words:
//
//   1000              a plain integer; leading zeros are fine
//   1e15  2.5e3       <digits>[.<digits>](e|E)<digits>, when the value is whole
//   10^15  2^50       <base>^<exponent>, both plain integers
//   2^59-1  1e15+3    any of the above followed by '+' or '-' and another of them
//
// with an optional leading '+' and no spaces. A leading '-' makes the number
// negative, whatever follows. Every part must fit in 64 bits unsigned and the
// value in 64 bits signed; a part past 64 bits whose number may well be small
// (0e99999999999999999999, 99999999999999999999^0, 2^64 less an offset above
// 2^63) is refused as a part that cannot be read.

const U64_MAX = (1n << 64n) - 1n;
const I64_MAX = (1n << 63n) - 1n;

/** What a reading came to: a value, or why there is none. */
export const Status = Object.freeze({
    ok: 'ok',
    notANumber: 'not a number',
    notWhole: 'not whole',
    negative: 'negative',
    tooLarge: 'too large', // above 2^63 - 1 (or above the limit asked for)
    exponentTooLarge: 'exponent too large',
    baseTooLarge: 'base too large',
    termTooLarge: 'term too large',
});

function isDigit(c) {
    return c >= '0' && c <= '9';
}

// A run of decimal digits from text[pos]: its end, its value, and whether it
// passed 64 bits (then the value sticks at the maximum).
function readDigits(text, pos) {
    let value = 0n;
    let overflow = false;
    const begin = pos;
    for (; pos < text.length && isDigit(text[pos]); ++pos) {
        if (!overflow) {
            value = value * 10n + BigInt(text.charCodeAt(pos) - 48);
            if (value > U64_MAX) {
                overflow = true;
                value = U64_MAX;
            }
        }
    }
    return { begin, end: pos, value, overflow, empty: begin === pos };
}

// base^exponent within 64 bits, or null. 0^0 is 1.
function power(base, exponent) {
    if (exponent === 0n) return 1n;
    if (base <= 1n) return base;
    if (exponent >= 64n) return null; // 2^64 is past 64 bits already
    const result = base ** exponent;
    return result > U64_MAX ? null : result;
}

function evaluatePower(base, exponent) {
    if (exponent.overflow && !base.overflow && base.value <= 1n) return { status: Status.exponentTooLarge };
    if (base.overflow && !exponent.overflow && exponent.value === 0n) return { status: Status.baseTooLarge };
    if (base.overflow || exponent.overflow) return { status: Status.tooLarge };
    const value = power(base.value, exponent.value);
    return value === null ? { status: Status.tooLarge } : { status: Status.ok, value };
}

// <whole>[.<fraction>]e<exponent>: m * 10^(exponent - f) for the m of all the
// digits and their f after the point, trailing zeros of the fraction dropped
// first (so that 1.50e1 is as whole as 1.5e1): whole exactly when exponent >= f.
function evaluateScientific(text, whole, fraction, exponent) {
    let fractionEnd = fraction.end;
    while (fractionEnd > fraction.begin && text[fractionEnd - 1] === '0') --fractionEnd;
    const fractionDigits = BigInt(fractionEnd - fraction.begin);
    const mantissa = readDigits(text.slice(whole.begin, whole.end) + text.slice(fraction.begin, fractionEnd), 0);
    if (exponent.overflow) return { status: mantissa.value === 0n ? Status.exponentTooLarge : Status.tooLarge };
    if (mantissa.value === 0n) return { status: Status.ok, value: 0n };
    if (exponent.value < fractionDigits) return { status: Status.notWhole };
    if (mantissa.overflow) return { status: Status.tooLarge };
    const scale = power(10n, exponent.value - fractionDigits);
    if (scale === null || mantissa.value * scale > U64_MAX) return { status: Status.tooLarge };
    return { status: Status.ok, value: mantissa.value * scale };
}

// One term at text[pos]: <digits>, <digits>[.<digits>]e<digits> or
// <digits>^<digits>. syntax is false when there is none there.
function readTerm(text, pos) {
    const lead = readDigits(text, pos);
    if (lead.empty) return { syntax: false, pos };
    pos = lead.end;
    let kind = 'plain';
    let fraction = { begin: pos, end: pos };
    let exponent = null;
    if (text[pos] === '.') {
        fraction = readDigits(text, pos + 1);
        pos = fraction.end;
        if (fraction.empty || (text[pos] !== 'e' && text[pos] !== 'E')) return { syntax: false, pos };
    }
    if (text[pos] === 'e' || text[pos] === 'E' || text[pos] === '^') {
        kind = text[pos] === '^' ? 'power' : 'scientific';
        exponent = readDigits(text, pos + 1);
        pos = exponent.end;
        if (exponent.empty) return { syntax: false, pos };
    }
    let reading = { status: lead.overflow ? Status.tooLarge : Status.ok, value: lead.value };
    if (kind === 'power') reading = evaluatePower(lead, exponent);
    else if (kind === 'scientific') reading = evaluateScientific(text, lead, fraction, exponent);
    return { syntax: true, pos, status: reading.status, value: reading.value ?? 0n };
}

/**
 * Reads `text` as the command line does: { status, value }, the value a
 * bigint from 0 to `limit` when status is Status.ok.
 */
export function parseCount(text, limit = I64_MAX) {
    // The syntax first, in full: a malformed tail makes the whole text not a
    // number, whatever its front is worth.
    let pos = 0;
    let minus = false;
    if (text[pos] === '+' || text[pos] === '-') {
        minus = text[pos] === '-';
        ++pos;
    }
    const first = readTerm(text, pos);
    if (!first.syntax) return { status: Status.notANumber };
    pos = first.pos;
    let offsetMinus = false;
    let offset = { syntax: true, status: Status.ok, value: 0n };
    if (text[pos] === '+' || text[pos] === '-') {
        offsetMinus = text[pos] === '-';
        offset = readTerm(text, pos + 1);
        if (!offset.syntax) return { status: Status.notANumber };
        pos = offset.pos;
    }
    if (pos !== text.length) return { status: Status.notANumber };
    if (minus) return { status: Status.negative };

    // A term past 64 bits less an offset above 2^63 may be anything from 1
    // up: it is the term that cannot be read. Less a smaller offset it is
    // still above 2^63 - 1.
    const offsetTooLarge = offset.status === Status.tooLarge;
    if (
        first.status === Status.tooLarge &&
        offsetMinus &&
        (offsetTooLarge || (offset.status === Status.ok && offset.value > I64_MAX + 1n))
    )
        return { status: Status.termTooLarge };
    if (first.status !== Status.ok) return { status: first.status };
    if (offsetTooLarge) return { status: offsetMinus ? Status.negative : Status.tooLarge };
    if (offset.status !== Status.ok) return { status: offset.status };
    let magnitude;
    if (!offsetMinus) {
        magnitude = first.value + offset.value;
        if (magnitude > U64_MAX) return { status: Status.tooLarge };
    } else if (first.value >= offset.value) {
        magnitude = first.value - offset.value;
    } else {
        return { status: Status.negative };
    }
    if (magnitude > I64_MAX || magnitude > limit) return { status: Status.tooLarge };
    return { status: Status.ok, value: magnitude };
}

/** The text as the program quotes it: UTF-8 bytes, the unprintable ones escaped. */
export function printable(text) {
    let out = '';
    for (const byte of new TextEncoder().encode(text)) {
        if (byte === 0x0a) out += '\\n';
        else if (byte === 0x09) out += '\\t';
        else if (byte === 0x5c) out += '\\\\';
        else if (byte < 0x20 || byte >= 0x7f) out += '\\x' + byte.toString(16).padStart(2, '0');
        else out += String.fromCharCode(byte);
    }
    return out;
}

/** The command line's message for a failed reading of `text` ('' for Status.ok). */
export function parseErrorMessage(text, status, limit = I64_MAX) {
    const quoted = `'${printable(text)}'`;
    const partLimit = ' (each part must fit in 64 bits)';
    switch (status) {
        case Status.ok:
            return '';
        case Status.notWhole:
            return `${quoted} is not a whole number`;
        case Status.negative:
            return `${quoted} is negative`;
        case Status.tooLarge:
            return `${quoted} is above the largest supported value, ${limit}`;
        case Status.exponentTooLarge:
            return `${quoted} has an exponent too large to read${partLimit}`;
        case Status.baseTooLarge:
            return `${quoted} has a base too large to read${partLimit}`;
        case Status.termTooLarge:
            return `${quoted} has a number before its '-' too large to read${partLimit}`;
        default:
            return `${quoted} is not a number`;
    }
}
