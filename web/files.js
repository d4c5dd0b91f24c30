// The site's files as the program's host fetches them (web/host.js, in a worker or in the page),
// each failure named: the file and what went wrong with it (an error answer, a connection cut,
// something else in its place). The program, its JavaScript, its start creatures and the title
// picture travel gzip-compressed, so that a server that compresses nothing sends them small, and
// are expanded here by the browser's DecompressionStream, a piece at a time between other tasks.

export class DownloadError extends Error {
  constructor(name, why) {
    super(`${name}: ${why}`);
    this.file = name;
    this.why = why;
  }
}

async function response(name) {
  let answer;
  try {
    answer = await fetch(name);
  } catch {
    throw new DownloadError(name, 'the network did not answer');
  }
  if (!answer.ok) {
    throw new DownloadError(name, `the server answered ${answer.status} ${answer.statusText}`.trim());
  }
  return answer;
}

// A file, whole, as bytes.
export async function bytes(name) {
  const answer = await response(name);
  try {
    return new Uint8Array(await answer.arrayBuffer());
  } catch {
    throw new DownloadError(name, 'the download broke off');
  }
}

// The next task: what the thread does in between (paint, answer input) comes first.
export const nextTask = () => new Promise((resolve) => setTimeout(resolve));

// A gzip file, expanded. The compressed bytes go to the decompressor a piece at a time, one piece
// a task, so that no task expands much (the title picture expands 20 times); the expanded stream
// is read chunk by chunk, so that a damaged file is one rejected read or write here (a whole-body
// read would also leave the browser's own report of it).
const PIECE = 16384;
export async function expanded(name) {
  const compressed = await bytes(name);
  const notGzip = new DownloadError(name, 'what arrived is not a gzip file');
  if (compressed[0] !== 0x1f || compressed[1] !== 0x8b) throw notGzip;
  const chunks = [];
  let length = 0;
  try {
    const stream = new DecompressionStream('gzip');
    const writer = stream.writable.getWriter();
    const reader = stream.readable.getReader();
    const writing = (async () => {
      for (let at = 0; at < compressed.length; at += PIECE) {
        await writer.write(compressed.subarray(at, at + PIECE));
        await nextTask();
      }
      await writer.close();
    })();
    const reading = (async () => {
      for (;;) {
        const { done, value } = await reader.read();
        if (done) break;
        chunks.push(value);
        length += value.length;
      }
    })();
    await Promise.all([writing, reading]);
  } catch {
    throw notGzip;
  }
  const whole = new Uint8Array(length);
  let at = 0;
  for (const chunk of chunks) {
    whole.set(chunk, at);
    at += chunk.length;
  }
  return whole;
}

// The program, expanded and compiled (the browser compiles it away from the thread).
export async function program(name) {
  const code = await expanded(name);
  try {
    return await WebAssembly.compile(code);
  } catch {
    throw new DownloadError(name, 'what arrived is not a WebAssembly program');
  }
}
