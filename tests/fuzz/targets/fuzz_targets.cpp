#include "tests/fuzz/targets/fuzz_targets.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <cstdlib>
#include <string_view>

#include "actiondata/action_data.h"
#include "actiondata/action_file.h"
#include "actiondata/palette_file.h"
#include "app/game.h"
#include "config/ini_file.h"
#include "flow/run_record.h"
#include "gameplay/action_engine.h"
#include "graphics/bmp_file.h"
#include "graphics/jpeg_file.h"
#include "graphics/presentation.h"
#include "music/audio_length.h"
#include "music/midi_length.h"
#include "platform/headless/input_script.h"
#include "tests/fake_platform.h"

namespace kelvane::fuzz {
namespace {

std::string Bytes(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Large inputs only slow the search down; the readers' size checks are
// covered by the kept reproducers.
constexpr size_t kMaxInput = 1 << 20;

}  // namespace

void Broken(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: broken: %s\n", file, line, what);
  std::abort();
}

int ActionFile(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  auto a = std::make_unique<ActionData>();
  std::string error;
  const bool ok = ParseActionText(*a, Bytes(data, size), "Z_ac.txt", &error);
  FUZZ_CHECK(ok == error.empty());
  FUZZ_CHECK(a->motionCount <= ActionData::kMotionCapacity);
  FUZZ_CHECK(a->secondCount <= ActionData::kSecondCapacity);
  FUZZ_CHECK(a->thirdCount <= ActionData::kThirdCapacity);
  FUZZ_CHECK(a->lastRow < ActionData::kRowCapacity);
  FUZZ_CHECK(a->lastGroup < ActionData::kGroupCapacity);
  // Messages quote short excerpts, never whole fields.
  FUZZ_CHECK(error.size() < 400);
  if (ok) CheckPlayable(*a);
  return 0;
}

int Engine(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  static auto tg = std::make_unique<test::TestGame>();
  Game& g = tg->game;
  std::string error;
  if (!ParseActionText(g.actions, Bytes(data, size), "Z_ac.txt", &error)) return 0;
  if (!CheckPlayable(g.actions).empty()) return 0;
  if (g.gfx.spriteLayer.Empty()) CreateStageSurfaces(g);
  SetEngineStartValues(g);
  const int rows = std::min<int>(g.actions.lastRow, 7);
  for (int row = 0; row <= rows; ++row) {
    ResetAction(g);
    g.motion.currentRow = static_cast<int16_t>(row);
    // A script that spins without a picture runs the whole instruction
    // bound every frame; two such frames show all it does, and the rest
    // would only slow the search down.
    const uint32_t boundHits = g.motion.diag.instructionBoundHits;
    for (int frame = 0; frame < 64 && g.motion.diag.instructionBoundHits - boundHits < 2; ++frame)
      ActionStep(g);
  }
  return 0;
}

int Palette(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  Palettes p;
  std::string error;
  const std::string text = Bytes(data, size);
  if (ParsePaletteText(p, text, "Xx.txt", &error)) {
    BuildPalettes(p);
    for (int s = -1; s < Palettes::kCount - 1; ++s) FUZZ_CHECK((PaletteColour(p, s, 0) >> 24) == 0);
    return 0;
  }
  FUZZ_CHECK(error.size() < 400);
  // The line named is one the file has.
  const size_t colon = error.find(':');
  const long line = std::strtol(error.c_str() + colon + 1, nullptr, 10);
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  if (!text.empty() && text.back() != '\n') ++lines;
  FUZZ_CHECK(line >= 1 && static_cast<size_t>(line) <= std::max<size_t>(lines, 1));
  return 0;
}

int Settings(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  static const char* const kKeys[] = {"0:big", "c_max", "color", "SOMmk", "MUSmk",
                                      "MUScx", "NOMAL", "HARD_", "drive", "wallL",
                                      "wallS", "t-com", "ename", "comef"};
  const std::string bytes = Bytes(data, size);
  IniFile ini(bytes);
  // Read and written unchanged, the file keeps every byte.
  FUZZ_CHECK(ini.ToBytes() == bytes);
  std::vector<std::string> values;
  for (const char* key : kKeys) values.push_back(ini.ReadString("Kelvane", key, "?"));
  // Writing what was read, then a new key, reads back the same.
  for (size_t i = 0; i < std::size(kKeys); ++i)
    if (values[i] != "?" && values[i].find_first_of("\r\n") == std::string::npos &&
        values[i].find_first_of(" \t\"'") == std::string::npos)
      ini.WriteString("Kelvane", kKeys[i], values[i]);
  ini.WriteInteger("Kelvane", "NOMAL", 3);
  const std::string written = ini.ToBytes();
  IniFile back(written);
  FUZZ_CHECK(back.ReadInteger("Kelvane", "NOMAL", -1) == 3);
  for (size_t i = 0; i < std::size(kKeys); ++i)
    if (std::string_view(kKeys[i]) != "NOMAL")
      FUZZ_CHECK(back.ReadString("Kelvane", kKeys[i], "?") == values[i]);
  // Writing twice gives the same bytes.
  FUZZ_CHECK(IniFile(written).ToBytes() == written);
  return 0;
}

int Bmp(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  Surface s;
  const std::string bytes = Bytes(data, size);
  int w = 0, h = 0;
  const std::string header = ReadBmpSize(bytes, w, h);
  const std::string e = DecodeBmp(bytes, s);
  // The header check alone decides whether the file is refused up front.
  if (!header.empty()) FUZZ_CHECK(!e.empty());
  if (!e.empty()) return 0;
  FUZZ_CHECK(s.Width() == w && s.Height() == h);
  FUZZ_CHECK(int64_t{w} * h <= kMaxPicturePixels);
  Surface again;
  FUZZ_CHECK(DecodeBmp(EncodeBmp(s), again).empty());
  FUZZ_CHECK(again.Width() == w && again.Height() == h);
  return 0;
}

int Jpeg(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  JpegResult r = DecodeJpeg(Bytes(data, size), "X_b01.jpg");
  if (!r.ok) {
    FUZZ_CHECK(r.error.rfind("X_b01.jpg: ", 0) == 0);
    return 0;
  }
  FUZZ_CHECK(uint64_t(r.picture.width) * uint64_t(r.picture.height) <= kMaxJpegPixels);
  FUZZ_CHECK(r.picture.pixels.size() == size_t(r.picture.width) * size_t(r.picture.height));
  return 0;
}

int TuneLength(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (auto ms = MidiLengthMs(bytes)) FUZZ_CHECK(*ms <= kMaxTuneLengthMs);
  MeasureTuneBytes("Z01.mid", bytes);
  MeasureTuneBytes("a.wav", bytes);
  MeasureTuneBytes("a.mp3", bytes);
  return 0;
}

int InputScript(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  std::string error;
  auto events = ParseInputScript(Bytes(data, size), "in.txt", error);
  FUZZ_CHECK(events.has_value() == error.empty());
  if (events)
    for (size_t i = 1; i < events->size(); ++i) FUZZ_CHECK((*events)[i - 1].ms <= (*events)[i].ms);
  return 0;
}

// A record file as a player might share it: the reader, the slot label, the
// replay's event stream (also round and round, as a replay wraps) and the
// check value never read outside the lines, and a record written back out
// reads as the same record.
int Record(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  const std::string bytes = Bytes(data, size);
  if (std::optional<record::SlotHeader> h = record::ParseSlotHeader(bytes))
    FUZZ_CHECK(h->caption.size() <= record::kMaxLine);
  std::string error;
  std::optional<record::ParsedRecord> r = record::ParseRecord(bytes, &error);
  FUZZ_CHECK(r.has_value() == error.empty());
  if (!r) return 0;
  // One verdict: a record the game would replay shows in the slot list.
  FUZZ_CHECK(record::ParseSlotHeader(bytes).has_value());
  FUZZ_CHECK(r->lines.size() > record::kFirstEventLine);
  FUZZ_CHECK(r->computedCheck.size() == record::kCheckLength);
  FUZZ_CHECK(!r->checks || r->storedCheck == r->computedCheck);
  for (const record::Event& e : record::DecodeEvents(r->lines))
    for (uint8_t k : e.keys) FUZZ_CHECK(k <= 9);
  record::EventReader reader(&r->lines);
  record::Event e;
  for (int i = 0; i < 500 && reader.Next(e); ++i) {
    reader.TakeWrap();
    for (uint8_t k : e.keys) FUZZ_CHECK(k <= 9);
  }
  std::optional<record::ParsedRecord> back = record::ParseRecord(record::RecordFileText(r->lines));
  FUZZ_CHECK(back.has_value());
  FUZZ_CHECK(back->lines == r->lines);
  FUZZ_CHECK(back->checks == r->checks);
  return 0;
}

const std::vector<NamedTarget>& AllTargets() {
  static const std::vector<NamedTarget> targets = {
      {"action_file", ActionFile},
      {"engine", Engine},
      {"palette", Palette},
      {"settings", Settings},
      {"bmp", Bmp},
      {"jpeg", Jpeg},
      {"tune_length", TuneLength},
      {"input_script", InputScript},
      {"record", Record},
      {"cue_sheet", CueImage},
  };
  return targets;
}

}  // namespace kelvane::fuzz
