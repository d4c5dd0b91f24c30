// The page's two settings, by the pad:
//
//   Pause motion   a toggle button that stills the creatures' breathing and shimmer: the
//                  program's frame loop stops calling its idle handler, and a frame is drawn only
//                  after an input reaches the program (web/glut.cpp), so what a pick, a move, a
//                  turn or the pointer changes still shows at once. The page starts paused where
//                  the system asks for reduced motion, and follows that setting until the button
//                  is used.
//   letter keys    a checkbox that keeps the keys i, j, k, l, u and o to the canvas and the
//                  buttons that move and turn the view, where they otherwise reach the program
//                  from anywhere on the page (so that the letters of a speech input, or a key
//                  pressed by mistake, move nothing there). Remembered in the browser's storage,
//                  where the page may use one; Escape reaches the program from anywhere either
//                  way.
import { program } from './program.js';

const here = ['canvas', 'pad', 'turn'].map((id) => document.getElementById(id));
const pause = document.getElementById('pause');
const letters = document.getElementById('letter-keys');
const STORED = 'creatures.letterKeysOnCanvas';

// ---- Motion ------------------------------------------------------------------------------------

const reduce = matchMedia('(prefers-reduced-motion: reduce)');
let chosen = false;  // the button has been used: the system's setting no longer counts

export const motionPaused = () => pause.getAttribute('aria-pressed') === 'true';
function show(still) {
  pause.setAttribute('aria-pressed', String(still));
  program.setMotion(!still);
}
pause.addEventListener('click', () => {
  chosen = true;
  show(!motionPaused());
});
show(reduce.matches);
reduce.addEventListener('change', () => {
  if (!chosen) show(reduce.matches);
});
// A change made while the program was starting.
program.addEventListener('started', () => program.setMotion(!motionPaused()));

// ---- Letter keys -------------------------------------------------------------------------------

// Storage may be missing or refused (a browser's privacy settings make it throw): the setting
// then lasts as long as the page.
function stored() {
  try {
    return localStorage.getItem(STORED);
  } catch {
    return null;
  }
}
function store() {
  try {
    localStorage.setItem(STORED, letters.checked ? 'yes' : 'no');
  } catch {
    // Kept for this page only.
  }
}
// A box changed before this script ran, by the user or by the browser's restoring of a form on
// reload, is kept; otherwise the remembered setting is shown.
if (letters.checked !== letters.defaultChecked) {
  store();
} else if (stored() !== null) {
  letters.checked = stored() === 'yes';
}
letters.addEventListener('change', store);

// Whether a letter key pressed with the focus where event says reaches the program.
export const letterKeyAllowed = (event) =>
  !letters.checked || here.some((place) => place.contains(event.target));
