// A static server of one folder on 127.0.0.1, on any free port, for the
// browser tests and the page's benchmark. `extra` maps a path to a page served
// as is; `wasmType` is what a .wasm file is sent as (a server may not know it).
import { createServer } from 'node:http';
import { readFileSync, statSync } from 'node:fs';
import { extname, resolve, sep } from 'node:path';

export async function serveFolder(folder, { extra = {}, wasmType = 'application/wasm' } = {}) {
  const root = resolve(folder);
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.png': 'image/png', '.wasm': wasmType };
  const served = [];
  const server = createServer((req, res) => {
    const path = decodeURIComponent(new URL(req.url, 'http://127.0.0.1').pathname);
    served.push(path);
    if (path in extra) return res.writeHead(200, { 'Content-Type': 'text/html' }).end(extra[path]);
    const file = resolve(root, `.${path === '/' ? '/index.html' : path}`);
    try {
      if (!file.startsWith(root + sep) || !statSync(file).isFile()) throw new Error();
      res.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream', 'Cache-Control': 'no-store' });
      res.end(readFileSync(file));
    } catch {
      res.writeHead(404).end();
    }
  });
  await new Promise((r) => server.listen(0, '127.0.0.1', r));
  return { origin: `http://127.0.0.1:${server.address().port}`, served, close: () => server.close() };
}
