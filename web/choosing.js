// Choosing a creature to save instead of picking it ("Save a creature"): while the button is
// pressed, the next click, tap or Enter on a creature chooses it, and the program gets no pick.
// Escape, or the button again, stops choosing. The saving itself (web/save.js) is loaded when a
// creature is first chosen.
import { program } from './program.js';
import { announce } from './announce.js';

const button = document.getElementById('save-creature');

export const choosing = () => button.getAttribute('aria-pressed') === 'true';

export function stopChoosing() {
  if (!choosing()) return;
  button.setAttribute('aria-pressed', 'false');
  announce('Stopped choosing a creature to save.');
}

// Creature id chosen (null: a point with no creature): its save dialog opens.
export async function chosen(id) {
  if (id === null) {
    announce('No creature there: choose one to save, or press Escape to stop.');
    return;
  }
  button.setAttribute('aria-pressed', 'false');
  const { saveCreature } = await import('./save.js');
  saveCreature(id);
}

button.addEventListener('click', () => {
  if (choosing()) {
    stopChoosing();
  } else if (!program.marks || program.marks.title || !program.running()) {
    announce('The creatures come once the title has gone: begin first.');
  } else {
    button.setAttribute('aria-pressed', 'true');
    announce('Choose a creature to save: click or tap it, or press Enter on it in the picture. ' +
             'Escape stops.');
  }
});
