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
window.Module = {
  canvas: document.getElementById('screen'),
  print: (text) => console.log(text),
  printErr: (text) => {
    kelvanePage.stderr.push(text);
    console.warn(text);
  },
  onRuntimeInitialized() {
    if (testMode) {
      kelvanePage.status('Test mode: ready');
      window.kelvaneReady = true;
      return;
    }
    if (kelvanePage.startPlay) kelvanePage.startPlay();
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

// The largest whole enlargement that fits the page, sharp pixels.
function layout() {
  const canvas = document.getElementById('screen');
  const { w, h } = kelvanePage.client;
  const k = Math.max(1, Math.floor(Math.min(window.innerWidth / w, window.innerHeight / h)));
  kelvanePage.factor = k;
  canvas.style.width = w * k + 'px';
  canvas.style.height = h * k + 'px';
  applyCursor();
}
window.addEventListener('resize', layout);

kelvanePage.setClientSize = function (w, h) {
  kelvanePage.client = { w, h };
  const canvas = document.getElementById('screen');
  if (canvas.width !== w || canvas.height !== h) {
    canvas.width = w;
    canvas.height = h;
    kelvanePage.image = null;
  }
  layout();
};

// The game hands over RGBA bytes in its own memory and the rows that changed:
// the page wraps them without copying and uploads only those rows.
kelvanePage.present = function (heap, ptr, w, h, top, bottom) {
  const canvas = document.getElementById('screen');
  if (canvas.width !== w || canvas.height !== h) kelvanePage.setClientSize(w, h);
  const ctx = kelvanePage.ctx || (kelvanePage.ctx = canvas.getContext('2d', { desynchronized: true }));
  let image = kelvanePage.image;
  // A grown memory detaches the old view, so the wrapper is made anew then.
  if (!image || image.width !== w || image.height !== h || kelvanePage.imagePtr !== ptr ||
      image.data.buffer !== heap.buffer || image.data.byteLength === 0) {
    image = kelvanePage.image = new ImageData(new Uint8ClampedArray(heap.buffer, ptr, w * h * 4), w, h);
    kelvanePage.imagePtr = ptr;
    top = 0;
    bottom = h;
  }
  ctx.putImageData(image, 0, 0, 0, top, w, bottom - top);
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
  const k = Math.max(1, Math.min(kelvanePage.factor, Math.floor(128 / c.size)));
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
kelvanePage.showMessage = function (text, fromGame) {
  const host = document.getElementById('message-host');
  const box = document.createElement('div');
  box.className = 'message';
  box.setAttribute('role', 'alertdialog');
  const p = document.createElement('p');
  p.textContent = text;
  const ok = document.createElement('button');
  ok.textContent = 'OK';
  const holds = fromGame || !!kelvanePage.running;
  if (holds && !fromGame) call('kelvane_box', null, ['number'], [1]);
  ++kelvanePage.boxes;
  ok.onclick = () => {
    box.remove();
    if (--kelvanePage.boxes === 0) document.getElementById('screen').focus();
    if (holds) call('kelvane_box', null, ['number'], [0]);
    if (kelvanePage.boxes === 0) for (const f of kelvanePage.afterBoxes.splice(0)) f();
  };
  box.append(p, ok);
  host.append(box);
  ok.focus();
  console.warn('Kelvane: ' + text);
};

kelvanePage.ended = function () {
  kelvanePage.running = false;
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
kelvanePage.showCommandList = function (visible) {
  let panel = document.getElementById('command-list');
  if (!visible) {
    if (panel) panel.style.display = 'none';
    return;
  }
  if (!panel) {
    panel = document.createElement('div');
    panel.id = 'command-list';
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
};

// ---- Input ------------------------------------------------------------------
// Keys the game reads keep the browser's own use of them away (scrolling,
// help, full screen); with Ctrl or the system key held the browser keeps its
// shortcuts, and the function keys the game ignores stay the browser's.
const BROWSER_KEEPS = new Set([116, 117, 118, 119, 120, 121, 123]);
function onKey(e, down) {
  if (!kelvanePage.running || e.target.closest && e.target.closest('.message, #dialog-host')) return;
  if ((e.code === 'Minus' || e.code === 'Equal') && !e.ctrlKey && !e.metaKey) {
    if (down) call('kelvane_volume', null, ['number', 'number'], [e.code === 'Minus' ? -10 : 10, e.shiftKey ? 1 : 0]);
    e.preventDefault();
    return;
  }
  const vk = call('kelvane_key', 'number', ['string', 'number', 'number', 'number', 'number', 'number'],
                  [e.code, e.getModifierState('NumLock') ? 1 : 0, down ? 1 : 0, e.shiftKey ? 1 : 0,
                   e.altKey ? 1 : 0, e.repeat ? 1 : 0]);
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

// Pointer positions in game pixels: the canvas is the play area enlarged by
// a whole factor.
function gamePoint(e) {
  const r = document.getElementById('screen').getBoundingClientRect();
  const k = kelvanePage.factor;
  const x = Math.floor((e.clientX - r.left) / k), y = Math.floor((e.clientY - r.top) / k);
  const inside = x >= 0 && y >= 0 && x < kelvanePage.client.w && y < kelvanePage.client.h;
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
  if (kind !== 0) e.preventDefault();
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
let padTimer = 0;
window.addEventListener('gamepadconnected', () => { if (!padTimer) padTimer = setInterval(pollPads, 10); });
window.addEventListener('gamepaddisconnected', (e) => {
  const s = padState.get(e.gamepad.index);
  if (s) {
    for (const vk of s.buttons) padHold(vk, false);
    if (s.x) padHold(s.x < 0 ? 37 : 39, false);
    if (s.y) padHold(s.y < 0 ? 38 : 40, false);
    padState.delete(e.gamepad.index);
  }
});

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
  const c = JSON.parse(call('kelvane_dialog_open', 'string', ['number', 'number', 'number'],
                            [seed === null ? 0 : 1, seed === null ? 0 : Number(seed) >>> 0,
                             kelvanePage.params.has('trace') ? 1 : 0]));
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
  form.onsubmit = (e) => {
    e.preventDefault();
    host.replaceChildren();
    kelvanePage.audio.start();
    const colour = radios.findIndex((r) => r.firstChild.checked);
    kelvanePage.running = true;
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
  host.replaceChildren(form);
  radios[Math.max(0, c.colourMax)].firstChild.focus();
  kelvanePage.status('');
  kelvanePage.audio.prefetch();
  window.kelvaneDialogShown = performance.now();
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
  kelvanePage.importRecord(slotNumber(), new Uint8Array(await file.arrayBuffer()));
};
// Goes through the game's own record checks before it reaches the slot.
kelvanePage.importRecord = function (slot, bytes) {
  Module.FS.writeFile('/upload.txt', bytes);
  const refusal = call('kelvane_import_record', 'string', ['number', 'string'], [slot, '/upload.txt']);
  Module.FS.unlink('/upload.txt');
  kelvanePage.showMessage(refusal || `The record is in slot ${slot}.`);
  return refusal;
};
