// SPDX-License-Identifier: MIT
// npm run bench: primePi at 10^12, 10^13 and 10^14 on one worker and on
// every logical CPU, against the native program on the portable counting
// path (the same C++ compiled for this processor, plain scalar code as the
// WebAssembly is) on the same x in the same run, and the wasm memory that
// the count at 10^14 took.
//
// The native program is $ROUGHPI_NATIVE when set (a `roughpi` built with
// -DROUGHPI_PORTABLE_ONLY=ON), or else built here into build-native-portable/.
// Each time is the best of a few runs (BENCH_RUNS, default 3 at 10^12 and
// 10^13, 2 at 10^14): the wasm one includes starting the workers, the native
// one is the count alone, as `roughpi --time` reports it. ROUGHPI_JS_DIST
// benchmarks the package of another folder (another build of dist/).
import { spawnSync } from 'node:child_process';
import { existsSync } from 'node:fs';
import { availableParallelism, cpus, loadavg } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const here = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const dist = resolve(here, process.env.ROUGHPI_JS_DIST ?? 'dist');
if (!existsSync(join(dist, 'roughpi.mjs'))) {
    console.error(`bench: no package in ${dist}: run npm run build first`);
    process.exit(1);
}
const roughpi = await import(pathToFileURL(join(dist, 'roughpi.mjs')).href);
const EXPONENTS = [12, 13, 14];
const all = availableParallelism();

function fail(message) {
    console.error(`bench: ${message}`);
    process.exit(1);
}

function run(command, args, options = {}) {
    const result = spawnSync(command, args, { encoding: 'utf8', maxBuffer: 1 << 24, ...options });
    if (result.error?.code === 'ENOENT') fail(`${command} not found`);
    if (result.status !== 0) fail(`${command} ${args.join(' ')} failed:\n${result.stdout ?? ''}${result.stderr ?? ''}`);
    return result.stdout;
}

// The native roughpi on the portable path: given, or built here.
function nativeProgram() {
    if (process.env.ROUGHPI_NATIVE) return process.env.ROUGHPI_NATIVE;
    const build = join(here, 'build-native-portable');
    const program = join(build, 'cli', 'roughpi');
    console.log(`bench: building the native roughpi on the portable path in ${build} ...`);
    run('cmake', [
        '-S',
        join(here, '..'),
        '-B',
        build,
        '-DCMAKE_BUILD_TYPE=Release',
        '-DROUGHPI_PORTABLE_ONLY=ON',
        '-DROUGHPI_BUILD_TESTS=OFF',
        '-DROUGHPI_BUILD_PERF=OFF',
    ]);
    run('cmake', ['--build', build, '--target', 'roughpi', '--parallel', String(all)]);
    return program;
}

// Seconds of the native count of 10^e on `threads` threads, and its value.
function native(program, e, threads) {
    const out = run(program, ['--time', '--threads', String(threads), `1e${e}`]);
    const match = /^(\d+)\s+\((\d+\.\d+) s\)/.exec(out.trim());
    if (!match) fail(`unexpected output of ${program}: ${out}`);
    return { value: BigInt(match[1]), seconds: Number(match[2]) };
}

// Seconds of primePi(10^e) on `threads` workers, and its value.
async function wasm(e, threads) {
    const started = performance.now();
    const value = await roughpi.primePi(10n ** BigInt(e), { threads });
    return { value, seconds: (performance.now() - started) / 1000 };
}

// The most wasm memory that primePi(10^e) on `threads` workers takes, in a
// process of its own (so that no worker of another count is counted):
// sampled with the progress, ten times a second.
function wasmMemory(e, threads) {
    const script = `
        const roughpi = await import(${JSON.stringify(pathToFileURL(join(dist, 'roughpi.mjs')).href)});
        const most = { memory: 0, heap: 0, instances: 0 };
        const sample = () => {
            const usage = roughpi.memoryUsage();
            for (const key of Object.keys(most)) most[key] = Math.max(most[key], usage[key]);
        };
        await roughpi.primePi(10n ** ${e}n, { threads: ${threads}, onProgress: sample });
        console.log(JSON.stringify(most));`;
    return JSON.parse(run(process.execPath, ['--input-type=module', '-e', script]));
}

async function best(runs, measure) {
    let result = null;
    for (let i = 0; i < runs; ++i) {
        const next = await measure();
        if (result !== null && next.value !== result.value) fail(`two runs gave ${result.value} and ${next.value}`);
        if (result === null || next.seconds < result.seconds) result = next;
    }
    return result;
}

const program = nativeProgram();
const runsOf = (e) => Number(process.env.BENCH_RUNS ?? (e < 14 ? 3 : 2));
// Other work on the machine slows either side: the load is printed with the times.
const load = () =>
    loadavg()
        .map((l) => l.toFixed(2))
        .join(' ');
console.log(
    `bench: roughpi ${roughpi.version}, Node ${process.versions.node}, ${cpus()[0]?.model ?? 'unknown CPU'}, ` +
        `${all} logical CPUs; native ${program}; load average ${load()}`,
);
const rows = [];
for (const e of EXPONENTS) {
    const wasmOne = await best(runsOf(e), () => wasm(e, 1));
    const nativeOne = await best(runsOf(e), () => native(program, e, 1));
    const wasmAll = await best(runsOf(e), () => wasm(e, all));
    const nativeAll = await best(runsOf(e), () => native(program, e, all));
    for (const r of [nativeOne, wasmAll, nativeAll])
        if (r.value !== wasmOne.value) fail(`at 10^${e} the counts differ: ${wasmOne.value} and ${r.value}`);
    rows.push({ e, wasmOne, nativeOne, wasmAll, nativeAll });
    console.log(`bench: 10^${e} done; load average ${load()}`);
}
const memory = [1, all].map((threads) => ({ threads, ...wasmMemory(14, threads) }));

const s = (r) => r.seconds.toFixed(3).padStart(8);
const mib = (bytes) => `${(bytes / 1048576).toFixed(2)} MiB`;
console.log();
console.log(
    `| x     | wasm, 1 worker | native portable, 1 thread | wasm / native | wasm, ${all} workers | native portable, ${all} threads | wasm ${all} / wasm 1 |`,
);
console.log(
    '|-------|---------------:|--------------------------:|--------------:|----------------:|---------------------------:|-------------:|',
);
for (const { e, wasmOne, nativeOne, wasmAll, nativeAll } of rows)
    console.log(
        `| 10^${e} | ${s(wasmOne)} s | ${s(nativeOne)} s | ${(wasmOne.seconds / nativeOne.seconds).toFixed(2)} | ` +
            `${s(wasmAll)} s | ${s(nativeAll)} s | ${(wasmAll.seconds / wasmOne.seconds).toFixed(2)} |`,
    );
console.log();
console.log(
    `Targets: wasm on 1 worker within 1.5x of native portable; on ${all} workers within 1.2x of the time on 1 ` +
        `divided by ${all} (a ratio of ${(1.2 / all).toFixed(2)} in the last column).`,
);
for (const m of memory)
    console.log(
        `wasm memory of primePi(10^14) on ${m.threads} worker${m.threads === 1 ? '' : 's'}: ${mib(m.memory)} of ` +
            `linear memory at most, in ${m.instances} instances (the caller's and the workers'), ` +
            `${mib(m.heap)} of it allocated at most`,
    );
