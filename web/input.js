// Every input of the page that reaches the program, in one place. The program reads a mouse with
// three buttons and the keys i, k, l, j, u, o and Escape, as GLUT gives them (web/glut.h); here
// each device becomes that input, in the window's pixels:
//
//   the mouse       a press on the canvas, and its release wherever the pointer is then (a window
//                   on the desktop gets the release of a press made in it); movement over the
//                   canvas, or anywhere while the program holds a button; the wheel over the
//                   canvas as GLUT's buttons 3 (up) and 4 (down)
//   Shift + left    drag: a middle-button drag, for a mouse or trackpad without a middle button
//   Ctrl + wheel    a trackpad's pinch (and Ctrl with a wheel): u or o, one press per notch
//   one finger      a tap is a left click where it lands; moving the finger moves the pointer
//                   (the creature under it is shown larger), and lifting it after a move clicks
//                   nothing
//   two fingers     dragging them together is a middle-button drag that follows their midpoint
//                   (the trackball); spreading or pinching them is u or o, one press for every
//                   PINCH_STEP pixels of change in their distance. A second finger ends the
//                   first one's tap: a two-finger gesture picks nothing.
//   keys            i, j, k, l, u, o from anywhere on the page (unless a setting keeps them to the
//                   canvas and the pad: settings.js), and Escape; every other key keeps its
//                   browser meaning. Upper-case letters are not the program's keys.
//   the pad         the buttons under the canvas press their keys; the turn buttons are a
//                   middle-button drag of TURN window pixels from the middle of the picture
//   the keyboard    on the canvas, arrow keys choose a creature and Enter picks it (keyboard.js),
//                   through pointTo, click and turn below
// While a creature to save is being chosen (choosing.js), a click or tap chooses the creature
// under it (the one the program shows under the pointer there) and the program gets no press;
// Escape stops choosing and does not reach the program.
import { program } from './program.js';
import { letterKeyAllowed } from './settings.js';
import { choosing, chosen, stopChoosing } from './choosing.js';

const canvas = document.getElementById('canvas');
// The window's pixels: the canvas's, which the program draws (fixed before a worker takes it).
const WIDTH = canvas.width;
const HEIGHT = canvas.height;
export const LEFT = 0;
export const MIDDLE = 1;
const DOWN = 0;
const UP = 1;
const WHEEL_UP = 3;
const WHEEL_DOWN = 4;
const TAP_SLOP = 12;     // CSS pixels a finger may wander and still tap
const PINCH_STEP = 50;   // CSS pixels of change in two fingers' distance per u or o
const WHEEL_STEP = 100;  // wheel delta (pixels) per u or o
const TURN = 64;         // window pixels of drag per turn
const TURNS = { left: [-1, 0], right: [1, 0], up: [0, -1], down: [0, 1] };
const ESCAPE = 27;
const PROGRAM_KEYS = [105, 106, 107, 108, 117, 111, ESCAPE];  // i j k l u o, Escape

// ---- What the program is sent --------------------------------------------------------------------

let held = 0;          // the buttons whose press the program has had: bit b for button b
let pointer = null;    // where the program's pointer was put last, in window pixels

// The window pixel under a point of the page, as GLUT counts pixels: from the canvas's top left,
// scaled from the size it is shown at to its pixels, and cut to a whole pixel.
function windowPoint(clientX, clientY) {
  const box = canvas.getBoundingClientRect();
  return { x: Math.trunc((clientX - box.left) * WIDTH / box.width),
           y: Math.trunc((clientY - box.top) * HEIGHT / box.height) };
}

function move(point) {
  pointer = point;
  program.move(point.x, point.y);
}
function button(which, state, point) {
  if (state === DOWN) held |= 1 << which;
  else held &= ~(1 << which);
  pointer = point;
  program.button(which, state, point.x, point.y);
}
function tap(letter) {
  const code = letter.charCodeAt(0);
  program.key(code);
  program.keyUp(code);
}

// Where the page put the program's pointer last (null before), in window pixels.
export const pointerAt = () => pointer;
// The pointer onto a window pixel.
export const pointTo = (point) => move(point);
// A left click at a window pixel, the pointer moved there first.
export function click(point) {
  move(point);
  button(LEFT, DOWN, point);
  button(LEFT, UP, point);
}
// The creature under a window pixel chosen to save: the pointer moved there, the program's hover.
async function chooseAt(point) {
  move(point);
  await program.settled();
  chosen(program.marks && !program.marks.title ? program.marks.hover : null);
}

// A turn of the tree, way 'left', 'right', 'up' or 'down': a middle-button drag from the middle of
// the picture.
export function turn(way) {
  const from = { x: WIDTH / 2, y: HEIGHT / 2 };
  const [dx, dy] = TURNS[way];
  const to = { x: from.x + dx * TURN, y: from.y + dy * TURN };
  button(MIDDLE, DOWN, from);
  move(to);
  button(MIDDLE, UP, to);
}

// ---- The mouse ------------------------------------------------------------------------------------

// Shift held as the left button goes down makes the whole drag a middle-button drag.
let leftIsMiddle = false;
canvas.addEventListener('mousedown', (event) => {
  if (event.button > 2 || !program.running()) return;
  // The press's default, which would have focused the canvas, is withheld (it would also start
  // a selection or a drag of the page): the canvas takes the focus itself, as a mouse focuses it.
  event.preventDefault();
  canvas.focus({ preventScroll: true, focusVisible: false });
  leftIsMiddle = event.button === LEFT && event.shiftKey;
  if (choosing() && !leftIsMiddle && event.button !== MIDDLE) {
    chooseAt(windowPoint(event.clientX, event.clientY));
    return;
  }
  button(leftIsMiddle ? MIDDLE : event.button, DOWN, windowPoint(event.clientX, event.clientY));
});
window.addEventListener('mouseup', (event) => {
  const which = event.button === LEFT && leftIsMiddle ? MIDDLE : event.button;
  if (event.button > 2 || !(held & (1 << which)) || !program.running()) return;
  if (event.button === LEFT) leftIsMiddle = false;
  event.preventDefault();
  button(which, UP, windowPoint(event.clientX, event.clientY));
});
// Movement with a button held that the program did not get the press of is no one's.
window.addEventListener('mousemove', (event) => {
  if (!program.running()) return;
  if (held !== 0 || (event.buttons === 0 && event.target === canvas)) {
    event.preventDefault();
    move(windowPoint(event.clientX, event.clientY));
  }
});
// The right button picks, as on the desktop.
canvas.addEventListener('contextmenu', (event) => event.preventDefault());

// The wheel turns nothing in the program; with Ctrl (a trackpad's pinch) it is u or o.
let wheel = 0;
canvas.addEventListener('wheel', (event) => {
  if (!program.running()) return;
  if (!event.ctrlKey) {
    const at = windowPoint(event.clientX, event.clientY);
    program.button(event.deltaY > 0 ? WHEEL_DOWN : WHEEL_UP, DOWN, at.x, at.y);
    return;
  }
  event.preventDefault();
  const scale = event.deltaMode === 1 ? 40 : event.deltaMode === 2 ? 800 : 1;
  wheel += event.deltaY * scale;
  for (; wheel <= -WHEEL_STEP; wheel += WHEEL_STEP) tap('u');
  for (; wheel >= WHEEL_STEP; wheel -= WHEEL_STEP) tap('o');
}, { passive: false });

// ---- Keys ---------------------------------------------------------------------------------------

// The program's key code for a key event, as GLUT reads it (the key's legacy code, a letter upper
// case with Shift), or null when it is not one of the program's keys or may not reach it now (a
// dialog of the page's has the keys).
function programKey(event) {
  if (event.ctrlKey || event.altKey || event.metaKey || event.target.closest('dialog')) {
    return null;
  }
  const code = event.keyCode >= 65 && event.keyCode <= 90 && !event.shiftKey
    ? event.keyCode + 32 : event.keyCode;
  if (!PROGRAM_KEYS.includes(code)) return null;
  if (code !== ESCAPE && !letterKeyAllowed(event)) return null;
  return code;
}
for (const [type, send] of [['keydown', (code) => program.key(code)],
                            ['keyup', (code) => program.keyUp(code)]]) {
  window.addEventListener(type, (event) => {
    const code = programKey(event);
    if (code === null || !program.running()) return;
    if (code === ESCAPE && choosing()) {
      event.preventDefault();
      if (type === 'keydown') stopChoosing();
      return;
    }
    event.preventDefault();
    send(code);
  });
}

// ---- Touch --------------------------------------------------------------------------------------

// Fingers on the canvas by pointer id, and what they are doing together:
//   null                      no finger
//   { kind: 'one', ... }      one finger: a tap until it moves too far
//   { kind: 'two', ... }      two fingers: a middle-button drag and a pinch
//   { kind: 'done' }          the gesture has ended; waits for the last finger to lift
const fingers = new Map();
let gesture = null;

const midpoint = (a, b) => ({ x: (a.x + b.x) / 2, y: (a.y + b.y) / 2 });
const distance = (a, b) => Math.hypot(a.x - b.x, a.y - b.y);
const inWindow = (at) => windowPoint(at.x, at.y);
function twoFingers() {
  const [a, b] = gesture.ids.map((id) => fingers.get(id));
  return { middle: midpoint(a, b), spread: distance(a, b) };
}

function fingerDown(event) {
  fingers.set(event.pointerId, { x: event.clientX, y: event.clientY });
  if (fingers.size === 1) {
    const at = fingers.get(event.pointerId);
    gesture = { kind: 'one', id: event.pointerId, start: at, moved: false };
    move(inWindow(at));
  } else if (fingers.size === 2 && gesture && gesture.kind === 'one') {
    gesture = { kind: 'two', ids: [...fingers.keys()] };
    const { middle, spread } = twoFingers();
    gesture.spread = spread;
    move(inWindow(middle));
    button(MIDDLE, DOWN, inWindow(middle));
  }
}

function fingerMove(event) {
  if (!fingers.has(event.pointerId)) return;
  const at = { x: event.clientX, y: event.clientY };
  fingers.set(event.pointerId, at);
  if (!gesture) return;
  if (gesture.kind === 'one' && gesture.id === event.pointerId) {
    if (distance(at, gesture.start) > TAP_SLOP) gesture.moved = true;
    move(inWindow(at));
  } else if (gesture.kind === 'two' && gesture.ids.includes(event.pointerId)) {
    const { middle, spread } = twoFingers();
    move(inWindow(middle));
    for (; spread - gesture.spread >= PINCH_STEP; gesture.spread += PINCH_STEP) tap('u');
    for (; gesture.spread - spread >= PINCH_STEP; gesture.spread -= PINCH_STEP) tap('o');
  }
}

function fingerUp(event) {
  if (!fingers.has(event.pointerId)) return;
  if (gesture && gesture.kind === 'one' && gesture.id === event.pointerId) {
    if (!gesture.moved && event.type === 'pointerup') {
      const at = inWindow(gesture.start);
      if (choosing()) {
        chooseAt(at);
      } else {
        button(LEFT, DOWN, at);
        button(LEFT, UP, at);
      }
    }
    gesture = { kind: 'done' };
  } else if (gesture && gesture.kind === 'two' && gesture.ids.includes(event.pointerId)) {
    button(MIDDLE, UP, inWindow(twoFingers().middle));
    gesture = { kind: 'done' };
  }
  fingers.delete(event.pointerId);
  if (fingers.size === 0) gesture = null;
}

function touchOnly(handler) {
  return (event) => {
    if (event.pointerType !== 'touch') return;
    event.preventDefault();
    if (program.running()) handler(event);
  };
}
canvas.addEventListener('pointerdown', touchOnly(fingerDown));
canvas.addEventListener('pointermove', touchOnly(fingerMove));
canvas.addEventListener('pointerup', touchOnly(fingerUp));
canvas.addEventListener('pointercancel', touchOnly(fingerUp));

// The touch events themselves are cancelled: the pointer events above stand for them, and so the
// browser neither scrolls nor zooms the page under the canvas, nor makes mouse events of its own
// from a tap.
for (const type of ['touchstart', 'touchmove', 'touchend', 'touchcancel']) {
  canvas.addEventListener(type, (event) => {
    if (event.cancelable) event.preventDefault();
  }, { passive: false });
}

// ---- The pad ------------------------------------------------------------------------------------

for (const pad of document.querySelectorAll('#pad button')) {
  pad.addEventListener('click', () => tap(pad.dataset.key));
}
for (const pad of document.querySelectorAll('#turn button')) {
  pad.addEventListener('click', () => turn(pad.dataset.turn));
}

// The help speaks of fingers or of a mouse and keys: of the device used last, or before any is
// used, of the device's main one (index.html's style, from the first paint).
window.addEventListener('pointerdown', (event) => {
  const touch = event.pointerType === 'touch';
  document.documentElement.classList.toggle('touch-input', touch);
  document.documentElement.classList.toggle('mouse-input', !touch);
}, true);
