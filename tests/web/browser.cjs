// The page's server and headless
// Chromium with a fresh profile, for the browser tests and the figures.
'use strict';
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');

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

// The page's own server (as scripts/web serves it), in this process; stop()
// also ends kept-alive connections, as a server that went away would.
async function startServer(dir) {
  const { serve } = require(path.join(__dirname, '..', '..', 'platform', 'web', 'serve.cjs'));
  const port = await freePort();
  const server = await serve(dir, port);
  return {
    base: `http://127.0.0.1:${port}`,
    stop: () => {
      server.close();
      server.closeAllConnections();
    },
  };
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

// A fresh data folder of links to the forged files of game, as the
// scenario tests make it (without what a player's runs write).
function dataCopy(game, tag) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), `kelvane-web-${tag}-`));
  for (const name of fs.readdirSync(game)) {
    if (name === 'Kelvane.ini' || name === 'kelvane' || /^[TU]/.test(name)) continue;
    if (!fs.statSync(path.join(game, name)).isFile()) continue;
    fs.symlinkSync(path.join(game, name), path.join(dir, name));
  }
  return dir + '/';
}

module.exports = { startServer, launchBrowser, option, repoRoot, dataCopy };
