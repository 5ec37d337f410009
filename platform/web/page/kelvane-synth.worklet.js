// The MIDI synthesiser on the audio thread: FluidSynth through the
// js-synthesizer library's Synthesizer, which the library's worklet script
// (loaded before this one) leaves in JSSynth.
//
// The library's own processor posts a status message to the page after
// every 128-sample block, some 350 a second, each one waking the page's
// main thread for news the game never reads. This processor speaks only to
// answer a call: the page sends {id, method, args}, the Synthesizer method
// of that name runs, and {id, value} or {id, error} comes back. Calls run
// one after another in the order sent.
//
// It also measures a tune as it plays (kelvane-loudness.js, loaded before
// this script): from measureStart until measureEnd, which answers with the
// figure when the play was heard whole, so the page plays the tune at the
// game's loudness from its next start.
'use strict';

// Seconds of output rendered after the last voice ends, for the reverb's
// tail; after that a silent synthesiser is not run at all.
const TAIL_S = 4;

const wasmReady = JSSynth.Synthesizer.waitForWasmInitialized();

class KelvaneSynth extends AudioWorkletProcessor {
  constructor(options) {
    super();
    this.synth = null;
    this.meter = null;
    this.quietBlocks = 0;
    this.tailBlocks = Math.ceil((TAIL_S * sampleRate) / 128);
    const settings = options.processorOptions && options.processorOptions.settings;
    let queue = wasmReady.then(() => {
      const synth = new JSSynth.Synthesizer();
      synth.init(sampleRate, settings);
      this.synth = synth;
    });
    this.port.onmessage = ({ data }) => {
      queue = queue.then(() => this.call(data));
    };
  }

  async call({ id, method, args }) {
    try {
      if (method === 'measureStart' || method === 'measureEnd') {
        this.port.postMessage({ id, value: this[method](...args) });
        return;
      }
      const fn = this.synth[method];
      if (typeof fn !== 'function' || method.startsWith('_')) throw new Error('no method ' + method);
      let value = await fn.apply(this.synth, args);
      // Only plain answers go back (no handles into the audio thread).
      if (value !== null && typeof value === 'object') value = undefined;
      this.quietBlocks = 0;
      this.port.postMessage({ id, value });
    } catch (err) {
      this.port.postMessage({ id, error: String(err && err.message || err) });
    }
  }

  // The output is measured from here on, as made (before the page's gain).
  measureStart() {
    this.meter = new kelvaneLoudness.LoudnessMeter(sampleRate, 2);
  }

  // {lufs, peakDb} of the output since measureStart when whole is true,
  // else null; measuring stops either way.
  measureEnd(whole) {
    const meter = this.meter;
    this.meter = null;
    return whole && meter ? meter.result() : null;
  }

  process(_inputs, outputs) {
    const synth = this.synth;
    if (!synth) return true;
    if (synth.isPlayerPlaying() || synth.isPlaying()) this.quietBlocks = 0;
    else if (this.quietBlocks >= this.tailBlocks) {
      if (this.meter) this.meter.add(outputs[0]);  // silence, still part of the tune's time
      return true;  // the output stays zeros
    } else ++this.quietBlocks;
    synth.render(outputs[0]);
    if (this.meter) this.meter.add(outputs[0]);
    return true;
  }
}

registerProcessor('kelvane-synth', KelvaneSynth);
