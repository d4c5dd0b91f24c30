// The browser build's figures: the display pass of the start population and of 31 creatures (the
// benchmark page in BUILD/bench) and the time from opening the viewer's page to its first frame
// (median of five loads), in headless Chromium, Firefox and WebKit one after the other; the
// site's download size, raw and compressed; Lighthouse's mobile and desktop runs
// (CREATURES_LIGHTHOUSE_RUNS each, 3 by default), with what a first visit fetches and the long
// tasks of each mobile run; and the answer times of breeding clicks in each engine (answers.js,
// medians over CREATURES_ANSWER_ROUNDS pages, 3 by default, each breeding each ripple three
// times).
//
// Usage: node web/test/bench.js BUILD_WEB_DIR [ENGINE...]   (Firefox and WebKit need DISPLAY)
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');
const { serve, launchBrowser } = require('./support');
const { runLighthouse } = require('./lighthouse');
const { measureAnswers } = require('./answers');

async function displayPasses(browser, folder) {
  const { server, url } = await serve(folder);
  try {
    const page = await browser.newPage();
    await page.goto(url);
    await page.waitForFunction(
      () => document.getElementById('output').textContent.includes('benchmark done'),
      { timeout: 300000, polling: 250 });
    const text = await page.$eval('#output', (panel) => panel.textContent);
    await page.close();
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
      await page.waitForFunction(() => performance.getEntriesByName('first-frame').length > 0,
        { timeout: 60000, polling: 50 });
      times.push(await page.evaluate(() => performance.getEntriesByName('first-frame')[0].startTime));
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

// A gzip -9 file of what a compressing server would compress (not what is compressed already).
function compressedSize(name, size, folder) {
  if (/\.(gz|png)$/.test(name)) return size;
  return zlib.gzipSync(fs.readFileSync(path.join(folder, name)), { level: 9 }).length;
}

async function lighthouseRuns(folder, runs) {
  const kB = (n) => `${(n / 1024).toFixed(1)} kB`;
  for (const formFactor of ['mobile', 'desktop']) {
    for (let run = 1; run <= runs; ++run) {
      const result = await runLighthouse(folder, formFactor,
        ['performance', 'best-practices', 'seo']);
      const m = result.metrics;
      console.log(`Lighthouse ${formFactor} run ${run}: ` +
        Object.entries(result.scores).map(([id, score]) => `${id} ${score}`).join(', '));
      console.log(`  FCP ${m.firstContentfulPaint} ms, LCP ${m.largestContentfulPaint} ms, ` +
        `TBT ${m.totalBlockingTime} ms, CLS ${m.cumulativeLayoutShift}, ` +
        `speed index ${m.speedIndex} ms, interactive ${m.interactive} ms`);
      if (result.failed.length > 0) console.log(`  below full marks: ${result.failed.join(', ')}`);
      if (run === 1) {
        let raw = 0;
        let compressed = 0;
        for (const { name, bytes, size } of result.requests) {
          const gzip = name.startsWith('blob:') ? 0 : compressedSize(name, size, folder);
          console.log(`  fetched ${name.padEnd(22)} ${kB(bytes).padStart(10)}` +
            `  (${kB(gzip)} from a compressing server)`);
          raw += bytes;
          compressed += gzip;
        }
        console.log(`  a first visit: ${kB(raw)}, from a compressing server ${kB(compressed)}`);
      }
      if (formFactor === 'mobile') {
        for (const task of result.tasks) {
          console.log(`  task at ${task.at.toFixed(0)} ms: ${task.duration.toFixed(1)} ms ` +
            `(${(4 * task.duration).toFixed(0)} ms four times slower): ${task.cause}`);
        }
      }
    }
  }
}

async function main() {
  const build = process.argv[2] || 'build-web';
  const engines = process.argv.length > 3 ? process.argv.slice(3)
    : ['chromium', 'firefox', 'webkit'];
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
  for (const engine of engines) {
    const browser = await launchBrowser(engine);
    try {
      const answers = await measureAnswers(browser, path.join(build, 'site'),
        Number(process.env.CREATURES_ANSWER_ROUNDS || 3));
      console.log(`Answer times in ${engine} (median), ms: from the click to the frame that ` +
                  'shows it; INP = input delay + processing + presentation');
      for (const [name, parts] of Object.entries(answers)) {
        console.log(`  ${name.padEnd(32)} ${String(parts.clicks).padStart(2)} clicks, shown ` +
          `${parts.shown.toFixed(0).padStart(4)}` +
          (parts.inp === undefined ? '' : `, INP ${parts.inp.toFixed(0).padStart(4)} = ` +
            `${parts.delay.toFixed(1)} + ${parts.processing.toFixed(1)} + ` +
            `${parts.presentation.toFixed(1)}`));
      }
    } finally {
      await browser.close();
    }
  }
  await lighthouseRuns(path.join(build, 'site'), Number(process.env.CREATURES_LIGHTHOUSE_RUNS || 3));
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
