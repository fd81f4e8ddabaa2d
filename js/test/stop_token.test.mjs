// SPDX-License-Identifier: MIT
// The <stop_token> of core/compat, which Emscripten's standard library
// lacks, checked in WebAssembly (test/stop_token_check.cpp, built with the
// module by npm run build).
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { existsSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { test } from 'node:test';

import { JS_ROOT } from './support.mjs';

const check = join(resolve(JS_ROOT, process.env.ROUGHPI_JS_BUILD ?? 'build-wasm'), 'stop_token_check.cjs');

test(
    'the compat <stop_token> requests, calls back and deregisters as the standard says',
    { skip: existsSync(check) ? false : `no ${check}: run npm run build` },
    () => {
        const run = spawnSync(process.execPath, [check], { encoding: 'utf8' });
        assert.equal(run.status, 0, run.stdout + run.stderr);
        assert.match(run.stdout, /every check holds/);
    },
);
