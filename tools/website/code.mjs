// A build step of the page: orb720.js, the code first.js runs once the first
// frame is drawn, with the pictures that frame does without as data: addresses
// ahead of it (window.orb720Pictures, by file name).
//
//   node code.mjs PICTURES_DIR NAME.png[,NAME.png...] OUT.js FILE...
import { readFileSync } from 'node:fs';
import { basename } from 'node:path';
import { pngDataUrl, writeWhole } from './output.mjs';

const [pictures, names, output, ...files] = process.argv.slice(2);
if (!files.length) {
  console.error('usage: node code.mjs PICTURES_DIR NAME.png[,NAME.png...] OUT.js FILE...');
  process.exit(2);
}
const table = Object.fromEntries(names.split(',').map((n) => [basename(n), pngDataUrl(pictures, basename(n))]));
const code = [`window.orb720Pictures = ${JSON.stringify(table)};`, ...files.map((f) => readFileSync(f, 'utf8'))].join('\n');
writeWhole(output, code);
