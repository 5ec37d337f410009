// Figures of the browser build (a report, not a test): page load to the
// startup form cold and warm, OK to the first sound, Chromium's CPU while
// the game plays with music, the download's size, and a screenshot of the
// page in play.
// Usage: node tests/web/figures.cjs --root REPO [--shot FILE] [--seconds N]
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const { startServer, launchBrowser, option, repoRoot } = require('./browser.cjs');

const opt = option;
const ROOT = repoRoot();
const PAGE = path.join(ROOT, 'build-web', 'page');
const SHOT = opt('--shot', '');
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

function sizes() {
  const rows = [];
  let raw = 0, packed = 0;
  for (const name of fs.readdirSync(PAGE).sort()) {
    const bytes = fs.readFileSync(path.join(PAGE, name));
    const gz = zlib.gzipSync(bytes, { level: 9 }).length;
    rows.push(`  ${name.padEnd(36)} ${(bytes.length / 1e6).toFixed(2).padStart(7)} MB  gzip ${(gz / 1e6).toFixed(2).padStart(6)} MB`);
    raw += bytes.length;
    packed += gz;
  }
  rows.push(`  ${'all'.padEnd(36)} ${(raw / 1e6).toFixed(2).padStart(7)} MB  gzip ${(packed / 1e6).toFixed(2).padStart(6)} MB`);
  return rows.join('\n');
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

// A first visit over a 5 Mbit/s link (40 ms each way): the form, then OK
// pressed 5 s after it, and the first sound after that.
async function throttledStart(browser, url) {
  const page = await browser.newPage();
  const cdp = await page.target().createCDPSession();
  await cdp.send('Network.enable');
  await cdp.send('Network.setCacheDisabled', { cacheDisabled: true });
  await cdp.send('Network.emulateNetworkConditions',
                 { offline: false, latency: 80, downloadThroughput: 5e6 / 8, uploadThroughput: 1e6 / 8 });
  const form = await dialogTime(page, url);
  await sleep(5000);
  const okAt = Date.now();
  await page.click('#ok');
  const first = await firstSound(page, okAt);
  console.log(`At 5 Mbit/s: the form after ${form} ms; OK 5 s later, then the first tune's open ` +
              `${first.open} ms and its first sound ${first.sound} ms after OK`);
  await page.close();
}

async function main() {
  console.log('Download size:\n' + sizes());
  const server = await startServer(PAGE);
  const { browser, profile } = await launchBrowser();
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 960 });
    const url = server.base + '/index.html';
    const cold = await dialogTime(page, url);
    const warm = await dialogTime(page, url);
    console.log(`Page load to the startup form: cold ${cold} ms, warm ${warm} ms`);

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
    await measure(page, pid, 'in play (the demonstration match) with music');
    if (SHOT) {
      fs.mkdirSync(path.dirname(SHOT), { recursive: true });
      await page.screenshot({ path: SHOT });
      console.log(`Screenshot: ${SHOT}`);
    }
    await page.keyboard.press('Enter');
    await sleep(4000);
    await measure(page, pid, 'in the opening with music');
    await page.close();
    await throttledStart(browser, url);
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
