// How quickly the page answers a breeding click: the time from the click to the end of the display
// pass that shows the children (the program's frame after the press, in its worker or the page),
// and, where the browser reports them (Chromium) through PerformanceObserver 'event' entries, the
// input delay (until its first handler runs), the processing (its handlers) and the presentation
// (until the page's next frame), which add up to its Interaction to Next Paint: a worker answers
// the page at once, so only the first figure says when the children are seen.
//
// The click's time is taken here, as the press is sent, on this process's clock set against the
// browser's (through a blank page of its own, whose thread is free to answer at once): an event's
// own timeStamp is taken, in Firefox and WebKit, only when the page's thread gets to it, which
// leaves out the wait behind a display pass running on that thread. Clicks come at varied times
// in the program's frame (whose phase would otherwise follow the test's waits).
// The population is grown to 31 by breeding leaves (with real clicks on the creatures, where the
// program says they stand), then measured, on each page:
//   - a click that breeds two leaves at a population of 31 (two children: 33);
//   - `repeats` clicks that breed a creature with 14 descendants, the change rippling through them;
//   - `repeats` clicks that breed creature 1 again, which then has 30 descendants.
'use strict';

const { performance } = require('node:perf_hooks');
const { serve, frames, firstFrame, creatureMarks } = require('./support');

// Records every event entry of an interaction (a click's pointer and mouse events), and for every
// press when (on the page's clock from its time origin) the program's frame that shows it ended.
function recordInteractions() {
  window.interactions = new Map();
  window.shown = [];
  // After the canvas's own handler has sent the press on: the frame after it, not after a release.
  addEventListener('mousedown', () => {
    import('./program.js').then(({ program }) => program.drawn())
      .then(() => window.shown.push(performance.timeOrigin + performance.now()));
  });
  if (!PerformanceObserver.supportedEntryTypes.includes('event')) return;
  new PerformanceObserver((list) => {
    for (const entry of list.getEntries()) {
      if (!entry.interactionId) continue;
      const seen = window.interactions.get(entry.interactionId) || [];
      seen.push({ start: entry.startTime, processingStart: entry.processingStart,
                  processingEnd: entry.processingEnd, duration: entry.duration });
      window.interactions.set(entry.interactionId, seen);
    }
  }).observe({ type: 'event', durationThreshold: 16, buffered: true });
}

// The parts of the last interaction: input delay, processing, presentation and its whole time
// (the longest of its entries, as Interaction to Next Paint counts it).
function lastInteraction() {
  const ids = [...window.interactions.keys()];
  if (ids.length === 0) return {};
  const entries = window.interactions.get(Math.max(...ids));
  const start = Math.min(...entries.map((e) => e.start));
  const processingStart = Math.min(...entries.map((e) => e.processingStart));
  const processingEnd = Math.max(...entries.map((e) => e.processingEnd));
  const end = Math.max(...entries.map((e) => e.start + e.duration));
  return { inp: Math.max(...entries.map((e) => e.duration)), delay: processingStart - start,
           processing: processingEnd - processingStart, presentation: end - processingEnd };
}

// The browser's clock (a page's time origin plus now) less this process's, from the quickest of a
// few round trips to a page that does nothing else.
async function clockOffset(page) {
  let best = null;
  for (let i = 0; i < 7; ++i) {
    const before = performance.timeOrigin + performance.now();
    const there = await page.evaluate(() => performance.timeOrigin + performance.now());
    const after = performance.timeOrigin + performance.now();
    if (!best || after - before < best.trip) {
      best = { trip: after - before, offset: there - (before + after) / 2 };
    }
  }
  return best.offset;
}

async function measureOnce(browser, folder, repeats) {
  const site = await serve(folder);
  // Opened first, so that the measured page is the one in front.
  const clock = await browser.newPage();
  await clock.goto(`${site.url}no-such-page`);
  const page = await browser.newPage();
  try {
    await page.setViewport({ width: 1100, height: 1200, deviceScaleFactor: 1 });
    await page.evaluateOnNewDocument(recordInteractions);
    await page.goto(site.url);
    await firstFrame(page);
    const box = await (await page.$('#canvas')).boundingBox();
    const scale = box.width / 1024;
    // Creatures' pick circles on the page, as the program tells them to the page.
    const circle = async (index) => {
      const { x, y, radius } = (await creatureMarks(page)).creatures[index];
      return { x: box.x + x * scale, y: box.y + y * scale, r: radius * scale };
    };
    // A point on creature `index` that no lower-numbered creature's circle covers (the pick
    // test takes the lowest number it meets), as near its middle as there is one.
    const where = async (index) => {
      const target = await circle(index);
      const others = [];
      for (let i = 0; i < index; ++i) others.push(await circle(i));
      let best = null;
      for (let dy = -0.8; dy <= 0.8; dy += 0.1) {
        for (let dx = -0.8; dx <= 0.8; dx += 0.1) {
          const p = { x: target.x + dx * target.r, y: target.y + dy * target.r };
          const free = others.every((o) => Math.hypot(p.x - o.x, p.y - o.y) > 1.1 * o.r);
          const off = Math.hypot(dx, dy);
          if (free && off <= 0.8 && (!best || off < best.off)) best = { ...p, off };
        }
      }
      if (!best) throw new Error(`no point picks creature ${index} alone`);
      return best;
    };
    const output = () => page.$eval('#output', (panel) => panel.textContent);
    // Picks a, then b: b's click breeds them. Returns that click's parts. The breeding press comes
    // 0 to 148 ms after a frame, in steps of 37 ms from click to click.
    let phase = 0;
    const breed = async (a, b) => {
      let sent = 0;
      for (const index of [a, b]) {
        const at = await where(index);
        await page.mouse.move(at.x, at.y);
        await frames(page, 2);
        if (index === b) {
          const offset = await clockOffset(clock);
          phase = (phase + 37) % 185;
          await new Promise((resolve) => setTimeout(resolve, phase));
          sent = performance.timeOrigin + performance.now() + offset;
        }
        await page.mouse.down();
        await page.mouse.up();
        await frames(page, 3);
      }
      const text = await output();
      if (!text.includes(`Breeding ${b} and ${a}\n`)) {
        throw new Error(`the clicks on ${a} and ${b} did not breed them: ${JSON.stringify(text.slice(-300))} ${JSON.stringify([await where(a), await where(b)])}`);
      }
      await frames(page, 10);
      const parts = await page.evaluate(lastInteraction);
      return { shown: (await page.evaluate(() => window.shown.at(-1))) - sent, ...parts };
    };

    await page.mouse.move(box.x + 512 * scale, box.y + 40 * scale);
    await page.mouse.click(box.x + 512 * scale, box.y + 40 * scale);
    await page.waitForFunction(() => document.getElementById('output').textContent
      .includes('rabbit.obj'), { timeout: 60000 });
    await frames(page, 5);
    // The family tree: children of each creature, to count descendants.
    const children = new Map();
    const descendants = (i) => (children.get(i) || [])
      .reduce((n, child) => n + 1 + descendants(child), 0);
    let population = 3;
    const leaves = [1];
    while (population < 31) {
      const leaf = leaves.shift();
      await breed(leaf, 2);
      children.set(leaf, [population, population + 1]);
      leaves.push(population, population + 1);
      population += 2;
    }
    const [a, b] = [leaves[0], leaves[leaves.length - 1]];
    const results = { 'two leaves at 31': [await breed(a, b)] };
    children.set(a, [population, population + 1]);
    population += 2;
    const fourteen = [...children.keys()].find((i) => descendants(i) === 14);
    const ripples = [`ripple through 14 (creature ${fourteen})`, `ripple through ${descendants(1)} (creature 1)`];
    for (const name of ripples) results[name] = [];
    for (let i = 0; i < repeats; ++i) {
      results[ripples[0]].push(await breed(fourteen, 0));
      results[ripples[1]].push(await breed(1, 0));
    }
    return results;
  } finally {
    await page.close();
    await clock.close();
    site.stop();
  }
}

// Medians over `rounds` fresh pages, each breeding `repeats` times again; with the clicks' count.
async function measureAnswers(browser, folder, rounds, repeats = 3) {
  const all = {};
  for (let i = 0; i < rounds; ++i) {
    for (const [name, clicks] of Object.entries(await measureOnce(browser, folder, repeats))) {
      all[name] = [...(all[name] || []), ...clicks];
    }
  }
  const median = (values) => values.sort((x, y) => x - y)[Math.floor(values.length / 2)];
  const out = {};
  for (const [name, clicks] of Object.entries(all)) {
    out[name] = { clicks: clicks.length };
    for (const part of Object.keys(clicks[0])) out[name][part] = median(clicks.map((c) => c[part]));
  }
  return out;
}

module.exports = { measureAnswers };
