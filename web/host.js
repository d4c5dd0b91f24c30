// The program's host: downloads the program and its files, makes its WebGL context, starts it and
// runs it, in a worker (web/worker.js) or, where a worker cannot draw, in the page. It is the one
// module that touches the program's Module. It speaks with the page (web/program.js) only in
// messages, the same in both places:
//
//   from the page   { start: { canvas, paused, startFiles } }  the canvas (an OffscreenCanvas in
//                                                    a worker), the motion, the start creatures
//                                                    that stand in for the shipped ones
//                   { input: [name, ...arguments], sequence }   one of the program's input
//                                                    functions (web/glut.h), numbered
//                   { motion: running }, { stop: true }
//                   { request: { id, name, argument } }         a question for the web shell
//   to the page     { output: text }                 what the program printed, in order
//                   { marks }, { breeding }          what the shell tells (web/creature_marks.cpp,
//                                                    web/program_events.h)
//                   { handled: sequence }            every input up to that one is handled
//                   { frame: sequence }              a frame shown, after the inputs up to that one
//                   { started: true }, { ended: { status, escape } }  escape: the end came
//                                                    from the Escape key
//                   { failed: { file, why } | { message } | { noWebGL } | { lost } }
//                                                    the program cannot run (on)
//                   { answer: { id, value } }, { notice: text }
import { DownloadError, expanded, nextTask, program as compiled } from './files.js';

// What the program's window takes: WebGL 1 with a depth buffer, and no alpha, stencil or
// antialiasing, as the desktop's GLUT window has.
const CONTEXT = { alpha: false, depth: true, stencil: false, antialias: false };
const START_FILES = ['bird1.obj', 'squant1.obj', 'rabbit.obj'];
const ESCAPE = 27;
const INPUTS = {
  button: '_pointerButton', move: '_pointerMoved', key: '_keyPressed', keyUp: '_keyReleased',
};

// The program's script (its text), run: a worker's script, or a script element of the page.
// Returns the function it defines, which makes an instance of the program.
async function programScript(code) {
  const url = URL.createObjectURL(new Blob([code], { type: 'text/javascript' }));
  try {
    if (typeof importScripts === 'function') {
      importScripts(url);
    } else {
      await new Promise((resolve, reject) => {
        const script = document.createElement('script');
        script.src = url;
        script.onload = resolve;
        script.onerror = () => reject(new DownloadError('creatures.js.gz', 'it did not run'));
        document.head.appendChild(script);
      });
    }
  } finally {
    URL.revokeObjectURL(url);
  }
  return globalThis.createCreatures;
}

// The program's files, downloading from the first call on: a worker that can draw begins them as
// it starts, before the page has heard that it can.
let downloads = null;
export function startDownloads() {
  if (!downloads) {
    downloads = Promise.all([compiled('creatures.wasm.gz'), expanded('creatures.data.gz'),
      expanded('title.raw.gz'), expanded('creatures.js.gz')]);
    downloads.catch(() => {});
  }
  return downloads;
}

// Runs a host that posts its messages with post; returns the function that takes the page's.
export function host(post) {
  let Module = null;
  let context = null;   // the program's WebGL context, once made
  let ended = false;
  let memory = null;    // the program's memory
  let taking = false;  // the program takes input
  let handled = 0;     // the last input message handled

  // ---- Output ---------------------------------------------------------------------------------

  // The program writes a byte at a time; the bytes of a task go to the page at once, as text,
  // before anything else the host tells in that task.
  const decoder = new TextDecoder();
  let pending = new Uint8Array(256);
  let length = 0;
  let quiet = false;  // the program's output is dropped (while start files are checked)
  function writeByte(byte) {
    if (byte === null || quiet) return;
    if (length === pending.length) {
      const larger = new Uint8Array(2 * length);
      larger.set(pending);
      pending = larger;
    }
    if (length === 0) queueMicrotask(flush);
    pending[length++] = byte;
  }
  function flush() {
    if (length === 0) return;
    const text = decoder.decode(pending.subarray(0, length), { stream: true });
    length = 0;
    if (text.length > 0) post({ output: text });
  }
  function tell(message) {
    flush();
    post(message);
  }

  // The program cannot go on: said once, and nothing reaches it from then on.
  function fail(failure) {
    if (ended) return;
    ended = true;
    tell({ failed: failure });
    stop();
    // A program that never started gives its context back: left to the page's closing, the
    // context of a transferred canvas that never showed a frame can keep WebKit from making the
    // next one.
    if (!taking) context?.getExtension('WEBGL_lose_context')?.loseContext();
  }
  function stop() {
    ended = true;
    try {
      if (Module) Module._stopFrameLoop();
    } catch {
      // The program's runtime is gone already.
    }
  }
  const failure = (error) => (error instanceof DownloadError
    ? { file: error.file, why: error.why } : { message: String(error) });

  // Calls one of the program's functions. exit() in the program throws its ExitStatus through
  // here once the end has been told (onProgramEnd); anything else is an error it cannot go on from.
  let escaping = false;  // the Escape key is being passed to the program
  function run(name, ...values) {
    if (ended) return;
    escaping = name === INPUTS.key && values[0] === ESCAPE;
    try {
      Module[name](...values);
    } catch (error) {
      if (error && error.name === 'ExitStatus') return;
      fail({ message: `The program has stopped with an error (${error})` });
    } finally {
      escaping = false;
    }
  }

  // ---- Start ----------------------------------------------------------------------------------

  // The program's context on canvas, or null where the browser offers none. The GL layer enables
  // every extension the context offers but the debugging ones as the program starts, each a wait
  // for the renderer; they are enabled here beforehand, a few a task.
  async function makeContext(canvas) {
    let context = null;
    try {
      context = canvas.getContext('webgl', CONTEXT) ||
        canvas.getContext('experimental-webgl', CONTEXT);
    } catch {
      return null;
    }
    if (!context) return null;
    const extensions = (context.getSupportedExtensions() || [])
      .filter((name) => !name.includes('lose_context') && !name.includes('debug'));
    for (let at = 0; at < extensions.length; at += 4) {
      await nextTask();
      for (const name of extensions.slice(at, at + 4)) context.getExtension(name);
    }
    return context;
  }

  async function start({ canvas, paused, startFiles }) {
    // The downloads are under way; each failure is taken up below, in order.
    const files = startDownloads();
    canvas.addEventListener('webglcontextlost', () => fail({ lost: true }));
    context = await makeContext(canvas);
    if (!context) {
      fail({ noWebGL: true });
      return;
    }
    let program, data, title, code, create;
    try {
      [program, data, title, code] = await files;
      create = await programScript(code);
    } catch (error) {
      fail(error instanceof DownloadError ? failure(error)
        : { message: `The page could not start the program (${error})` });
      return;
    }
    if (ended) return;

    Module = {
      canvas,
      preinitializedWebGLContext: context,
      // Nothing is fetched by the program: its files come from here (below).
      locateFile: (path) => path,
      stdout: writeByte,
      stderr: writeByte,
      // The runtime's own notices (the emulation's warnings) go to the page's list, off the panel.
      printErr: (text) => tell({ notice: text }),
      // The program starts in a task of its own, not in the one that runs its script.
      instantiateWasm: (imports, receive) => {
        WebAssembly.instantiate(program, imports).then(
          (instance) => {
            memory = instance.exports.memory;
            setTimeout(() => receive(instance, program));
          },
          (error) => fail({ message: `The program could not start (${error})` }));
        return {};
      },
      // The packed start creatures, downloaded above. A package of another size is not the one
      // this program was built with: the program does not start on it.
      getPreloadedPackage: (name, size) => {
        if (data.byteLength !== size) {
          fail({ file: 'creatures.data.gz',
            why: `it holds ${data.byteLength} bytes where this page expects ${size}` });
          Module.addRunDependency('a start creatures package of the right size');
        }
        return data.buffer;
      },
      preRun: [() => {
        Module.FS.mkdir('/image_data');
        Module.FS.writeFile('/image_data/title.raw', title);
      }],
      // The start creatures the page was given stand in for the shipped ones, once checked; the
      // shipped ones are kept aside for later checks. Then the program starts.
      noInitialRun: true,
      onRuntimeInitialized: () => {
        Module.FS.mkdir('/shipped');
        for (const file of START_FILES) {
          Module.FS.writeFile(`/shipped/${file}`, Module.FS.readFile(`/model_data/${file}`));
        }
        if (startFiles) {
          const verdict = checkStartFiles(startFiles);
          if (verdict === '') {
            startFiles.forEach((file, i) => {
              if (file) Module.FS.writeFile(`/model_data/${START_FILES[i]}`, file.bytes);
            });
          } else {
            tell({ startFilesRefused: verdict });
          }
        }
        Module.callMain([]);
      },
      onProgramStarted: () => {
        taking = true;
        if (paused) Module._setMotion(0);
        tell({ started: true });
      },
      onCreatureMarks: (marks) => tell({ marks }),
      onBreeding: (breeding) => tell({ breeding }),
      onFrameShown: () => {
        for (const capture of pictures.splice(0)) capture(canvas);
        tell({ frame: handled });
      },
      onProgramEnd: (status) => {
        ended = true;
        tell({ ended: { status, escape: escaping } });
      },
      onAbort: (what) => fail({ message: `The program has stopped with an error (${what})` }),
    };
    create(Module).catch((error) => fail({ message: `The program could not start (${error})` }));
  }

  // ---- Questions from the page ---------------------------------------------------------------

  // Each answers with a value that can travel in a message, or null when the program cannot
  // answer (it has not started, or has ended).
  const REQUESTS = {
    // The program's memory in bytes.
    memory: () => (memory ? memory.buffer.byteLength : null),
    // Creature id's file of kind (web/keeping.cpp), named name: its bytes, or null.
    creatureFile: ({ id, kind, name }) => {
      const path = `/${name.replace(/[/\n]/g, '_')}`;
      if (!Module.ccall('saveCreatureFile', 'number', ['number', 'number', 'string'],
        [id, kind, path])) {
        return null;
      }
      const bytes = Module.FS.readFile(path);
      Module.FS.unlink(path);
      return bytes;
    },
    // The verdict on start files ('' when the program can start from them).
    checkStartFiles: (files) => checkStartFiles(files),
    // The next frame as the program draws it, as a PNG.
    picture: () => new Promise((resolve) => {
      pictures.push((canvas) => (canvas.convertToBlob
        ? canvas.convertToBlob({ type: 'image/png' }).then(resolve, () => resolve(null))
        : canvas.toBlob(resolve, 'image/png')));
      Module._requestFrame();
    }),
  };
  const pictures = [];  // captures waiting for the next frame

  // Checks start files, three entries { name, bytes } or null (the shipped one), with the
  // program's reader (web/start_files.h), its output left out: the verdict, '' when good.
  function checkStartFiles(files) {
    const made = [];  // [folder, path] of each file written
    const paths = files.map((file, i) => {
      if (!file) return `/shipped/${START_FILES[i]}`;
      const folder = `/check${i}`;
      const path = `${folder}/${file.name.replace(/[/\n]/g, '_')}`;
      Module.FS.mkdir(folder);
      Module.FS.writeFile(path, file.bytes);
      made.push([folder, path]);
      return path;
    });
    quiet = true;
    try {
      return Module.ccall('checkGivenStartFiles', 'string', ['string'], [paths.join('\n')]);
    } finally {
      quiet = false;
      for (const [folder, path] of made) {
        Module.FS.unlink(path);
        Module.FS.rmdir(folder);
      }
    }
  }

  // ---- Messages from the page -----------------------------------------------------------------

  // Input reaches the program once it takes input (the page sends none before), and never after
  // its end; every input message is answered, handled or not.
  function receive(message) {
    if (message.start) {
      start(message.start).catch((error) => fail(failure(error)));
    } else if (message.stop) {
      stop();
    } else if (message.input) {
      const [name, ...values] = message.input;
      if (taking && INPUTS[name]) run(INPUTS[name], ...values);
      handled = message.sequence;
      tell({ handled });
    } else if ('motion' in message && taking) {
      run('_setMotion', message.motion ? 1 : 0);
    } else if (message.request) {
      const { id, name, argument } = message.request;
      Promise.resolve().then(() => (REQUESTS[name] && (taking || name === 'memory') && !ended
        ? REQUESTS[name](argument) : null))
        .catch(() => null)
        .then((value) => tell({ answer: { id, value } }));
    }
  }
  return receive;
}
