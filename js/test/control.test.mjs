// SPDX-License-Identifier: MIT
// Running a count: a stop within a fraction of a second (AbortError, the
// workers ended), progress about ten times a second ending with 1, a
// progress that throws, the wasm memory the count takes, and workers started
// from a script of node -e.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';

import { roughpi } from './support.mjs';

// Starts `count(signal)`, aborts it after `after` ms, and returns how long
// the promise took to reject after the abort, checking it rejected with an
// AbortError whose cause is the reason given.
async function stopTime(count, after) {
    const controller = new AbortController();
    const promise = count(controller.signal);
    await sleep(after);
    const reason = new Error('enough');
    const stopped = performance.now();
    controller.abort(reason);
    await assert.rejects(promise, (error) => {
        assert.equal(error.name, 'AbortError');
        assert.ok(error instanceof DOMException);
        assert.equal(error.cause, reason);
        return true;
    });
    return performance.now() - stopped;
}

test('a count stops within a second of its abort, on every number of workers and in the sieve', async () => {
    for (const threads of [1, 2]) {
        const ms = await stopTime((signal) => roughpi.primePi(10n ** 16n, { threads, signal }), 400);
        assert.ok(ms < 1000, `pi(10^16) on ${threads} workers took ${ms} ms to stop`);
    }
    const ms = await stopTime((signal) => roughpi.nthPrime(10n ** 15n, { signal }), 400);
    assert.ok(ms < 1000, `p_(10^15) took ${ms} ms to stop`);
    // And the next count is right.
    assert.equal(await roughpi.primePi(10n ** 11n), 4118054813n);
});

test('an abort before the count is an AbortError at once', async () => {
    const controller = new AbortController();
    controller.abort();
    await assert.rejects(roughpi.primePi(10n ** 15n, { signal: controller.signal }), { name: 'AbortError' });
    await assert.rejects(roughpi.nthPrime(5, { signal: controller.signal }), { name: 'AbortError' });
});

test('progress comes about ten times a second, rises, and ends at 1', async () => {
    const shares = [];
    const started = performance.now();
    await roughpi.primePi(3n * 10n ** 13n, { threads: 1, onProgress: (share) => shares.push(share) });
    const seconds = (performance.now() - started) / 1000;
    assert.equal(shares.at(-1), 1);
    assert.ok(
        shares.every((share, i) => share >= 0 && share <= 1 && (i === 0 || share >= shares[i - 1])),
        String(shares),
    );
    assert.ok(
        shares.length >= 3 * seconds && shares.length <= 12 * seconds + 2,
        `${shares.length} calls in ${seconds} s`,
    );
    // A count on the calling thread reports once, at the end.
    const small = [];
    await roughpi.primePi(10n ** 9n, { onProgress: (share) => small.push(share) });
    assert.deepEqual(small, [1]);
    // The n-th prime: its count, then its sieve.
    const nth = [];
    await roughpi.nthPrime(10n ** 11n, { onProgress: (share) => nth.push(share) });
    assert.equal(nth.at(-1), 1);
});

test('a progress that throws stops the count, and its error is what the count rejects with', async () => {
    const failure = new Error('no more');
    await assert.rejects(
        roughpi.primePi(10n ** 16n, {
            onProgress: () => {
                throw failure;
            },
        }),
        (error) => error === failure,
    );
});

test('the wasm memory: a few MiB for the instances of a count, and back to the page alone after a stop', async () => {
    let during = null;
    await roughpi.primePi(10n ** 13n, { threads: 2, onProgress: () => (during ??= roughpi.memoryUsage()) });
    assert.ok(during !== null);
    assert.ok(during.instances >= 3, `${during.instances} instances`);
    assert.ok(during.memory >= 3 * 65536 && during.memory < 3 * 8 * 1048576, String(during.memory));
    assert.ok(during.heap <= during.memory && during.peak >= during.memory);
    // The workers of a stopped count are ended, not kept for the next one.
    await stopTime((signal) => roughpi.primePi(10n ** 16n, { threads: 2, signal }), 100);
    assert.equal(roughpi.memoryUsage().instances, 1);
});

test('workers start from a script given with node --input-type=module -e, whose option Node refuses to workers', () => {
    const script = `const r = await import(${JSON.stringify(new URL('../dist/roughpi.mjs', import.meta.url).href)});
        console.log(await r.primePi(10n ** 11n, { threads: 2 }));`;
    const run = spawnSync(process.execPath, ['--input-type=module', '-e', script], { encoding: 'utf8' });
    assert.equal(run.stdout.trim(), '4118054813n', run.stderr);
});
