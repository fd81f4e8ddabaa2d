// SPDX-License-Identifier: MIT
// What a worker (worker.mjs: a web worker or a Node worker thread) does with
// the messages it is sent, one at a time. A worker counts pieces, or checks
// and adds up the sums of the pieces that the others count:
//
//   { type: 'init', module }          instantiates the compiled module;
//                                     answers { type: 'ready' }
//   { type: 'split', x, fresh }       makes the split of x here (a fresh one
//                                     for the checker, whose total starts at
//                                     nothing); answers { type: 'split',
//                                     costs } with the pieces' estimated costs
//                                     when `fresh`, with none otherwise
//   { type: 'pieces', x, indices }    counts the pieces of these indices of
//                                     the split of x; answers { type:
//                                     'pieces', indices, words } with their
//                                     sums, an array of words per piece
//   { type: 'add', indices, words }   the checker: checks the sums of those
//                                     pieces against its own pieces of the
//                                     indices and adds them; answers
//                                     { type: 'added', indices }
//   { type: 'finish' }                the checker: pi(x) from the sums added,
//                                     checked against its whole split;
//                                     answers { type: 'finished', value }
//   { type: 'call', name, value }     a function of one int64 of the C
//                                     interface (roughpi_pi, roughpi_nth_prime),
//                                     whole; answers { type: 'called', value }
//   { type: 'sieve', n, x, piX }      p_n from pi(x) = piX; answers with
//                                     { type: 'progress', share } as it goes
//                                     and { type: 'sieved', value }
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

    function splitOf(x, fresh) {
        if (fresh || split === null || split.x !== x) {
            split?.free();
            split = core.split(x);
            split.x = x;
        }
        return split;
    }

    function answer(message) {
        switch (message.type) {
            case 'split': {
                const made = splitOf(message.x, message.fresh);
                const costs = message.fresh ? Float64Array.from({ length: made.size }, (_, i) => made.cost(i)) : null;
                return { type: 'split', costs };
            }
            case 'pieces': {
                const made = splitOf(message.x);
                return { type: 'pieces', indices: message.indices, words: message.indices.map((i) => made.countPiece(i)) };
            }
            case 'add':
                if (!Array.isArray(message.indices) || !Array.isArray(message.words) ||
                    message.words.length !== message.indices.length)
                    throw new Error('roughpi: the checker was sent sums that do not match their pieces');
                message.indices.forEach((index, k) => split.addSums(index, message.words[k]));
                return { type: 'added', indices: message.indices };
            case 'finish':
                return { type: 'finished', value: split.finish() };
            case 'call':
                return { type: 'called', value: core.call(message.name, message.value) };
            case 'sieve': {
                const progress = (share) => post({ type: 'progress', share });
                return { type: 'sieved', value: core.nthPrimeFromCount(message.n, message.x, message.piX, progress) };
            }
            default:
                throw new Error(`roughpi: a worker was sent '${message.type}'`);
        }
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
