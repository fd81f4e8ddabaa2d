// SPDX-License-Identifier: MIT
// roughpi for JavaScript: pi(x) exactly for every x up to 2^63 - 1, the n-th
// prime, and the estimates li(x) and R(x), from the C++ library compiled to
// WebAssembly; the counts on workers (workers.mjs), the page never frozen.
//
// Numbers are bigints, safe-integer numbers, or strings in the command
// line's syntax ("1e15", "2^63-1"); what is not a number the library can
// take is refused with a TypeError or a RangeError that says the range.
import { compileCore, CoreInstance, IN_NODE } from './wasm_instance.mjs';
import { parseCount, parseErrorMessage, printable, Status } from './number_syntax.mjs';
import { abortError, memoryUsage as usageOf, withWorkers } from './workers.mjs';

/** 2^63 - 1, the largest x. */
export const MAX_X = (1n << 63n) - 1n;
/** pi(2^63 - 1), the largest n of nthPrime. */
export const MAX_N = 216289611853439384n;
/** The most workers a count takes. */
export const MAX_THREADS = 4096;

// Below this a count takes milliseconds: it runs on the calling thread.
const PARALLEL_FROM = 10n ** 10n;
// primePiSync counts up to here, in tens of milliseconds at most.
const SYNC_LIMIT = 10n ** 12n;
// The share of nthPrime's progress that its count at the estimate takes.
const NTH_PRIME_COUNT_SHARE = 0.95;

const module = await compileCore();
const core = await CoreInstance.create(module);
const os = IN_NODE ? await import('node:os') : null;

/** The library's version, e.g. "0.3.0". */
export const version = core.version();

const NTH_WHY = ' (the number of primes up to 2^63 - 1)';
const RANGES = {
    x: { name: 'x', least: null, largest: MAX_X, why: '' },
    n: { name: 'n', least: 1n, largest: MAX_N, why: NTH_WHY },
    estimateX: { name: 'x', least: 2n, largest: MAX_X, why: '' },
    liY: {
        name: 'y',
        least: 2n,
        largest: core.call('roughpi_li', MAX_X),
        why: ', so that the x with li(x) = y stays below 2^63',
    },
    rY: {
        name: 'y',
        least: 2n,
        largest: core.call('roughpi_riemann_r', MAX_X),
        why: ', so that the x with R(x) = y stays below 2^63',
    },
};

function describe(value) {
    if (value === null) return 'null';
    if (Array.isArray(value)) return 'an array';
    if (typeof value === 'function') return 'a function';
    return typeof value === 'object' ? 'an object' : `${typeof value} ${String(value)}`;
}

// `value` as a bigint within `range`, or the refusal. A string is read as
// the command line reads its numbers, and refused in its words; pi(x) of a
// bigint or a number below 2 is 0 (range.least null), as in C and Python.
function integerArgument(value, range) {
    const { name, least, largest, why } = range;
    const outside = (shown) => new RangeError(`${shown}: ${name} must be from ${least} to ${largest}${why}`);
    if (typeof value === 'string') {
        const reading = parseCount(value);
        if (reading.status === Status.notANumber || reading.status === Status.notWhole)
            throw new TypeError(parseErrorMessage(value, reading.status));
        const outOfRange = reading.status === Status.negative || reading.status === Status.tooLarge;
        if (outOfRange && least !== null) throw outside(`'${printable(value)}'`);
        if (reading.status !== Status.ok) throw new RangeError(parseErrorMessage(value, reading.status));
        if (least !== null && (reading.value < least || reading.value > largest)) throw outside(`'${reading.value}'`);
        return reading.value;
    }
    let integer;
    if (typeof value === 'bigint') {
        integer = value;
    } else if (typeof value === 'number') {
        if (!Number.isInteger(value)) throw new TypeError(`${name} = ${value} is not an integer`);
        if (!Number.isSafeInteger(value))
            throw new RangeError(
                `${name} = ${value} is not a safe integer: a number must be from ${-Number.MAX_SAFE_INTEGER} ` +
                    `to ${Number.MAX_SAFE_INTEGER}; give a bigint or a string for more`,
            );
        integer = BigInt(value);
    } else {
        throw new TypeError(
            `${name} must be a bigint, a safe integer number or a string such as "1e15", not ${describe(value)}`,
        );
    }
    if (integer > largest)
        throw new RangeError(`${name} = ${integer} is above the largest supported value, ${largest}${why}`);
    if (least !== null && integer < least) throw outside(`${name} = ${integer}`);
    return integer;
}

/** The workers a count takes by default: the logical CPUs the platform reports. */
export function defaultThreads() {
    if (os !== null) return Math.max(1, os.availableParallelism?.() ?? os.cpus().length);
    return Math.max(1, Math.min(MAX_THREADS, globalThis.navigator?.hardwareConcurrency ?? 1));
}

function countOptions(options) {
    if (options === undefined || options === null) options = {};
    if (typeof options !== 'object') throw new TypeError(`options must be an object, not ${describe(options)}`);
    const { threads, signal, onProgress } = options;
    let workers = defaultThreads();
    if (threads !== undefined && threads !== null && threads !== 0) {
        if (!Number.isInteger(threads)) throw new TypeError(`threads must be an integer, not ${describe(threads)}`);
        if (threads < 0 || threads > MAX_THREADS)
            throw new RangeError(
                `threads = ${threads}: threads must be from 1 to ${MAX_THREADS}, or 0 for the default`,
            );
        workers = threads;
    }
    if (signal !== undefined && signal !== null) {
        if (typeof signal !== 'object' || typeof signal.addEventListener !== 'function' || !('aborted' in signal))
            throw new TypeError(`signal must be an AbortSignal, not ${describe(signal)}`);
        if (signal.aborted) throw abortError(signal);
    }
    if (onProgress !== undefined && onProgress !== null && typeof onProgress !== 'function')
        throw new TypeError(`onProgress must be a function, not ${describe(onProgress)}`);
    return { module, threads: workers, signal: signal ?? undefined, onProgress: onProgress ?? undefined };
}

// A count on one worker that nobody watches or may stop runs whole, as the
// library runs such a count on one thread: without the pieces' split and
// their messages, a tenth quicker, and checked against the proven bounds as
// every count is.
function whole(opts) {
    return opts.threads === 1 && opts.onProgress === undefined && opts.signal === undefined;
}

/**
 * pi(x), the number of primes p <= x: a promise of a bigint. The count runs
 * on options.threads workers (by default one per logical CPU), and stops,
 * rejecting with an AbortError, when options.signal is aborted;
 * options.onProgress(share) is called about ten times a second with the
 * share of the work done, and with 1 at the end.
 */
export async function primePi(x, options) {
    const value = integerArgument(x, RANGES.x);
    const opts = countOptions(options);
    if (value < PARALLEL_FROM) {
        const pi = value < 2n ? 0n : core.call('roughpi_pi', value);
        opts.onProgress?.(1);
        return pi;
    }
    return withWorkers(opts, async (session) => {
        if (whole(opts)) return session.whole('roughpi_pi', value);
        const pi = await session.countPi(value);
        opts.onProgress?.(1);
        return pi;
    });
}

/**
 * p_n, the n-th prime (p_1 = 2), for 1 <= n <= MAX_N: pi(x) counted on the
 * workers at an estimate x of p_n, then a sieve from x to p_n on one of
 * them. Options as for primePi.
 */
export async function nthPrime(n, options) {
    const value = integerArgument(n, RANGES.n);
    const opts = countOptions(options);
    const x = core.call('rpjs_nth_prime_estimate', value);
    if (x < PARALLEL_FROM) {
        const p = core.call('roughpi_nth_prime', value);
        opts.onProgress?.(1);
        return p;
    }
    return withWorkers(opts, async (session) => {
        if (whole(opts)) return session.whole('roughpi_nth_prime', value);
        const piX = await session.countPi(x, 0, NTH_PRIME_COUNT_SHARE);
        const p = await session.sieve(value, x, piX, NTH_PRIME_COUNT_SHARE, 1 - NTH_PRIME_COUNT_SHARE);
        opts.onProgress?.(1);
        return p;
    });
}

/** pi(x) on the calling thread, for x up to 10^12 (tens of milliseconds at most). */
export function primePiSync(x) {
    const value = integerArgument(x, RANGES.x);
    if (value > SYNC_LIMIT) {
        const shown = typeof x === 'string' ? `'${printable(x)}'` : `x = ${value}`;
        throw new RangeError(
            `${shown}: primePiSync counts x up to ${SYNC_LIMIT} (10^12); primePi counts every x up to ${MAX_X}`,
        );
    }
    return value < 2n ? 0n : core.call('roughpi_pi', value);
}

/** li(x), the logarithmic integral, rounded down, for 2 <= x <= 2^63 - 1. */
export function li(x) {
    return core.call('roughpi_li', integerArgument(x, RANGES.estimateX));
}
/** The x with li(x) = y, rounded down, for 2 <= y <= li(2^63 - 1). */
export function liInverse(y) {
    return core.call('roughpi_li_inverse', integerArgument(y, RANGES.liY));
}
/** Riemann's R(x), rounded down, for 2 <= x <= 2^63 - 1. */
export function riemannR(x) {
    return core.call('roughpi_riemann_r', integerArgument(x, RANGES.estimateX));
}
/** The x with R(x) = y, rounded down, for 2 <= y <= R(2^63 - 1). */
export function riemannRInverse(y) {
    return core.call('roughpi_riemann_r_inverse', integerArgument(y, RANGES.rY));
}

/**
 * The wasm memory of the instances alive now (the caller's and the workers'
 * of the counts under way): { instances, memory, heap, peak }, in bytes:
 * their linear memory, what their allocators have handed out of it, and the
 * most linear memory seen at once.
 */
export function memoryUsage() {
    return usageOf(core);
}
