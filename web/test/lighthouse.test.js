// Lighthouse's accessibility category scores 100 in Chromium: in its phone and its desktop runs,
// which load the page afresh (the title), and in a snapshot of the page after a breeding made from
// the keyboard (the population, a family tree, names for every creature). So do its best
// practices and search engine categories in both runs (its performance score is made of timings,
// which a busy machine changes: tools/web bench measures it).
//
// Environment: CREATURES_SITE (the site folder).
'use strict';

const assert = require('node:assert/strict');
const { describe, it } = require('node:test');
const { siteAndBrowser, frames, firstFrame } = require('./support');

// Every audit of the categories that scored less than full marks, by id; an empty list is 100.
function faults(result, categories = ['accessibility']) {
  const { lhr } = result;
  assert.deepEqual(lhr.runWarnings, []);
  return categories.flatMap((category) => lhr.categories[category].auditRefs)
    .map((ref) => lhr.audits[ref.id])
    .filter((audit) => audit.score !== null && audit.score < 1).map((audit) => audit.id);
}

describe('Lighthouse on the page', { timeout: 300000 }, () => {
  const open = siteAndBrowser(process.env.CREATURES_SITE);
  const settings = { logLevel: 'error', onlyCategories: ['accessibility'] };

  it('scores its accessibility 100 in the phone and desktop runs', async () => {
    const { default: lighthouse } = await import('lighthouse');
    const { default: desktop } = await import('lighthouse/core/config/desktop-config.js');
    const port = Number(new URL(open.browser.wsEndpoint()).port);
    for (const [run, config] of [['phone', undefined], ['desktop', desktop]]) {
      const result = await lighthouse(open.site.url, { ...settings, port }, config);
      assert.equal(result.lhr.configSettings.formFactor, run === 'phone' ? 'mobile' : 'desktop');
      assert.deepEqual(faults(result), [], `the ${run} run`);
    }
  });

  it('scores its best practices and search engine audits 100 in the phone and desktop runs',
    async () => {
      const { default: lighthouse } = await import('lighthouse');
      const { default: desktop } = await import('lighthouse/core/config/desktop-config.js');
      const port = Number(new URL(open.browser.wsEndpoint()).port);
      const categories = ['best-practices', 'seo'];
      for (const [run, config] of [['phone', undefined], ['desktop', desktop]]) {
        const result = await lighthouse(open.site.url,
          { ...settings, onlyCategories: categories, port }, config);
        assert.deepEqual(faults(result, categories), [], `the ${run} run`);
        for (const category of categories) {
          assert.equal(result.lhr.categories[category].score, 1, `${category}, the ${run} run`);
        }
      }
    });

  it('scores its accessibility 100 after a breeding from the keyboard', async () => {
    const { snapshot } = await import('lighthouse');
    const page = await open.browser.newPage();
    await page.goto(open.site.url);
    await firstFrame(page);
    for (const key of ['Tab', 'Enter', 'ArrowLeft', 'Enter', 'Enter']) await page.keyboard.press(key);
    await page.waitForFunction(() => /Created:3 4\n$/.test(
      document.getElementById('output').textContent), { timeout: 60000 });
    await frames(page, 3);
    const config = { extends: 'lighthouse:default', settings };
    assert.deepEqual(faults(await snapshot(page, { config })), []);
  });
});
