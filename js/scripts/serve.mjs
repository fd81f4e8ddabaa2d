// SPDX-License-Identifier: MIT
// npm run serve: the page of web/ and the package of dist/ on
// http://127.0.0.1:$PORT/ (PORT defaults to 8080), with the headers that make
// the page cross-origin isolated (Cross-Origin-Opener-Policy: same-origin,
// Cross-Origin-Embedder-Policy: require-corp). The page counts without them
// too: its workers share no memory.
//
// As a module, serve({ port, host, isolated }) starts the same server and
// resolves to it, for the browser tests (port 0: any free port; isolated
// false leaves the two headers out).
import { createReadStream } from 'node:fs';
import { stat } from 'node:fs/promises';
import { createServer } from 'node:http';
import { dirname, extname, join, resolve, sep } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '..');
// The folders served, and nothing outside them.
const SERVED = ['web', 'dist'];
const TYPES = {
    '.html': 'text/html; charset=utf-8',
    '.mjs': 'text/javascript; charset=utf-8',
    '.js': 'text/javascript; charset=utf-8',
    '.css': 'text/css; charset=utf-8',
    '.wasm': 'application/wasm',
    '.png': 'image/png',
    '.svg': 'image/svg+xml',
    '.ts': 'text/plain; charset=utf-8',
};
const ISOLATION = {
    'Cross-Origin-Opener-Policy': 'same-origin',
    'Cross-Origin-Embedder-Policy': 'require-corp',
};
const COMMON = {
    'Cross-Origin-Resource-Policy': 'same-origin',
    'X-Content-Type-Options': 'nosniff',
    'Cache-Control': 'no-cache',
};

// The file of a URL path, or null for one outside the served folders.
function fileOf(urlPath) {
    let path;
    try {
        path = decodeURIComponent(urlPath.split('?')[0]);
    } catch {
        return null;
    }
    if (path === '/' || path === '/web') path = '/web/';
    if (path.endsWith('/')) path += 'index.html';
    const file = resolve(join(root, path));
    return SERVED.some((folder) => file.startsWith(join(root, folder) + sep)) ? file : null;
}

async function answer(request, response, headers) {
    if (request.method !== 'GET' && request.method !== 'HEAD') {
        response.writeHead(405, { ...headers, Allow: 'GET, HEAD' }).end();
        return;
    }
    if (request.url === '/' || request.url === '/web') {
        response.writeHead(302, { ...headers, Location: '/web/' }).end();
        return;
    }
    const file = fileOf(request.url);
    const found = file !== null && (await stat(file).catch(() => null))?.isFile();
    if (!found) {
        response.writeHead(404, { ...headers, 'Content-Type': 'text/plain; charset=utf-8' }).end('not found\n');
        return;
    }
    response.writeHead(200, { ...headers, 'Content-Type': TYPES[extname(file)] ?? 'application/octet-stream' });
    if (request.method === 'HEAD') response.end();
    else createReadStream(file).pipe(response);
}

/** Starts the server; resolves to it once it listens. */
export function serve({ port = 8080, host = '127.0.0.1', isolated = true } = {}) {
    const headers = isolated ? { ...ISOLATION, ...COMMON } : COMMON;
    const server = createServer((request, response) => {
        answer(request, response, headers).catch(() => response.destroy());
    });
    return new Promise((resolvePromise, reject) => {
        server.once('error', reject);
        server.listen(port, host, () => resolvePromise(server));
    });
}

if (process.argv[1] && resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
    const text = process.env.PORT ?? '8080';
    const port = Number(text);
    if (!/^[0-9]+$/.test(text) || port < 1 || port > 65535) {
        console.error(`serve: PORT '${text}' is not a port from 1 to 65535`);
        process.exit(2);
    }
    serve({ port }).then(
        () => console.log(`serving the roughpi page on http://127.0.0.1:${port}/ (Ctrl-C stops)`),
        (error) => {
            console.error(`serve: cannot listen on 127.0.0.1:${port}: ${error.message}`);
            process.exit(1);
        },
    );
}
