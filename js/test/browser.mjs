// SPDX-License-Identifier: MIT
// What the browser tests share: Debian's Chromium (or $ROUGHPI_CHROMIUM),
// driven by playwright-core (a dev dependency, which downloads no browser),
// with a fresh profile, and the page served as npm run serve serves it.
import { existsSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { serve } from '../scripts/serve.mjs';

const CHROMIUM = process.env.ROUGHPI_CHROMIUM ?? '/usr/bin/chromium';
const FLAGS = [
    '--headless',
    '--no-sandbox',
    '--disable-gpu',
    '--disable-quic',
    '--no-first-run',
    '--disable-background-networking',
    '--disable-component-update',
    '--disable-sync',
];

/** Why the browser tests cannot run here, or null when they can. */
export async function missing() {
    if (!existsSync(CHROMIUM)) return `no Chromium at ${CHROMIUM} (Debian: apt-get install chromium)`;
    try {
        await import('playwright-core');
    } catch {
        return 'no playwright-core (run npm ci in js/)';
    }
    return null;
}

/**
 * Chromium with a fresh profile, and the page on two servers: one with the
 * headers that make it cross-origin isolated, one without. close() ends all.
 */
export async function startBrowser() {
    const { chromium } = await import('playwright-core');
    const profile = mkdtempSync(join(tmpdir(), 'roughpi-chromium-'));
    const context = await chromium.launchPersistentContext(profile, {
        executablePath: CHROMIUM,
        headless: true,
        args: FLAGS,
        viewport: { width: 960, height: 1000 },
    });
    const isolated = await serve({ port: 0 });
    const plain = await serve({ port: 0, isolated: false });
    const url = (server) => `http://127.0.0.1:${server.address().port}/`;
    return {
        context,
        isolatedUrl: url(isolated),
        plainUrl: url(plain),
        /** A new tab on `url`, once the page is ready; errors of its scripts fail the test that made it. */
        async open(pageUrl) {
            const page = await context.newPage();
            const errors = [];
            page.on('pageerror', (error) => errors.push(error));
            const response = await page.goto(pageUrl);
            await page.waitForSelector('body[data-ready="true"]', { timeout: 30000 });
            page.errors = errors;
            page.response = response;
            return page;
        },
        async close() {
            await context.close();
            isolated.close();
            plain.close();
            rmSync(profile, { recursive: true, force: true });
        },
    };
}

/** Types into the fields (those given), presses Count, and waits for the answer: #result's text. */
export async function countOnPage(page, { x, n, threads }) {
    if (threads !== undefined) await page.fill('#threads', String(threads));
    if (x !== undefined) await page.fill('#x', x);
    if (n !== undefined) await page.fill('#n', n);
    await page.click('#count');
    await page.waitForFunction(() => document.querySelector('#result').className !== 'counting', null, {
        timeout: 60000,
    });
    return page.textContent('#result');
}
