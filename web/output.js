// The text panel: what the program prints, shown as it comes, as in a terminal, and copied to the
// browser's console line by line. The program's last line is kept for the status line's report of
// how it ended.
import { program } from './program.js';

const panel = document.getElementById('output');

// The panel shows the text the program writes at the next frame, all that came since the last
// one appended at once, so text without a line end ("Starting Subdivision...") is seen as soon
// as it is written. The text goes into blocks of some hundred lines each: a frame's layout and
// appending touch only the last block, so a line costs the same however much the panel holds.
const LINES_PER_BLOCK = 200;
let panelText = '';
let panelFrame = 0;
let block = null;
let blockLines = 0;
let consoleLine = '';
let lastLine = '';

function showPanel() {
  if (panelFrame !== 0) cancelAnimationFrame(panelFrame);
  panelFrame = 0;
  if (panelText.length === 0) return;
  if (block === null || (blockLines >= LINES_PER_BLOCK && block.textContent.endsWith('\n'))) {
    block = document.createElement('span');
    block.className = 'lines';
    panel.appendChild(block);
    blockLines = 0;
  }
  block.appendChild(document.createTextNode(panelText));
  for (let at = panelText.indexOf('\n'); at >= 0; at = panelText.indexOf('\n', at + 1)) {
    ++blockLines;
  }
  panelText = '';
  panel.scrollTop = panel.scrollHeight;
}

program.addEventListener('output', ({ detail: text }) => {
  panelText += text;
  if (panelFrame === 0) panelFrame = requestAnimationFrame(showPanel);
  consoleLine += text;
  // Only new text can end a line: what came before was looked at when it came.
  if (!text.includes('\n')) return;
  const end = consoleLine.lastIndexOf('\n');
  for (const line of consoleLine.slice(0, end).split('\n')) {
    console.log(line);
    if (line.length > 0) lastLine = line;
  }
  consoleLine = consoleLine.slice(end + 1);
});

// Everything the program has printed, shown at once; its last line, a line without a line end
// included, or '' if it printed none.
export function flushPanel() {
  showPanel();
  if (consoleLine.length > 0) {
    console.log(consoleLine);
    lastLine = consoleLine;
    consoleLine = '';
  }
  return lastLine;
}
