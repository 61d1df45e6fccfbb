// The page's service worker. Every file of one build is kept in a cache named by the build, so
// that the page opens and works with no server once it has been visited. While the server
// answers, files come from it (so a new build is seen on the next visit); without one, all come
// from the one cache of one build, never a mix. The build writes the version and the file list.
const version = '@VERSION@';
const files = @FILES@;
const cacheName = 'panelwright-' + version;

self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    const cache = await caches.open(cacheName);
    await cache.addAll(files.map((file) => new Request(file, { cache: 'no-cache' })));
    await self.skipWaiting();
  })());
});

// The new build's cache is whole before this runs; the older builds' caches go.
self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    const names = await caches.keys();
    await Promise.all(names.filter((name) => name.startsWith('panelwright-') && name !== cacheName)
      .map((name) => caches.delete(name)));
    await self.clients.claim();
  })());
});

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith((async () => {
    try {
      return await fetch(event.request);
    } catch (failure) {
      const cached = await (await caches.open(cacheName)).match(event.request, { ignoreSearch: true });
      if (cached) return cached;
      throw failure;
    }
  })());
});
