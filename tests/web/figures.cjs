// Figures of the browser build (a report, not a test): page load to the
// startup form cold and warm, Chromium's CPU while the game plays with
// music, the download's size, and a screenshot of the page in play.
// Usage: node tests/web/figures.cjs --root REPO [--shot FILE] [--seconds N]
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const { startServer, launchBrowser } = require('./browser.cjs');

const argv = process.argv.slice(2);
const opt = (name, dflt) => {
  const i = argv.indexOf(name);
  return i >= 0 ? argv[i + 1] : dflt;
};
const ROOT = path.resolve(opt('--root', path.join(__dirname, '..', '..')));
const PAGE = path.join(ROOT, 'build-web', 'page');
const SHOT = opt('--shot', '');
const SECONDS = Number(opt('--seconds', '30'));
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const TICK = 100;  // clock ticks a second in /proc

// CPU seconds of a process and every process below it.
function treeCpu(pid) {
  const children = new Map();
  const cpu = new Map();
  for (const name of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) continue;
    try {
      const stat = fs.readFileSync(`/proc/${name}/stat`, 'utf8');
      const f = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      const ppid = Number(f[1]);
      cpu.set(Number(name), (Number(f[11]) + Number(f[12])) / TICK);
      if (!children.has(ppid)) children.set(ppid, []);
      children.get(ppid).push(Number(name));
    } catch (e) { /* gone */ }
  }
  let total = 0;
  const stack = [pid];
  while (stack.length) {
    const p = stack.pop();
    total += cpu.get(p) || 0;
    stack.push(...(children.get(p) || []));
  }
  return total;
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

    await page.click('#ok');
    await page.waitForFunction('window.kelvaneStarted');
    // Into the opening, whose menu tune (MIDI) plays on.
    await sleep(3000);
    await page.keyboard.press('Enter');
    await sleep(4000);
    const pid = browser.process().pid;
    const cpu0 = treeCpu(pid);
    const t0 = Date.now();
    await sleep(SECONDS * 1000);
    const cpu = treeCpu(pid) - cpu0;
    const wall = (Date.now() - t0) / 1000;
    const level = await page.evaluate(() => kelvanePage.audio.level());
    const frames = await page.evaluate(() => kelvanePage.presented);
    console.log(`Chromium's CPU in play with music over ${wall.toFixed(1)} s: ` +
                `${(100 * cpu / wall).toFixed(1)} % of a core (all its processes; ` +
                `${frames} frames presented, output peak ${level.toFixed(3)})`);
    if (SHOT) {
      fs.mkdirSync(path.dirname(SHOT), { recursive: true });
      await page.screenshot({ path: SHOT });
      console.log(`Screenshot: ${SHOT}`);
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
