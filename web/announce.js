// What changed on the canvas, said once in a polite live region for screen readers: a first pick,
// and after each breeding one short sentence of who bred with whom and which children it made or
// changed ("Creature 1 bred with itself: children 3 and 4."). The sentence starts from the
// program's own line ("Breeding 0 and 3", "SB MYSELF:1") and is finished once the breeding has
// run, from the family tree as the program then holds it (keyboard.js reads it). The panel with
// the program's output is not a live region: nothing reads it out line by line.
'use strict';

(function () {
  const region = document.getElementById('announcement');
  // Each may end a line that began with a message without a line end ("Starting
  // Subdivision...").
  const BREEDING = /Breeding (\d+) and (\d+)$/;
  const SELF_BREEDING = /SB MYSELF:(\d+)$/;
  // Creatures already told of: the start population, then two more for each breeding that made
  // children. Children numbered from here on are new.
  let told = 3;
  let firstPick = -1;
  const breedings = [];  // { creature, partner } whose sentence is still to come

  function announce(text) {
    // The same sentence again is still news: a no-break space makes it a change.
    region.textContent = region.textContent === text ? `${text}\u00a0` : text;
  }
  window.announce = announce;

  function descendants(creatures, id) {
    let count = 0;
    const open = [...creatures[id].children];
    while (open.length > 0) {
      ++count;
      open.push(...creatures[open.pop()].children);
    }
    return count;
  }

  function sentence(creatures, { creature, partner }) {
    const who = partner === creature ? 'itself' : `creature ${partner}`;
    const [first, second] = creatures[creature] ? creatures[creature].children : [];
    let what;
    if (first === undefined) {
      what = 'nothing changed';
    } else if (first >= told) {
      told += 2;
      what = `children ${first} and ${second}`;
    } else {
      const more = descendants(creatures, creature) - 2;
      what = more > 0
        ? `it, its children ${first} and ${second} and ${more} more descendants changed`
        : `it and its children ${first} and ${second} changed`;
    }
    return `Creature ${creature} bred with ${who}: ${what}.`;
  }

  // Breeding runs inside the input handler that printed its first line, so the sentences are
  // made once that handler has returned. A breeding on the title (the right button picks there)
  // is told once the title has gone.
  function tellBreedings() {
    const state = window.readCreatures();
    if (!state || state.title) return;
    const texts = breedings.splice(0).map((breeding) => sentence(state.creatures, breeding));
    if (texts.length > 0) announce(texts.join(' '));
  }

  window.addEventListener('programline', ({ detail: line }) => {
    let match = BREEDING.exec(line);
    if (match) {
      breedings.push({ creature: Number(match[2]), partner: Number(match[1]) });
    } else if ((match = SELF_BREEDING.exec(line))) {
      breedings.push({ creature: Number(match[1]), partner: Number(match[1]) });
    } else {
      return;
    }
    queueMicrotask(tellBreedings);
  });

  // A press picks; once the click is over, a new first pick is told.
  window.addEventListener('mouseup', () => queueMicrotask(() => {
    if (breedings.length > 0) tellBreedings();
    const state = window.readCreatures();
    if (!state || state.firstPick === firstPick) return;
    firstPick = state.firstPick;
    if (firstPick >= 0) announce(`Creature ${firstPick} picked first.`);
  }));
})();
