// A build step of the page: the wasm as a script, for a page opened from disk
// (which may not fetch a .wasm file): one base64 string that the page decodes
// itself, so no fetch of a data: URL stands between the page and the compile.
//
//   node wasmjs.mjs IN.wasm OUT.js
import { readFileSync } from 'node:fs';
import { writeWhole } from './output.mjs';

const [input, output] = process.argv.slice(2);
if (!output) {
  console.error('usage: node wasmjs.mjs IN.wasm OUT.js');
  process.exit(2);
}
const wasm = readFileSync(input);
if (wasm.readUInt32LE(0) !== 0x6d736100) {
  console.error(`wasmjs: ${input}: not a wasm module`);
  process.exit(1);
}
writeWhole(output, `var ORB720_WASM="${wasm.toString('base64')}";\n`);
