// Lighthouse on the site, in the system's Chromium: the site served by the tests' server, which
// compresses nothing, as many simple hosts do; a mobile run (Lighthouse's model of a mid-range
// phone on a slow 4G connection, the page's work timed four times slower) or a desktop run.
// Returns the category scores, the metrics, the files the page fetched and the page's long tasks
// as the trace shows them.
'use strict';

const { serve } = require('./support');

// Chromium's own flags as the tests use them (support.js), for Lighthouse's launcher.
const CHROMIUM_FLAGS = [
  '--headless=new', '--no-sandbox', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
];

// The tasks of the page's main thread longer than `over` milliseconds as observed, each with
// what ran in it: the kind of work at its top and the script and function it called.
function longTasks(trace, over) {
  const events = trace.traceEvents;
  const start = events.find((event) => event.name === 'navigationStart').ts;
  const threads = events.filter((event) => event.name === 'thread_name' &&
                                          event.args.name === 'CrRendererMain');
  const tasks = [];
  for (const thread of threads) {
    const mine = events.filter((event) => event.pid === thread.pid && event.tid === thread.tid &&
                                         event.ph === 'X');
    for (const task of mine) {
      if (task.name !== 'RunTask' || task.dur < over * 1000 || task.ts < start) continue;
      const inside = mine.filter((event) => event !== task && event.ts >= task.ts &&
                                           event.ts + event.dur <= task.ts + task.dur);
      const top = inside.filter((event) => event.dur > 0.5 * task.dur && event.name !== 'RunTask')
        .map((event) => event.name).slice(0, 3);
      const call = inside.find((event) => event.args && event.args.data &&
        (event.args.data.url || event.args.data.functionName));
      const script = call ? call.args.data.url.split('/').pop() : '';
      tasks.push({
        at: (task.ts - start) / 1000,
        duration: task.dur / 1000,
        cause: [top.join(' > '), script && `${script.length > 20 ? 'blob' : script}`,
                call && call.args.data.functionName].filter(Boolean).join(' '),
      });
    }
  }
  return tasks.sort((a, b) => a.at - b.at);
}

// formFactor: 'mobile' or 'desktop'; categories: Lighthouse's ids.
async function runLighthouse(folder, formFactor, categories) {
  const { default: lighthouse } = await import('lighthouse');
  const chromeLauncher = await import('chrome-launcher');
  const config = formFactor === 'desktop'
    ? (await import('lighthouse/core/config/desktop-config.js')).default : undefined;
  const site = await serve(folder);
  const chrome = await chromeLauncher.launch({
    chromePath: process.env.CHROMIUM || '/usr/bin/chromium', chromeFlags: CHROMIUM_FLAGS,
  });
  try {
    const result = await lighthouse(site.url, {
      port: chrome.port, output: 'json', logLevel: 'error', onlyCategories: categories,
    }, config);
    const { lhr, artifacts } = result;
    const scores = {};
    for (const category of Object.values(lhr.categories)) {
      scores[category.id] = Math.round(category.score * 100);
    }
    const failed = Object.values(lhr.audits).filter((audit) => audit.score !== null &&
      audit.score < 1 && ['binary', 'numeric'].includes(audit.scoreDisplayMode))
      .map((audit) => `${audit.id} (${audit.displayValue || audit.score})`);
    const network = lhr.audits['network-requests'];
    const requests = (network && network.details ? network.details.items : [])
      .filter((item) => item.url.startsWith(site.url))
      .map((item) => ({ name: item.url.slice(site.url.length) || 'index.html',
                        bytes: item.transferSize, size: item.resourceSize }));
    const metrics = lhr.audits.metrics && lhr.audits.metrics.details
      ? lhr.audits.metrics.details.items[0] : {};
    const trace = artifacts.Trace || (artifacts.traces && artifacts.traces.defaultPass);
    return { scores, failed, requests, metrics, tasks: trace ? longTasks(trace, 12.5) : [] };
  } finally {
    await chrome.kill();
    site.stop();
  }
}

module.exports = { runLighthouse };
