// Figures of the browser build (a report, not a test): the download as the
// server sends it, page load to the startup form cold and warm, the form and
// the first sound on a 5 Mbit/s link, Chromium's CPU while the game plays
// with music at 1280 x 800, and screenshots of the page in play.
// Usage: node tests/web/figures.cjs --root REPO [--shot FILE] [--shots DIR] [--seconds N]
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { startServer, launchBrowser, option, repoRoot } = require('./browser.cjs');

const opt = option;
const ROOT = repoRoot();
const PAGE = path.join(ROOT, 'build-web', 'page');
const SHOT = opt('--shot', '');
const SHOTS = opt('--shots', '');
const SECONDS = Number(opt('--seconds', '30'));
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const TICK = 100;  // clock ticks a second in /proc

// CPU seconds of every thread of a process and the processes below it,
// keyed by "process kind / thread name" (the kind from Chromium's --type).
function treeThreads(pid) {
  const children = new Map();
  for (const name of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) continue;
    try {
      const stat = fs.readFileSync(`/proc/${name}/stat`, 'utf8');
      const ppid = Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
      if (!children.has(ppid)) children.set(ppid, []);
      children.get(ppid).push(Number(name));
    } catch (e) { /* gone */ }
  }
  const cpu = new Map();
  const stack = [pid];
  while (stack.length) {
    const p = stack.pop();
    stack.push(...(children.get(p) || []));
    let kind = 'browser';
    try {
      // Chromium rewrites its command line into one string.
      const line = fs.readFileSync(`/proc/${p}/cmdline`, 'utf8').replace(/\0/g, ' ');
      const type = /--type=(\S+)/.exec(line);
      const sub = /--utility-sub-type=(\S+)/.exec(line);
      if (type) kind = type[1] + (sub ? ':' + sub[1].replace(/\.mojom\.\w+$/, '') : '');
      else if (p !== pid) kind = path.basename(line.split(' ')[0] || 'child');
      for (const tid of fs.readdirSync(`/proc/${p}/task`)) {
        const stat = fs.readFileSync(`/proc/${p}/task/${tid}/stat`, 'utf8');
        const comm = stat.slice(stat.indexOf('(') + 1, stat.lastIndexOf(')')).replace(/\d+$/, '#');
        const f = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
        const key = `${kind}[${p}] / ${comm}`;
        cpu.set(key, (cpu.get(key) || 0) + (Number(f[11]) + Number(f[12])) / TICK);
      }
    } catch (e) { /* gone */ }
  }
  return cpu;
}

// Where the CPU went between two samples: per process and its busiest threads.
function breakdown(before, after, wall) {
  const rows = [];
  for (const [key, t] of after) {
    const d = t - (before.get(key) || 0);
    if (d > 0) rows.push([key, d]);
  }
  const byProcess = new Map();
  for (const [key, d] of rows) {
    const proc = key.slice(0, key.indexOf(' / '));
    byProcess.set(proc, (byProcess.get(proc) || 0) + d);
  }
  const pct = (d) => `${(100 * d / wall).toFixed(1).padStart(5)} %`;
  const out = [];
  for (const [proc, d] of [...byProcess].sort((a, b) => b[1] - a[1])) {
    out.push(`  ${pct(d)}  ${proc}`);
    for (const [key, t] of rows.filter((r) => r[0].startsWith(proc + ' / ')).sort((a, b) => b[1] - a[1]).slice(0, 5))
      if (100 * t / wall >= 0.2) out.push(`      ${pct(t)}  ${key.slice(proc.length + 3)}`);
  }
  return out.join('\n');
}

// The page's files as the server sends them to a browser that takes
// brotli (the .br copy where there is one).
function sizes() {
  const rows = [];
  let raw = 0, sent = 0;
  for (const name of fs.readdirSync(PAGE).sort()) {
    if (/\.(br|gz)$/.test(name)) continue;
    const size = fs.statSync(path.join(PAGE, name)).size;
    const br = path.join(PAGE, name + '.br');
    const wire = fs.existsSync(br) ? fs.statSync(br).size : size;
    rows.push(`  ${name.padEnd(36)} ${(size / 1e6).toFixed(2).padStart(7)} MB  sent ${(wire / 1e6).toFixed(2).padStart(6)} MB`);
    raw += size;
    sent += wire;
  }
  rows.push(`  ${'all'.padEnd(36)} ${(raw / 1e6).toFixed(2).padStart(7)} MB  sent ${(sent / 1e6).toFixed(2).padStart(6)} MB`);
  return rows.join('\n');
}

// A first visit over a 5 Mbit/s link (40 ms each way): the time to the
// startup form, then OK five seconds after it, and the time from OK to the
// first sound of the demonstration's tune.
async function throttled(browser, url) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  try {
    await page.setViewport({ width: 1280, height: 800 });
    const cdp = await page.createCDPSession();
    await cdp.send('Network.enable');
    await cdp.send('Network.emulateNetworkConditions', {
      offline: false, latency: 40, downloadThroughput: 5e6 / 8, uploadThroughput: 1e6 / 8,
    });
    const start = Date.now();
    await page.goto(url, { waitUntil: 'domcontentloaded' });
    await page.waitForFunction('window.kelvaneDialogShown', { timeout: 120000, polling: 20 });
    const form = Date.now() - start;
    await sleep(5000);
    await page.click('#ok');
    const ok = Date.now();
    await page.waitForFunction('window.kelvaneStarted', { timeout: 120000, polling: 20 });
    const started = Date.now() - ok;
    await page.waitForFunction('kelvanePage.audio.level() > 0.001', { timeout: 120000, polling: 20 });
    const sound = Date.now() - ok;
    // The tune: opened by the game, then heard.
    const first = await firstSound(page, ok);
    console.log(`5 Mbit/s first visit: the form after ${form} ms; OK pressed 5 s later; ` +
                `the game started ${started} ms, the first sound ${sound} ms after OK; the tune ` +
                `${first.tune} opened ${first.open} ms and heard ${first.sound} ms after OK`);
  } finally {
    await context.close();
  }
}

// The page in play (the demonstration) at a window size, or a phone's.
async function screenshot(browser, url, name, viewport) {
  const page = await browser.newPage();
  try {
    await page.setViewport(viewport);
    await page.goto(url, { waitUntil: 'load' });
    await page.waitForFunction('window.kelvaneDialogShown', { timeout: 120000 });
    await page.evaluate(() => document.getElementById('ok').click());
    await page.waitForFunction('window.kelvaneStarted');
    await sleep(6000);
    const file = path.join(SHOTS, name);
    await page.screenshot({ path: file });
    const shown = await page.evaluate(() => {
      const r = document.getElementById('screen').getBoundingClientRect();
      return `${Math.round(r.width)} x ${Math.round(r.height)} (${kelvanePage.view.mode}, ${kelvanePage.view.s.toFixed(2)} screen pixels a pixel)`;
    });
    console.log(`Screenshot ${file}: ${viewport.width} x ${viewport.height}, the picture ${shown}`);
  } finally {
    await page.close();
  }
}

async function dialogTime(page, url) {
  const start = Date.now();
  await page.goto(url, { waitUntil: 'load' });
  await page.waitForFunction('window.kelvaneDialogShown', { timeout: 120000 });
  return Date.now() - start;
}

// Chromium's CPU over SECONDS of what the page is doing now.
async function measure(page, pid, what) {
  const presented0 = await page.evaluate(() => kelvanePage.presented || 0);
  const before = treeThreads(pid);
  const t0 = Date.now();
  await sleep(SECONDS * 1000);
  const after = treeThreads(pid);
  const wall = (Date.now() - t0) / 1000;
  let cpu = 0;
  for (const [key, t] of after) cpu += Math.max(0, t - (before.get(key) || 0));
  const frames = await page.evaluate(() => kelvanePage.presented || 0) - presented0;
  let level = 0;
  for (let i = 0; i < 10; ++i, await sleep(100))
    level = Math.max(level, await page.evaluate(() => kelvanePage.audio.level()));
  console.log(`Chromium's CPU ${what} over ${wall.toFixed(1)} s: ` +
              `${(100 * cpu / wall).toFixed(1)} % of a core (all its processes; ` +
              `${frames} frames presented, output peak ${level.toFixed(3)}); ` +
              `load average ${os.loadavg()[0].toFixed(2)}\n` + breakdown(before, after, wall));
}

// When the game opened its first tune and when it was first heard (ms
// after okAt).
async function firstSound(page, okAt) {
  await page.waitForFunction(() => kelvanePage.audio.tune, { polling: 10, timeout: 120000 });
  const open = Date.now() - okAt;
  await page.waitForFunction(() => kelvanePage.audio.level() > 0.001, { polling: 10, timeout: 120000 });
  const sound = Date.now() - okAt;
  return { open, sound, tune: await page.evaluate(() => kelvanePage.audio.tune && kelvanePage.audio.tune.path) };
}

async function main() {
  console.log('Download as sent (brotli where it shrinks):\n' + sizes());
  const server = await startServer(PAGE);
  const { browser, profile } = await launchBrowser();
  try {
    const url = server.base + '/index.html';
    await throttled(browser, url);
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 800 });
    const cold = await dialogTime(page, url);
    const warm = await dialogTime(page, url);
    console.log(`Page load to the startup form at full speed: cold ${cold} ms, warm ${warm} ms`);

    // The first sound: the game opens the demonstration's tune some 2 s
    // after OK, whose render is then fetched and decoded.
    const okAt = Date.now();
    await page.click('#ok');
    await page.waitForFunction('window.kelvaneStarted');
    const first = await firstSound(page, okAt);
    console.log(`OK to the first tune's open ${first.open} ms, to its first sound ${first.sound} ms (${first.tune})`);
    const pid = browser.process().pid;
    // The game opens with a demonstration, a match the computer plays to its
    // tune: play with music. Return leaves it for the opening, whose title
    // animates every frame over the menu tune: the busier case.
    await sleep(4000);
    const mode = await page.evaluate(() => `${kelvanePage.view.mode}, ${kelvanePage.view.s.toFixed(2)} screen pixels a pixel`);
    await measure(page, pid, `in play at 1280 x 800 (${mode}; the demonstration match) with music`);
    if (SHOT) {
      fs.mkdirSync(path.dirname(SHOT), { recursive: true });
      await page.screenshot({ path: SHOT });
      console.log(`Screenshot: ${SHOT}`);
    }
    // The same play at a whole factor, for what the even enlargement costs.
    await page.setViewport({ width: 1280, height: 960 });
    await sleep(1000);
    await measure(page, pid, `in play at 1280 x 960 (${await page.evaluate(() => kelvanePage.view.mode)}, the same match)`);
    await page.setViewport({ width: 1280, height: 800 });
    await page.keyboard.press('Enter');
    await sleep(4000);
    await measure(page, pid, 'in the opening with music at 1280 x 800');
    await page.close();
    if (SHOTS) {
      fs.mkdirSync(SHOTS, { recursive: true });
      const phone = { isMobile: true, hasTouch: true, deviceScaleFactor: 1 };
      await screenshot(browser, url, 'window-1280x800.png', { width: 1280, height: 800 });
      await screenshot(browser, url, 'window-1920x955.png', { width: 1920, height: 955 });
      await screenshot(browser, url, 'phone-portrait-390x844.png', { width: 390, height: 844, ...phone });
      await screenshot(browser, url, 'phone-landscape-844x390.png', { width: 844, height: 390, ...phone });
    }
  } finally {
    await browser.close();
    server.stop();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
