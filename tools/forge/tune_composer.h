// Composes the game's tunes from a compact description: a tempo and a key,
// drum, bass and comping patterns, chord progressions per section and lead
// rhythms from which melodies are built (motif, answer, repeat, cadence).
// Deterministic: a fixed seed per tune, nothing from the clock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace forge::music {

// Which parts play in a section.
enum PartBits : unsigned {
  kDrums = 1,
  kBass = 2,
  kComp = 4,
  kPad = 8,
  kLead = 16,
  kPerc = 32,
};
constexpr unsigned kFull = kDrums | kBass | kComp | kPad | kLead | kPerc;

// One drum instrument's steps: one character per sixteenth, 'X' accent,
// 'x' normal, 'o' ghost, '.' silent; 16 steps a bar, a pattern may span
// several bars.
struct DrumLine {
  int key;
  std::string steps;
};

struct Section {
  std::string name;
  int bars;
  // Chord names with an optional length in beats ("Am7 Fmaj7:2 G:2"),
  // cycled over the section.
  std::string progression;
  unsigned parts;
  bool lightDrums = false;  // the intro/break kit instead of the main one
  bool altLead = false;     // the second lead instrument takes the melody
  int leadShift = 0;        // semitones added to the melody's register
  int rhythmGroup = 0;      // which set of lead rhythms the melody uses
};

struct Instrument {
  int program;
  int volume;
  int pan;
  int reverb;
};

struct TuneStyle {
  std::string title;
  double bpm;
  int tonic;               // pitch class of the key note
  std::vector<int> scale;  // intervals of the key's scale
  double swing8 = 0;       // 1 = off-beat eighths on the triplet
  double swing16 = 0;      // 1 = off-beat sixteenths a dotted feel
  uint32_t seed;

  std::vector<DrumLine> drums, lightDrums, fill, perc;
  // Bass steps: R root, O octave, 5 fifth, 3 third, 7 seventh, A approach to
  // the next chord, W walking quarter, '-' hold, '.' rest.
  std::string bass;
  int bassLow;  // lowest bass key
  double bassGate;
  // Comping steps: X/x/o chord hits, '1'..'4' single voicing notes doubled
  // an octave up, '-' hold, '.' rest.
  std::string comp;
  int compCenter;
  double compGate;
  bool powerChords = false;
  int padCenter;
  int leadCenter;
  // Two-bar lead rhythms ('x' onset, '-' hold, '.' rest), two groups.
  std::vector<std::string> leadRhythms[2];

  Instrument bassInst, compInst, padInst, leadInst, altLeadInst;
  int drumVolume = 110;
  // Scales every part's channel volume (capped at full), so the tunes come
  // out about equally loud through the synthesiser; level goes with the
  // square of the volume.
  double mix = 1.0;

  std::vector<Section> sections;
  std::string endingChord;  // the final chord; empty for a seamless loop
};

// The Standard MIDI File of the tune.
std::string Compose(const TuneStyle& style);

}  // namespace forge::music
