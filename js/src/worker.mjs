// SPDX-License-Identifier: MIT
// The script of a worker: a web worker in a browser, a worker thread in
// Node, with a WebAssembly instance of its own (piece_worker.mjs says what
// it does with what it is sent).
import { pieceWorker } from './piece_worker.mjs';

// In a browser the handler is set at once, before a message can come; in
// Node, messages wait in the port until a listener is attached.
if (typeof WorkerGlobalScope !== 'undefined' && self instanceof WorkerGlobalScope) {
    const receive = pieceWorker((message) => self.postMessage(message));
    self.onmessage = (event) => receive(event.data);
} else {
    const { parentPort } = await import('node:worker_threads');
    parentPort.on(
        'message',
        pieceWorker((message) => parentPort.postMessage(message)),
    );
}
