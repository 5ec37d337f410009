// The loudness the player hears from the real window: the program runs in a
// child process with SDL's disk audio driver, the music menu previews a loud
// and a quiet WAV, a MIDI tune and a CD track (each restarted once its first
// hearing has measured it), cursor keys sound an effect alone, and the test
// measures the written audio.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/game_state.h"
#include "music/sound_balance.h"
#include "platform/cd/cd_disc.h"
#include "platform/cd/cd_drives.h"
#include "platform/core/file_places.h"
#include "platform/core/loudness.h"
#include "platform/sdl/file_loudness.h"
#include "platform/sdl/music_stream.h"
#include "tests/qt/program_child.h"

namespace kelvane {
namespace {

using namespace child;
namespace sb = sound_balance;
using Clock = std::chrono::steady_clock;

constexpr int kDemoPlay = 255;
constexpr int kModeMenuWaits = 90;
constexpr int kMusicMenuWaits = 10;
constexpr int kReturn = Qt::Key_Return, kLeft = Qt::Key_Left, kRight = Qt::Key_Right;
constexpr int kEffect = 32;  // the music menu's cursor move
constexpr int kClicks = 16;
constexpr double kTuneSeconds = 5;
constexpr double kMeasuredSeconds = 3;

// ---- Forged sound ----

std::string U32(uint32_t v) {
  return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

std::string Wav(const std::vector<int16_t>& stereo) {
  const auto bytes = static_cast<uint32_t>(stereo.size() * 2);
  std::string wav = "RIFF" + U32(36 + bytes) + "WAVEfmt " + U32(16) + std::string("\x01\x00\x02\x00", 4) +
                    U32(kStreamRate) + U32(kStreamRate * 4) + std::string("\x04\x00\x10\x00", 4) +
                    "data" + U32(bytes);
  wav.append(reinterpret_cast<const char*>(stereo.data()), bytes);
  return wav;
}

// Dense music-like sound: a chord that changes every half second over
// noise, scaled so it measures `lufs` as made.
std::vector<int16_t> Chords(double seconds, double lufs) {
  const auto frames = static_cast<size_t>(seconds * kStreamRate);
  std::vector<double> v(frames * 2);
  uint32_t noise = 7;
  const double roots[] = {220, 262, 196, 247};
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kStreamRate;
    const double f = roots[static_cast<size_t>(t * 2) % 4];
    for (int c = 0; c < 2; ++c) {
      noise = noise * 1664525u + 1013904223u;
      v[i * 2 + c] = std::sin(2 * M_PI * f * t) + 0.6 * std::sin(2 * M_PI * f * 1.5 * t + c) +
                     0.4 * std::sin(2 * M_PI * f * 4 * t) + 0.3 * (double(noise >> 16) / 32768.0 - 1.0);
    }
  }
  auto scaled = [&](double gain) {
    std::vector<int16_t> pcm(v.size());
    for (size_t i = 0; i < v.size(); ++i)
      pcm[i] = static_cast<int16_t>(std::clamp(std::lround(v[i] * gain), -32767L, 32767L));
    return pcm;
  };
  LoudnessMeter meter(kStreamRate);
  std::vector<int16_t> unit = scaled(3000);
  meter.Add(unit.data(), frames);
  return scaled(3000 * sb::GainFactor(lufs - meter.Result().integrated_lufs));
}

// A MIDI tune: an organ chord on every beat at 120 bpm, for `seconds`.
std::string Midi(double seconds) {
  // Steady, so its loudness is not held down by its peaks.
  std::string track = std::string("\x00\xC0\x10", 3);
  auto delta = [](uint32_t ticks) {
    std::string out(1, char(ticks & 0x7F));
    while (ticks >>= 7) out.insert(out.begin(), char(0x80 | (ticks & 0x7F)));
    return out;
  };
  const int beats = static_cast<int>(seconds * 2);
  const uint8_t chord[] = {48, 60, 64, 67};
  uint32_t wait = 0;
  auto event = [&](uint8_t status, uint8_t note, uint8_t velocity) {
    track += delta(wait) + std::string{char(status), char(note), char(velocity)};
    wait = 0;
  };
  for (int b = 0; b < beats; ++b) {
    for (uint8_t n : chord) event(0x90, n, 100);
    wait = 440;
    for (uint8_t n : chord) event(0x80, n, 0);
    wait = 40;
  }
  track += delta(wait) + std::string("\xFF\x2F\x00", 3);
  auto be32 = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
  return std::string("MThd", 4) + be32(6) + std::string("\x00\x00\x00\x01\x01\xE0", 6) + "MTrk" +
         be32(static_cast<uint32_t>(track.size())) + track;
}

// ---- In the child: the window driven by the 50 ms poll ----

std::string diskFile;

void Note(const std::string& line) {
  std::ofstream(childDir + "marks.txt", std::ios::app) << line << "\n";
}

uintmax_t DiskBytes() {
  std::error_code ec;
  const uintmax_t n = std::filesystem::file_size(diskFile, ec);
  return ec ? 0 : n;
}

void Drop(QWidget* target, const std::string& path) {
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  if (!drop.isAccepted()) Note("refused " + std::to_string(DiskBytes()));
}

// What the music menu does once it waits, step by step: each step runs
// after the pause before it (seconds) once it may.
struct Step {
  double after;
  std::function<void(QWidget*)> act;
  std::function<bool()> may = [] { return true; };
};

// A first hearing has done its work: the tune is measured.
bool Measured() {
  return WaitForFileLoudnessMeasured(std::chrono::milliseconds(0));
}

std::vector<Step> MenuSteps() {
  auto mark = [](const std::string& what) {
    return [what](QWidget*) { Note(what + " " + std::to_string(DiskBytes())); };
  };
  auto drop = [](const std::string& name) {
    return [name](QWidget* w) { Drop(w, childDir + "tunes/" + name); };
  };
  auto tap = [](int key) { return [key](QWidget* w) { Tap(w, key); }; };
  std::vector<Step> steps;
  // The effect alone: the cursor walks left and right, a click a step.
  steps.push_back({0.5, mark("effects-from")});
  for (int i = 0; i < kClicks; ++i) steps.push_back({0.25, tap(i % 2 ? kRight : kLeft)});
  steps.push_back({0.25, mark("effects-to")});
  // A file's first hearing measures it; the drop after restarts it at the
  // measured level.
  for (const char* name : {"loud.wav", "quiet.wav"}) {
    steps.push_back({0.2, drop(name)});
    steps.push_back({1.5, drop(name), Measured});
    steps.push_back({0.6, mark(std::string(name) + "-from")});
    steps.push_back({kMeasuredSeconds, mark(std::string(name) + "-to")});
  }
  // A MIDI tune, with renders turned off, is measured on a synthesiser
  // aside while it plays; its next start plays at that figure.
  steps.push_back({0.2, drop("tune.mid")});
  steps.push_back({0.6, mark("synthesised-from")});
  steps.push_back({kMeasuredSeconds, mark("synthesised-to")});
  steps.push_back({kTuneSeconds + 0.9 - kMeasuredSeconds, drop("tune.mid"), Measured});
  steps.push_back({0.6, mark("tune.mid-from")});
  steps.push_back({kMeasuredSeconds, mark("tune.mid-to")});
  // The CD: Left to the source item (the cursor stands on the first item),
  // twice on from the play list past the stage tunes; Left twice to the
  // preview, pressed twice.
  steps.push_back({0.2, tap(kLeft)});
  steps.push_back({0.4, tap(kReturn)});
  steps.push_back({0.6, tap(kReturn)});
  steps.push_back({0.6, tap(kLeft)});
  steps.push_back({0.3, tap(kLeft)});
  steps.push_back({0.4, tap(kReturn)});
  steps.push_back({1.5, tap(kReturn), Measured});
  steps.push_back({0.6, mark("cd-from")});
  steps.push_back({kMeasuredSeconds, mark("cd-to")});
  steps.push_back({0.1, [](QWidget* w) { w->close(); }});
  return steps;
}

void Drive(QWidget* w, int scene, int sub) {
  static std::vector<Step> steps = MenuSteps();
  static size_t next = 0;
  static Clock::time_point last = Clock::now();
  const auto now = Clock::now();
  const double since = std::chrono::duration<double>(now - last).count();
  if (scene != scene::kMusicMenu) {
    // On through the demonstration, the opening and three menu pages
    // (each page's centre item): a key whenever one waits, not too often
    // for the page to follow.
    const bool waits = scene == kDemoPlay || scene == scene::kOpeningLogo ||
                       (scene == scene::kModeMenu && sub == kModeMenuWaits);
    if (waits && since > 1.2) {
      Tap(w, kReturn);
      last = now;
    }
    return;
  }
  if (next == 0 && sub != kMusicMenuWaits) {
    last = now;
    return;
  }
  if (next < steps.size() && since >= steps[next].after && steps[next].may()) {
    steps[next++].act(w);
    last = now;
  }
}

// ---- In the test process ----

struct Marks {
  std::map<std::string, uintmax_t> at;
  // The stereo frames written between name-from and name-to.
  std::pair<size_t, size_t> Frames(const std::string& name) const {
    auto from = at.find(name + "-from"), to = at.find(name + "-to");
    if (from == at.end() || to == at.end()) return {0, 0};
    return {from->second / 4, to->second / 4};
  }
};

Marks ReadMarks(const std::string& path) {
  Marks m;
  std::istringstream in(test::ReadAll(path));
  std::string name;
  uintmax_t bytes = 0;
  while (in >> name >> bytes) m.at[name] = bytes;
  return m;
}

// The loudness of what sounds: ten-millisecond pieces quieter than -60 dBFS
// at their peak are left out, so an effect is measured while it sounds.
LoudnessFigure Sounding(const int16_t* stereo, size_t frames, unsigned rate) {
  const size_t piece = rate / 100;
  std::vector<int16_t> kept;
  for (size_t at = 0; at + piece <= frames; at += piece) {
    int peak = 0;
    for (size_t i = at * 2; i < (at + piece) * 2; ++i) peak = std::max(peak, std::abs(int{stereo[i]}));
    if (peak > 33) kept.insert(kept.end(), stereo + at * 2, stereo + (at + piece) * 2);
  }
  LoudnessMeter meter(rate);
  meter.Add(kept.data(), kept.size() / 2);
  return meter.Result();
}

int RunChild() {
  drive = Drive;
  Options o;
  o.lang = "en";
  o.cdImages = {childDir + "tunes/disc.cue"};
  qAddPreRoutine(StartDriving);
  o.seed = 11;
  o.traceFile = traceFile;
  // Renders off: the synthesiser plays the MIDI tune every time.
  FilePlaces places{childDir, {}, {}, {}, {}};
  static char name[] = "kelvane";
  static char* argv[] = {name, nullptr};
  return RunQtProgram(o, places, 1, argv);
}

TEST(WindowLoudness, EveryKindOfTunePlaysAtTheTargetWithTheEffectsTheSetDistanceUnder) {
  const bool parent = std::getenv("KELVANE_CHILD_TEST_DIR") == nullptr;
  Prepare("window-loudness", "");
  diskFile = childDir + "disk.raw";
  if (parent) {
    // No default tune to render aside: the machine stays free for the
    // music that is measured.
    for (const auto& e : std::filesystem::directory_iterator(childDir))
      if (e.path().extension() == ".mid") std::filesystem::remove(e.path());
    const std::string tunes = childDir + "tunes/";
    std::filesystem::create_directories(tunes);
    // Mastered loud, and very quiet.
    test::WriteAll(tunes + "loud.wav", Wav(Chords(kTuneSeconds, -10)));
    test::WriteAll(tunes + "quiet.wav", Wav(Chords(kTuneSeconds, -32)));
    test::WriteAll(tunes + "tune.mid", Midi(kTuneSeconds));
    // Two tracks on the disc: the first is previewed.
    std::vector<int16_t> disc = Chords(2 * kTuneSeconds, -26);
    const auto sectors = static_cast<uint32_t>(disc.size() * 2 / kCdSectorBytes);
    disc.resize(sectors * kCdSectorBytes / 2);
    test::WriteAll(tunes + "disc.bin",
                   std::string(reinterpret_cast<const char*>(disc.data()), disc.size() * 2));
    test::WriteAll(tunes + "disc.cue", "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 " +
                                           test::CueTime(0) + "\n  TRACK 02 AUDIO\n    INDEX 01 " +
                                           test::CueTime(sectors / 2) + "\n");
    // The image is the drive after this machine's own; the dialog takes it.
    AddCdImage(tunes + "disc.cue");
    test::WriteAll(childDir + "Kelvane.ini", "[Kelvane]\ndrive=" + ListCdDrives().back().label + "\n");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", diskFile.c_str(), 1);
  }
  hungAfterMs = 150000;
  EXPECT_EXIT(std::exit(RunChild()), ::testing::ExitedWithCode(0), "");
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  Finish();

  const std::string disk = test::ReadAll(diskFile);
  const auto* pcm = reinterpret_cast<const int16_t*>(disk.data());
  const size_t frames = disk.size() / 4;
  const Marks marks = ReadMarks(childDir + "marks.txt");
  EXPECT_EQ(marks.at.count("refused"), 0u) << "the window refused a dropped tune";
  auto figure = [&](const std::string& name) {
    auto [from, to] = marks.Frames(name);
    EXPECT_LT(from, to) << name << " was not reached";
    EXPECT_LE(to, frames) << name;
    to = std::min(to, frames);
    LoudnessMeter meter(kStreamRate);
    if (from < to) meter.Add(pcm + from * 2, to - from);
    return meter.Result().integrated_lufs;
  };
  std::map<std::string, double> played;
  for (const char* name : {"loud.wav", "quiet.wav", "tune.mid", "cd"}) {
    played[name] = figure(name);
    std::printf("%-9s played at %.1f LUFS\n", name, played[name]);
    EXPECT_NEAR(played[name], sb::kTargetLufs, 1.0) << name;
  }
  // The MIDI tune's first hearing, before it was measured, plays as made:
  // far enough off the target that the measured figure is what brought it
  // there.
  const double synthesised = figure("synthesised");
  std::printf("tune.mid  first heard at %.1f LUFS\n", synthesised);
  EXPECT_GT(std::fabs(synthesised - sb::kTargetLufs), 2.0);

  // The effect as the window sounded it, against its file at the effects'
  // gain, and how far under each of the loudest and the quietest tune.
  auto [from, to] = marks.Frames("effects");
  ASSERT_LT(from, to);
  ASSERT_LE(to, frames);
  const LoudnessFigure effects = Sounding(pcm + from * 2, to - from, kStreamRate);
  const std::string file = test::ReadAll(test::GameDir() + "Y_q" + std::to_string(kEffect) + ".wav");
  ASSERT_GT(file.size(), 44u);
  const unsigned rate = static_cast<uint8_t>(file[24]) | static_cast<uint8_t>(file[25]) << 8;
  std::vector<int16_t> clicks;
  for (int n = 0; n < kClicks; ++n)
    for (size_t i = 44; i + 1 < file.size(); i += 2) {
      const auto v = static_cast<int16_t>(static_cast<uint8_t>(file[i]) | static_cast<uint8_t>(file[i + 1]) << 8);
      clicks.insert(clicks.end(), 2, static_cast<int16_t>(std::lround(v * sb::GainFactor(sb::kEffectsGainDb))));
    }
  const LoudnessFigure expected = Sounding(clicks.data(), clicks.size() / 2, rate);
  ASSERT_TRUE(effects.valid && expected.valid);
  std::printf("effect %d: %.1f LUFS while it sounds (its file at the effects' gain: %.1f)\n", kEffect,
              effects.integrated_lufs, expected.integrated_lufs);
  EXPECT_NEAR(effects.integrated_lufs, expected.integrated_lufs, 1.0);
  for (const char* name : {"loud.wav", "quiet.wav"}) {
    const double under = played[name] - effects.integrated_lufs;
    std::printf("the effect sits %.1f LU under %s (set: %.1f)\n", under, name,
                sb::kTargetLufs - expected.integrated_lufs);
    EXPECT_NEAR(under, sb::kTargetLufs - expected.integrated_lufs, 1.5) << name;
  }
}

}  // namespace
}  // namespace kelvane
