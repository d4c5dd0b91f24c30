// Lighthouse's best-practice and search-engine audits of the page, in a phone's run and a
// desktop's: every audit passes (scores of 100). Its performance score is made of timings, which
// a busy machine changes: tools/web bench measures it.
//
// Environment: CREATURES_SITE (the site folder).
'use strict';

const assert = require('node:assert/strict');
const { it } = require('node:test');
const { runLighthouse } = require('./lighthouse');

for (const formFactor of ['mobile', 'desktop']) {
  it(`passes Lighthouse's best practices and search engine audits on a ${formFactor}`,
    { timeout: 300000 }, async () => {
      const result = await runLighthouse(process.env.CREATURES_SITE, formFactor,
        ['best-practices', 'seo']);
      assert.deepEqual(result.failed, []);
      assert.deepEqual(result.scores, { 'best-practices': 100, seo: 100 });
    });
}
