// The page on other screens: the picture enlarged evenly in a common window,
// Escape hiding the command list, a phone upright and on its side (the form
// fits, the canvas fills the screen, a whole match played on the touch pad
// runs as the same keys typed), and the page starting with no network.
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');
const { dataCopy } = require('./browser.cjs');

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const ROOT = path.join(__dirname, '..', '..');

async function traceLines(page) {
  const text = await page.evaluate(() => Module.FS.readFile('/trace.jsonl', { encoding: 'utf8' }));
  return text.split('\n').filter(Boolean);
}

async function startGame(page, url) {
  await page.goto(url, { waitUntil: 'load' });
  await page.waitForFunction('window.kelvaneDialogShown', { timeout: 120000 });
  await page.evaluate(() => document.getElementById('ok').click());
  await page.waitForFunction('window.kelvaneStarted', { timeout: 120000 });
}

// The screen's pixels, read back in the page from a screenshot.
async function screenPixels(page) {
  const shot = await page.screenshot({ encoding: 'base64' });
  return page.evaluate(async (png) => {
    const bitmap = await createImageBitmap(await (await fetch('data:image/png;base64,' + png)).blob());
    const c = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
    c.drawImage(bitmap, 0, 0);
    window.shotPixels = { w: bitmap.width, data: c.getImageData(0, 0, bitmap.width, bitmap.height).data };
    return bitmap.width;
  }, shot);
}

// A frame of known content, shown as the game shows its own: vertical
// one-pixel stripes above, horizontal ones below. Each white pixel must take
// the same share of the screen (its light summed over the screen pixels it
// touches is the scale, give or take a fifth of a pixel) and stay bright at
// its middle. Square blocks at 1.67 give some pixels 1 and others 2 screen
// pixels; plain smoothing dims every pixel to 0.7.
async function evenPixels(page) {
  await page.evaluate(() => {
    Module.ccall('kelvane_box', null, ['number'], [1]);  // the game holds still
    const { w, h } = kelvanePage.client;
    const ptr = Module._malloc(w * h * 4);
    const px = Module.HEAPU8.subarray(ptr, ptr + w * h * 4);
    for (let y = 0; y < h; ++y)
      for (let x = 0; x < w; ++x) {
        const white = y < h / 2 ? x % 2 === 0 : y % 2 === 0;
        px.fill(white ? 255 : 0, (y * w + x) * 4, (y * w + x) * 4 + 3);
        px[(y * w + x) * 4 + 3] = 255;
      }
    kelvanePage.present(Module.HEAPU8, ptr, w, h, 0, h);
  });
  await sleep(300);
  await screenPixels(page);
  const r = await page.evaluate(() => {
    const { w: sw, data } = window.shotPixels;
    const rect = document.getElementById('screen').getBoundingClientRect();
    const { w, h } = kelvanePage.client;
    const sx = rect.width / w, sy = rect.height / h;
    const light = (x, y) => data[((Math.round(rect.top) + y) * sw + Math.round(rect.left) + x) * 4] / 255;
    const worst = { cover: 0, peak: 1 };
    const check = (along, i, at) => {
      const s = along === 'x' ? sx : sy;
      const a = i * s, b = (i + 1) * s;
      let cover = 0, peak = 0;
      for (let p = Math.floor(a); p < Math.ceil(b); ++p) {
        const v = along === 'x' ? light(p, at) : light(at, p);
        cover += v;
        peak = Math.max(peak, v);
      }
      worst.cover = Math.max(worst.cover, Math.abs(cover - s));
      worst.peak = Math.min(worst.peak, peak);
    };
    const rowY = Math.floor(h / 4 * sy), colX = Math.floor(w / 2 * sx);
    for (let i = 2; i < w - 2; i += 2) check('x', i, rowY);
    for (let i = h / 2 + 2; i < h - 2; i += 2) check('y', i, colX);
    return { width: rect.width, height: rect.height, s: sx, worst };
  });
  await page.evaluate(() => Module.ccall('kelvane_box', null, ['number'], [0]));
  return r;
}

// A record the desktop program saved (slot 3 of a scenario's run).
function savedRecord() {
  const game = path.join(ROOT, 'build', 'game');
  const dir = dataCopy(game, 'record');
  try {
    execFileSync(path.join(game, 'kelvane'), ['--headless', '--data', dir, '--seed', '7', '--run-ms', '166000',
                 '--input', path.join(ROOT, 'tests', 'scenarios', 'save_and_replay.txt')], { stdio: 'ignore' });
    return [...fs.readFileSync(dir + 'Ac3.txt')];
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

// The keys of a scenario file as [ms, down, vk]; End becomes Return, which
// ends a turn as End does and is on the pad.
function scriptKeys(name) {
  const keys = [];
  for (const line of fs.readFileSync(path.join(ROOT, 'tests', 'scenarios', name), 'utf8').split('\n')) {
    const m = /^(\d+) key (down|up) (\d+)/.exec(line);
    if (m) keys.push([Number(m[1]), m[2] === 'down', Number(m[3]) === 35 ? 13 : Number(m[3])]);
  }
  return keys;
}
const PAD = { 13: 'Return', 16: 'Shift', 27: 'Escape', 32: 'Space', 37: 'Left', 38: 'Up', 39: 'Right', 40: 'Down', 78: 'N', 89: 'Y' };
const CODE = { 13: 'Enter', 16: 'ShiftLeft', 27: 'Escape', 32: 'Space', 37: 'ArrowLeft', 38: 'ArrowUp', 39: 'ArrowRight', 40: 'ArrowDown', 78: 'KeyN', 89: 'KeyY' };

// The match on the stepped clock, each key at its game time, by pad or
// keyboard; then Shift with Return (the pad's Shift holds for one key).
async function playMatch(page, byPad) {
  const keys = scriptKeys('match_vs_computer.txt');
  keys.push([50000, true, 16], [50100, true, 13], [50150, false, 13], [50150, false, 16]);
  let now = 0;
  const centre = {};
  for (const [ms, down, vk] of keys) {
    await page.evaluate((d) => Module.ccall('kelvane_advance', null, ['number'], [d]), ms - now);
    now = ms;
    if (byPad) {
      if (vk === 16 && !down) continue;  // the latch lets go by itself
      if (!centre[vk]) {
        centre[vk] = await page.$eval(`button[aria-label="${PAD[vk]}"]`, (b) => {
          const r = b.getBoundingClientRect();
          return [r.left + r.width / 2, r.top + r.height / 2];
        });
      }
      if (down) await page.touchscreen.touchStart(...centre[vk]);
      else await page.touchscreen.touchEnd();
      if (vk === 16) await page.touchscreen.touchEnd();
    } else if (down) {
      await page.keyboard.down(CODE[vk]);
    } else {
      await page.keyboard.up(CODE[vk]);
    }
  }
  await page.evaluate(() => Module.ccall('kelvane_advance', null, ['number'], [2000]));
  return traceLines(page);
}

async function phone(browser, base, report, width, height) {
  const page = await browser.newPage();
  const where = `${width}x${height}`;
  try {
    await page.setViewport({ width, height, isMobile: true, hasTouch: true, deviceScaleFactor: 1 });
    await page.goto(base + '/index.html?trace&seed=7&clock=stepped&coach=off', { waitUntil: 'load' });
    await page.waitForFunction('window.kelvaneDialogShown', { timeout: 120000 });
    const form = await page.evaluate(() => {
      const r = document.getElementById('startup').getBoundingClientRect();
      return { scroll: document.documentElement.scrollWidth, inner: innerWidth, left: r.left, right: r.right,
               ok: document.getElementById('ok').getBoundingClientRect().right };
    });
    report(`phone ${where} form fits`,
           form.scroll <= form.inner && form.left >= 0 && form.right <= form.inner && form.ok <= form.inner ? null :
           JSON.stringify(form));
    await page.evaluate(() => document.getElementById('ok').click());
    await page.waitForFunction('window.kelvaneStarted', { timeout: 120000 });
    await sleep(300);
    const shown = await page.evaluate(() => {
      const r = document.getElementById('screen').getBoundingClientRect();
      const pad = [...document.querySelectorAll('.pad button')].map((b) => {
        const q = b.getBoundingClientRect();
        return { label: b.getAttribute('aria-label'), w: q.width, h: q.height,
                 inside: q.left >= 0 && q.top >= 0 && q.right <= innerWidth && q.bottom <= innerHeight };
      });
      return { w: r.width, h: r.height, left: r.left, top: r.top, inner: [innerWidth, innerHeight],
               scroll: document.documentElement.scrollWidth, pad,
               touch: document.body.classList.contains('touch') };
    });
    const labels = shown.pad.map((p) => p.label).sort().join();
    const small = shown.pad.filter((p) => p.w < 44 || p.h < 44 || !p.inside);
    // Upright the picture fills the width; on its side it fills the height
    // between the pad's two halves.
    const fills = height > width ? Math.abs(shown.w - width) <= 1 : Math.abs(shown.h - height) <= 1 && shown.w > width / 2;
    report(`phone ${where} canvas and pad`,
           fills && shown.touch && shown.scroll <= width && small.length === 0 &&
           labels === 'Down,Escape,Left,N,Return,Right,Shift,Space,Up,Y' ? null : JSON.stringify({ ...shown, small }));
    if (height > width) {
      const trace = await playMatch(page, true);
      // A tap on the canvas is no click: no snapshot, no load list.
      await page.touchscreen.tap(shown.left + shown.w / 2, shown.top + shown.h / 2);
      await page.evaluate(() => Module.ccall('kelvane_advance', null, ['number'], [500]));
      const clicks = await page.evaluate(() => kelvanePage.clicks || 0);
      report(`phone ${where} canvas tap is no click`, clicks === 0 ? null : `the game was given ${clicks} mouse buttons`);
      return trace;
    }
    return null;
  } finally {
    await page.close();
  }
}

async function screens(browser, base, report) {
  // A common window: the picture larger than the game's own size, even.
  let page = await browser.newPage();
  try {
    await page.setViewport({ width: 1280, height: 800 });
    await startGame(page, base + '/index.html?trace&pad=off&coach=off');
    await sleep(1500);
    const even = await evenPixels(page);
    report('picture at 1280x800 is even', even.width > 640 && even.height > 480 && even.worst.cover <= 0.2 &&
           even.worst.peak >= 0.85 ? null : JSON.stringify(even));

    // F1 shows the list, Escape (released) hides it; keys reach the game
    // through the list as through its own window.
    const listShown = () => page.evaluate(() => {
      const l = document.getElementById('command-list');
      return !!l && l.style.display === 'block';
    });
    await page.keyboard.press('F1');
    await sleep(500);
    const shownAfterF1 = await listShown();
    await page.keyboard.press('Escape');
    await sleep(300);
    const shownAfterEscape = await listShown();
    const lines = await traceLines(page);
    const escape = lines.filter((l) => /"vk":27/.test(l));
    report('Escape hides the command list', shownAfterF1 && !shownAfterEscape &&
           escape.length === 2 && escape.every((l) => /"form":"keyFM"/.test(l)) ? null :
           `shown after F1 ${shownAfterF1}, after Escape ${shownAfterEscape}; ${escape.join(' ')}`);

    // A record file loaded into a full slot: the page names the record that
    // would be lost and keeps it unless told otherwise.
    const record = savedRecord();
    const answer = async (i) => {
      await page.waitForSelector('.message button');
      const text = await page.$eval('.message p', (p) => p.textContent);
      await page.evaluate((i) => document.querySelectorAll('.message button')[i].click(), i);
      return text;
    };
    await page.evaluate((b) => { window.asked = kelvanePage.loadRecordFile(6, new Uint8Array(b)); }, record);
    const stored = await answer(0);
    await page.evaluate((b) => { window.asked = kelvanePage.loadRecordFile(6, new Uint8Array(b)); }, record);
    const question = await answer(1);
    const kept = await page.evaluate(async () => ({
      result: await window.asked,
      bytes: Array.from(Module.FS.readFile('/kelvane/Ac6.txt')),
    }));
    const name = String.fromCharCode(...record.slice(4, 10)).trim();
    report('loading a record into a full slot asks first',
           /is in slot 6/.test(stored) && kept.result === 'kept' && question.includes(`Slot 6 holds the record of ${name}`) &&
           kept.bytes.join() === record.join() ? null :
           JSON.stringify({ stored, question, result: kept.result, name }));
  } finally {
    await page.close();
  }

  // The same match on the pad and on the keyboard: the same trace.
  const byPad = await phone(browser, base, report, 390, 844);
  await phone(browser, base, report, 844, 390);
  page = await browser.newPage();
  let byKeys;
  try {
    await page.setViewport({ width: 1280, height: 800 });
    await page.goto(base + '/index.html?trace&seed=7&clock=stepped&pad=off', { waitUntil: 'load' });
    await page.waitForFunction('window.kelvaneDialogShown', { timeout: 120000 });
    await page.evaluate(() => document.getElementById('ok').click());
    await page.waitForFunction('window.kelvaneStarted');
    await page.focus('#screen');
    byKeys = await playMatch(page, false);
  } finally {
    await page.close();
  }
  const scenes = new Set(byKeys.filter((l) => /"ev":"frame"/.test(l)).map((l) => JSON.parse(l).scene));
  let first = -1;
  for (let i = 0; i < Math.max(byPad.length, byKeys.length); ++i)
    if (byPad[i] !== byKeys[i]) {
      first = i;
      break;
    }
  const shiftKeys = byKeys.filter((l) => /"ev":"key"/.test(l)).slice(-4).map((l) => JSON.parse(l))
    .map((e) => `${e.op} ${e.vk}`).join();
  report('touch pad match equals typed keys',
         first < 0 && scenes.has(11) && scenes.has(13) && scenes.has(14) && shiftKeys === 'down 16,down 13,up 13,up 16' ? null :
         first >= 0 ? `line ${first + 1}: pad ${byPad[first]} / keys ${byKeys[first]}` :
         `scenes ${[...scenes].join()}; last keys ${shiftKeys}`,
         `${byKeys.length} trace lines`);
}

// After one visit the page starts with the server gone.
async function offline(browser, base, report, stopServer) {
  const page = await browser.newPage();
  try {
    await page.setViewport({ width: 1280, height: 800 });
    await page.goto(base + '/index.html', { waitUntil: 'load' });
    await page.waitForFunction('window.kelvaneDialogShown', { timeout: 120000 });
    const kept = await page.evaluate(async () => {
      const reg = await navigator.serviceWorker.ready;
      const keys = await caches.keys();
      const store = await caches.open(keys.find((k) => k.startsWith('kelvane-')));
      const index = await (await fetch('files.json')).json();
      const missing = [];
      for (const name of Object.keys(index.files)) if (!(await store.match(name))) missing.push(name);
      return { active: !!reg.active, stores: keys, missing };
    });
    stopServer();
    await page.reload({ waitUntil: 'load' });
    await page.waitForFunction('window.kelvaneDialogShown', { timeout: 60000 });
    await page.evaluate(() => document.getElementById('ok').click());
    await page.waitForFunction('window.kelvaneStarted', { timeout: 60000 });
    await page.waitForFunction('(kelvanePage.presented || 0) > 10', { timeout: 60000 });
    report('offline start', kept.active && kept.stores.length === 1 && kept.missing.length === 0 ? null :
           JSON.stringify(kept));
  } catch (e) {
    report('offline start', String(e));
  } finally {
    await page.close();
  }
}

// A new build on the server: the page that finds it (before its form is
// used) lets it take over and loads once more; then only the new build's
// store is left, holding the new files.
async function update(browser, report) {
  const { startServer } = require('./browser.cjs');
  const built = path.join(ROOT, 'build-web', 'page');
  const dir = fs.mkdtempSync(path.join(require('os').tmpdir(), 'kelvane-update-'));
  for (const name of fs.readdirSync(built)) fs.symlinkSync(path.join(built, name), path.join(dir, name));
  const server = await startServer(dir);
  const page = await browser.newPage();
  try {
    const url = server.base + '/index.html';
    await page.goto(url, { waitUntil: 'load' });
    await page.waitForFunction('window.kelvaneDialogShown', { timeout: 120000 });
    await page.evaluate(() => navigator.serviceWorker.ready);
    const before = await page.evaluate(() => caches.keys());
    // The next build: one page file changed, and the worker names it.
    for (const name of fs.readdirSync(dir))
      if (/^(kelvane-page\.js|kelvane-sw\.js)(\.br|\.gz)?$/.test(name)) fs.unlinkSync(path.join(dir, name));
    fs.writeFileSync(path.join(dir, 'kelvane-page.js'), fs.readFileSync(path.join(built, 'kelvane-page.js'), 'utf8') +
                     '\nwindow.kelvaneNextBuild = true;\n');
    fs.writeFileSync(path.join(dir, 'kelvane-sw.js'),
                     fs.readFileSync(path.join(built, 'kelvane-sw.js'), 'utf8').replace(/const VERSION = "[0-9a-f]+"/, 'const VERSION = "next"'));
    await page.reload({ waitUntil: 'load' });
    await page.waitForFunction('window.kelvaneNextBuild === true && window.kelvaneDialogShown', { timeout: 60000 });
    const after = await page.evaluate(async () => {
      const keys = await caches.keys();
      const store = await caches.open('kelvane-next');
      const kept = await (await store.match('kelvane-page.js')).text();
      return { keys, newPage: kept.includes('kelvaneNextBuild') };
    });
    report('an update replaces the kept files at once',
           before.length === 1 && before[0] !== 'kelvane-next' && after.keys.join() === 'kelvane-next' && after.newPage ? null :
           JSON.stringify({ before, after }));
  } catch (e) {
    report('an update replaces the kept files at once', String(e));
  } finally {
    await page.close();
    server.stop();
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

module.exports = { screens, offline, update };
