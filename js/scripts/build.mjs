// SPDX-License-Identifier: MIT
// npm run build: the WebAssembly module, built by roughpi's own CMake with
// Emscripten (Debian: apt-get install emscripten; no SDK is fetched), and
// the package in dist/: the module, its glue, and the sources of src/.
//
// Environment: ROUGHPI_JS_BUILD (the build folder, default build-wasm),
// CMAKE_BUILD_PARALLEL_LEVEL (default: the CPUs), ROUGHPI_JS_SIMD=ON to
// let the compiler use wasm SIMD (which pays nothing yet: doc/performance.md).
import { spawnSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdirSync, readdirSync, rmSync } from 'node:fs';
import { availableParallelism } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const build = resolve(here, process.env.ROUGHPI_JS_BUILD ?? 'build-wasm');
const dist = join(here, 'dist');

function fail(message) {
    console.error(`build: ${message}`);
    process.exit(1);
}

function run(command, args, env) {
    console.log(`build: ${command} ${args.join(' ')}`);
    const result = spawnSync(command, args, { stdio: 'inherit', env });
    if (result.error?.code === 'ENOENT')
        fail(`${command} not found: install Emscripten (Debian: apt-get install emscripten) and CMake`);
    if (result.status !== 0) fail(`${command} failed`);
}

// Debian's emcc runs on node and needs acorn, which Debian keeps in
// /usr/share/nodejs: a node from elsewhere (NodeSource, nvm) does not look there.
const env = { ...process.env };
if (existsSync('/usr/share/nodejs/acorn'))
    env.NODE_PATH = ['/usr/share/nodejs', env.NODE_PATH].filter(Boolean).join(':');
env.CMAKE_BUILD_PARALLEL_LEVEL ??= String(availableParallelism());

run(
    'emcmake',
    [
        'cmake',
        '-S',
        here,
        '-B',
        build,
        '-DCMAKE_BUILD_TYPE=Release',
        `-DROUGHPI_JS_SIMD=${process.env.ROUGHPI_JS_SIMD ?? 'OFF'}`,
    ],
    env,
);
run('cmake', ['--build', build, '--target', 'roughpi_wasm', 'stop_token_check'], env);

rmSync(dist, { recursive: true, force: true });
mkdirSync(dist);
for (const name of ['roughpi-core.mjs', 'roughpi-core.wasm']) copyFileSync(join(build, name), join(dist, name));
for (const name of readdirSync(join(here, 'src')))
    if (name.endsWith('.mjs') || name.endsWith('.d.ts')) copyFileSync(join(here, 'src', name), join(dist, name));
copyFileSync(join(here, '..', 'LICENSE'), join(dist, 'LICENSE'));
console.log(`build: the package is in ${dist}`);
