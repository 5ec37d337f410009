// The page's server (Python's static server on 127.0.0.1) and headless
// Chromium with a fresh profile, for the browser tests and the figures.
'use strict';
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');
const { spawn } = require('child_process');

function freePort() {
  return new Promise((resolve, reject) => {
    const s = net.createServer();
    s.once('error', reject);
    s.listen(0, '127.0.0.1', () => {
      const { port } = s.address();
      s.close(() => resolve(port));
    });
  });
}

async function startServer(dir) {
  const port = await freePort();
  const child = spawn('python3', ['-m', 'http.server', String(port), '--bind', '127.0.0.1'],
                      { cwd: dir, stdio: 'ignore' });
  const base = `http://127.0.0.1:${port}`;
  for (let i = 0; i < 100; ++i) {
    const up = await new Promise((resolve) => {
      const c = net.connect(port, '127.0.0.1', () => { c.end(); resolve(true); });
      c.on('error', () => resolve(false));
    });
    if (up) break;
    await new Promise((r) => setTimeout(r, 100));
  }
  return { base, stop: () => child.kill() };
}

async function launchBrowser(extraArgs = []) {
  const puppeteer = require('puppeteer-core');
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvane-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    protocolTimeout: 30 * 60 * 1000,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run',
           '--autoplay-policy=no-user-gesture-required', ...extraArgs],
  });
  return { browser, profile };
}

// The value after --name on the command line, or dflt.
function option(name, dflt) {
  const argv = process.argv.slice(2);
  const i = argv.indexOf(name);
  return i >= 0 ? argv[i + 1] : dflt;
}

// The repository: --root, else the folder the tests live in.
function repoRoot() {
  return path.resolve(option('--root', path.join(__dirname, '..', '..')));
}

module.exports = { startServer, launchBrowser, option, repoRoot };
