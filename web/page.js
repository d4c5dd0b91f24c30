// The page around the program: starts it once the page has been painted (from the start creatures
// the browser remembers, if any), and says in the status line that it runs, or plainly why it
// does not (a file that did not come, no WebGL, an error) and how it ended. The page's other parts
// register themselves as they are imported; saving and starting from one's own creatures are
// loaded when used.
import { program } from './program.js';
import { flushPanel } from './output.js';
import { motionPaused } from './settings.js';
import './input.js';
import './keyboard.js';
import './announce.js';
import './choosing.js';

const status = document.getElementById('status');
const AGAIN = 'Reloading the page may help.';

function say(message, failed) {
  status.textContent = message;
  status.classList.toggle('failed', failed);
}

// The program will not run, or runs no more: nothing reaches it from now on. Anything but an end
// by Escape is a failure, and looks like one.
let ended = false;
function stop(message, failed = true) {
  if (ended) return;
  ended = true;
  flushPanel();
  say(message, failed);
  program.stop();
}

program.addEventListener('failed', ({ detail: failure }) => {
  if (failure.file) {
    stop(`The page could not load ${failure.file}: ${failure.why}. ${AGAIN}`);
  } else if (failure.noWebGL) {
    stop('This page needs WebGL, which this browser does not offer or has turned off. ' +
         'Another browser, or this one with hardware acceleration turned on, can show it.');
  } else if (failure.lost) {
    stop(`The browser has stopped this page's drawing (the WebGL context was lost). ${AGAIN}`);
  } else {
    stop(`${failure.message}. ${AGAIN}`);
  }
});

// The program's end, from exit() or Escape: the status says how it ended, and why when it was
// not Escape (the program's own last words, which stay in the panel as well).
program.addEventListener('ended', ({ detail: { status: code, escape } }) => {
  const lastLine = flushPanel();
  // As a process's exit status: exit(-1) is 255.
  const exitStatus = ((code % 256) + 256) % 256;
  if (escape || lastLine === '') {
    stop(`The program has ended (exit status ${exitStatus}).`, !escape);
  } else {
    stop(`The program has ended (exit status ${exitStatus}) after this message: ${lastLine}`);
  }
});

// Start creatures of one's own (web/start.js): where the browser remembers some, the page starts
// from them, and says so; a set the program no longer takes is said why, and forgotten.
const REMEMBERED = 'creatures.startFiles';
const SLOTS = ['the bird', 'the squat one', 'the rabbit'];
let ownStart = '';
function remembered() {
  try {
    return localStorage.getItem(REMEMBERED) !== null;
  } catch {
    return false;
  }
}
async function rememberedSet() {
  if (!remembered()) return null;
  const { rememberedSet: read } = await import('./start.js');
  const set = await read();
  if (set) {
    document.getElementById('start-shipped').hidden = false;
    ownStart = `Running, from your own start creatures: ${set.map((file, i) =>
      (file ? `${file.name} in place of ${SLOTS[i]}` : `${SLOTS[i]} as shipped`)).join(', ')}.`;
  }
  return set;
}
program.addEventListener('startfilesrefused', async ({ detail: verdict }) => {
  ownStart = 'Running, from the shipped creatures: the start creatures this browser kept can ' +
    `no longer be used (${verdict}).`;
  document.getElementById('start-shipped').hidden = true;
  (await import('./start.js')).forget();
});
document.getElementById('start-own').addEventListener('click', async () =>
  (await import('./start.js')).chooseStartFiles());
document.getElementById('start-shipped').addEventListener('click', async () => {
  await (await import('./start.js')).forget();
  location.reload();
});
document.getElementById('save-picture').addEventListener('click', async () =>
  (await import('./save.js')).savePicture());

program.addEventListener('started', () => {
  if (ended) return;
  say(ownStart || 'Running.', false);
  // The service worker keeps the site for the next visit, with or without the network (where
  // the browser offers one: not on a page opened from a file, say).
  if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
});
program.addEventListener('frame', () => {
  if (performance.getEntriesByName('first-frame').length === 0) performance.mark('first-frame');
}, { once: true });

// An error nothing else caught: the page cannot go on. Said in place of the browser's report.
window.addEventListener('error', (event) => {
  event.preventDefault();
  if (event.error && event.error.name === 'ExitStatus') return;
  stop(`The program has stopped with an error (${event.message}). ${AGAIN}`);
});
window.addEventListener('unhandledrejection', (event) => {
  event.preventDefault();
  stop(`The program has stopped with an error (${event.reason}). ${AGAIN}`);
});

// Everything begins once the browser has painted the page's text: the first paint waits neither
// for the downloads nor for the renderer. (Where the browser does not report its paints, two
// frames on.)
let begun = false;
function begin() {
  if (begun) return;
  begun = true;
  // The start fails only when a script of the page's cannot be loaded.
  setTimeout(async () => {
    try {
      await program.start({ paused: motionPaused(), startFiles: await rememberedSet() });
    } catch {
      stop(`The page could not load its scripts. ${AGAIN}`);
    }
  });
}
if (PerformanceObserver.supportedEntryTypes?.includes('paint')) {
  new PerformanceObserver((list, observer) => {
    if (list.getEntriesByName('first-contentful-paint').length === 0) return;
    observer.disconnect();
    begin();
  }).observe({ type: 'paint', buffered: true });
} else {
  requestAnimationFrame(() => requestAnimationFrame(begin));
}
