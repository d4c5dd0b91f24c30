// Starting from one's own creatures: up to three OBJ files (saved "to breed from", or made
// elsewhere) stand in for the start creatures, those not given staying the shipped ones. They are
// checked with the program's own reader and topology comparison (web/start_files.h) before the
// program sees them; a good set is remembered in the browser (IndexedDB) and the page starts
// again from it, at every visit, until "Back to the shipped creatures". Loaded only when used, or
// when a set is remembered.
import { program } from './program.js';

// Whether a set is remembered, kept where the page reads it at once (page.js has the same key).
const REMEMBERED = 'creatures.startFiles';
const SLOTS = ['the bird', 'the squat one', 'the rabbit'];

// ---- The remembered set ------------------------------------------------------------------------

function database() {
  return new Promise((resolve, reject) => {
    const request = indexedDB.open('creatures', 1);
    request.onupgradeneeded = () => request.result.createObjectStore('start');
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error);
  });
}

// Runs work(store) in a transaction of the 'start' store; resolves with its request's result.
async function inStore(mode, work) {
  const db = await database();
  try {
    return await new Promise((resolve, reject) => {
      const request = work(db.transaction('start', mode).objectStore('start'));
      request.onsuccess = () => resolve(request.result);
      request.onerror = () => reject(request.error);
    });
  } finally {
    db.close();
  }
}

function flag(on) {
  try {
    if (on) localStorage.setItem(REMEMBERED, 'yes');
    else localStorage.removeItem(REMEMBERED);
  } catch {
    // Without storage nothing is remembered.
  }
}

// The remembered set: three entries, each { name, bytes } or null; or null when there is none.
export async function rememberedSet() {
  try {
    return (await inStore('readonly', (store) => store.get('files'))) || null;
  } catch {
    return null;
  }
}

// Forgets the remembered set: the page starts from the shipped creatures again.
export async function forget() {
  flag(false);
  try {
    await inStore('readwrite', (store) => store.delete('files'));
  } catch {
    // Nothing was kept.
  }
}

async function remember(set) {
  await inStore('readwrite', (store) => store.put(set, 'files'));
  flag(true);
}

// ---- The dialog --------------------------------------------------------------------------------

let dialog = null;
function startDialog() {
  if (dialog) return dialog;
  dialog = document.createElement('dialog');
  dialog.id = 'start-dialog';
  dialog.setAttribute('aria-labelledby', 'start-title');
  dialog.innerHTML = '<form method="dialog"><h2 id="start-title">Start from your own creatures' +
    '</h2><p>Choose up to three OBJ files, such as creatures saved "to breed from"; those you ' +
    'leave out stay as they are. The three must have one shape: the same body parts, positions ' +
    'and triangles. Starting again ends this family tree: save what you want to keep first.</p>' +
    SLOTS.map((slot, i) => `<p><label for="start-${i}">In place of ${slot}</label> ` +
      `<input type="file" id="start-${i}" accept=".obj"></p>`).join('') +
    '<p class="verdict" role="alert"></p><p><button type="submit" value="start">Start again ' +
    'from these</button> <button type="submit" value="cancel">Cancel</button></p></form>';
  const form = dialog.querySelector('form');
  form.addEventListener('submit', (event) => {
    if (event.submitter && event.submitter.value === 'start') {
      event.preventDefault();
      startFrom([0, 1, 2].map((i) => dialog.querySelector(`#start-${i}`).files[0] || null));
    }
  });
  document.querySelector('main').appendChild(dialog);
  return dialog;
}

function say(text) {
  dialog.querySelector('.verdict').textContent = text;
}

// Checks the chosen files; starts again from them when they are good, else says what is wrong
// and nothing starts.
async function startFrom(files) {
  if (files.every((file) => file === null)) {
    say('Choose at least one file.');
    return;
  }
  say('Checking\u2026');
  const set = await Promise.all(files.map(async (file) => file &&
    { name: file.name, bytes: new Uint8Array(await file.arrayBuffer()) }));
  const verdict = await program.request('checkStartFiles', set);
  if (verdict === null) {
    say('The files can be checked only while the program runs: reload the page first.');
  } else if (verdict !== '') {
    say(`${verdict}. Nothing has changed.`);
  } else {
    try {
      await remember(set);
    } catch {
      say('This browser does not let the page keep the files, so it cannot start from them.');
      return;
    }
    location.reload();
  }
}

export function chooseStartFiles() {
  const box = startDialog();
  box.querySelector('form').reset();
  say('');
  box.showModal();
}
