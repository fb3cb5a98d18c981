// The page around the firmware, once first.js has shown the instrument:
// pointer input, the tool bar and its dialogs, the LCD canvas, the page's one
// timer and the settings in local storage. The rules themselves are in the
// wasm (web/webhost.cpp); this script only carries events in and pictures
// out. Emscripten's glue (createOrb720) follows it in the same script.
(() => {
  'use strict';
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
  else start();

// The firmware: fetched and compiled while it streams in; a page opened from
// disk may not fetch it and takes it from a script of base64 instead.
function compileFirmware() {
  if (location.protocol === 'file:') return fromScript();
  return fetch('orb720.wasm').then((r) => {
    if (!r.ok) throw new Error(`orb720.wasm: ${r.status}`);
    // A server that does not call it application/wasm still serves its bytes.
    return WebAssembly.compileStreaming(r.clone()).catch(() => r.arrayBuffer().then((b) => WebAssembly.compile(b)));
  }).catch(fromScript);
}

function fromScript() {
  return new Promise((resolve, reject) => {
    const s = document.createElement('script');
    s.src = 'orb720-wasm.js';
    s.onload = () => resolve(WebAssembly.compile(decodeBase64(window.ORB720_WASM)));
    s.onerror = () => reject(new Error('orb720-wasm.js could not be loaded'));
    document.head.appendChild(s);
  });
}

// In a function of its own, where the engine compiles the loop: at the top
// level it is interpreted, several times slower.
function decodeBase64(text) {
  const bin = atob(text);
  const bytes = new Uint8Array(bin.length);
  for (let i = 0; i < bin.length; i++) bytes[i] = bin.charCodeAt(i);
  return bytes;
}

function start() {
  const $ = (s) => document.querySelector(s);
  // The instrument laid out and its switched-off LCD shown (first.js).
  const first = window.orb720First;
  const lcd = $('#lcd'), instrument = $('#instrument');
  const languageList = $('#language'), notice = $('#notice');
  const { buttons, ctx, frame } = first;
  // The pictures the first frame does without (the build puts them before
  // this script): pressed buttons, the About logo, the page's icon.
  const pictures = window.orb720Pictures;
  buttons.forEach((b, i) => { b.querySelector('img').src = pictures[`button${i + 1}.png`]; });
  $('#about .logo').src = pictures['logo.png'];
  $('link[rel="icon"]').href = pictures['icon.png'];
  const SETTINGS_KEY = 'ORB720Demo.INI';
  // Put in place by an automated test before the page loads; never by the page.
  const hooks = window.orb720TestHooks || null;
  if (hooks) hooks.zoom = first.zoom;
  let M = null;  // the module, once it runs
  let windowLang = 'en';

  // ---- clock: never back, and on across hidden tabs and a sleeping machine ----
  const perf0 = performance.now(), wall0 = Date.now();
  let slept = 0;
  let eventTime = null;  // while presses made before the device ran are handed over
  function now() {
    if (eventTime !== null) return Math.floor(eventTime + slept);
    const p = performance.now();
    // Some systems stop the monotonic clock while the machine sleeps; the
    // wall clock tells how long that was.
    const lag = Date.now() - wall0 - (p - perf0) - slept;
    if (lag > 2000) slept += lag;
    return Math.floor(p + slept);
  }

  // ---- the device side's waits ----
  let wakeWait = null;
  function suspend(ms, wakeable) {
    if (hooks) {
      hooks.waiting = wakeable ? (ms < 0 ? 'key' : 'key-or-timeout') : 'pause';
      if (wakeable) hooks.keyWaits = (hooks.keyWaits || 0) + 1;
    }
    return new Promise((resolve) => {
      let timer = 0;
      const done = () => {
        clearTimeout(timer);
        wakeWait = null;
        if (hooks) hooks.waiting = null;
        resolve();
      };
      if (ms >= 0) timer = setTimeout(done, ms);
      wakeWait = wakeable ? done : null;
    });
  }

  // ---- the page's one timer ----
  let idleTimer = 0;
  function arm(at) {
    clearTimeout(idleTimer);
    idleTimer = 0;
    if (at >= 0) idleTimer = setTimeout(() => { idleTimer = 0; M._orb_timers_due(); }, Math.max(0, at - now()));
  }

  // ---- dialogs ----
  const errorBox = $('#error');
  let errorWaiters = [];
  errorBox.addEventListener('close', () => {
    const w = errorWaiters;
    errorWaiters = [];
    w.forEach((resolve) => resolve());
  });
  const showError = first.showError;
  function errorClosed() {
    return errorBox.open ? new Promise((resolve) => errorWaiters.push(resolve)) : Promise.resolve();
  }

  const NOT_KEPT = {
    en: 'Settings cannot be kept: this browser blocks its storage for this page, or it is full.',
    ru: 'Настройки не сохраняются: браузер не даёт этой странице хранилище или оно заполнено.',
  };
  function showNotice() {
    notice.textContent = NOT_KEPT[windowLang];
    notice.hidden = false;
  }

  const page = {
    now,
    suspend,
    wake() { if (wakeWait) wakeWait(); },
    arm,
    present(rgba) {
      frame.data.set(rgba);
      ctx.putImageData(frame, 0, 0);
      if (hooks) hooks.frames = (hooks.frames || 0) + 1;
    },
    showPressed(mask) {
      buttons.forEach((b, i) => b.classList.toggle('down', ((mask >> i) & 1) === 1));
    },
    showError,
    errorClosed,
    setLanguages(names, selected) {
      languageList.replaceChildren(...names.map((n) => new Option(n)));
      languageList.selectedIndex = selected;
    },
    setTexts(title, label, overview, about, langId) {
      windowLang = langId === 1049 ? 'ru' : 'en';
      document.documentElement.lang = windowLang;
      if (!notice.hidden) showNotice();
      document.title = title;
      $('#language-label').textContent = label;
      $('#overview-button span').textContent = overview;
      $('#about-button span').textContent = about;
    },
    locale: () => navigator.language || '',
    localTime() {
      if (hooks && hooks.clock) return hooks.clock;
      const d = new Date();
      return [d.getFullYear(), d.getMonth() + 1, d.getDate(), d.getHours(), d.getMinutes(), d.getSeconds()];
    },
    loadSettings() {
      try {
        return localStorage.getItem(SETTINGS_KEY) || '';
      } catch (e) {
        return null;
      }
    },
    storeSettings(text) {
      try {
        localStorage.setItem(SETTINGS_KEY, text);
        return true;
      } catch (e) {
        return false;
      }
    },
    settingsNotKept: showNotice,
  };

  function text(id) {
    return M.UTF8ToString(M._orb_window_text(id));
  }

  // The window's Overview: a box per text, none for a text this language lacks.
  function openOverview() {
    cancelPointers();
    const d = $('#overview');
    d.querySelector('h1').textContent = text(280);
    const boxes = d.querySelector('.boxes');
    boxes.replaceChildren();
    for (const [title, body] of [[500, 501], [502, 503], [504, 505]]) {
      const t = text(body);
      if (!t) continue;
      const box = document.createElement('fieldset');
      const legend = text(title);
      if (legend) box.appendChild(document.createElement('legend')).textContent = legend;
      for (const line of t.split('\n')) {
        const p = box.appendChild(document.createElement('p'));
        p.textContent = line || '\u00a0';
        if (line.startsWith('\u2022 ')) p.className = 'item';
      }
      boxes.appendChild(box);
    }
    const more = d.querySelector('.more a');
    more.textContent = text(506);
    more.href = text(310);
    d.querySelector('form button').textContent = text(309);
    first.openDialog(d);
  }

  function openAbout() {
    cancelPointers();
    const d = $('#about');
    d.querySelector('h1').textContent = text(304);
    d.querySelector('.caption').textContent = text(400);
    d.querySelector('.version').textContent = `${text(401)} ${M.UTF8ToString(M._orb_version())}`;
    d.querySelector('.copyright').textContent = text(402);
    d.querySelector('.contacts').textContent = text(403);
    const web = d.querySelector('.web a');
    web.textContent = web.href = text(310);
    d.querySelector('form button').textContent = text(309);
    first.openDialog(d);
  }

  // ---- pointers: the primary button of a mouse, every finger, a pen ----
  function pictureXY(e) {
    const r = instrument.getBoundingClientRect();
    return [Math.floor((e.clientX - r.left) / first.scale), Math.floor((e.clientY - r.top) / first.scale)];
  }
  const down = new Set();
  // Pointer events that came before the device ran, with their times: handed
  // over as they happened once it runs, so that no press is lost or shortened.
  let early = [];
  function cancelPointers(at = performance.now()) {
    if (!down.size) return;
    down.clear();
    if (M) M._orb_cancel_pointers();
    else early.push({ at, call: () => M._orb_cancel_pointers() });
  }
  const onDown = (e) => {
    if (e.button !== 0) return;
    e.preventDefault();
    try {
      instrument.setPointerCapture(e.pointerId);  // the release comes here wherever it is
    } catch (err) {
      // a pointer the browser no longer tracks
    }
    down.add(e.pointerId);
    const [x, y] = pictureXY(e);
    if (!M) early.push({ at: e.timeStamp, call: () => M._orb_pointer_down(e.pointerId, x, y) });
    else if (M._orb_pointer_down(e.pointerId, x, y)) copyLcd();
  };
  const up = (e) => {
    if (!down.delete(e.pointerId)) return;
    if (M) M._orb_pointer_up(e.pointerId);
    else early.push({ at: e.timeStamp, call: () => M._orb_pointer_up(e.pointerId) });
  };
  const onUp = (e) => { if (e.button === 0 || e.pointerType !== 'mouse') up(e); };
  // What first.js kept before this script ran, then the events themselves.
  const handlers = { pointerdown: onDown, pointerup: onUp, pointercancel: up, lostpointercapture: up, blur: (e) => cancelPointers(e.timeStamp) };
  for (const e of first.takeEarly()) handlers[e.type](e);
  instrument.addEventListener('pointerdown', onDown);
  instrument.addEventListener('pointerup', onUp);
  instrument.addEventListener('pointercancel', up);
  instrument.addEventListener('lostpointercapture', up);
  instrument.addEventListener('contextmenu', (e) => e.preventDefault());
  window.addEventListener('blur', () => cancelPointers());

  // The LCD as shown, bright or dimmed, where the browser lets a page write
  // pictures to the clipboard; elsewhere nothing happens, as in the window.
  function copyLcd() {
    try {
      if (!navigator.clipboard || !window.ClipboardItem) return;
      const png = new Promise((resolve) => lcd.toBlob(resolve, 'image/png'));
      navigator.clipboard.write([new ClipboardItem({ 'image/png': png })]).catch(() => {});
    } catch (e) {
      // not allowed here
    }
  }

  // ---- the tool bar ----
  languageList.addEventListener('change', () => {
    if (!M) return;  // the list is filled by the device, so this cannot happen before it runs
    M._orb_language(languageList.selectedIndex);
    languageList.blur();  // no control keeps the keyboard focus
  });
  $('#overview-button').addEventListener('click', openOverview);
  $('#about-button').addEventListener('click', openAbout);

  // ---- hidden, shown, closed ----
  document.addEventListener('visibilitychange', () => {
    if (!M) return;
    if (document.visibilityState === 'hidden') {
      down.clear();
      M._orb_page_hidden();
    } else {
      M._orb_timers_due();  // whatever fell due while hidden happens now
    }
  });
  window.addEventListener('pagehide', () => { if (M) M._orb_page_hidden(); });
  const relayout = () => {
    first.layout();
    if (hooks) hooks.zoom = first.zoom;
  };
  window.addEventListener('resize', relayout);
  // A move to a screen of another density need not resize the page.
  (function watchDensity() {
    matchMedia(`(resolution: ${window.devicePixelRatio}dppx)`).addEventListener('change', () => {
      relayout();
      watchDensity();
    }, { once: true });
  })();

  // ---- start ----
  // The switched-off LCD is shown (first.js); the device presents the same
  // frame as its first. From a timer: emscripten's glue, which defines
  // createOrb720, follows this script in orb720.js.
  setTimeout(runFirmware, 0);

  function runFirmware() {
    const compiled = compileFirmware();
    const instantiateWasm = (imports, receive) => {
      compiled.then((module) => WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module)));
      return {};
    };
    createOrb720({ page, instantiateWasm }).then((module) => {
      M = module;
      if (hooks) hooks.module = M;
      M._orb_start();
      for (const e of early) {
        eventTime = e.at;
        e.call();
      }
      eventTime = null;
      early = [];
      M._orb_timers_due();  // what fell due since then
      if (hooks) hooks.ready = true;
    }, (e) => {
      showError(document.title, `The page could not start the instrument: ${e && e.message ? e.message : e}`);
    });
  }
}
})();
