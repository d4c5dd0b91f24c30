// ESLint's recommended rules over the page's scripts and the browser tests.
import js from '@eslint/js';
import globals from 'globals';

export default [
  { ignores: ['node_modules/'] },
  js.configs.recommended,
  {
    // The page's modules.
    files: ['*.js'],
    languageOptions: { sourceType: 'module', globals: globals.browser },
  },
  {
    // The program's host runs in the page or in the worker.
    files: ['host.js', 'files.js'],
    languageOptions: { globals: { ...globals.browser, ...globals.worker } },
  },
  {
    // The program's worker: a classic worker script.
    files: ['worker.js'],
    languageOptions: { sourceType: 'script', globals: globals.worker },
  },
  {
    // The build's helper, run by node.
    files: ['*.mjs'],
    languageOptions: { globals: globals.node },
  },
  {
    // The tests and benchmarks run in node, and hand functions to the browser to run there.
    files: ['test/*.js'],
    languageOptions: { sourceType: 'commonjs', globals: { ...globals.node, ...globals.browser } },
  },
];
