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
//   S                    save the focused creature (save.js); Enter does, while "Save a creature"
//                        is choosing one
//
// Where each creature stands on screen comes from the program (web/creature_marks.cpp). The
// focused creature carries a ring drawn over the canvas while the keyboard is in use; for screen
// readers it is the canvas's active descendant, an element inside the canvas named for the
// creature (a press of that element by assistive technology picks the creature, as Enter does).
import { program } from './program.js';
import { click, pointerAt, pointTo, turn } from './input.js';
import { announce } from './announce.js';
import { choosing, chosen } from './choosing.js';

const canvas = document.getElementById('canvas');
const ringBox = document.getElementById('ring-box');
const ring = document.getElementById('ring');
const WIDTH = canvas.width;
const HEIGHT = canvas.height;
const START_NAMES = ['the bird', 'the squat one', 'the rabbit'];
const GRID = 64;           // window pixels between the points tried for an empty spot
const SMALLEST_RING = 12;  // CSS pixels of radius

// ---- What the program shows ----------------------------------------------------------------------

// The creatures as the program last told them, each with its parent, or null when the program
// does not run.
function creatures() {
  const marks = program.marks;
  if (!program.running() || !marks) return null;
  if (!marks.parentsFound) {
    marks.creatures.forEach((creature) => { creature.parent = null; });
    marks.creatures.forEach((creature, id) => {
      for (const child of creature.children) {
        if (marks.creatures[child]) marks.creatures[child].parent = id;
      }
    });
    marks.parentsFound = true;
  }
  return marks;
}

// The window pixel whose click sends the pick test's ray through the creature's centre, or null
// when that is outside the window (or behind the eye), where no click can land.
function spot(state, id) {
  const creature = state.creatures[id];
  if (!creature || !creature.inFront) return null;
  const x = Math.round(creature.x);
  const y = Math.round(creature.y);
  return x >= 0 && x < WIDTH && y >= 0 && y < HEIGHT ? { x, y } : null;
}
const pointerOn = (at) => {
  const pointer = pointerAt();
  return at !== null && pointer !== null && pointer.x === at.x && pointer.y === at.y;
};

// ---- The focused creature ----------------------------------------------------------------------

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
    } else if (pointerOn(at) && state.hover !== id && state.hover !== null) {
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

// The pointer onto the focused creature, when the keyboard is in use and it is in the picture.
// Returns whether it was moved.
function follow(state) {
  const at = active === null ? null : spot(state, active);
  if (!keyboard || !at || pointerOn(at)) return false;
  pointTo(at);
  return true;
}

// Focuses creature id: the pointer onto it, its name brought up to date once the program has
// taken the move, then the canvas's active descendant, which a screen reader announces.
async function choose(id) {
  keyboard = true;
  active = id;
  let state = creatures();
  if (state && follow(state)) {
    await program.settled();
    state = creatures();
  }
  if (!state) return;
  showNames(state);
  canvas.setAttribute('aria-activedescendant', `creature-${id}`);
}

// ---- Keys ----------------------------------------------------------------------------------------

// The first movement loads the start creatures; the click that ends the title lands on the first
// point of a grid, from the sky at the top, where the program finds no creature (the view may
// have been moved on the title), so that it picks nothing.
async function begin() {
  const points = [{ x: WIDTH / 2, y: 40 }];
  for (let y = GRID / 2; y < HEIGHT; y += GRID) {
    for (let x = GRID / 2; x < WIDTH; x += GRID) points.push({ x, y });
  }
  let empty = null;
  for (const point of points) {
    pointTo(point);
    await program.settled();
    // The program ends at the load when it cannot read a start creature.
    if (!creatures()) return;
    if (creatures().hover === null) {
      empty = point;
      break;
    }
  }
  click(empty || points[0]);
  await program.settled();
  await choose(0);
}

// The creatures beside id in screen order: the other children of its parent, or the other start
// creatures, from left to right.
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
async function pickFocused(state) {
  const at = spot(state, active);
  if (at) {
    click(at);
    await program.settled();
  } else {
    announce(`Creature ${active} is out of the picture: move the view to pick it.`);
  }
  await choose(active);
}

const MOVES = ['ArrowLeft', 'ArrowRight', 'ArrowUp', 'ArrowDown', 'Home', 'End', 'PageUp',
               'PageDown'];
const TURNS = { ArrowLeft: 'left', ArrowRight: 'right', ArrowUp: 'up', ArrowDown: 'down' };

// The keys are taken one after another, each once the program has taken what the one before
// sent it.
let keys = Promise.resolve();
function handleKey(key, shift, repeat) {
  const state = creatures();
  if (!state) return undefined;
  const pick = key === 'Enter' || key === ' ';
  if (pick && repeat) return undefined;
  if (state.title) return pick ? begin() : undefined;
  if (active === null || active >= state.creatures.length) active = 0;
  if (key === 's' || (pick && choosing())) return chosen(active);
  const way = shift && TURNS[key];
  if (way) {
    turn(way);
    return program.settled().then(() => choose(active));
  }
  return pick ? pickFocused(state) : choose(target(state, key));
}

// Only these keys, and only on the canvas: Tab and everything else keep their meanings. A key
// held down picks once.
canvas.addEventListener('keydown', (event) => {
  if (event.ctrlKey || event.altKey || event.metaKey) return;
  const pick = event.key === 'Enter' || event.key === ' ' || event.key === 's';
  if (!(pick || MOVES.includes(event.key)) || !creatures()) return;
  event.preventDefault();
  const { key, shiftKey, repeat } = event;
  keys = keys.then(() => handleKey(key, shiftKey, repeat));
});

// A creature's element pressed by assistive technology picks it, as Enter does.
canvas.addEventListener('click', (event) => {
  const id = Array.prototype.indexOf.call(canvas.children, event.target);
  if (id < 0) return;
  keys = keys.then(async () => {
    const state = creatures();
    if (!state || state.title) return;
    await choose(id);
    if (choosing()) await chosen(id);
    else await pickFocused(creatures());
  });
});

// Tabbed to: the keyboard takes over where it left off. A click that focuses the canvas changes
// nothing that shows; a pointer used on the canvas hands the pointer back to the mouse.
canvas.addEventListener('focus', () => {
  const state = creatures();
  if (!state || state.title) return;
  if (active === null) active = 0;
  if (canvas.matches(':focus-visible')) {
    keys = keys.then(() => choose(active));
  } else {
    showNames(state);
    canvas.setAttribute('aria-activedescendant', `creature-${active}`);
  }
});
// Focus gone elsewhere in the page ends the keyboard's turn; another window or tab does not.
canvas.addEventListener('blur', () => {
  if (document.activeElement !== canvas) keyboard = false;
});
for (const type of ['pointerdown', 'pointermove']) {
  canvas.addEventListener(type, (event) => {
    if (event.isTrusted) keyboard = false;
  });
}

// ---- Every frame ---------------------------------------------------------------------------------

// The ring around the focused creature's pick sphere: where a click takes it.
function drawRing(creature) {
  if (!creature || !creature.inFront) {
    ringBox.hidden = true;
    return;
  }
  const box = canvas.getBoundingClientRect();
  const origin = canvas.offsetParent.getBoundingClientRect();
  const scale = box.width / WIDTH;
  const radius = Math.max(SMALLEST_RING, creature.radius * scale);
  Object.assign(ringBox.style, { left: `${box.left - origin.left}px`,
    top: `${box.top - origin.top}px`, width: `${box.width}px`, height: `${box.height}px` });
  Object.assign(ring.style, { left: `${creature.x * scale - radius}px`,
    top: `${creature.y * scale - radius}px`, width: `${2 * radius}px`,
    height: `${2 * radius}px` });
  ringBox.hidden = false;
}

program.addEventListener('ended', () => canvas.removeAttribute('aria-activedescendant'));
program.addEventListener('failed', () => canvas.removeAttribute('aria-activedescendant'));

function frame() {
  requestAnimationFrame(frame);
  const state = creatures();
  if (!state) {
    drawRing(null);
    return;
  }
  if (state.title) return;
  if (!document.documentElement.classList.contains('begun')) {
    // The help stops saying how to begin.
    document.documentElement.classList.add('begun');
    for (const words of document.querySelectorAll('#canvas-help .begin')) words.remove();
  }
  const focused = keyboard && document.activeElement === canvas && active !== null;
  if (focused) follow(state);
  showNames(state);
  drawRing(focused ? state.creatures[active] : null);
}
requestAnimationFrame(frame);
