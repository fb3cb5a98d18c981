// A build step of the page: index.html as one file that shows the instrument
// at once, with its style, the pictures it shows (as data: addresses), the
// layout of the instrument and first.js inside, so that the first frame waits
// for no further request; the rest of the page's code (orb720.js, see
// code.mjs) and the firmware come apart.
//
//   node page.mjs TEMPLATE.html PAGE.css PANEL.json PICTURES_DIR NAME=FILE[,FILE...]... OUT.html
// Each <script src="NAME"></script> of the template becomes its FILEs inline.
import { readFileSync } from 'node:fs';
import { pngDataUrl, writeWhole } from './output.mjs';

const args = process.argv.slice(2);
if (args.length < 6) {
  console.error('usage: node page.mjs TEMPLATE.html PAGE.css PANEL.json PICTURES_DIR NAME=FILE[,FILE...]... OUT.html');
  process.exit(2);
}
const [template, css, panel, pictures] = args;
const scripts = args.slice(4, -1).map((a) => a.split('=')), output = args[args.length - 1];
const fail = (what) => {
  console.error(`page.mjs: ${what}`);
  process.exit(1);
};

// Text that goes between <script> or <style> tags must not end them early.
function inline(text, file) {
  if (/<\/(script|style)|<!--/i.test(text)) fail(`${file} holds a sequence that would end its tag in HTML`);
  return text;
}
function replaceOnce(html, what, by) {
  const at = html.indexOf(what);
  if (at < 0 || html.indexOf(what, at + 1) >= 0) fail(`the template must hold ${what} exactly once`);
  return html.slice(0, at) + by + html.slice(at + what.length);
}

let html = readFileSync(template, 'utf8');
html = replaceOnce(html, '<link rel="stylesheet" href="page.css">', `<style>\n${inline(readFileSync(css, 'utf8'), css)}</style>`);
const layout = JSON.parse(readFileSync(panel, 'utf8'));  // well formed, or the build stops here
html = replaceOnce(html, '<script id="panel" type="application/json"></script>',
  `<script id="panel" type="application/json">${JSON.stringify(layout)}</script>`);
for (const [name, files] of scripts) {
  const code = files.split(',').map((f) => inline(readFileSync(f, 'utf8'), f)).join('\n');
  html = replaceOnce(html, `<script src="${name}"></script>`, `<script>\n${code}</script>`);
}
if (/<script src=/.test(html)) fail('the template loads a script this step was not given');
html = html.replace(/(src|href)="pictures\/([a-z0-9_]+\.png)"/g, (_, attr, name) =>
  `${attr}="${pngDataUrl(pictures, name)}"`);
if (/pictures\//.test(html)) fail('a picture is named in a form this step does not inline');

writeWhole(output, html);
