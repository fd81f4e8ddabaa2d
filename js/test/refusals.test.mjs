// SPDX-License-Identifier: MIT
// Bad input is refused, never answered: every kind of argument and option
// the API refuses, with the error's class and the range in its message, and
// the command line's number syntax read as the native program reads it.
import assert from 'node:assert/strict';
import { readdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';

import { JS_ROOT, nativeProgram, roughpi, runNative, seededRandom } from './support.mjs';

const MAX = '9223372036854775807';
const N_RANGE = 'n must be from 1 to 216289611853439384 (the number of primes up to 2^63 - 1)';

// [call, error class, the message (a string it must equal, or a pattern)]
const refusals = [
    [() => roughpi.primePi(2.5), TypeError, 'x = 2.5 is not an integer'],
    [() => roughpi.primePi(NaN), TypeError, 'x = NaN is not an integer'],
    [() => roughpi.primePi(Infinity), TypeError, 'x = Infinity is not an integer'],
    [
        () => roughpi.primePi(2 ** 53),
        RangeError,
        /^x = 9007199254740992 is not a safe integer: a number must be from -9007199254740991 to 9007199254740991/,
    ],
    [
        () => roughpi.primePi(2n ** 63n),
        RangeError,
        `x = 9223372036854775808 is above the largest supported value, ${MAX}`,
    ],
    [() => roughpi.primePi('abc'), TypeError, "'abc' is not a number"],
    [() => roughpi.primePi('1e15 '), TypeError, "'1e15 ' is not a number"],
    [() => roughpi.primePi('2.55e1'), TypeError, "'2.55e1' is not a whole number"],
    [() => roughpi.primePi('-5'), RangeError, "'-5' is negative"],
    [() => roughpi.primePi('2^63'), RangeError, `'2^63' is above the largest supported value, ${MAX}`],
    [
        () => roughpi.primePi('0e99999999999999999999'),
        RangeError,
        "'0e99999999999999999999' has an exponent too large to read (each part must fit in 64 bits)",
    ],
    [() => roughpi.primePi('\u00e9\n'), TypeError, "'\\xc3\\xa9\\n' is not a number"],
    [
        () => roughpi.primePi(null),
        TypeError,
        'x must be a bigint, a safe integer number or a string such as "1e15", not null',
    ],
    [() => roughpi.primePi(), TypeError, /not undefined undefined$/],
    [() => roughpi.primePi(true), TypeError, /not boolean true$/],
    [() => roughpi.primePi([5]), TypeError, /not an array$/],
    [() => roughpi.li(Math.max), TypeError, /not a function$/],
    [() => roughpi.nthPrime(0), RangeError, `n = 0: ${N_RANGE}`],
    [() => roughpi.nthPrime(-3n), RangeError, `n = -3: ${N_RANGE}`],
    [() => roughpi.nthPrime('-5'), RangeError, `'-5': ${N_RANGE}`],
    [() => roughpi.nthPrime('3e17'), RangeError, `'300000000000000000': ${N_RANGE}`],
    [
        () => roughpi.nthPrime(216289611853439385n),
        RangeError,
        'n = 216289611853439385 is above the largest supported value, 216289611853439384 (the number of primes up to 2^63 - 1)',
    ],
    [
        () => roughpi.primePiSync(10n ** 12n + 1n),
        RangeError,
        `x = 1000000000001: primePiSync counts x up to 1000000000000 (10^12); primePi counts every x up to ${MAX}`,
    ],
    [() => roughpi.primePiSync('1e13'), RangeError, /^'1e13': primePiSync counts x up to 1000000000000/],
    [() => roughpi.li(1), RangeError, `x = 1: x must be from 2 to ${MAX}`],
    [() => roughpi.riemannR('1'), RangeError, `'1': x must be from 2 to ${MAX}`],
    [
        () => roughpi.liInverse(216289611941014693n),
        RangeError,
        'y = 216289611941014693 is above the largest supported value, 216289611941014692, so that the x with li(x) = y stays below 2^63',
    ],
    [
        () => roughpi.riemannRInverse(1n),
        RangeError,
        'y = 1: y must be from 2 to 216289611867888729, so that the x with R(x) = y stays below 2^63',
    ],
    [() => roughpi.primePi(10, { threads: 1.5 }), TypeError, 'threads must be an integer, not number 1.5'],
    [
        () => roughpi.primePi(10, { threads: 4097 }),
        RangeError,
        'threads = 4097: threads must be from 1 to 4096, or 0 for the default',
    ],
    [() => roughpi.primePi(10, { threads: -1 }), RangeError, /^threads = -1: /],
    [() => roughpi.primePi(10, { signal: {} }), TypeError, 'signal must be an AbortSignal, not an object'],
    [() => roughpi.primePi(10, { onProgress: 5 }), TypeError, 'onProgress must be a function, not number 5'],
    [() => roughpi.nthPrime(10, 'fast'), TypeError, 'options must be an object, not string fast'],
];

test('every refusal has its class and its message, and the async functions reject rather than throw', async () => {
    for (const [call, type, message] of refusals) {
        let promise;
        try {
            promise = call();
        } catch (error) {
            promise = Promise.reject(error);
            if (call.toString().includes('primePi(') || call.toString().includes('nthPrime('))
                assert.fail(`${call} threw instead of rejecting: ${error.message}`);
        }
        await assert.rejects(
            Promise.resolve(promise),
            (error) => {
                assert.equal(error.constructor, type, `${call}: ${error.message}`);
                if (typeof message === 'string') assert.equal(error.message, message);
                else assert.match(error.message, message);
                return true;
            },
            String(call),
        );
    }
});

test('pi(x) of a bigint or a number below 2 is 0, as in C and Python', async () => {
    for (const x of [-(2n ** 70n), -5n, -1, 0, 1n]) assert.equal(await roughpi.primePi(x), 0n);
    assert.equal(roughpi.primePiSync(-7), 0n);
});

// Numbers as the command line writes them, good and bad: the fuzzer's seeds,
// hand-picked edges, and random strings over the syntax's characters.
function syntaxSample() {
    const corpus = join(JS_ROOT, '..', 'tests', 'fuzz', 'corpus', 'parse_count');
    const texts = readdirSync(corpus).map((name) => readFileSync(join(corpus, name), 'utf8'));
    texts.push(
        '0',
        '1',
        '+0',
        '00',
        '2',
        '1e0',
        '1E3',
        '1.e3',
        '.5e1',
        '1.5',
        '1.5e',
        'e5',
        '^2',
        '2^',
        '2^^3',
        '1e18+1e9',
        '2^63-1',
        '2^63-2^32',
        '9223372036854775807',
        '9223372036854775808',
        '18446744073709551615',
        '18446744073709551616',
        '18446744073709551616-18446744073709551615',
        '2^64-18446744073709551615',
        '99999999999999999999^0',
        '0^99999999999999999999',
        '1^99999999999999999999',
        '0e99999999999999999999',
        '5e99999999999999999999',
        '2^63+0',
        '1e15-2.5e3',
        '2.50e1',
        '25.0e0',
        '0.000001e21',
        '1-2',
        '3-3',
        '5+-3',
        '1e2e3',
        '++5',
        '-0',
        '+',
        '-',
        '',
        ' 5',
        '5 ',
        '1,000',
        '0x10',
        '１２',
    );
    const random = seededRandom('syntax sample');
    const pieces = [
        '0',
        '1',
        '2',
        '5',
        '9',
        '10',
        '63',
        '99999999999999999999',
        'e',
        'E',
        '^',
        '.',
        '+',
        '-',
        '7',
        '00',
    ];
    for (let i = 0; i < 400; ++i) {
        let text = '';
        const length = Number(random.between(1n, 7n));
        for (let k = 0; k < length; ++k) text += random.pick(pieces);
        texts.push(text);
    }
    return [...new Set(texts)];
}

// The API's reading of `text` as the program reads it with `kind` (R(x),
// which takes every x from 2 and answers at once, or pi(x) as primePiSync
// counts it): its value, or its refusal as the program words it; null for an
// x that primePiSync leaves to primePi.
function asTheProgram(text, kind) {
    try {
        return { value: kind === '--riemann-r' ? roughpi.riemannR(text) : roughpi.primePiSync(text) };
    } catch (error) {
        if (!(error instanceof TypeError || error instanceof RangeError)) throw error;
        if (error.message.includes('primePiSync')) return null;
        // The program names the option before a number outside its range.
        const option = /^'[^']*': [a-z] must be from/.test(error.message) ? `${kind} ` : '';
        return { refusal: `roughpi: ${option}${error.message}` };
    }
}

test('numbers are read as the native program reads them, with its refusals word for word', async (t) => {
    const program = nativeProgram();
    if (program === null) return t.skip('the native roughpi is not built (build/cli/roughpi, or set ROUGHPI_NATIVE)');
    const texts = syntaxSample();
    for (const kind of ['--riemann-r', '']) {
        const readings = texts.map((text) => [text, asTheProgram(text, kind)]).filter(([, r]) => r !== null);
        const bad = readings.filter(([, r]) => r.refusal !== undefined);
        const good = readings.filter(([, r]) => r.value !== undefined);
        const args = (list) => [...(kind ? [kind] : []), '--', ...list.map(([text]) => text)];
        // The program reports every refusal, those of numbers outside the
        // range after the others: compared in order of text.
        const refused = runNative(program, args(bad));
        assert.equal(refused.status, 2);
        const messages = refused.stderr.split('\n').filter((line) => line.startsWith('roughpi: '));
        assert.deepEqual(messages.sort(), bad.map(([, r]) => r.refusal).sort(), `${kind || 'pi'}: the refusals`);
        const answered = runNative(program, args(good));
        assert.equal(answered.status, 0, answered.stderr);
        assert.deepEqual(
            answered.stdout.trim().split('\n').map(BigInt),
            good.map(([, r]) => r.value),
            `${kind || 'pi'}: the values`,
        );
    }
});
