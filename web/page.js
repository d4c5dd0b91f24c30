// The page around the program: starts it once the page has been painted, and says in the status
// line that it runs, or plainly why it does not (a file that did not come, no WebGL, an error)
// and how it ended. The page's other parts register themselves as they are imported.
import { program } from './program.js';
import { flushPanel } from './output.js';
import { motionPaused } from './settings.js';
import './input.js';
import './keyboard.js';
import './announce.js';

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

program.addEventListener('started', () => {
  if (ended) return;
  say('Running.', false);
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
  setTimeout(() => program.start({ paused: motionPaused() }).catch(() => {
    stop(`The page could not load its scripts. ${AGAIN}`);
  }));
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
