// The ways the page can fail to start, in Chromium, Firefox and WebKit: a file of the site that
// does not come (an error answer, a cut connection, something else in its place), a browser
// without WebGL, and a program that ends on a bad file. Each must be said plainly in the status line,
// without an uncaught exception and never as "Running."; the program's own messages stay as the
// desktop prints them.
//
// Environment: CREATURES_SITE (the site folder), CREATURES_ENGINES (optional: the engines to run,
// "chromium,firefox,webkit" by default; Firefox and WebKit need DISPLAY).
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');
const { after, before, describe, it } = require('node:test');
const { serve, launchBrowser } = require('./support');

const SITE = process.env.CREATURES_SITE;
const ENGINES = (process.env.CREATURES_ENGINES || 'chromium,firefox,webkit').split(',');
const AGAIN = 'Reloading the page may help.';

// The start creatures' package with the last coordinate of the first position made 1e39, beyond
// a 32-bit float, at the same length: the reader refuses the line.
// The start creatures' package as the page expands it.
function startCreatures() {
  return zlib.gunzipSync(fs.readFileSync(path.join(SITE, 'creatures.data.gz')));
}

function packageWithBadCoordinate() {
  const data = startCreatures();
  const text = data.toString('latin1');
  const line = text.indexOf('\nv ') + 1;
  const end = text.indexOf('\n', line);
  const last = text.lastIndexOf(' ', end) + 1;
  const width = end - last;
  assert.ok(width >= 4, 'a coordinate too short to replace');
  data.write('0'.repeat(width - 4) + '1e39', last, 'latin1');
  return zlib.gzipSync(data);
}

for (const engine of ENGINES) {
  describe(`the page in ${engine}, when it cannot start`, { timeout: 300000 }, () => {
    let browser;

    before(async () => {
      assert.ok(SITE, 'CREATURES_SITE names the site folder');
      // WebKit as WebKitGTK ships it, the program on the page's thread: with WebGL in its
      // workers, a window whose last page made a context and never started the program cannot
      // make the next page's (WebKitGTK 2.50).
      browser = await launchBrowser(engine, { workerWebGL: false });
    });
    after(async () => {
      if (browser) await browser.close();
    });

    // Opens the site, served with replace() answering for its files, and waits until the status
    // line says the page has stopped (or, with until, until that holds of the page). Returns what
    // the page showed: every status it had, the panel, and its uncaught errors.
    async function visit(replace, { prepare, until, act } = {}) {
      const site = await serve(SITE, replace);
      const page = await browser.newPage();
      const errors = [];
      page.on('pageerror', (error) => errors.push(error.message));
      try {
        await page.evaluateOnNewDocument(() => {
          window.statuses = [];
          document.addEventListener('DOMContentLoaded', () => {
            const line = document.getElementById('status');
            window.statuses.push(line.textContent);
            new MutationObserver(() => window.statuses.push(line.textContent))
              .observe(line, { childList: true, characterData: true, subtree: true });
          });
        });
        if (prepare) await page.evaluateOnNewDocument(prepare);
        await page.goto(site.url);
        if (act) await act(page);
        await page.waitForFunction(until ||
          (() => document.getElementById('status').classList.contains('failed')),
          { timeout: 60000 });
        return {
          status: await page.$eval('#status', (line) => line.textContent),
          statuses: await page.evaluate(() => window.statuses),
          output: await page.$eval('#output', (panel) => panel.textContent),
          errors,
        };
      } finally {
        await page.close();
        site.stop();
      }
    }
    function assertNeverRan(seen) {
      assert.ok(!seen.statuses.includes('Running.'), `statuses: ${seen.statuses.join(' | ')}`);
      assert.deepEqual(seen.errors, []);
    }

    it('names a file of the site that the server does not have, and starts nothing', async () => {
      for (const name of ['creatures.data.gz', 'creatures.wasm.gz', 'title.raw.gz',
                          'creatures.js.gz']) {
        const seen = await visit((file) => (file === name ? 404 : undefined));
        assert.equal(seen.status,
          `The page could not load ${name}: the server answered 404 Not Found. ${AGAIN}`);
        assertNeverRan(seen);
        assert.equal(seen.output, '');
      }
      // The page's scripts, and those of the program's host (the browser reports each missing
      // one in its own way).
      for (const name of ['page.js', 'keyboard.js', 'host.js', 'files.js']) {
        const seen = await visit((file) => (file === name ? 404 : undefined));
        assert.equal(seen.status, `The page could not load its scripts. ${AGAIN}`, name);
        assert.ok(!seen.statuses.includes('Running.'), name);
      }
    });

    it('says so when a download breaks off or brings something else', async () => {
      let seen = await visit((file) => (file === 'title.raw.gz' ? null : undefined));
      assert.equal(seen.status,
        `The page could not load title.raw.gz: the network did not answer. ${AGAIN}`);
      assertNeverRan(seen);
      const page = Buffer.from('<html><body>Moved</body></html>');
      seen = await visit((file) => (file === 'creatures.wasm.gz' ? zlib.gzipSync(page) : undefined));
      assert.equal(seen.status, 'The page could not load creatures.wasm.gz: what arrived is not ' +
                   `a WebAssembly program. ${AGAIN}`);
      assertNeverRan(seen);
      for (const name of ['title.raw.gz', 'creatures.js.gz']) {
        seen = await visit((file) => (file === name ? page : undefined));
        assert.equal(seen.status,
          `The page could not load ${name}: what arrived is not a gzip file. ${AGAIN}`);
        assertNeverRan(seen);
      }
      // A gzip file cut short expands to an error, not to less.
      seen = await visit((file, data) =>
        (file === 'creatures.wasm.gz' ? data.subarray(0, data.length - 100) : undefined));
      assert.equal(seen.status,
        `The page could not load creatures.wasm.gz: what arrived is not a gzip file. ${AGAIN}`);
      assertNeverRan(seen);
      const short = zlib.gzipSync(startCreatures().subarray(1000));
      seen = await visit((file) => (file === 'creatures.data.gz' ? short : undefined));
      assert.match(seen.status, new RegExp('^The page could not load creatures.data.gz: it holds ' +
        `${startCreatures().length - 1000} bytes where this page expects \\d+\\. ${AGAIN}$`));
      assertNeverRan(seen);
      assert.equal(seen.output, '');
    });

    it('says that it needs WebGL in a browser that offers none', async () => {
      const seen = await visit(undefined, {
        prepare: () => {
          delete HTMLCanvasElement.prototype.transferControlToOffscreen;
          const getContext = HTMLCanvasElement.prototype.getContext;
          HTMLCanvasElement.prototype.getContext = function (type, ...rest) {
            return /webgl/i.test(type) ? null : getContext.call(this, type, ...rest);
          };
        },
      });
      assert.match(seen.status,
        /^This page needs WebGL, which this browser does not offer or has turned off\./);
      assertNeverRan(seen);
      assert.equal(seen.output, '');
    });

    it('says why the program ended on a title picture too short, beside its own message',
      async () => {
        const short = zlib.gzipSync(Buffer.alloc(100, 7));
        const seen = await visit((file) => (file === 'title.raw.gz' ? short : undefined));
        const message = 'Texture file too short: ./image_data/title.raw holds 100 of the ' +
          '3145728 bytes needed...Quitting.';
        assert.equal(seen.output, message + '\n');
        assert.equal(seen.status,
          `The program has ended (exit status 255) after this message: ${message}`);
        assertNeverRan(seen);
      });

    it('says why the program ended on a bad creature file, which Escape it was not',
      async () => {
        const bad = packageWithBadCoordinate();
        const seen = await visit((file) => (file === 'creatures.data.gz' ? bad : undefined), {
          act: async (page) => {
            await page.waitForFunction(() => document.getElementById('status').textContent ===
              'Running.', { timeout: 60000 });
            // The start-up load by a mouse's movement, or by Enter on the canvas.
            if (engine === 'chromium') {
              const box = await (await page.$('#canvas')).boundingBox();
              await page.mouse.move(box.x + 100, box.y + 100);
            } else {
              await page.keyboard.press('Tab');
              await page.keyboard.press('Enter');
            }
          },
        });
        const last = seen.output.trimEnd().split('\n').pop();
        assert.match(last, /^Error! Vertex coordinate is not a finite number on line \d+$/);
        assert.equal(seen.status,
          `The program has ended (exit status 1) after this message: ${last}`);
        assert.deepEqual(seen.errors, []);
      });
  });
}
