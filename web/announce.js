// What changed on the canvas, said once in a polite live region for screen readers: a first pick,
// and after each breeding one short sentence of who bred with whom and which children it made or
// changed ("Creature 1 bred with itself: children 3 and 4."). The program's web shell tells of
// each breeding (web/program_events.h); the sentence is made from the family tree as the program
// holds it once the breeding has run. The panel with the program's output is not a live region:
// nothing reads it out line by line.
import { program } from './program.js';

const region = document.getElementById('announcement');
let firstPick = null;
const breedings = [];  // { creature, partner, newChildren } whose sentence is still to come

// Says text in the live region. The same sentence again is still news: a no-break space makes it
// a change.
export function announce(text) {
  region.textContent = region.textContent === text ? `${text}\u00a0` : text;
}

function descendants(creatures, id) {
  let count = 0;
  const open = [...creatures[id].children];
  while (open.length > 0) {
    ++count;
    open.push(...creatures[open.pop()].children);
  }
  return count;
}

function sentence(creatures, { creature, partner, newChildren }) {
  const who = partner === creature ? 'itself' : `creature ${partner}`;
  const [first, second] = creatures[creature].children;
  let what;
  if (first === undefined) {
    what = 'nothing changed';
  } else if (newChildren) {
    what = `children ${first} and ${second}`;
  } else {
    const more = descendants(creatures, creature) - 2;
    what = more > 0
      ? `it, its children ${first} and ${second} and ${more} more descendants changed`
      : `it and its children ${first} and ${second} changed`;
  }
  return `Creature ${creature} bred with ${who}: ${what}.`;
}

program.addEventListener('breeding', ({ detail }) => breedings.push(detail));

// What an input changed comes with the creatures after it: a breeding is told then (one made on
// the title, where the right button picks, once the title has gone), and a new first pick.
program.addEventListener('marks', ({ detail: marks }) => {
  if (marks.title) return;
  if (breedings.length > 0) {
    announce(breedings.splice(0).map((breeding) => sentence(marks.creatures, breeding)).join(' '));
  }
  if (marks.firstPick === firstPick) return;
  firstPick = marks.firstPick;
  if (firstPick !== null) announce(`Creature ${firstPick} picked first.`);
});
