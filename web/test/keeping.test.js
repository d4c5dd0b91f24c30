// Keeping what was bred, round the whole way in Chromium: three creatures saved to breed from,
// a child's as-seen files and the picture; a bad start file refused; the page started again from
// the saved three, breeding as the desktop viewer does with them in model_data/, byte for byte.
// Environment: CREATURES_SITE, CREATURES_ROOT, CREATURES_VIEWER, CREATURES_REFERENCE_HARNESS.
'use strict';

const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { describe, it } = require('node:test');
const { AxePuppeteer } = require('@axe-core/puppeteer');
const { PNG } = require('pngjs');
const { siteAndBrowser, desktopRecords, firstFrame, frames, creatureMarks } = require('./support');

describe('keeping what was bred, in chromium', { timeout: 300000 }, () => {
  const open = siteAndBrowser(process.env.CREATURES_SITE);

  it('saves creatures and the picture, and starts again from saved creatures', async () => {
    const saved = fs.mkdtempSync(path.join(os.tmpdir(), 'creatures-saved-'));
    const page = await open.browser.newPage();
    await page.setViewport({ width: 1100, height: 1200, deviceScaleFactor: 1 });
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    await (await page.createCDPSession()).send('Browser.setDownloadBehavior',
      { behavior: 'allow', downloadPath: saved });
    const text = (selector) => page.$eval(selector, (element) => element.textContent);
    const accessible = async (when) => {
      const { violations } = await new AxePuppeteer(page).withTags(['wcag2a', 'wcag2aa',
        'wcag21a', 'wcag21aa', 'wcag22aa', 'best-practice']).analyze();
      assert.deepEqual(violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target)}`), [], when);
    };
    const output = () => text('#output');
    const downloaded = async (name) => {
      for (let tries = 0; !fs.existsSync(path.join(saved, name)); ++tries) {
        assert.ok(tries < 200, `${name} was not saved`);
        await new Promise((resolve) => setTimeout(resolve, 50));
      }
      return path.join(saved, name);
    };
    await page.goto(open.site.url);
    await firstFrame(page);
    const box = await (await page.$('#canvas')).boundingBox();
    const clickAt = async ({ x, y }) => {
      await page.mouse.click(box.x + x, box.y + y);
      await frames(page, 1);
    };
    // The start-up load at the first movement, the title gone, creature 1 self-bred.
    await page.mouse.move(box.x + 512, box.y + 40);
    await clickAt({ x: 512, y: 40 });
    for (let k = 0; k < 2; ++k) await clickAt((await creatureMarks(page)).creatures[1]);
    const before = await output();
    assert.match(before, /Created:3 4\n$/);

    // Creature 3 chosen with the mouse: its three files; nothing reaches the program.
    await page.click('#save-creature');
    await clickAt((await creatureMarks(page)).creatures[3]);
    await page.waitForSelector('#save-dialog[open]');
    await accessible('the save dialog');
    for (const kind of [0, 1, 2]) await page.click(`#save-dialog [data-kind="${kind}"]`);
    await downloaded('creature-3-genome.obj');
    assert.equal(await text('#save-dialog .saved'), 'Saved creature 3 as creature-3-genome.obj.');
    const { validateBytes } = await import('gltf-validator');
    const report = await validateBytes(fs.readFileSync(await downloaded('creature-3.glb')));
    assert.deepEqual([report.issues.numErrors, report.issues.numWarnings, report.info.drawCallCount],
      [0, 0, 13]);
    assert.match(fs.readFileSync(await downloaded('creature-3.obj'), 'latin1'),
      /^# creature-3\.obj: creature 3 of Subdivision Surfaces, as seen\nv /);
    await page.keyboard.press('Escape');
    // Creatures 0 and 4 from the keyboard: S on the focused creature, or Enter while choosing.
    for (const keys of [['Home', 's'], ['End', 'Enter']]) {
      if (keys[1] === 'Enter') await page.click('#save-creature');
      await page.focus('#canvas');
      for (const key of keys) await page.keyboard.press(key);
      await page.waitForSelector('#save-dialog[open]');
      await page.click('#save-dialog [data-kind="2"]');
      await page.keyboard.press('Escape');
    }
    await page.click('#save-picture');
    const picture = PNG.sync.read(fs.readFileSync(await downloaded('creatures-5.png')));
    assert.deepEqual([picture.width, picture.height], [1024, 768]);
    await frames(page, 2);
    assert.equal(await output(), before, 'saving sent the program something');
    assert.match(await text('#announcement'), /^Saved the picture as creatures-5\.png\.$/);

    // A bad set is refused with its reason, and nothing starts.
    const genomes = ['creature-0-genome.obj', 'creature-3-genome.obj', 'creature-4-genome.obj'];
    const files = await Promise.all(genomes.map(downloaded));
    const bad = path.join(saved, 'bad.obj');
    fs.writeFileSync(bad, `${fs.readFileSync(files[0], 'latin1')}v 0 0 0\n`);
    await page.click('#start-own');
    await page.waitForSelector('#start-dialog[open]');
    await (await page.$('#start-0')).uploadFile(bad);
    await page.click('#start-dialog button[value=start]');
    await page.waitForFunction(() => /Nothing has changed/.test(
      document.querySelector('#start-dialog .verdict').textContent));
    assert.equal(await text('#start-dialog .verdict'),
      'bad.obj has 615 positions; the other two have 614. Nothing has changed.');
    await accessible('the start dialog');

    // The three saved creatures as the start population, beside the desktop with them.
    for (const [i, file] of files.entries()) await (await page.$(`#start-${i}`)).uploadFile(file);
    await Promise.all([page.waitForNavigation(), page.click('#start-dialog button[value=start]')]);
    await firstFrame(page);
    assert.match(await text('#status'), /^Running, from your own start creatures: creature-0-/);
    const root = fs.mkdtempSync(path.join(os.tmpdir(), 'creatures-root-'));
    fs.mkdirSync(path.join(root, 'model_data'));
    ['bird1.obj', 'squant1.obj', 'rabbit.obj'].forEach((name, i) =>
      fs.copyFileSync(files[i], path.join(root, 'model_data', name)));
    fs.symlinkSync(path.join(process.env.CREATURES_ROOT, 'image_data'),
      path.join(root, 'image_data'));
    execFileSync(process.env.CREATURES_REFERENCE_HARNESS,
      [path.resolve(process.env.CREATURES_VIEWER), root, path.join(root, 'records')]);
    const records = desktopRecords(path.join(root, 'records'));
    for (const name of ['loaded', 'population', 'self-bred', 'bred', 'moved', 'ended']) {
      for (const action of records.steps[name].actions) {
        if (action.key) await page.keyboard.press(action.key);
        else if (action.move) await page.mouse.move(box.x + action.move[0], box.y + action.move[1]);
        else await clickAt({ x: action.click[0], y: action.click[1] });
      }
      await page.waitForFunction((length) => document.getElementById('output').textContent
        .length >= length, { timeout: 60000 }, records.console(name).length);
      assert.equal(await output(), records.console(name), name);
    }
    // Back to the shipped creatures.
    await page.reload();
    await firstFrame(page);
    await Promise.all([page.waitForNavigation(), page.click('#start-shipped')]);
    await firstFrame(page);
    assert.deepEqual([await text('#status'), await page.$eval('#start-shipped', (b) => b.hidden)],
      ['Running.', true]);
    assert.deepEqual(errors, []);
    await page.close();
    fs.rmSync(saved, { recursive: true });
    fs.rmSync(root, { recursive: true });
  });
});
