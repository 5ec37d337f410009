// The stage tunes Z01.mid .. Z08.mid and the menu tune Zz.mid: eight styles,
// each with an intro, verses, a contrasting section, a break and an outro
// that lands on a final chord; the menu tune is a loop with no seam.
#include <cstdio>
#include <string>
#include <vector>

#include "music/midi_length.h"
#include "tools/forge/forge.h"
#include "tools/forge/tune_composer.h"

namespace forge {
namespace {

using namespace music;

// General MIDI drum keys.
enum Drum : int {
  kKick = 36,
  kRim = 37,
  kSnare = 38,
  kClap = 39,
  kSnare2 = 40,
  kLowTom = 45,
  kClosedHat = 42,
  kPedalHat = 44,
  kOpenHat = 46,
  kMidTom = 47,
  kHighTom = 50,
  kRide = 51,
  kTambourine = 54,
  kCowbell = 56,
  kHiConga = 62,
  kOpenConga = 63,
  kLowConga = 64,
  kHiTimbale = 65,
  kLowTimbale = 66,
  kShaker = 70,
  kClaves = 75,
  kKick2 = 35,
};

// The dance steps one picture every 120 ms play frame, and a typed move
// starts when the idle loop (4 frames) comes round. Every tune beats every 4
// frames, 125 beats a minute, so moves start on the beat.
constexpr int kPlayFrameMs = 120;

double BeatOf(int frames) {
  return 60000.0 / (frames * kPlayFrameMs);
}

// True when the tune's tempo events all give a beat of whole frames.
bool BeatIsWholeFrames(const std::string& bytes) {
  bool any = false;
  for (size_t at = bytes.find("\xFF\x51\x03"); at != std::string::npos && at + 6 <= bytes.size();
       at = bytes.find("\xFF\x51\x03", at + 1)) {
    uint32_t us = (uint32_t{static_cast<uint8_t>(bytes[at + 3])} << 16) |
                  (uint32_t{static_cast<uint8_t>(bytes[at + 4])} << 8) |
                  static_cast<uint8_t>(bytes[at + 5]);
    if (us % (kPlayFrameMs * 1000) != 0) return false;
    any = true;
  }
  return any;
}

const std::vector<int> kMajor = {0, 2, 4, 5, 7, 9, 11};
const std::vector<int> kMinor = {0, 2, 3, 5, 7, 8, 10};
const std::vector<int> kDorian = {0, 2, 3, 5, 7, 9, 10};
const std::vector<int> kMixolydian = {0, 2, 4, 5, 7, 9, 10};
const std::vector<int> kHarmonicMinor = {0, 2, 3, 5, 7, 8, 11};

TuneStyle House() {
  TuneStyle s;
  s.mix = 0.95;
  s.title = "Night Drive (house)";
  s.bpm = BeatOf(4);
  s.tonic = 9;
  s.scale = kMinor;
  s.swing16 = 0.15;
  s.seed = 101;
  s.drums = {{kKick, "X...x...X...x..."},
             {kClap, "....X.......X..."},
             {kOpenHat, "..x...x...x...x."},
             {kClosedHat, "o.o.o.o.o.o.o.oo"}};
  s.lightDrums = {{kKick, "x...x...x...x..."}, {kClosedHat, "..o...o...o...o."}};
  s.fill = {{kKick, "x...x...x...x..."}, {kSnare, "........x.x.xxxx"}, {kClap, "............X..."}};
  s.perc = {{kShaker, "oxoxoxoxoxoxoxox"}, {kTambourine, "....x.......x..."}};
  s.bass = "..R-..O-..R-.5A.";
  s.bassLow = 33;
  s.bassGate = 0.7;
  s.comp = "...X..x....x..x.";
  s.compCenter = 65;
  s.compGate = 0.45;
  s.padCenter = 60;
  s.leadCenter = 74;
  s.leadRhythms[0] = {"x-x-x---x-x-x---x-x-x-x-x-------", "..x-x-x-x---x-x-x-----..x-x-x---"};
  s.leadRhythms[1] = {"x-------x---x---x---x---x-------", "x--x--x-x-------x--x--x-x-x-x---"};
  s.bassInst = {38, 105, 64, 20};
  s.compInst = {0, 88, 50, 50};
  s.padInst = {89, 72, 78, 70};
  s.leadInst = {81, 82, 70, 60};
  s.altLeadInst = {11, 95, 58, 70};
  const char* a = "Am7 Fmaj7 C G";
  const char* b = "Dm7 Em7 Fmaj7 G";
  s.sections = {{"intro", 8, a, kDrums | kBass | kPad, true},
                {"verse", 16, a, kFull},
                {"chorus", 8, b, kFull, false, true, 3, 1},
                {"break", 8, "Fmaj7 G Am7 Am7", kPad | kLead | kPerc | kComp, false, true, 0, 1},
                {"verse", 16, a, kFull},
                {"chorus", 8, b, kFull, false, true, 3, 1},
                {"outro", 8, a, kFull & ~kLead}};
  s.endingChord = "Am9";
  return s;
}

TuneStyle Funk() {
  TuneStyle s;
  s.mix = 1.25;
  s.title = "Backstreet Strut (funk)";
  s.bpm = BeatOf(4);
  s.tonic = 4;
  s.scale = kDorian;
  s.swing16 = 0.3;
  s.seed = 202;
  s.drums = {{kKick, "X..x..x...X..x.."},
             {kSnare, "....X..o.o..X..o"},
             {kClosedHat, "xoxoxoxoxoxoxoxo"},
             {kOpenHat, "..............x."}};
  s.lightDrums = {{kKick, "X.........X....."}, {kClosedHat, "x.x.x.x.x.x.x.x."}};
  s.fill = {
      {kSnare, "........xoxoXxXx"}, {kLowTom, "..............X."}, {kKick, "X..x..x........."}};
  s.perc = {{kTambourine, "....x.......x..."}, {kCowbell, "x.....x...x....."}};
  s.bass = "R..RO.R.5..R.7A.";
  s.bassLow = 28;
  s.bassGate = 0.55;
  s.comp = ".x.x..x..x.x..x.";
  s.compCenter = 62;
  s.compGate = 0.35;
  s.padCenter = 60;
  s.leadCenter = 68;
  s.leadRhythms[0] = {"x.x..x.x..x-x...x.x..x-x---.....", ".x.x..x-x---x...x-.x-.x-x-------"};
  s.leadRhythms[1] = {"x-----x-x-----..x---x-x-x-------", "..x-x-x-x---..x-x-x-x-x-x-------"};
  s.bassInst = {36, 108, 64, 15};
  s.compInst = {7, 80, 40, 30};
  s.padInst = {17, 50, 88, 50};
  s.leadInst = {61, 92, 64, 50};
  s.altLeadInst = {65, 95, 70, 60};
  const char* a = "Em7 A9";
  const char* b = "Gmaj7 F#m7 Em7 A7";
  s.sections = {{"intro", 4, a, kDrums | kBass, true},
                {"verse", 16, a, kFull},
                {"chorus", 8, b, kFull, false, true, 2, 1},
                {"break", 4, "Em7", kDrums | kBass | kPerc | kComp},
                {"verse", 8, a, kFull},
                {"chorus", 8, b, kFull, false, true, 2, 1},
                {"outro", 4, a, kFull & ~kLead}};
  s.endingChord = "E9";
  return s;
}

TuneStyle Latin() {
  TuneStyle s;
  s.mix = 1.22;
  s.title = "Plaza Mayor (latin)";
  s.bpm = BeatOf(4);
  s.tonic = 2;
  s.scale = kHarmonicMinor;
  s.seed = 303;
  s.drums = {{kClaves, "x.....x.....x.......x...x......."},
             {kKick, "......x.....x..."},
             {kHiTimbale, "x.oxo.x.xo.x.o.o"}};
  s.lightDrums = {{kClaves, "x.....x.....x.......x...x......."}};
  s.fill = {{kHiTimbale, "........x.x.xxxx"}, {kLowTimbale, "..........x...xX"}};
  s.perc = {{kHiConga, "o.o.o.o.o.o.o.o."},
            {kOpenConga, "............x.x."},
            {kLowConga, "......x........."},
            {kCowbell, "x...x...x...x..."}};
  s.bass = "......5-----N---";
  s.bassLow = 31;
  s.bassGate = 0.95;
  s.comp = "1.3.2.3.1.3.2.4.";
  s.compCenter = 67;
  s.compGate = 0.8;
  s.padCenter = 62;
  s.leadCenter = 72;
  s.leadRhythms[0] = {"x-.x-.x-..x-x-x-x---..x-x-x-x---", "x.x.x-.x.x-x-...x-x-x---........"};
  s.leadRhythms[1] = {"x-------x---x---x-x-x-x-x-------", "..x-x-x-x-x-x---x-----..x-x-x---"};
  s.bassInst = {32, 110, 64, 20};
  s.compInst = {0, 90, 44, 45};
  s.padInst = {48, 55, 84, 70};
  s.leadInst = {56, 95, 64, 55};
  s.altLeadInst = {73, 100, 72, 65};
  const char* a = "Dm Gm A7 Dm";
  const char* b = "Gm C7 F A7";
  s.sections = {{"intro", 4, a, kDrums | kPerc | kBass | kComp, true},
                {"verse", 16, a, kFull},
                {"chorus", 8, b, kFull, false, true, 0, 1},
                {"mambo", 4, a, kDrums | kPerc | kBass | kComp, true},
                {"verse", 8, a, kFull},
                {"chorus", 8, b, kFull, false, true, 0, 1},
                {"outro", 4, a, kFull & ~kLead}};
  s.endingChord = "Dm6";
  return s;
}

TuneStyle SynthPop() {
  TuneStyle s;
  s.mix = 0.87;
  s.title = "Neon Hearts (synth-pop)";
  s.bpm = BeatOf(4);
  s.tonic = 0;
  s.scale = kMajor;
  s.seed = 404;
  s.drums = {{kKick, "X.......x.x....."},
             {kSnare2, "....X.......X..."},
             {kClap, "............x..."},
             {kClosedHat, "x.x.x.x.x.x.x.x."}};
  s.lightDrums = {{kKick, "x.......x......."}, {kClosedHat, "..x...x...x...x."}};
  s.fill = {{kSnare2, "........x.x.x.xx"},
            {kHighTom, "........x......."},
            {kMidTom, "..........x.x..."},
            {kLowTom, "..............xX"}};
  s.perc = {{kTambourine, "..x...x...x...x."}};
  s.bass = "R.R.R.R.R.R.O.R.";
  s.bassLow = 33;
  s.bassGate = 0.6;
  s.comp = "X..x..x...x..x..";
  s.compCenter = 64;
  s.compGate = 0.5;
  s.padCenter = 60;
  s.leadCenter = 72;
  s.leadRhythms[0] = {"x--x--x-x---....x--x--x-x-x-x---", ".x-x-x..x-x---..x-.x-.x-x-------"};
  s.leadRhythms[1] = {"x---x---x-------x---x---x---x---", "x-x-x---x-x-x---x-x-x-x-x-------"};
  s.bassInst = {38, 105, 64, 20};
  s.compInst = {90, 75, 44, 60};
  s.padInst = {50, 62, 84, 70};
  s.leadInst = {80, 85, 64, 60};
  s.altLeadInst = {62, 88, 70, 60};
  const char* a = "C G Am F";
  const char* b = "F G Em Am";
  s.sections = {{"intro", 8, a, kDrums | kBass | kPad, true},
                {"verse", 16, a, kFull},
                {"chorus", 8, b, kFull, false, true, 3, 1},
                {"break", 4, "Dm7 Em7 Fmaj7 G", kPad | kLead | kDrums, true, false, 0, 1},
                {"verse", 16, a, kFull},
                {"chorus", 8, b, kFull, false, true, 3, 1},
                {"outro", 4, a, kFull & ~kLead}};
  s.endingChord = "Cadd9";
  return s;
}

TuneStyle Swing() {
  TuneStyle s;
  s.mix = 1.25;
  s.title = "Uptown Hop (swing)";
  s.bpm = BeatOf(4);
  s.tonic = 10;
  s.scale = kMajor;
  s.swing8 = 1.0;
  s.seed = 505;
  s.drums = {{kRide, "x...x.x.x...x.x."},
             {kPedalHat, "....x.......x..."},
             {kKick2, "o...o...o...o..."},
             {kSnare, "..........o....o"}};
  s.lightDrums = {{kRide, "x...x.x.x...x.x."}, {kPedalHat, "....x.......x..."}};
  s.fill = {{kSnare, "........x.x.x.xX"}, {kKick2, "..............x."}};
  s.perc = {};
  s.bass = "W...W...W...W...";
  s.bassLow = 29;
  s.bassGate = 0.9;
  s.comp = "x.....x...........x.......x.....";
  s.compCenter = 62;
  s.compGate = 0.55;
  s.padCenter = 62;
  s.leadCenter = 70;
  s.leadRhythms[0] = {"x-x-x-x-x---x---x---x-x-x-------", "..x-x-x-x-x-x---x-x-x---x-------"};
  s.leadRhythms[1] = {"x-------x---x---x---x-x-x-------", "x---..x-x-x-x-x-x---x---x---...."};
  s.bassInst = {32, 112, 64, 25};
  s.compInst = {0, 82, 44, 50};
  s.padInst = {61, 52, 84, 60};
  s.leadInst = {65, 100, 64, 55};
  s.altLeadInst = {56, 96, 72, 60};
  const char* a =
      "Bb6:2 G7:2 Cm7:2 F7:2 Dm7:2 G7:2 Cm7:2 F7:2 Bb6:2 Bb7:2 Eb6:2 Edim7:2 Bb6:2 F7:2 Bb6:4";
  const char* bridge = "D7:8 G7:8 C7:8 F7:8";
  s.sections = {{"intro", 4, "Cm7:2 F7:2", kDrums | kBass | kComp, true},
                {"head", 8, a, kDrums | kBass | kComp | kLead},
                {"head", 8, a, kDrums | kBass | kComp | kLead},
                {"bridge", 8, bridge, kFull, false, false, 0, 1},
                {"head", 8, a, kDrums | kBass | kComp | kLead},
                {"solo", 8, a, kDrums | kBass | kComp | kLead | kPad, false, true, 2, 1},
                {"solo bridge", 8, bridge, kFull, false, true, 2, 0},
                {"last head", 8, a, kFull},
                {"tag", 4, "Cm7:2 F7:2", kDrums | kBass | kComp}};
  s.endingChord = "Bb6";
  return s;
}

TuneStyle DrumAndBass() {
  TuneStyle s;
  s.mix = 0.75;
  s.title = "Skyline Rush (breakbeat)";
  s.bpm = BeatOf(4);
  s.tonic = 5;
  s.scale = kMinor;
  s.seed = 606;
  s.drums = {{kKick, "X.........X.....X.....X...x....."},
             {kSnare, "....X......o.X......X..o....X..o"},
             {kClosedHat, "x.o.x.o.x.o.x.ox"},
             {kRide, "..x...x...x...x."}};
  s.lightDrums = {{kRide, "x...x...x...x..."}, {kKick, "X..............."}};
  s.fill = {{kSnare, "........xoxoxXxX"}, {kKick, "X.........X....."}};
  s.perc = {{kShaker, "oxoxoxoxoxoxoxox"}};
  s.bass = "R-------..R-5-O-";
  s.bassLow = 29;
  s.bassGate = 0.95;
  s.comp = "X-----....x-----";
  s.compCenter = 63;
  s.compGate = 0.9;
  s.padCenter = 60;
  s.leadCenter = 72;
  s.leadRhythms[0] = {"x-------x-------x---x---x-------", "x-----x-x-------x-------x---x---"};
  s.leadRhythms[1] = {"x---x---x-------x---x---x---x---", "..x-x-x-x-------x-------x---...."};
  s.bassInst = {39, 112, 64, 10};
  s.compInst = {4, 78, 50, 70};
  s.padInst = {95, 68, 78, 80};
  s.leadInst = {81, 78, 64, 80};
  s.altLeadInst = {53, 92, 64, 90};
  const char* a = "Fm9 Dbmaj7 Ebsus4 Cm7";
  const char* b = "Bbm7 Cm7 Dbmaj7 Eb";
  s.sections = {{"intro", 8, a, kDrums | kPad | kComp, true},
                {"drop", 16, a, kFull},
                {"lift", 16, b, kFull, false, true, 0, 1},
                {"breakdown", 8, a, kPad | kComp | kLead, false, true, 0, 1},
                {"drop", 16, a, kFull},
                {"outro", 8, a, kFull & ~kLead}};
  s.endingChord = "Fm9";
  return s;
}

TuneStyle Reggae() {
  TuneStyle s;
  s.mix = 1.45;
  s.title = "Island Time (ska)";
  s.bpm = BeatOf(4);
  s.tonic = 7;
  s.scale = kMajor;
  s.swing16 = 0.4;
  s.seed = 707;
  s.drums = {{kKick, "........X......."},
             {kRim, "........X......."},
             {kClosedHat, "x.x.x.x.x.x.x.x."},
             {kOpenHat, "..............x."}};
  s.lightDrums = {{kRim, "........X......."}, {kClosedHat, "x...x...x...x..."}};
  s.fill = {
      {kSnare, "........x..x.xx."}, {kMidTom, "............x..."}, {kLowTom, "..............xX"}};
  s.perc = {{kShaker, "..o...o...o...o."}, {kCowbell, "....x.......x..."}};
  s.bass = "R---..R-5-3-..A.";
  s.bassLow = 31;
  s.bassGate = 0.85;
  s.comp = "....x.......x...";
  s.compCenter = 64;
  s.compGate = 0.25;
  s.padCenter = 60;
  s.leadCenter = 69;
  s.leadRhythms[0] = {"x---x-x-x-------..x-x-x-x---x---", "....x-x-x---x---x-------........"};
  s.leadRhythms[1] = {"x-x-x---x-x-x---x-------x-------", "..x-x-x-x-x-x---x---x---x-------"};
  s.bassInst = {33, 115, 64, 15};
  s.compInst = {27, 78, 40, 50};
  s.padInst = {16, 45, 88, 50};
  s.leadInst = {22, 92, 64, 60};
  s.altLeadInst = {56, 90, 70, 70};
  const char* a = "G C D C";
  const char* b = "Em C G D";
  s.sections = {
      {"intro", 4, a, kDrums | kBass | kComp, true}, {"verse", 8, a, kFull},
      {"chorus", 8, b, kFull, false, true, 0, 1},    {"dub", 8, a, kDrums | kBass | kPerc},
      {"chorus", 8, b, kFull, false, true, 0, 1},    {"outro", 4, a, kFull & ~kLead}};
  s.endingChord = "G";
  return s;
}

TuneStyle Rock() {
  TuneStyle s;
  s.mix = 1.15;
  s.title = "Highway Fire (rock)";
  s.bpm = BeatOf(4);
  s.tonic = 4;
  s.scale = kMixolydian;
  s.seed = 808;
  s.drums = {
      {kKick, "X.....x.X.x....."}, {kSnare, "....X.......X..."}, {kClosedHat, "x.x.x.x.x.x.x.x."}};
  s.lightDrums = {{kOpenHat, "x...x...x...x..."}, {kKick, "x.......x......."}};
  s.fill = {{kSnare, "........xxxx...."}, {48, "............xx.."}, {kLowTom, "..............xx"}};
  s.perc = {{kTambourine, "....x.......x..."}};
  s.bass = "R.R.R.R.R.R.R.R.";
  s.bassLow = 28;
  s.bassGate = 0.8;
  s.comp = "X.x.x.x.X.x.x.x.";
  s.compCenter = 52;
  s.compGate = 0.85;
  s.powerChords = true;
  s.padCenter = 62;
  s.leadCenter = 69;
  s.leadRhythms[0] = {"x-x-x---x-x-x---x-x-x-x-x-------", "x--x--x-x---....x--x--x-x-x-x---"};
  s.leadRhythms[1] = {"x-------x---x---x---x---x-------", "x-x-x-x-x---x---x---x-x-x-------"};
  s.bassInst = {34, 110, 64, 15};
  s.compInst = {30, 78, 40, 35};
  s.padInst = {18, 55, 88, 50};
  s.leadInst = {29, 95, 64, 55};
  s.altLeadInst = {62, 90, 72, 60};
  const char* a = "E D A E";
  const char* b = "C#m A E B";
  s.sections = {{"intro", 4, a, kDrums | kBass | kComp, true},
                {"verse", 16, a, kFull},
                {"chorus", 8, b, kFull, false, false, 2, 1},
                {"verse", 8, a, kFull},
                {"bridge", 8, "A B C#m B", kDrums | kBass | kPad | kLead, true, true, 0, 1},
                {"chorus", 8, b, kFull, false, false, 2, 1},
                {"outro", 8, a, kFull & ~kLead}};
  s.endingChord = "E5";
  return s;
}

// The menu tune: a mellow groove that restarts without a seam.
TuneStyle MenuLoop() {
  TuneStyle s;
  s.mix = 1.18;
  s.title = "Lobby (menu loop)";
  s.bpm = BeatOf(4);
  s.tonic = 2;
  s.scale = kDorian;
  s.swing16 = 0.25;
  s.seed = 909;
  s.drums = {
      {kRim, "..x..x....x..x.."}, {kKick, "x..x..x.x..x..x."}, {kClosedHat, "x.o.x.o.x.o.x.o."}};
  s.lightDrums = s.drums;
  s.fill = {{kRim, "........x.x.x.x."}, {kKick, "x..x..x........."}};
  s.perc = {{kShaker, "oxoxoxoxoxoxoxox"}};
  s.bass = "R--.5-R.R--.5-A.";
  s.bassLow = 31;
  s.bassGate = 0.85;
  s.comp = "x--.x-.x..x-.x..";
  s.compCenter = 62;
  s.compGate = 0.8;
  s.padCenter = 60;
  s.leadCenter = 74;
  s.leadRhythms[0] = {"x---x-x-x-------..x-x-x-x---x---", "x-x-x---x-------x---x-x-x-------"};
  s.leadRhythms[1] = {"x-------x---x---x---x---x-------", "..x-x-x-x-x-x---x-------........"};
  s.bassInst = {33, 100, 64, 25};
  s.compInst = {4, 80, 48, 60};
  s.padInst = {89, 55, 80, 70};
  s.leadInst = {11, 95, 70, 70};
  s.altLeadInst = {73, 90, 60, 70};
  s.sections = {{"A", 8, "Dm9 G13 Cmaj9 A7b9", kFull},
                {"B", 8, "Fmaj7 Em7 Dm9 G13", kFull, false, true, 0, 1}};
  s.endingChord = "";
  return s;
}

struct TuneFile {
  const char* name;
  TuneStyle (*style)();
  bool stage;
};

void WriteTunes(Forge& f) {
  const TuneFile files[] = {
      {"Z01.mid", House, true},    {"Z02.mid", Funk, true},  {"Z03.mid", Latin, true},
      {"Z04.mid", SynthPop, true}, {"Z05.mid", Swing, true}, {"Z06.mid", DrumAndBass, true},
      {"Z07.mid", Reggae, true},   {"Z08.mid", Rock, true},  {"Zz.mid", MenuLoop, false}};
  for (const TuneFile& t : files) {
    TuneStyle style = t.style();
    std::string bytes = Compose(style);
    // The game times each stage by this measurement, so check it here.
    std::optional<uint32_t> ms = kelvane::MidiLengthMs(bytes);
    if (!ms) throw ForgeError{std::string(t.name) + ": the written tune cannot be measured"};
    if (t.stage && (*ms < 60000 || *ms > 150000))
      throw ForgeError{std::string(t.name) + ": " + std::to_string(*ms) +
                       " ms is outside 60..150 s"};
    if (!BeatIsWholeFrames(bytes))
      throw ForgeError{std::string(t.name) + ": the beat is not a whole number of play frames"};
    f.WriteFile(t.name, bytes);
    std::printf("%-8s %-30s %5.1f bpm %6.1f s\n", t.name, style.title.c_str(), style.bpm,
                *ms / 1000.0);
  }
}

}  // namespace

FORGE_WRITER("tunes", WriteTunes);

}  // namespace forge
