// Build steps of the page that work on whatever the page folder holds, run by the web build:
//   node web/page_build.mjs sw DIR          writes DIR/sw.js from web/sw.js: the list of DIR's
//                                           files and a version made from their contents
//   node web/page_build.mjs single DIR OUT  writes OUT, DIR's index.html with every style sheet,
//                                           script, icon and WebAssembly module it uses inside it,
//                                           so that it works opened from disk with no network
import { createHash } from 'node:crypto';
import { readFileSync, readdirSync, statSync, writeFileSync } from 'node:fs';
import { extname, join } from 'node:path';

const serviceWorker = 'sw.js';

function pageFiles(dir) {
  return readdirSync(dir).filter((name) => name !== serviceWorker && statSync(join(dir, name)).isFile()).sort();
}

function writeServiceWorker(dir) {
  const files = pageFiles(dir);
  const hash = createHash('sha256');
  for (const name of files) hash.update(name).update('\0').update(readFileSync(join(dir, name))).update('\0');
  const template = readFileSync(new URL('sw.js', import.meta.url), 'utf8');
  const text = template.replace('@VERSION@', () => hash.digest('hex').slice(0, 16))
    .replace('@FILES@', () => JSON.stringify(['./', ...files]));
  writeFileSync(join(dir, serviceWorker), text);
}

const imageTypes = { '.png': 'image/png', '.svg': 'image/svg+xml', '.ico': 'image/x-icon' };

// Text for inside a <script> or <style> element: no "</" may end it early.
const inlineText = (text) => text.replace(/<\/(script|style)/gi, '<\\/$1');

function writeSingleFile(dir, out) {
  const read = (name) => readFileSync(join(dir, name));
  let html = read('index.html').toString('utf8');
  // The WebAssembly modules as base64, for the page script to hand to the module loader.
  const modules = Object.fromEntries(pageFiles(dir).filter((name) => extname(name) === '.wasm')
    .map((name) => [name, read(name).toString('base64')]));
  html = html.replace(/<link rel="manifest"[^>]*>\n?/g, '');
  html = html.replace(/<link rel="stylesheet" href="([^"]+)">/g,
    (_, name) => `<style>\n${inlineText(read(name).toString('utf8'))}</style>`);
  html = html.replace(/<link rel="icon" href="([^"]+)"([^>]*)>/g, (_, name, rest) =>
    `<link rel="icon" href="data:${imageTypes[extname(name)]};base64,${read(name).toString('base64')}"${rest}>`);
  let first = true;
  html = html.replace(/<script src="([^"]+)"><\/script>/g, (_, name) => {
    const files = first ? `<script>var pageModules = ${JSON.stringify(modules)};</script>\n` : '';
    first = false;
    return `${files}<script>\n${inlineText(read(name).toString('utf8'))}</script>`;
  });
  writeFileSync(out, html);
}

const [command, dir, out] = process.argv.slice(2);
if (command === 'sw' && dir) writeServiceWorker(dir);
else if (command === 'single' && dir && out) writeSingleFile(dir, out);
else {
  console.error('usage: node page_build.mjs sw DIR | single DIR OUT');
  process.exit(2);
}
