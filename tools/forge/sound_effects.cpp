// The numbered sound effects Y_qNN.wav: short synthesised sounds, 16-bit
// mono PCM at 22,050 Hz, each shaped for where the game plays it (menu
// ticks, confirm and cancel, landings judged good or bad, stage start,
// applause, and the move list's stomps, claps and whooshes). Every sound
// starts and ends on a short fade and carries no DC offset, so none clicks.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "config/numbered_files.h"
#include "tools/forge/forge.h"

namespace forge {
namespace {

constexpr int kRate = 22050;
constexpr double kTwoPi = 2 * std::numbers::pi;

// Deterministic noise for every effect (a fixed seed each).
class Noise {
 public:
  explicit Noise(uint32_t seed) : s_(seed * 2654435761u + 12345u) {}
  double Next() {
    s_ = s_ * 1664525u + 1013904223u;
    return static_cast<double>(s_ >> 8) / static_cast<double>(1u << 23) - 1.0;
  }
  double Unit() { return (Next() + 1.0) / 2.0; }

 private:
  uint32_t s_;
};

enum class Wave { Sine, Triangle, Soft, Saw };

class Sound {
 public:
  explicit Sound(double seconds, uint32_t seed = 1)
      : x_(static_cast<size_t>(seconds * kRate)), noise_(seed) {}

  size_t size() const { return x_.size(); }

  // A tone gliding exponentially from f0 to f1 over its length, with a
  // linear attack and an exponential decay (time constant tau seconds).
  void Tone(double start, double length, double f0, double f1, Wave w, double amp, double attack,
            double tau, double vibrato = 0) {
    double phase = 0;
    size_t from = Index(start), to = std::min(Index(start + length), x_.size());
    for (size_t i = from; i < to; ++i) {
      double t = static_cast<double>(i - from) / kRate;
      double f = f0 * std::pow(f1 / f0, t / length);
      if (vibrato > 0) f *= 1 + vibrato * std::sin(kTwoPi * 5.5 * t);
      phase += f / kRate;
      x_[i] += amp * Envelope(t, attack, tau) * Shape(w, phase, f);
    }
  }

  // A bell: frequency modulation with a decaying index gives the bright
  // strike and the mellow tail.
  void Bell(double start, double freq, double amp, double tau, double ratio = 3.5) {
    size_t from = Index(start);
    // High bells get a gentler strike, keeping their sidebands below the
    // Nyquist frequency.
    double strike = std::clamp((kRate / 2.0 - freq) / (freq * ratio) - 1.0, 0.3, 2.5);
    for (size_t i = from; i < x_.size(); ++i) {
      double t = static_cast<double>(i - from) / kRate;
      double env = Envelope(t, 0.002, tau);
      if (env < 1e-4 && t > 0.01) break;
      double index = strike * std::exp(-t / (tau * 0.35));
      x_[i] +=
          amp * env * std::sin(kTwoPi * freq * t + index * std::sin(kTwoPi * freq * ratio * t));
    }
  }

  // Band-limited noise (one-pole high-pass then low-pass), its band sliding
  // from (lo0, hi0) to (lo1, hi1).
  void Hiss(double start, double length, double amp, double attack, double tau, double lo0,
            double hi0, double lo1, double hi1) {
    double hpIn = 0, hpOut = 0, lp = 0, lp2 = 0;
    size_t from = Index(start), to = std::min(Index(start + length), x_.size());
    for (size_t i = from; i < to; ++i) {
      double t = static_cast<double>(i - from) / kRate;
      double k = t / length;
      double lo = lo0 * std::pow(lo1 / lo0, k), hi = hi0 * std::pow(hi1 / hi0, k);
      double n = noise_.Next();
      double a = 1.0 / (1.0 + kTwoPi * lo / kRate);
      hpOut = a * (hpOut + n - hpIn);
      hpIn = n;
      double b = 1.0 - std::exp(-kTwoPi * hi / kRate);
      lp += b * (hpOut - lp);
      lp2 += b * (lp - lp2);
      x_[i] += amp * Envelope(t, attack, tau) * lp2 * 3.0;
    }
  }

  // A hand clap: three quick bursts of mid noise and a short tail.
  void Clap(double start, double amp, double brightness = 1.0) {
    for (int k = 0; k < 3; ++k)
      Hiss(start + k * 0.009, 0.012, amp * 0.8, 0.0005, 0.004, 700 * brightness, 2600 * brightness,
           700 * brightness, 2600 * brightness);
    Hiss(start + 0.027, 0.12, amp, 0.0005, 0.03, 800 * brightness, 3000 * brightness,
         800 * brightness, 2500 * brightness);
  }

  // A thump: a sine dropping in pitch, as a foot or a drum.
  void Thump(double start, double f0, double f1, double amp, double tau) {
    Tone(start, tau * 6, f0, f1, Wave::Sine, amp, 0.001, tau);
    Hiss(start, 0.02, amp * 0.3, 0.0005, 0.006, 200, 3000, 200, 3000);
  }

  // Many claps at random moments: applause that swells and fades.
  void Applause(double start, double length, double amp, double perSecond) {
    int count = static_cast<int>(length * perSecond);
    for (int i = 0; i < count; ++i) {
      double t = start + noise_.Unit() * length;
      double swell = std::sin(std::numbers::pi * std::min(1.0, (t - start) / length));
      Clap(t, amp * (0.35 + 0.65 * noise_.Unit()) * (0.3 + 0.7 * swell), 0.8 + 0.5 * noise_.Unit());
    }
    Hiss(start, length, amp * 0.25, length * 0.3, length * 0.5, 400, 4000, 400, 3000);
  }

  // Removes any DC, scales to the peak, fades both ends and writes the WAV.
  std::string Wav(double peak = 0.7) {
    if (x_.empty()) throw ForgeError{"an empty sound effect"};
    double hpIn = 0, hpOut = 0;
    const double a = 1.0 / (1.0 + kTwoPi * 25.0 / kRate);  // 25 Hz high-pass
    for (double& v : x_) {
      hpOut = a * (hpOut + v - hpIn);
      hpIn = v;
      v = hpOut;
    }
    double mean = 0;
    for (double v : x_) mean += v;
    mean /= static_cast<double>(x_.size());
    double top = 0;
    for (double& v : x_) top = std::max(top, std::abs(v -= mean));
    if (top < 1e-9) throw ForgeError{"a silent sound effect"};
    size_t fadeIn = std::min<size_t>(x_.size() / 4, kRate * 3 / 1000);
    size_t fadeOut = std::min<size_t>(x_.size() / 4, kRate * 12 / 1000);
    std::string pcm;
    for (size_t i = 0; i < x_.size(); ++i) {
      double g = peak / top;
      if (i < fadeIn) g *= static_cast<double>(i) / static_cast<double>(fadeIn);
      if (i >= x_.size() - fadeOut)
        g *= static_cast<double>(x_.size() - 1 - i) / static_cast<double>(fadeOut);
      auto s = static_cast<int16_t>(std::lround(std::clamp(x_[i] * g, -1.0, 1.0) * 32767));
      pcm += static_cast<char>(s & 0xFF);
      pcm += static_cast<char>((s >> 8) & 0xFF);
    }
    auto le = [](uint32_t v, int n) {
      std::string s;
      for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
      return s;
    };
    uint32_t bytes = static_cast<uint32_t>(pcm.size());
    return "RIFF" + le(36 + bytes, 4) + "WAVE" + "fmt " + le(16, 4) + le(1, 2) + le(1, 2) +
           le(kRate, 4) + le(kRate * 2, 4) + le(2, 2) + le(16, 2) + "data" + le(bytes, 4) + pcm;
  }

 private:
  static size_t Index(double seconds) {
    return static_cast<size_t>(std::max(0.0, seconds) * kRate);
  }

  static double Envelope(double t, double attack, double tau) {
    if (t < attack) return t / attack;
    return std::exp(-(t - attack) / tau);
  }

  static double Shape(Wave w, double phase, double f) {
    double p = phase - std::floor(phase);
    switch (w) {
      case Wave::Sine:
        return std::sin(kTwoPi * p);
      case Wave::Triangle:
        return 1.0 - 4.0 * std::abs(p - 0.5);
      case Wave::Soft:
        return std::tanh(3.0 * std::sin(kTwoPi * p)) / std::tanh(3.0);
      case Wave::Saw: {
        // Additive, stopped below the Nyquist frequency, so it does not alias.
        double s = 0;
        for (int h = 1; h * f < kRate / 2.2 && h <= 24; ++h) s += std::sin(kTwoPi * p * h) / h;
        return s * 0.6;
      }
    }
    return 0;
  }

  std::vector<double> x_;
  Noise noise_;
};

double Note(int midiKey) {
  return 440.0 * std::pow(2.0, (midiKey - 69) / 12.0);
}

using Maker = std::function<std::string()>;

std::map<int, Maker> Effects() {
  std::map<int, Maker> e;
  // Menu icon landing.
  e[0] = [] {
    Sound s(0.3, 0);
    s.Thump(0, 220, 70, 0.9, 0.05);
    s.Tone(0.0, 0.06, 1400, 1100, Wave::Sine, 0.2, 0.001, 0.015);
    return s.Wav();
  };
  // Camera shutter (snapshot).
  e[1] = [] {
    Sound s(0.2, 1);
    s.Hiss(0, 0.03, 1.0, 0.0005, 0.006, 1500, 8000, 1500, 8000);
    s.Tone(0, 0.02, 900, 600, Wave::Sine, 0.3, 0.0005, 0.005);
    s.Hiss(0.07, 0.04, 0.8, 0.0005, 0.008, 1200, 7000, 1200, 7000);
    return s.Wav(0.6);
  };
  // Confirm in the music menu: two rising blips.
  e[2] = [] {
    Sound s(0.25, 2);
    s.Tone(0, 0.08, Note(76), Note(76), Wave::Triangle, 0.8, 0.003, 0.05);
    s.Tone(0.07, 0.15, Note(83), Note(83), Wave::Triangle, 0.8, 0.003, 0.06);
    return s.Wav();
  };
  // Stage start: a short brass-like fanfare.
  e[10] = [] {
    Sound s(1.1, 10);
    const int keys[] = {67, 72, 76};
    for (int i = 0; i < 3; ++i)
      s.Tone(i * 0.11, 0.14, Note(keys[i]), Note(keys[i]), Wave::Saw, 0.5, 0.01, 0.1);
    for (int k : {72, 76, 79, 84})
      s.Tone(0.33, 0.75, Note(k), Note(k), Wave::Saw, 0.3, 0.02, 0.35, 0.004);
    return s.Wav();
  };
  // Start-up: a soft rising bell arpeggio.
  e[11] = [] {
    Sound s(1.4, 11);
    const int keys[] = {67, 72, 76, 79};
    for (int i = 0; i < 4; ++i) s.Bell(i * 0.12, Note(keys[i]), 0.5, 0.45, 2.0);
    return s.Wav(0.6);
  };
  // Cancel, failure: two falling tones.
  e[20] = [] {
    Sound s(0.4, 20);
    s.Tone(0, 0.14, Note(69), Note(69), Wave::Soft, 0.6, 0.003, 0.08);
    s.Tone(0.13, 0.25, Note(64), Note(62), Wave::Soft, 0.6, 0.003, 0.1);
    return s.Wav(0.55);
  };
  // Success: a bright two-note ding.
  e[21] = [] {
    Sound s(0.7, 21);
    s.Bell(0, Note(81), 0.6, 0.2, 2.0);
    s.Bell(0.09, Note(88), 0.6, 0.3, 2.0);
    return s.Wav(0.6);
  };
  // Cursor tick.
  e[28] = [] {
    Sound s(0.06, 28);
    s.Tone(0, 0.05, 2200, 1800, Wave::Sine, 0.7, 0.0005, 0.008);
    s.Hiss(0, 0.01, 0.3, 0.0005, 0.003, 2000, 8000, 2000, 8000);
    return s.Wav(0.5);
  };
  // A late landing: a limp downward blip.
  e[29] = [] {
    Sound s(0.25, 29);
    s.Tone(0, 0.22, 620, 380, Wave::Triangle, 0.8, 0.004, 0.08);
    return s.Wav(0.55);
  };
  // A pop: plucky and neutral (late landing, loading, music accepted).
  e[30] = [] {
    Sound s(0.2, 30);
    s.Tone(0, 0.18, 950, 520, Wave::Sine, 0.9, 0.001, 0.05);
    return s.Wav(0.6);
  };
  // A blip falling (zoom off, album loaded).
  e[31] = [] {
    Sound s(0.15, 31);
    s.Tone(0, 0.13, 950, 520, Wave::Triangle, 0.8, 0.002, 0.05);
    return s.Wav(0.5);
  };
  // Menu move: a short bright blip.
  e[32] = [] {
    Sound s(0.08, 32);
    s.Tone(0, 0.07, 700, 780, Wave::Triangle, 0.8, 0.002, 0.025);
    return s.Wav(0.5);
  };
  // A round boop (poses).
  e[33] = [] {
    Sound s(0.22, 33);
    s.Tone(0, 0.2, 300, 360, Wave::Sine, 0.9, 0.01, 0.07, 0.02);
    return s.Wav(0.6);
  };
  // A woodblock tock (a click the game ignored).
  e[34] = [] {
    Sound s(0.12, 34);
    s.Tone(0, 0.1, 1250, 1200, Wave::Sine, 0.8, 0.0005, 0.018);
    s.Tone(0, 0.05, 2900, 2900, Wave::Sine, 0.25, 0.0005, 0.008);
    return s.Wav(0.5);
  };
  // Backdrop changes: a swish up, a swish down.
  e[35] = [] {
    Sound s(0.4, 35);
    s.Hiss(0, 0.38, 1.0, 0.15, 0.12, 300, 700, 2500, 5000);
    return s.Wav(0.5);
  };
  e[36] = [] {
    Sound s(0.4, 36);
    s.Hiss(0, 0.38, 1.0, 0.05, 0.15, 2500, 5000, 300, 900);
    return s.Wav(0.5);
  };
  // Go: a rising chirp with a bell on top.
  e[40] = [] {
    Sound s(0.45, 40);
    s.Tone(0, 0.13, 400, 1200, Wave::Soft, 0.5, 0.005, 0.06);
    s.Bell(0.1, Note(88), 0.45, 0.15, 2.0);
    return s.Wav(0.6);
  };
  // Sad slide down (an empty slot, a lost match).
  e[50] = [] {
    Sound s(1.0, 50);
    s.Tone(0, 0.25, Note(55), Note(55), Wave::Saw, 0.6, 0.02, 0.2);
    s.Tone(0.25, 0.25, Note(54), Note(54), Wave::Saw, 0.6, 0.02, 0.2);
    s.Tone(0.5, 0.5, Note(53), Note(51), Wave::Saw, 0.6, 0.02, 0.3, 0.012);
    return s.Wav(0.55);
  };
  // Nothing there: a dull short buzz.
  e[51] = [] {
    Sound s(0.16, 51);
    s.Tone(0, 0.15, 150, 140, Wave::Soft, 0.8, 0.003, 0.06);
    return s.Wav(0.5);
  };
  // Not allowed now: a double buzz.
  e[52] = [] {
    Sound s(0.3, 52);
    s.Tone(0, 0.09, 125, 125, Wave::Soft, 0.8, 0.003, 0.05);
    s.Tone(0.13, 0.12, 118, 118, Wave::Soft, 0.8, 0.003, 0.05);
    return s.Wav(0.5);
  };
  // A wrong landing key: a sour clash, and a dull bonk.
  e[60] = [] {
    Sound s(0.35, 60);
    s.Thump(0, 160, 60, 0.6, 0.05);
    s.Tone(0, 0.3, 233, 220, Wave::Soft, 0.35, 0.004, 0.1);
    s.Tone(0, 0.3, 247, 240, Wave::Soft, 0.35, 0.004, 0.1);
    return s.Wav(0.6);
  };
  e[61] = [] {
    Sound s(0.28, 61);
    s.Tone(0, 0.25, 330, 120, Wave::Sine, 0.9, 0.001, 0.06);
    s.Hiss(0, 0.03, 0.3, 0.0005, 0.01, 300, 3000, 300, 3000);
    return s.Wav(0.6);
  };
  // A good landing: bells at three pitches, so repeats do not grate.
  const int goodKeys[] = {84, 88, 91};
  for (int i = 0; i < 3; ++i) {
    int key = goodKeys[i];
    e[66 + i] = [key, i] {
      Sound s(0.7, 66 + static_cast<uint32_t>(i));
      s.Bell(0, Note(key), 0.6, 0.25, 2.0);
      s.Bell(0.06, Note(key + 12), 0.25, 0.18, 2.0);
      return s.Wav(0.6);
    };
  }
  // A cheer: a chord chime over a burst of applause.
  e[69] = [] {
    Sound s(1.0, 69);
    for (int k : {84, 88, 91}) s.Bell(0, Note(k), 0.35, 0.3, 2.0);
    s.Applause(0.05, 0.9, 0.35, 45);
    return s.Wav(0.65);
  };
  // Applause, and applause with a whistle.
  e[70] = [] {
    Sound s(1.3, 70);
    s.Applause(0, 1.25, 0.5, 60);
    return s.Wav(0.65);
  };
  e[71] = [] {
    Sound s(1.1, 71);
    s.Applause(0, 1.0, 0.45, 50);
    s.Tone(0.05, 0.25, 1600, 2600, Wave::Sine, 0.35, 0.02, 0.2);
    s.Tone(0.32, 0.35, 2500, 2000, Wave::Sine, 0.35, 0.02, 0.2);
    return s.Wav(0.65);
  };

  // The move list's sounds come in pairs, since a step may play n or n + 1
  // at random: stomps, claps, whooshes, spins, jumps, landings, snaps and
  // sparkles.
  e[80] = [] {
    Sound s(0.3, 80);
    s.Thump(0, 150, 55, 1.0, 0.05);
    s.Hiss(0, 0.08, 0.3, 0.001, 0.02, 100, 1500, 100, 1500);
    return s.Wav(0.7);
  };
  e[81] = [] {
    Sound s(0.3, 81);
    s.Thump(0, 175, 60, 1.0, 0.045);
    s.Hiss(0, 0.08, 0.35, 0.001, 0.02, 120, 1800, 120, 1800);
    return s.Wav(0.7);
  };
  e[82] = [] {
    Sound s(0.25, 82);
    s.Clap(0, 1.0);
    return s.Wav(0.65);
  };
  e[83] = [] {
    Sound s(0.35, 83);
    s.Clap(0, 1.0, 1.1);
    s.Clap(0.13, 0.9, 0.95);
    return s.Wav(0.65);
  };
  e[84] = [] {
    Sound s(0.35, 84);
    s.Hiss(0, 0.33, 1.0, 0.1, 0.08, 400, 900, 1500, 4000);
    return s.Wav(0.55);
  };
  e[85] = [] {
    Sound s(0.35, 85);
    s.Hiss(0, 0.33, 1.0, 0.08, 0.1, 1500, 4000, 350, 800);
    return s.Wav(0.55);
  };
  e[86] = [] {
    Sound s(0.6, 86);
    for (int k = 0; k < 3; ++k)
      s.Hiss(k * 0.16, 0.2, 1.0 - k * 0.2, 0.06, 0.05, 600, 1500, 2000, 5000);
    return s.Wav(0.55);
  };
  e[87] = [] {
    Sound s(0.6, 87);
    for (int k = 0; k < 3; ++k)
      s.Hiss(k * 0.16, 0.2, 0.6 + k * 0.2, 0.06, 0.05, 2000, 5000, 600, 1500);
    return s.Wav(0.55);
  };
  e[88] = [] {
    Sound s(0.4, 88);
    s.Tone(0, 0.35, 180, 620, Wave::Sine, 0.9, 0.005, 0.15, 0.03);
    return s.Wav(0.6);
  };
  e[89] = [] {
    Sound s(0.4, 89);
    s.Tone(0, 0.35, 220, 760, Wave::Triangle, 0.8, 0.005, 0.15, 0.03);
    return s.Wav(0.6);
  };
  e[90] = [] {
    Sound s(0.45, 90);
    s.Thump(0, 120, 40, 1.0, 0.08);
    s.Hiss(0, 0.2, 0.4, 0.001, 0.05, 80, 800, 80, 600);
    return s.Wav(0.7);
  };
  e[91] = [] {
    Sound s(0.45, 91);
    s.Thump(0, 135, 45, 1.0, 0.07);
    s.Hiss(0.01, 0.2, 0.45, 0.001, 0.05, 100, 1000, 100, 700);
    return s.Wav(0.7);
  };
  e[92] = [] {
    Sound s(0.15, 92);
    s.Hiss(0, 0.1, 1.0, 0.0005, 0.012, 1800, 6000, 1800, 6000);
    s.Tone(0, 0.04, 2400, 2000, Wave::Sine, 0.3, 0.0005, 0.008);
    return s.Wav(0.6);
  };
  e[93] = [] {
    Sound s(0.9, 93);
    s.Hiss(0, 0.85, 1.0, 0.001, 0.25, 3000, 9000, 3000, 8000);
    return s.Wav(0.5);
  };
  e[94] = [] {
    Sound s(0.8, 94);
    const int keys[] = {88, 91, 96, 100};
    for (int i = 0; i < 4; ++i) s.Bell(i * 0.06, Note(keys[i]), 0.4, 0.2, 1.41);
    return s.Wav(0.55);
  };
  e[95] = [] {
    Sound s(0.8, 95);
    const int keys[] = {100, 96, 91, 88};
    for (int i = 0; i < 4; ++i) s.Bell(i * 0.06, Note(keys[i]), 0.4, 0.2, 1.41);
    return s.Wav(0.55);
  };
  return e;
}

void WriteSoundEffects(Forge& f) {
  int count = 0;
  for (auto& [n, make] : Effects()) {
    f.WriteFile("Y_q" + kelvane::ZeroPad(2, n) + ".wav", make());
    ++count;
  }
  std::printf("sound effects: %d files\n", count);
}

}  // namespace

FORGE_WRITER("sound effects", WriteSoundEffects);

}  // namespace forge
