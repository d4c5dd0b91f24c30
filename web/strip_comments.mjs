// Writes a script of the page for the site as it is in the repository but for its lines that are
// only a comment and the indentation of the others: node strip_comments.mjs SOURCE... FOLDER.
// (The page's scripts have no string or template that spans lines, which this would change.)
import { readFileSync, writeFileSync } from 'node:fs';
import { basename, join } from 'node:path';

const [folder] = process.argv.slice(-1);
for (const source of process.argv.slice(2, -1)) {
  const lines = readFileSync(source, 'utf8').split('\n')
    .filter((line) => !/^\s*\/\//.test(line))
    .map((line) => line.trimStart());
  writeFileSync(join(folder, basename(source)), lines.join('\n'));
}
