// The browser build's figures: the display pass of the start population and of 31 creatures (the
// benchmark page in BUILD/bench) and the time from opening the viewer's page to its first frame
// (median of five loads), in headless Chromium and in Firefox one after the other, and the
// site's download size, raw and compressed.
//
// Usage: node web/test/bench.js BUILD_WEB_DIR [ENGINE...]   (Firefox needs DISPLAY)
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');
const { serve, launchBrowser } = require('./support');

async function displayPasses(browser, folder) {
  const { server, url } = await serve(folder);
  try {
    const page = await browser.newPage();
    await page.goto(url);
    await page.waitForFunction(
      () => document.getElementById('output').textContent.includes('benchmark done'),
      { timeout: 300000, polling: 250 });
    const text = await page.$eval('#output', (panel) => panel.textContent);
    return text.match(/display pass[^\n]*/g) || [];
  } finally {
    server.close();
  }
}

async function firstFrame(browser, folder, loads) {
  const { server, url } = await serve(folder);
  const times = [];
  try {
    for (let i = 0; i < loads; ++i) {
      const page = await browser.newPage();
      await page.goto(url);
      await page.waitForFunction(() => window.firstFrameTime !== undefined,
        { timeout: 60000, polling: 50 });
      times.push(await page.evaluate(() => window.firstFrameTime));
      await page.close();
    }
  } finally {
    server.close();
  }
  times.sort((a, b) => a - b);
  return times[Math.floor(times.length / 2)];
}

function siteSize(folder) {
  const rows = [];
  const total = { raw: 0, gzip: 0, brotli: 0 };
  for (const name of fs.readdirSync(folder).sort()) {
    const data = fs.readFileSync(path.join(folder, name));
    const row = {
      name,
      raw: data.length,
      gzip: zlib.gzipSync(data, { level: 9 }).length,
      brotli: zlib.brotliCompressSync(data, {
        params: { [zlib.constants.BROTLI_PARAM_QUALITY]: 11 },
      }).length,
    };
    // A file that is compressed already travels as it is.
    if (name.endsWith('.gz')) row.gzip = row.brotli = row.raw;
    rows.push(row);
    for (const key of Object.keys(total)) total[key] += row[key];
  }
  return { rows, total };
}

async function main() {
  const build = process.argv[2] || 'build-web';
  const engines = process.argv.length > 3 ? process.argv.slice(3) : ['chromium', 'firefox'];
  for (const engine of engines) {
    const browser = await launchBrowser(engine);
    try {
      console.log(`${engine} ${await browser.version()}:`);
      for (const line of await displayPasses(browser, path.join(build, 'bench'))) {
        console.log(`  ${line}`);
      }
      const first = await firstFrame(browser, path.join(build, 'site'), 5);
      console.log(`  first frame: ${first.toFixed(0)} ms after the page is opened (median of 5)`);
    } finally {
      await browser.close();
    }
  }
  const kB = (n) => (n / 1024).toFixed(1).padStart(8);
  const { rows, total } = siteSize(path.join(build, 'site'));
  console.log('site file            raw kB   gzip -9 kB   brotli kB');
  for (const row of [...rows, { name: 'all', ...total }]) {
    console.log(`${row.name.padEnd(18)} ${kB(row.raw)}    ${kB(row.gzip)}    ${kB(row.brotli)}`);
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
