// SPDX-License-Identifier: MIT
// What a worker does with the messages it is sent, one at a time, whatever
// carries them (worker.mjs: a web worker or a Node worker thread; workers.mjs:
// the caller's own thread, where there are no workers):
//
//   { type: 'init', module }        instantiates the compiled module; answers
//                                   { type: 'ready' }
//   { type: 'piece', x, index }     counts piece `index` of the split of x,
//                                   made here once per x; answers { type:
//                                   'piece', index, words } with its sums
//   { type: 'sieve', n, x, piX }    p_n from pi(x) = piX; answers with
//                                   { type: 'progress', share } as it goes
//                                   and { type: 'sieved', value }
//
// Every answer but progress carries the instance's memory ({ memory, heap });
// a failure is { type: 'error', message }. Pieces travel by index only: a
// piece is sealed to the instance that made it.
import { CoreInstance } from './wasm_instance.mjs';

/** A function that takes the messages in turn and answers them through `post`. */
export function pieceWorker(post) {
    let core = null;
    let split = null; // the split in hand, of split.x
    let queue = Promise.resolve(); // the messages in hand, one after another

    function answer(message) {
        if (message.type === 'piece') {
            if (split === null || split.x !== message.x) {
                split?.free();
                split = core.split(message.x);
                split.x = message.x;
            }
            return { type: 'piece', index: message.index, words: split.countPiece(message.index) };
        }
        if (message.type === 'sieve') {
            const progress = (share) => post({ type: 'progress', share });
            return { type: 'sieved', value: core.nthPrimeFromCount(message.n, message.x, message.piX, progress) };
        }
        throw new Error(`roughpi: a worker was sent '${message.type}'`);
    }

    // The first message instantiates the module, which takes a while: those
    // behind it wait for it.
    return (message) => {
        queue = queue.then(async () => {
            try {
                if (message.type === 'init') core = await CoreInstance.create(message.module);
                const reply = message.type === 'init' ? { type: 'ready' } : answer(message);
                post({ ...reply, ...core.memory() });
            } catch (error) {
                post({ type: 'error', message: String(error?.message ?? error) });
            }
        });
    };
}
