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

  // The instrument is laid out in window pixels and scaled as a whole by one
  // transform, from a corner on a whole screen pixel: box edges in CSS pixels
  // are rounded to the layout's own units, and at a fractional pixel ratio
  // that put the LCD a fraction of a screen pixel off and blurred an edge.
  function place(el, [x, y, w, h]) {
    Object.assign(el.style, { left: `${x - panel.device[0]}px`, top: `${y - panel.device[1]}px`, width: `${w}px`, height: `${h}px` });
  }
  place(instrument, panel.device);
  place(device, panel.device);
  place(lcd, panel.lcd);
  buttons.forEach((b, i) => place(b, panel.buttons[i]));
  // The picture's display opening is the LCD exactly, so the LCD on top of it
  // shows the same; under it, chromium drew the picture apart (it overlaps
  // the canvas) and its opening could come out a pixel off.
  device.style.zIndex = '1';
  lcd.style.zIndex = '2';
  panel.stacking.forEach((index, order) => { buttons[index].style.zIndex = String(order + 3); });

  first.layout = () => {
    const dpr = window.devicePixelRatio || 1;
    const [, , dw, dh] = panel.device;
    const w = stage.clientWidth, h = stage.clientHeight;
    const fit = Math.min(w / (dw + 2 * MARGIN), h / (dh + 2 * MARGIN));
    // Whole screen pixels per LCD pixel keep the LCD sharp; below one, it
    // shrinks as it must.
    const zoom = Math.floor(fit * dpr);
    const scale = first.scale = zoom >= 1 ? zoom / dpr : fit;
    const at = stage.getBoundingClientRect();
    const left = Math.round((at.left + (w - dw * scale) / 2) * dpr) / dpr - at.left;
    const top = Math.round((at.top + (h - dh * scale) / 2) * dpr) / dpr - at.top;
    instrument.style.transform = `translate(${left}px, ${top}px) scale(${scale})`;
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

  // Opening focuses a dialog's first control, which scrolls a dialog taller
  // than a small frame to its end; every dialog of the page opens at its
  // beginning, as the window's.
  first.openDialog = (d) => {
    d.showModal();
    d.scrollTop = 0;
  };

  // The error box: the firmware's, and this page's own when it cannot start.
  first.showError = (title, text) => {
    const box = $('#error');
    box.querySelector('h1').textContent = title;
    box.querySelector('.text').textContent = text;
    if (!box.open) first.openDialog(box);
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
