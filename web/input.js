// Input that the program was not written for, turned into input it knows, in one place: the
// program reads a mouse with three buttons and the keys i, k, l, j, u and o, as GLUT gives them.
//
//   one finger      a tap is a left click where it lands; moving the finger moves the pointer
//                   (the creature under it is shown larger), and lifting it after a move clicks
//                   nothing
//   two fingers     dragging them together is a middle-button drag that follows their midpoint
//                   (the trackball); spreading or pinching them is u or o, one press for every
//                   PINCH_STEP pixels of change in their distance. A second finger ends the
//                   first one's tap: a two-finger gesture picks nothing.
//   Shift + left    drag: a middle-button drag, for a mouse or trackpad without a middle button
//   Ctrl + wheel    a trackpad's pinch (and Ctrl with a wheel): u or o, one press per notch
//   the pad         the buttons under the canvas press their keys; the turn buttons are a
//                   middle-button drag of TURN window pixels from the middle of the picture
//   the keyboard    on the canvas, arrow keys choose a creature and Enter picks it: keyboard.js,
//                   which sends its clicks and drags through the helpers here
//
// Each is sent to the canvas as the mouse or key event the program would get from the device it
// stands for, so it takes the program's own way in (and the page's gates before it).
'use strict';

(function () {
  const canvas = document.getElementById('canvas');
  const LEFT = 0;
  const MIDDLE = 1;
  const TAP_SLOP = 12;     // CSS pixels a finger may wander and still tap
  const PINCH_STEP = 50;   // CSS pixels of change in two fingers' distance per u or o
  const WHEEL_STEP = 100;  // wheel delta (pixels) per u or o
  const TURN = 64;         // window pixels of drag per turn
  const TURNS = { left: [-1, 0], right: [1, 0], up: [0, -1], down: [0, 1] };

  // Events this script made, which its own listeners let through.
  const ours = new WeakSet();
  function send(event) {
    ours.add(event);
    canvas.dispatchEvent(event);
  }
  const BUTTON_BITS = [1, 4, 2];
  function mouse(type, point, button, held) {
    send(new MouseEvent(type, {
      bubbles: true, cancelable: true, view: window, clientX: point.x, clientY: point.y,
      screenX: point.x, screenY: point.y, button: button, buttons: held,
    }));
  }
  // A key tapped: keydown and keyup, with the legacy key code that GLUT reads.
  function key(letter) {
    for (const type of ['keydown', 'keyup']) {
      const event = new KeyboardEvent(type, {
        bubbles: true, cancelable: true, key: letter, code: 'Key' + letter.toUpperCase(),
      });
      Object.defineProperty(event, 'keyCode', { value: letter.toUpperCase().charCodeAt(0) });
      send(event);
    }
  }

  // ---- Touch ----------------------------------------------------------------------------------

  // Fingers on the canvas by pointer id, and what they are doing together:
  //   null                      no finger
  //   { kind: 'one', ... }      one finger: a tap until it moves too far
  //   { kind: 'two', ... }      two fingers: a middle-button drag and a pinch
  //   { kind: 'done' }          the gesture has ended; waits for the last finger to lift
  const fingers = new Map();
  let gesture = null;

  function midpoint(a, b) {
    return { x: (a.x + b.x) / 2, y: (a.y + b.y) / 2 };
  }
  function distance(a, b) {
    return Math.hypot(a.x - b.x, a.y - b.y);
  }
  function twoFingers() {
    const [a, b] = gesture.ids.map((id) => fingers.get(id));
    return { middle: midpoint(a, b), spread: distance(a, b) };
  }

  function fingerDown(event) {
    fingers.set(event.pointerId, { x: event.clientX, y: event.clientY });
    if (fingers.size === 1) {
      const at = fingers.get(event.pointerId);
      gesture = { kind: 'one', id: event.pointerId, start: at, moved: false };
      mouse('mousemove', at, LEFT, 0);
    } else if (fingers.size === 2 && gesture && gesture.kind === 'one') {
      gesture = { kind: 'two', ids: [...fingers.keys()] };
      const { middle, spread } = twoFingers();
      gesture.spread = spread;
      mouse('mousemove', middle, LEFT, 0);
      mouse('mousedown', middle, MIDDLE, BUTTON_BITS[MIDDLE]);
    }
  }

  function fingerMove(event) {
    if (!fingers.has(event.pointerId)) return;
    const at = { x: event.clientX, y: event.clientY };
    fingers.set(event.pointerId, at);
    if (!gesture) return;
    if (gesture.kind === 'one' && gesture.id === event.pointerId) {
      if (distance(at, gesture.start) > TAP_SLOP) gesture.moved = true;
      mouse('mousemove', at, LEFT, 0);
    } else if (gesture.kind === 'two' && gesture.ids.includes(event.pointerId)) {
      const { middle, spread } = twoFingers();
      mouse('mousemove', middle, MIDDLE, BUTTON_BITS[MIDDLE]);
      while (spread - gesture.spread >= PINCH_STEP) {
        key('u');
        gesture.spread += PINCH_STEP;
      }
      while (gesture.spread - spread >= PINCH_STEP) {
        key('o');
        gesture.spread -= PINCH_STEP;
      }
    }
  }

  function fingerUp(event) {
    if (!fingers.has(event.pointerId)) return;
    if (gesture && gesture.kind === 'one' && gesture.id === event.pointerId) {
      if (!gesture.moved && event.type === 'pointerup') {
        mouse('mousedown', gesture.start, LEFT, BUTTON_BITS[LEFT]);
        mouse('mouseup', gesture.start, LEFT, 0);
      }
      gesture = { kind: 'done' };
    } else if (gesture && gesture.kind === 'two' && gesture.ids.includes(event.pointerId)) {
      mouse('mouseup', twoFingers().middle, MIDDLE, 0);
      gesture = { kind: 'done' };
    }
    fingers.delete(event.pointerId);
    if (fingers.size === 0) gesture = null;
  }

  function touchOnly(handler) {
    return (event) => {
      if (event.pointerType !== 'touch') return;
      event.preventDefault();
      handler(event);
    };
  }
  canvas.addEventListener('pointerdown', touchOnly(fingerDown));
  canvas.addEventListener('pointermove', touchOnly(fingerMove));
  canvas.addEventListener('pointerup', touchOnly(fingerUp));
  canvas.addEventListener('pointercancel', touchOnly(fingerUp));

  // The touch events themselves are cancelled: the pointer events above stand for them, and so
  // the browser neither scrolls nor zooms the page under the canvas, nor makes mouse events of
  // its own from a tap. (The program's GLUT takes no touch events: see glut_events.js.)
  for (const type of ['touchstart', 'touchmove', 'touchend', 'touchcancel']) {
    canvas.addEventListener(type, (event) => {
      if (event.cancelable) event.preventDefault();
    }, { passive: false });
  }

  // ---- A mouse or trackpad without a middle button ----------------------------------------------

  // Shift held as the left button goes down makes the whole drag a middle-button drag.
  let leftIsMiddle = false;
  window.addEventListener('mousedown', (event) => {
    if (ours.has(event)) return;
    if (event.button !== LEFT || !event.shiftKey || event.target !== canvas) return;
    event.stopImmediatePropagation();
    event.preventDefault();
    leftIsMiddle = true;
    mouse('mousedown', { x: event.clientX, y: event.clientY }, MIDDLE, BUTTON_BITS[MIDDLE]);
  }, true);
  window.addEventListener('mouseup', (event) => {
    if (ours.has(event) || event.button !== LEFT || !leftIsMiddle) return;
    event.stopImmediatePropagation();
    leftIsMiddle = false;
    mouse('mouseup', { x: event.clientX, y: event.clientY }, MIDDLE, 0);
  }, true);

  let wheel = 0;
  canvas.addEventListener('wheel', (event) => {
    if (!event.ctrlKey) return;
    event.preventDefault();
    const scale = event.deltaMode === 1 ? 40 : event.deltaMode === 2 ? 800 : 1;
    wheel += event.deltaY * scale;
    for (; wheel <= -WHEEL_STEP; wheel += WHEEL_STEP) key('u');
    for (; wheel >= WHEEL_STEP; wheel -= WHEEL_STEP) key('o');
  }, { passive: false });

  // ---- The pad ------------------------------------------------------------------------------

  // A turn of the tree, way 'left', 'right', 'up' or 'down': a middle-button drag from the middle
  // of the picture, between the middles of window pixels (where the browser's rounding of the
  // events' coordinates and GLUT's both give back those pixels).
  function turn(way) {
    const box = canvas.getBoundingClientRect();
    const onPage = (x, y) => ({ x: box.left + (x + 0.5) * box.width / canvas.width,
                                y: box.top + (y + 0.5) * box.height / canvas.height });
    const [x, y] = [canvas.width / 2, canvas.height / 2];
    const [dx, dy] = TURNS[way];
    const to = onPage(x + dx * TURN, y + dy * TURN);
    mouse('mousedown', onPage(x, y), MIDDLE, BUTTON_BITS[MIDDLE]);
    mouse('mousemove', to, MIDDLE, BUTTON_BITS[MIDDLE]);
    mouse('mouseup', to, MIDDLE, 0);
  }

  for (const button of document.querySelectorAll('#pad button')) {
    button.addEventListener('click', () => key(button.dataset.key));
  }
  for (const button of document.querySelectorAll('#turn button')) {
    button.addEventListener('click', () => turn(button.dataset.turn));
  }

  // The keyboard's translations (keyboard.js) send their input the same way.
  window.programInput = { mouse, key, turn, LEFT, MIDDLE, BUTTON_BITS };

  // The help speaks of fingers or of a mouse and keys: of the device used last, or before any is
  // used, of the device's main one (index.html's style, from the first paint).
  window.addEventListener('pointerdown', (event) => {
    const touch = event.pointerType === 'touch';
    document.documentElement.classList.toggle('touch-input', touch);
    document.documentElement.classList.toggle('mouse-input', !touch);
  }, true);
})();
