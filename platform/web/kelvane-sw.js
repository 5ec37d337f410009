// The page's service worker: keeps every file of one build in a store named
// after that build, so that after one visit the game starts with no network.
// A new build fills its own store whole while the old one still serves; it
// takes over only when nothing of the old build is running (or when a page
// that has not started the game asks it to), then drops the old store. So
// an update replaces the kept files at once, never some of them.
'use strict';
const VERSION = '@VERSION@';
const FILES = ['@FILES@'];
const STORE = 'kelvane-' + VERSION;

self.addEventListener('install', (event) => {
  // addAll fails as a whole: a build half fetched is never installed. Each
  // file is asked for again, so a file the page has just loaded comes from
  // the browser's cache once the server says it is unchanged.
  event.waitUntil(caches.open(STORE).then((store) => store.addAll(FILES.map((f) => new Request(f, { cache: 'no-cache' })))));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((keys) => Promise.all(keys.filter((k) => k.startsWith('kelvane-') && k !== STORE).map((k) => caches.delete(k))))
    .then(() => self.clients.claim()));
});

self.addEventListener('message', (event) => {
  if (event.data === 'take-over') self.skipWaiting();
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET') return;
  const url = new URL(request.url);
  if (url.origin !== self.location.origin) return;
  event.respondWith((async () => {
    const store = await caches.open(STORE);
    // The page's own address with any query (?trace, ?pad…) is its index.
    const kept = await store.match(request, { ignoreSearch: request.mode === 'navigate' }) ||
                 (request.mode === 'navigate' ? await store.match('./') : undefined);
    return kept || fetch(request);
  })());
});
