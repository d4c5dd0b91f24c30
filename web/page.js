// The page around the program: it checks that the browser can draw, downloads the program and
// its files (saying plainly which one failed, if one does), starts the program with them, shows
// its standard output in the text panel byte by byte (and copies it to the console line by
// line), and says in the status line when and why the program has ended.
'use strict';

(function () {
  const canvas = document.getElementById('canvas');
  const output = document.getElementById('output');
  const status = document.getElementById('status');

  let started = false;
  let ended = false;
  let escapePressed = false;
  let consoleLine = '';
  let lastLine = '';
  const decoder = new TextDecoder();

  // Every byte the program writes shows at once, so text without a line end is seen as soon as
  // it is written, as in a terminal.
  function showText(text) {
    if (text.length === 0) return;
    output.textContent += text;
    output.scrollTop = output.scrollHeight;
    consoleLine += text;
    const end = consoleLine.lastIndexOf('\n');
    if (end >= 0) {
      for (const line of consoleLine.slice(0, end).split('\n')) {
        console.log(line);
        lineDone(line);
        if (line.length > 0) lastLine = line;
      }
      consoleLine = consoleLine.slice(end + 1);
    }
  }
  // Each finished line is told to the rest of the page (the screen reader's sentences about
  // breedings, announce.js) as a 'programline' event on the window.
  function lineDone(line) {
    window.dispatchEvent(new CustomEvent('programline', { detail: line }));
  }
  function writeByte(byte) {
    if (byte === null) return;
    showText(decoder.decode(Uint8Array.of(byte), { stream: true }));
  }
  function flushConsole() {
    showText(decoder.decode());
    if (consoleLine.length > 0) {
      console.log(consoleLine);
      lastLine = consoleLine;
    }
    consoleLine = '';
  }

  function say(message, failed) {
    status.textContent = message;
    status.classList.toggle('failed', failed);
  }

  // The program will not run, or runs no more: nothing reaches it from now on, and no more
  // frames are drawn. Anything but Escape is a failure, and looks like one.
  function stop(message, failed = true) {
    if (ended) return;
    ended = true;
    flushConsole();
    say(message, failed);
    if (window.Module && Module._stopFrameLoop && started) {
      try {
        Module._stopFrameLoop();
      } catch (error) {
        // The runtime is gone already.
      }
    }
  }

  function cannotLoad(name, why) {
    stop(`The page could not load ${name}: ${why}. Reloading the page may help.`);
  }

  // Once the program has ended nothing reaches its handlers. Registered before the program's
  // own handlers on the same target and phase, so these run first. An Escape key is noted, so
  // that an exit it causes is told from one the program chose for itself.
  for (const type of ['keydown', 'keyup', 'mousemove', 'mousedown', 'mouseup', 'mousewheel',
                      'DOMMouseScroll']) {
    window.addEventListener(type, (event) => {
      if (ended) {
        event.stopImmediatePropagation();
      } else if (type === 'keydown' && (event.key === 'Escape' || event.keyCode === 27)) {
        escapePressed = true;
        setTimeout(() => { escapePressed = false; });
      }
    }, true);
  }
  // The right button picks, as on the desktop.
  canvas.addEventListener('contextmenu', (event) => event.preventDefault());

  // An error nothing else caught: the program cannot go on. The page says so in place of the
  // browser's console report.
  window.addEventListener('error', (event) => {
    event.preventDefault();
    if (event.error && event.error.name === 'ExitStatus') return;
    stop(`The program has stopped with an error (${event.message}). Reloading the page may help.`);
  });
  window.addEventListener('unhandledrejection', (event) => {
    event.preventDefault();
    stop(`The program has stopped with an error (${event.reason}). Reloading the page may help.`);
  });
  canvas.addEventListener('webglcontextlost', () => {
    stop('The browser has stopped this page\'s drawing (the WebGL context was lost). ' +
         'Reloading the page may help.');
  });

  // Whether this browser gives a page WebGL at all, asked of a canvas of its own so that the
  // program's canvas gets its context with the program's own settings.
  function hasWebGL() {
    try {
      const probe = document.createElement('canvas');
      const gl = probe.getContext('webgl') || probe.getContext('experimental-webgl');
      if (!gl) return false;
      const lose = gl.getExtension('WEBGL_lose_context');
      if (lose) lose.loseContext();
      return true;
    } catch (error) {
      return false;
    }
  }

  // A file of the site, whole; an error that names it and says what went wrong.
  class DownloadError extends Error {
    constructor(name, why) {
      super(`${name}: ${why}`);
      this.file = name;
      this.why = why;
    }
  }
  async function download(name) {
    let response;
    try {
      response = await fetch(name);
    } catch (error) {
      throw new DownloadError(name, 'the network did not answer');
    }
    if (!response.ok) {
      throw new DownloadError(name,
        `the server answered ${response.status} ${response.statusText}`.trim());
    }
    return response;
  }
  async function downloadBytes(name) {
    const response = await download(name);
    try {
      return await response.arrayBuffer();
    } catch (error) {
      throw new DownloadError(name, 'the download broke off');
    }
  }
  // The program, compiled while the other files come.
  async function downloadProgram(name) {
    const bytes = await downloadBytes(name);
    try {
      return await WebAssembly.compile(bytes);
    } catch (error) {
      throw new DownloadError(name, 'what arrived is not a WebAssembly program');
    }
  }
  // The title picture travels compressed; it is expanded to the file the program reads. The
  // expanded stream is read chunk by chunk, so that a damaged file is one rejected read here.
  async function downloadTitle(name) {
    const compressed = new Uint8Array(await downloadBytes(name));
    const notGzip = new DownloadError(name, 'what arrived is not a gzip file');
    if (compressed[0] !== 0x1f || compressed[1] !== 0x8b) throw notGzip;
    const chunks = [];
    let length = 0;
    try {
      const reader = new Blob([compressed]).stream()
        .pipeThrough(new DecompressionStream('gzip')).getReader();
      for (;;) {
        const { done, value } = await reader.read();
        if (done) break;
        chunks.push(value);
        length += value.length;
      }
    } catch (error) {
      throw notGzip;
    }
    const bytes = new Uint8Array(length);
    let at = 0;
    for (const chunk of chunks) {
      bytes.set(chunk, at);
      at += chunk.length;
    }
    return bytes;
  }
  function loadScript(name) {
    return new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = name;
      script.onload = resolve;
      script.onerror = () => reject(new DownloadError(name, 'it did not arrive'));
      document.body.appendChild(script);
    });
  }

  // The program's end, from exit() or Escape: the status says how it ended, and why when it
  // was not Escape (the program's own last words, which stay in the panel as well).
  function ending(code) {
    flushConsole();
    // As a process's exit status: exit(-1) is 255.
    const status = ((code % 256) + 256) % 256;
    if (escapePressed || lastLine === '') return `The program has ended (exit status ${status}).`;
    return `The program has ended (exit status ${status}) after this message: ${lastLine}`;
  }

  async function start() {
    if (!hasWebGL()) {
      stop('This page needs WebGL, which this browser does not offer or has turned off. ' +
           'Another browser, or this one with hardware acceleration turned on, can show it.');
      return;
    }
    let program;
    let data;
    let title;
    try {
      // The input translations come before the program, whose GLUT must find them in place.
      [program, data, title] = await Promise.all([
        downloadProgram('creatures.wasm'), downloadBytes('creatures.data'),
        downloadTitle('title.raw.gz'), loadScript('input.js'), loadScript('keyboard.js'),
        loadScript('announce.js')]);
    } catch (error) {
      if (error instanceof DownloadError) cannotLoad(error.file, error.why);
      else stop(`The page could not start the program (${error}). Reloading the page may help.`);
      return;
    }
    if (ended) return;

    window.Module = {
      canvas: canvas,
      stdout: writeByte,
      stderr: writeByte,
      // The runtime's own notices (the emulation's warnings) are kept here, off the console.
      printErr: (text) => { window.runtimeNotices.push(text); },
      instantiateWasm: (imports, receive) => {
        WebAssembly.instantiate(program, imports).then((instance) => receive(instance, program),
          (error) => stop(`The program could not start (${error}). Reloading the page may help.`));
        return {};
      },
      // The packed start creatures, downloaded above. A package of another size is not the one
      // this program was built with: the program does not start on it.
      getPreloadedPackage: (name, size) => {
        if (data.byteLength !== size) {
          cannotLoad('creatures.data',
            `it holds ${data.byteLength} bytes where this page expects ${size}`);
          Module.addRunDependency('a start creatures package of the right size');
        }
        return data;
      },
      preRun: [function () {
        Module.FS.mkdir('/image_data');
        Module.FS.writeFile('/image_data/title.raw', title);
        started = true;
      }],
      postRun: [function () {
        if (ended) return;
        say('Running.', false);
        // The first display pass runs in the animation frame the program asked for at start.
        requestAnimationFrame(() => { window.firstFrameTime = performance.now(); });
        // The service worker keeps the site for the next visit, with or without the network
        // (where the browser offers one: not on a page opened from a file, say).
        if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
      }],
      // exit() from the program, whether or not the runtime is kept alive (GLUT's idle handler
      // keeps it). The exception unwinds the program's stack; the window's error handler above
      // keeps it off the console.
      quit: function (code, exception) {
        if (!ended) stop(ending(code), !escapePressed);
        throw exception;
      },
      onAbort: function (what) {
        stop(`The program has stopped with an error (${what}). Reloading the page may help.`);
      },
    };
    try {
      await loadScript('creatures.js');
    } catch (error) {
      cannotLoad(error.file, error.why);
    }
  }

  window.runtimeNotices = [];
  // What the rest of the page asks: whether the program takes input now.
  window.programRunning = () => started && !ended;
  start();
})();
