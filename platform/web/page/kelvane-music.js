// The page's sound: effects and tunes through Web Audio. The default MIDI
// tunes play from renders made at build time with the desktop's synthesiser
// and soundfont (tunes.json lists them), fetched as each is first needed. A
// MIDI tune without a render (a player's own) plays through FluidSynth in an
// audio worklet, fetched with its soundfont only then. The context starts on
// the startup form's OK, the gesture browsers want.
'use strict';

const FADE_S = 0.006;
// The output buffer: 20 ms where the browser's shortest is often 10. The audio
// threads then wake 50 times a second instead of 100, which takes about a
// quarter off the page's CPU in play; sound leaves 10 ms later, well inside
// the lag at which it is heard late against the picture.
const OUTPUT_LATENCY_S = 0.02;
// The desktop's synthesiser settings: its level and its number of voices.
const SYNTH_SETTINGS = { initialGain: 0.25, polyphony: 128 };

// The synthesiser on the audio thread (kelvane-synth.worklet.js): any of its
// methods called by name, each giving a promise of the answer.
function synthCalls(port) {
  const waiting = new Map();
  let next = 0;
  port.onmessage = ({ data }) => {
    const call = waiting.get(data.id);
    waiting.delete(data.id);
    if ('error' in data) call.reject(new Error(data.error));
    else call.resolve(data.value);
  };
  const method = (name) => (...args) => new Promise((resolve, reject) => {
    waiting.set(++next, { resolve, reject });
    port.postMessage({ id: next, method: name, args }, args.filter((a) => a instanceof ArrayBuffer));
  });
  // Not a promise itself: "then" stays undefined.
  return new Proxy({}, { get: (_, name) => (typeof name === 'string' && name !== 'then' ? method(name) : undefined) });
}

// Loudness normalisation is on unless ?normalise=off says otherwise, which
// the page remembers for later visits (?normalise=on turns it back on).
function normaliseWanted() {
  const asked = new URLSearchParams(location.search).get('normalise');
  try {
    if (asked === 'off' || asked === 'on') localStorage.setItem('kelvane-normalise', asked);
    return (asked || localStorage.getItem('kelvane-normalise')) !== 'off';
  } catch (err) {
    return asked !== 'off';  // no storage: this visit only
  }
}

// The build's check that a file is the one rendered (FNV-1a, 32 bits): a
// player's own copy under a default tune's name plays through the synthesiser.
function tuneHash(bytes) {
  let h = 0x811c9dc5;
  for (let i = 0; i < bytes.length; ++i) h = Math.imul(h ^ bytes[i], 0x01000193);
  return h >>> 0;
}

// The loudness of an AudioBuffer (kelvane-loudness.js), measured whole.
function loudness(buffer) {
  const meter = new kelvaneLoudness.LoudnessMeter(buffer.sampleRate, buffer.numberOfChannels);
  meter.add(Array.from({ length: buffer.numberOfChannels }, (_, c) => buffer.getChannelData(c)));
  return meter.result();
}

// The level of the sounding part: RMS (dBFS) over the 50 ms blocks that are
// not silent, as the build measures the desktop's tunes and effects.
function soundingRmsDb(buffer) {
  const block = Math.round(buffer.sampleRate / 20);
  let sum = 0, counted = 0;
  const channels = [0, 1].map((c) => buffer.getChannelData(Math.min(c, buffer.numberOfChannels - 1)));
  for (let at = 0; at < buffer.length; at += block) {
    const n = Math.min(block, buffer.length - at);
    let s = 0;
    for (const x of channels) for (let i = at; i < at + n; ++i) s += x[i] * x[i];
    if (s / (2 * n) < 1e-6) continue;
    sum += s;
    counted += 2 * n;
  }
  return counted ? 10 * Math.log10(sum / counted) : -Infinity;
}

const dbToGain = (db) => Math.pow(10, db / 20);
const fetchBytes = (file) =>
  fetch(file).then((r) => (r.ok ? r.arrayBuffer() : Promise.reject(new Error('HTTP ' + r.status))));
// A render's head: about 16 s of music, decoded in a fraction of the whole's time.
const HEAD_BYTES = 1 << 18;
const MP3_FRAME = 1152;
const KEPT_RENDERS = 2;
// A play of a tune without a render stopped this close to its end was heard
// whole: the game's clock, which stops it, started a little before the sound.
const WHOLE_SLACK_MS = 500;
// The synthesiser's figures kept in the browser, the most recent so many.
const KEPT_FIGURES = 200;
const FIGURES_KEY = 'kelvane-tune-loudness';

kelvanePage.audio = {
  ctx: null, music: null, effects: null, analyser: null,
  volumes: { music: 100, effects: 100 },
  // The one balance of both hosts, from the game (its sound_balance).
  balance: { effectsGain: 1, unmeasuredGain: 1, effectsGainAsMade: 0.5 },
  // Every tune at the game's loudness, unless the player turned it off.
  normalised: normaliseWanted(),
  buffers: new Map(),   // path -> promise of {buffer, gain} (WAV and MP3 tunes, effects)
  renders: new Map(),   // render file -> promise of {buffer, offsetS, gain}
  list: null,           // promise of tunes.json, or of null without one
  tune: null,           // {path, kind, bytes, ready}
  source: null,         // the playing tune's source node and where it started
  effect: null,         // the playing effect's source node
  synth: null, synthReady: null,
  synthLevel: null,     // the gain on the synthesiser's tune
  figures: null,        // "hash:length" -> {lufs, peakDb} of tunes the synthesiser played whole
  measuring: null,      // the synthesiser's play being measured
  muting: null,         // the play whose seek keeps the music silent

  start() {
    if (this.ctx || !window.AudioContext) return;
    const ctx = this.ctx = new AudioContext({ latencyHint: OUTPUT_LATENCY_S });
    this.balance = JSON.parse(Module.ccall('kelvane_sound_balance', 'string', [], []));
    this.analyser = ctx.createAnalyser();
    this.analyser.connect(ctx.destination);
    this.music = ctx.createGain();
    this.effects = ctx.createGain();
    this.music.connect(this.analyser);
    this.effects.connect(this.analyser);
    this.applyVolumes();
    ctx.resume();
    this.loadList();
  },
  // While the startup form is shown: the list, and the file of the tune the
  // game opens first (the first stage tune), so that it is heard at once.
  // Gives a promise that settles once that file is in.
  prefetch() {
    return this.loadList().then((list) => {
      const first = list && Object.values(list.tunes || {})[0];
      if (!first || this.renders.has(first.file)) return undefined;
      if (!this.fetched.has(first.file)) {
        const bytes = fetchBytes(first.file);
        bytes.catch(() => {});  // a failed fetch is told when the tune plays
        this.fetched.set(first.file, bytes);
      }
      return this.fetched.get(first.file).catch(() => undefined);
    });
  },
  fetched: new Map(),   // render file -> promise of its bytes, fetched ahead
  loadList() {
    if (!this.list)
      this.list = fetch('tunes.json').then((r) => (r.ok ? r.json() : null)).catch(() => null);
    return this.list;
  },
  // The synthesiser and its soundfont, fetched the first time a MIDI tune
  // without a render plays.
  startSynth() {
    if (!this.synthReady)
      this.synthReady = this.loadSynth().catch((err) => {
        console.warn('Kelvane: MIDI tunes without a render stay silent: ' + (err && err.stack || err));
        this.synth = null;
      });
    return this.synthReady;
  },
  async loadSynth() {
    const ctx = this.ctx;
    await ctx.audioWorklet.addModule('libfluidsynth-2.4.6.js');
    await ctx.audioWorklet.addModule('js-synthesizer.worklet.min.js');
    await ctx.audioWorklet.addModule('kelvane-loudness.js');
    await ctx.audioWorklet.addModule('kelvane-synth.worklet.js');
    const node = new AudioWorkletNode(ctx, 'kelvane-synth', {
      numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2],
      processorOptions: { settings: SYNTH_SETTINGS },
    });
    // Each tune's own gain, set as it starts (synthPlay).
    const level = this.synthLevel = ctx.createGain();
    level.gain.value = this.balance.unmeasuredGain;
    node.connect(level).connect(this.music);
    const synth = synthCalls(node.port);
    const font = await (await fetch('soundfont.sf2')).arrayBuffer();
    await synth.loadSFont(font);
    this.synth = synth;
  },
  setVolumes(music, effects) {
    this.volumes = { music, effects };
    this.applyVolumes();
  },
  applyVolumes() {
    if (!this.ctx) return;
    const t = this.ctx.currentTime;
    this.music.gain.setTargetAtTime(this.muting ? 0 : this.volumes.music / 100, t, FADE_S / 3);
    this.effects.gain.setTargetAtTime(this.volumes.effects / 100 * this.effectsGain(), t, FADE_S / 3);
  },
  // The gain that brings a measured tune to the game's loudness (none with
  // normalisation off: the tune as made).
  normalisingGain({ lufs, peakDb }) {
    if (!this.normalised) return 1;
    return dbToGain(Module.ccall('kelvane_normalising_gain_db', 'number', ['number', 'number'], [lufs, peakDb]));
  },
  // A render was brought to the game's loudness when it was made; with
  // normalisation off it plays as the synthesiser made it.
  renderGain(entry) {
    return this.normalised ? 1 : dbToGain(-entry.gainDb);
  },
  effectsGain() {
    return this.normalised ? this.balance.effectsGain : this.balance.effectsGainAsMade;
  },
  // The figures the synthesiser measured, this visit's and earlier ones'.
  storedFigures() {
    if (!this.figures) {
      let kept = null;
      try { kept = JSON.parse(localStorage.getItem(FIGURES_KEY)); } catch (err) { /* none kept */ }
      this.figures = new Map(kept && typeof kept === 'object' ? Object.entries(kept).filter(([, f]) =>
        f && Number.isFinite(f.lufs) && Number.isFinite(f.peakDb)) : []);
    }
    return this.figures;
  },
  keepFigure(key, figure) {
    // A silent tune has no figure: it stays at the standard gain.
    if (!Number.isFinite(figure.lufs) || !Number.isFinite(figure.peakDb)) return;
    const figures = this.storedFigures();
    figures.delete(key);
    figures.set(key, { lufs: figure.lufs, peakDb: figure.peakDb });
    for (const old of [...figures.keys()].slice(0, -KEPT_FIGURES)) figures.delete(old);
    try {
      localStorage.setItem(FIGURES_KEY, JSON.stringify(Object.fromEntries(figures)));
    } catch (err) { /* kept for the visit */ }
  },
  // A sound file of the data folder decoded; a tune also measured, and
  // given the gain that brings it to the game's loudness.
  decode(path, tune) {
    if (this.buffers.has(path)) return this.buffers.get(path);
    const bytes = kelvanePage.readFile(path);
    if (!bytes) return Promise.resolve(null);  // a missing file plays nothing
    const promise = this.ctx.decodeAudioData(bytes.slice().buffer).then((buffer) => {
      let gain = 1;
      if (tune) {
        gain = this.normalisingGain(loudness(buffer));
      }
      return { buffer, gain, offsetS: 0 };
    }).catch(() => null);
    this.buffers.set(path, promise);
    return promise;
  },
  // The render of these MIDI bytes, or null when there is none.
  async renderOf(bytes) {
    const list = await this.loadList();
    if (!list || !bytes) return null;
    const hash = tuneHash(bytes);
    for (const entry of Object.values(list.tunes || {}))
      if (entry.size === bytes.length && entry.hash === hash) return this.fetchRender(entry, list.rate, this.ctx);
    return null;
  },
  // A render fetched and decoded once: its head (the first seconds) and the
  // whole, decoded side by side, so that a tune starts from its head while
  // the rest is still being decoded. An MP3 decoder gives the encoder's
  // lead-in before the tune unless it reads the file's own note of it; the
  // decoded length tells which, so the tune starts on its first sample.
  fetchRender(entry, rate, ctx) {
    const kept = this.renders.get(entry.file);
    if (kept) {
      this.renders.delete(entry.file);  // the most recently used goes last
      this.renders.set(entry.file, kept);
      return kept;
    }
    const data = this.fetched.get(entry.file) || fetchBytes(entry.file);
    this.fetched.delete(entry.file);
    const frames = (buffer) => buffer.length * rate / buffer.sampleRate;  // at the render's rate
    const head = data.then((bytes) => (bytes.byteLength > 2 * HEAD_BYTES
      ? ctx.decodeAudioData(bytes.slice(0, HEAD_BYTES)) : null)).then((buffer) => {
      if (!buffer) return null;
      // Whole MP3 frames unless the decoder took the lead-in off.
      const r = Math.round(frames(buffer)) % MP3_FRAME;
      const lead = r < 3 || r > MP3_FRAME - 3 ? entry.delay : 0;
      // The last frames of a cut file may be decoded short.
      const untilMs = ((frames(buffer) - lead - 2 * MP3_FRAME) / rate) * 1000;
      return { buffer, gain: this.renderGain(entry), offsetS: lead / rate, untilMs };
    }).catch(() => null);
    const whole = data.then((bytes) => ctx.decodeAudioData(bytes)).then((buffer) => {
      const extra = frames(buffer) - entry.frames;
      const lead = extra > entry.padding + entry.delay / 2 ? entry.delay : 0;
      return { buffer, gain: this.renderGain(entry), offsetS: lead / rate };
    }).catch((err) => {
      console.warn(`Kelvane: the render ${entry.file} could not be played: ${err}`);
      this.renders.delete(entry.file);
      return null;
    });
    const render = { head, whole };
    // Once the whole is there the head is no longer needed.
    whole.then(() => { render.head = Promise.resolve(null); });
    // A decoded tune takes some 20 MB a minute: only the last two stay,
    // as the game goes back and forth between a menu's tune and a stage's.
    this.renders.delete(entry.file);
    this.renders.set(entry.file, render);
    for (const file of [...this.renders.keys()].slice(0, -KEPT_RENDERS)) this.renders.delete(file);
    return render;
  },
  readBytes(path) { return kelvanePage.readFile(path); },
  effectPlay(path) {
    if (!this.ctx) return;
    this.effectStop();
    const token = this.effectToken = {};
    this.decode(path, false).then((sound) => {
      if (!sound || this.effectToken !== token) return;
      const src = this.ctx.createBufferSource();
      src.buffer = sound.buffer;
      src.connect(this.effects);
      src.start();
      this.effect = src;
    });
  },
  effectStop() {
    this.effectToken = null;
    if (this.effect) {
      try { this.effect.stop(); } catch (err) { /* ended */ }
      this.effect = null;
    }
  },
  // Opening a tune starts fetching what it plays from, so the first play
  // waits as little as it can. lengthMs: the tune's length as the game
  // measured it.
  musicOpen(path, lengthMs) {
    const kind = /\.midi?$/i.test(path) ? 'midi' : 'wave';
    const bytes = this.readBytes(path);
    const tune = this.tune = { path, kind, bytes, lengthMs,
                               key: bytes && kind === 'midi' ? tuneHash(bytes) + ':' + bytes.length : null };
    if (!this.ctx) return;
    tune.ready = kind === 'midi'
      ? this.renderOf(tune.bytes).then((render) => render || (this.startSynth(), { synth: true }))
      : this.decode(path, true);
  },
  // Plays [from, to) ms of the open tune; resume goes on after a pause. The
  // game's clock started when it asked, so the sound starts as far into the
  // tune as that clock has gone by the time it is ready (fetching a render,
  // loading the synthesiser, decoding a file).
  musicPlay(from, to, resume) {
    const tune = this.tune;
    if (!this.ctx || !tune) return;
    this.musicHalt();
    const token = this.playToken = {};
    const asked = performance.now();
    const position = () => Math.min(to, from + (performance.now() - asked));
    tune.ready.then((how) => {
      if (!how || this.playToken !== token) return;
      if (how.synth) this.synthPlay(tune, token, from, to, resume, position);
      else if (how.whole) this.renderPlay(how, token, position, to);
      else this.bufferPlay(how, position(), to);
    });
  },
  bufferPlay(how, at, to, when) {
    if (at >= to) return;
    const { node, started } = connectTune(this.ctx, how, at, to, this.music, when);
    this.source = { node, started, at, how };
  },
  // A render plays from its head while the whole is decoded, then the whole
  // takes over on the same sample.
  async renderPlay(render, token, position, to) {
    const first = await Promise.race([render.whole.then((whole) => ({ whole })), render.head.then((head) => ({ head }))]);
    if (this.playToken !== token) return;
    const head = first.head;
    if (head && position() < head.untilMs) this.bufferPlay(head, position(), Math.min(to, head.untilMs));
    const whole = first.whole || await render.whole;
    if (!whole || this.playToken !== token) return;
    const s = this.source;
    const when = this.ctx.currentTime + 0.05;
    const at = s && s.how === head ? s.at + (when - s.started) * 1000 : position();
    if (s && s.how === head) {
      if (at < head.untilMs) s.node.node.stop(when);
      else this.source = null;
    }
    this.bufferPlay(whole, at, to, s && s.how === head && at < head.untilMs ? when : undefined);
  },
  synthPlay(tune, token, from, to, resume, position) {
    Promise.resolve(this.synthReady).then(async () => {
      if (!this.synth || this.playToken !== token) return;
      if (!resume || !tune.loaded) {
        await this.synth.resetPlayer();
        await this.synth.addSMFDataToPlayer(tune.bytes.slice().buffer);
        tune.loaded = true;
      }
      if (this.playToken !== token) return;
      // The tune's measured gain, or the standard one until it has been
      // heard whole once.
      const figure = tune.key && this.storedFigures().get(tune.key);
      if (!resume) {
        const gain = figure ? this.normalisingGain(figure) : this.balance.unmeasuredGain;
        this.synthLevel.gain.setValueAtTime(gain, this.ctx.currentTime);
      }
      if (from === 0 && !resume) {
        if (!figure && tune.key && tune.lengthMs > 0) {
          this.measuring = { tune, position, to };
          this.synth.measureStart();
        }
        await this.synth.playPlayer();
        return;
      }
      // The player counts ticks; our tempo map says which tick a time is.
      // It reads the file on its first turn, which forgets an earlier
      // seek, so the seek waits for it, silent meanwhile.
      this.muting = token;
      this.music.gain.cancelScheduledValues(this.ctx.currentTime);
      this.music.gain.setValueAtTime(0, this.ctx.currentTime);
      const play = this.synth.playPlayer();
      for (let i = 0; i < 100 && this.playToken === token; ++i) {
        if ((await this.synth.retrievePlayerCurrentTick()) > 0) break;
        await new Promise((r) => setTimeout(r, 5));
      }
      if (this.playToken === token) {
        this.synth.seekPlayer(Module.ccall('kelvane_music_tick', 'number', ['number'], [position()]));
        await this.synth.retrievePlayerCurrentTick();
        await new Promise((r) => setTimeout(r, 10));
      }
      if (this.muting === token) {
        this.muting = null;
        this.applyVolumes();
      }
      await play;
    });
  },
  // Where the tune playing from a buffer is now (ms), or null.
  musicPosition() {
    const s = this.source;
    return s ? s.at + (this.ctx.currentTime - s.started) * 1000 : null;
  },
  // Stop and pause alike: the game clock keeps the position.
  musicHalt() {
    this.playToken = null;
    const m = this.measuring;
    if (m) {
      // Kept only for a play from the start to the tune's end.
      this.measuring = null;
      const whole = m.to >= m.tune.lengthMs && m.position() >= m.to - WHOLE_SLACK_MS;
      this.synth.measureEnd(whole).then((figure) => {
        if (figure) this.keepFigure(m.tune.key, figure);
      });
    }
    if (this.muting) {
      this.muting = null;
      this.applyVolumes();
    }
    if (this.source) {
      const { node, gain } = this.source.node;
      const t = this.ctx.currentTime;
      gain.gain.setTargetAtTime(0, t, FADE_S / 3);
      try { node.stop(t + FADE_S * 2); } catch (err) { /* ended */ }
      this.source = null;
    }
    if (this.synth && this.tune && this.tune.kind === 'midi') this.synth.stopPlayer();
  },
  musicPause() { this.musicHalt(); },
  musicClose() {
    this.musicHalt();
    if (this.synth) this.synth.midiAllSoundsOff();
    this.tune = null;
  },
  shutdown() {
    this.musicClose();
    this.effectStop();
  },
  // The loudest sample now on the output (0 silent .. 1), for the smoke test.
  level() {
    if (!this.analyser) return 0;
    const data = new Float32Array(this.analyser.fftSize);
    this.analyser.getFloatTimeDomainData(data);
    let peak = 0;
    for (const v of data) peak = Math.max(peak, Math.abs(v));
    return peak;
  },

  // For the tests: the first seconds of a default tune's render, or an
  // effect, played through the page's own chain at the current volumes,
  // offline, and measured as the build measured the desktop's.
  async measureTune(name, seconds) {
    const list = await this.loadList();
    const entry = list.tunes[name];
    const rate = 48000;
    const render = this.fetchRender(entry, list.rate, new OfflineAudioContext(2, 1, rate));
    this.renders.delete(entry.file);  // decoded at the test's rate, not the page's
    const headDecoded = render.head;
    const how = await render.whole, head = await headDecoded;
    // The head is the same sound as the whole, sample for sample where it
    // is used: the largest difference over its last used second.
    let headApart = null;
    if (head) {
      headApart = 0;
      const a = head.buffer.getChannelData(0), b = how.buffer.getChannelData(0);
      const lead = Math.round((head.offsetS - how.offsetS) * rate);
      const end = Math.floor((head.untilMs / 1000 + how.offsetS) * rate);
      for (let i = end - rate; i < end; ++i) headApart = Math.max(headApart, Math.abs(a[i + lead] - b[i]));
    }
    const ctx = new OfflineAudioContext(2, Math.round(seconds * rate), rate);
    const bus = ctx.createGain();
    bus.gain.value = this.volumes.music / 100;
    bus.connect(ctx.destination);
    connectTune(ctx, how, 0, seconds * 1000, bus);
    const played = await ctx.startRendering();
    return { ...loudness(played), rmsDb: soundingRmsDb(played), offsetS: how.offsetS, headApart, desktop: entry };
  },
  async measureEffect(path) {
    const list = await this.loadList();
    const rate = 48000;
    const effect = await new OfflineAudioContext(2, 1, rate).decodeAudioData(kelvanePage.readFile(path).slice().buffer);
    const ctx = new OfflineAudioContext(2, effect.length, rate);
    const bus = ctx.createGain();
    bus.gain.value = this.volumes.effects / 100 * this.effectsGain();
    bus.connect(ctx.destination);
    const src = ctx.createBufferSource();
    src.buffer = effect;
    src.connect(bus);
    src.start();
    return { rmsDb: soundingRmsDb(await ctx.startRendering()), desktop: list.effects[path.split('/').pop()] };
  },
};
kelvanePage.loudness = loudness;

// A tune from a decoded buffer into dest: from at to to ms of the tune, at
// the tune's own gain, faded in, or at once when it takes over at when from
// the same sound. Returns the nodes and when it started.
function connectTune(ctx, how, at, to, dest, when) {
  const gain = ctx.createGain();
  const started = when === undefined ? ctx.currentTime : when;
  gain.gain.setValueAtTime(when === undefined ? 0 : how.gain, started);
  if (when === undefined) gain.gain.setTargetAtTime(how.gain, started, FADE_S / 3);
  gain.connect(dest);
  const node = ctx.createBufferSource();
  node.buffer = how.buffer;
  node.connect(gain);
  node.start(started, how.offsetS + at / 1000, (to - at) / 1000);
  return { node: { node, gain }, started };
}
