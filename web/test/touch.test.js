// The page on a phone: Chromium emulating a phone (390 x 844 CSS pixels, three device pixels to
// one, a touch screen), driven by real touch events, several fingers at once, and the page's
// buttons. The session is the "touch" script of creatures_web_reference, which the desktop viewer
// went through with a mouse and keys: every tap stands for a click, a two-finger drag for a
// middle-button drag, a spread and a pinch for u and o, a button of the page for l. What the page
// prints must be the desktop's, byte for byte, and its picture must change as the desktop's did.
// Then the page is reloaded with the site gone, from what its service worker keeps.
//
// Environment: CREATURES_SITE (the site folder), CREATURES_TOUCH_REFERENCE (the desktop records
// of the touch script), CREATURES_SHOTS (optional: where the page's pictures are saved).
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { before, describe, it } = require('node:test');
const {
  siteAndBrowser, PHONE, desktopRecords, WHOLE, around, writePng, canvasImage, frames, firstFrame,
  resize,
  silhouette, creatureDiffers, silhouetteDifference,
} = require('./support');

const SITE = process.env.CREATURES_SITE;
const REFERENCE = process.env.CREATURES_TOUCH_REFERENCE;
const SHOTS = process.env.CREATURES_SHOTS;

const EMPTY_SKY = [512, 40];
const PINCH_STEP = 50;  // CSS pixels of spread per u or o, as input.js has it

// The bird's lower half, which stands at the right, below the children's feet and right of the
// centre creature, in every step of the session after the pinches: the centre of its silhouette.
const BIRD_BAND = { x: 680, y: 565, width: 344, height: 75 };
function bird(image) {
  const { centreX, centreY } = silhouette(image, BIRD_BAND);
  return [centreX, centreY];
}

describe('the viewer on a phone, beside the desktop', { timeout: 300000 }, () => {
  const open = siteAndBrowser(SITE);
  const records = desktopRecords(REFERENCE);
  const { steps } = records;
  const desktopConsole = records.console;
  let page;
  let box;
  const pageErrors = [];

  before(async () => {
    page = await open.browser.newPage();
    await page.emulate(PHONE);
    page.on('pageerror', (error) => pageErrors.push(error.message));
    await page.goto(open.site.url);
    await firstFrame(page);
    box = await (await page.$('#canvas')).boundingBox();
  });

  const output = () => page.$eval('#output', (panel) => panel.textContent);
  // A point of the desktop's window on the page, in whole CSS pixels as a finger lands.
  const onPage = ([x, y]) => ({ x: Math.round(box.x + x * box.width / 1024),
                                y: Math.round(box.y + y * box.height / 768) });
  // The canvas, scaled to the desktop's window size.
  async function picture(name) {
    await frames(page, 5);
    const image = resize(await canvasImage(page), 1024, 768);
    if (SHOTS) {
      fs.mkdirSync(SHOTS, { recursive: true });
      writePng(path.join(SHOTS, `phone-${name}.png`), image);
    }
    return image;
  }
  async function tap(point) {
    await page.touchscreen.tap(point.x, point.y);
  }
  async function waitForOutput(text, from) {
    await page.waitForFunction(
      (expected, start) => document.getElementById('output').textContent.indexOf(expected,
        start) >= 0, { timeout: 60000 }, text, from);
  }
  // Two fingers: the first lands, a frame later the second; both then move by the given steps
  // (each a pair of offsets in CSS pixels, one per finger) and lift.
  async function twoFingers(first, second, moves) {
    const one = await page.touchscreen.touchStart(first.x, first.y);
    await frames(page, 1);
    const two = await page.touchscreen.touchStart(second.x, second.y);
    for (const [[dx1, dy1], [dx2, dy2]] of moves) {
      await one.move(first.x + dx1, first.y + dy1);
      await two.move(second.x + dx2, second.y + dy2);
    }
    await one.end();
    await two.end();
  }
  // A spread (grow > 0) or pinch along the line from a finger on the creature at `on` through
  // `middle`, which stays the two fingers' midpoint, in steps of a few pixels.
  async function spread(on, middle, grow) {
    const first = onPage(on);
    const mid = onPage(middle);
    const second = { x: 2 * mid.x - first.x, y: 2 * mid.y - first.y };
    const length = Math.hypot(first.x - mid.x, first.y - mid.y);
    const ux = (first.x - mid.x) / length;
    const uy = (first.y - mid.y) / length;
    const moves = [];
    for (let k = 1; k <= 6; ++k) {
      const d = Math.round((grow / 2) * k / 6);
      moves.push([[Math.round(ux * d), Math.round(uy * d)],
                  [-Math.round(ux * d), -Math.round(uy * d)]]);
    }
    await twoFingers(first, second, moves);
  }
  // The bird and the rabbit, which no step changes, as the desktop shows them after a step.
  function assertStartCreaturesMatch(web, step) {
    const desktop = records.picture(step);
    for (const index of [0, 2]) {
      const where = steps[step].start[index];
      const differs = creatureDiffers(web, desktop, around(where, 130));
      assert.equal(differs, '', `${step}: around ${where}: ${differs}`);
    }
  }

  it('fits the phone\'s screen, keeps its aspect and tells how to play with fingers', async () => {
    const { width } = PHONE.viewport;
    assert.ok(box.x >= 0 && box.x + box.width <= width, `canvas at ${JSON.stringify(box)}`);
    assert.ok(Math.abs(box.width / box.height - 4 / 3) < 0.01);
    assert.ok(box.width > 0.9 * width, `the canvas is ${box.width} pixels wide`);
    assert.equal(await page.evaluate(() => document.documentElement.scrollWidth), width);
    const shown = (selector) => page.$eval(selector, (e) => e.getBoundingClientRect().width > 0);
    assert.ok(await shown('#help .touch'));
    assert.ok(!(await shown('#help .mouse')));
    const buttons = await page.$$eval('#pad button', (all) =>
      all.map((b) => [b.dataset.key, b.getBoundingClientRect().height]));
    assert.deepEqual(buttons.map(([key]) => key).sort(), ['i', 'j', 'k', 'l', 'o', 'u']);
    for (const [key, height] of buttons) assert.ok(height >= 44, `button ${key}: ${height} px`);
  });

  it('begins at a tap, loading the creatures as the desktop does', async () => {
    await tap(onPage(EMPTY_SKY));
    await waitForOutput(steps.population.expect, 0);
    const web = await picture('population');
    assert.equal(await output(), desktopConsole('population'));
    assert.ok(silhouetteDifference(web, records.picture('population'), WHOLE) < 0.01);
  });

  it('self-breeds the centre creature tapped twice, printing what the desktop prints',
    async () => {
      const before = (await output()).length;
      const squant = onPage(steps['self-bred'].start[1]);
      await tap(squant);
      await tap(squant);
      await waitForOutput('Created:3 4\n', before);
      await picture('self-bred');
      assert.equal(await output(), desktopConsole('self-bred'));
    });

  it('brings the scene nearer as u does when two fingers spread, and picks nothing',
    async () => {
      // The first finger lands on the centre creature a frame before the second.
      await spread(steps['self-bred'].start[1], steps.nearer.actions[0].move, PINCH_STEP + 10);
      const web = await picture('nearer');
      // The page itself neither zoomed nor scrolled.
      assert.deepEqual(await page.evaluate(() => [visualViewport.scale, scrollX, scrollY]),
        [1, 0, 0]);
      assertStartCreaturesMatch(web, 'nearer');
      assert.equal(await output(), desktopConsole('nearer'));
      // A tap on the rabbit now is a first pick, which prints nothing; after a pick of the
      // centre creature by the spread it would breed the two.
      await tap(onPage(steps.picked.actions[0].click));
      await picture('picked');
      assert.equal(await output(), desktopConsole('picked'));
    });

  it('takes the scene farther as o does when two fingers pinch', async () => {
    const middle = steps.farther.actions[0].move;
    // Fingers on either side of the midpoint, 80 pixels from it, come 30 pixels closer each.
    const mid = onPage(middle);
    const on = [middle[0], middle[1] + 80 * 1024 / box.width];
    const first = onPage(on);
    await twoFingers(first, { x: 2 * mid.x - first.x, y: 2 * mid.y - first.y },
      [10, 20, 30].map((d) => [[0, -d], [0, d]]));
    const web = await picture('farther');
    assertStartCreaturesMatch(web, 'farther');
    assert.equal(await output(), desktopConsole('farther'));
  });

  it('turns the tree as the middle button does when two fingers drag, and picks nothing',
    async (t) => {
      const before = await picture('before-turn');
      const [press, release] = steps.turned.actions;
      const from = onPage(press.press);
      const to = onPage(release.release);
      // The first finger lands on the centre creature; the midpoint lands where the desktop's
      // middle button went down, and goes where it came up.
      const first = onPage(steps.farther.start[1]);
      const second = { x: 2 * from.x - first.x, y: 2 * from.y - first.y };
      const moves = [];
      for (let k = 1; k <= 8; ++k) {
        const dx = Math.round((to.x - from.x) * k / 8);
        const dy = Math.round((to.y - from.y) * k / 8);
        moves.push([[dx, dy], [dx, dy]]);
      }
      await twoFingers(first, second, moves);
      const web = await picture('turned');
      const desktopBefore = records.picture('farther');
      const desktop = records.picture('turned');
      // The bird moves as the desktop's does.
      const ours = bird(web).map((v, i) => v - bird(before)[i]);
      const theirs = bird(desktop).map((v, i) => v - bird(desktopBefore)[i]);
      t.diagnostic(`turned by ${ours.map((v) => v.toFixed(1))} pixels, ` +
                   `on the desktop ${theirs.map((v) => v.toFixed(1))}`);
      assert.ok(Math.hypot(...theirs) > 20, 'the desktop\'s turn moved the bird too little');
      assert.ok(Math.hypot(ours[0] - theirs[0], ours[1] - theirs[1]) < 6);
      assert.equal(await output(), desktopConsole('turned'));
    });

  it('moves the scene right with the page\'s l button, as the desktop does at l', async (t) => {
    const before = await picture('before-move');
    const button = await (await page.$('#pad [data-key="l"]')).boundingBox();
    await tap({ x: Math.round(button.x + button.width / 2),
                y: Math.round(button.y + button.height / 2) });
    const web = await picture('moved');
    const ours = bird(web)[0] - bird(before)[0];
    const theirs = bird(records.picture('moved'))[0] - bird(records.picture('turned'))[0];
    t.diagnostic(`moved ${ours.toFixed(1)} pixels, on the desktop ${theirs.toFixed(1)}`);
    assert.ok(theirs > 20);
    assert.ok(Math.abs(ours - theirs) < 4, `moved ${ours} pixels here, ${theirs} on the desktop`);
    assert.equal(await output(), desktopConsole('moved'));
    assert.deepEqual(pageErrors, []);
  });

  it('can be installed: its manifest is sound and the browser finds nothing missing', async () => {
    const client = await page.createCDPSession();
    const manifest = await client.send('Page.getAppManifest');
    assert.deepEqual(manifest.errors, []);
    const { installabilityErrors } = await client.send('Page.getInstallabilityErrors');
    assert.deepEqual(installabilityErrors, []);
    await client.detach();
  });

  it('starts again with the site gone, from what the service worker keeps, and self-breeds',
    async () => {
      await page.evaluate(() => navigator.serviceWorker.ready.then(() => undefined));
      open.site.stop();
      await page.reload();
      await firstFrame(page);
      box = await (await page.$('#canvas')).boundingBox();
      await tap(onPage(EMPTY_SKY));
      const squant = onPage(steps['self-bred'].start[1]);
      await tap(squant);
      await tap(squant);
      await waitForOutput('Created:3 4\n', 0);
      assert.equal(await output(), desktopConsole('self-bred'));
      assert.equal(await page.$eval('#status', (line) => line.textContent), 'Running.');
      assert.deepEqual(pageErrors, []);
    });
});

describe('the page at other sizes', { timeout: 300000 }, () => {
  const open = siteAndBrowser(SITE);

  // Small and large, portrait and landscape: all of the canvas in view without scrolling, at
  // its aspect, as large as the room allows but never beyond its own pixels.
  for (const [width, height, touch] of [[320, 568, true], [844, 390, true], [1366, 650, false],
                                        [1024, 1366, true], [3840, 2160, false]]) {
    it(`shows the whole canvas on a ${width} x ${height} screen`, async () => {
      const page = await open.browser.newPage();
      await page.emulate({
        viewport: { width, height, deviceScaleFactor: 1, isMobile: touch, hasTouch: touch },
        userAgent: touch ? PHONE.userAgent : await open.browser.userAgent(),
      });
      await page.goto(open.site.url);
      await firstFrame(page);
      const box = await (await page.$('#canvas')).boundingBox();
      await page.close();
      assert.ok(box.x >= 0 && box.y >= 0 && box.x + box.width <= width &&
                box.y + box.height <= height, `canvas at ${JSON.stringify(box)}`);
      assert.ok(Math.abs(box.width / box.height - 4 / 3) < 0.01);
      assert.ok(box.width <= 1024);
      assert.ok(box.width >= Math.min(1024, width - 16, (height - 16) * 4 / 3) * 0.6,
                `the canvas is only ${box.width} pixels wide`);
    });
  }
});
