// A static file server for the built page on 127.0.0.1. Run by ./dev web:
//   node web/serve.mjs DIR [PORT]   serves DIR until stopped and prints its address
// The browser tests import serve() to start and stop their own server.
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.png': 'image/png',
};

// Serves dir on 127.0.0.1 at port (0: a free one); resolves to { url, close }.
export function serve(dir, port = 0) {
  const server = createServer(async (request, response) => {
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    const file = join(dir, path.endsWith('/') ? path + 'index.html' : path);
    if (!file.startsWith(dir)) { response.writeHead(403).end(); return; }
    try {
      const body = await readFile(file);
      response.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream' }).end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  return new Promise((done, fail) => {
    server.once('error', fail);
    server.listen(port, '127.0.0.1', () => done({
      url: `http://127.0.0.1:${server.address().port}/`,
      close: () => new Promise((closed) => server.close(closed)),
    }));
  });
}

if (process.argv[1] && resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const dir = resolve(process.argv[2] || '.');
  const { url } = await serve(dir, Number(process.argv[3] || 0));
  console.log(`Panelwright's page is served at ${url} (Ctrl+C stops it)`);
}
