// SPDX-License-Identifier: MIT
// roughpi for JavaScript: pi(x) exactly for every x up to 2^63 - 1, the n-th
// prime, and the estimates li(x) and R(x).

/**
 * A whole number: a bigint, a safe-integer number, or a string in the
 * command line's syntax ("1000", "1e15", "2.5e3", "10^15", "2^63-1", "1e18+1e9").
 * Anything else is a TypeError; a number beyond the range a RangeError that
 * says the range.
 */
export type Integer = bigint | number | string;

export interface CountOptions {
    /** Workers to count on, 1 to 4096; by default (or 0) one per logical CPU (defaultThreads()). */
    threads?: number;
    /** Stops the count within a fraction of a second: the promise rejects with an AbortError (a DOMException). */
    signal?: AbortSignal;
    /** Called about ten times a second with the share of the work done (0 to 1), and with 1 at the end. If it throws, the count stops and the promise rejects with its error. */
    onProgress?: (share: number) => void;
}

export interface MemoryUsage {
    /** The wasm instances alive: the caller's, and one per worker of the counts under way. */
    instances: number;
    /** Bytes of their linear memory. */
    memory: number;
    /** Bytes of it that their allocators have handed out. */
    heap: number;
    /** The most linear memory seen at once, in bytes. */
    peak: number;
}

/** 2^63 - 1, the largest x. */
export const MAX_X: bigint;
/** pi(2^63 - 1) = 216289611853439384, the largest n of nthPrime. */
export const MAX_N: bigint;
/** The most workers a count takes, 4096. */
export const MAX_THREADS: number;
/** The library's version, e.g. "0.3.0". */
export const version: string;

/** pi(x), the number of primes p <= x (0 for every x < 2), for x up to 2^63 - 1. */
export function primePi(x: Integer, options?: CountOptions): Promise<bigint>;
/** p_n, the n-th prime (p_1 = 2), for 1 <= n <= MAX_N. */
export function nthPrime(n: Integer, options?: CountOptions): Promise<bigint>;
/** pi(x) on the calling thread, for x up to 10^12 (tens of milliseconds at most); a RangeError above. */
export function primePiSync(x: Integer): bigint;

/** li(x), the logarithmic integral, rounded down, for 2 <= x <= 2^63 - 1. */
export function li(x: Integer): bigint;
/** The x with li(x) = y, rounded down, for 2 <= y <= li(2^63 - 1). */
export function liInverse(y: Integer): bigint;
/** Riemann's R(x), rounded down, for 2 <= x <= 2^63 - 1. */
export function riemannR(x: Integer): bigint;
/** The x with R(x) = y, rounded down, for 2 <= y <= R(2^63 - 1). */
export function riemannRInverse(y: Integer): bigint;

/** The workers a count takes by default: os.availableParallelism() in Node, navigator.hardwareConcurrency in a browser. */
export function defaultThreads(): number;
/** The wasm memory of the instances alive now. */
export function memoryUsage(): MemoryUsage;
