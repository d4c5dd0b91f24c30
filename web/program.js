// The program as the page sees it: the one connection to its host (web/host.js), which runs it in
// a worker that draws on the canvas (transferred to it as an OffscreenCanvas) or, where the
// browser's workers cannot draw, in the page itself. The rest of the page sends the program its
// input here, and hears from here what it printed and what it shows:
//
//   events   'output' (detail: text), 'started', 'marks', 'breeding' (detail: { creature,
//            partner, newChildren }), 'frame', 'ended' (detail: { status, escape }), 'failed' (detail:
//            { file, why } | { message } | { noWebGL } | { lost }), 'startfilesrefused'
//            (detail: why the start creatures given could not be used)
//   input    button(button, state, x, y), move(x, y), key(code), keyUp(code), in window pixels
//            (y downwards) as GLUT counts them; sent only while the program runs
//   state    running(), marks (the creatures as last told, see web/creature_marks.cpp: null
//            until the program has started), settled() and drawn() (below)
const canvas = document.getElementById('canvas');

class Program extends EventTarget {
  #send = null;
  #started = false;
  #ended = false;
  #sent = 0;       // input messages sent
  #handled = 0;    // input messages the host has handled
  #shown = -1;     // the inputs handled before the last frame shown (-1: no frame yet)
  #waits = [];     // [test, resolve] until test() holds
  #asked = 0;      // requests sent
  #answers = new Map();  // request id -> its resolve
  marks = null;
  inWorker = false;

  running() {
    return this.#started && !this.#ended;
  }

  button(button, state, x, y) {
    this.#input('button', button, state, x, y);
  }
  move(x, y) {
    this.#input('move', x, y);
  }
  key(code) {
    this.#input('key', code);
  }
  keyUp(code) {
    this.#input('keyUp', code);
  }
  setMotion(running) {
    if (this.running()) this.#send({ motion: running });
  }
  // Asks the program's web shell a question by name (web/host.js); resolves with its answer, null
  // when the program does not run.
  request(name, argument) {
    if (!this.#send) return Promise.resolve(null);
    const id = ++this.#asked;
    return new Promise((resolve) => {
      this.#answers.set(id, resolve);
      this.#send({ request: { id, name, argument } });
    });
  }
  stop() {
    if (this.#send && !this.#ended) this.#send({ stop: true });
    this.#end();
  }

  // Resolves once every input sent so far has been handled (and this.marks says what it changed).
  settled() {
    const sent = this.#sent;
    return this.#until(() => this.#handled >= sent || !this.running());
  }
  // Resolves once a frame showing every input sent so far has been drawn.
  drawn() {
    const sent = this.#sent;
    return this.#until(() => this.#shown >= sent || !this.running());
  }

  #input(name, ...values) {
    if (!this.running()) return;
    this.#send({ input: [name, ...values.map(Math.trunc)], sequence: ++this.#sent });
  }

  #until(test) {
    return test() ? Promise.resolve() : new Promise((resolve) => this.#waits.push([test, resolve]));
  }
  #check() {
    const still = [];
    for (const [test, resolve] of this.#waits) {
      if (test()) resolve();
      else still.push([test, resolve]);
    }
    this.#waits = still;
  }
  #end() {
    this.#ended = true;
    this.#check();
  }
  #tell(type, detail) {
    this.dispatchEvent(new CustomEvent(type, { detail }));
  }

  // A message from the host.
  #receive(message) {
    if ('output' in message) {
      this.#tell('output', message.output);
    } else if (message.marks) {
      this.marks = message.marks;
      this.#tell('marks', message.marks);
    } else if ('handled' in message) {
      this.#handled = message.handled;
    } else if ('frame' in message) {
      this.#shown = message.frame;
      this.#tell('frame');
    } else if (message.breeding) {
      this.#tell('breeding', message.breeding);
    } else if ('startFilesRefused' in message) {
      this.#tell('startfilesrefused', message.startFilesRefused);
    } else if (message.started) {
      this.#started = true;
      this.#tell('started');
    } else if ('ended' in message) {
      this.#end();
      this.#tell('ended', message.ended);
    } else if (message.failed) {
      if (this.#ended) return;
      this.#end();
      this.#tell('failed', message.failed);
    } else if (message.answer) {
      const resolve = this.#answers.get(message.answer.id);
      this.#answers.delete(message.answer.id);
      if (resolve) resolve(message.answer.value);
    } else if ('notice' in message) {
      this.#tell('notice', message.notice);
    }
    this.#check();
  }

  // Starts the program on the page's canvas: in a worker where one can draw, else in the page.
  async start({ paused, startFiles = null }) {
    const settings = { paused, startFiles };
    const worker = await workerReady;
    if (worker) {
      this.inWorker = true;
      const offscreen = canvas.transferControlToOffscreen();
      worker.addEventListener('message', (event) => this.#receive(event.data));
      worker.addEventListener('error', (event) => {
        event.preventDefault();
        this.#receive({ failed: { message: `The program has stopped with an error (${event.message})` } });
      });
      this.#send = (message) => worker.postMessage(message);
      worker.postMessage({ start: { ...settings, canvas: offscreen } }, [offscreen]);
    } else {
      const { host } = await import('./host.js');
      // The host's messages come as they would from a worker: each in order, none inside the call
      // that caused it, so the page sees the same order of events either way.
      const receive = host((message) => queueMicrotask(() => this.#receive(message)));
      this.#send = receive;
      receive({ start: { ...settings, canvas } });
    }
  }
}

// A worker running the program's host, once it has said that it can draw; null where workers
// cannot draw (no OffscreenCanvas or no WebGL on one in a worker), or cannot be made.
function drawingWorker() {
  if (typeof canvas.transferControlToOffscreen !== 'function') return Promise.resolve(null);
  return new Promise((resolve) => {
    let worker;
    try {
      worker = new Worker(new URL('./worker.js', import.meta.url));
    } catch {
      resolve(null);
      return;
    }
    const answered = (event) => {
      worker.removeEventListener('message', answered);
      worker.removeEventListener('error', refused);
      if (event.data.canDraw) {
        resolve(worker);
      } else {
        worker.terminate();
        resolve(null);
      }
    };
    const refused = (event) => {
      event.preventDefault();
      worker.terminate();
      resolve(null);
    };
    worker.addEventListener('message', answered);
    worker.addEventListener('error', refused);
  });
}

// The worker starts with the page's scripts, so that it is ready, its downloads under way, when
// the page has painted and starts the program.
const workerReady = drawingWorker();

export const program = new Program();
