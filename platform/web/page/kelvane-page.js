// The page around the game: loads the program, then either plays (the
// startup form, the canvas, input, sound, storage) or, with ?test, waits for
// a driver to run a scripted headless session on the virtual clock.
'use strict';

const kelvanePage = {
  params: new URLSearchParams(location.search),
  status(text) {
    const s = document.getElementById('status');
    if (s) s.textContent = text;
  },
};
window.kelvanePage = kelvanePage;

function bytesToBase64(bytes) {
  let s = '';
  for (let i = 0; i < bytes.length; i += 0x8000)
    s += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  return btoa(s);
}

// ---- Test mode ------------------------------------------------------------
// One run per page load: the program's state is fresh for every scenario.
// The data is a folder of links to the preloaded files, as the desktop's
// scenario tests make it.
kelvanePage.runTest = function ({ script, seed, runMs, frameEvery, replay }) {
  const FS = Module.FS;
  FS.mkdir('/run');
  for (const name of FS.readdir('/game'))
    if (name !== '.' && name !== '..') FS.symlink('/game/' + name, '/run/' + name);
  FS.mkdir('/out');
  const args = ['--headless', '--data', '/run/', '--seed', String(seed), '--run-ms', String(runMs),
                '--trace', '/out/trace.jsonl'];
  if (script) {
    FS.writeFile('/input.txt', script);
    args.push('--input', '/input.txt');
  }
  if (replay) args.push('--replay', replay);
  if (frameEvery) args.push('--frames', '/out/frames', '--frame-every', String(frameEvery));
  const started = performance.now();
  const exitCode = Module.ccall('kelvane_headless', 'number', ['string'], [args.join('\n')]);
  const frames = {};
  if (frameEvery)
    for (const name of FS.readdir('/out/frames').sort())
      if (name.endsWith('.png')) frames[name] = bytesToBase64(FS.readFile('/out/frames/' + name));
  return {
    exitCode,
    ms: performance.now() - started,
    trace: FS.readFile('/out/trace.jsonl', { encoding: 'utf8' }),
    frames,
    stderr: kelvanePage.stderr.join('\n'),
  };
};

kelvanePage.stderr = [];
const testMode = kelvanePage.params.has('test');

// ---- Loading ------------------------------------------------------------------
// The program and the data arrive as streams counted into one bar. The
// startup form opens as soon as the program runs and the wallpapers it shows
// are in; the rest of the data follows while the player reads the form, and
// OK waits for it only if it is still on its way.
const load = {
  index: null, done: 0, total: 0, runtime: false, formData: false, allData: false,
  pending: [],  // files that arrived before the file system was there
};
let allDataArrived;
load.allDataPromise = new Promise((resolve) => { allDataArrived = resolve; });
const MB = (n) => (n / 1e6).toFixed(1);
function showProgress() {
  const bar = document.getElementById('progress');
  if (!bar) return;
  if (load.total) {
    bar.max = load.total;
    bar.value = Math.min(load.done, load.total);
  }
  document.getElementById('progress-bytes').textContent =
    load.total ? `${MB(load.done)} of ${MB(load.total)} MB` : `${MB(load.done)} MB`;
}
function loadFailed(err) {
  load.failed = true;
  document.getElementById('loading').classList.add('failed');
  document.getElementById('progress-bytes').textContent = 'The game could not be loaded: ' + (err && err.message || err);
  console.warn('Kelvane:', err);
}
// The response's body with its bytes counted as they pass (the bytes the
// page gets, after the browser has undone the server's compression).
function counted(response) {
  if (!response.ok) throw new Error(`${response.url}: ${response.status} ${response.statusText}`);
  const reader = response.body.getReader();
  return new Response(new ReadableStream({
    async pull(controller) {
      const { done, value } = await reader.read();
      if (done) {
        controller.close();
        return;
      }
      load.done += value.length;
      showProgress();
      controller.enqueue(value);
    },
  }), { headers: response.headers });
}
const wasmResponse = fetch('kelvane.wasm').then(counted);
const indexReady = fetch('files.json').then((r) => {
  if (!r.ok) throw new Error(`files.json: ${r.status}`);
  return r.json();
}).then((index) => {
  load.index = index;
  load.total = index.files['kelvane.wasm'] + index.files[index.data.file];
  showProgress();
  return index;
});

function putDataFile(name, bytes) {
  if (!load.runtime) {
    load.pending.push([name, bytes]);
    return;
  }
  Module.FS.writeFile('/game/' + name, bytes);
}
// The data file is the data folder's files one after another, in the order
// files.json lists them with their sizes.
async function streamData() {
  const index = await indexReady;
  const entries = index.data.entries;
  const reader = counted(await fetch(index.data.file)).body.getReader();
  let entry = 0, have = 0, parts = [];
  const complete = () => {
    while (entry < entries.length && have === entries[entry][1]) {
      const [name, size] = entries[entry];
      const bytes = new Uint8Array(size);
      let at = 0;
      for (const p of parts) {
        bytes.set(p, at);
        at += p.length;
      }
      putDataFile(name, bytes);
      parts = [];
      have = 0;
      if (++entry === index.data.form) formDataArrived();
    }
  };
  if (index.data.form === 0) formDataArrived();
  complete();
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    let chunk = value;
    while (chunk.length && entry < entries.length) {
      const take = Math.min(entries[entry][1] - have, chunk.length);
      parts.push(chunk.subarray(0, take));
      have += take;
      chunk = chunk.subarray(take);
      complete();
    }
  }
  if (entry < entries.length) throw new Error(`${index.data.file} ended after ${entry} of ${entries.length} files`);
  load.allData = true;
  allDataArrived();
  whenReady();
}
function formDataArrived() {
  load.formData = true;
  whenReady();
}
function whenReady() {
  if (!load.runtime) return;
  if (testMode) {
    if (load.allData && !window.kelvaneReady) {
      document.getElementById('loading').hidden = true;
      kelvanePage.status('Test mode: ready');
      window.kelvaneReady = true;
    }
    return;
  }
  if (load.formData && !load.started) {
    load.started = true;
    kelvanePage.startPlay();
  }
  if (load.allData) document.getElementById('loading').hidden = true;
}
streamData().catch(loadFailed);

window.Module = {
  canvas: document.getElementById('screen'),
  print: (text) => console.log(text),
  printErr: (text) => {
    kelvanePage.stderr.push(text);
    console.warn(text);
  },
  // The program compiles while it streams in, counted into the bar.
  instantiateWasm(imports, receive) {
    wasmResponse.then((r) => WebAssembly.instantiateStreaming(r, imports))
      .then(({ instance, module }) => receive(instance, module))
      .catch(loadFailed);
    return {};
  },
  onRuntimeInitialized() {
    Module.FS.mkdir('/game');
    load.runtime = true;
    for (const [name, bytes] of load.pending.splice(0)) putDataFile(name, bytes);
    whenReady();
  },
};

// ---- Play -----------------------------------------------------------------

const SAVE = '/kelvane';
const call = (name, ret, types, args) => Module.ccall(name, ret, types, args);
kelvanePage.factor = 1;

// A file of the data folder as the game sees it: the player's own copy in
// storage, else the preloaded one.
kelvanePage.readFile = function (path) {
  for (const p of [path, path.startsWith(SAVE + '/') ? '/game/' + path.slice(SAVE.length + 1) : null]) {
    if (!p) continue;
    try {
      return Module.FS.readFile(p);
    } catch (err) { /* not there */ }
  }
  return null;
};
kelvanePage.client = { w: 640, h: 480 };

// The player's files live in IndexedDB; the game's writes are copied there
// shortly after they happen, in one transaction each time.
let persistTimer = 0;
const unsaved = new Map();  // path -> how often written since storage had it
kelvanePage.persist = function (path) {
  if (path) unsaved.set(path, (unsaved.get(path) || 0) + 1);
  clearTimeout(persistTimer);
  persistTimer = setTimeout(() => kelvanePage.persistNow(), 100);
};
kelvanePage.persistNow = function () {
  clearTimeout(persistTimer);
  persistTimer = 0;
  const sent = new Map(unsaved);
  return new Promise((resolve) => Module.FS.syncfs(false, (err) => {
    if (err) console.warn('Kelvane: the browser storage could not be written', err);
    else for (const [path, n] of sent) if (unsaved.get(path) === n) unsaved.delete(path);
    resolve(!err);
  }));
};
// A closing tab gets no time for a whole copy (list what storage holds,
// then write): the files written since it last caught up go out in one
// transaction sent at once, which the browser completes after the page.
kelvanePage.persistAtExit = function () {
  const IDBFS = Module.IDBFS || Module.FS.filesystems.IDBFS;
  const db = IDBFS.dbs[SAVE];
  if (!db || !unsaved.size) return;
  try {
    const tx = db.transaction([IDBFS.DB_STORE_NAME], 'readwrite');
    const store = tx.objectStore(IDBFS.DB_STORE_NAME);
    for (const path of unsaved.keys())
      IDBFS.loadLocalEntry(path, (err, entry) => {
        if (err) store.delete(path);
        else store.put(entry, path);
      });
    if (tx.commit) tx.commit();
  } catch (err) {
    console.warn('Kelvane: the browser storage could not be written', err);
  }
};

// ---- The picture ----------------------------------------------------------------
// The game's frame goes into a canvas of the play area's own size; the
// player sees it enlarged to fill the stage as far as it fits. At a whole
// factor (in screen pixels) every pixel is a square block. At any other size
// the picture is "sharp bilinear": enlarged by the next whole factor with
// square blocks, then smoothed down to the size shown, so that every pixel
// keeps the same width and only its edges blend. Plain square blocks at, say,
// 1.67 are one or two screen pixels wide by turns, and plain smoothing blurs
// every pixel into its neighbours. Below 1 (a phone) the picture is smoothed.
// The frames the game hands over are not touched.
const view = { mode: 'whole', s: 1, n: 1, W: 640, H: 480, frame: null, mid: null };
kelvanePage.view = view;
function screenCanvas() { return document.getElementById('screen'); }
// Drawn without waiting for the page's next paint where the browser can.
const context = (canvas) => canvas.getContext('2d', { desynchronized: canvas.id === 'screen' });
// The canvas the game's rows are written to.
function frameTarget() {
  return view.mode === 'whole' ? screenCanvas() : view.frame;
}
function layout() {
  const canvas = screenCanvas();
  const stage = document.getElementById('stage');
  const { w, h } = kelvanePage.client;
  const box = stage.getBoundingClientRect();
  const dpr = window.devicePixelRatio || 1;
  // Screen pixels per game pixel.
  let s = Math.min((box.width * dpr) / w, (box.height * dpr) / h);
  if (!(s > 0)) s = 1;
  const whole = Math.floor(s + 1e-9);
  const mode = whole >= 1 && s - whole < 1e-9 ? 'whole' : s > 1 ? 'sharp' : 'smooth';
  const W = mode === 'whole' ? w * whole : Math.floor(w * s);
  const H = mode === 'whole' ? h * whole : Math.floor(h * s);
  const n = mode === 'sharp' ? Math.ceil(s) : 1;
  const backing = mode === 'whole' ? [w, h] : [W, H];
  const changed = mode !== view.mode || W !== view.W || H !== view.H || canvas.width !== backing[0] ||
                  canvas.height !== backing[1];
  Object.assign(view, { mode, s, n, W, H });
  kelvanePage.factor = Math.max(1, Math.floor(s / dpr));
  canvas.style.width = W / dpr + 'px';
  canvas.style.height = H / dpr + 'px';
  canvas.classList.toggle('whole', mode === 'whole');
  if (changed) {
    if (canvas.width !== backing[0] || canvas.height !== backing[1]) {
      canvas.width = backing[0];
      canvas.height = backing[1];
    }
    if (mode !== 'whole') {
      if (!view.frame || view.frame.width !== w || view.frame.height !== h) {
        view.frame = document.createElement('canvas');
        view.frame.width = w;
        view.frame.height = h;
      }
      if (mode === 'sharp' && (!view.mid || view.mid.width !== w * n || view.mid.height !== h * n)) {
        view.mid = document.createElement('canvas');
        view.mid.width = w * n;
        view.mid.height = h * n;
      }
    }
    redrawAll();
  }
  applyCursor();
}
window.addEventListener('resize', layout);
if (window.ResizeObserver) new ResizeObserver(() => layout()).observe(document.getElementById('stage'));

// Rows [top, bottom) of the frame canvas changed: they go on to the screen.
function blit(top, bottom) {
  if (view.mode === 'whole') return;
  const { w, h } = kelvanePage.client;
  const ctx = context(screenCanvas());
  let source = view.frame;
  if (view.mode === 'sharp') {
    const n = view.n;
    const mid = context(view.mid);
    mid.imageSmoothingEnabled = false;
    mid.drawImage(view.frame, 0, top, w, bottom - top, 0, top * n, w * n, (bottom - top) * n);
    source = view.mid;
  }
  // The whole picture is drawn, clipped to the rows it reaches (two more
  // each side for the smoothing): a part drawn alone would smooth its
  // edges against nothing.
  const y0 = Math.max(0, Math.floor((top * view.H) / h) - 2);
  const y1 = Math.min(view.H, Math.ceil((bottom * view.H) / h) + 2);
  ctx.save();
  ctx.beginPath();
  ctx.rect(0, y0, view.W, y1 - y0);
  ctx.clip();
  ctx.imageSmoothingEnabled = true;
  ctx.imageSmoothingQuality = view.mode === 'sharp' ? 'low' : 'high';
  ctx.drawImage(source, 0, 0, view.W, view.H);
  ctx.restore();
}
function redrawAll() {
  const image = kelvanePage.image;
  if (!image || image.data.byteLength === 0) return;
  context(frameTarget()).putImageData(image, 0, 0);
  blit(0, image.height);
}

kelvanePage.setClientSize = function (w, h) {
  kelvanePage.client = { w, h };
  if (view.frame && (view.frame.width !== w || view.frame.height !== h)) view.frame = null;
  view.mode = '';  // laid out anew
  kelvanePage.image = null;
  layout();
};

// The game hands over RGBA bytes in its own memory and the rows that changed:
// the page wraps them without copying and uploads only those rows.
kelvanePage.present = function (heap, ptr, w, h, top, bottom) {
  const { w: cw, h: ch } = kelvanePage.client;
  if (cw !== w || ch !== h) kelvanePage.setClientSize(w, h);
  let image = kelvanePage.image;
  // A grown memory detaches the old view, so the wrapper is made anew then.
  if (!image || image.width !== w || image.height !== h || kelvanePage.imagePtr !== ptr ||
      image.data.buffer !== heap.buffer || image.data.byteLength === 0) {
    image = kelvanePage.image = new ImageData(new Uint8ClampedArray(heap.buffer, ptr, w * h * 4), w, h);
    kelvanePage.imagePtr = ptr;
    top = 0;
    bottom = h;
  }
  context(frameTarget()).putImageData(image, 0, 0, 0, top, w, bottom - top);
  blit(top, bottom);
  kelvanePage.presented = (kelvanePage.presented || 0) + 1;
};

// The game's cursors are its own pictures (ARGB words), enlarged with the
// play area as the pixels around them are; 0 is the browser's arrow.
// Browsers refuse cursor images above 128 pixels.
const cursorUrls = new Map();
kelvanePage.cursor = { index: 0, visible: true, pixels: null, size: 0, hotX: 0, hotY: 0 };
function cursorUrl(c, k) {
  const key = c.index + '@' + k;
  if (cursorUrls.has(key)) return cursorUrls.get(key);
  const side = c.size * k;
  const canvas = document.createElement('canvas');
  canvas.width = canvas.height = side;
  const ctx = canvas.getContext('2d');
  const image = ctx.createImageData(side, side);
  for (let y = 0; y < side; ++y)
    for (let x = 0; x < side; ++x) {
      const argb = c.pixels[Math.floor(y / k) * c.size + Math.floor(x / k)];
      const o = (y * side + x) * 4;
      image.data[o] = (argb >>> 16) & 255;
      image.data[o + 1] = (argb >>> 8) & 255;
      image.data[o + 2] = argb & 255;
      image.data[o + 3] = argb >>> 24;
    }
  ctx.putImageData(image, 0, 0);
  const url = canvas.toDataURL('image/png');
  cursorUrls.set(key, url);
  return url;
}
function applyCursor() {
  const c = kelvanePage.cursor;
  const screen = document.getElementById('screen');
  if (!c.visible) {
    screen.style.cursor = 'none';
    return;
  }
  if (!c.size) {
    screen.style.cursor = 'default';
    return;
  }
  // As large as the pixels around it, in whole steps.
  const shown = view.s / (window.devicePixelRatio || 1);
  const k = Math.max(1, Math.min(Math.round(shown), Math.floor(128 / c.size)));
  screen.style.cursor = `url(${cursorUrl(c, k)}) ${c.hotX * k} ${c.hotY * k}, default`;
}
kelvanePage.setCursor = function (index, visible, pixels, size, hotX, hotY) {
  kelvanePage.cursor = { index, visible, pixels, size, hotX, hotY };
  applyCursor();
};

// Message boxes are modal, as on the desktop: while one is open the game
// stands still (the game's own boxes hold it from the wasm side, the page's
// here) and goes on when the last is answered.
kelvanePage.boxes = 0;
kelvanePage.afterBoxes = [];
// A box with its buttons; the promise gives the index of the one pressed.
kelvanePage.ask = function (text, buttons, fromGame) {
  const host = document.getElementById('message-host');
  const box = document.createElement('div');
  box.className = 'message';
  box.setAttribute('role', 'alertdialog');
  const p = document.createElement('p');
  p.textContent = text;
  const holds = fromGame || !!kelvanePage.running;
  if (holds && !fromGame) call('kelvane_box', null, ['number'], [1]);
  ++kelvanePage.boxes;
  const row = document.createElement('div');
  const answered = new Promise((resolve) => {
    buttons.forEach((caption, i) => {
      const b = document.createElement('button');
      b.textContent = caption;
      b.onclick = () => {
        box.remove();
        if (--kelvanePage.boxes === 0) screenCanvas().focus();
        if (holds) call('kelvane_box', null, ['number'], [0]);
        if (kelvanePage.boxes === 0) for (const f of kelvanePage.afterBoxes.splice(0)) f();
        resolve(i);
      };
      row.append(b);
    });
  });
  box.append(p, row);
  host.append(box);
  row.firstChild.focus();
  console.warn('Kelvane: ' + text);
  return answered;
};
kelvanePage.showMessage = function (text, fromGame) {
  kelvanePage.ask(text, ['OK'], fromGame);
};

kelvanePage.ended = function () {
  kelvanePage.running = false;
  document.body.classList.remove('running');
  kelvanePage.audio.shutdown();
  // A box the game showed on its way out is read before the page says so.
  // A closing tab writes its last files itself (persistAtExit): a whole copy
  // started now would only hold that write up behind its reading.
  const saved = kelvanePage.leaving ? Promise.resolve() : kelvanePage.persistNow();
  const shown = new Promise((resolve) => {
    if (kelvanePage.boxes === 0) resolve();
    else kelvanePage.afterBoxes.push(resolve);
  });
  Promise.all([saved, shown]).then(() => {
    document.getElementById('stage').style.display = 'none';
    const host = document.getElementById('dialog-host');
    host.innerHTML = '<div class="ended"><p>Kelvane has ended.</p>' +
                     '<button id="again">Start again</button></div>';
    document.getElementById('again').onclick = () => location.reload();
    kelvanePage.status('Ended');
    window.kelvaneEnded = true;
  });
};

// ---- The command list (F1) --------------------------------------------------
// The list is the game's second window: shown, it takes the focus as a new
// window does, and the keys typed there go through its own handling (on to
// the game; Escape's release hides it). A click on the canvas gives the
// keys back to the main window.
const listHasFocus = () => document.activeElement && document.activeElement.id === 'command-list';
kelvanePage.showCommandList = function (visible) {
  let panel = document.getElementById('command-list');
  if (!visible) {
    if (panel) {
      const focused = listHasFocus();
      panel.style.display = 'none';
      if (focused) screenCanvas().focus();
    }
    return;
  }
  const shownBefore = panel && panel.style.display === 'block';
  if (!panel) {
    panel = document.createElement('div');
    panel.id = 'command-list';
    panel.tabIndex = -1;
    document.body.append(panel);
  }
  const list = JSON.parse(call('kelvane_command_list', 'string', [], []));
  const table = document.createElement('table');
  const head = table.createTHead().insertRow();
  list.columns.forEach((caption, i) => {
    const th = document.createElement('th');
    const mark = Math.abs(list.sortKey) === i + 1 ? (list.sortKey > 0 ? ' ▲' : ' ▼') : '';
    th.textContent = caption + mark;
    th.style.width = list.widths[i] + 'px';
    th.onclick = () => {
      call('kelvane_command_list_sort', null, ['number'], [i + 1]);
      kelvanePage.showCommandList(true);
    };
    head.append(th);
  });
  const body = table.createTBody();
  for (const row of list.rows) {
    const tr = body.insertRow();
    for (const text of row) tr.insertCell().textContent = text;
  }
  const title = document.createElement('div');
  title.className = 'title';
  title.textContent = list.caption;
  const close = document.createElement('button');
  close.textContent = '×';
  close.onclick = () => call('kelvane_command_list_hide', null, [], []);
  title.append(close);
  panel.replaceChildren(title, table);
  panel.style.display = 'block';
  if (!shownBefore && !kelvanePage.boxes) panel.focus();
};

// ---- Input ------------------------------------------------------------------
// Keys the game reads keep the browser's own use of them away (scrolling,
// help, full screen); with Ctrl or the system key held the browser keeps its
// shortcuts, and the function keys the game ignores stay the browser's.
const BROWSER_KEEPS = new Set([116, 117, 118, 119, 120, 121, 123]);
// A key to the window that has the focus: the main window or the list.
function sendKey(code, down, shift, alt, repeat, numLock) {
  return call(listHasFocus() ? 'kelvane_list_key' : 'kelvane_key', 'number',
              ['string', 'number', 'number', 'number', 'number', 'number'],
              [code, numLock ? 1 : 0, down ? 1 : 0, shift ? 1 : 0, alt ? 1 : 0, repeat ? 1 : 0]);
}
function onKey(e, down) {
  if (!kelvanePage.running || e.target.closest && e.target.closest('.message, #dialog-host')) return;
  if ((e.code === 'Minus' || e.code === 'Equal') && !e.ctrlKey && !e.metaKey) {
    if (down) call('kelvane_volume', null, ['number', 'number'], [e.code === 'Minus' ? -10 : 10, e.shiftKey ? 1 : 0]);
    e.preventDefault();
    return;
  }
  const vk = sendKey(e.code, down, e.shiftKey, e.altKey, e.repeat, e.getModifierState('NumLock'));
  if (vk === 122 && down && !e.repeat) toggleFullScreen();
  const shortcut = (e.ctrlKey || e.metaKey) && vk !== 17 && vk !== 91;
  if (vk && !shortcut && !BROWSER_KEEPS.has(vk)) e.preventDefault();
}
document.addEventListener('keydown', (e) => onKey(e, true));
document.addEventListener('keyup', (e) => onKey(e, false));

function toggleFullScreen() {
  if (document.fullscreenElement) document.exitFullscreen();
  else document.documentElement.requestFullscreen().catch(() => {});
}
document.addEventListener('fullscreenchange', layout);

// Pointer positions in game pixels of the canvas as shown.
function gamePoint(e) {
  const r = screenCanvas().getBoundingClientRect();
  const { w, h } = kelvanePage.client;
  const x = Math.floor(((e.clientX - r.left) * w) / r.width), y = Math.floor(((e.clientY - r.top) * h) / r.height);
  const inside = x >= 0 && y >= 0 && x < w && y < h;
  return { x, y, inside };
}
function onMouse(e, kind) {
  if (!kelvanePage.running) return;
  const p = gamePoint(e);
  if (kind !== 0 && !p.inside) return;
  const button = e.button === 1 ? 1 : e.button === 2 ? 2 : e.button === 0 ? 0 : -1;
  if (kind !== 0 && kind < 3 && button < 0) return;  // the game knows three buttons
  call('kelvane_mouse', null, ['number', 'number', 'number', 'number', 'number', 'number', 'number'],
       [kind, button, p.x, p.y, p.inside ? 1 : 0, e.shiftKey ? 1 : 0, e.altKey ? 1 : 0]);
  if (kind !== 0) {
    e.preventDefault();
    kelvanePage.clicks = (kelvanePage.clicks || 0) + 1;  // buttons and wheel the game was given
  }
}
document.addEventListener('mousemove', (e) => onMouse(e, 0));
const canvasEl = document.getElementById('screen');
canvasEl.addEventListener('mousedown', (e) => { canvasEl.focus(); onMouse(e, 1); });
document.addEventListener('mouseup', (e) => onMouse(e, 2));
canvasEl.addEventListener('contextmenu', (e) => e.preventDefault());
canvasEl.addEventListener('wheel', (e) => {
  if (e.deltaY !== 0) onMouse(e, e.deltaY < 0 ? 3 : 4);
}, { passive: false });
window.addEventListener('blur', () => { if (kelvanePage.running) call('kelvane_blur', null, [], []); });
// A hidden tab may be discarded without another word: what the game wrote
// goes to storage now rather than after the usual short delay. Closing the
// tab closes the game, whose last writes go out the same way.
document.addEventListener('visibilitychange', () => {
  if (!document.hidden && kelvanePage.running) call('kelvane_wake', null, [], []);
  if (document.hidden && unsaved.size && !kelvanePage.leaving) kelvanePage.persistNow();
});
window.addEventListener('pagehide', () => {
  kelvanePage.leaving = true;
  if (kelvanePage.running) call('kelvane_close', null, [], []);
  kelvanePage.persistAtExit();
});

// ---- The touch pad --------------------------------------------------------------
// On a phone the pad is the keyboard: each button sends the key a keyboard
// would, down when pressed and up when let go, to the window that has the
// focus. Shift is a latch for a thumb: a tap holds it down until the next
// key has been pressed and let go, or until Shift is tapped again, so Shift
// then Return types Shift-down, Return-down, Return-up, Shift-up, as
// fingers on a keyboard do. While the pad is shown a touch on the canvas is
// not a mouse click (it would take snapshots and open the load list); a
// real mouse is unchanged. The pad shows where the primary pointer is
// coarse, or by the switch in the tools.
const coarse = window.matchMedia ? window.matchMedia('(pointer: coarse)') : { matches: false };
const padChoice = () => {
  const asked = kelvanePage.params.get('pad');
  if (asked === 'on' || asked === 'off') return asked;
  try { return localStorage.getItem('kelvane-pad'); } catch (err) { return null; }
};
function showPad() {
  const choice = padChoice();
  const on = choice === 'on' || (choice !== 'off' && coarse.matches);
  document.body.classList.toggle('touch', on);
  const sw = document.getElementById('pad-switch');
  if (sw) sw.setAttribute('aria-pressed', on ? 'true' : 'false');
  layout();
}
if (coarse.addEventListener) coarse.addEventListener('change', showPad);
document.getElementById('pad-switch').onclick = () => {
  const on = !document.body.classList.contains('touch');
  try { localStorage.setItem('kelvane-pad', on ? 'on' : 'off'); } catch (err) { /* kept for the visit */ }
  if (kelvanePage.params.has('pad')) kelvanePage.params.delete('pad');
  document.body.classList.toggle('touch', on);
  showPad();
};
const shiftLatch = { on: false };
function padKey(code, down) {
  if (!kelvanePage.running) return;
  if (down && navigator.vibrate) navigator.vibrate(12);
  if (code === 'ShiftLeft') {
    if (!down) return;
    shiftLatch.on = !shiftLatch.on;
    sendKey(code, shiftLatch.on, shiftLatch.on, false, false, false);
  } else {
    sendKey(code, down, shiftLatch.on, false, false, false);
    if (!down && shiftLatch.on) {
      shiftLatch.on = false;
      sendKey('ShiftLeft', false, false, false, false, false);
    }
  }
  document.querySelector('#pad-keys [data-code="ShiftLeft"]').setAttribute('aria-pressed', shiftLatch.on ? 'true' : 'false');
}
for (const button of document.querySelectorAll('.pad button')) {
  const code = button.dataset.code;
  let pointer = null;
  const release = (e) => {
    if (pointer === null || e.pointerId !== pointer) return;
    pointer = null;
    button.classList.remove('held');
    padKey(code, false);
  };
  button.addEventListener('pointerdown', (e) => {
    e.preventDefault();  // no focus, no mouse events, no text selection
    if (pointer !== null) return;
    pointer = e.pointerId;
    if (button.setPointerCapture) try { button.setPointerCapture(e.pointerId); } catch (err) { /* gone */ }
    button.classList.add('held');
    padKey(code, true);
  });
  button.addEventListener('pointerup', release);
  button.addEventListener('pointercancel', release);
  button.addEventListener('contextmenu', (e) => e.preventDefault());
}
// No mouse events, zoom or scroll follow a touch on the pad, nor on the
// canvas while the pad is shown.
for (const pad of document.querySelectorAll('.pad'))
  pad.addEventListener('touchstart', (e) => e.preventDefault(), { passive: false });
canvasEl.addEventListener('touchstart', (e) => {
  if (document.body.classList.contains('touch')) e.preventDefault();
}, { passive: false });

// Music files dropped on the page go into the page's file system first,
// then to the game's own drop handling.
document.addEventListener('dragover', (e) => e.preventDefault());
document.addEventListener('drop', async (e) => {
  e.preventDefault();
  if (!kelvanePage.running || !call('kelvane_accepts_drops', 'number', [], [])) return;
  const FS = Module.FS;
  try { FS.mkdir('/dropped'); } catch (err) { /* already there */ }
  const paths = [];
  for (const file of e.dataTransfer.files) {
    const name = file.name.replace(/[\/\n]/g, '_');
    FS.writeFile('/dropped/' + name, new Uint8Array(await file.arrayBuffer()));
    paths.push('/dropped/' + name);
  }
  if (paths.length) call('kelvane_drop', 'number', ['string'], [paths.join('\n')]);
});

// Gamepads: the desktop's table, polled every 10 ms while one is there.
//   D-pad, left stick -> arrows; A Y, B N, X C, Start Return, Back End,
//   left shoulder Page Up, right shoulder Page Down.
const PAD_KEYS = { 0: 89, 1: 78, 2: 67, 4: 33, 5: 34, 8: 35, 9: 13, 12: 38, 13: 40, 14: 37, 15: 39 };
const STICK_PRESS = 16000 / 32767, STICK_RELEASE = 8000 / 32767;
const padHolders = new Map();  // vk -> number of sources holding it
const padState = new Map();    // pad index -> {buttons:Set, x, y}
function padHold(vk, down) {
  const n = (padHolders.get(vk) || 0) + (down ? 1 : -1);
  padHolders.set(vk, n);
  if ((down && n === 1) || (!down && n === 0)) call('kelvane_pad_key', null, ['number', 'number'], [vk, down ? 1 : 0]);
}
function stickDirection(value, current) {
  if (value <= -STICK_PRESS) return -1;
  if (value >= STICK_PRESS) return 1;
  if (current < 0 && value <= -STICK_RELEASE) return -1;
  if (current > 0 && value >= STICK_RELEASE) return 1;
  return 0;
}
function pollPads() {
  if (!kelvanePage.running) return;
  for (const pad of navigator.getGamepads()) {
    if (!pad) continue;
    let s = padState.get(pad.index);
    if (!s) padState.set(pad.index, s = { buttons: new Set(), x: 0, y: 0 });
    for (const [i, vk] of Object.entries(PAD_KEYS)) {
      const pressed = pad.buttons[i] && pad.buttons[i].pressed;
      if (pressed !== s.buttons.has(vk)) {
        if (pressed) s.buttons.add(vk); else s.buttons.delete(vk);
        padHold(vk, pressed);
      }
    }
    for (const [axis, neg, pos] of [['x', 37, 39], ['y', 38, 40]]) {
      const next = stickDirection(pad.axes[axis === 'x' ? 0 : 1] || 0, s[axis]);
      if (next === s[axis]) continue;
      if (s[axis] !== 0) padHold(s[axis] < 0 ? neg : pos, false);
      s[axis] = next;
      if (next !== 0) padHold(next < 0 ? neg : pos, true);
    }
  }
}
// Pads are read only from the first pad's connection on, and the browser
// hears that the page wants pads only once the game runs: a listener makes
// it look for pads, which costs a little all the time.
let padTimer = 0;
function listenForPads() {
  if (listenForPads.done) return;
  listenForPads.done = true;
  window.addEventListener('gamepadconnected', () => { if (!padTimer) padTimer = setInterval(pollPads, 10); });
  window.addEventListener('gamepaddisconnected', padGone);
}
function padGone(e) {
  const s = padState.get(e.gamepad.index);
  if (s) {
    for (const vk of s.buttons) padHold(vk, false);
    if (s.x) padHold(s.x < 0 ? 37 : 39, false);
    if (s.y) padHold(s.y < 0 ? 38 : 40, false);
    padState.delete(e.gamepad.index);
  }
  if (padTimer && ![...navigator.getGamepads()].some(Boolean)) {
    clearInterval(padTimer);
    padTimer = 0;
  }
}

// ---- Sound: kelvane-music.js ------------------------------------------------------

// ---- The startup form ----------------------------------------------------------
const TEXT = {
  help: 'ゲームプレイ中は 「Ｆ１」 キーで ＨＥＬＰ が見られます。',
  colours: ['キャラクター１色　起動　　８秒　（初回以後高速化→　８秒）',
            'キャラクター２色　起動　５０秒　（初回以後高速化→１０秒）',
            'キャラクター３色　起動１００秒　（初回以後高速化→１２秒）'],
  drive: 'ＣＤドライブ', walls: '壁紙大/小',
  boxes: ['フォームサイズ小', '環境設定初期化', 'クリア情報初期化', 'カラーデータ再作成'],
  entry: 'エントリーネーム（英字×６） / 出身エリア（英字×７）',
  reset: '起動設定初期化',
};

function el(tag, props = {}, children = []) {
  const e = Object.assign(document.createElement(tag), props);
  e.append(...children);
  return e;
}

function previewUrl(prefix, item) {
  const bytes = kelvanePage.readFile(SAVE + '/' + prefix + item + '.jpg');
  return bytes ? URL.createObjectURL(new Blob([bytes], { type: 'image/jpeg' })) : '';
}

function openDialog() {
  const seed = kelvanePage.params.get('seed');
  // ?clock=stepped: a driver moves the game's time on (kelvane_advance).
  const c = JSON.parse(call('kelvane_dialog_open', 'string', ['number', 'number', 'number', 'number'],
                            [seed === null ? 0 : 1, seed === null ? 0 : Number(seed) >>> 0,
                             kelvanePage.params.has('trace') ? 1 : 0,
                             kelvanePage.params.get('clock') === 'stepped' ? 1 : 0]));
  const host = document.getElementById('dialog-host');
  const radios = TEXT.colours.map((text, i) =>
    el('label', {}, [el('input', { type: 'radio', name: 'colour', value: i, checked: i === c.colourMax }), text]));
  const boxes = TEXT.boxes.map((text, i) =>
    el('label', {}, [el('input', { type: 'checkbox', checked: i === 0 && c.smallWindow }), text]));
  const drive = el('select', { disabled: true }, [el('option', { textContent: 'non CD' })]);
  const wallList = (count, chosen) => {
    const s = el('select');
    for (const item of ['Random', ...Array.from({ length: count }, (_, k) => String(k + 1).padStart(2, '0'))])
      s.append(el('option', { textContent: item, selected: item === chosen }));
    return s;
  };
  const wallLarge = wallList(c.wallLargeCount, c.wallLarge);
  const wallSmall = wallList(c.wallSmallCount, c.wallSmall);
  const preview = el('img', { className: 'preview', alt: '' });
  const showPreview = (list, prefix) => {
    preview.src = list.selectedIndex > 0 ? previewUrl(prefix, list.value) : '';
  };
  wallLarge.onchange = () => showPreview(wallLarge, 'X_b');
  wallSmall.onchange = () => showPreview(wallSmall, 'X_s');
  const line = el('input', { type: 'text', value: c.entryLine, className: 'line' });
  const name = el('input', { type: 'text', value: c.entryName, maxLength: 6, className: 'glyphs' });
  const area = el('input', { type: 'text', value: c.entryArea, maxLength: 7, className: 'glyphs' });
  // The entry line is stored as at most entryLineBytes Shift-JIS bytes:
  // typing stops there instead of cutting a character in half.
  line.oninput = () => {
    let t = line.value;
    while (t && call('kelvane_sjis_bytes', 'number', ['string'], [t]) > c.entryLineBytes) t = t.slice(0, -1);
    if (t !== line.value) line.value = t;
  };
  for (const edit of [name, area])
    edit.oninput = () => {
      const t = call('kelvane_filter_entry', 'string', ['string'], [edit.value]);
      if (t !== edit.value) {
        const at = edit.selectionStart;
        edit.value = t;
        edit.setSelectionRange(at, at);
      }
    };
  const ok = el('button', { textContent: 'OK', id: 'ok' });
  const cancel = el('button', { textContent: 'Cancel', id: 'cancel' });
  const reset = el('button', { textContent: TEXT.reset, type: 'button' });
  reset.onclick = () => {
    radios[1].firstChild.checked = true;
    for (const b of boxes) b.firstChild.checked = false;
    wallLarge.selectedIndex = 0;
    wallSmall.selectedIndex = 0;
    preview.src = '';
    line.value = c.defaultEntryLine;
    name.value = c.defaultEntryName;
    area.value = c.defaultEntryArea;
  };
  const form = el('form', { id: 'startup' }, [
    el('div', { className: 'row' }, [el('span', { textContent: TEXT.help }), ok, cancel]),
    el('div', { className: 'cols' }, [
      el('div', {}, [...radios, el('div', { className: 'row' }, [
        el('span', { textContent: TEXT.drive }), drive,
        el('span', { textContent: TEXT.walls }), wallLarge, wallSmall])]),
      el('div', { className: 'panel' }, [preview]),
      el('div', {}, boxes)]),
    line,
    el('div', { className: 'row' }, [el('span', { textContent: TEXT.entry }), name, area, reset]),
  ]);
  form.onsubmit = async (e) => {
    e.preventDefault();
    if (form.dataset.starting) return;
    form.dataset.starting = '1';
    // Sound may start only within the click; the game waits for its data.
    kelvanePage.audio.start();
    if (!load.allData) {
      for (const input of form.elements) input.disabled = true;
      document.getElementById('loading').classList.add('waiting');
      await load.allDataPromise;
    }
    host.replaceChildren();
    const colour = radios.findIndex((r) => r.firstChild.checked);
    kelvanePage.running = true;
    document.body.classList.add('running');
    listenForPads();
    call('kelvane_start', 'number',
         ['number', 'number', 'number', 'number', 'number', 'string', 'string', 'string', 'string', 'string'],
         [colour < 0 ? 1 : colour, ...boxes.map((b) => (b.firstChild.checked ? 1 : 0)),
          wallLarge.value, wallSmall.value, line.value, name.value, area.value]);
    document.getElementById('stage').style.visibility = 'visible';
    document.getElementById('tools').style.display = 'flex';
    // A box the game showed while starting keeps the focus until answered.
    if (!kelvanePage.boxes) document.getElementById('screen').focus();
    kelvanePage.status('');
    window.kelvaneStarted = true;
  };
  cancel.onclick = (e) => {
    e.preventDefault();
    host.innerHTML = '<div class="ended"><p>Kelvane was not started.</p>' +
                     '<button id="again">Start again</button></div>';
    document.getElementById('again').onclick = () => location.reload();
  };
  form.onkeydown = (e) => { if (e.key === 'Escape') cancel.click(); };
  for (const kind of ['input', 'change', 'keydown', 'pointerdown'])
    form.addEventListener(kind, () => { kelvanePage.formTouched = true; });
  host.replaceChildren(form);
  document.getElementById('loading').classList.add('corner');
  radios[Math.max(0, c.colourMax)].firstChild.focus();
  kelvanePage.status('');
  window.kelvaneDialogShown = performance.now();
  // Fetched behind the game's own data, not in its way.
  kelvanePage.prefetched = load.allDataPromise.then(() => kelvanePage.audio.prefetch())
    .catch((err) => console.warn('Kelvane:', err));
}

kelvanePage.startPlay = function () {
  const FS = Module.FS;
  document.getElementById('stage').style.visibility = 'hidden';
  FS.mkdir(SAVE);
  FS.mount(Module.IDBFS || FS.filesystems.IDBFS, {}, SAVE);
  FS.syncfs(true, (err) => {
    if (err) kelvanePage.showMessage('The browser storage could not be read; settings will not be kept.');
    openDialog();
  });
};

// ---- Record files: shared runs ---------------------------------------------------
function slotNumber() { return Number(document.getElementById('slot').value); }
document.getElementById('download-record').onclick = () => {
  const file = call('kelvane_slot_file', 'string', ['number'], [slotNumber()]);
  let bytes = null;
  try { bytes = Module.FS.readFile(file); } catch (err) { /* empty slot */ }
  if (!bytes) {
    kelvanePage.showMessage(`Slot ${slotNumber()} holds no record.`);
    return;
  }
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob([bytes], { type: 'text/plain' }));
  a.download = file.split('/').pop();
  a.click();
  setTimeout(() => URL.revokeObjectURL(a.href), 1000);
};
document.getElementById('load-record').onclick = () => document.getElementById('record-file').click();
document.getElementById('record-file').onchange = async (e) => {
  const file = e.target.files[0];
  e.target.value = '';
  if (!file) return;
  kelvanePage.loadRecordFile(slotNumber(), new Uint8Array(await file.arrayBuffer()));
};
// A record in a file, through the game's own record checks; a slot that
// holds a record is replaced only when the player says so, told whose
// record would be lost. Resolves to the refusal, "kept" or "".
kelvanePage.loadRecordFile = async function (slot, bytes) {
  const refusal = checkRecord(slot, bytes, false);
  if (refusal) {
    kelvanePage.showMessage(refusal);
    return refusal;
  }
  const holds = call('kelvane_slot_holds', 'string', ['number'], [slot]);
  if (holds) {
    const h = JSON.parse(holds);
    const whose = h.unreadable ? 'a file that is not a readable record'
      : `the record of ${h.name.trim() || 'no name'}${h.area.trim() ? ' from ' + h.area.trim() : ''}` +
        (h.caption.trim() ? ` (${h.caption.trim()})` : '');
    const answer = await kelvanePage.ask(`Slot ${slot} holds ${whose}. Loading the file replaces it, and that record is lost.`,
                                         ['Replace it', 'Keep it']);
    if (answer !== 0) return 'kept';
  }
  return kelvanePage.importRecord(slot, bytes);
};
function checkRecord(slot, bytes, store) {
  Module.FS.writeFile('/upload.txt', bytes);
  const refusal = call('kelvane_import_record', 'string', ['number', 'string', 'number'], [slot, '/upload.txt', store ? 1 : 0]);
  Module.FS.unlink('/upload.txt');
  return refusal;
}
// Stores a record file in a slot (what it held goes), after the checks.
kelvanePage.importRecord = function (slot, bytes) {
  const refusal = checkRecord(slot, bytes, true);
  kelvanePage.showMessage(refusal || `The record is in slot ${slot}.`);
  return refusal;
};

// ---- Offline ----------------------------------------------------------------------
// The service worker (kelvane-sw.js) keeps every file of the page. A new
// build it has fetched whole waits until no page of the old one runs; a
// page that finds one waiting before anything was chosen on its form lets
// it take over and loads once more, from the new build.
if ('serviceWorker' in navigator && !testMode && window.isSecureContext) {
  const hadController = !!navigator.serviceWorker.controller;
  let reloading = false;
  navigator.serviceWorker.addEventListener('controllerchange', () => {
    if (hadController && !kelvanePage.running && !kelvanePage.formTouched && !reloading) {
      reloading = true;
      location.reload();
    }
  });
  // Registered once the page has what it needs: the worker's own fetches
  // then come from the browser's cache instead of competing with the page.
  load.allDataPromise.then(() => kelvanePage.prefetched).then(() => navigator.serviceWorker.register('kelvane-sw.js')).then((reg) => {
    const takeOver = () => {
      if (reg.waiting && hadController && !kelvanePage.running && !kelvanePage.formTouched)
        reg.waiting.postMessage('take-over');
    };
    takeOver();
    reg.addEventListener('updatefound', () => {
      const worker = reg.installing;
      if (worker) worker.addEventListener('statechange', () => { if (worker.state === 'installed') takeOver(); });
    });
    window.kelvaneWorker = true;
  }).catch((err) => console.warn('Kelvane: the page will not play offline:', err));
}
showPad();
