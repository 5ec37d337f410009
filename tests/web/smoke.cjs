// The page in real time: the startup form, keys reaching the game, sound
// running, and settings kept in the browser's storage across a reload.
'use strict';

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// The game's trace lines so far (the page writes them with ?trace).
async function traceLines(page) {
  const text = await page.evaluate(() => Module.FS.readFile('/trace.jsonl', { encoding: 'utf8' }));
  return text.split('\n').filter(Boolean).map((l) => JSON.parse(l));
}

async function press(page, code, holdMs = 60) {
  await page.keyboard.down(code);
  await sleep(holdMs);
  await page.keyboard.up(code);
}

async function smoke(browser, base, report) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  try {
    await page.goto(base + '/index.html?trace', { waitUntil: 'load' });
    await page.waitForFunction('window.kelvaneDialogShown', { timeout: 60000 });
    const form = await page.$eval('#startup', (f) => ({
      radios: f.querySelectorAll('input[type=radio]').length,
      boxes: f.querySelectorAll('input[type=checkbox]').length,
      name: f.querySelector('input.glyphs').value,
    }));
    report('smoke dialog', form.radios === 3 && form.boxes === 4 ? null :
           `the form shows ${form.radios} colour choices and ${form.boxes} boxes`);

    // A name only the game's letters survive, to find after the reload.
    await page.$eval('#startup input.glyphs', (e) => { e.value = ''; e.focus(); });
    await page.keyboard.type('webt5#');
    const typed = await page.$eval('#startup input.glyphs', (e) => e.value);
    await page.click('#ok');
    await page.waitForFunction('window.kelvaneStarted');

    // Leave the demonstration and the opening (Return), then the mode menu:
    // Right moves its cursor, Y confirms; the dancer's menu follows.
    await sleep(3000);
    await press(page, 'Enter');
    await sleep(1500);
    await press(page, 'Enter');
    await sleep(2500);
    const beforeKeys = (await traceLines(page)).length;
    await press(page, 'ArrowRight');
    await sleep(800);
    await press(page, 'KeyY');
    await sleep(1500);
    const lines = await traceLines(page);
    const after = lines.slice(beforeKeys);
    const keys = after.filter((e) => e.ev === 'key' && e.op === 'down').map((e) => e.vk);
    const menu = after.filter((e) => e.ev === 'frame' && e.scene === 2).map((e) => e.sub);
    const scenes = [...new Set(lines.filter((e) => e.ev === 'frame').map((e) => e.scene))];
    const moved = menu.includes(25) && menu.includes(100);
    report('smoke keys', keys.join() === '39,89' && moved ? null :
           `keys ${keys.join()} reached the game; scenes ${scenes.join()}; menu steps ${[...new Set(menu)].join()}`);

    // Sound: the context runs and the menu's MIDI tune is heard.
    let level = 0;
    for (let i = 0; i < 40 && level < 0.001; ++i) {
      await sleep(250);
      level = await page.evaluate(() => kelvanePage.audio.level());
    }
    const state = await page.evaluate(() => kelvanePage.audio.ctx && kelvanePage.audio.ctx.state);
    const tune = await page.evaluate(() => kelvanePage.audio.tune && kelvanePage.audio.tune.path);
    report('smoke sound', state === 'running' && level >= 0.001 && /\.mid$/i.test(tune || '') ? null :
           `audio context ${state}, output peak ${level.toFixed(5)}, tune ${tune}`);

    // The game ends through its own close; its settings survive the reload.
    await page.evaluate(() => Module.ccall('kelvane_close', null, [], []));
    await page.waitForFunction('window.kelvaneEnded', { timeout: 30000 });
    await page.reload({ waitUntil: 'load' });
    await page.waitForFunction('window.kelvaneDialogShown', { timeout: 60000 });
    const kept = await page.$eval('#startup input.glyphs', (e) => e.value);
    report('smoke storage', kept === typed && typed === 'WEBT5_' ? null :
           `typed "${typed}", read back "${kept}" after the reload`);
    report('smoke page errors', errors.length ? errors.join('; ') : null);
  } finally {
    await page.close();
  }
}

module.exports = { smoke };
