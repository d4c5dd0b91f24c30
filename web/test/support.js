// What the browser tests and the benchmark share: a static file server on 127.0.0.1 for the
// site, the system's browsers (Chromium in headless mode with WebGL through SwiftShader, Firefox
// in the X server named by DISPLAY, where it has WebGL through Mesa), the page's canvas as
// pixels, and the silhouettes (the pixels that are not the clear colour) that pictures are
// compared by.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const { PNG } = require('pngjs');
const puppeteer = require('puppeteer-core');
const { launchWebKit, initScripts } = require('./webdriver');

const CONTENT_TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.webmanifest': 'application/manifest+json',
  '.png': 'image/png',
};

// Serves the files of root (no listing, nothing outside it) on a free port of 127.0.0.1.
// replace(name, data), if given, may answer a file otherwise: a number is an HTTP status, a
// buffer the body to send instead, null a connection cut without an answer; undefined serves the
// file. Stopping the server (stop())
// also cuts the connections the browser keeps open, so the site is gone at once.
async function serve(folder, replace = () => undefined) {
  const root = path.resolve(folder);
  const server = http.createServer((request, response) => {
    const address = new URL(request.url, 'http://127.0.0.1');
    const name = decodeURIComponent(address.pathname);
    const file = path.join(root, name === '/' ? 'index.html' : name);
    if (!file.startsWith(root + path.sep)) {
      response.writeHead(403).end();
      return;
    }
    fs.readFile(file, (error, data) => {
      const answer = replace(path.relative(root, file), data);
      if (answer === null) {
        request.socket.destroy();
        return;
      }
      if (typeof answer === 'number' || (error && answer === undefined)) {
        response.writeHead(typeof answer === 'number' ? answer : 404).end();
        return;
      }
      const type = CONTENT_TYPES[path.extname(file)] || 'application/octet-stream';
      let body = answer || data;
      // The scripts a WebDriver page runs before the page's own (webdriver.js).
      const init = initScripts.get(address.searchParams.get('webdriver-init'));
      if (init && type.startsWith('text/html')) {
        body = Buffer.from(body.toString('utf8').replace('<head>', `<head><script>${init}</script>`));
      }
      response.writeHead(200, { 'Content-Type': type }).end(body);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const stop = () => {
    server.close();
    server.closeAllConnections();
  };
  return { server, url: `http://127.0.0.1:${server.address().port}/`, stop };
}

// A browser from Debian's packages with a fresh profile that is removed on close: headless
// Chromium (engine 'chromium'), or Firefox (engine 'firefox') in the X server of DISPLAY, since
// a headless Firefox has no WebGL here. Their background services are off: this machine's
// network is closed. WebKitGTK's MiniBrowser (engine 'webkit', in the X server of DISPLAY, WebGL
// through Mesa) comes through WebDriver (webdriver.js), with WebGL in its workers unless options
// say { workerWebGL: false }.
async function launchBrowser(engine = 'chromium', options = {}) {
  if (engine === 'webkit') return launchWebKit(options);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), `creatures-${engine}-`));
  const common = {
    userDataDir: profile,
    defaultViewport: { width: 1100, height: 1200, deviceScaleFactor: 1 },
    protocolTimeout: 600000,
  };
  const browser = engine === 'firefox' ? await puppeteer.launch({
    ...common,
    browser: 'firefox',
    executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr',
    headless: false,
    extraPrefsFirefox: {
      'app.update.enabled': false, 'browser.safebrowsing.update.enabled': false,
      'network.captive-portal-service.enabled': false,
      'network.connectivity-service.enabled': false,
      'datareporting.policy.dataSubmissionEnabled': false, 'toolkit.telemetry.enabled': false,
    },
  }) : await puppeteer.launch({
    ...common,
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: [
      '--no-sandbox', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--use-angle=swiftshader',
      '--enable-unsafe-swiftshader',
    ],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return browser;
}

// Registers hooks that serve the site and open a browser of the engine around the tests of the
// suite being declared; the tests find them in the returned object (site, browser) once it runs.
function siteAndBrowser(folder, engine = 'chromium') {
  const { after, before } = require('node:test');
  const session = {};
  before(async () => {
    assert.ok(folder, 'CREATURES_SITE names the site folder');
    session.site = await serve(folder);
    session.browser = await launchBrowser(engine);
  });
  after(async () => {
    if (session.browser) await session.browser.close();
    if (session.site) session.site.stop();
  });
  return session;
}

// A phone, as Chromium emulates it: 390 x 844 CSS pixels, three device pixels to one, touch.
const PHONE = {
  viewport: { width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true },
  userAgent: 'Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 (KHTML, like Gecko) ' +
    'Chrome/156.0.0.0 Mobile Safari/537.36',
};

// The desktop viewer's records of a scripted session (creatures_web_reference): its steps by
// name, and the console text and window picture after each.
function desktopRecords(folder) {
  assert.ok(folder, 'the desktop records\' folder is named');
  const steps = {};
  for (const step of JSON.parse(fs.readFileSync(path.join(folder, 'script.json'), 'utf8')).steps) {
    steps[step.name] = step;
  }
  return {
    steps,
    console: (step) => fs.readFileSync(path.join(folder, step + '.txt'), 'latin1'),
    picture: (step) => readPng(path.join(folder, step + '.png')),
    file: (name) => path.join(folder, name),
  };
}

// Regions of the desktop's 1024 x 768 window: all of it, and a square around a point.
const WHOLE = { x: 0, y: 0, width: 1024, height: 768 };
function around(point, size) {
  return { x: point[0] - size / 2, y: point[1] - size / 2, width: size, height: size };
}

// An image as pixels: width, height and RGBA bytes, row 0 at the top.
function readPng(file) {
  return PNG.sync.read(fs.readFileSync(file));
}
function decodePng(buffer) {
  return PNG.sync.read(buffer);
}
function writePng(file, image) {
  fs.writeFileSync(file, PNG.sync.write(image));
}

// The canvas as it is shown now.
async function canvasImage(page) {
  const canvas = await page.$('#canvas');
  return decodePng(await canvas.screenshot({ type: 'png' }));
}

// Resolves once the program has drawn what every input so far changed, and count more frames
// have passed: of the page, and of the program too while its motion runs.
function frames(page, count = 5) {
  return page.evaluate(async (n) => {
    const { program } = await import('./program.js');
    await program.drawn();
    const moving = document.getElementById('pause').getAttribute('aria-pressed') !== 'true';
    await Promise.all([
      new Promise((resolve) => {
        let left = n;
        const next = () => (--left <= 0 ? resolve() : requestAnimationFrame(next));
        requestAnimationFrame(next);
      }),
      new Promise((resolve) => {
        let left = n;
        const shown = () => {
          if (--left > 0 && program.running()) return;
          program.removeEventListener('frame', shown);
          resolve();
        };
        if (moving && program.running()) program.addEventListener('frame', shown);
        else resolve();
      }),
    ]);
  }, count);
}

// Resolves once the page has shown the program's first frame; returns when that was, in
// milliseconds from the page's start.
async function firstFrame(page) {
  await page.waitForFunction(() => performance.getEntriesByName('first-frame').length > 0,
    { timeout: 60000 });
  return page.evaluate(() => performance.getEntriesByName('first-frame')[0].startTime);
}

// The creatures as the program last told the page (web/creature_marks.cpp).
function creatureMarks(page) {
  return page.evaluate(async () => (await import('./program.js')).program.marks);
}

// The image resampled to width x height (bilinear), to compare a canvas shown at another size
// with the desktop's 1024 x 768 window.
function resize(image, width, height) {
  if (image.width === width && image.height === height) return image;
  const out = { width, height, data: Buffer.alloc(4 * width * height) };
  const sx = image.width / width;
  const sy = image.height / height;
  for (let y = 0; y < height; ++y) {
    const fy = Math.min(Math.max((y + 0.5) * sy - 0.5, 0), image.height - 1);
    const y0 = Math.floor(fy);
    const y1 = Math.min(y0 + 1, image.height - 1);
    const wy = fy - y0;
    for (let x = 0; x < width; ++x) {
      const fx = Math.min(Math.max((x + 0.5) * sx - 0.5, 0), image.width - 1);
      const x0 = Math.floor(fx);
      const x1 = Math.min(x0 + 1, image.width - 1);
      const wx = fx - x0;
      for (let c = 0; c < 4; ++c) {
        const at = (px, py) => image.data[4 * (py * image.width + px) + c];
        const top = at(x0, y0) * (1 - wx) + at(x1, y0) * wx;
        const bottom = at(x0, y1) * (1 - wx) + at(x1, y1) * wx;
        out.data[4 * (y * width + x) + c] = Math.round(top * (1 - wy) + bottom * wy);
      }
    }
  }
  return out;
}

// The clear colour (0.41, 0.61, 0.81) in 8 bits.
const CLEAR = [105, 156, 207];

function isClear(image, x, y, tolerance = 6) {
  const i = 4 * (y * image.width + x);
  return Math.abs(image.data[i] - CLEAR[0]) <= tolerance &&
    Math.abs(image.data[i + 1] - CLEAR[1]) <= tolerance &&
    Math.abs(image.data[i + 2] - CLEAR[2]) <= tolerance;
}

function clipped(image, rect) {
  const x0 = Math.max(0, rect.x);
  const y0 = Math.max(0, rect.y);
  const x1 = Math.min(image.width, rect.x + rect.width);
  const y1 = Math.min(image.height, rect.y + rect.height);
  return { x0, y0, x1, y1 };
}

// The pixels of rect that are not the clear colour: their count, their centre and their spread
// (the root mean square distance from the centre).
function silhouette(image, rect) {
  const { x0, y0, x1, y1 } = clipped(image, rect);
  let pixels = 0;
  let sumX = 0;
  let sumY = 0;
  let sumSquares = 0;
  for (let y = y0; y < y1; ++y) {
    for (let x = x0; x < x1; ++x) {
      if (isClear(image, x, y)) continue;
      ++pixels;
      sumX += x;
      sumY += y;
      sumSquares += x * x + y * y;
    }
  }
  if (pixels === 0) return { pixels, centreX: NaN, centreY: NaN, spread: NaN };
  const centreX = sumX / pixels;
  const centreY = sumY / pixels;
  const spread = Math.sqrt(Math.max(0, sumSquares / pixels - centreX ** 2 - centreY ** 2));
  return { pixels, centreX, centreY, spread };
}

// Whether rect shows the same creature in a and b, breathing aside: a creature's breath (up to 4%
// in size, so up to 8% in area) at different moments moves its outline by a few pixels, and a
// canvas shown at another size and scaled back blurs thin parts such as legs by some more, so the
// middles and the areas of the two silhouettes are compared. Returns what differs, or ''.
function creatureDiffers(a, b, rect) {
  const ours = silhouette(a, rect);
  const theirs = silhouette(b, rect);
  const apart = Math.hypot(ours.centreX - theirs.centreX, ours.centreY - theirs.centreY);
  if (theirs.pixels > 0 && apart < 5 && Math.abs(ours.pixels / theirs.pixels - 1) < 0.2) return '';
  return `${ours.pixels} pixels centred at ${ours.centreX.toFixed(1)}, ` +
    `${ours.centreY.toFixed(1)} against ${theirs.pixels} at ${theirs.centreX.toFixed(1)}, ` +
    `${theirs.centreY.toFixed(1)}`;
}

// The share of the pixels of rect that are the clear colour in one image and not in the other.
function silhouetteDifference(a, b, rect) {
  const { x0, y0, x1, y1 } = clipped(a, rect);
  let differ = 0;
  for (let y = y0; y < y1; ++y) {
    for (let x = x0; x < x1; ++x) {
      if (isClear(a, x, y) !== isClear(b, x, y)) ++differ;
    }
  }
  const total = (x1 - x0) * (y1 - y0);
  return total > 0 ? differ / total : 0;
}

// The mean difference per channel of two images of the same size, over rect.
function meanDifference(a, b, rect) {
  const { x0, y0, x1, y1 } = clipped(a, rect);
  let sum = 0;
  for (let y = y0; y < y1; ++y) {
    for (let x = x0; x < x1; ++x) {
      const i = 4 * (y * a.width + x);
      for (let c = 0; c < 3; ++c) sum += Math.abs(a.data[i + c] - b.data[i + c]);
    }
  }
  const total = 3 * (x1 - x0) * (y1 - y0);
  return total > 0 ? sum / total : 0;
}

module.exports = {
  serve, launchBrowser, siteAndBrowser, PHONE, desktopRecords, WHOLE, around, readPng, writePng,
  canvasImage, frames, firstFrame, creatureMarks, resize, silhouette, creatureDiffers,
  silhouetteDifference, meanDifference,
};
