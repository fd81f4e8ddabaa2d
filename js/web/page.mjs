// SPDX-License-Identifier: MIT
// The page: pi(x) for the x typed (or p_n for the n), counted on web
// workers, with li(x) and R(x) beside it, the counts at the powers of ten on
// the way drawn as they come in, the progress, a Stop button, and the wasm
// memory in use.
import * as roughpi from '../dist/roughpi.mjs';
import { parseCount, parseErrorMessage, Status } from '../dist/number_syntax.mjs';
import { Plot } from './plot.mjs';

const $ = (id) => document.getElementById(id);
const plot = new Plot($('plot'));
const counted = new Map(); // x -> pi(x), as far as this page has counted
let running = null; // the AbortController of the counts under way

// Numbers as the table shows them, in groups of three digits.
const grouped = (value) => value.toLocaleString('en-US');
const signed = (value) => (value > 0n ? '+' : value < 0n ? '\u2212' : '') + grouped(value < 0n ? -value : value);
const mebibytes = (bytes) =>
    bytes < 1048576 ? `${Math.round(bytes / 1024)} KiB` : `${(bytes / 1048576).toFixed(1)} MiB`;
const superscript = (k) =>
    String(k).replace(/[0-9]/g, (d) => '\u2070\u00b9\u00b2\u00b3\u2074\u2075\u2076\u2077\u2078\u2079'[d]);
// x as the page names it: 10^k written so, anything else in digits.
function named(x) {
    const digits = String(x);
    return /^10*$/.test(digits) && digits.length > 1 ? `10${superscript(digits.length - 1)}` : digits;
}

function showMemory() {
    const usage = roughpi.memoryUsage();
    const instances =
        usage.instances === 1
            ? '1 instance (the page\u2019s)'
            : `${usage.instances} instances (the page\u2019s and its workers\u2019)`;
    $('memory').textContent =
        `wasm memory in use: ${mebibytes(usage.memory)} in ${instances}, ${mebibytes(usage.heap)} of it allocated; ` +
        `the most at once: ${mebibytes(usage.peak)}`;
}

function showWorkers(threads) {
    const cpus = roughpi.defaultThreads();
    const isolated = globalThis.crossOriginIsolated ? 'cross-origin isolated' : 'not cross-origin isolated (no need)';
    $('workers').textContent =
        `${threads === 1 ? '1 web worker counts' : `${threads} web workers count`} and one more checks, ` +
        `each with a wasm instance of its ` +
        `own; ${cpus} logical CPU${cpus === 1 ? '' : 's'}; ${isolated}`;
}

// The refusal of a field, beside it and as the result.
function refuse(field, error) {
    $(`${field}-refusal`).textContent = error.message;
    $('result').textContent = error.message;
    $('result').className = 'refused';
}

function setBusy(busy) {
    $('count').disabled = busy;
    $('stop').disabled = !busy;
    document.body.classList.toggle('busy', busy);
}

// li(x), R(x) and x / ln x, and their differences from pi(x) once it is known.
function showEstimates(x, pi) {
    const rows = [
        ['li', () => roughpi.li(x)],
        ['r', () => roughpi.riemannR(x)],
        ['x-log', () => BigInt(Math.floor(Number(x) / Math.log(Number(x))))],
    ];
    for (const [id, estimate] of rows) {
        const value = x >= 2n ? estimate() : null;
        $(id).textContent = value === null ? '\u2013' : grouped(value);
        $(`${id}-difference`).textContent = value === null || pi === null ? '' : signed(value - pi);
    }
}

// The counts to make for the plot and the answer: the powers of ten below x
// that this page has not counted, then x.
function countsFor(x) {
    const list = [];
    for (let power = 10n; power < x; power *= 10n) if (!counted.has(power)) list.push(power);
    list.push(x);
    return list;
}

// The estimated time of a count, for the progress over several: about 6.5
// times as long for each tenfold x.
const weight = (x) => (x < 10n ** 10n ? 0 : Number(x) ** 0.81);

async function countX(text, threads, signal) {
    const reading = parseCount(text);
    if (reading.status !== Status.ok) {
        refuse('x', new RangeError(parseErrorMessage(text, reading.status)));
        return;
    }
    const x = reading.value;
    $('question').textContent = 'π(x)';
    $('difference-head').textContent = 'minus π(x)';
    showEstimates(x, null);
    plot.setRange(x);
    for (const [at, pi] of counted) if (at <= x) plot.add(at, pi);
    plot.draw();

    const list = countsFor(x);
    const total = list.reduce((sum, at) => sum + weight(at), 0) || 1;
    let before = 0;
    for (const [i, at] of list.entries()) {
        $('progress-text').textContent = `counting π(${named(at)}), ${i + 1} of ${list.length}`;
        const started = performance.now();
        const pi = await roughpi.primePi(at, {
            threads,
            signal,
            onProgress: (share) => {
                $('progress').value = (before + weight(at) * share) / total;
                showMemory();
            },
        });
        const seconds = (performance.now() - started) / 1000;
        counted.set(at, pi);
        plot.add(at, pi);
        plot.draw();
        before += weight(at);
        if (at === x) {
            $('result').textContent = String(pi);
            $('result').className = 'counted';
            $('time').textContent = `in ${seconds.toFixed(3)} s on ${threads} worker${threads === 1 ? '' : 's'}`;
            showEstimates(x, pi);
        }
    }
}

async function countN(text, threads, signal) {
    $('question').textContent = 'p\u2099';
    $('difference-head').textContent = 'minus n';
    $('progress-text').textContent = 'counting π at an estimate of pₙ, then sieving to it';
    const started = performance.now();
    let p;
    try {
        p = await roughpi.nthPrime(text, {
            threads,
            signal,
            onProgress: (share) => {
                $('progress').value = share;
                showMemory();
            },
        });
    } catch (error) {
        if (error instanceof TypeError || error instanceof RangeError) return refuse('n', error);
        throw error;
    }
    const n = parseCount(text).value; // read as nthPrime read it
    const seconds = (performance.now() - started) / 1000;
    $('result').textContent = String(p);
    $('result').className = 'counted';
    $('time').textContent = `in ${seconds.toFixed(3)} s on ${threads} worker${threads === 1 ? '' : 's'}`;
    counted.set(p, n);
    showEstimates(p, n);
    plot.setRange(p);
    for (const [at, pi] of counted) if (at <= p) plot.add(at, pi);
    plot.draw();
}

async function count() {
    if (running !== null) return;
    $('x-refusal').textContent = '';
    $('n-refusal').textContent = '';
    const threads = Number($('threads').value) || roughpi.defaultThreads();
    showWorkers(threads);
    running = new AbortController();
    const started = performance.now();
    setBusy(true);
    $('result').textContent = 'counting\u2026';
    $('result').className = 'counting';
    $('time').textContent = '';
    $('progress').value = 0;
    try {
        const n = $('n').value.trim();
        if ($('x').value.trim() === '' && n !== '') await countN(n, threads, running.signal);
        else await countX($('x').value.trim(), threads, running.signal);
        $('progress').value = $('result').className === 'counted' ? 1 : 0;
        $('progress-text').textContent = '';
    } catch (error) {
        if (error.name === 'AbortError') {
            $('result').textContent = 'stopped';
            $('result').className = 'stopped';
            $('time').textContent = `after ${((performance.now() - started) / 1000).toFixed(3)} s`;
            $('progress-text').textContent = 'stopped';
        } else {
            $('result').textContent = error.message;
            $('result').className = 'failed';
        }
    } finally {
        running = null;
        setBusy(false);
        showMemory();
    }
}

$('ask').addEventListener('submit', (event) => {
    event.preventDefault();
    count();
});
$('stop').addEventListener('click', () => running?.abort());
// One field at a time: typing into one empties the other.
$('x').addEventListener('input', () => {
    $('n').value = '';
    $('x-refusal').textContent = '';
});
$('n').addEventListener('input', () => {
    $('x').value = '';
    $('n-refusal').textContent = '';
});
$('threads').max = String(Math.max(64, roughpi.defaultThreads()));
$('threads').value = String(roughpi.defaultThreads());
showWorkers(roughpi.defaultThreads());
showMemory();
plot.setRange(10n ** 12n);
plot.draw();
document.body.dataset.ready = 'true';
