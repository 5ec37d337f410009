#include "tools/forge/tune_composer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "tools/forge/forge.h"
#include "tools/forge/midi_writer.h"

namespace forge::music {
namespace {

constexpr int kDivision = 480;
constexpr uint32_t kStep = kDivision / 4;  // one sixteenth
constexpr uint32_t kBar = kDivision * 4;
constexpr int kCrash = 49, kKick = 36;

// A small deterministic generator (xorshift), seeded per tune.
class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 7;
    s_ ^= s_ << 17;
    return static_cast<uint32_t>(s_ >> 16);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
  bool Chance(double p) { return (Next() % 10000) < p * 10000; }
  int Jitter(int range) { return Below(2 * range + 1) - range; }

 private:
  uint64_t s_;
};

struct Chord {
  int root = 0;
  std::vector<int> intervals;
  int beats = 4;
  bool operator==(const Chord&) const = default;
};

Chord ParseChord(const std::string& token) {
  static const std::map<std::string, std::vector<int>> kQualities = {{"", {0, 4, 7}},
                                                                     {"m", {0, 3, 7}},
                                                                     {"7", {0, 4, 7, 10}},
                                                                     {"m7", {0, 3, 7, 10}},
                                                                     {"maj7", {0, 4, 7, 11}},
                                                                     {"6", {0, 4, 7, 9}},
                                                                     {"m6", {0, 3, 7, 9}},
                                                                     {"9", {0, 4, 7, 10, 14}},
                                                                     {"m9", {0, 3, 7, 10, 14}},
                                                                     {"maj9", {0, 4, 7, 11, 14}},
                                                                     {"add9", {0, 4, 7, 14}},
                                                                     {"sus4", {0, 5, 7}},
                                                                     {"7sus4", {0, 5, 7, 10}},
                                                                     {"sus2", {0, 2, 7}},
                                                                     {"dim", {0, 3, 6}},
                                                                     {"m7b5", {0, 3, 6, 10}},
                                                                     {"dim7", {0, 3, 6, 9}},
                                                                     {"13", {0, 4, 7, 10, 14, 21}},
                                                                     {"7b9", {0, 4, 7, 10, 13}},
                                                                     {"5", {0, 7}},
                                                                     {"m11", {0, 3, 7, 10, 17}}};
  static const int kLetters[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  Chord c;
  std::string name = token;
  size_t colon = name.find(':');
  if (colon != std::string::npos) {
    c.beats = std::atoi(name.c_str() + colon + 1);
    name = name.substr(0, colon);
  }
  if (name.empty() || name[0] < 'A' || name[0] > 'G' || c.beats <= 0)
    throw ForgeError{"bad chord \"" + token + "\""};
  c.root = kLetters[name[0] - 'A'];
  size_t q = 1;
  if (q < name.size() && name[q] == '#')
    c.root += 1, ++q;
  else if (q < name.size() && name[q] == 'b')
    c.root += 11, ++q;
  c.root %= 12;
  auto it = kQualities.find(name.substr(q));
  if (it == kQualities.end()) throw ForgeError{"unknown chord quality in \"" + token + "\""};
  c.intervals = it->second;
  return c;
}

std::vector<Chord> ParseProgression(const std::string& text) {
  std::istringstream in(text);
  std::vector<Chord> out;
  for (std::string t; in >> t;) out.push_back(ParseChord(t));
  if (out.empty()) throw ForgeError{"empty chord progression"};
  return out;
}

struct TimedChord {
  uint32_t start, end;
  Chord chord;
};

int PitchClass(int key) {
  return ((key % 12) + 12) % 12;
}

// The lowest key of pitch class pc at or above low.
int AtOrAbove(int pc, int low) {
  return low + PitchClass(pc - low);
}

class Composer {
 public:
  explicit Composer(const TuneStyle& s) : s_(s), rng_(s.seed) {}

  std::string Run() {
    Validate();
    song_.Tempo(0, s_.bpm);
    song_.TimeSignature(0, 4, 4);
    drums_ = song_.AddPart("Drums", MidiSong::kDrumChannel, 0, Mixed(s_.drumVolume), 64, 40);
    perc_ = song_.AddPart("Percussion", MidiSong::kDrumChannel, 0, Mixed(s_.drumVolume), 64, 40);
    bass_ = Add("Bass", 1, s_.bassInst);
    comp_ = Add("Harmony", 2, s_.compInst);
    pad_ = Add("Pad", 3, s_.padInst);
    lead_ = Add("Melody", 4, s_.leadInst);
    altLead_ = Add("Second melody", 5, s_.altLeadInst);

    BuildTimeline();
    uint32_t bar = 0;
    for (size_t i = 0; i < s_.sections.size(); ++i) {
      const Section& sec = s_.sections[i];
      song_.Marker(bar * kBar, sec.name);
      for (int b = 0; b < sec.bars; ++b) {
        bool lastOfPhrase = (b % 8 == 7) || b == sec.bars - 1;
        if (sec.parts & kDrums) {
          bool crash = b == 0 && i > 0 && !sec.lightDrums;
          DrumBar(bar + b, sec.lightDrums ? s_.lightDrums : s_.drums, lastOfPhrase, crash, sec);
        }
        if (sec.parts & kPerc) Pattern(perc_, bar + b, s_.perc, 0.85);
        if (sec.parts & kBass) BassBar(bar + b);
        if (sec.parts & kComp) CompBar(bar + b);
      }
      if (sec.parts & kPad) PadSection(bar, bar + static_cast<uint32_t>(sec.bars));
      if (sec.parts & kLead) LeadSection(sec, bar);
      bar += static_cast<uint32_t>(sec.bars);
    }
    if (s_.endingChord.empty()) {
      song_.SetEnd(bar * kBar);  // a seamless loop ends exactly on its bar line
    } else {
      Ending(bar * kBar);
    }
    return song_.Bytes();
  }

 private:
  void Validate() const {
    auto bars = [&](const std::string& what, const std::string& steps) {
      if (steps.empty() || steps.size() % 16 != 0)
        throw ForgeError{s_.title + ": " + what + " is not a whole number of bars"};
    };
    for (const auto* kit : {&s_.drums, &s_.lightDrums, &s_.fill, &s_.perc})
      for (const DrumLine& l : *kit) bars("drum line " + std::to_string(l.key), l.steps);
    for (const DrumLine& l : s_.fill)
      if (l.steps.size() != 16) throw ForgeError{s_.title + ": a fill is one bar"};
    bars("the bass pattern", s_.bass);
    bars("the comping pattern", s_.comp);
    for (const auto& group : s_.leadRhythms)
      for (const std::string& r : group)
        if (r.size() != 32) throw ForgeError{s_.title + ": a lead rhythm is not two bars: " + r};
  }

  int Mixed(int volume) const {
    return std::min(127, static_cast<int>(std::lround(volume * s_.mix)));
  }

  int Add(const std::string& name, int channel, const Instrument& in) {
    return song_.AddPart(name, channel, in.program, Mixed(in.volume), in.pan, in.reverb);
  }

  uint32_t StepTick(uint32_t barStart, int step) const {
    uint32_t t = barStart + static_cast<uint32_t>(step) * kStep;
    if (step % 4 == 2) t += static_cast<uint32_t>(std::lround(s_.swing8 * kDivision / 6.0));
    if (step % 2 == 1) t += static_cast<uint32_t>(std::lround(s_.swing16 * kStep / 2.0));
    return t;
  }

  void BuildTimeline() {
    uint32_t tick = 0;
    for (const Section& sec : s_.sections) {
      std::vector<Chord> prog = ParseProgression(sec.progression);
      uint32_t end = tick + static_cast<uint32_t>(sec.bars) * kBar;
      for (size_t i = 0; tick < end; i = (i + 1) % prog.size()) {
        uint32_t len = static_cast<uint32_t>(prog[i].beats) * kDivision;
        timeline_.push_back({tick, std::min(tick + len, end), prog[i]});
        tick += len;
      }
      tick = end;
    }
  }

  const TimedChord& ChordAt(uint32_t tick) const {
    for (const TimedChord& c : timeline_)
      if (tick >= c.start && tick < c.end) return c;
    return timeline_.back();
  }

  int Vel(int base, int spread = 6) { return base + rng_.Jitter(spread); }

  static int StepVelocity(char c) { return c == 'X' ? 118 : c == 'x' ? 96 : c == 'o' ? 58 : 0; }

  void Pattern(int part, uint32_t bar, const std::vector<DrumLine>& lines, double scale) {
    for (const DrumLine& line : lines) {
      int bars = std::max<int>(1, static_cast<int>(line.steps.size() / 16));
      int offset = static_cast<int>(bar % static_cast<uint32_t>(bars)) * 16;
      for (int st = 0; st < 16 && offset + st < static_cast<int>(line.steps.size()); ++st) {
        int v = StepVelocity(line.steps[static_cast<size_t>(offset + st)]);
        if (v)
          song_.Note(part, StepTick(bar * kBar, st), kStep, line.key,
                     Vel(static_cast<int>(v * scale), 5));
      }
    }
  }

  void DrumBar(uint32_t bar, const std::vector<DrumLine>& kit, bool fill, bool crash,
               const Section& sec) {
    if (fill && !sec.lightDrums && !s_.fill.empty()) {
      // Keep the first half of the groove, then the fill.
      std::vector<DrumLine> half;
      for (const DrumLine& line : kit) {
        std::string steps =
            line.steps.substr((bar % std::max<size_t>(1, line.steps.size() / 16)) * 16, 16);
        for (size_t i = 8; i < 16 && i < steps.size(); ++i) steps[i] = '.';
        half.push_back({line.key, steps});
      }
      Pattern(drums_, bar, half, 1.0);
      std::vector<DrumLine> tail;
      for (const DrumLine& line : s_.fill) {
        std::string steps = line.steps;
        for (size_t i = 0; i < 8 && i < steps.size(); ++i) steps[i] = '.';
        tail.push_back({line.key, steps});
      }
      Pattern(drums_, bar, tail, 1.0);
    } else {
      Pattern(drums_, bar, kit, sec.lightDrums ? 0.85 : 1.0);
    }
    if (crash) song_.Note(drums_, bar * kBar, kDivision, kCrash, Vel(110));
  }

  int BassKey(char token, const Chord& chord, const Chord& next, int previous) {
    int root = AtOrAbove(chord.root, s_.bassLow);
    auto interval = [&](int i) {
      return i < static_cast<int>(chord.intervals.size()) ? chord.intervals[i] : 12;
    };
    switch (token) {
      case 'R':
        return root;
      case 'O':
        return root + 12;
      case '5': {
        int k = root + 7;
        return k > s_.bassLow + 16 ? k - 12 : k;
      }
      case '3':
        return root + interval(1);
      case '7': {
        for (int i : chord.intervals)
          if (i == 10 || i == 11) return root + i;
        return root + 12;
      }
      case 'N':
        return AtOrAbove(next.root, s_.bassLow);
      case 'A': {
        int target = AtOrAbove(next.root, s_.bassLow);
        if (std::abs(target - previous) > 7 && target + 12 <= s_.bassLow + 19) target += 12;
        return target + (rng_.Chance(0.5) ? -1 : 1);
      }
      default:
        return root;
    }
  }

  // A walking line: root on the chord's first beat, chord tones between,
  // a chromatic step into the next chord on its last beat.
  int WalkKey(uint32_t tick, int previous) {
    const TimedChord& tc = ChordAt(tick);
    int beat = static_cast<int>((tick - tc.start) / kDivision);
    int beats = static_cast<int>((tc.end - tc.start) / kDivision);
    auto near = [&](int pc) {
      int k = AtOrAbove(pc, s_.bassLow);
      while (k + 12 <= s_.bassLow + 19 && std::abs(k + 12 - previous) < std::abs(k - previous))
        k += 12;
      return k;
    };
    if (beat == 0) return near(tc.chord.root);
    if (beat == beats - 1) {
      int target = near(ChordAt(tc.end).chord.root);
      return target + (target > previous ? -1 : 1);
    }
    const std::vector<int>& iv = tc.chord.intervals;
    int pick = iv[static_cast<size_t>(
        1 + rng_.Below(static_cast<int>(std::min<size_t>(iv.size(), 4)) - 1))];
    return near(tc.chord.root + pick);
  }

  void BassBar(uint32_t bar) {
    const std::string& p = s_.bass;
    int bars = std::max<int>(1, static_cast<int>(p.size() / 16));
    int offset = static_cast<int>(bar % static_cast<uint32_t>(bars)) * 16;
    for (int st = 0; st < 16; ++st) {
      char t = p[static_cast<size_t>(offset + st)];
      if (t == '.' || t == '-') continue;
      int len = 1;
      while (st + len < 16 && p[static_cast<size_t>(offset + st + len)] == '-') ++len;
      uint32_t tick = StepTick(bar * kBar, st);
      uint32_t endTick = StepTick(bar * kBar, st + len);
      if (st + len == 16) endTick = (bar + 1) * kBar;
      const TimedChord& tc = ChordAt(tick);
      // Anticipations and approach notes aim at the chord of the next bar.
      const Chord& next = ChordAt((bar + 1) * kBar).chord;
      int key = t == 'W' ? WalkKey(tick, lastBass_) : BassKey(t, tc.chord, next, lastBass_);
      lastBass_ = key;
      uint32_t length = static_cast<uint32_t>((endTick - tick) * s_.bassGate);
      int v = st % 4 == 0 ? 104 : 92;
      song_.Note(bass_, tick, std::max<uint32_t>(length, 30), key, Vel(v));
    }
  }

  // Chord tones placed around center, moving as little as possible from the
  // previous voicing.
  std::vector<int> Voicing(const Chord& c, int center, std::vector<int>& previous) {
    std::vector<int> pcs;
    for (int i : c.intervals) pcs.push_back(PitchClass(c.root + i));
    auto drop = [&](int interval) {
      if (pcs.size() <= 4) return;
      int pc = PitchClass(c.root + interval);
      auto it = std::find(pcs.begin(), pcs.end(), pc);
      if (it != pcs.end()) pcs.erase(it);
    };
    drop(7);
    drop(0);
    while (pcs.size() > 4) pcs.pop_back();
    std::sort(pcs.begin(), pcs.end());
    pcs.erase(std::unique(pcs.begin(), pcs.end()), pcs.end());
    std::vector<int> best;
    int bestScore = 1 << 30;
    for (size_t r = 0; r < pcs.size(); ++r) {
      std::vector<int> v;
      int k = AtOrAbove(pcs[r], center - 7);
      for (size_t i = 0; i < pcs.size(); ++i) {
        int pc = pcs[(r + i) % pcs.size()];
        if (i > 0) k = AtOrAbove(pc, k + 1);
        v.push_back(k);
      }
      int score = 0;
      if (previous.size() == v.size()) {
        for (size_t i = 0; i < v.size(); ++i) score += std::abs(v[i] - previous[i]);
      } else {
        int sum = 0;
        for (int x : v) sum += x;
        score = std::abs(sum / static_cast<int>(v.size()) - center) * 3;
      }
      if (score < bestScore) bestScore = score, best = v;
    }
    previous = best;
    return best;
  }

  void CompBar(uint32_t bar) {
    const std::string& p = s_.comp;
    int bars = std::max<int>(1, static_cast<int>(p.size() / 16));
    int offset = static_cast<int>(bar % static_cast<uint32_t>(bars)) * 16;
    for (int st = 0; st < 16; ++st) {
      char t = p[static_cast<size_t>(offset + st)];
      if (t == '.' || t == '-') continue;
      int len = 1;
      while (st + len < 16 && p[static_cast<size_t>(offset + st + len)] == '-') ++len;
      uint32_t tick = StepTick(bar * kBar, st);
      uint32_t endTick = st + len == 16 ? (bar + 1) * kBar : StepTick(bar * kBar, st + len);
      const Chord& chord = ChordAt(tick).chord;
      uint32_t length =
          std::max<uint32_t>(static_cast<uint32_t>((endTick - tick) * s_.compGate), 40);
      if (s_.powerChords) {
        int root = AtOrAbove(chord.root, s_.compCenter - 6);
        int v = Vel(t == 'X' ? 112 : t == 'o' ? 70 : 96);
        for (int k : {root, root + 7, root + 12}) song_.Note(comp_, tick, length, k, v);
      } else if (t >= '1' && t <= '4') {
        std::vector<int> v = Voicing(chord, s_.compCenter, compVoicing_);
        int k = v[static_cast<size_t>(t - '1') % v.size()];
        int vel = Vel(st % 4 == 0 ? 96 : 84);
        song_.Note(comp_, tick, length, k, vel);
        song_.Note(comp_, tick, length, k + 12, vel - 8);
      } else {
        std::vector<int> v = Voicing(chord, s_.compCenter, compVoicing_);
        int vel = Vel(t == 'X' ? 104 : t == 'o' ? 62 : 86);
        for (int k : v) song_.Note(comp_, tick, length, k, vel - 4 + rng_.Jitter(4));
      }
    }
  }

  void PadSection(uint32_t fromBar, uint32_t toBar) {
    for (const TimedChord& tc : timeline_) {
      if (tc.start < fromBar * kBar || tc.start >= toBar * kBar) continue;
      std::vector<int> v = Voicing(tc.chord, s_.padCenter, padVoicing_);
      for (int k : v) song_.Note(pad_, tc.start, tc.end - tc.start, k, Vel(70, 4));
    }
  }

  // Melody ---------------------------------------------------------------

  struct MelodyNote {
    uint32_t tick, length;
    int key;
  };

  struct Onset {
    int step, length;
  };

  static std::vector<Onset> Onsets(const std::string& rhythm) {
    std::vector<Onset> out;
    for (int i = 0; i < static_cast<int>(rhythm.size()); ++i) {
      if (rhythm[static_cast<size_t>(i)] != 'x') continue;
      int len = 1;
      while (i + len < static_cast<int>(rhythm.size()) &&
             rhythm[static_cast<size_t>(i + len)] == '-')
        ++len;
      out.push_back({i, len});
    }
    return out;
  }

  bool InScale(int key, const Chord& c) const {
    int pc = PitchClass(key - s_.tonic);
    for (int i : s_.scale)
      if (PitchClass(i) == pc) return true;
    for (int i : c.intervals)
      if (PitchClass(c.root + i) == PitchClass(key)) return true;
    return false;
  }

  bool IsChordTone(int key, const Chord& c) const {
    for (int i : c.intervals)
      if (PitchClass(c.root + i) == PitchClass(key)) return true;
    return false;
  }

  int ScaleStep(int from, int dir, const Chord& c) const {
    int k = from + dir;
    while (!InScale(k, c)) k += dir;
    return k;
  }

  int NearestChordTone(int target, const Chord& c) const {
    for (int d = 0; d < 12; ++d) {
      if (IsChordTone(target + d, c)) return target + d;
      if (IsChordTone(target - d, c)) return target - d;
    }
    return target;
  }

  // Two bars of melody on a rhythm, starting near `from`.
  std::vector<MelodyNote> Motif(const std::string& rhythm, uint32_t start, int center, int from,
                                Rng& r, bool cadence) {
    std::vector<Onset> onsets = Onsets(rhythm);
    if (cadence) {
      // Cut the phrase after the second bar's second beat and hold the last
      // note to the end: the listener hears it close.
      while (onsets.size() > 1 && onsets.back().step > 20) onsets.pop_back();
      onsets.back().length = 28 - onsets.back().step;
    }
    std::vector<MelodyNote> out;
    int key = from;
    int dir = r.Chance(0.5) ? 1 : -1;
    for (size_t i = 0; i < onsets.size(); ++i) {
      const Onset& o = onsets[i];
      uint32_t bar = start / kBar + static_cast<uint32_t>(o.step / 16);
      uint32_t tick = StepTick(bar * kBar, o.step % 16);
      const Chord& c = ChordAt(tick).chord;
      bool strong = o.step % 8 == 0 || o.length >= 4 || i == 0;
      if (r.Chance(0.3)) dir = -dir;
      if (key > center + 7) dir = -1;
      if (key < center - 5) dir = 1;
      if (cadence && i + 1 == onsets.size()) {
        key = NearestChordTone(AtOrAbove(s_.tonic, center - 5), c);
      } else if (strong) {
        key = NearestChordTone(key + dir * (1 + r.Below(3)), c);
      } else if (!r.Chance(0.15)) {
        key = ScaleStep(key, dir, c);
        if (r.Chance(0.3)) key = ScaleStep(key, dir, c);
      }
      uint32_t endStep = static_cast<uint32_t>(o.step + o.length);
      uint32_t endTick = start + endStep / 16 * kBar + (endStep % 16) * kStep;
      if (endStep % 16 != 0)
        endTick = StepTick(start + endStep / 16 * kBar, static_cast<int>(endStep % 16));
      uint32_t length = static_cast<uint32_t>((endTick - tick) * 0.92);
      out.push_back({tick, std::max<uint32_t>(length, 40), key});
    }
    return out;
  }

  bool SameChords(uint32_t a, uint32_t b, uint32_t span) const {
    for (uint32_t t = 0; t < span; t += kDivision)
      if (!(ChordAt(a + t).chord == ChordAt(b + t).chord)) return false;
    return true;
  }

  void LeadSection(const Section& sec, uint32_t firstBar) {
    const std::vector<std::string>& rhythms = s_.leadRhythms[sec.rhythmGroup % 2];
    if (rhythms.empty()) return;
    int part = sec.altLead ? altLead_ : lead_;
    int center = s_.leadCenter + sec.leadShift;
    Rng r(s_.seed * 31 + firstBar * 7 + 3);
    const std::string& first =
        rhythms[static_cast<size_t>(r.Below(static_cast<int>(rhythms.size())))];
    const std::string& answer =
        rhythms[static_cast<size_t>(r.Below(static_cast<int>(rhythms.size())))];
    std::vector<MelodyNote> motif;
    uint32_t motifStart = 0;
    uint64_t motifSeed = 0;
    int key = center;
    for (int b = 0; b + 1 < sec.bars; b += 2) {
      uint32_t start = (firstBar + static_cast<uint32_t>(b)) * kBar;
      int unit = (b / 2) % 4;
      bool last = b + 2 >= sec.bars;
      std::vector<MelodyNote> notes;
      if (unit == 2 && !motif.empty() && SameChords(motifStart, start, 2 * kBar)) {
        for (const MelodyNote& n : motif)
          notes.push_back({n.tick - motifStart + start, n.length, n.key});
      } else {
        if (unit == 0) motifSeed = s_.seed * 131 + static_cast<uint64_t>(b) + firstBar;
        // A repeat over other chords keeps the motif's shape: same seed.
        Rng unitRng(unit == 2 ? motifSeed : s_.seed * 131 + static_cast<uint64_t>(b) + firstBar);
        const std::string& rh = unit == 1 ? answer : first;
        notes = Motif(rh, start, center, key, unitRng, unit == 3 || last);
      }
      if (unit == 0) motif = notes, motifStart = start;
      for (const MelodyNote& n : notes) {
        bool downbeat = (n.tick % kDivision) == 0;
        song_.Note(part, n.tick, n.length, n.key, Vel(downbeat ? 100 : 88));
      }
      if (!notes.empty()) key = notes.back().key;
    }
  }

  void Ending(uint32_t at) {
    Chord c = ParseChord(s_.endingChord);
    timeline_.push_back({at, at + kBar, c});
    song_.Note(drums_, at, kDivision, kCrash, 120);
    song_.Note(drums_, at, kStep, kKick, 120);
    song_.Note(drums_, at, kStep, 57, 110);  // second crash
    song_.Note(bass_, at, kBar - kStep, AtOrAbove(c.root, s_.bassLow), 110);
    for (int k : Voicing(c, s_.compCenter, compVoicing_)) song_.Note(comp_, at, kBar, k, 100);
    for (int k : Voicing(c, s_.padCenter, padVoicing_))
      song_.Note(pad_, at, kBar + 2 * kDivision, k, 80);
    song_.Note(lead_, at, kBar, NearestChordTone(AtOrAbove(s_.tonic, s_.leadCenter - 5), c), 100);
    // Let the last chord ring for a bar and a half before the tune ends.
    song_.SetEnd(at + kBar + kBar / 2);
  }

  const TuneStyle& s_;
  Rng rng_;
  MidiSong song_{kDivision};
  int drums_ = 0, perc_ = 0, bass_ = 0, comp_ = 0, pad_ = 0, lead_ = 0, altLead_ = 0;
  std::vector<TimedChord> timeline_;
  std::vector<int> compVoicing_, padVoicing_;
  int lastBass_ = 40;
};

}  // namespace

std::string Compose(const TuneStyle& style) {
  return Composer(style).Run();
}

}  // namespace forge::music
