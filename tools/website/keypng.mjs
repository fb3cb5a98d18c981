// A build step of the page: one of the window's PNG pictures as an RGBA PNG
// whose key colour is transparent, so the browser shows it as the window
// does without any script. Runs on the node that emscripten brings along.
//
//   node keypng.mjs IN.png KEY OUT.png     KEY: RRGGBB, or - for none
import { readFileSync } from 'node:fs';
import { inflateSync, deflateSync } from 'node:zlib';
import { resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { writeWhole } from './output.mjs';

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
function crc32(bytes) {
  let c = 0xffffffff;
  for (const b of bytes) c = CRC_TABLE[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function paeth(a, b, c) {
  const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// 8-bit RGB or RGBA, not interlaced: the formats of the window's pictures.
export function decodePng(file) {
  if (file.readUInt32BE(0) !== 0x89504e47) throw new Error('not a PNG file');
  let pos = 8, width = 0, height = 0, type = 0;
  const idat = [];
  while (pos < file.length) {
    const len = file.readUInt32BE(pos), name = file.toString('latin1', pos + 4, pos + 8);
    const data = file.subarray(pos + 8, pos + 8 + len);
    if (name === 'IHDR') {
      width = data.readUInt32BE(0);
      height = data.readUInt32BE(4);
      type = data[9];
      if (data[8] !== 8 || (type !== 2 && type !== 6) || data[12] !== 0)
        throw new Error('only 8-bit RGB or RGBA, not interlaced');
    } else if (name === 'IDAT') {
      idat.push(data);
    }
    pos += 12 + len;
  }
  const bpp = type === 6 ? 4 : 3, stride = width * bpp;
  const raw = inflateSync(Buffer.concat(idat));
  const px = Buffer.alloc(width * height * 4);
  let prev = Buffer.alloc(stride);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    const line = Buffer.from(raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1)));
    for (let i = 0; i < stride; i++) {
      const a = i >= bpp ? line[i - bpp] : 0, b = prev[i], c = i >= bpp ? prev[i - bpp] : 0;
      const add = [0, a, b, (a + b) >> 1, paeth(a, b, c)][filter];
      if (add === undefined) throw new Error(`bad filter ${filter} in row ${y}`);
      line[i] = (line[i] + add) & 0xff;
    }
    for (let x = 0; x < width; x++) {
      const o = (y * width + x) * 4;
      px[o] = line[x * bpp];
      px[o + 1] = line[x * bpp + 1];
      px[o + 2] = line[x * bpp + 2];
      px[o + 3] = bpp === 4 ? line[x * bpp + 3] : 255;
    }
    prev = line;
  }
  return { width, height, px };
}

function chunk(name, data) {
  const head = Buffer.alloc(8);
  head.writeUInt32BE(data.length, 0);
  head.write(name, 4, 'latin1');
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), data])), 0);
  return Buffer.concat([head, data, crc]);
}

// Each row with the filter whose bytes sum smallest, the usual heuristic.
export function encodePng({ width, height, px }) {
  const stride = width * 4, rows = [];
  for (let y = 0; y < height; y++) {
    const line = px.subarray(y * stride, (y + 1) * stride);
    const prev = y ? px.subarray((y - 1) * stride, y * stride) : Buffer.alloc(stride);
    let best = null, bestSum = Infinity;
    for (let f = 0; f < 5; f++) {
      const out = Buffer.alloc(stride + 1);
      out[0] = f;
      let sum = 0;
      for (let i = 0; i < stride; i++) {
        const a = i >= 4 ? line[i - 4] : 0, b = prev[i], c = i >= 4 ? prev[i - 4] : 0;
        const v = (line[i] - [0, a, b, (a + b) >> 1, paeth(a, b, c)][f]) & 0xff;
        out[i + 1] = v;
        sum += v < 128 ? v : 256 - v;
      }
      if (sum < bestSum) (best = out), (bestSum = sum);
    }
    rows.push(best);
  }
  const ihdr = Buffer.alloc(13);
  ihdr.writeUInt32BE(width, 0);
  ihdr.writeUInt32BE(height, 4);
  ihdr.set([8, 6, 0, 0, 0], 8);
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', ihdr),
    chunk('IDAT', deflateSync(Buffer.concat(rows), { level: 9 })),
    chunk('IEND', Buffer.alloc(0)),
  ]);
}

export function keyOut(image, key) {
  const r = (key >> 16) & 0xff, g = (key >> 8) & 0xff, b = key & 0xff;
  const { px } = image;
  for (let o = 0; o < px.length; o += 4)
    if (px[o] === r && px[o + 1] === g && px[o + 2] === b) px.fill(0, o, o + 4);
  return image;
}

if (process.argv[1] && fileURLToPath(import.meta.url) === resolve(process.argv[1])) {
  const [input, key, output] = process.argv.slice(2);
  if (!output) {
    console.error('usage: node keypng.mjs IN.png KEY OUT.png');
    process.exit(2);
  }
  try {
    const image = decodePng(readFileSync(input));
    if (key !== '-') keyOut(image, parseInt(key, 16));
    writeWhole(output, encodePng(image));
  } catch (e) {
    console.error(`keypng: ${input}: ${e.message}`);
    process.exit(1);
  }
}
