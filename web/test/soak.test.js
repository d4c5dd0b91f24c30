// A soak of the page in headless Chromium: for a bounded time, seeded random input, first with a
// mouse and keys on a desktop-sized page (hovers, left and right clicks, middle-button and
// Shift-and-left drags, the six keys, a trackpad's pinch, the page's buttons, the canvas's own
// keys that choose, pick and turn), then with fingers
// on a phone-sized one (taps, two-finger drags, spreads and pinches, the page's buttons).
//
// It checks that
//  - no error reaches the page and the console holds the program's lines and nothing else;
//  - the output panel is a well-formed sequence of the program's messages: the start-up load,
//    then breedings and self-breedings, each with the messages it prints in their order, the
//    ids of new children as the family tree that the messages describe has them;
//  - the program still draws at the end (its picture changes from frame to frame);
//  - the WebAssembly heap stays within a fixed allowance plus a bound per creature of the
//    population, which the tree above counts.
// It reports the population reached, the heap and the slowest frame.
//
// Environment: CREATURES_SITE (the site folder), CREATURES_SOAK_SECONDS (default 60),
// CREATURES_SOAK_SEED (default 1): a failure is replayed with its seed.
'use strict';

const assert = require('node:assert/strict');
const { describe, it } = require('node:test');
const {
  siteAndBrowser, PHONE, canvasImage, frames, firstFrame, meanDifference,
} = require('./support');

const SITE = process.env.CREATURES_SITE;
const SECONDS = Number(process.env.CREATURES_SOAK_SECONDS || 60);
const SEED = Number(process.env.CREATURES_SOAK_SEED || 1);
const MIB = 1024 * 1024;
// The heap: Emscripten starts with 16 MiB and grows it by a fifth (or more, when more is asked
// for) at a time, never giving it back. A creature's genome and display copy with their topology
// records take about 1.2 MiB, and a fifth more may be room the last growth left.
const HEAP_ALLOWANCE = 24 * MIB;
const HEAP_PER_CREATURE = 1.6 * MIB;

// A small seeded generator (mulberry32): the same seed, the same input.
function generator(seed) {
  let state = seed >>> 0;
  const next = () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  return {
    next,
    below: (n) => Math.floor(next() * n),
    pick: (list) => list[Math.floor(next() * list.length)],
  };
}

// Reads the panel's text as the program's messages, in the order the program prints them, and
// replays the family tree they describe. Returns the population, or throws at the first text
// that is not where a message of the program belongs.
function readTranscript(text) {
  let at = 0;
  function take(pattern, what) {
    const sticky = new RegExp(pattern.source, 'y');
    sticky.lastIndex = at;
    const match = sticky.exec(text);
    if (!match) {
      throw new Error(`expected ${what} at ${at}: ${JSON.stringify(text.slice(at, at + 80))}`);
    }
    at = sticky.lastIndex;
    return match;
  }
  const maybe = (pattern) => {
    const sticky = new RegExp(pattern.source, 'y');
    sticky.lastIndex = at;
    return sticky.test(text);
  };
  const refinements = () => {
    while (maybe(/Starting Subdivision\.\.\./)) take(/Starting Subdivision\.\.\./, 'a refinement');
  };

  for (const name of ['bird1', 'squant1', 'rabbit']) {
    take(new RegExp(`Opening \\./model_data/${name}\\.obj\\n(\\w+\\n)+Parsed obj file ` +
      `\\./model_data/${name}\\.obj\\nGroups:\\d+\\nFaces:\\d+\\nVertices:\\d+\\nNormals:\\d+\\n` +
      'UVs: \\d+\\nBuilding 0th Set of Half Edges\\.\\.\\.Done\\nCalculating Normals\\.\\.\\.' +
      'Done\\n'), `the start-up load of ${name}`);
    refinements();
  }
  let population = 3;
  const parents = new Set();
  const creature = (match) => {
    const index = Number(match);
    assert.ok(index >= 0 && index < population, `creature ${index} of ${population}`);
    return index;
  };
  while (at < text.length) {
    if (maybe(/Breeding/)) {
      const [, first, second] = take(/Breeding (\d+) and (\d+)\n/, 'a breeding');
      creature(first);
      const parent = creature(second);
      assert.notEqual(first, second);
      if (maybe(/Error!/)) {
        take(new RegExp(`Error! Cannot breed creature ${parent}: the two meshes differ ` +
          '\\([a-z ,0-9]+\\)\\n'), 'a refused breeding');
        continue;
      }
      refinements();
      if (!parents.has(parent)) {
        parents.add(parent);
        population += 2;
      }
      continue;
    }
    const [, firstExists, secondExists] = take(
      /(The First Child Exists\n)?(The Second Child Exists\n)?Sending (-?\d+) (-?\d+)/,
      'a breeding or a self-breeding');
    const [, index] = take(/SB MYSELF:(\d+)\n/, 'the self-breeding');
    const self = creature(index);
    assert.equal(Boolean(firstExists), parents.has(self));
    assert.equal(Boolean(secondExists), parents.has(self));
    if (maybe(/Self Breeding a Leaf/)) {
      const ids = [population, population + 1];
      take(new RegExp(`Self Breeding a Leaf\\nFirst Kid ID: ${ids[0]}Second Kid ID: ` +
        `${ids[1]}Just Assigned ${ids[1]}\\nDone with Second Kid\\n` +
        'X:-?\\d+\\.\\d{6} Y:-?\\d+\\.\\d{6} Z:-?\\d+\\.\\d{6} \\n'), 'a leaf\'s self-breeding');
      parents.add(self);
      population += 2;
    }
    refinements();
    take(/Created:(-?\d+) (-?\d+)\n/, 'the ids after a self-breeding');
  }
  return population;
}

// Waits for the page to take input again: the browser has shown a new frame.
const settle = (page) => frames(page, 1);

async function openPage({ browser, site }, emulation) {
  const page = await browser.newPage();
  const problems = [];
  const consoleLines = [];
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('console', (message) => {
    if (message.type() === 'log') consoleLines.push(message.text());
    else problems.push(`console ${message.type()}: ${message.text()}`);
  });
  // The longest time between two frames the browser showed, over the whole visit.
  await page.evaluateOnNewDocument(() => {
    window.slowestFrame = 0;
    let last;
    const tick = (now) => {
      if (last !== undefined) window.slowestFrame = Math.max(window.slowestFrame, now - last);
      last = now;
      requestAnimationFrame(tick);
    };
    requestAnimationFrame(tick);
  });
  await page.emulate(emulation);
  await page.goto(site.url);
  await firstFrame(page);
  const box = await (await page.$('#canvas')).boundingBox();
  return { page, problems, consoleLines, box };
}

// What a visit must show at its end; returns its figures.
async function check(visit, t) {
  const { page, problems, consoleLines } = visit;
  const text = await page.$eval('#output', (panel) => panel.textContent);
  const population = readTranscript(text);
  const heap = await page.evaluate(async () =>
    (await import('./program.js')).program.request('memory'));
  const slowest = await page.evaluate(() => window.slowestFrame);
  t.diagnostic(`population ${population}, heap ${(heap / MIB).toFixed(1)} MiB ` +
    `(${((heap - 16 * MIB) / MIB / Math.max(1, population - 3)).toFixed(2)} MiB per creature ` +
    `bred), slowest frame ${slowest.toFixed(0)} ms`);
  assert.deepEqual(problems, []);
  // Each finished line; the one the program is still writing follows once it ends.
  assert.deepEqual(consoleLines, text.slice(0, text.lastIndexOf('\n')).split('\n'));
  assert.equal(await page.$eval('#status', (line) => line.textContent), 'Running.');
  const first = await canvasImage(page);
  await frames(page, 3);
  const whole = { x: 0, y: 0, width: first.width, height: first.height };
  assert.ok(meanDifference(first, await canvasImage(page), whole) > 0, 'the picture stands still');
  assert.ok(heap <= HEAP_ALLOWANCE + HEAP_PER_CREATURE * population,
    `a heap of ${heap / MIB} MiB for ${population} creatures`);
}

describe(`a soak of the page: ${SECONDS} s of seeded input (seed ${SEED})`, { timeout: 600000 },
  () => {
    const open = siteAndBrowser(SITE);
    const random = generator(SEED);

    // A point where creatures are likely: mostly the lower part of the canvas, where the
    // population stands and grows upwards; sometimes anywhere.
    function spot(box) {
      const y = random.next() < 0.7 ? 0.45 + 0.5 * random.next() : random.next();
      return { x: box.x + random.next() * box.width, y: box.y + y * box.height };
    }
    // The view keys, chosen so that the scene tends back to where it started.
    const offsets = { x: 0, y: 0, z: 0 };
    function viewKey() {
      const axis = random.pick(['x', 'y', 'z']);
      const [plus, minus] = { x: ['l', 'j'], y: ['i', 'k'], z: ['u', 'o'] }[axis];
      const back = offsets[axis] > 0 ? minus : plus;
      const key = random.next() < 0.5 + Math.min(0.4, Math.abs(offsets[axis]) / 20) ? back
        : random.pick([plus, minus]);
      offsets[axis] += key === plus ? 2 : -2;
      return key;
    }

    it('with a mouse and keys on a desktop-sized page', async (t) => {
      const visit = await openPage(open, { viewport: { width: 1100, height: 1200 } });
      const { page, box } = visit;
      const end = Date.now() + SECONDS * 1000 * 0.6;
      let actions = 0;
      while (Date.now() < end) {
        const roll = random.below(100);
        const at = spot(box);
        if (roll < 25) {
          await page.mouse.move(at.x, at.y);
        } else if (roll < 60) {
          await page.mouse.move(at.x, at.y);
          await page.mouse.click(at.x, at.y, { button: random.next() < 0.8 ? 'left' : 'right' });
        } else if (roll < 72) {
          const shift = random.next() < 0.4;
          await page.mouse.move(at.x, at.y);
          if (shift) await page.keyboard.down('Shift');
          await page.mouse.down({ button: shift ? 'left' : 'middle' });
          for (let k = random.below(4); k >= 0; --k) {
            await page.mouse.move(at.x + (random.next() - 0.5) * 200,
              at.y + (random.next() - 0.5) * 200);
          }
          await page.mouse.up({ button: shift ? 'left' : 'middle' });
          if (shift) await page.keyboard.up('Shift');
        } else if (roll < 84) {
          await page.keyboard.press(viewKey());
        } else if (roll < 90) {
          await page.focus('#canvas');
          const shift = random.next() < 0.2;
          if (shift) await page.keyboard.down('Shift');
          await page.keyboard.press(random.pick(['ArrowLeft', 'ArrowRight', 'ArrowUp', 'ArrowDown',
            'Home', 'End', 'PageUp', 'PageDown', 'Enter', ' ']));
          if (shift) await page.keyboard.up('Shift');
        } else if (roll < 95) {
          await page.click(`#pad [data-key="${viewKey()}"]`);
        } else {
          await page.mouse.move(at.x, at.y);
          await page.keyboard.down('Control');
          await page.mouse.wheel({ deltaY: random.pick([-100, 100]) });
          await page.keyboard.up('Control');
        }
        await settle(page);
        ++actions;
      }
      t.diagnostic(`${actions} actions`);
      await check(visit, t);
    });

    it('with fingers on a phone-sized page', async (t) => {
      const visit = await openPage(open, PHONE);
      const { page, box } = visit;
      const end = Date.now() + SECONDS * 1000 * 0.4;
      let actions = 0;
      // Whole CSS pixels inside the page, as fingers land.
      const { width, height } = PHONE.viewport;
      const round = (p) => ({ x: Math.min(Math.max(Math.round(p.x), 1), width - 1),
                              y: Math.min(Math.max(Math.round(p.y), 1), height - 1) });
      while (Date.now() < end) {
        const roll = random.below(100);
        const at = round(spot(box));
        if (roll < 55) {
          await page.touchscreen.tap(at.x, at.y);
        } else if (roll < 85) {
          const other = round(spot(box));
          const one = await page.touchscreen.touchStart(at.x, at.y);
          const two = await page.touchscreen.touchStart(other.x, other.y);
          for (let k = random.below(5); k >= 0; --k) {
            const moved = (p) => round({ x: p.x + (random.next() - 0.5) * 120,
                                         y: p.y + (random.next() - 0.5) * 120 });
            const [a, b] = [moved(at), moved(other)];
            await one.move(a.x, a.y);
            await two.move(b.x, b.y);
          }
          await one.end();
          await two.end();
        } else {
          const button = await (await page.$(`#pad [data-key="${viewKey()}"]`)).boundingBox();
          await page.touchscreen.tap(Math.round(button.x + button.width / 2),
            Math.round(button.y + button.height / 2));
        }
        await settle(page);
        ++actions;
      }
      t.diagnostic(`${actions} actions`);
      await check(visit, t);
    });
  });
