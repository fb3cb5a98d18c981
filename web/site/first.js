// The window's creation: the instrument at the window's proportions and the
// switched-off LCD, as soon as the page's markup is there and before anything
// else of the page runs or loads; page.js and the firmware take over from it.
window.orb720First = (() => {
  'use strict';
  const $ = (s) => document.querySelector(s);
  const stage = $('#stage'), instrument = $('#instrument'), device = $('#device'), lcd = $('#lcd');
  const buttons = [1, 2, 3, 4].map((n) => $(`[data-button="${n}"]`));
  // Window pixels: the instrument picture, the LCD, the pressed pictures and
  // their stacking, and the switched-off LCD's colour; from the build.
  const panel = JSON.parse($('#panel').textContent);
  const MARGIN = 8;  // window pixels at least around the instrument
  const first = { panel, buttons, scale: 1 };

  function place(el, x, y, w, h) {
    const s = first.scale;
    Object.assign(el.style, { left: `${x * s}px`, top: `${y * s}px`, width: `${w * s}px`, height: `${h * s}px` });
  }
  first.layout = () => {
    const dpr = window.devicePixelRatio || 1;
    const [dx, dy, dw, dh] = panel.device;
    const w = stage.clientWidth, h = stage.clientHeight;
    const fit = Math.min(w / (dw + 2 * MARGIN), h / (dh + 2 * MARGIN));
    // Whole screen pixels per LCD pixel keep the LCD sharp; below one, it
    // shrinks as it must.
    const zoom = Math.floor(fit * dpr);
    const scale = first.scale = zoom >= 1 ? zoom / dpr : fit;
    const left = Math.round(((w - dw * scale) / 2) * dpr) / dpr;
    const top = Math.round(((h - dh * scale) / 2) * dpr) / dpr;
    Object.assign(instrument.style, { left: `${left}px`, top: `${top}px`, width: `${dw * scale}px`, height: `${dh * scale}px` });
    place(device, 0, 0, dw, dh);
    const [lx, ly, lw, lh] = panel.lcd;
    place(lcd, lx - dx, ly - dy, lw, lh);
    buttons.forEach((b, i) => {
      const [bx, by, bw, bh] = panel.buttons[i];
      place(b, bx - dx, by - dy, bw, bh);
    });
    panel.stacking.forEach((index, order) => { buttons[index].style.zIndex = String(order + 2); });
    device.style.zIndex = '1';
    instrument.classList.toggle('shrunk', zoom < 1);
    instrument.hidden = false;
    first.zoom = zoom;
  };

  // The frame goes into the canvas first: it needs no layout, and both reach
  // the screen together at the page's first rendering.
  first.ctx = lcd.getContext('2d', { alpha: false });
  first.frame = first.ctx.createImageData(128, 160);
  const rgb = parseInt(panel.off.slice(1), 16);
  const abgr = (0xff000000 | ((rgb & 0xff) << 16) | (rgb & 0xff00) | (rgb >> 16)) >>> 0;
  new Uint32Array(first.frame.data.buffer).fill(abgr);  // little-endian, as every browser's canvas
  first.ctx.putImageData(first.frame, 0, 0);
  first.layout();

  // Pointer events on the instrument before page.js runs, kept as they came
  // for it to take over: a press on the picture is never lost.
  const early = [];
  const kinds = ['pointerdown', 'pointerup', 'pointercancel', 'lostpointercapture'];
  const keep = (e) => {
    if (e.type === 'pointerdown' && e.button === 0) {
      e.preventDefault();
      try {
        instrument.setPointerCapture(e.pointerId);
      } catch (err) {
        // a pointer the browser no longer tracks
      }
    }
    const { type, pointerId, button, pointerType, clientX, clientY, timeStamp } = e;
    early.push({ type, pointerId, button, pointerType, clientX, clientY, timeStamp, preventDefault() {} });
  };
  const keepBlur = () => early.push({ type: 'blur', timeStamp: performance.now() });
  const noMenu = (e) => e.preventDefault();
  kinds.forEach((k) => instrument.addEventListener(k, keep));
  instrument.addEventListener('contextmenu', noMenu);
  window.addEventListener('blur', keepBlur);
  first.takeEarly = () => {
    kinds.forEach((k) => instrument.removeEventListener(k, keep));
    instrument.removeEventListener('contextmenu', noMenu);
    window.removeEventListener('blur', keepBlur);
    return early.splice(0);
  };

  // The error box: the firmware's, and this page's own when it cannot start.
  first.showError = (title, text) => {
    const box = $('#error');
    box.querySelector('h1').textContent = title;
    box.querySelector('.text').textContent = text;
    if (!box.open) box.showModal();
  };

  // The rest of the page's code (page.js, the firmware's glue) runs once this
  // frame has been drawn; a hidden page draws none, hence the timer too.
  let loading = false;
  const load = () => {
    if (loading) return;
    loading = true;
    const s = document.createElement('script');
    s.src = 'orb720.js';
    s.onerror = () => first.showError(document.title, 'The page could not start the instrument: orb720.js could not be loaded');
    document.body.appendChild(s);
  };
  requestAnimationFrame(() => setTimeout(load, 0));
  setTimeout(load, 100);
  return first;
})();
