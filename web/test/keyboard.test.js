// The page from the keyboard alone, in Chromium and in Firefox: the "keyboard" script of
// creatures_web_reference, which the desktop viewer went through with a mouse, played with nothing
// but keys. Tab from the top of the page to the canvas, Enter to begin, the arrow keys to find
// creature 1, Enter twice to self-breed it, its first child bred with the bird, creature 1 bred
// again with the rabbit (a breeding that changes a creature and its descendants), the view moved
// by a key and by the pad, the tree turned by Shift and an arrow and by a turn button, the motion
// paused and run again by its button, the letter keys kept to the picture and its buttons by the
// setting, Escape from elsewhere on the page. After each step the output panel equals the
// desktop's console byte for byte, the live region names the right creatures, and the ring the
// page draws stands on the focused creature in the picture. Chromium asks for reduced motion, so
// its session runs paused from the start: the picture keeps still between inputs, and the ring
// and the picture follow each input. In Chromium, axe-core finds nothing to fault on the title,
// after the start-up load, after a breeding and on a page 320 pixels wide. The setting is
// remembered for the next visit, and the page does without storage where it is refused.
//
// Environment: CREATURES_SITE (the site folder), CREATURES_KEYBOARD_REFERENCE (the desktop
// records), CREATURES_ENGINES (optional: "chromium,firefox" by default; Firefox needs DISPLAY).
'use strict';

const assert = require('node:assert/strict');
const { before, describe, it } = require('node:test');
const { AxePuppeteer } = require('@axe-core/puppeteer');
const {
  siteAndBrowser, desktopRecords, canvasImage, frames, firstFrame, creatureMarks, silhouette,
  meanDifference, WHOLE,
} = require('./support');

const ENGINES = (process.env.CREATURES_ENGINES || 'chromium,firefox').split(',');
const PAD = ['i', 'j', 'k', 'l', 'u', 'o'];
const TURN = ['left', 'right', 'up', 'down'];
// Tab's stops after the canvas.
const KEEP = ['save-picture', 'save-creature', 'start-own'];
const CONTROLS = [...PAD, ...TURN, 'pause', 'letter-keys', ...KEEP, 'output'];

for (const engine of ENGINES) {
  describe(`the viewer from the keyboard alone in ${engine}`, { timeout: 300000 }, () => {
    const open = siteAndBrowser(process.env.CREATURES_SITE, engine);
    const records = desktopRecords(process.env.CREATURES_KEYBOARD_REFERENCE);
    // Where the system asks for reduced motion the page starts with its motion paused.
    const reduced = engine === 'chromium';
    let page;
    const pageErrors = [];

    async function openPage(viewport, prepare = async () => {}) {
      const opened = await open.browser.newPage();
      await opened.setViewport({ ...viewport, deviceScaleFactor: 1 });
      opened.on('pageerror', (error) => pageErrors.push(error.message));
      if (reduced) {
        await opened.emulateMediaFeatures([{ name: 'prefers-reduced-motion', value: 'reduce' }]);
      }
      await prepare(opened);
      await opened.goto(open.site.url);
      await firstFrame(opened);
      return opened;
    }
    before(async () => {
      page = await openPage({ width: 1100, height: 1200 });
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
      const focused = document.activeElement;
      return {
        focus: focused.id || focused.dataset.key || focused.dataset.turn || focused.tagName,
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
    // Whether the picture changes over some frames without input, and whether the motion is
    // paused, as the button says.
    async function moving() {
      const first = await canvasImage(page);
      await frames(page, 6);
      return meanDifference(first, await canvasImage(page), WHOLE) > 0;
    }
    const paused = () => page.$eval('#pause', (button) => button.getAttribute('aria-pressed'));
    // Where creature id stands in the picture, left to right.
    const standsAt = async (id) => (await creatureMarks(page)).creatures[id].x;

    async function noViolations(when, on = page) {
      if (engine !== 'chromium') return;
      const { violations } = await new AxePuppeteer(on)
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

    it('goes by Tab to the canvas, the pad, the settings and the panel, and back', async () => {
      assert.equal(await page.evaluate(() =>
        matchMedia('(prefers-reduced-motion: reduce)').matches), reduced);
      assert.equal(await paused(), String(reduced));
      await noViolations('on the title');
      assert.deepEqual(await visit('Tab', CONTROLS.length + 1), ['canvas', ...CONTROLS]);
      assert.deepEqual(await visit('Shift+Tab', CONTROLS.length),
        [...CONTROLS.slice(0, -1).reverse(), 'canvas']);
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
      assert.equal(await moving(), !reduced, 'the creatures\' motion');
    });

    it('finds creature 1 with an arrow key and self-breeds it with Enter twice', async () => {
      const before = await canvasImage(page);
      await press('ArrowLeft');
      assert.ok(meanDifference(before, await canvasImage(page), WHOLE) > 0, 'no frame');
      await ringOn(1, /^creature 1, start creature, the squat one, no children$/);
      // Enter held down picks once: its repeats pick nothing.
      for (let k = 0; k < 3; ++k) await page.keyboard.down('Enter');
      await page.keyboard.up('Enter');
      await frames(page, 3);
      await panelIs('population');
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

    it('walks the tree by every key, naming the focused creature after each', async () => {
      // Each key, the creature it focuses and what the name says of it.
      const walk = [['PageDown', 3, /^creature 3, first child of creature 1, two children, 5 and 6/],
        ['PageDown', 4, /^creature 4, second child of creature 1, no children/],
        // Up goes back to the child Down came from, the second here.
        ['ArrowDown', 1, /^creature 1, start creature, the squat one, two children, 3 and 4/],
        ['ArrowUp', 4], ['ArrowUp', 4], ['Home', 0, /^creature 0, start creature, the bird/],
        ['PageUp', 0], ['End', 6, /^creature 6, second child of creature 3, no children/],
        ['PageDown', 6], ['ArrowDown', 3], ['ArrowDown', 1], ['ArrowDown', 1], ['ArrowUp', 3],
        ['ArrowUp', 6], ['ArrowRight', 5, /^creature 5, first child of creature 3/],
        ['Home', 0], ['PageDown', 1], ['PageDown', 2]];
      for (const [key, id, name] of walk) {
        await press(key);
        // A busy machine may take some frames more to move the focus.
        for (let k = 0; k < 30 && (await where()).creature !== `creature-${id}`; ++k) {
          await frames(page, 1);
        }
        const now = await where();
        assert.equal(now.creature, `creature-${id}`, `after ${key}`);
        assert.match(now.name, name || /./);
      }
      await ringOn(2);
      await panelIs('rebred');
    });

    it('moves the view by a key and the pad, turns it by Shift+arrow and a button', async () => {
      const start = await ringOn(2);
      await press('l');
      const moved = await ringOn(2);
      assert.ok(moved.x - start.x > 20, `the ring moved by ${moved.x - start.x}`);
      await press('Shift+ArrowRight');
      const turned = await ringOn(2);
      assert.ok(Math.hypot(turned.x - moved.x, turned.y - moved.y) > 5, 'no turn');
      for (let k = 0; k < 4; ++k) await press('Tab');
      assert.deepEqual([(await where()).focus, (await where()).ring], ['l', null]);
      const padded = await standsAt(2);
      await press('Enter');
      assert.ok(await standsAt(2) - padded > 20, 'the pad did not move the view');
      for (let k = 0; k < 4; ++k) await press('Tab');
      assert.equal((await where()).focus, 'right');
      const unturned = await standsAt(2);
      await press('Enter');
      assert.ok(Math.abs(await standsAt(2) - unturned) > 5, 'the turn button turned nothing');
      for (let k = 0; k < 8; ++k) await press('Shift+Tab');
      await ringOn(2);
      // A creature's element pressed, as assistive technology presses it, is a pick.
      await page.$eval('#creature-0', (item) => item.click());
      await frames(page, 3);
      assert.equal((await where()).said, 'Creature 0 picked first.');
      await ringOn(0, /picked first$/);
      await panelIs('rebred');
    });

    it('pauses the motion by its button, and keeps the letter keys to the picture and its ' +
       'buttons when asked', async () => {
      for (let k = 0; k < 11; ++k) await press('Tab');
      assert.equal((await where()).focus, 'pause');
      // Paused, the picture keeps still until an input reaches the program: here j from the
      // button, as the letter keys reach it from anywhere on the page unless asked otherwise.
      if (!reduced) await press('Enter');
      assert.deepEqual([await paused(), await moving()], ['true', false]);
      const [x, still] = [await standsAt(2), await canvasImage(page)];
      await press('j');
      assert.ok(await standsAt(2) < x - 20, 'j did not move the view');
      assert.ok(meanDifference(still, await canvasImage(page), WHOLE) > 0, 'no frame after j');
      assert.equal(await moving(), false);
      // Pressed again, the motion runs, until it is pressed once more.
      await press('Enter');
      assert.deepEqual([await paused(), await moving()], ['false', true]);
      await press('Enter');
      assert.deepEqual([await paused(), await moving()], ['true', false]);
      // The setting: from the box and from the panel a letter reaches nothing (and so nothing is
      // drawn); from a turn button and from the canvas, it does.
      await press('Tab');
      await press(' ');
      assert.equal(await page.$eval('#letter-keys', (box) => box.checked), true);
      const [kept, picture] = [await standsAt(2), await canvasImage(page)];
      for (const key of ['l', ...KEEP.map(() => 'Tab'), 'Tab', 'l']) await press(key);
      assert.equal((await where()).focus, 'output');
      assert.equal(await standsAt(2), kept, 'l moved the view from outside the picture');
      assert.equal(meanDifference(picture, await canvasImage(page), WHOLE), 0, 'a frame was drawn');
      for (let k = 0; k < 3 + KEEP.length; ++k) await press('Shift+Tab');
      assert.equal((await where()).focus, 'down');
      await press('l');
      const moved = await standsAt(2);
      assert.ok(moved > kept + 20, 'l did not move the view from a turn button');
      for (let k = 0; k < 10; ++k) await press('Shift+Tab');
      assert.equal((await where()).focus, 'canvas');
      await press('j');
      assert.ok(await standsAt(2) < moved - 20, 'j did not move the view from the canvas');
      await ringOn(0);
      await panelIs('rebred');
    });

    it('ends at Escape as the desktop does, from anywhere on the page', async () => {
      // A click on the sky focuses the canvas as a mouse does: no ring, and the program's pointer
      // stays where the mouse put it, until a key.
      await press('Tab');
      const box = await (await page.$('#canvas')).boundingBox();
      await page.mouse.click(box.x + 4, box.y + 4);
      await frames(page, 3);
      assert.deepEqual(await where(), { ...await where(), focus: 'canvas', creature: 'creature-0',
        ring: null });
      const pointer = await page.evaluate(async () => (await import('./input.js')).pointerAt());
      assert.ok(pointer.x < 8 && pointer.y < 8, JSON.stringify(pointer));
      await press('ArrowLeft');
      await ringOn(1);
      await press('ArrowRight');
      await panelIs('rebred');
      assert.deepEqual(await visit('Tab', CONTROLS.length), CONTROLS);
      await press('Escape');
      await panelIs('ended');
      assert.equal(await page.$eval('#status', (line) => line.textContent),
        'The program has ended (exit status 1).');
      assert.deepEqual(await visit('Tab', 3), ['BODY', 'canvas', 'i']);
      assert.deepEqual(pageErrors, []);
    });

    it('remembers the setting, does without storage, and fits 320 pixels of width', async () => {
      const again = await openPage({ width: 1100, height: 1200 });
      assert.equal(await again.$eval('#letter-keys', (box) => box.checked), true);
      await again.close();
      // Storage refused, as a browser's privacy settings may: the setting lasts for the page.
      // A window 320 by 256 pixels (1280 by 1024 at 400%): nothing scrolls sideways, and each
      // stop of Tab is in view, uncovered, and a target of at least 24 by 24 pixels.
      const small = await openPage({ width: 320, height: 256 }, (opened) =>
        opened.evaluateOnNewDocument(() => Object.defineProperty(window, 'localStorage', {
          get() { throw new DOMException('refused', 'SecurityError'); },
        })));
      assert.equal(await small.$eval('#letter-keys', (box) => box.checked), false);
      await small.click('#letter-keys');
      assert.deepEqual(await small.evaluate(async () => {
        const { letterKeyAllowed } = await import('./settings.js');
        return ['letter-keys', 'output', 'canvas'].map((id) =>
          letterKeyAllowed({ target: document.getElementById(id) }));
      }), [false, false, true]);
      assert.equal(await small.evaluate(() => document.documentElement.scrollWidth), 320);
      await small.focus('#canvas');
      for (const stop of ['canvas', ...CONTROLS]) {
        assert.deepEqual(await small.evaluate(() => {
          const focused = document.activeElement;
          const box = focused.getBoundingClientRect();
          const top = document.elementFromPoint(box.x + box.width / 2, box.y + box.height / 2);
          return [focused.id || focused.dataset.key || focused.dataset.turn,
            // In view, up to the browser's rounding of the scroll to whole pixels.
            box.left >= -1 && box.right <= innerWidth + 1 && box.top >= -1 &&
              box.bottom <= innerHeight + 1,
            focused.contains(top), box.width >= 24 && box.height >= 24];
        }), [stop, true, true, true]);
        await small.keyboard.press('Tab');
      }
      await noViolations('320 pixels wide', small);
      await small.close();
      assert.deepEqual(pageErrors, []);
    });
  });
}
