// The web build in a browser, step by step beside the desktop viewer: the same script of mouse
// and key actions (script.json from creatures_web_reference, which ran the desktop viewer through
// it and kept its window and console after every step) is replayed on the page's canvas, and what
// the page shows and prints is compared with the desktop's records. The session runs in Chromium,
// Firefox and WebKit with the canvas at its full 1024 x 768, and in Chromium on a laptop's screen,
// where the canvas is shown smaller and the trackball is turned with Shift and the left button.
// The program runs in a worker (in WebKit with WebGL in workers, as Safari has it), and in the
// page in a Chromium whose workers cannot draw (no OffscreenCanvas).
//
// Environment: CREATURES_SITE (the site folder), CREATURES_REFERENCE (the desktop records),
// CREATURES_SHOTS (optional: where the page's pictures are saved), CREATURES_ENGINES (optional:
// the engines to run, "chromium,firefox,webkit" by default; Firefox and WebKit need DISPLAY).
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { before, describe, it } = require('node:test');
const {
  siteAndBrowser, desktopRecords, WHOLE, around, writePng, canvasImage, frames, firstFrame, resize,
  silhouette, creatureDiffers, silhouetteDifference, meanDifference,
} = require('./support');

const SITE = process.env.CREATURES_SITE;
const REFERENCE = process.env.CREATURES_REFERENCE;
const SHOTS = process.env.CREATURES_SHOTS;
const ENGINES = (process.env.CREATURES_ENGINES || 'chromium,firefox,webkit').split(',');

const LOWER_HALF = { x: 0, y: 384, width: 1024, height: 384 };
const LINK_GREY = 51;  // the family links' grey, 0.2, which no creature shows

// The family links in a picture: how many pixels of their grey, and their middle.
function links(image) {
  let pixels = 0, x = 0, y = 0;
  for (let at = 0; at < image.width * image.height; ++at) {
    if ([0, 1, 2].every((c) => Math.abs(image.data[4 * at + c] - LINK_GREY) <= 3)) {
      ++pixels;
      x += at % image.width;
      y += Math.floor(at / image.width);
    }
  }
  return { pixels, x: x / pixels, y: y / pixels };
}
const EMPTY_SKY = [512, 40];

const DESKTOP = { width: 1100, height: 1200 };
const LAPTOP = { width: 1366, height: 650 };
const SESSIONS = [
  { engine: 'chromium', screen: 'a desktop', viewport: DESKTOP, turn: 'middle' },
  { engine: 'chromium', screen: 'a laptop', viewport: LAPTOP, turn: 'shift' },
  { engine: 'chromium', screen: 'a desktop, its workers unable to draw', viewport: DESKTOP,
    turn: 'middle', worker: false },
  { engine: 'firefox', screen: 'a desktop', viewport: DESKTOP, turn: 'middle' },
  { engine: 'webkit', screen: 'a desktop', viewport: DESKTOP, turn: 'middle' },
].filter((session) => ENGINES.includes(session.engine));

for (const session of SESSIONS) {
  const label = `${session.engine}-${session.viewport.width}x${session.viewport.height}` +
    (session.worker === false ? '-page' : '');
  // A canvas shown smaller than its pixels is compared after scaling back up, which blurs the
  // title picture's fine print a little.
  let scaled = false;

  const title = `the viewer in ${session.engine} on ${session.screen}, beside the desktop`;
  describe(title, { timeout: 300000 }, () => {
    const open = siteAndBrowser(SITE, session.engine);
    const records = desktopRecords(REFERENCE);
    const { steps } = records;
    const desktopConsole = records.console;
    let page;
    let canvasBox;
    let firstFrameTime;
    const pageErrors = [];
    const consoleMessages = [];

    before(async () => {
      page = await open.browser.newPage();
      await page.setViewport({ ...session.viewport, deviceScaleFactor: 1 });
      page.on('pageerror', (error) => pageErrors.push(error.message));
      page.on('console', (message) => consoleMessages.push([message.type(), message.text()]));
      if (session.worker === false) {
        await page.evaluateOnNewDocument(() => {
          delete HTMLCanvasElement.prototype.transferControlToOffscreen;
        });
      }
      await page.goto(open.site.url);
      firstFrameTime = await firstFrame(page);
      canvasBox = await (await page.$('#canvas')).boundingBox();
      scaled = Math.abs(canvasBox.width - 1024) > 0.5;
    });

    const output = () => page.$eval('#output', (panel) => panel.textContent);
    const status = () => page.$eval('#status', (line) => line.textContent);
    // A point of the desktop's window on the page, and the canvas as the desktop's window size.
    const onPage = ([x, y]) => [canvasBox.x + x * canvasBox.width / 1024,
                                canvasBox.y + y * canvasBox.height / 768];
    const picture = async () => resize(await canvasImage(page), 1024, 768);
    // The links drawn where the desktop draws them and as wide, but for what the children, made
    // by chance, hide of them (a canvas shown smaller blurs them when scaled back).
    function sameLinks(web, desktop) {
      const [ours, theirs] = [links(web), links(desktop)];
      const apart = Math.hypot(ours.x - theirs.x, ours.y - theirs.y);
      assert.ok(scaled || (Math.abs(ours.pixels / theirs.pixels - 1) < 0.25 && apart < 8),
        `links: ${JSON.stringify(ours)} here, ${JSON.stringify(theirs)} on the desktop`);
    }

    // Replays a step's actions on the canvas; waits for the console text it expects, then for a
    // few frames of the new state. Returns the canvas as it is then.
    async function perform(name) {
      const step = steps[name];
      const before = (await output()).length;
      for (const action of step.actions) {
        if (action.key) {
          await page.keyboard.press(action.key);
          continue;
        }
        const [x, y] = onPage(action.move || action.click || action.press || action.release);
        await page.mouse.move(x, y);
        if (action.click) {
          await page.mouse.down();
          await page.mouse.up();
        } else if (action.press && session.turn === 'shift') {
          await page.keyboard.down('Shift');
          await page.mouse.down({ button: 'left' });
        } else if (action.press) {
          await page.mouse.down({ button: 'middle' });
        } else if (action.release && session.turn === 'shift') {
          await page.mouse.up({ button: 'left' });
          await page.keyboard.up('Shift');
        } else if (action.release) {
          await page.mouse.up({ button: 'middle' });
        }
      }
      if (step.expect) {
        await page.waitForFunction(
          (text, from) => document.getElementById('output').textContent.indexOf(text, from) >= 0,
          { timeout: 60000 }, step.expect, before);
      }
      await frames(page, 5);
      const image = await picture();
      if (SHOTS) {
        fs.mkdirSync(SHOTS, { recursive: true });
        writePng(path.join(SHOTS, `${label}-${name}.png`), image);
      }
      return image;
    }

    it('shows the title picture as the desktop does, and prints nothing', async (t) => {
      t.diagnostic(`first frame ${firstFrameTime.toFixed(0)} ms`);
      const inWorker = await page.evaluate(async () => (await import('./program.js')).program
        .inWorker);
      assert.equal(inWorker, session.worker !== false);
      const web = await perform('title');
      const desktop = records.picture('title');
      const difference = meanDifference(web, desktop, WHOLE);
      t.diagnostic(`mean difference from the desktop's title ${difference.toFixed(2)}`);
      assert.ok(difference < (scaled ? 3 : 2), 'the title picture differs');
      assert.equal(await output(), '');
    });

    it('loads the start creatures at the first movement, printing what the desktop prints',
      async () => {
        const web = await perform('loaded');
        // Byte for byte, up to the last "Starting Subdivision..." that has no line end yet.
        assert.equal(await output(), desktopConsole('loaded'));
        // The title stays until a left release.
        assert.ok(meanDifference(web, records.picture('title'), WHOLE) < (scaled ? 3 : 2));
      });

    it('shows the population after a left release', async (t) => {
      const web = await perform('population');
      const desktop = records.picture('population');
      assert.ok(silhouette(web, LOWER_HALF).pixels > 0.01 * 1024 * 384, 'no creatures');
      const difference = silhouetteDifference(web, desktop, WHOLE);
      t.diagnostic(`silhouettes differ in ${(100 * difference).toFixed(2)}%`);
      assert.ok(difference < 0.01, `silhouettes differ in ${(100 * difference).toFixed(2)}%`);
      assert.equal(await output(), desktopConsole('population'));
      // The help no longer says how to begin; the keyboard's ring is not shown to a mouse.
      assert.deepEqual(await page.$eval('#help', (help) => [
        getComputedStyle(help.querySelector('.mouse .begin')).visibility,
        document.getElementById('ring-box').hidden]), ['hidden', true]);
    });

    it('self-breeds the centre creature picked twice, printing what the desktop prints',
      async () => {
        const web = await perform('self-bred');
        assert.equal(await output(), desktopConsole('self-bred'));
        const desktop = records.picture('self-bred');
        sameLinks(web, desktop);
        for (const child of steps['self-bred'].children) {
          assert.ok(silhouette(web, around(child, 50)).pixels > 600, `no child at ${child}`);
          assert.ok(silhouette(desktop, around(child, 50)).pixels > 600);
        }
      });

    it('draws the children of a breeding where the desktop draws them', async () => {
      const web = await perform('bred');
      assert.equal(await output(), desktopConsole('bred'));
      const desktop = records.picture('bred');
      // The children are blends made by chance, so they differ from run to run in shape and
      // size (a mutation scales each part by 0.5 to 1.5 on each axis), but not in place: each
      // stands at its place in the fan, and the middles of the two pictures of it are close.
      for (const child of steps.bred.children) {
        const ours = silhouette(web, around(child, 140));
        const theirs = silhouette(desktop, around(child, 140));
        assert.ok(silhouette(web, around(child, 100)).pixels > 600, `no child at ${child}`);
        assert.ok(silhouette(desktop, around(child, 100)).pixels > 600);
        assert.ok(Math.abs(ours.centreX - theirs.centreX) < 45 &&
                  Math.abs(ours.centreY - theirs.centreY) < 45,
                  `child at ${child}: centred at ${ours.centreX}, ${ours.centreY} here, ` +
                  `${theirs.centreX}, ${theirs.centreY} on the desktop`);
      }
      // The start creatures are the same in both, in the same place after the view's step back.
      for (const creature of steps.bred.start) {
        const differs = creatureDiffers(web, desktop, around(creature, 130));
        assert.equal(differs, '', `around ${creature}: ${differs}`);
      }
    });

    it('moves the scene right at l, as the desktop does', async (t) => {
      const before = await picture();
      const web = await perform('moved');
      const desktopBefore = records.picture('bred');
      const desktop = records.picture('moved');
      // The rabbit, which no breeding has changed, alone in a band wide enough for the move.
      const [x, y] = steps.bred.start[2];
      const band = { x: 0, y: y - 70, width: x + 150, height: 140 };
      const shift = (a, b) => silhouette(b, band).centreX - silhouette(a, band).centreX;
      const ours = shift(before, web);
      const theirs = shift(desktopBefore, desktop);
      t.diagnostic(`moved ${ours.toFixed(1)} pixels, on the desktop ${theirs.toFixed(1)}`);
      assert.ok(ours > 20, `the scene moved ${ours} pixels`);
      assert.ok(Math.abs(ours - theirs) < 4, `moved ${ours} pixels here, ${theirs} on the desktop`);
    });

    it(session.turn === 'shift' ? 'turns the scene with Shift and the left button, as the ' +
       'desktop does with the middle button' : 'turns the scene with the middle button, as the ' +
       'desktop does', async (t) => {
      const before = await picture();
      const web = await perform('turned');
      const desktopBefore = records.picture('moved');
      const desktop = records.picture('turned');
      // The rabbit's lower half, below every child.
      const [x, y] = steps.bred.start[2];
      const band = { x: 0, y: y - 30, width: x + 170, height: 100 };
      const move = (a, b) => [silhouette(b, band).centreX - silhouette(a, band).centreX,
                              silhouette(b, band).centreY - silhouette(a, band).centreY];
      const ours = move(before, web);
      const theirs = move(desktopBefore, desktop);
      t.diagnostic(`turned by ${ours.map((v) => v.toFixed(1))} pixels, ` +
                   `on the desktop ${theirs.map((v) => v.toFixed(1))}`);
      assert.ok(Math.hypot(ours[0], ours[1]) > 5, 'the rabbit did not move');
      assert.ok(Math.hypot(ours[0] - theirs[0], ours[1] - theirs[1]) < 4);
    });

    if (session.turn === 'shift') {
      it('brings the scene nearer and farther at a trackpad\'s pinch, as u and o do', async (t) => {
        const pinch = async (deltaY) => {
          await page.keyboard.down('Control');
          await page.mouse.wheel({ deltaY });
          await page.keyboard.up('Control');
          await frames(page, 5);
          return picture();
        };
        const key = async (name) => {
          await page.keyboard.press(name);
          await frames(page, 5);
          return picture();
        };
        const [x, y] = onPage(EMPTY_SKY);
        await page.mouse.move(x, y);
        await frames(page, 5);
        const before = await picture();
        const nearer = await pinch(-100);
        // How far the population spreads over the picture (the root mean square distance of its
        // pixels from their middle): two units nearer, the creatures stand 10% farther apart,
        // while their breaths, each about its own middle, change it by little.
        const spread = (image) => silhouette(image, WHOLE).spread;
        const ratio = (a, b) => spread(a) / spread(b);
        const same = (a, b, what) => {
          const r = ratio(a, b);
          t.diagnostic(`${what}: spread ${r.toFixed(3)} times the other's`);
          assert.ok(Math.abs(r - 1) < 0.03, `${what}: spread ${r.toFixed(3)} times the other's`);
        };
        const moved = ratio(nearer, before);
        t.diagnostic(`the pinch spread the population ${moved.toFixed(3)} times`);
        assert.ok(moved > 1.06, `the pinch spread the population ${moved.toFixed(3)} times`);
        same(await key('o'), before, 'o after the pinch');
        same(await key('u'), nearer, 'u against the pinch');
        same(await pinch(100), before, 'the pinch back after u');
        assert.equal(await output(), desktopConsole('turned'));
      });
    }

    it('ends at Escape with the desktop\'s exit status, says so, and draws no more', async () => {
      await perform('ended');
      const exitStatus = fs.readFileSync(records.file('exit-status.txt'), 'utf8').trim();
      assert.equal(await status(), `The program has ended (exit status ${exitStatus}).`);
      assert.equal(await output(), desktopConsole('ended'));
      const first = await canvasImage(page);
      await frames(page, 10);
      assert.equal(meanDifference(first, await canvasImage(page), WHOLE), 0);
      // Nothing reaches the program any more.
      await page.keyboard.press('u');
      await page.mouse.move(canvasBox.x + 100, canvasBox.y + 100);
      assert.equal(await output(), desktopConsole('ended'));
      assert.deepEqual(pageErrors, []);
    });

    it('has put the program\'s lines on the console, and nothing else', async () => {
      const lines = desktopConsole('ended').replace(/\n$/, '').split('\n');
      assert.deepEqual(consoleMessages, lines.map((line) => ['log', line]));
    });
  });
}
