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

// Where the tune is heard against where the game's clock says it is (ms
// since its last play), with 300 ms of slack.
async function tuneAgainstClock(page) {
  const lines = await traceLines(page);
  const play = lines.filter((e) => e.ev === 'music').pop() || {};
  const frame = lines.filter((e) => e.ev === 'frame').pop() || {};
  const got = await page.evaluate(() => kelvanePage.audio.musicPosition());
  return { want: frame.t - play.t, got, slack: 300, op: play.op };
}

// What the page has fetched so far, by file name.
const fetched = (page) => page.evaluate(() =>
  performance.getEntriesByType('resource').map((e) => e.name.split('/').pop()));

async function smoke(browser, base, report) {
  let page = await browser.newPage();
  // Twice the play area: square blocks of 2 × 2.
  await page.setViewport({ width: 1280, height: 960 });
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  try {
    await page.goto(base + '/index.html?trace&coach=off', { waitUntil: 'load' });
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
    // Sound: the context runs and the menu's MIDI tune is heard.
    let level = 0;
    for (let i = 0; i < 40 && level < 0.001; ++i) {
      await sleep(250);
      level = await page.evaluate(() => kelvanePage.audio.level());
    }
    const state = await page.evaluate(() => kelvanePage.audio.ctx && kelvanePage.audio.ctx.state);
    const tune = await page.evaluate(() => kelvanePage.audio.tune && kelvanePage.audio.tune.path);
    // It plays from its render: the synthesiser and its soundfont are not
    // fetched for a default tune.
    const files = await fetched(page);
    const synthFiles = files.filter((f) => /soundfont|fluidsynth/.test(f));
    report('smoke sound', state === 'running' && level >= 0.001 && /\.mid$/i.test(tune || '') &&
           files.some((f) => f.endsWith('.mp3')) && !synthFiles.length ? null :
           `audio context ${state}, output peak ${level.toFixed(5)}, tune ${tune}, fetched ${files.join(' ')}`);

    // The menu shows the game's pointing hand, enlarged with the play area,
    // its hot spot at the finger tip.
    const cursor = await page.evaluate(() => ({
      css: getComputedStyle(document.getElementById('screen')).cursor, k: kelvanePage.factor }));
    const hand = cursor.css.match(/^url\("data:image\/png;base64,[^"]+"\) (\d+) (\d+), default$/);
    report('smoke cursor', hand && Number(hand[1]) === 4 * cursor.k && Number(hand[2]) === 0 ? null :
           `the canvas's cursor is ${cursor.css.slice(0, 60)}… at enlargement ${cursor.k}`);

    // A loaded record meets the slot files' checks before it reaches a slot;
    // the boxes saying so hold the game as modal boxes do: no frame and no
    // game time pass until they are answered, and the tune goes on from
    // where the game's clock stopped.
    const refusals = await page.evaluate(() => {
      const garbage = kelvanePage.importRecord(4, new TextEncoder().encode('not a record\r\n'));
      const huge = kelvanePage.importRecord(4, new Uint8Array(2 << 20).fill(65));
      let stored = true;
      try { Module.FS.stat('/kelvane/Ac4.txt'); } catch (e) { stored = false; }
      return { garbage, huge, stored };
    });
    report('smoke record refusals',
           /not a run record/.test(refusals.garbage) && /larger than any record/.test(refusals.huge) &&
           !refusals.stored ? null : JSON.stringify(refusals));
    const heldFrom = (await traceLines(page)).filter((e) => e.ev === 'frame').pop();
    await sleep(1500);
    const duringBox = (await traceLines(page)).filter((e) => e.ev === 'frame' && e.t > heldFrom.t).length;
    const boxes = await page.$$eval('.message button', (b) => b.length);
    for (let i = 0; i < boxes; ++i) await page.click('.message button');
    await sleep(800);
    const afterBox = (await traceLines(page)).filter((e) => e.ev === 'frame' && e.t > heldFrom.t);
    const resumed = await tuneAgainstClock(page);
    report('smoke box holds the game',
           boxes === 2 && duringBox === 0 && afterBox.length > 0 && afterBox[0].t - heldFrom.t < 600 &&
           resumed.op === 'play' && Math.abs(resumed.got - resumed.want) <= resumed.slack ? null :
           `${boxes} boxes; ${duringBox} frames while open; game time ${afterBox.length ? afterBox[0].t - heldFrom.t : '-'} ms ` +
           `across the box; tune after it ${JSON.stringify(resumed)}`);
    // A tune asked for from its middle starts there.
    await page.evaluate(() => kelvanePage.audio.musicPlay(12000, 30000, false));
    await sleep(800);
    const middle = await page.evaluate(() => kelvanePage.audio.musicPosition());
    report('smoke tune from the middle', middle >= 12000 && middle <= 13500 ? null : `at ${middle} ms`);

    // A MIDI tune without a render (here the open tune with a byte more
    // than the one rendered) plays through the synthesiser, fetched only
    // now; it starts where it is asked to.
    const own = await page.evaluate(async () => {
      const audio = kelvanePage.audio;
      const bytes = kelvanePage.readFile(audio.tune.path);
      Module.FS.writeFile('/own.mid', new Uint8Array([...bytes, 0]));
      audio.musicOpen('/own.mid');
      await audio.tune.ready;
      await audio.synthReady;
      audio.musicPlay(12000, 30000, false);
      await new Promise((r) => setTimeout(r, 800));
      return { ready: !!audio.synth,
               got: audio.synth && await audio.synth.retrievePlayerCurrentTick(),
               low: Module.ccall('kelvane_music_tick', 'number', ['number'], [12000]),
               high: Module.ccall('kelvane_music_tick', 'number', ['number'], [13500]) };
    });
    report('smoke tune without a render', own.ready && own.got >= own.low && own.got <= own.high &&
           (await fetched(page)).includes('soundfont.sf2') ? null : JSON.stringify(own));
    // A stopped synthesiser falls silent once its reverb has died away (it is
    // then not run at all) and sounds again with the next tune.
    const peakOver = (ms) => page.evaluate(async (ms) => {
      let peak = 0;
      for (const end = performance.now() + ms; performance.now() < end;) {
        peak = Math.max(peak, kelvanePage.audio.level());
        await new Promise((r) => setTimeout(r, 50));
      }
      return peak;
    }, ms);
    await page.evaluate(() => kelvanePage.audio.musicPause());
    await sleep(4500);
    const quiet = await peakOver(500);
    await page.evaluate(() => kelvanePage.audio.musicPlay(0, 30000, false));
    const again = await peakOver(2000);
    report('smoke tune after a silence', quiet === 0 && again >= 0.001 ? null :
           `output peak ${quiet} after the stop, ${again} with the next tune`);

    // What the player sees is the game's last frame: with the game held (as
    // a box holds it, without the box's shade), each pixel of the play area's
    // lower left quarter (clear of the tools) is a k-by-k block of the
    // frame's colour on the screen.
    const hold = (on) => page.evaluate((on) => Module.ccall('kelvane_box', null, ['number'], [on]), on);
    await hold(1);
    await sleep(500);
    const shot = await page.screenshot({ encoding: 'base64' });
    const shown = await page.evaluate(async (png) => {
      const bitmap = await createImageBitmap(await (await fetch('data:image/png;base64,' + png)).blob());
      const c = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
      c.drawImage(bitmap, 0, 0);
      const screen = c.getImageData(0, 0, bitmap.width, bitmap.height).data;
      const r = document.getElementById('screen').getBoundingClientRect();
      const { w, h } = kelvanePage.client, k = kelvanePage.view.s, frame = kelvanePage.image.data;
      let wrong = 0, first = null;
      for (let y = h / 2; y < h; ++y)
        for (let x = 0; x < w / 2; ++x)
          for (const d of [0, k - 1]) {
            const s = ((Math.round(r.top) + y * k + d) * bitmap.width + Math.round(r.left) + x * k + d) * 4;
            const g = (y * w + x) * 4;
            if (screen[s] !== frame[g] || screen[s + 1] !== frame[g + 1] || screen[s + 2] !== frame[g + 2]) {
              ++wrong;
              first = first || { x, y, screen: [...screen.slice(s, s + 3)], frame: [...frame.slice(g, g + 3)] };
            }
          }
      return { wrong, first, k };
    }, shot);
    await hold(0);
    report('smoke screen shows the frame', shown.wrong === 0 && shown.k === 2 ? null : JSON.stringify(shown));

    // The menu takes keys once its page has dropped in (steps 0..21).
    const frameNow = async () => (await traceLines(page)).filter((e) => e.ev === 'frame').pop() || {};
    for (let i = 0; i < 50; ++i) {
      const f = await frameNow();
      if (f.scene === 2 && f.sub > 21) break;
      await sleep(100);
    }
    const beforeKeys = (await traceLines(page)).length;
    // The menu takes a cursor key only at some steps of its idle loop: Right
    // again until the cursor has moved (step 25).
    for (let i = 0; i < 10 && !(await traceLines(page)).slice(beforeKeys).some((e) => e.sub === 25); ++i) {
      await press(page, 'ArrowRight');
      await sleep(400);
    }
    await press(page, 'KeyY');
    await sleep(1500);
    const lines = await traceLines(page);
    const after = lines.slice(beforeKeys);
    const keys = after.filter((e) => e.ev === 'key' && e.op === 'down').map((e) => e.vk);
    const menu = after.filter((e) => e.ev === 'frame' && e.scene === 2).map((e) => e.sub);
    const scenes = [...new Set(lines.filter((e) => e.ev === 'frame').map((e) => e.scene))];
    const moved = menu.includes(25) && menu.includes(100);
    report('smoke keys', keys.length >= 2 && keys.slice(-1)[0] === 89 && keys.slice(0, -1).every((k) => k === 39) && moved ? null :
           `keys ${keys.join()} reached the game; scenes ${scenes.join()}; menu steps ${[...new Set(menu)].join()}`);

    // A temporary file of a write the closed tab never finished is not kept.
    await page.evaluate(() => {
      Module.FS.writeFile('/kelvane/Ac7.txt.tmp42', 'half a record');
      return kelvanePage.persistNow();
    });

    // The game ends through its own close; its settings survive the reload.
    await page.evaluate(() => Module.ccall('kelvane_close', null, [], []));
    await page.waitForFunction('window.kelvaneEnded', { timeout: 30000 });
    await page.reload({ waitUntil: 'load' });
    await page.waitForFunction('window.kelvaneDialogShown', { timeout: 60000 });
    const kept = await page.$eval('#startup input.glyphs', (e) => e.value);
    report('smoke storage', kept === typed && typed === 'WEBT5_' ? null :
           `typed "${typed}", read back "${kept}" after the reload`);
    await sleep(1000);
    const stale = await page.evaluate(() => new Promise((resolve) => {
      const there = () => Module.FS.readdir('/kelvane').filter((n) => /\.tmp\d+$/.test(n));
      const now = there();
      // Read back from IndexedDB: the removal reached the storage too.
      Module.FS.syncfs(true, () => resolve({ now, stored: there(), ini: Module.FS.readdir('/kelvane').includes('Kelvane.ini') }));
    }));
    report('smoke stale temporary file', !stale.now.length && !stale.stored.length && stale.ini ? null :
           JSON.stringify(stale));

    // Closing the tab in play closes the game, and what it writes on the way
    // out (the volume set with "-") is there in the next visit.
    const volume = () => page.evaluate(() =>
      Number(new TextDecoder().decode(Module.FS.readFile('/kelvane/Kelvane.ini')).match(/BGMvol=(\d+)/)[1]));
    const volumeBefore = await volume();
    await page.click('#ok');
    await page.waitForFunction('window.kelvaneStarted');
    await sleep(1500);
    await press(page, 'Minus');
    await press(page, 'Minus');
    report('smoke page errors', errors.length ? errors.join('; ') : null);
    await page.close();
    page = await browser.newPage();
    await page.goto(base + '/index.html', { waitUntil: 'load' });
    await page.waitForFunction('window.kelvaneDialogShown', { timeout: 60000 });
    const volumeAfter = await volume();
    report('smoke closed tab keeps its last write', volumeAfter === volumeBefore - 20 ? null :
           `music volume ${volumeBefore} before, ${volumeAfter} after two steps down and a closed tab`);
  } finally {
    await page.close();
  }
}

module.exports = { smoke };
