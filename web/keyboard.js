// The canvas as one widget for the keyboard and for screen readers: one tab stop, in which the
// arrow keys move a focus from creature to creature and Enter or Space picks the focused one. The
// program reads only a mouse, so each choice becomes the mouse input a user would give it: a
// creature chosen is the pointer moved onto its centre (the program shows it larger, and says
// which creature a click there takes), a pick is a left click there, a turn is a middle-button
// drag, and Enter on the title is the first movement and a left click on empty sky.
//
//   Enter, Space         on the title: begin; then: pick the focused creature
//   Left, Right          the creature beside it: its sibling, or another start creature, the
//                        nearer one on screen in that direction
//   Up                   its children: the one last come down from, or else the first
//   Down                 its parent
//   Home, End            creature 0, the newest creature
//   Page Up, Page Down   the creature numbered one less, one more
//   Shift + arrow        turn the tree, as the turn buttons do (input.js)
//
// Where each creature stands on screen comes from the program (creature_marks.cpp). The focused
// creature carries a ring drawn over the canvas while the keyboard is in use; for screen readers
// it is the canvas's active descendant, an element inside the canvas named for the creature (a
// press of that element by assistive technology picks the creature, as Enter does).
'use strict';

(function () {
  const canvas = document.getElementById('canvas');
  const ringBox = document.getElementById('ring-box');
  const ring = document.getElementById('ring');
  const NONE = -999;
  const HEADER = 4;
  const PER_CREATURE = 6;
  const START_NAMES = ['the bird', 'the squat one', 'the rabbit'];
  const GRID = 64;           // window pixels between the points tried for an empty spot
  const SMALLEST_RING = 12;  // CSS pixels of radius

  // ---- What the program shows ----------------------------------------------------------------

  // The program's state between two frames (see creature_marks.cpp), or null when it does not
  // run: whether the title is shown, the first pick, the creature under the pointer, and each
  // creature's place in the window, its children and its parent.
  function readCreatures() {
    if (!window.programRunning || !programRunning() || !Module.calledRun) return null;
    const at = Module._creatureMarks() >> 2;
    const figures = Module.HEAPF32;
    const creatures = [];
    for (let i = 0, o = at + HEADER; i < figures[at + 3]; ++i, o += PER_CREATURE) {
      creatures.push({
        x: figures[o], y: figures[o + 1], radius: figures[o + 2], inFront: figures[o + 3] > 0,
        children: figures[o + 4] >= 0 ? [figures[o + 4], figures[o + 5]] : [], parent: null,
      });
    }
    creatures.forEach((creature, id) => {
      for (const child of creature.children) if (creatures[child]) creatures[child].parent = id;
    });
    return { title: figures[at] !== 0, firstPick: figures[at + 1], hover: figures[at + 2],
             creatures };
  }
  window.readCreatures = readCreatures;

  // The window pixel whose click sends the pick test's ray through the creature's centre, or null
  // when that is outside the window (or behind the eye), where no click can land.
  function spot(state, id) {
    const creature = state.creatures[id];
    if (!creature || !creature.inFront) return null;
    const x = Math.round(creature.x);
    const y = Math.round(creature.y);
    return x >= 0 && x < canvas.width && y >= 0 && y < canvas.height ? { x, y } : null;
  }

  // ---- Input for the program -------------------------------------------------------------------

  let pointer = null;  // where this script last put the pointer, in window pixels
  // The middle of a window pixel on the page, where the browser's rounding of the event's
  // coordinates and GLUT's both give back that pixel.
  function onPage(point) {
    const box = canvas.getBoundingClientRect();
    return { x: box.left + (point.x + 0.5) * box.width / canvas.width,
             y: box.top + (point.y + 0.5) * box.height / canvas.height };
  }
  function moveTo(point) {
    const { mouse, LEFT } = window.programInput;
    mouse('mousemove', onPage(point), LEFT, 0);
    pointer = point;
  }
  function click(point) {
    const { mouse, LEFT, BUTTON_BITS } = window.programInput;
    moveTo(point);
    mouse('mousedown', onPage(point), LEFT, BUTTON_BITS[LEFT]);
    mouse('mouseup', onPage(point), LEFT, 0);
  }

  // The first movement loads the start creatures; the click that ends the title lands on the
  // first point of a grid, from the sky at the top, where the program finds no creature (the view
  // may have been moved on the title), so that it picks nothing.
  function begin() {
    const points = [{ x: canvas.width / 2, y: 40 }];
    for (let y = GRID / 2; y < canvas.height; y += GRID) {
      for (let x = GRID / 2; x < canvas.width; x += GRID) points.push({ x, y });
    }
    const empty = points.find((point) => {
      moveTo(point);
      const state = readCreatures();
      return !state || state.hover === NONE;
    });
    // The program ends at the load when it cannot read a start creature.
    if (!readCreatures()) return;
    click(empty || points[0]);
    choose(0);
  }

  // ---- The focused creature ------------------------------------------------------------------

  let active = null;       // the focused creature's number
  let keyboard = false;    // the keyboard is in use on the canvas: the ring shows, the pointer follows
  const cameFrom = new Map();  // parent -> the child last left for it with Down

  // What a screen reader says of creature id: its number, where it stands in the family tree,
  // and, for the focused one, what a pick there does when that is not to pick it.
  function describe(state, id) {
    const creature = state.creatures[id];
    const parts = [`creature ${id}`];
    if (creature.parent === null) {
      parts.push(`start creature, ${START_NAMES[id] || 'a start creature'}`);
    } else {
      const slot = state.creatures[creature.parent].children[0] === id ? 'first' : 'second';
      parts.push(`${slot} child of creature ${creature.parent}`);
    }
    const [first, second] = creature.children;
    parts.push(first === undefined ? 'no children' : `two children, ${first} and ${second}`);
    if (state.firstPick === id) parts.push('picked first');
    if (id === active) {
      const at = spot(state, id);
      if (!at) {
        parts.push('out of the picture: move the view to pick it');
      } else if (pointer && pointer.x === at.x && pointer.y === at.y && state.hover !== id &&
                 state.hover !== NONE) {
        parts.push(`a pick here takes creature ${state.hover}, which overlaps it`);
      }
    }
    return parts.join(', ');
  }

  // One element in the canvas for each creature, named for it.
  function showNames(state) {
    while (canvas.children.length < state.creatures.length) {
      const item = document.createElement('div');
      item.id = `creature-${canvas.children.length}`;
      item.setAttribute('role', 'button');
      canvas.appendChild(item);
    }
    state.creatures.forEach((creature, id) => {
      const name = describe(state, id);
      const item = canvas.children[id];
      if (item.getAttribute('aria-label') !== name) item.setAttribute('aria-label', name);
    });
  }

  // Focuses creature id: the pointer onto it, its name brought up to date, then the canvas's
  // active descendant, which a screen reader announces.
  function choose(id) {
    keyboard = true;
    active = id;
    const state = follow(readCreatures());
    showNames(state);
    canvas.setAttribute('aria-activedescendant', `creature-${id}`);
  }

  // The pointer onto the focused creature, when the keyboard is in use and it is in the picture.
  // Returns the state as it is then.
  function follow(state) {
    const at = active === null ? null : spot(state, active);
    if (!keyboard || !at || (pointer && pointer.x === at.x && pointer.y === at.y)) return state;
    moveTo(at);
    return readCreatures();
  }

  // ---- Keys ----------------------------------------------------------------------------------

  // The creatures beside id in screen order: the other children of its parent, or the other
  // start creatures, from left to right.
  function row(state, id) {
    const parent = state.creatures[id].parent;
    const ids = parent === null
      ? state.creatures.map((creature, i) => i).filter((i) => state.creatures[i].parent === null)
      : state.creatures[parent].children.slice();
    return ids.sort((a, b) => state.creatures[a].x - state.creatures[b].x || a - b);
  }

  function target(state, key) {
    const creature = state.creatures[active];
    const last = state.creatures.length - 1;
    switch (key) {
      case 'ArrowLeft':
      case 'ArrowRight': {
        const ids = row(state, active);
        const at = ids.indexOf(active) + (key === 'ArrowLeft' ? -1 : 1);
        return at >= 0 && at < ids.length ? ids[at] : active;
      }
      case 'ArrowUp':
        if (creature.children.length === 0) return active;
        return creature.children.includes(cameFrom.get(active)) ? cameFrom.get(active)
          : creature.children[0];
      case 'ArrowDown':
        if (creature.parent === null) return active;
        cameFrom.set(creature.parent, active);
        return creature.parent;
      case 'Home': return 0;
      case 'End': return last;
      case 'PageUp': return Math.max(0, active - 1);
      case 'PageDown': return Math.min(last, active + 1);
      default: return null;
    }
  }

  // A left click at the focused creature's centre, where there is one.
  function pickFocused(state) {
    const at = spot(state, active);
    if (at) {
      click(at);
    } else {
      window.announce(`Creature ${active} is out of the picture: move the view to pick it.`);
    }
    choose(active);
  }

  const MOVES = ['ArrowLeft', 'ArrowRight', 'ArrowUp', 'ArrowDown', 'Home', 'End', 'PageUp',
                 'PageDown'];
  const TURNS = { ArrowLeft: 'left', ArrowRight: 'right', ArrowUp: 'up', ArrowDown: 'down' };

  // Only these keys, and only on the canvas: Tab and everything else keep their meanings. A key
  // held down picks once.
  canvas.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    const pick = event.key === 'Enter' || event.key === ' ';
    const state = (pick || MOVES.includes(event.key)) && readCreatures();
    if (!state) return;
    event.preventDefault();
    if (pick && event.repeat) return;
    if (state.title) {
      if (pick) begin();
      return;
    }
    if (active === null || active >= state.creatures.length) active = 0;
    const turn = event.shiftKey && TURNS[event.key];
    if (turn) {
      window.programInput.turn(turn);
      choose(active);
    } else if (pick) {
      pickFocused(state);
    } else {
      choose(target(state, event.key));
    }
  });

  // A creature's element pressed by assistive technology picks it, as Enter does.
  canvas.addEventListener('click', (event) => {
    const id = Array.prototype.indexOf.call(canvas.children, event.target);
    const state = id >= 0 && readCreatures();
    if (!state || state.title) return;
    choose(id);
    pickFocused(readCreatures());
  });

  // Tabbed to: the keyboard takes over where it left off. A click that focuses the canvas changes
  // nothing that shows; a pointer used on the canvas hands the pointer back to the mouse.
  canvas.addEventListener('focus', () => {
    const state = readCreatures();
    if (!state || state.title) return;
    if (active === null) active = 0;
    if (canvas.matches(':focus-visible')) {
      choose(active);
    } else {
      showNames(state);
      canvas.setAttribute('aria-activedescendant', `creature-${active}`);
    }
  });
  // Focus gone elsewhere in the page ends the keyboard's turn; another window or tab does not.
  canvas.addEventListener('blur', () => {
    if (document.activeElement !== canvas) keyboard = false;
  });
  // A turn, from the turn buttons or Shift and an arrow, is a drag that leaves the pointer where
  // it ends.
  canvas.addEventListener('mousedown', (event) => {
    if (event.button === window.programInput.MIDDLE) pointer = null;
  });
  for (const type of ['pointerdown', 'pointermove']) {
    canvas.addEventListener(type, (event) => {
      if (!event.isTrusted) return;
      keyboard = false;
      pointer = null;
    });
  }

  // ---- Every frame ---------------------------------------------------------------------------

  // The ring around the focused creature's pick sphere: where a click takes it.
  function drawRing(creature) {
    if (!creature || !creature.inFront) {
      ringBox.hidden = true;
      return;
    }
    const box = canvas.getBoundingClientRect();
    const origin = canvas.offsetParent.getBoundingClientRect();
    const scale = box.width / canvas.width;
    const radius = Math.max(SMALLEST_RING, creature.radius * scale);
    Object.assign(ringBox.style, { left: `${box.left - origin.left}px`,
      top: `${box.top - origin.top}px`, width: `${box.width}px`, height: `${box.height}px` });
    Object.assign(ring.style, { left: `${creature.x * scale - radius}px`,
      top: `${creature.y * scale - radius}px`, width: `${2 * radius}px`,
      height: `${2 * radius}px` });
    ringBox.hidden = false;
  }

  function frame() {
    requestAnimationFrame(frame);
    let state = readCreatures();
    if (!state) {
      drawRing(null);
      if (window.programRunning && !programRunning()) {
        canvas.removeAttribute('aria-activedescendant');
      }
      return;
    }
    if (state.title) return;
    if (!document.documentElement.classList.contains('begun')) {
      // The help stops saying how to begin.
      document.documentElement.classList.add('begun');
      for (const words of document.querySelectorAll('#canvas-help .begin')) words.remove();
    }
    const focused = keyboard && document.activeElement === canvas && active !== null;
    if (focused) state = follow(state);
    showNames(state);
    drawRing(focused ? state.creatures[active] : null);
  }
  requestAnimationFrame(frame);
})();
