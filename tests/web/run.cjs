// The browser tests: the page in headless Chromium against the desktop
// program. Usage: node tests/web/run.cjs --root REPO [--only NAME]
// (NODE_PATH must hold puppeteer-core; scripts/web --test sets it.)
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const { startServer, launchBrowser, option, repoRoot, dataCopy } = require('./browser.cjs');
const { pngPixels } = require('./png.cjs');

const opt = option;
const ROOT = repoRoot();
const ONLY = opt('--only', '');
const CASE = opt('--case', '');
const GAME = path.join(ROOT, 'build', 'game');
const PAGE = path.join(ROOT, 'build-web', 'page');
const SEED = 7;

function runNative(c) {
  const dir = dataCopy(GAME, c.name);
  const args = ['--headless', '--data', dir, '--seed', String(SEED), '--run-ms', String(c.runMs),
                '--trace', dir + 'trace.jsonl', '--frames', dir + 'frames',
                '--frame-every', String(c.frameEvery)];
  if (c.script) args.push('--input', path.join(ROOT, 'tests', 'scenarios', c.script));
  let exitCode = 0;
  try {
    execFileSync(path.join(GAME, 'kelvane'), args, { stdio: ['ignore', 'ignore', 'pipe'] });
  } catch (e) {
    exitCode = e.status;
  }
  const frames = {};
  for (const name of fs.readdirSync(dir + 'frames').sort())
    frames[name] = fs.readFileSync(dir + 'frames/' + name);
  // The data folder's own name is the one thing the runs may differ in.
  const trace = fs.readFileSync(dir + 'trace.jsonl', 'utf8').split(dir).join('DATA/');
  const result = { exitCode, trace, frames };
  fs.rmSync(dir, { recursive: true, force: true });
  return result;
}

async function runWeb(browser, base, c) {
  const page = await browser.newPage();
  try {
    await page.goto(base + '/index.html?test', { waitUntil: 'load' });
    await page.waitForFunction('window.kelvaneReady === true', { timeout: 120000 });
    const script = c.script ? fs.readFileSync(path.join(ROOT, 'tests', 'scenarios', c.script), 'utf8') : '';
    const r = await page.evaluate((a) => window.kelvanePage.runTest(a),
                                  { script, seed: SEED, runMs: c.runMs, frameEvery: c.frameEvery });
    const frames = {};
    for (const [name, b64] of Object.entries(r.frames)) frames[name] = Buffer.from(b64, 'base64');
    return { exitCode: r.exitCode, trace: r.trace.split('/run/').join('DATA/'), frames, ms: r.ms };
  } finally {
    await page.close();
  }
}

// The first difference between the two runs, or null when they are the same.
function difference(native, web) {
  if (native.exitCode !== web.exitCode) return `exit code ${native.exitCode} natively, ${web.exitCode} in the page`;
  const a = native.trace.split('\n');
  const b = web.trace.split('\n');
  for (let i = 0; i < Math.max(a.length, b.length); ++i)
    if (a[i] !== b[i]) return `trace line ${i + 1}:\n  native: ${a[i]}\n  page:   ${b[i]}`;
  const names = Object.keys(native.frames);
  if (names.join() !== Object.keys(web.frames).join())
    return `frames ${names.length} natively, ${Object.keys(web.frames).length} in the page`;
  for (const name of names) {
    if (native.frames[name].equals(web.frames[name])) continue;
    const p = pngPixels(native.frames[name]);
    const q = pngPixels(web.frames[name]);
    if (p.width !== q.width || p.height !== q.height)
      return `${name}: ${p.width}x${p.height} natively, ${q.width}x${q.height} in the page`;
    for (let i = 0; i < p.rgb.length; i += 3)
      if (p.rgb[i] !== q.rgb[i] || p.rgb[i + 1] !== q.rgb[i + 1] || p.rgb[i + 2] !== q.rgb[i + 2]) {
        const px = i / 3;
        return `${name}: pixel (${px % p.width}, ${Math.floor(px / p.width)}) differs`;
      }
  }
  return null;
}

// The sessions compared: the untouched opening, a whole match by keys, a
// saved turn replayed, a whole match by the mouse alone, and dropped music
// files with the game's refusals. Frames are
// compared every frameEvery-th presented frame.
const CASES = [
  { name: 'opening', script: '', runMs: 60000, frameEvery: 50 },
  { name: 'match', script: 'match_vs_computer.txt', runMs: 47000, frameEvery: 25 },
  { name: 'replay', script: 'save_and_replay.txt', runMs: 330000, frameEvery: 250 },
  { name: 'mouse', script: 'mouse_only_match.txt', runMs: 42000, frameEvery: 25 },
  { name: 'drop', script: 'drop_music.txt', runMs: 20000, frameEvery: 50 },
];

async function equality(browser, base, report) {
  for (const c of CASES.filter((k) => !CASE || k.name === CASE)) {
    const native = runNative(c);
    const web = await runWeb(browser, base, c);
    const diff = difference(native, web);
    const lines = native.trace.split('\n').length - 1;
    const frames = Object.keys(native.frames).length;
    report(`equality ${c.name}`, diff,
           `${lines} trace lines, ${frames} frames (page ran ${(web.ms / 1000).toFixed(1)} s)`);
  }
}

async function main() {
  let passed = 0, failed = 0;
  const report = (name, error, detail) => {
    if (error) {
      ++failed;
      console.log(`FAIL ${name}: ${error}`);
    } else {
      ++passed;
      console.log(`ok   ${name}${detail ? ': ' + detail : ''}`);
    }
  };
  const server = await startServer(PAGE);
  const { browser, profile } = await launchBrowser();
  try {
    if (!ONLY || ONLY === 'equality') await equality(browser, server.base, report);
    if (!ONLY || ONLY === 'smoke') await require('./smoke.cjs').smoke(browser, server.base, report);
    const { screens, offline, update } = require('./screens.cjs');
    if (!ONLY || ONLY === 'screens') await screens(browser, server.base, report);
    if (!ONLY || ONLY === 'update') await update(browser, report);
    if (!ONLY || ONLY === 'sound') {
      const { soundLevels, synthLoudness, normaliseOff } = require('./sound.cjs');
      await soundLevels(browser, server.base, report);
      await synthLoudness(browser, server.base, report);
      await normaliseOff(browser, server.base, report);
    }
    if (!ONLY || ONLY === 'coach') await require('./coach.cjs').coach(browser, server.base, report);
    // Last: it stops the server.
    if (!ONLY || ONLY === 'offline') await offline(browser, server.base, report, server.stop);
  } finally {
    await browser.close();
    server.stop();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  console.log(`web: ${passed} passed, ${failed} failed`);
  process.exit(failed ? 1 : 0);
}

main().catch((e) => {
  console.log(`FAIL web tests: ${e.stack || e}`);
  process.exit(1);
});
