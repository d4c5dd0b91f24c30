// The program's worker: its host (web/host.js) with the page's messages in and its own out, so
// that the program, its downloads, its WebGL context and its frames keep off the page's thread.
// A classic worker, since the program's script is run with importScripts; the host is imported.
// The worker's first answer says whether it can draw: { canDraw } from a WebGL context on an
// OffscreenCanvas of its own, which also readies the browser's renderer for the program's.
'use strict';

// The host's modules come while the probe below runs.
const hostModule = import('./host.js');

let canDraw = false;
try {
  const probe = new OffscreenCanvas(1, 1).getContext('webgl');
  canDraw = probe !== null;
  // Given back at once: a browser allows a worker only a few contexts.
  probe?.getExtension('WEBGL_lose_context')?.loseContext();
} catch {
  // No OffscreenCanvas, or no WebGL on one, in this browser's workers.
}

const failed = (why) => postMessage({ failed: { message: `The program has stopped with an error (${why})` } });
// An error nothing else caught: the program cannot go on.
addEventListener('error', (event) => {
  event.preventDefault();
  if (event.error && event.error.name === 'ExitStatus') return;
  failed(event.message);
});
addEventListener('unhandledrejection', (event) => {
  event.preventDefault();
  failed(event.reason);
});

// Messages that come while the host is being imported wait for it.
const waiting = [];
let receive = (message) => waiting.push(message);
addEventListener('message', (event) => receive(event.data));
hostModule.then(({ host, startDownloads }) => {
  if (canDraw) startDownloads();
  receive = host((message) => postMessage(message));
  for (const message of waiting.splice(0)) receive(message);
  postMessage({ canDraw });
}, () => postMessage({ canDraw: false }));
