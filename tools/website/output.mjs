// What the site's build steps share.
import { readFileSync, writeFileSync, renameSync } from 'node:fs';
import { join } from 'node:path';

// Written beside and renamed into place: an interrupted build never leaves
// half a file that looks up to date.
export function writeWhole(path, data) {
  writeFileSync(`${path}.tmp`, data);
  renameSync(`${path}.tmp`, path);
}

// A picture of the build's pictures folder as a data: address.
export function pngDataUrl(folder, name) {
  return `data:image/png;base64,${readFileSync(join(folder, name)).toString('base64')}`;
}
