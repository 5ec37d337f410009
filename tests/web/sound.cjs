// The page's sound against the desktop's: default tunes, played from
// its render through the page's own chain (fetched, decoded by Chromium,
// lead-in skipped, at full volume), is as loud as the desktop plays it, and
// the effects stand against the music as they do on the desktop.
'use strict';

// The page as the tests drive it: data in, no game running.
async function testPage(browser, base, options = '') {
  const page = await browser.newPage();
  await page.goto(base + '/index.html?test' + options, { waitUntil: 'load' });
  await page.waitForFunction('window.kelvaneReady === true', { timeout: 120000 });
  return page;
}

async function soundLevels(browser, base, report) {
  const page = await testPage(browser, base);
  try {
    const r = await page.evaluate(async () => {
      const audio = kelvanePage.audio;
      audio.balance = JSON.parse(Module.ccall('kelvane_sound_balance', 'string', [], []));
      const list = await audio.loadList();
      // The quietest and the loudest tune by the level of their sounding
      // part, and the shortest.
      const names = Object.keys(list.tunes);
      const by = (f) => [...names].sort((a, b) => f(list.tunes[a]) - f(list.tunes[b]))[0];
      const chosen = [...new Set([by((t) => t.rmsDb), by((t) => -t.rmsDb), by((t) => t.frames)])];
      const tunes = [];
      for (const name of chosen)
        tunes.push({ name, ...(await audio.measureTune(name, list.tunes[name].frames / list.rate)) });
      const fx = [];
      for (const name of Object.keys(list.effects)) {
        const m = await audio.measureEffect('/game/' + name);
        fx.push({ name, page: m.rmsDb, desktop: m.desktop.rmsDb });
      }
      // A loud and a quiet WAV tune of a player's, measured as decoded and
      // brought to the default tunes' loudness.
      audio.ctx = new OfflineAudioContext(2, 1, 48000);
      const wavs = [];
      for (const amplitude of [0.7, 0.03]) {
        const rate = 44100, n = rate * 5;
        const v = new DataView(new ArrayBuffer(44 + n * 4));
        const text = (at, t) => [...t].forEach((c, i) => v.setUint8(at + i, c.charCodeAt(0)));
        text(0, 'RIFF'); v.setUint32(4, 36 + n * 4, true); text(8, 'WAVEfmt ');
        v.setUint32(16, 16, true); v.setUint16(20, 1, true); v.setUint16(22, 2, true);
        v.setUint32(24, rate, true); v.setUint32(28, rate * 4, true); v.setUint16(32, 4, true);
        v.setUint16(34, 16, true); text(36, 'data'); v.setUint32(40, n * 4, true);
        for (let i = 0; i < n; ++i) {
          const x = Math.round(32767 * amplitude * Math.sin(2 * Math.PI * 440 * i / rate) * Math.min(1, i / 4410));
          v.setInt16(44 + i * 4, x, true);
          v.setInt16(46 + i * 4, x, true);
        }
        Module.FS.writeFile('/own' + amplitude + '.wav', new Uint8Array(v.buffer));
        const how = await audio.decode('/own' + amplitude + '.wav', true);
        wavs.push({ amplitude, lufs: kelvanePage.loudness(how.buffer).lufs + 20 * Math.log10(how.gain) });
      }
      const target = Object.values(list.tunes).map((t) => t.lufs).sort((a, b) => a - b)[4];
      return { tunes, fx, wavs, target, effectsGain: audio.balance.effectsGain };
    });
    const off = r.tunes.map((t) => ({ name: t.name, lu: t.lufs - t.desktop.lufs }));
    const worst = off.reduce((a, b) => (Math.abs(b.lu) > Math.abs(a.lu) ? b : a));
    report('sound music as loud as the desktop', Math.abs(worst.lu) <= 1 ? null :
           `${worst.name}: the page ${worst.lu.toFixed(2)} LU from the desktop (${JSON.stringify(off)})`,
           `${r.tunes.length} tunes, at most ${Math.abs(worst.lu).toFixed(2)} LU apart ` +
           `(${r.tunes.map((t) => t.lufs.toFixed(1)).join(' ')} LUFS)`);
    report('sound own tunes as loud as the default ones',
           r.wavs.every((w) => Math.abs(w.lufs - r.target) <= 1) ? null : JSON.stringify(r),
           r.wavs.map((w) => `${w.lufs.toFixed(1)} LUFS`).join(', ') + ` against ${r.target.toFixed(1)}`);
    // A tune starts from the first seconds decoded alone; the whole takes
    // over on the same sample, so the two must agree where the head is used.
    const heads = r.tunes.filter((t) => t.headApart !== null);
    const seams = heads.filter((t) => !(t.headApart < 0.01));
    report('sound head and whole agree', heads.length && !seams.length ? null :
           `${heads.length} heads; apart: ${seams.map((t) => `${t.name} ${t.headApart}`).join(', ')}`,
           `${heads.length} tunes, largest difference ${Math.max(...heads.map((t) => t.headApart)).toExponential(1)}`);
    // The effects against the loudest and the quietest tune, on both hosts.
    const byLevel = [...r.tunes].sort((a, b) => a.rmsDb - b.rmsDb);
    const fxOff = r.fx.reduce((s, f) => s + f.page - f.desktop, 0) / r.fx.length;
    const fxMiss = r.fx.filter((f) => !(Math.abs(f.page - f.desktop) <= 2));
    const balance = [byLevel[0], byLevel[byLevel.length - 1]].map((t) =>
      fxOff - (t.rmsDb - t.desktop.rmsDb));
    report('sound effects balanced as on the desktop',
           !fxMiss.length && balance.every((d) => Math.abs(d) <= 2) ? null :
           `effects against the music ${balance.map((d) => d.toFixed(2)).join(', ')} dB from the desktop's; ` +
           `effects apart: ${JSON.stringify(fxMiss)}`,
           `${r.fx.length} effects at gain ${r.effectsGain.toFixed(3)}, balance within ` +
           `${Math.max(...balance.map(Math.abs)).toFixed(2)} dB over the quietest and the loudest tune`);
  } finally {
    await page.close();
  }
}

// A player's MIDI tune without a render, played whole through the
// synthesiser twice, heard at the page's music output: the first play as
// the synthesiser makes it (and as the audio thread measured it), the
// second brought to the game's loudness.
async function synthLoudness(browser, base, report) {
  const page = await testPage(browser, base);
  try {
    const r = await page.evaluate(async () => {
      const audio = kelvanePage.audio;
      audio.start();
      // Three string chords of two seconds each (480 ticks a beat at 120 bpm).
      const vlq = (n) => (n > 127 ? [0x80 | (n >> 7), n & 127] : [n]);
      const events = [0, 0xc0, 48];
      for (const chord of [[60, 64, 67], [57, 60, 64], [62, 65, 69]]) {
        chord.forEach((k) => events.push(0, 0x90, k, 70));
        chord.forEach((k, i) => events.push(...vlq(i ? 0 : 1920), 0x80, k, 0));
      }
      events.push(0, 0xff, 0x2f, 0);
      const bytes = [...'MThd'].map((c) => c.charCodeAt(0)).concat([0, 0, 0, 6, 0, 0, 0, 1, 1, 0xe0],
        [...'MTrk'].map((c) => c.charCodeAt(0)), [0, 0, events.length >> 8, events.length & 255], events);
      Module.FS.writeFile('/chords.mid', new Uint8Array(bytes));
      const lengthMs = 6000;
      audio.musicOpen('/chords.mid', lengthMs);
      await audio.tune.ready;
      await audio.synthReady;
      // What the page sends out, as the player hears it.
      const sampleRate = audio.ctx.sampleRate;
      let taken = null;
      const tap = audio.ctx.createScriptProcessor(4096, 2, 2);
      tap.onaudioprocess = (e) => {
        if (taken) taken.push([0, 1].map((c) => e.inputBuffer.getChannelData(c).slice()));
      };
      audio.music.connect(tap);
      tap.connect(audio.ctx.destination);
      const play = async () => {
        taken = [];
        audio.musicPlay(0, lengthMs, false);
        await new Promise((r) => setTimeout(r, lengthMs + 200));
        audio.musicHalt();  // as the game does at the tune's end
        await audio.synth.retrievePlayerCurrentTick();  // the measurement's answer is in
        const blocks = taken;
        taken = null;
        const buffer = new AudioBuffer({ numberOfChannels: 2, length: blocks.length * 4096, sampleRate });
        blocks.forEach((b, i) => b.forEach((x, c) => buffer.copyToChannel(x, c, i * 4096)));
        return kelvanePage.loudness(buffer).lufs;
      };
      const first = await play();
      const figure = audio.storedFigures().get(audio.tune.key) || null;
      const second = await play();
      tap.disconnect();
      // The game's loudness: where a tune is brought when its peak allows.
      const target = figure &&
        figure.lufs + Module.ccall('kelvane_normalising_gain_db', 'number', ['number', 'number'], [figure.lufs, -Infinity]);
      return { first, second, figure, target };
    });
    const fig = (x) => (typeof x === 'number' ? x.toFixed(2) : String(x));
    report('sound synthesiser tune follows its loudness',
           r.figure && Math.abs(r.first - r.figure.lufs) <= 0.5 && Math.abs(r.first - r.target) > 2 &&
           Math.abs(r.second - r.target) <= 1 ? null : JSON.stringify(r),
           `first play ${fig(r.first)} LUFS (measured ${fig(r.figure && r.figure.lufs)}), ` +
           `second ${fig(r.second)} against ${fig(r.target)}`);
  } finally {
    await page.close();
  }
}

// Normalisation turned off for this and later visits: a default tune plays
// as the synthesiser made it, the effects at their old half gain; turned
// on again, as the visits after it expect.
async function normaliseOff(browser, base, report) {
  const visit = async (options, what) => {
    const page = await testPage(browser, base, options);
    try {
      return await page.evaluate(what);
    } finally {
      await page.close();
    }
  };
  const off = await visit('&normalise=off', async () => {
    const audio = kelvanePage.audio;
    audio.balance = JSON.parse(Module.ccall('kelvane_sound_balance', 'string', [], []));
    const list = await audio.loadList();
    const name = Object.keys(list.tunes).sort((a, b) => list.tunes[a].frames - list.tunes[b].frames)[0];
    const entry = list.tunes[name];
    const m = await audio.measureTune(name, entry.frames / list.rate);
    return { normalised: audio.normalised, name, lufs: m.lufs, asMade: entry.lufs - entry.gainDb,
             effects: audio.effectsGain(), asMadeEffects: audio.balance.effectsGainAsMade };
  });
  const later = await visit('', () => kelvanePage.audio.normalised);
  const on = await visit('&normalise=on', () => kelvanePage.audio.normalised);
  const after = await visit('', () => kelvanePage.audio.normalised);
  const fine = off.normalised === false && later === false && on === true && after === true &&
               Math.abs(off.lufs - off.asMade) <= 1 && off.effects === off.asMadeEffects;
  report('sound normalisation off and on again', fine ? null : JSON.stringify({ off, later, on, after }),
         `${off.name} as made ${off.lufs.toFixed(1)} LUFS (made at ${off.asMade.toFixed(1)}), ` +
         `effects at ${off.effects}; remembered, then on again`);
}

module.exports = { soundLevels, synthLoudness, normaliseOff };
