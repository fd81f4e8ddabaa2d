// SPDX-License-Identifier: MIT
// What the Node tests share: the package as built in dist/, the known values
// of pi(x), the native program where it is built, and seeded random numbers.
import { spawnSync } from 'node:child_process';
import { existsSync, readFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

export const JS_ROOT = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const PROJECT_ROOT = resolve(JS_ROOT, '..');

if (!existsSync(join(JS_ROOT, 'dist', 'roughpi.mjs')))
    throw new Error('no package in js/dist: run npm run build first');
/** The package, as a user imports it. */
export const roughpi = await import(pathToFileURL(join(JS_ROOT, 'dist', 'roughpi.mjs')).href);

/**
 * Known values of pi(x) up to `max`, as [x, pi] bigints: from
 * $ROUGHPI_PI_VALUES, else the shared data beside the project, else the
 * project's own copy in tests/data.
 */
export function knownValues(max) {
    const candidates = [
        process.env.ROUGHPI_PI_VALUES,
        resolve(PROJECT_ROOT, '..', 'shared', 'data', 'pi_values.tsv'),
        join(PROJECT_ROOT, 'tests', 'data', 'pi_values.tsv'),
    ];
    const file = candidates.find((path) => path && existsSync(path));
    if (file === undefined) return [];
    return readFileSync(file, 'utf8')
        .split('\n')
        .slice(1)
        .filter((line) => /^\d+\t\d+$/.test(line.trim()))
        .map((line) => line.trim().split('\t').map(BigInt))
        .filter(([x]) => x <= max);
}

/**
 * The native `roughpi`: $ROUGHPI_NATIVE, or the program of the README's build
 * (build/cli/roughpi) or of the benchmark's (js/build-native-portable); null
 * where none is built.
 */
export function nativeProgram() {
    const candidates = [
        process.env.ROUGHPI_NATIVE,
        join(PROJECT_ROOT, 'build', 'cli', 'roughpi'),
        join(JS_ROOT, 'build-native-portable', 'cli', 'roughpi'),
    ];
    return candidates.find((path) => path && existsSync(path)) ?? null;
}

/** Runs the native program: { status, stdout, stderr }. */
export function runNative(program, args) {
    const result = spawnSync(program, args, { encoding: 'utf8', maxBuffer: 1 << 24 });
    if (result.error) throw result.error;
    return result;
}

/**
 * Random bigints from a seed: $ROUGHPI_JS_SEED, or a fresh one, printed so
 * that a failing run can be replayed.
 */
export function seededRandom(name) {
    const seed = Number(process.env.ROUGHPI_JS_SEED ?? 1 + Math.floor(Math.random() * 99999));
    console.log(`${name}: seed = ${seed} (replay with ROUGHPI_JS_SEED=${seed})`);
    let state = BigInt(seed);
    // splitmix64
    const next64 = () => {
        state = (state + 0x9e3779b97f4a7c15n) & 0xffffffffffffffffn;
        let z = state;
        z = ((z ^ (z >> 30n)) * 0xbf58476d1ce4e5b9n) & 0xffffffffffffffffn;
        z = ((z ^ (z >> 27n)) * 0x94d049bb133111ebn) & 0xffffffffffffffffn;
        return z ^ (z >> 31n);
    };
    return {
        seed,
        /** A bigint in [low, high], log-uniform when `logUniform`. */
        between(low, high, logUniform = false) {
            if (logUniform) {
                const u = Number(next64() >> 11n) / 2 ** 53;
                const value = BigInt(Math.floor(Number(low) * (Number(high) / Number(low)) ** u));
                return value < low ? low : value > high ? high : value;
            }
            return low + (next64() % (high - low + 1n));
        },
        /** One of `items`. */
        pick(items) {
            return items[Number(next64() % BigInt(items.length))];
        },
    };
}

/** The primes up to `limit` by the sieve of Eratosthenes: pi(x) for every x <= limit, the slow obvious way. */
export function sievedCounts(limit) {
    const composite = new Uint8Array(limit + 1);
    const counts = new Uint32Array(limit + 1);
    let count = 0;
    for (let i = 2; i <= limit; ++i) {
        if (!composite[i]) {
            ++count;
            for (let j = i * i; j <= limit; j += i) composite[j] = 1;
        }
        counts[i] = count;
    }
    return counts;
}
