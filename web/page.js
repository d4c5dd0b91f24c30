// The page around the program: it makes the program's WebGL context (or says that the browser
// offers none), downloads the program and its files (saying plainly which one failed, if one
// does), starts the program with them, shows its standard output in the text panel as it is
// written (and copies it to the console line by line), and says in the status line when and why
// the program has ended.
'use strict';

(function () {
  // Without download.js the status line says so already.
  if (!window.siteFiles) return;
  const canvas = document.getElementById('canvas');
  const output = document.getElementById('output');
  const status = document.getElementById('status');
  const { DownloadError } = window.siteFiles;

  let started = false;
  let ended = false;
  let escapePressed = false;
  let consoleLine = '';
  let lastLine = '';
  const decoder = new TextDecoder();

  // The panel shows the text the program writes at the next frame, all that came since the last
  // one appended at once, so text without a line end (`Starting Subdivision...`) is seen as soon
  // as it is written, as in a terminal. The text goes into blocks of some hundred lines each:
  // a frame's layout and appending touch only the last block, so a line costs the same however
  // much the panel already holds.
  const LINES_PER_BLOCK = 200;
  let panelText = '';
  let panelFrame = 0;
  let block = null;
  let blockLines = 0;
  function showPanel() {
    if (panelFrame !== 0) cancelAnimationFrame(panelFrame);
    panelFrame = 0;
    if (panelText.length === 0) return;
    if (block === null || (blockLines >= LINES_PER_BLOCK && block.textContent.endsWith('\n'))) {
      block = document.createElement('span');
      block.className = 'lines';
      output.appendChild(block);
      blockLines = 0;
    }
    block.appendChild(document.createTextNode(panelText));
    for (let at = panelText.indexOf('\n'); at >= 0; at = panelText.indexOf('\n', at + 1)) {
      ++blockLines;
    }
    panelText = '';
    output.scrollTop = output.scrollHeight;
  }

  function showText(text) {
    if (text.length === 0) return;
    panelText += text;
    if (panelFrame === 0) panelFrame = requestAnimationFrame(showPanel);
    consoleLine += text;
    // Only new text can end a line: what came before was looked at when it came.
    if (!text.includes('\n')) return;
    const end = consoleLine.lastIndexOf('\n');
    for (const line of consoleLine.slice(0, end).split('\n')) {
      console.log(line);
      lineDone(line);
      if (line.length > 0) lastLine = line;
    }
    consoleLine = consoleLine.slice(end + 1);
  }
  // Each finished line is told to the rest of the page (the screen reader's sentences about
  // breedings, announce.js) as a 'programline' event on the window.
  function lineDone(line) {
    window.dispatchEvent(new CustomEvent('programline', { detail: line }));
  }
  // A byte of the program's output. An ASCII byte is its own character unless the decoder
  // holds the start of a longer one; any other byte goes through the decoder.
  let decoderHolds = false;
  function writeByte(byte) {
    if (byte === null) return;
    if (byte < 0x80 && !decoderHolds) {
      showText(String.fromCharCode(byte));
      return;
    }
    const text = decoder.decode(Uint8Array.of(byte), { stream: true });
    decoderHolds = text.length === 0;
    showText(text);
  }
  function flushConsole() {
    showText(decoder.decode());
    decoderHolds = false;
    showPanel();
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

  // Makes a first WebGL context in a worker and resolves once it is made, or cannot be: a
  // browser's first context is slow to make (a software renderer's much more so), and the
  // worker's takes that wait off the page's thread. Resolves at once where workers cannot draw.
  function warmUpWebGL() {
    return new Promise((resolve) => {
      if (typeof OffscreenCanvas === 'undefined' || typeof Worker === 'undefined') {
        resolve();
        return;
      }
      const source = "'use strict';\n" +
        "try { new OffscreenCanvas(1, 1).getContext('webgl'); } catch (error) {}\n" +
        'postMessage(0);\n';
      const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
      let worker;
      const done = () => {
        if (worker) worker.terminate();
        URL.revokeObjectURL(url);
        resolve();
      };
      try {
        worker = new Worker(url);
      } catch (error) {
        done();
        return;
      }
      worker.onmessage = done;
      worker.onerror = done;
    });
  }

  // The program's WebGL context, or null where the browser offers none. Made here with the
  // settings the program's GLUT asks for (WebGL 1, a depth buffer, no alpha, stencil or
  // antialiasing), the program takes it as it is (Module.preinitializedWebGLContext).
  // The program's GL layer enables every extension the context offers but the debugging ones as
  // it starts, each a wait for the renderer; they are enabled here beforehand, a few a task.
  async function programContext() {
    await siteFiles.nextTask();
    await warmUpWebGL();
    const settings = { alpha: false, depth: true, stencil: false, antialias: false };
    let context = null;
    try {
      context = canvas.getContext('webgl', settings) ||
        canvas.getContext('experimental-webgl', settings);
    } catch (error) {
      return null;
    }
    if (!context) return null;
    const extensions = (context.getSupportedExtensions() || [])
      .filter((name) => !name.includes('lose_context') && !name.includes('debug'));
    for (let at = 0; at < extensions.length; at += 4) {
      await siteFiles.nextTask();
      for (const name of extensions.slice(at, at + 4)) context.getExtension(name);
    }
    return context;
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

  // The page's other scripts, which travel compressed as the program does, in the order they run.
  const PAGE_SCRIPTS = ['input.js', 'keyboard.js', 'announce.js', 'settings.js'];

  async function start() {
    // The downloads begin at once; each failure is taken up below, in order.
    const files = Promise.all([
      siteFiles.program('creatures.wasm.gz'), siteFiles.expanded('creatures.data.gz'),
      siteFiles.expanded('title.raw.gz'), siteFiles.expanded('creatures.js.gz'),
      ...PAGE_SCRIPTS.map((name) => siteFiles.expanded(`${name}.gz`))]);
    files.catch(() => {});
    const context = await programContext();
    if (!context) {
      stop('This page needs WebGL, which this browser does not offer or has turned off. ' +
           'Another browser, or this one with hardware acceleration turned on, can show it.');
      return;
    }
    let program;
    let data;
    let title;
    let code;
    let scripts;
    try {
      [program, data, title, code, ...scripts] = await files;
      // The input translations come before the program, whose GLUT must find them in place.
      for (const [i, name] of PAGE_SCRIPTS.entries()) {
        await siteFiles.script(`${name}.gz`, scripts[i]);
      }
    } catch (error) {
      if (error instanceof DownloadError) cannotLoad(error.file, error.why);
      else stop(`The page could not start the program (${error}). Reloading the page may help.`);
      return;
    }
    if (ended) return;

    window.Module = {
      canvas: canvas,
      preinitializedWebGLContext: context,
      stdout: writeByte,
      stderr: writeByte,
      // The runtime's own notices (the emulation's warnings) are kept here, off the console.
      printErr: (text) => { window.runtimeNotices.push(text); },
      // The program starts in a task of its own, not in the one that runs its script.
      instantiateWasm: (imports, receive) => {
        WebAssembly.instantiate(program, imports).then(
          (instance) => setTimeout(() => receive(instance, program)),
          (error) => stop(`The program could not start (${error}). Reloading the page may help.`));
        return {};
      },
      // The packed start creatures, downloaded above. A package of another size is not the one
      // this program was built with: the program does not start on it.
      getPreloadedPackage: (name, size) => {
        if (data.byteLength !== size) {
          cannotLoad('creatures.data.gz',
            `it holds ${data.byteLength} bytes where this page expects ${size}`);
          Module.addRunDependency('a start creatures package of the right size');
        }
        return data.buffer;
      },
      preRun: [function () {
        Module.FS.mkdir('/image_data');
        Module.FS.writeFile('/image_data/title.raw', title);
        started = true;
      }],
      // The program takes input now (the rest of the page learns it from a 'programstarted'
      // event on the window); its first display pass runs in the animation frame it has asked
      // for, before the one asked for here (after its task).
      programStarted: function () {
        if (ended) return;
        say('Running.', false);
        window.dispatchEvent(new Event('programstarted'));
        setTimeout(() => requestAnimationFrame(() => { window.firstFrameTime = performance.now(); }));
        // The service worker keeps the site for the next visit, with or without the network
        // (where the browser offers one: not on a page opened from a file, say).
        if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
      },
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
      await siteFiles.script('creatures.js.gz', code);
    } catch (error) {
      cannotLoad(error.file, error.why);
    }
  }

  window.runtimeNotices = [];
  // What the rest of the page asks: whether the program takes input now.
  window.programRunning = () => started && !ended;
  // Everything begins once the browser has painted the page's text: the first paint waits
  // neither for the downloads nor for the renderer that the WebGL context keeps busy. (Where the
  // browser does not report its paints, two frames on.)
  let begun = false;
  const begin = () => {
    if (begun) return;
    begun = true;
    setTimeout(start);
  };
  if (window.PerformanceObserver && PerformanceObserver.supportedEntryTypes &&
      PerformanceObserver.supportedEntryTypes.includes('paint')) {
    new PerformanceObserver((list, observer) => {
      if (list.getEntriesByName('first-contentful-paint').length === 0) return;
      observer.disconnect();
      begin();
    }).observe({ type: 'paint', buffered: true });
  } else {
    requestAnimationFrame(() => requestAnimationFrame(begin));
  }
})();
