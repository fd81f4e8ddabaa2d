// SPDX-License-Identifier: MIT
// The WebAssembly module and its instances. The module is compiled once per
// thread that loads the package, and handed to the workers, which each
// instantiate it: an instance is the library with its own memory (the wheel
// tables, a stack, the split of the count in hand), and shares nothing with
// the others.
import createRoughpiCore from './roughpi-core.mjs';

const WASM_URL = new URL('./roughpi-core.wasm', import.meta.url);
export const IN_NODE = typeof process === 'object' && typeof process.versions?.node === 'string';

/** Compiles roughpi-core.wasm, next to this file (read in Node, fetched in a browser). */
export async function compileCore() {
    if (IN_NODE && WASM_URL.protocol === 'file:') {
        const { readFile } = await import('node:fs/promises');
        return WebAssembly.compile(await readFile(WASM_URL));
    }
    const response = await fetch(WASM_URL);
    if (!response.ok) throw new Error(`roughpi: could not load ${WASM_URL}: ${response.status} ${response.statusText}`);
    if (
        typeof WebAssembly.compileStreaming === 'function' &&
        response.headers.get('content-type') === 'application/wasm'
    )
        return WebAssembly.compileStreaming(response);
    return WebAssembly.compile(await response.arrayBuffer());
}

/** The library in one instance of the compiled module. */
export class CoreInstance {
    static async create(module) {
        const glue = await createRoughpiCore({
            instantiateWasm(imports, receive) {
                WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module));
                return {};
            },
            print() {},
            printErr() {},
        });
        return new CoreInstance(glue);
    }

    constructor(glue) {
        this.glue = glue;
        this.wordCount = glue._rpjs_sums_words();
    }

    /** The library's reason for the last failed call. */
    lastError() {
        return this.glue.UTF8ToString(this.glue._roughpi_last_error());
    }

    // A value of the C interface, or the library's refusal as an Error.
    checked(value) {
        if (value < 0) throw new Error(this.lastError());
        return value;
    }

    version() {
        return this.glue.UTF8ToString(this.glue._roughpi_version());
    }
    /**
     * f(value) for a function of one int64 of the C interface (roughpi_pi,
     * roughpi_li, ..., rpjs_nth_prime_estimate), or its refusal as an Error.
     */
    call(name, value) {
        return this.checked(this.glue[`_${name}`](value));
    }
    /** p_n from pi(x) = piX: the sieve from x on, reporting its share done to onProgress. */
    nthPrimeFromCount(n, x, piX, onProgress) {
        this.glue.onProgress = onProgress;
        try {
            return this.checked(this.glue._rpjs_nth_prime_from_count(n, x, piX));
        } finally {
            this.glue.onProgress = undefined;
        }
    }

    /** The split of x, made in this instance (see split_count.cpp). */
    split(x) {
        const handle = this.glue._rpjs_split_new(x);
        if (handle === 0) throw new Error(this.lastError());
        return new Split(this, handle);
    }

    // The exchange buffer of one piece's sums, as words.
    exchange() {
        return new BigUint64Array(this.glue.HEAPU8.buffer, this.glue._rpjs_exchange_words(), this.wordCount);
    }

    /** { memory, heap }: bytes of linear memory, and of it handed out by the allocator. */
    memory() {
        return { memory: this.glue.HEAPU8.buffer.byteLength, heap: this.glue._rpjs_heap_in_use() };
    }
}

/** The pieces of one count in one instance. */
export class Split {
    constructor(core, handle) {
        this.core = core;
        this.handle = handle;
        this.size = core.glue._rpjs_split_size(handle);
    }
    cost(index) {
        return this.core.glue._rpjs_split_cost(this.handle, index);
    }
    /** Counts piece `index`; its sums as words. */
    countPiece(index) {
        this.core.checked(this.core.glue._rpjs_split_count_piece(this.handle, index));
        return this.core.exchange().slice();
    }
    /** Checks the sums of piece `index` (words from a worker) and adds them to the total. */
    addSums(index, words) {
        if (!(words instanceof BigUint64Array) || words.length !== this.core.wordCount)
            throw new Error(`roughpi: the sums of piece ${index} are not ${this.core.wordCount} words`);
        this.core.exchange().set(words);
        this.core.checked(this.core.glue._rpjs_split_add_sums(this.handle, index));
    }
    /** pi(x) from the sums added, checked against the whole split. */
    finish() {
        return this.core.checked(this.core.glue._rpjs_split_finish(this.handle));
    }
    free() {
        if (this.handle !== 0) this.core.glue._rpjs_split_free(this.handle);
        this.handle = 0;
    }
}
