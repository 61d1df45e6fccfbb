// A static file server for the built page on 127.0.0.1. Run by ./dev web:
//   node web/serve.mjs DIR [PORT]   serves DIR until stopped and prints its address
// The browser tests import serve() to start and stop their own server. Files go gzip-compressed
// to browsers that take it, with validators (ETag, Last-Modified) so that a browser asks again
// cheaply; a path that cannot be decoded gets 400 and the server goes on.
import { createHash } from 'node:crypto';
import { createServer } from 'node:http';
import { readFile, stat } from 'node:fs/promises';
import { extname, join, normalize, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { gzipSync } from 'node:zlib';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.png': 'image/png', '.svg': 'image/svg+xml',
  '.webmanifest': 'application/manifest+json', '.json': 'application/json',
};

// A file's bytes, gzip-compressed bytes and tag, kept while its size and time stay the same.
const files = new Map();
async function load(file) {
  const info = await stat(file);
  if (!info.isFile()) throw new Error('not a file');
  const key = `${info.size}:${info.mtimeMs}`;
  const known = files.get(file);
  if (known?.key === key) return known;
  const body = await readFile(file);
  const entry = { key, body, gzip: gzipSync(body, { level: 9 }), modified: info.mtime.toUTCString(),
    tag: '"' + createHash('sha256').update(body).digest('base64url').slice(0, 22) + '"' };
  files.set(file, entry);
  return entry;
}

// Serves dir on 127.0.0.1 at port (0: a free one); resolves to { url, close }.
export function serve(dir, port = 0) {
  const server = createServer(async (request, response) => {
    let path;
    try {
      path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    } catch {
      response.writeHead(400).end();
      return;
    }
    const file = join(dir, path.endsWith('/') ? path + 'index.html' : path);
    if (!file.startsWith(dir)) { response.writeHead(403).end(); return; }
    let entry;
    try {
      entry = await load(file);
    } catch {
      response.writeHead(404).end();
      return;
    }
    const headers = { 'Content-Type': types[extname(file)] || 'application/octet-stream', 'Cache-Control': 'no-cache',
      ETag: entry.tag, 'Last-Modified': entry.modified, Vary: 'Accept-Encoding' };
    if (request.headers['if-none-match'] === entry.tag) { response.writeHead(304, headers).end(); return; }
    const gzip = /\bgzip\b/.test(request.headers['accept-encoding'] || '') && entry.gzip.length < entry.body.length;
    if (gzip) headers['Content-Encoding'] = 'gzip';
    response.writeHead(200, headers).end(request.method === 'HEAD' ? undefined : gzip ? entry.gzip : entry.body);
  });
  return new Promise((done, fail) => {
    server.once('error', fail);
    server.listen(port, '127.0.0.1', () => done({
      url: `http://127.0.0.1:${server.address().port}/`,
      // Stops at once, open connections too: the browser tests use it to take the server away.
      close: () => new Promise((closed) => { server.close(closed); server.closeAllConnections(); }),
    }));
  });
}

if (process.argv[1] && resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const dir = resolve(process.argv[2] || '.');
  const { url } = await serve(dir, Number(process.argv[3] || 0));
  console.log(`Panelwright's page is served at ${url} (Ctrl+C stops it)`);
}
