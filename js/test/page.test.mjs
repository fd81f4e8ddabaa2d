// SPDX-License-Identifier: MIT
// The page in a real browser (browser.mjs): the headers it is served with,
// a count as a person makes one, a stop within a second, the refusals beside
// the field, several workers against one, the page without cross-origin
// isolation, and a screenshot (test-output/page.png).
import assert from 'node:assert/strict';
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';

import { countOnPage, missing, startBrowser } from './browser.mjs';
import { JS_ROOT } from './support.mjs';

const why = await missing();
let browser;
let page; // the isolated page, shared by the tests in turn

before(async () => {
    if (why !== null) return;
    browser = await startBrowser();
    page = await browser.open(browser.isolatedUrl);
});
after(async () => {
    if (page) assert.deepEqual(page.errors.map(String), []);
    await browser?.close();
});

test('the page is cross-origin isolated and counts pi(10^12) as typed', { skip: why ?? false }, async () => {
    const headers = page.response.headers();
    assert.equal(headers['cross-origin-opener-policy'], 'same-origin');
    assert.equal(headers['cross-origin-embedder-policy'], 'require-corp');
    assert.equal(await page.evaluate(() => crossOriginIsolated), true);
    assert.equal(await countOnPage(page, { x: '10^12' }), '37607912018');
    assert.match(await page.textContent('#time'), /^in \d+\.\d{3} s on \d+ workers?$/);
    assert.equal(await page.evaluate(() => document.querySelector('#progress').value), 1);
    assert.equal(await page.textContent('#li'), '37,607,950,280');
    assert.equal(await page.textContent('#li-difference'), '+38,262');
    assert.equal(await page.textContent('#r-difference'), '\u22121,476');
    assert.match(await page.textContent('#memory'), /^wasm memory in use: [\d.]+ (MiB|KiB) in \d+ instances? /);
});

test('a count of 10^16 stops within a second of Stop', { skip: why ?? false }, async () => {
    await page.fill('#x', '1e16');
    await page.click('#count');
    await page.waitForFunction(() => document.querySelector('#progress').value > 0, null, { timeout: 30000 });
    const stopped = Date.now();
    await page.click('#stop');
    await page.waitForFunction(() => document.querySelector('#result').textContent === 'stopped', null, {
        timeout: 1000,
    });
    assert.ok(Date.now() - stopped < 1000);
    assert.equal(await page.isEnabled('#count'), true);
    assert.match(await page.textContent('#memory'), / in 1 instance /); // the workers ended
});

test('a bad x or n is refused beside its field, in the command line\u2019s words', { skip: why ?? false }, async () => {
    const refusals = [
        ['x', 'abc', "'abc' is not a number"],
        ['x', '1e19', "'1e19' is above the largest supported value, 9223372036854775807"],
        ['x', '-5', "'-5' is negative"],
        ['x', '2.55e1', "'2.55e1' is not a whole number"],
        ['n', '0', "'0': n must be from 1 to 216289611853439384 (the number of primes up to 2^63 - 1)"],
    ];
    for (const [field, text, message] of refusals) {
        assert.equal(await countOnPage(page, { [field]: text }), message);
        assert.equal(await page.textContent(`#${field}-refusal`), message);
    }
    await page.fill('#x', '1e9'); // typing clears the refusal
    assert.equal(await page.textContent('#x-refusal'), '');
});

test('a count on three workers gives what one gives, and p_n is found', { skip: why ?? false }, async () => {
    const one = await countOnPage(page, { x: '2e12', threads: 1 });
    assert.equal(one, '73301896139');
    assert.equal(await countOnPage(page, { x: '2e12', threads: 3 }), one);
    assert.match(await page.textContent('#time'), / on 3 workers$/);
    assert.equal(await countOnPage(page, { n: '1e9', threads: 2 }), '22801763489');
});

test('without cross-origin isolation the page counts on one worker and on two', { skip: why ?? false }, async () => {
    const plain = await browser.open(browser.plainUrl);
    try {
        assert.equal(plain.response.headers()['cross-origin-opener-policy'], undefined);
        assert.equal(await plain.evaluate(() => crossOriginIsolated), false);
        assert.equal(await countOnPage(plain, { x: '1e12', threads: 1 }), '37607912018');
        assert.equal(await countOnPage(plain, { x: '3e11', threads: 2 }), '11818439135');
        assert.deepEqual(plain.errors.map(String), []);
    } finally {
        await plain.close();
    }
});

test('a screenshot of the page after a count', { skip: why ?? false }, async () => {
    await countOnPage(page, { x: '1e13', threads: 2 });
    const folder = join(JS_ROOT, 'test-output');
    mkdirSync(folder, { recursive: true });
    const png = await page.screenshot({ path: join(folder, 'page.png'), fullPage: true });
    assert.deepEqual([...png.subarray(0, 8)], [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
    assert.ok(png.length > 20000, `${png.length} bytes`);
});
