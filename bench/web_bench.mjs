// Benchmarks of the page in headless chromium (not a test; see
// docs/benchmarks.md): code size, load to the first LCD frame beside a bare
// page with one canvas, key to frame, and script time while idle.
//
//   node bench/web_bench.mjs [SITE]      SITE: build/web/site by default
// needs the site (cmake --workflow --preset web) and tests/web/node_modules
// (scripts/install-deps.sh).
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { serveFolder } from '../tests/web/static_server.mjs';
import { gzipSync } from 'node:zlib';

const here = dirname(fileURLToPath(import.meta.url));
const require = createRequire(join(here, '../tests/web/package.json'));
const { default: puppeteer } = await import(require.resolve('puppeteer-core'));
const SITE = resolve(process.argv[2] || join(here, '../build/web/site'));
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const gz = (b) => gzipSync(b, { level: 9 }).length;
const kb = (n) => `${(n / 1024).toFixed(1)} KB`;
const median = (a) => [...a].sort((x, y) => x - y)[Math.floor(a.length / 2)];
const rank = (a, p) => [...a].sort((x, y) => x - y)[Math.min(a.length - 1, Math.ceil((p / 100) * a.length) - 1)];

// ---- code size ----
// index.html carries first.js inline; orb720.js is the pictures the first
// frame does without (its first line), page.js and emscripten's glue; the
// firmware is orb720.wasm, or orb720-wasm.js from disk.
const file = (f) => readFileSync(join(SITE, f));
const html = file('index.html').toString('utf8');
const firstJs = Buffer.from([...html.matchAll(/<script>\n([\s\S]*?)<\/script>/g)].map((m) => m[1]).join('\n'));
const code = file('orb720.js');
const codeJs = code.subarray(code.indexOf(10) + 1);
const wasm = file('orb720.wasm');
const pageJs = readFileSync(join(here, '../web/site/page.js'));
const sizes = {
  wasm: [wasm.length, gz(wasm)],
  'JS: emscripten glue': [codeJs.length - pageJs.length, gz(codeJs) - gz(pageJs)],
  'JS: first.js and page.js': [firstJs.length + pageJs.length, gz(firstJs) + gz(pageJs)],
};
const codeGz = gz(wasm) + gz(firstJs) + gz(codeJs);
const shipped = gz(file('index.html')) + gz(code) + gz(wasm);
const shippedDisk = gz(file('index.html')) + gz(code) + gz(file('orb720-wasm.js'));

// ---- a static server on the loopback address, with the bare page beside ----
// It puts its grey frame into the canvas as the page does, so that the same
// instrumentation times both.
const BARE = `<!DOCTYPE html><html><head><meta charset="utf-8"><title>bare</title></head><body>
<canvas id="lcd" width="128" height="160"></canvas><script>
const c = document.getElementById('lcd').getContext('2d');
const f = c.createImageData(128, 160);
new Uint32Array(f.data.buffer).fill(0xff4e4e4e);
c.putImageData(f, 0, 0);
</script></body></html>`;
const server = await serveFolder(SITE, { extra: { '/bare.html': BARE } });
const ORIGIN = server.origin;

const userData = mkdtempSync(join(tmpdir(), 'orb-web-bench-'));
const browser = await puppeteer.launch({
  browser: 'chrome',
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', `--user-data-dir=${userData}`, '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-gpu'],
});

async function openPage(url, instrument) {
  const page = await browser.newPage();
  await page.setCacheEnabled(false);
  await page.setViewport({ width: 900, height: 1000 });
  // The first frame's time, taken where either page puts it on the canvas.
  await page.evaluateOnNewDocument(() => {
    // The firmware running and taking keys: when the page sets ready.
    window.orb720TestHooks = Object.defineProperty({}, 'ready', {
      set(v) { window.readyAt = window.readyAt || performance.timeOrigin + performance.now(); },
      get() { return !!window.readyAt; },
    });
    // Also when the browser begins the rendering that shows that frame: the
    // animation frame callbacks come first in it.
    const put = CanvasRenderingContext2D.prototype.putImageData;
    CanvasRenderingContext2D.prototype.putImageData = function (...a) {
      put.apply(this, a);
      if (!window.firstFrameAt) {
        window.firstFrameAt = performance.timeOrigin + performance.now();
        requestAnimationFrame(() => { window.drawnAt = performance.timeOrigin + performance.now(); });
      }
      window.lastFrameAt = performance.now();
    };
    // And when that rendering reached the screen: paint timing's first paint
    // (the frame's presentation in chromium, in steps of a few ms).
    new PerformanceObserver((list) => {
      for (const e of list.getEntries()) if (e.name === 'first-paint') window.paintedAt = performance.timeOrigin + e.startTime;
    }).observe({ type: 'paint', buffered: true });
  });
  const t0 = Date.now();
  await page.goto(url, { waitUntil: 'domcontentloaded' });
  await page.waitForFunction(() => window.drawnAt && window.paintedAt);
  const [first, drawn, painted] = (await page.evaluate(() => [window.firstFrameAt, window.drawnAt, window.paintedAt])).map((t) => t - t0);
  if (!instrument) return { page, first, drawn, painted };
  await page.waitForFunction(() => window.readyAt);
  return { page, first, drawn, painted, ready: (await page.evaluate(() => window.readyAt)) - t0 };
}

// ---- load to the first LCD frame, side by side ----
// In turn, each first in every other pair.
const load = { page: [], bare: [], pageDrawn: [], bareDrawn: [], pagePainted: [], barePainted: [], ready: [] };
for (let i = 0; i < 32; i++) {
  const pair = [['page', `${ORIGIN}/index.html`], ['bare', `${ORIGIN}/bare.html`]];
  for (const [kind, url] of i % 2 ? pair.reverse() : pair) {
    const { page, first, drawn, painted, ready } = await openPage(url, kind === 'page');
    if (i >= 2) {  // two warm-up rounds
      load[kind].push(first);
      load[`${kind}Drawn`].push(drawn);
      load[`${kind}Painted`].push(painted);
      if (ready) load.ready.push(ready);
    }
    await page.close();
  }
}

// ---- key to frame, and idle ----
const { page } = await openPage(`${ORIGIN}/index.html`, true);
await page.waitForFunction(() => window.orb720TestHooks.ready);
async function press(n, ms) {
  const box = await (await page.$(`[data-button="${n}"]`)).boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.down();
  await sleep(ms);
  await page.mouse.up();
}
await page.evaluate(() => {
  window.upAt = [];
  window.addEventListener('pointerup', () => window.upAt.push(performance.now()), true);
});
await press(2, 500);  // switched on
await sleep(500);
const keyToFrame = [];
for (let i = 0; i < 60; i++) {
  await press(i % 2 ? 3 : 1, 30);  // down and up the main menu: every key redraws
  await page.waitForFunction(() => window.lastFrameAt > window.upAt[window.upAt.length - 1]);
  const [up, frame] = await page.evaluate(() => [window.upAt[window.upAt.length - 1], window.lastFrameAt]);
  keyToFrame.push(frame - up);
  await sleep(20);
}
await sleep(1000);
const m0 = await page.metrics();
await sleep(10000);
const m1 = await page.metrics();
const idleScript = (m1.ScriptDuration - m0.ScriptDuration) * 1000, idleTask = (m1.TaskDuration - m0.TaskDuration) * 1000;

await browser.close();
server.close();
rmSync(userData, { recursive: true, force: true });

// ---- the table ----
const loadRatio = median(load.page) / median(load.bare);
const drawnRatio = median(load.pageDrawn) / median(load.bareDrawn);
const paintedRatio = median(load.pagePainted) / median(load.barePainted);
const rows = [
  ['figure', 'page', 'floor', 'goal'],
  ['code, gzip -9: wasm + JS', kb(codeGz), '', '< 150 KB'],
  ...Object.entries(sizes).map(([k, [raw, z]]) => [`  ${k}`, `${kb(z)} (${kb(raw)} raw)`, '', '']),
  ['  as shipped over a server: index.html, orb720.js (both with pictures), orb720.wasm', kb(shipped), '', ''],
  ['  as opened from disk: index.html, orb720.js, orb720-wasm.js (the wasm in base64)', kb(shippedDisk), '', ''],
  ['load to the first LCD frame, median of 30', `${median(load.page).toFixed(1)} ms`, `${median(load.bare).toFixed(1)} ms bare page`, '<= 1.2x'],
  ['  ratio', `${loadRatio.toFixed(2)}x`, '', ''],
  ['load to the rendering that shows it, median of 30', `${median(load.pageDrawn).toFixed(1)} ms`, `${median(load.bareDrawn).toFixed(1)} ms bare page`, ''],
  ['  ratio', `${drawnRatio.toFixed(2)}x`, '', ''],
  ['load to its first paint on screen, median of 30', `${median(load.pagePainted).toFixed(1)} ms`, `${median(load.barePainted).toFixed(1)} ms bare page`, ''],
  ['  ratio', `${paintedRatio.toFixed(2)}x`, '', ''],
  ['load to the firmware taking keys, median of 30', `${median(load.ready).toFixed(1)} ms`, '', ''],
  ['  ratio to the bare page', `${(median(load.ready) / median(load.bare)).toFixed(2)}x`, '', ''],
  ['key to frame, 60 keys: median', `${median(keyToFrame).toFixed(2)} ms`, '', '< 1 ms'],
  ['  p99', `${rank(keyToFrame, 99).toFixed(2)} ms`, '', ''],
  ['idle at the main menu, 10 s: script', `${idleScript.toFixed(2)} ms`, '', '0'],
  ['  all tasks of the page', `${idleTask.toFixed(2)} ms`, '', ''],
];
for (const r of rows) console.log(`| ${r.join(' | ')} |`);
