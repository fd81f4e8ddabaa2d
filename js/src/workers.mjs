// SPDX-License-Identifier: MIT
// A count shared out among workers: web workers in a browser, worker threads
// in Node, each with a WebAssembly instance of its own. They share no memory,
// so this works on every page, cross-origin isolated or not, and in Node
// without flags.
//
// pi(x): every worker makes the split of x in its own instance (the split
// depends on x alone). One of them, the checker, counts nothing: it gives
// the pieces' estimated costs, and the caller hands out the pieces by index,
// largest first, in batches (a large piece alone, the small ones of the
// tail together, so that a message carries at least a share of the work),
// two batches at a time to each of the others, which count them and send
// back their sums as words. The checker checks each piece's sums
// against its own piece of that index and adds them up, and pi(x) comes only
// from sums that hold the whole split, checked against it
// (split_count.cpp). The caller's thread runs none of this: making a split
// takes a hundredth of a count, which at 2^63 - 1 is seconds, and a page
// must not freeze for it.
//
// A stop (the AbortSignal) ends the workers at once: a worker in the middle
// of a piece is terminated, which a thread of the library could not be, and
// nothing of the count is kept. Workers that finish a count wait a while
// for the next one, which then starts without starting workers.
import { IN_NODE } from './wasm_instance.mjs';

const WORKER_URL = new URL('./worker.mjs', import.meta.url);
const NodeWorker = IN_NODE ? (await import('node:worker_threads')).Worker : null;

// Batches a worker holds at once: the one it counts and the next, so that
// it never waits for the caller between two.
const IN_FLIGHT = 2;
// A batch takes pieces until it holds this share of the work that each
// counting worker has to do, or a piece alone where that is larger: a count
// at 10^14 has about 3000 pieces, most of them tiny, and a message for each
// cost a tenth of the count's time on two workers.
const BATCH_SHARE = 1 / 64;
// How often onProgress is called.
const PROGRESS_EVERY_MS = 100;

// Workers left from earlier counts, ready, that the next ones take before
// they start new ones; each goes after IDLE_MS without work. In Node they
// keep no process alive while they wait.
const idle = [];
const IDLE_MS = 10000;
// The wasm memory of the instances alive: the caller's, and each worker's as
// it last told it.
const liveWorkers = new Set();
let peakMemory = 0;

/** { instances, memory, heap, peak }: bytes of wasm memory of the instances alive, and the most seen. */
export function memoryUsage(core) {
    const usage = { instances: 1, ...core.memory() };
    for (const worker of liveWorkers) {
        usage.instances += 1;
        usage.memory += worker.memory;
        usage.heap += worker.heap;
    }
    peakMemory = Math.max(peakMemory, usage.memory);
    return { ...usage, peak: peakMemory };
}

/** An AbortError, as fetch and Node reject with, with the signal's reason as its cause. */
export function abortError(signal) {
    const error = new DOMException('roughpi: the count was cancelled', 'AbortError');
    if (signal?.reason !== undefined) Object.defineProperty(error, 'cause', { value: signal.reason });
    return error;
}

// One worker: a web worker, or a Node worker thread. It serves one session
// at a time; between them it waits in `idle`.
class WorkerHandle {
    constructor(module) {
        this.session = null;
        this.memory = 0;
        this.heap = 0;
        this.onAnswer = () => {};
        const receive = (message) => this.receive(message);
        const fail = (error) => this.fail(error);
        if (NodeWorker !== null) {
            // The worker takes the process's options, but for --input-type,
            // which Node refuses for a worker that runs a file.
            const execArgv = process.execArgv.filter((option) => !option.startsWith('--input-type'));
            this.worker = new NodeWorker(WORKER_URL, { execArgv });
            this.worker.on('message', receive);
            this.worker.on('error', fail);
            this.worker.on('exit', (code) => fail(new Error(`roughpi: a worker stopped (exit code ${code})`)));
        } else {
            this.worker = new Worker(WORKER_URL, { type: 'module' });
            this.worker.onmessage = (event) => receive(event.data);
            this.worker.onerror = (event) => fail(new Error(`roughpi: a worker failed: ${event.message ?? event}`));
            this.worker.onmessageerror = () => fail(new Error('roughpi: a message from a worker could not be read'));
        }
        liveWorkers.add(this);
        this.post({ type: 'init', module });
    }

    post(message) {
        this.worker.postMessage(message);
    }

    receive(message) {
        if (message.memory !== undefined) {
            this.memory = message.memory;
            this.heap = message.heap;
        }
        if (message.type === 'error') this.fail(new Error(message.message));
        else if (this.session !== null) this.session.guard(() => this.onAnswer(message));
    }

    fail(error) {
        if (this.session !== null) this.session.fail(error);
        else this.terminate(); // an idle worker that failed is dropped
    }

    // Serves `session` from now on; in Node, keeps the process alive while it does.
    adopt(session) {
        clearTimeout(this.idleTimer);
        const at = idle.indexOf(this);
        if (at >= 0) idle.splice(at, 1);
        this.session = session;
        this.worker.ref?.();
    }

    // Waits in `idle` for the next session, IDLE_MS at most.
    release() {
        this.session = null;
        this.onAnswer = () => {};
        this.worker.unref?.();
        this.idleTimer = setTimeout(() => this.terminate(), IDLE_MS);
        this.idleTimer.unref?.();
        idle.push(this);
    }

    terminate() {
        clearTimeout(this.idleTimer);
        const at = idle.indexOf(this);
        if (at >= 0) idle.splice(at, 1);
        liveWorkers.delete(this);
        if (NodeWorker !== null) this.worker.removeAllListeners('exit');
        this.worker.terminate();
    }
}

/**
 * Runs task(session) with workers that session.countPi and session.sieve
 * start as they need them, and ends them, whatever happens.
 */
export async function withWorkers({ module, threads, signal, onProgress }, task) {
    const session = new Session(module, threads, signal, onProgress);
    try {
        return await session.guarded(task(session));
    } finally {
        session.close();
    }
}

class Session {
    constructor(module, threads, signal, onProgress) {
        this.module = module;
        this.threads = threads;
        this.signal = signal;
        this.onProgress = onProgress;
        this.workers = [];
        this.share = 0;
        this.failure = null;
        this.failed = new Promise((_, reject) => (this.rejectFailed = reject));
        this.failed.catch(() => {});
        this.abort = () => this.fail(abortError(signal));
        signal?.addEventListener('abort', this.abort);
        if (onProgress) this.timer = setInterval(() => this.guard(() => onProgress(this.share)), PROGRESS_EVERY_MS);
    }

    // The first failure (a stop, a worker's error, a throwing onProgress)
    // ends the workers, and every promise of the session rejects with it.
    fail(error) {
        if (this.failure !== null) return;
        this.failure = error;
        this.close();
        this.rejectFailed(error);
    }
    guard(action) {
        try {
            action();
        } catch (error) {
            this.fail(error);
        }
    }
    // The promise, or the session's failure, whichever comes first.
    guarded(promise) {
        return Promise.race([promise, this.failed]);
    }

    // Ends the session: its workers wait for the next one, or, after a
    // failure, which may have left them in the middle of a piece, are ended.
    close() {
        clearInterval(this.timer);
        this.signal?.removeEventListener('abort', this.abort);
        for (const worker of this.workers) {
            if (this.failure === null) worker.release();
            else worker.terminate();
        }
        this.workers = [];
    }

    startWorkers(count) {
        if (this.failure !== null) throw this.failure;
        while (this.workers.length < count) {
            const worker = idle.at(-1) ?? new WorkerHandle(this.module);
            worker.adopt(this);
            this.workers.push(worker);
        }
    }

    /**
     * pi(x), x >= 10^10, from its pieces counted on the workers and checked
     * by another; the progress runs over [from, from + span) of the whole.
     */
    async countPi(x, from = 0, span = 1) {
        this.startWorkers(this.threads + 1);
        const [checker, ...counters] = this.workers;
        for (const worker of counters) worker.post({ type: 'split', x });
        const { costs } = await this.ask(checker, { type: 'split', x, fresh: true }, 'split');
        const order = Array.from(costs.keys()).sort((a, b) => costs[b] - costs[a] || a - b);
        const total = costs.reduce((a, b) => a + b, 0);
        const batches = [];
        const least = (total / counters.length) * BATCH_SHARE;
        for (let i = 0; i < order.length; ) {
            const batch = [];
            let cost = 0;
            do {
                batch.push(order[i]);
                cost += costs[order[i++]];
            } while (i < order.length && cost < least);
            batches.push(batch);
        }
        let next = 0;
        let done = 0;
        let doneCost = 0;
        await this.guarded(
            new Promise((resolve) => {
                const give = (worker) => {
                    if (next < batches.length) worker.post({ type: 'pieces', x, indices: batches[next++] });
                };
                for (const worker of counters) {
                    worker.onAnswer = (message) => {
                        if (message.type !== 'pieces') return;
                        checker.post({ type: 'add', indices: message.indices, words: message.words });
                        for (const index of message.indices) doneCost += costs[index];
                        this.share = from + (span * doneCost) / total;
                        if (++done === batches.length) resolve();
                        else give(worker);
                    };
                    for (let k = 0; k < IN_FLIGHT; ++k) give(worker);
                }
            }),
        );
        return (await this.ask(checker, { type: 'finish' }, 'finished')).value;
    }

    // Sends `message` to `worker`, and resolves to its answer of `type`.
    ask(worker, message, type) {
        return this.guarded(
            new Promise((resolve) => {
                worker.onAnswer = (answer) => answer.type === type && resolve(answer);
                worker.post(message);
            }),
        );
    }

    /** name(value) of the C interface, whole, on one worker (roughpi_pi, roughpi_nth_prime). */
    async whole(name, value) {
        this.startWorkers(1);
        return (await this.ask(this.workers[0], { type: 'call', name, value }, 'called')).value;
    }

    /** p_n from pi(x) = piX: the sieve on one worker; progress over [from, from + span). */
    async sieve(n, x, piX, from = 0, span = 1) {
        this.startWorkers(1);
        const worker = this.workers[0];
        const answer = await this.guarded(
            new Promise((resolve) => {
                worker.onAnswer = (message) => {
                    if (message.type === 'progress') this.share = from + span * message.share;
                    else if (message.type === 'sieved') resolve(message);
                };
                worker.post({ type: 'sieve', n, x, piX });
            }),
        );
        return answer.value;
    }
}
