// The page from the keyboard alone, in Chromium and in Firefox: the "keyboard" script of
// creatures_web_reference, which the desktop viewer went through with a mouse, played with nothing
// but keys. Tab from the top of the page to the canvas, Enter to begin, the arrow keys to find
// creature 1, Enter twice to self-breed it, its first child bred with the bird, creature 1 bred
// again with the rabbit (a breeding that changes a creature and its descendants), the view moved
// by a key and by the pad, the tree turned by Shift and an arrow, Escape. After each step the
// output panel equals the desktop's console byte for byte, the live region names the right
// creatures, and the ring the page draws stands on the focused creature in the picture. In
// Chromium, axe-core finds nothing to fault on the title, after the start-up load and after a
// breeding.
//
// Environment: CREATURES_SITE (the site folder), CREATURES_KEYBOARD_REFERENCE (the desktop
// records), CREATURES_ENGINES (optional: "chromium,firefox" by default; Firefox needs DISPLAY).
'use strict';

const assert = require('node:assert/strict');
const { before, describe, it } = require('node:test');
const { AxePuppeteer } = require('@axe-core/puppeteer');
const { siteAndBrowser, desktopRecords, canvasImage, frames, silhouette } = require('./support');

const ENGINES = (process.env.CREATURES_ENGINES || 'chromium,firefox').split(',');
const PAD = ['i', 'j', 'k', 'l', 'u', 'o'];

for (const engine of ENGINES) {
  describe(`the viewer from the keyboard alone in ${engine}`, { timeout: 300000 }, () => {
    const open = siteAndBrowser(process.env.CREATURES_SITE, engine);
    const records = desktopRecords(process.env.CREATURES_KEYBOARD_REFERENCE);
    let page;
    const pageErrors = [];

    before(async () => {
      page = await open.browser.newPage();
      await page.setViewport({ width: 1100, height: 1200, deviceScaleFactor: 1 });
      page.on('pageerror', (error) => pageErrors.push(error.message));
      await page.goto(open.site.url);
      await page.waitForFunction(() => window.firstFrameTime !== undefined, { timeout: 60000 });
    });

    const output = () => page.$eval('#output', (panel) => panel.textContent);
    // Presses a key (with Shift: 'Shift+ArrowRight') and waits for the frames after it.
    async function press(key) {
      const [shift, name] = key.startsWith('Shift+') ? [true, key.slice(6)] : [false, key];
      if (shift) await page.keyboard.down('Shift');
      await page.keyboard.press(name);
      if (shift) await page.keyboard.up('Shift');
      await frames(page, 3);
    }
    // The element with the focus, the canvas's focused creature and its name, the live region,
    // and the ring (its centre and radius in the canvas's pixels), if shown.
    const where = () => page.evaluate(() => {
      const canvas = document.getElementById('canvas');
      const item = document.getElementById(canvas.getAttribute('aria-activedescendant'));
      const box = canvas.getBoundingClientRect();
      const ring = document.getElementById('ring').getBoundingClientRect();
      const scale = canvas.width / box.width;
      return {
        focus: document.activeElement.id || document.activeElement.dataset.key ||
          document.activeElement.tagName,
        creature: item && item.id, name: item && item.getAttribute('aria-label'),
        said: document.getElementById('announcement').textContent,
        ring: document.getElementById('ring-box').hidden ? null
          : { x: (ring.x + ring.width / 2 - box.x) * scale,
              y: (ring.y + ring.height / 2 - box.y) * scale, radius: ring.width / 2 * scale },
      };
    });
    // The ring shown round creature id, on what the picture shows there: the silhouette inside
    // the ring (a square well within it) is centred near the ring's centre.
    async function ringOn(id, name) {
      const now = await where();
      assert.equal(now.focus, 'canvas');
      assert.equal(now.creature, `creature-${id}`);
      if (name) assert.match(now.name, name);
      assert.ok(now.ring, 'no ring');
      const half = 0.55 * now.ring.radius;
      const inside = silhouette(await canvasImage(page), { x: now.ring.x - half,
        y: now.ring.y - half, width: 2 * half, height: 2 * half });
      assert.ok(inside.pixels > 300 && Math.hypot(inside.centreX - now.ring.x,
        inside.centreY - now.ring.y) < 0.3 * now.ring.radius,
      `creature ${id}: the ring at ${JSON.stringify(now.ring)} on ${JSON.stringify(inside)}`);
      return now.ring;
    }
    async function panelIs(step) {
      await page.waitForFunction((length) =>
        document.getElementById('output').textContent.length >= length, { timeout: 60000 },
      records.console(step).length);
      assert.equal(await output(), records.console(step));
    }
    async function noViolations(when) {
      if (engine !== 'chromium') return;
      const { violations } = await new AxePuppeteer(page)
        .withTags(['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa', 'best-practice'])
        .analyze();
      assert.deepEqual(violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target)}`), [],
        `axe-core ${when}`);
    }

    // Tab and Shift+Tab go through the page in order; the page is left at the end of the session
    // (a browser under automation may not give the page its keys back as a person's would).
    async function visit(key, times) {
      const order = [];
      for (let k = 0; k < times; ++k) {
        await press(key);
        order.push((await where()).focus);
      }
      return order;
    }

    it('goes by Tab to the canvas, the pad and the panel, and back by Shift+Tab', async () => {
      await noViolations('on the title');
      assert.deepEqual(await visit('Tab', 8), ['canvas', ...PAD, 'output']);
      assert.deepEqual(await visit('Shift+Tab', 7), [...PAD.slice().reverse(), 'canvas']);
      assert.deepEqual(await page.$eval('#canvas', (canvas) =>
        [canvas.matches(':focus-visible'), getComputedStyle(canvas).outlineStyle]),
      [true, 'solid']);
      assert.equal(await output(), '', 'no key reached the program');
    });

    it('begins at Enter, loading the creatures, and focuses creature 0', async () => {
      const help = () => page.$eval('#help', (p) => [p.getBoundingClientRect().height,
        getComputedStyle(p.querySelector('.mouse .begin')).visibility]);
      const [height] = await help();
      await press('Enter');
      await panelIs('population');
      assert.deepEqual(await help(), [height, 'hidden']);
      await ringOn(0, /^creature 0, start creature, the bird, no children$/);
      await noViolations('after the start-up load');
    });

    it('finds creature 1 with an arrow key and self-breeds it with Enter twice', async () => {
      await press('ArrowLeft');
      await ringOn(1, /^creature 1, start creature, the squat one, no children$/);
      await press('Enter');
      assert.equal((await where()).said, 'Creature 1 picked first.');
      assert.match((await where()).name, /picked first$/);
      await press('Enter');
      await panelIs('self-bred');
      assert.equal((await where()).said, 'Creature 1 bred with itself: children 3 and 4.');
      await ringOn(1, /two children, 3 and 4$/);
    });

    it('breeds the first child with the bird, then creature 1 with the rabbit', async () => {
      await press('ArrowUp');
      await ringOn(3, /^creature 3, first child of creature 1, no children$/);
      await press('Enter');
      await press('ArrowDown');
      await ringOn(1);
      await press('ArrowRight');
      const before = await ringOn(0);
      await press('Enter');
      await panelIs('bred');
      assert.equal((await where()).said, 'Creature 3 bred with creature 0: children 5 and 6.');
      // The view stepped back: the bird, right of the middle, stands nearer to it.
      const after = await ringOn(0);
      assert.ok(after.x < before.x - 5 && after.radius < before.radius, 'the ring stood still');
      await noViolations('after a breeding');
      // The squat one, with children and grandchildren, and the rabbit: no new creature.
      for (const key of ['ArrowLeft', 'Enter', 'ArrowLeft']) await press(key);
      await ringOn(2, /^creature 2, start creature, the rabbit, no children$/);
      await press('Enter');
      await panelIs('rebred');
      assert.equal((await where()).said,
        'Creature 1 bred with creature 2: it, its children 3 and 4 and 2 more descendants changed.');
    });

    it('moves the view by key and by the pad, turns it by Shift and an arrow', async () => {
      const start = await ringOn(2);
      await press('l');
      const moved = await ringOn(2);
      assert.ok(moved.x - start.x > 20, `the ring moved by ${moved.x - start.x}`);
      await press('Shift+ArrowRight');
      const turned = await ringOn(2);
      assert.ok(Math.hypot(turned.x - moved.x, turned.y - moved.y) > 5, 'no turn');
      for (let k = 0; k < 4; ++k) await press('Tab');
      assert.deepEqual([(await where()).focus, (await where()).ring], ['l', null]);
      await press('Enter');
      for (let k = 0; k < 4; ++k) await press('Shift+Tab');
      const padded = await ringOn(2);
      assert.ok(padded.x - turned.x > 20, `the pad moved the ring by ${padded.x - turned.x}`);
      // A creature's element pressed, as assistive technology presses it, is a pick.
      await page.$eval('#creature-1', (item) => item.click());
      await frames(page, 3);
      assert.equal((await where()).said, 'Creature 1 picked first.');
      await ringOn(1, /picked first$/);
      await panelIs('rebred');
    });

    it('ends at Escape as the desktop does', async () => {
      await press('Escape');
      await panelIs('ended');
      assert.equal(await page.$eval('#status', (line) => line.textContent),
        'The program has ended (exit status 1).');
      assert.deepEqual(await visit('Tab', 9), [...PAD, 'output', 'BODY', 'canvas']);
      assert.deepEqual(pageErrors, []);
    });
  });
}
