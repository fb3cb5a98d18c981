// The page in real browsers: Debian's chromium and firefox-esr, headless,
// driven by puppeteer-core (which brings no browser of its own), over a
// static server on 127.0.0.1 that this script starts and stops.
//
//   node browser_test.mjs --site DIR --reference EXE --goldens DIR [--browser chromium|firefox]... [--only REGEX]
//
// The browsers run side by side, chromium twice (its tests that wait on the
// page's timers apart from the others), as one process: mostly they wait.
// Frames are compared as colour codes with the golden frames and with what
// the headless host renders for the same keys (EXE, tests/web/reference).
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';
import { serveFolder } from './static_server.mjs';
import { decodePng } from '../../tools/website/keypng.mjs';

const args = process.argv.slice(2);
const opt = (name) => args[args.indexOf(`--${name}`) + 1];
const SITE = resolve(opt('site')), REFERENCE = resolve(opt('reference')), GOLDENS = resolve(opt('goldens'));
const ENGINES = args.flatMap((a, i) => (a === '--browser' ? [args[i + 1]] : []));
const ONLY = args.includes('--only') ? new RegExp(opt('only')) : null;  // a subset, when debugging
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// ---- a static server on the loopback address, any free port ----
const server = await serveFolder(SITE);
const { origin: ORIGIN, served } = server;
const URL_HTTP = `${ORIGIN}/index.html`;

// ---- reference frames: the headless host, the goldens ----
function reference(keys, lang = 1033) {
  const out = execFileSync(REFERENCE, ['--lang', String(lang), ...keys.map((k) => k.toString(16))], { encoding: 'utf8' });
  return JSON.parse(out);
}
const { colours: COLOURS } = reference([]);
const CHARS = { 0: 'K', 3: 'B', 28: 'G', 125: 'g', 224: 'R', 237: 'r', 252: 'Y', 253: 'y', 255: '.' };
const golden = (name) => readFileSync(join(GOLDENS, `${name}.txt`), 'utf8');

// ---- the runner ----
const results = [];
const problems = [];  // page errors and requests beyond the origin, over every test
async function runTest(name, fn) {
  if (ONLY && !ONLY.test(name)) return;
  const t0 = Date.now();
  try {
    await fn();
    results.push([name, true]);
    console.log(`ok   ${name} (${Date.now() - t0} ms)`);
  } catch (e) {
    results.push([name, false]);
    console.log(`FAIL ${name} (${Date.now() - t0} ms)\n     ${String(e && e.stack || e).split('\n').slice(0, 6).join('\n     ')}`);
  }
}
function check(cond, message) {
  if (!cond) throw new Error(message);
}
function sameFrame(actual, expected, what) {
  if (actual === expected) return;
  let diffs = 0, first = '';
  for (let i = 0; i < expected.length; i++) {
    if (actual[i] === expected[i]) continue;
    if (!diffs) first = ` first at (${i % 129}, ${Math.floor(i / 129)}): '${actual[i]}' for '${expected[i]}'`;
    diffs++;
  }
  throw new Error(`${what}: ${diffs} pixels differ;${first}`);
}

// ---- one browser page of the instrument ----
class Instrument {
  constructor(page, engine) {
    this.page = page;
    this.engine = engine;
  }
  static async open(context, engine, { url = URL_HTTP, hooks = {}, viewport, beforeLoad } = {}) {
    const page = await context.newPage();
    page.on('pageerror', (e) => problems.push(`${engine}: page error: ${e.message}`));
    page.on('console', (m) => { if (m.type() === 'error') problems.push(`${engine}: console error: ${m.text()}`); });
    page.on('request', (r) => {
      const u = r.url();
      const own = url.startsWith('file:') ? 'file:' : `${new URL(url).origin}/`;
      const local = u.startsWith(own) || u.startsWith('data:') || u.startsWith('blob:');
      if (!local) problems.push(`${engine}: request beyond the origin: ${u}`);
    });
    await page.setViewport(viewport || { width: 800, height: 720 });
    await page.evaluateOnNewDocument((h) => { window.orb720TestHooks = h; }, hooks);
    if (beforeLoad) await beforeLoad(page);
    const inst = new Instrument(page, engine);
    await inst.load(url);
    return inst;
  }
  async load(url) {
    await this.page.goto(url);
    await this.page.waitForFunction(() => window.orb720TestHooks && window.orb720TestHooks.ready, { timeout: 20000 });
  }
  async reload() {
    await this.page.reload();
    await this.page.waitForFunction(() => window.orb720TestHooks && window.orb720TestHooks.ready, { timeout: 20000 });
  }
  hook(name) {
    return this.page.evaluate((n) => window.orb720TestHooks[n], name);
  }
  async centre(n) {
    const box = await (await this.page.$(`[data-button="${n}"]`)).boundingBox();
    return [box.x + box.width / 2, box.y + box.height / 2];
  }
  // A press of button n held for ms. A short press goes to the browser as
  // one action, down and up together: sent as two, a loaded machine can hold
  // them apart past the 300 ms of a long press.
  async click(n, ms = 0) {
    const [x, y] = await this.centre(n);
    if (!ms) return this.page.mouse.click(x, y);
    await this.page.mouse.move(x, y);
    await this.page.mouse.down();
    await sleep(ms);
    await this.page.mouse.up();
  }
  // The same, and then the firmware has taken it and waits for the next key.
  async press(n, ms = 0) {
    const waits = (await this.hook('keyWaits')) || 0;
    await this.click(n, ms);
    try {
      await this.settled(waits);
    } catch (e) {
      throw new Error(`button ${n} held ${ms} ms: the firmware did not settle (${await this.hook('waiting')}, ${await this.hook('keyWaits')} waits)`);
    }
  }
  async settled(waitsBefore, timeout = 15000) {
    await this.page.waitForFunction(
      (w) => window.orb720TestHooks.keyWaits > w && /^key/.test(window.orb720TestHooks.waiting), { timeout }, waitsBefore);
  }
  async switchOn() {
    await this.press(2, 500);
  }
  // The canvas as colour codes, read through the lit colours (in the page:
  // a text crosses to the test faster than the pixels).
  async frame() {
    const byColour = COLOURS.map(([code, bright]) => [bright, CHARS[code]]);
    return this.page.evaluate((table) => {
      const map = new Map(table);
      const d = document.querySelector('#lcd').getContext('2d').getImageData(0, 0, 128, 160).data;
      let text = '';
      for (let y = 0; y < 160; y++) {
        for (let x = 0; x < 128; x++) {
          const o = (y * 128 + x) * 4;
          text += map.get((d[o] << 16) | (d[o + 1] << 8) | d[o + 2]) || '?';
        }
        text += '\n';
      }
      return text;
    }, byColour);
  }
  // Until pixel (x, y) of the canvas has the colour rgb.
  async waitPixel(x, y, rgb, timeout = 5000) {
    await this.page.waitForFunction((px, py, c) => {
      const d = document.querySelector('#lcd').getContext('2d').getImageData(px, py, 1, 1).data;
      return ((d[0] << 16) | (d[1] << 8) | d[2]) === c;
    }, { timeout }, x, y, rgb);
  }
  // Whether the canvas shows the frame text in the dimmed colours, which
  // do not tell every code apart (yellow and light yellow dim alike).
  async showsDimmed(text) {
    const rgb = await this.page.evaluate(() => Array.from(document.querySelector('#lcd').getContext('2d').getImageData(0, 0, 128, 160).data));
    const dimmed = new Map(COLOURS.map(([code, , d]) => [CHARS[code], d]));
    let diffs = 0;
    for (let y = 0; y < 160; y++) {
      for (let x = 0; x < 128; x++) {
        const o = (y * 128 + x) * 4;
        if (((rgb[o] << 16) | (rgb[o + 1] << 8) | rgb[o + 2]) !== dimmed.get(text[y * 129 + x])) diffs++;
      }
    }
    return diffs;
  }
  // Screen pixels of the LCD that are not its canvas pixel, each shown as a
  // zoom x zoom block from a whole screen pixel.
  async offScreenPixels() {
    const { zoom, x, y, dpr, rgba } = await this.page.evaluate(() => {
      const c = document.querySelector('#lcd'), r = c.getBoundingClientRect();
      return { zoom: window.orb720TestHooks.zoom, x: r.left, y: r.top, dpr: window.devicePixelRatio,
        rgba: Array.from(c.getContext('2d').getImageData(0, 0, 128, 160).data) };
    });
    const shot = decodePng(Buffer.from(await this.page.screenshot()));
    const left = Math.round(x * dpr), top = Math.round(y * dpr);
    let diffs = 0;
    for (let sy = 0; sy < 160 * zoom; sy++) {
      for (let sx = 0; sx < 128 * zoom; sx++) {
        const o = ((top + sy) * shot.width + left + sx) * 4, i = (Math.floor(sy / zoom) * 128 + Math.floor(sx / zoom)) * 4;
        if (shot.px[o] !== rgba[i] || shot.px[o + 1] !== rgba[i + 1] || shot.px[o + 2] !== rgba[i + 2]) diffs++;
      }
    }
    return { zoom, diffs };
  }
  async grey() {
    return this.page.evaluate(() => document.querySelector('#lcd').getContext('2d').getImageData(0, 0, 128, 160).data
      .every((v, i) => (i % 4 === 3 ? v === 255 : v === 0x4e)));
  }
  // The test-only hook: shorter idle intervals from the next key on.
  async setIdle(backlightMs, powerOffMs) {
    await this.page.evaluate((b, p) => window.orb720TestHooks.module._orb_test_idle_times(b, p), backlightMs, powerOffMs);
  }
  async storedSettings() {
    return this.page.evaluate(() => localStorage.getItem('ORB720Demo.INI'));
  }
}
const iniValue = (text, key) => ((text || '').match(new RegExp(`^${key}=(.*?)\\r?$`, 'm')) || [])[1];

// A walk through a measurement and its analysis: the point screen, the
// question, "Measuring..." and the auto step, back to the main menu, the
// analysis of the measured point and its spectrum.
const WALK = [4, 4, 4, 4, 1, 2, 2, 2, 1, 4, 4, 4, 3, 4, 1, 4];
const CLOCK = [2026, 12, 8, 10, 30, 0];  // the headless host's clock

async function walk(context, engine) {
  const expected = reference(WALK.map((n) => 0x1000 + n)).frames;
  const inst = await Instrument.open(context, engine, { hooks: { clock: CLOCK } });
  await inst.switchOn();
  sameFrame(await inst.frame(), expected[0], 'after the switch-on');
  for (let i = 0; i < WALK.length; i++) {
    await inst.press(WALK[i]).catch((e) => { throw new Error(`key ${i + 1}: ${e.message}`); });
    sameFrame(await inst.frame(), expected[i + 1], `after key ${i + 1} (button ${WALK[i]})`);
  }
  await inst.page.close();
}

// Chromium's tests that mostly wait on the page's timers run in a browser of
// their own beside the others.
const TIMERS = /idle|Measuring|storage|no script/;

async function engineTests(engine, part) {
  const test = (name, fn) => ((part === 'timers') === TIMERS.test(name) ? runTest(name, fn) : undefined);
  const userData = mkdtempSync(join(tmpdir(), `orb-web-${engine}-${part}-`));
  const launch = engine === 'chromium'
    ? {
      browser: 'chrome',
      executablePath: '/usr/bin/chromium',
      args: ['--headless', '--no-sandbox', `--user-data-dir=${userData}`, '--disable-background-networking',
        '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-gpu'],
    }
    : { browser: 'firefox', executablePath: '/usr/bin/firefox-esr', args: ['--profile', userData] };
  const browser = await puppeteer.launch({ headless: true, ...launch });
  const fresh = () => browser.createBrowserContext();
  try {
    await test(`${engine}: switching on shows the golden main menu, the LCD at a whole zoom`, async () => {
      const context = await fresh();
      const inst = await Instrument.open(context, engine);
      check(await inst.grey(), 'the LCD is not the switched-off grey at start');
      await inst.click(2);  // a short press of the power button does nothing
      await sleep(100);
      check(await inst.grey(), 'a short press switched the device on');
      await inst.switchOn();
      sameFrame(await inst.frame(), golden('main_menu_en'), 'main menu');
      // Sharp on the screen, also at a fractional pixel ratio, where the LCD
      // came a fraction of a screen pixel off and an edge or a row blurred.
      const screens = [[null, 1], [{ width: 1300, height: 1000, deviceScaleFactor: 2.25 }, 4]];
      // The same size on a screen of another density, as a move to another
      // screen: the page gets no resize. (Chromium's emulation changes the
      // ratio without telling the page's media listeners.)
      if (engine === 'firefox') screens.push([{ width: 1300, height: 1000, deviceScaleFactor: 1.5 }, 3]);
      for (const [viewport, whole] of screens) {
        if (viewport) await inst.page.setViewport(viewport);
        await inst.page.waitForFunction((z) => window.orb720TestHooks.zoom === z, {}, whole);
        const { zoom, diffs } = await inst.offScreenPixels();
        check(diffs === 0, `LCD at zoom ${zoom} on screen: ${diffs} pixels off`);
      }
      // Too small a window for one pixel a pixel: shrunk smoothly, since
      // leaving pixels out garbled the menu ("TACIOMETER").
      const rendering = () => inst.page.$eval('#lcd', (c) => getComputedStyle(c).imageRendering);
      check(await rendering() === 'pixelated', `LCD at a whole zoom: ${await rendering()}`);
      await inst.page.setViewport({ width: 300, height: 380 });
      await inst.page.waitForFunction(() => window.orb720TestHooks.zoom === 0);
      check(await rendering() === 'auto', `LCD shrunk: ${await rendering()}`);
      await context.close();
    });
    await test(`${engine}: a walk through a measurement and the analysis shows the headless host's frames`, async () => {
      const context = await fresh();
      await walk(context, engine);
      await context.close();
    });
    await test(`${engine}: opened from disk, the page switches on`, async () => {
      const context = await fresh();
      const inst = await Instrument.open(context, engine, { url: pathToFileURL(join(SITE, 'index.html')).href });
      await inst.switchOn();
      sameFrame(await inst.frame(), golden('main_menu_en'), 'main menu from file://');
      await context.close();
    });
    if (engine !== 'chromium') return;

    await test(`${engine}: a server that sends the wasm as plain bytes serves the page too`, async () => {
      const plain = await serveFolder(SITE, { wasmType: 'application/octet-stream' });
      const context = await fresh();
      const inst = await Instrument.open(context, engine, { url: `${plain.origin}/index.html` });
      await inst.switchOn();
      sameFrame(await inst.frame(), golden('main_menu_en'), 'main menu');
      check(plain.served.includes('/orb720.wasm') && !plain.served.includes('/orb720-wasm.js'), `requests: ${plain.served.join(' ')}`);
      await context.close();
      plain.close();
    });

    // The page shows the instrument before its code and firmware have come; a
    // press made meanwhile is kept by first.js, handed to page.js, and from it
    // to the firmware with its own times once that runs.
    await test(`${engine}: a long press before the page's code has loaded switches on`, async () => {
      const context = await fresh();
      const page = await context.newPage();
      page.on('pageerror', (e) => problems.push(`${engine}: page error: ${e.message}`));
      await page.setViewport({ width: 800, height: 720 });
      await page.evaluateOnNewDocument(() => { window.orb720TestHooks = {}; });
      await page.setRequestInterception(true);
      let letCodeThrough;
      const codeHeld = new Promise((resolve) => { letCodeThrough = resolve; });
      page.on('request', (r) => {
        if (r.url().endsWith('/orb720.js')) codeHeld.then(() => r.continue());
        else r.continue();
      });
      await page.goto(URL_HTTP, { waitUntil: 'domcontentloaded' });
      const inst = new Instrument(page, engine);
      await page.waitForFunction(() => !document.querySelector('#instrument').hidden);
      check(await inst.grey(), 'the switched-off LCD is not shown before the firmware');
      await inst.click(2, 500);
      check(!(await page.evaluate(() => !!window.orb720Pictures)), 'the page\'s code came before it was let through');
      letCodeThrough();
      await page.waitForFunction(() => window.orb720TestHooks.ready && /^key/.test(window.orb720TestHooks.waiting), { timeout: 20000 });
      sameFrame(await inst.frame(), golden('main_menu_en'), 'main menu after a press made before the page\'s code ran');
      await context.close();
    });

    await test(`${engine}: a long touch switches on, a touch neither scrolls nor zooms`, async () => {
      const context = await fresh();
      const inst = await Instrument.open(context, engine, { viewport: { width: 420, height: 800, hasTouch: true, isMobile: true, deviceScaleFactor: 2 } });
      const waits = await inst.hook('keyWaits');
      const [x, y] = await inst.centre(2);
      await inst.page.touchscreen.touchStart(x, y);
      await sleep(500);
      await inst.page.touchscreen.touchEnd();
      await inst.settled(waits);
      sameFrame(await inst.frame(), golden('main_menu_en'), 'main menu after a long touch');
      const { action, zoom } = await inst.page.evaluate(() => ({
        action: getComputedStyle(document.querySelector('#instrument')).touchAction,
        zoom: window.orb720TestHooks.zoom,
      }));
      check(action === 'none', `touch-action ${action}`);
      check(zoom >= 2, `zoom ${zoom} on a 2 dppx screen`);
      await context.close();
    });

    await test(`${engine}: the pressed picture shows while the button is down`, async () => {
      const context = await fresh();
      const inst = await Instrument.open(context, engine);
      const [x, y] = await inst.centre(4);
      await inst.page.mouse.move(x, y);
      await inst.page.mouse.down();
      const shown = () => inst.page.$$eval('[data-button] img', (imgs) => imgs.map((i) => (getComputedStyle(i).visibility === 'visible' && i.complete && i.naturalWidth > 0 ? 1 : 0)).join(''));
      const down = await shown();
      await inst.page.mouse.up();
      const up = await shown();
      check(down === '0001' && up === '0000', `pressed pictures shown down: ${down}, up: ${up}`);
      await context.close();
    });

    await test(`${engine}: a click on the LCD copies its picture to the clipboard and sends no key`, async () => {
      const context = await fresh();
      await context.overridePermissions(ORIGIN, ['clipboard-read', 'clipboard-write', 'clipboard-sanitized-write']);
      const inst = await Instrument.open(context, engine);
      await inst.switchOn();
      const frame = await inst.frame();
      const waits = await inst.hook('keyWaits');
      const box = await (await inst.page.$('#lcd')).boundingBox();
      await inst.page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
      const copied = await inst.page.evaluate(async () => {
        for (let tries = 0; tries < 50; tries++) {
          try {
            const [item] = await navigator.clipboard.read();
            const bitmap = await createImageBitmap(await item.getType('image/png'));
            const c = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
            c.drawImage(bitmap, 0, 0);
            const lcd = document.querySelector('#lcd').getContext('2d').getImageData(0, 0, 128, 160).data;
            const same = c.getImageData(0, 0, bitmap.width, bitmap.height).data.every((v, i) => v === lcd[i]);
            return `${bitmap.width}x${bitmap.height} ${same ? 'same' : 'other'}`;
          } catch (e) {
            await new Promise((r) => setTimeout(r, 20));
          }
        }
        return 'nothing';
      });
      check(copied === '128x160 same', `clipboard: ${copied}`);
      check((await inst.hook('keyWaits')) === waits && (await inst.frame()) === frame, 'the click on the LCD reached the firmware');
      await context.close();
    });

    await test(`${engine}: a language change redraws the LCD and the title, and a reload keeps it`, async () => {
      const context = await fresh();
      const inst = await Instrument.open(context, engine);
      await inst.switchOn();
      const waits = await inst.hook('keyWaits');
      await inst.page.select('#language', 'RUS');
      await inst.settled(waits);
      sameFrame(await inst.frame(), golden('main_menu_ru'), 'main menu in Russian');
      const title = await inst.page.title();
      check(title === 'Имитатор прибора ORB-720', `title ${title}`);
      await inst.reload();
      const kept = await inst.page.evaluate(() => [document.querySelector('#language').value, document.title]);
      check(kept[0] === 'RUS' && kept[1] === title, `after the reload: ${kept}`);
      await inst.switchOn();
      sameFrame(await inst.frame(), golden('main_menu_ru'), 'main menu in Russian after the reload');
      await context.close();
    });

    await test(`${engine}: idle, the page dims, switches off and keeps the position`, async () => {
      const context = await fresh();
      const inst = await Instrument.open(context, engine);
      const point = reference([0x1004]).frames[1];
      await inst.switchOn();
      await inst.setIdle(1000, 4000);  // counted from the next key, however slow the driver
      await inst.press(4);
      sameFrame(await inst.frame(), point, 'the route point screen');
      // Hidden (as a tab in the background): the settings are written then.
      await inst.page.evaluate(() => {
        Object.defineProperty(document, 'visibilityState', { value: 'hidden', configurable: true });
        document.dispatchEvent(new Event('visibilitychange'));
        delete document.visibilityState;
      });
      const hidden = await inst.storedSettings();
      check(iniValue(hidden, 'MenuMode') === '1', `stored when hidden: ${hidden}`);
      const blue = COLOURS.find(([code]) => code === 3);
      const b = point.indexOf('B'), bx = b % 129, by = Math.floor(b / 129);
      await inst.waitPixel(bx, by, blue[2]);  // the title band dimmed
      const diffs = await inst.showsDimmed(point);
      check(diffs === 0, `the route point screen dimmed: ${diffs} pixels differ`);
      await inst.waitPixel(bx, by, 0x4e4e4e);
      check(await inst.grey(), 'switched off, the LCD is not grey');
      const ini = await inst.storedSettings();
      check(iniValue(ini, 'MenuMode') === '1' && iniValue(ini, 'SelectedPoint') === '1', `stored: ${ini}`);
      await context.close();
    });

    await test(`${engine}: a switch-off in "Measuring..." and in the auto-step pause ends the firmware; it switches on again`, async () => {
      for (const powerOffMs of [900, 2600]) {  // the pauses: 1.5 s measuring, then 2 s auto step
        const context = await fresh();
        const inst = await Instrument.open(context, engine);
        await inst.switchOn();
        for (const n of [4, 4, 4, 4]) await inst.press(n);
        await inst.setIdle(powerOffMs - 100, powerOffMs);  // from the YES below
        const waits = await inst.hook('keyWaits');
        await inst.click(1);
        await inst.page.waitForFunction(() => window.orb720TestHooks.waiting === 'pause');
        await inst.settled(waits, 10000);  // the firmware unwound and the device loop waits
        check(await inst.grey(), `switched off at ${powerOffMs} ms: the LCD is not grey`);
        check(iniValue(await inst.storedSettings(), 'MenuMode') === '1', 'position not stored');
        // The usual intervals again, or a loaded machine sees the switched-on
        // page switch off again before it looks.
        await inst.setIdle(40000, 60000);
        await inst.switchOn();
        check(!(await inst.grey()), `not switched on again after the switch-off at ${powerOffMs} ms`);
        await context.close();
      }
    });

    await test(`${engine}: corrupt or blocked storage gives the defaults and a working page`, async () => {
      const context = await fresh();
      const inst = await Instrument.open(context, engine);
      await inst.page.evaluate(() => localStorage.setItem('ORB720Demo.INI', '\u0000\uffff[DeviceState\nMenuMode=zz\n[Language]\nName=' + 'x'.repeat(100000)));
      await inst.reload();
      await inst.switchOn();
      sameFrame(await inst.frame(), golden('main_menu_en'), 'main menu over corrupt settings');
      check(await inst.page.$eval('#notice', (e) => e.hidden), 'a notice over storage that works');
      await context.close();

      const blocked = await fresh();
      const b = await Instrument.open(blocked, engine, {
        beforeLoad: (page) => page.evaluateOnNewDocument(() => {
          Object.defineProperty(window, 'localStorage', { get() { throw new DOMException('blocked', 'SecurityError'); } });
        }),
      });
      await b.switchOn();
      sameFrame(await b.frame(), golden('main_menu_en'), 'main menu without storage');
      const notices = await b.page.$$eval('#notice:not([hidden])', (e) => e.map((n) => n.textContent));
      check(notices.length === 1 && /Settings cannot be kept/.test(notices[0]), `notices: ${notices}`);
      await blocked.close();
    });

    await test(`${engine}: Overview and About show the string table's texts`, async () => {
      const context = await fresh();
      const inst = await Instrument.open(context, engine);
      await inst.page.click('#overview-button');
      const overview = await inst.page.$eval('#overview', (d) => [d.open, d.textContent]);
      check(overview[0] && overview[1].includes('one-channel vibration data collector') && overview[1].includes('more...'), 'Overview');
      await inst.page.keyboard.press('Escape');
      await inst.page.click('#about-button');
      const about = await inst.page.$eval('#about', (d) => [d.open, d.textContent]);
      check(about[0] && about[1].includes('Version 2.6.0.1') && !(await inst.page.$eval('#overview', (d) => d.open)), 'About');
      // In a small frame the Overview scrolls, and it opens at its beginning
      // (it opened scrolled to its end, where the focus went).
      await inst.page.keyboard.press('Escape');
      await inst.page.setViewport({ width: 360, height: 420 });
      await inst.page.click('#overview-button');
      const [top, scrolls] = await inst.page.$eval('#overview', (d) => [d.scrollTop, d.scrollHeight > d.clientHeight]);
      check(scrolls && top === 0, `Overview in a small frame: scrolled to ${top} (${scrolls ? 'scrolls' : 'fits'})`);
      await context.close();
    });

    await test(`${engine}: at the main menu no script runs`, async () => {
      const context = await fresh();
      const inst = await Instrument.open(context, engine);
      await inst.switchOn();
      await sleep(300);
      const before = await inst.page.metrics();
      await sleep(1500);
      const after = await inst.page.metrics();
      const script = after.ScriptDuration - before.ScriptDuration;
      check(script < 0.002, `script ran ${(script * 1000).toFixed(2)} ms while waiting for a key`);
      await context.close();
    });
  } finally {
    await browser.close();
    rmSync(userData, { recursive: true, force: true });
  }
}

const t0 = Date.now();
try {
  const runs = ENGINES.flatMap((e) => (e === 'chromium' ? [[e, 'pages'], [e, 'timers']] : [[e, 'pages']]));
  await Promise.all(runs.map(([engine, part]) => engineTests(engine, part)));
  await runTest(`no page error, no request beyond the origin (${ENGINES})`, async () => {
    check(problems.length === 0, problems.join('\n'));
    check(served.includes('/index.html') && served.includes('/orb720.wasm'), 'the server saw no request for the page and its firmware');
  });
} finally {
  server.close();
}
const failed = results.filter(([, ok]) => !ok).length;
console.log(`web tests took ${((Date.now() - t0) / 1000).toFixed(1)} s`);
console.log(`${results.length - failed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
