// The core built for the browser computes what the desktop's computes: the digest program, built
// for both (in node with the real files of the repository), prints the same text, digests of the
// whole World after a start-up load and three breedings included.
//
// Environment: CREATURES_ROOT (the repository), CREATURES_DESKTOP_DIGEST (the desktop program),
// CREATURES_WEB_DIGEST (the browser build's core_digest.js).
'use strict';

const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const { it } = require('node:test');

it('the web build of the core prints the desktop\'s digests, byte for byte', () => {
  const options = { cwd: process.env.CREATURES_ROOT, encoding: 'latin1' };
  const desktop = execFileSync(process.env.CREATURES_DESKTOP_DIGEST, [], options);
  const web = execFileSync(process.execPath, [process.env.CREATURES_WEB_DIGEST], options);
  assert.match(desktop, /digest after breeding 0 and 1 again: 7 creatures/);
  assert.equal(web, desktop);
});
