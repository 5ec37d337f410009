// The coach in the page, played in real time: the startup form in the
// chosen language, the how-to at the first start, and the panel naming a
// move typed by the player with the points and the reason the game's judge
// wrote into the trace.
'use strict';

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

async function lastFrame(page) {
  return page.evaluate(() => {
    const lines = Module.FS.readFile('/trace.jsonl', { encoding: 'utf8' }).trim().split('\n');
    for (let i = lines.length - 1; i >= 0; --i)
      if (lines[i].includes('"ev":"frame"')) return JSON.parse(lines[i]);
    return {};
  });
}

// Waits (up to timeoutMs) for a frame that passes test.
async function waitFrame(page, test, what, timeoutMs = 20000) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const f = await lastFrame(page);
    if (test(f)) return f;
    if (Date.now() > end) throw new Error(`waited for ${what}; the last frame is ${JSON.stringify(f)}`);
    await sleep(40);
  }
}

async function press(page, code) {
  await page.keyboard.down(code);
  await sleep(50);
  await page.keyboard.up(code);
  await sleep(60);
}

async function coach(browser, base, report) {
  // A context of its own: a first start, whatever the other tests stored.
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  try {
    await page.goto(base + '/index.html?trace&lang=en', { waitUntil: 'load' });
    await page.waitForFunction('window.kelvaneDialogShown', { timeout: 60000 });
    await page.waitForFunction(() => document.querySelector('#startup span').textContent.startsWith('Press F1'),
                               { timeout: 10000 }).catch(() => {});
    const help = await page.$eval('#startup span', (s) => s.textContent);
    report('coach startup form in English', help === 'Press F1 during play to see the HELP.' ? null :
           `the form's first line reads ${help}`);
    await page.click('#ok');
    await page.waitForFunction('window.kelvaneStarted');
    await page.waitForFunction(() => !document.getElementById('how-to').hidden, { timeout: 5000 }).catch(() => {});
    const first = await page.evaluate(() => ({
      howTo: !document.getElementById('how-to').hidden && document.getElementById('how-to').textContent,
      panel: !document.getElementById('coach').hidden,
    }));
    report('coach how-to and panel at the first start',
           first.panel && /F1/.test(first.howTo || '') && /landing key/.test(first.howTo || '') ? null :
           JSON.stringify(first));
    await page.click('#how-to-close');

    // To the human's turn: out of the demonstration and the opening, the
    // menu's three centre items, the music menu's start.
    await waitFrame(page, (f) => f.scene === 255, 'the demonstration');
    await press(page, 'Enter');
    await waitFrame(page, (f) => f.scene === 1 || f.scene === 2, 'the opening');
    await press(page, 'Enter');
    for (let i = 0; i < 3; ++i) {
      await waitFrame(page, (f) => f.scene === 2 && f.sub >= 33 && f.sub <= 90, 'the menu waiting');
      await press(page, 'Enter');
      await waitFrame(page, (f) => f.scene !== 2 || f.sub >= 100, 'the menu confirming');
    }
    await waitFrame(page, (f) => f.scene === 3 && f.sub === 10, 'the music menu waiting');
    await press(page, 'Enter');
    await waitFrame(page, (f) => f.scene === 10 && f.sub === 100, 'the human turn waiting');
    await sleep(400);
    const waiting = await page.$eval('#coach-prompt', (p) => p.textContent);
    report('coach prompt at the turn start', waiting === 'Your turn — Return starts' ? null :
           `the prompt reads ${waiting}`);
    await press(page, 'Enter');
    const play = await waitFrame(page, (f) => f.scene === 11, 'the play');
    // Down Down Y Down: a command typed in play.
    for (const key of ['ArrowDown', 'ArrowDown', 'KeyY', 'ArrowDown']) await press(page, key);
    const judged = await page.evaluate(async (from) => {
      for (let i = 0; i < 100; ++i) {
        const lines = Module.FS.readFile('/trace.jsonl', { encoding: 'utf8' }).trim().split('\n')
          .map((l) => JSON.parse(l)).filter((e) => e.ev === 'judge' && e.t > from && e.move);
        if (lines.length) return lines[lines.length - 1];
        await new Promise((r) => setTimeout(r, 50));
      }
      return null;
    }, play.t);
    await sleep(500);
    const shown = await page.$$eval('#coach-moves li', (l) => l.map((e) => e.textContent));
    const sign = judged && judged.points > 0 ? '+' : '';
    const want = judged && `${judged.move} ${sign}${judged.points} · `;
    report('coach panel names the judged move', judged && shown.some((s) => s.startsWith(want)) ? null :
           `judged ${JSON.stringify(judged)}; the panel shows ${JSON.stringify(shown)}`);

    // The switch to Japanese: the same move's reason, and the prompt, in
    // the texts converted from the desktop's translation files.
    await page.select('#coach-lang', 'ja');
    await sleep(500);
    const ja = await page.evaluate(() => ({
      moves: [...document.querySelectorAll('#coach-moves li')].map((e) => e.textContent),
      heading: document.querySelector('#coach h2').textContent,
      lang: document.documentElement.lang,
    }));
    report('coach in Japanese', ja.heading === 'コーチ' && ja.lang === 'ja' &&
           ja.moves.some((m) => /初めて|くり返し|着地|転倒/.test(m)) ? null : JSON.stringify(ja));
    report('coach page errors', errors.length ? errors.join('; ') : null);
  } finally {
    await context.close();
  }
}

module.exports = { coach };
