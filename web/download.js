// The site's files as the page fetches them, each failure named: the file and what went wrong
// with it (an error answer, a connection cut, something else in its place). The program, its
// JavaScript, its start creatures, the title picture and the page's scripts but this one and
// page.js travel gzip-compressed, so that a server that compresses nothing sends them small, and
// are expanded here by the browser's DecompressionStream, chunk by chunk between other tasks.
'use strict';

window.siteFiles = (function () {
  class DownloadError extends Error {
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
    } catch (error) {
      throw new DownloadError(name, 'the network did not answer');
    }
    if (!answer.ok) {
      throw new DownloadError(name,
        `the server answered ${answer.status} ${answer.statusText}`.trim());
    }
    return answer;
  }

  // A file, whole, as bytes.
  async function bytes(name) {
    const answer = await response(name);
    try {
      return new Uint8Array(await answer.arrayBuffer());
    } catch (error) {
      throw new DownloadError(name, 'the download broke off');
    }
  }

  // The next task: what a page's thread does in between (paint, answer input) comes first.
  const nextTask = () => new Promise((resolve) => setTimeout(resolve));

  // A gzip file, expanded. The compressed bytes go to the decompressor a piece at a time, one
  // piece a task, so that no task expands much (the title picture expands 20 times); the
  // expanded stream is read chunk by chunk, so that a damaged file is one rejected read or write
  // here (a whole-body read would also leave the browser's own report of it).
  const PIECE = 16384;
  async function expanded(name) {
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
    } catch (error) {
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

  // The program, expanded and compiled (the browser compiles it away from the page's thread).
  async function program(name) {
    const code = await expanded(name);
    try {
      return await WebAssembly.compile(code);
    } catch (error) {
      throw new DownloadError(name, 'what arrived is not a WebAssembly program');
    }
  }

  // Runs a script of the site: from its file, or from the given text under its name.
  function script(name, text) {
    return new Promise((resolve, reject) => {
      const element = document.createElement('script');
      const source = text ? URL.createObjectURL(new Blob([text], { type: 'text/javascript' }))
        : name;
      element.src = source;
      element.onload = () => {
        if (text) URL.revokeObjectURL(source);
        resolve();
      };
      element.onerror = () => reject(new DownloadError(name, 'it did not arrive'));
      document.body.appendChild(element);
    });
  }

  return { DownloadError, bytes, expanded, program, script, nextTask };
})();
