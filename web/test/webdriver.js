// WebKit for the browser tests: WebKitGTK's MiniBrowser driven through WebKitWebDriver over the
// W3C WebDriver protocol, behind the few calls of puppeteer's Browser, Page, ElementHandle,
// Mouse and Keyboard that the tests make, so that the same tests run in all three engines.
//
// WebDriver has no events: what the page writes to its console and the errors nothing caught are
// recorded in the page by a script that runs before the page's own (served into the page by the
// test server, see initScript), and handed to the listeners after every call. The driver runs
// one session, so each page is a window of it. Its touch actions arrive as mouse events: there
// is no touch screen here.
'use strict';

const { spawn } = require('node:child_process');
const net = require('node:net');
const { PNG } = require('pngjs');

const MINIBROWSER = process.env.MINIBROWSER ||
  '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
const BUTTONS = { left: 0, middle: 1, right: 2 };
// Puppeteer's names of keys as WebDriver's code points.
const KEYS = {
  Tab: '\uE004', Enter: '\uE007', Shift: '\uE008', Control: '\uE009', Alt: '\uE00A',
  Escape: '\uE00C', Space: ' ', PageUp: '\uE00E', PageDown: '\uE00F', End: '\uE010',
  Home: '\uE011', ArrowLeft: '\uE012', ArrowUp: '\uE013', ArrowRight: '\uE014',
  ArrowDown: '\uE015',
};

// Scripts that pages ask to run before their own, by id; the test server puts them at the top
// of the page it serves for a URL that names one (?webdriver-init=ID).
const initScripts = new Map();
let nextInit = 0;

// Records the console and the errors that no handler of the page cancelled.
function recorder() {
  const messages = [];
  const errors = [];
  window.webdriverRecords = { messages, errors };
  for (const type of ['log', 'info', 'warn', 'error', 'debug']) {
    const original = console[type].bind(console);
    console[type] = (...values) => {
      messages.push([type, values.map(String).join(' ')]);
      original(...values);
    };
  }
  // Checked once every handler has run. (A resource that did not load is an error event too,
  // of its element, which a listener on the window sees as it passes.)
  window.addEventListener('error', (event) => setTimeout(() => {
    if (event instanceof ErrorEvent && !event.defaultPrevented) errors.push(event.message);
  }), true);
  window.addEventListener('unhandledrejection', (event) => setTimeout(() => {
    if (!event.defaultPrevented) errors.push(String(event.reason));
  }), true);
}

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

class WebDriverError extends Error {}

class WebKitBrowser {
  constructor(driver, url) {
    this.driver = driver;
    this.url = url;
    this.windows = [];
    this.current = null;
  }

  async command(method, path, body) {
    const response = await fetch(this.url + path, {
      method,
      headers: { 'Content-Type': 'application/json' },
      body: body === undefined ? undefined : JSON.stringify(body),
    });
    const { value } = await response.json();
    if (value && value.error) {
      throw new WebDriverError(`${method} ${path}: ${value.error}: ${value.message}`);
    }
    return value;
  }

  async start(workerWebGL) {
    const features = workerWebGL ? ['--features=+AllowWebGLInWorkers'] : [];
    const session = await this.command('POST', '/session', {
      capabilities: {
        alwaysMatch: {
          browserName: 'MiniBrowser',
          // WebGL in workers, as Safari has it from version 17 on (WebKitGTK leaves it off).
          'webkitgtk:browserOptions': { binary: MINIBROWSER, args: ['--automation', ...features] },
        },
      },
    });
    this.url += `/session/${session.sessionId}`;
    this.capabilities = session.capabilities;
    await this.command('POST', '/timeouts', { script: 600000, pageLoad: 120000 });
    this.spare = await this.command('GET', '/window');
    this.current = this.spare;
  }

  // Commands of one window go to that window.
  async use(handle) {
    if (this.current === handle) return;
    await this.command('POST', '/window', { handle });
    this.current = handle;
  }

  async newPage() {
    let handle = this.spare;
    this.spare = null;
    if (!handle) handle = (await this.command('POST', '/window/new', { type: 'window' })).handle;
    const page = new WebKitPage(this, handle);
    this.windows.push(page);
    return page;
  }

  async version() {
    return `MiniBrowser/${this.capabilities.browserVersion}`;
  }

  async userAgent() {
    const page = this.windows[0] || await this.newPage();
    return page.evaluate(() => navigator.userAgent);
  }

  async close() {
    try {
      await fetch(this.url, { method: 'DELETE' });
    } finally {
      this.driver.kill();
    }
  }
}

// The pointer and keys of one page, as one W3C input source each.
class Inputs {
  constructor(page) {
    this.page = page;
    this.at = { x: 0, y: 0 };
  }
  perform(source) {
    return this.page.run('POST', '/actions', { actions: [source] });
  }
  pointer(actions) {
    return this.perform({ type: 'pointer', id: 'mouse', parameters: { pointerType: 'mouse' },
                          actions });
  }
  keys(actions) {
    return this.perform({ type: 'key', id: 'keyboard', actions });
  }
}

class WebKitPage {
  constructor(browser, handle) {
    this.browser = browser;
    this.handle = handle;
    this.listeners = { console: [], pageerror: [] };
    this.scripts = [];
    const inputs = new Inputs(this);
    const point = (x, y) => ({ x: Math.round(x), y: Math.round(y) });
    this.mouse = {
      move: async (x, y) => {
        inputs.at = point(x, y);
        await inputs.pointer([{ type: 'pointerMove', origin: 'viewport', ...inputs.at }]);
      },
      down: ({ button = 'left' } = {}) =>
        inputs.pointer([{ type: 'pointerDown', button: BUTTONS[button] }]),
      up: ({ button = 'left' } = {}) =>
        inputs.pointer([{ type: 'pointerUp', button: BUTTONS[button] }]),
      click: async (x, y, { button = 'left' } = {}) => {
        inputs.at = point(x, y);
        await inputs.pointer([{ type: 'pointerMove', origin: 'viewport', ...inputs.at },
                              { type: 'pointerDown', button: BUTTONS[button] },
                              { type: 'pointerUp', button: BUTTONS[button] }]);
      },
    };
    const key = (name) => KEYS[name] || name;
    this.keyboard = {
      down: (name) => inputs.keys([{ type: 'keyDown', value: key(name) }]),
      up: (name) => inputs.keys([{ type: 'keyUp', value: key(name) }]),
      press: (name) => inputs.keys([{ type: 'keyDown', value: key(name) },
                                    { type: 'keyUp', value: key(name) }]),
    };
  }

  async run(method, path, body) {
    await this.browser.use(this.handle);
    return this.browser.command(method, path, body);
  }

  on(type, listener) {
    this.listeners[type].push(listener);
  }

  // What the recorder has seen since the last call, to the listeners.
  async report() {
    const records = await this.run('POST', '/execute/sync', {
      script: 'const r = window.webdriverRecords; if (!r) return [[], []]; ' +
        'return [r.messages.splice(0), r.errors.splice(0)];',
      args: [],
    });
    for (const [type, text] of records[0]) {
      for (const listener of this.listeners.console) listener({ type: () => type, text: () => text });
    }
    for (const message of records[1]) {
      for (const listener of this.listeners.pageerror) listener(new Error(message));
    }
  }

  async evaluateOnNewDocument(fn, ...args) {
    this.scripts.push(`(${fn})(...${JSON.stringify(args)});`);
  }

  async setViewport({ width, height }) {
    await this.run('POST', '/window/rect', { width, height });
    const [innerWidth, innerHeight] = await this.evaluate(() => [innerWidth, innerHeight]);
    await this.run('POST', '/window/rect',
      { width: 2 * width - innerWidth, height: 2 * height - innerHeight });
  }

  async goto(url) {
    const id = String(nextInit++);
    initScripts.set(id, [`(${recorder})();`, ...this.scripts].join('\n'));
    const address = new URL(url);
    address.searchParams.set('webdriver-init', id);
    await this.run('POST', '/url', { url: address.href });
    await this.report();
  }

  async evaluate(fn, ...args) {
    const script = typeof fn === 'function' ? `return (${fn}).apply(null, arguments);`
      : `return (${fn});`;
    const value = await this.run('POST', '/execute/sync', { script, args });
    return value;
  }

  async waitForFunction(fn, { timeout = 30000 } = {}, ...args) {
    const end = Date.now() + timeout;
    for (;;) {
      const value = await this.evaluate(fn, ...args);
      if (value) {
        await this.report();
        return value;
      }
      if (Date.now() > end) {
        await this.report();
        throw new Error(`waitForFunction: ${timeout} ms passed`);
      }
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
  }

  async $(selector) {
    const found = await this.evaluate((s) => document.querySelector(s) !== null, selector);
    return found ? new WebKitElement(this, selector) : null;
  }

  async $eval(selector, fn, ...args) {
    const value = await this.run('POST', '/execute/sync', {
      script: `return (${fn}).apply(null, [document.querySelector(arguments[0]), ` +
        '...Array.prototype.slice.call(arguments, 1)]);',
      args: [selector, ...args],
    });
    await this.report();
    return value;
  }

  async $$eval(selector, fn, ...args) {
    const value = await this.run('POST', '/execute/sync', {
      script: `return (${fn}).apply(null, [Array.from(document.querySelectorAll(arguments[0])), ` +
        '...Array.prototype.slice.call(arguments, 1)]);',
      args: [selector, ...args],
    });
    await this.report();
    return value;
  }

  async close() {
    await this.report().catch(() => {});
    const pages = this.browser.windows;
    pages.splice(pages.indexOf(this), 1);
    if (pages.length === 0 && this.browser.spare === null) {
      // The session's last window stays, blank, for the next page.
      await this.run('POST', '/url', { url: 'about:blank' });
      this.browser.spare = this.handle;
      return;
    }
    await this.run('DELETE', '/window');
    this.browser.current = null;
  }
}

class WebKitElement {
  constructor(page, selector) {
    this.page = page;
    this.selector = selector;
  }

  async boundingBox() {
    return this.page.evaluate((s) => {
      const { x, y, width, height } = document.querySelector(s).getBoundingClientRect();
      return { x, y, width, height };
    }, this.selector);
  }

  // The window's picture cut to the element: the driver's own picture of an element leaves a
  // WebGL canvas partly black.
  async screenshot() {
    const box = await this.boundingBox();
    const whole = PNG.sync.read(Buffer.from(await this.page.run('GET', '/screenshot'), 'base64'));
    const x0 = Math.max(0, Math.round(box.x));
    const y0 = Math.max(0, Math.round(box.y));
    const width = Math.min(Math.round(box.width), whole.width - x0);
    const height = Math.min(Math.round(box.height), whole.height - y0);
    const cut = new PNG({ width, height });
    PNG.bitblt(whole, cut, x0, y0, width, height, 0, 0);
    return PNG.sync.write(cut);
  }
}

// Starts WebKitWebDriver on a free port of 127.0.0.1 (MiniBrowser in the X server of DISPLAY)
// and a session of it, with WebGL in workers unless workerWebGL is false.
async function launchWebKit({ workerWebGL = true } = {}) {
  const port = await freePort();
  const driver = spawn(process.env.WEBKIT_WEBDRIVER || 'WebKitWebDriver', [`--port=${port}`],
    { stdio: 'ignore' });
  const url = `http://127.0.0.1:${port}`;
  for (let tries = 0; ; ++tries) {
    try {
      const status = await (await fetch(`${url}/status`)).json();
      if (status.value && status.value.ready) break;
    } catch {
      if (tries > 300) {
        driver.kill();
        throw new Error(`WebKitWebDriver did not answer on port ${port}`);
      }
    }
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  const browser = new WebKitBrowser(driver, url);
  try {
    await browser.start(workerWebGL);
  } catch (error) {
    driver.kill();
    throw error;
  }
  return browser;
}

module.exports = { launchWebKit, initScripts };
