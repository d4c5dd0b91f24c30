// The page's two settings, by the pad:
//
//   Pause motion   a toggle button that stills the creatures' breathing and shimmer: the
//                  program's frame loop stops, and a frame is drawn only after an input reaches
//                  the program (main.cpp), so what a pick, a move, a turn or the pointer changes
//                  still shows at once. The page starts paused where the system asks for reduced
//                  motion, and follows that setting until the button is used.
//   letter keys    a checkbox that keeps the keys i, j, k, l, u and o to the canvas and the
//                  buttons that move and turn the view, where they otherwise reach the program
//                  from anywhere on the page (so that the letters of a speech input, or a key
//                  pressed by mistake, move nothing there).
//                  Remembered in the browser's storage, where the page may use one; Escape
//                  reaches the program from anywhere either way.
'use strict';

(function () {
  const here = ['canvas', 'pad', 'turn'].map((id) => document.getElementById(id));
  const pause = document.getElementById('pause');
  const letters = document.getElementById('letter-keys');
  const STORED = 'creatures.letterKeysOnCanvas';

  // ---- Motion ------------------------------------------------------------------------------

  const reduce = window.matchMedia ? matchMedia('(prefers-reduced-motion: reduce)') : null;
  let chosen = false;  // the button has been used: the system's setting no longer counts

  const paused = () => pause.getAttribute('aria-pressed') === 'true';
  // Tells the program, once it runs and while it does.
  function apply() {
    if (window.programRunning && programRunning()) Module._setMotion(paused() ? 0 : 1);
  }
  function show(still) {
    pause.setAttribute('aria-pressed', String(still));
    apply();
  }
  pause.addEventListener('click', () => {
    chosen = true;
    show(!paused());
  });
  if (reduce) {
    show(reduce.matches);
    reduce.addEventListener('change', () => {
      if (!chosen) show(reduce.matches);
    });
  }
  window.addEventListener('programstarted', apply);

  // ---- Letter keys ---------------------------------------------------------------------------

  // Storage may be missing or refused (a browser's privacy settings make it throw): the setting
  // then lasts as long as the page.
  function stored() {
    try {
      return window.localStorage.getItem(STORED);
    } catch (error) {
      return null;
    }
  }
  function store() {
    try {
      window.localStorage.setItem(STORED, letters.checked ? 'yes' : 'no');
    } catch (error) {
      // Kept for this page only.
    }
  }
  // A box changed before this script ran, by the user or by the browser's restoring of a form
  // on reload, is kept; otherwise the remembered setting is shown.
  if (letters.checked !== letters.defaultChecked) {
    store();
  } else if (stored() !== null) {
    letters.checked = stored() === 'yes';
  }
  letters.addEventListener('change', store);

  // Whether a letter key pressed with the focus where event says reaches the program.
  window.letterKeyAllowed = (event) =>
    !letters.checked || here.some((place) => place.contains(event.target));
})();
