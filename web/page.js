// The page around the program: standard output shown in the text panel byte by byte (and copied
// to the console line by line), the title picture fetched compressed and expanded into the
// program's file system before it starts, no context menu over the canvas, and a line that says
// when the program has ended.
'use strict';

(function () {
  const canvas = document.getElementById('canvas');
  const output = document.getElementById('output');
  const status = document.getElementById('status');

  let ended = false;
  let consoleLine = '';
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
      for (const line of consoleLine.slice(0, end).split('\n')) console.log(line);
      consoleLine = consoleLine.slice(end + 1);
    }
  }
  function writeByte(byte) {
    if (byte === null) return;
    showText(decoder.decode(Uint8Array.of(byte), { stream: true }));
  }
  function flushConsole() {
    showText(decoder.decode());
    if (consoleLine.length > 0) console.log(consoleLine);
    consoleLine = '';
  }

  function end(message) {
    ended = true;
    flushConsole();
    status.textContent = message;
  }

  // Once the program has ended nothing reaches its handlers. Registered before the program's
  // own handlers on the same target and phase, so these run first.
  for (const type of ['keydown', 'keyup', 'mousemove', 'mousedown', 'mouseup', 'mousewheel',
                      'DOMMouseScroll']) {
    window.addEventListener(type, (event) => {
      if (ended) event.stopImmediatePropagation();
    }, true);
  }
  window.addEventListener('error', (event) => {
    if (event.error && event.error.name === 'ExitStatus') event.preventDefault();
  });
  // The right button picks, as on the desktop.
  canvas.addEventListener('contextmenu', (event) => event.preventDefault());

  async function fetchTitle() {
    const response = await fetch('title.raw.gz');
    if (!response.ok) throw new Error('title.raw.gz: ' + response.status);
    const expanded = response.body.pipeThrough(new DecompressionStream('gzip'));
    return new Uint8Array(await new Response(expanded).arrayBuffer());
  }

  window.Module = {
    canvas: canvas,
    stdout: writeByte,
    stderr: writeByte,
    preRun: [function () {
      Module.addRunDependency('title picture');
      fetchTitle().then((bytes) => {
        Module.FS.mkdir('/image_data');
        Module.FS.writeFile('/image_data/title.raw', bytes);
      }).catch((error) => {
        // The program then reports the missing picture itself and ends.
        console.error('The title picture could not be loaded: ' + error);
      }).finally(() => Module.removeRunDependency('title picture'));
    }],
    postRun: [function () {
      status.textContent = 'Running.';
      // The first display pass runs in the animation frame the program asked for at start.
      requestAnimationFrame(() => { window.firstFrameTime = performance.now(); });
    }],
    // exit() from the program, whether or not the runtime is kept alive (GLUT's idle handler
    // keeps it). The exception unwinds the program's stack; the window's error handler below
    // keeps it off the console.
    quit: function (code, exception) {
      if (!ended) {
        end('The program has ended (exit status ' + code + ').');
        if (Module._stopFrameLoop) Module._stopFrameLoop();
      }
      throw exception;
    },
    onAbort: function (what) {
      end('The program has stopped with an error: ' + what);
    },
  };
})();
