// Keeping what was bred: the picture as a PNG, and a creature's files, made by the program's web
// shell from the records it holds (web/creature_files.h) and downloaded:
//
//   creature-N.obj          as seen: the refined mesh with its limit normals, Wavefront OBJ
//   creature-N.glb          as seen, binary glTF 2.0: a mesh per body part
//   creature-N-genome.obj   to breed from: the genome as a start file, to start from again
//
// Loaded only when something is saved.
import { program } from './program.js';
import { announce } from './announce.js';

const FILES = [
  { kind: 0, suffix: '.obj', type: 'model/obj', label: 'As seen, OBJ' },
  { kind: 1, suffix: '.glb', type: 'model/gltf-binary', label: 'As seen, glTF' },
  { kind: 2, suffix: '-genome.obj', type: 'model/obj', label: 'To breed from, OBJ' },
];

// Hands bytes to the browser as a download named name.
function download(name, bytes, type) {
  const url = URL.createObjectURL(bytes instanceof Blob ? bytes : new Blob([bytes], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// The picture as the program draws it, at the window's pixels, named for what it shows.
export async function savePicture() {
  const picture = await program.request('picture');
  if (!picture) {
    announce('The picture cannot be saved: the program does not run.');
    return;
  }
  const marks = program.marks;
  const name = `creatures-${!marks || marks.title ? 'title' : marks.creatures.length}.png`;
  download(name, picture, 'image/png');
  announce(`Saved the picture as ${name}.`);
}

// The dialog that saves creature id's files, made the first time.
let dialog = null;
function saveDialog() {
  if (dialog) return dialog;
  dialog = document.createElement('dialog');
  dialog.id = 'save-dialog';
  dialog.setAttribute('aria-labelledby', 'save-title');
  dialog.innerHTML = '<h2 id="save-title"></h2><p>As seen, for a 3D program or a printer; ' +
    'or to breed from, as a start creature of the page or of the desktop program.</p>' +
    '<div class="files"></div><p class="saved" role="status"></p>' +
    '<button type="button" class="close">Close</button>';
  for (const file of FILES) {
    const button = document.createElement('button');
    button.type = 'button';
    button.dataset.kind = file.kind;
    dialog.querySelector('.files').appendChild(button);
  }
  dialog.querySelector('.close').addEventListener('click', () => dialog.close());
  document.querySelector('main').appendChild(dialog);
  return dialog;
}

export function saveCreature(id) {
  const box = saveDialog();
  box.querySelector('#save-title').textContent = `Save creature ${id}`;
  box.querySelector('.saved').textContent = '';
  for (const button of box.querySelectorAll('[data-kind]')) {
    const file = FILES[Number(button.dataset.kind)];
    const name = `creature-${id}${file.suffix}`;
    button.textContent = `${file.label} (${name})`;
    button.onclick = async () => {
      const bytes = await program.request('creatureFile', { id, kind: file.kind, name });
      box.querySelector('.saved').textContent = bytes
        ? `Saved creature ${id} as ${name}.` : `Creature ${id} cannot be saved now.`;
      if (bytes) download(name, bytes, file.type);
    };
  }
  box.showModal();
}
