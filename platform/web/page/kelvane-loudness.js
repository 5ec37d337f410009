// Integrated loudness (LUFS, EBU R128: K-weighted, 400 ms blocks every
// 100 ms, gated at -70 LUFS and 10 LU under the ungated mean) and the sample
// peak (dBFS), as the desktop measures its tunes. One meter for the page,
// which measures decoded files whole, and for the synthesiser's audio
// thread, which feeds it a block at a time as a tune plays; both load this
// file (a script on the page, a module in the worklet).
'use strict';

(function (scope) {
  // The K-weighting's two stages for a sample rate: a high shelf, then a
  // high pass, each {b0, b1, b2, a1, a2}.
  function kWeighting(rate) {
    let K = Math.tan(Math.PI * 1681.974450955533 / rate);
    const Vh = Math.pow(10, 3.999843853973347 / 20), Vb = Math.pow(Vh, 0.4996667741545416);
    let Q = 0.7071752369554196, a0 = 1 + K / Q + K * K;
    const shelf = [(Vh + Vb * K / Q + K * K) / a0, 2 * (K * K - Vh) / a0, (Vh - Vb * K / Q + K * K) / a0,
                   2 * (K * K - 1) / a0, (1 - K / Q + K * K) / a0];
    K = Math.tan(Math.PI * 38.13547087602444 / rate);
    Q = 0.5003270373238773;
    a0 = 1 + K / Q + K * K;
    const high = [1, -2, 1, 2 * (K * K - 1) / a0, (1 - K / Q + K * K) / a0];
    return { shelf, high };
  }

  class LoudnessMeter {
    constructor(rate, channels) {
      this.k = kWeighting(rate);
      this.hop = Math.round(rate / 10);
      this.frames = 0;
      this.energy = [];  // per 100 ms, summed over channels
      this.peak = 0;
      // Each channel's stage states (direct form II transposed).
      this.states = Array.from({ length: channels }, () => [0, 0, 0, 0]);
    }

    // The next n frames, one array of samples per channel.
    add(channels, n = channels[0].length) {
      const { shelf, high } = this.k;
      const hop = this.hop, start = this.frames, energy = this.energy;
      while (energy.length * hop < start + n) energy.push(0);
      let peak = this.peak;
      for (let c = 0; c < this.states.length; ++c) {
        const x = channels[c], st = this.states[c];
        let [s1, s2, t1, t2] = st;
        for (let i = 0; i < n;) {
          const slot = Math.floor((start + i) / hop);
          const stop = Math.min(n, (slot + 1) * hop - start);
          let sum = 0;
          for (; i < stop; ++i) {
            const v = x[i];
            const a = Math.abs(v);
            if (a > peak) peak = a;
            const y = shelf[0] * v + s1;
            s1 = shelf[1] * v - shelf[3] * y + s2;
            s2 = shelf[2] * v - shelf[4] * y;
            const z = y + t1;
            t1 = -2 * y - high[3] * z + t2;
            t2 = y - high[4] * z;
            sum += z * z;
          }
          energy[slot] += sum;
        }
        st[0] = s1; st[1] = s2; st[2] = t1; st[3] = t2;
      }
      this.peak = peak;
      this.frames = start + n;
    }

    // {lufs, peakDb} of what was added: -Infinity for silence. A last
    // 100 ms that is not complete is left out.
    result() {
      const hop = this.hop, hops = Math.floor(this.frames / hop), energy = this.energy;
      const blocks = [];
      for (let i = 0; i + 4 <= hops; ++i)
        blocks.push((energy[i] + energy[i + 1] + energy[i + 2] + energy[i + 3]) / (4 * hop));
      const lufs = (z) => -0.691 + 10 * Math.log10(z);
      const mean = (list) => list.reduce((s, z) => s + z, 0) / list.length;
      const loud = blocks.filter((z) => lufs(z) > -70);
      let integrated = -Infinity;
      if (loud.length) {
        const gate = lufs(mean(loud)) - 10;
        const kept = loud.filter((z) => lufs(z) > gate);
        integrated = lufs(mean(kept));
      }
      return { lufs: integrated, peakDb: this.peak > 0 ? 20 * Math.log10(this.peak) : -Infinity };
    }
  }

  scope.kelvaneLoudness = { LoudnessMeter };
})(globalThis);
