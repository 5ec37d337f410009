#include "flow/run_record.h"

#include <algorithm>

#include "app/game.h"
#include "flow/stage_cycle.h"
#include "gameplay/command_entry.h"
#include "graphics/glyph_text.h"
#include "platform/core/text_codec.h"

namespace kelvane {
namespace record {
namespace {

constexpr char kBlank = ' ';
// Where the check value falls back to when a symbol would be a blank or
// lie past the table: the ten-thousands digits, never blank.
constexpr int kCheckFallback = 80;
constexpr int kCheckFallbackSpread = 9;
// Frame counts read back saturate here; the game never writes more than
// kMaxFrameCount.
constexpr uint32_t kMaxReadFrames = 999999;

uint32_t PlaceValue(int value) {
  if (value < 40) return 1;
  if (value < 60) return 10;
  if (value < 70) return 100;
  if (value < 80) return 1000;
  return 10000;
}

std::string Trim(std::string_view s) {
  size_t a = s.find_first_not_of(kBlank);
  if (a == std::string_view::npos) return {};
  size_t b = s.find_last_not_of(kBlank);
  return std::string(s.substr(a, b - a + 1));
}

// A decimal number of at most 9 digits, blanks around it allowed.
std::optional<int32_t> Number(std::string_view s) {
  std::string t = Trim(s);
  if (t.empty() || t.size() > 9) return std::nullopt;
  int32_t v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::string Field(const std::string& line, size_t first, size_t count) {
  if (line.size() < first) return {};
  return line.substr(first - 1, count);
}

}  // namespace

std::optional<int32_t> OpeningCommand(const std::string& header) {
  return Number(std::string_view(header).substr(0, 4));
}

int SymbolValue(char c) {
  size_t p = kCodeTable.find(c);
  return p == std::string_view::npos ? -1 : static_cast<int>(p);
}

char SymbolOf(int value) {
  return kCodeTable[static_cast<size_t>(value)];
}

std::string RecordName(const std::string& entryName) {
  return FilterGlyphText(6, entryName);
}

std::string RecordArea(const std::string& entryName, const std::string& entryArea) {
  std::string area = FilterGlyphText(7, entryArea);
  if (RecordName(entryName) == kComputerName && area == kComputerArea)
    return std::string(kImpostorArea);
  return area;
}

std::string CheckValue(const std::vector<std::string>& lines) {
  std::string out;
  if (lines.size() <= kFirstEventLine) return out;
  const std::string& header = lines[0];
  const size_t n = lines.size();
  const size_t eventLines = n - kFirstEventLine;
  for (size_t k = 16; k >= 5; --k) {
    const char ch = k <= header.size() ? header[k - 1] : '\0';
    const size_t v = static_cast<size_t>(51 - GlyphNumber(ch));
    const std::string& line = lines[n - (v % eventLines) - 1];
    int p = 0;
    if (!line.empty()) p = SymbolValue(line[v % line.size()]) + 1;
    const size_t next = static_cast<size_t>(p);
    if (next < kCodeTable.size() && kCodeTable[next] != kBlank) {
      out += kCodeTable[next];
    } else {
      out += kCodeTable[static_cast<size_t>(kCheckFallback + p % kCheckFallbackSpread)];
    }
  }
  return out;
}

void EventReader::Start(const std::vector<std::string>* lines, bool once) {
  lines_ = lines;
  once_ = once;
  line_ = kFirstEventLine;
  pos_ = kOpeningLength;
  wrapped_ = false;
  budget_ = 0;
  exhausted_ = !lines || lines->size() <= kFirstEventLine;
  if (exhausted_) return;
  for (size_t i = kFirstEventLine; i < lines->size(); ++i) {
    const size_t length = (*lines)[i].size();
    if (length > kMaxLine) exhausted_ = true;
    budget_ += length;
  }
  if (budget_ == 0) exhausted_ = true;
}

int EventReader::ReadValue() {
  // One pass over the whole stream is enough to find a symbol if there is
  // one; a stream of foreign characters ends here.
  for (size_t tries = 0; !exhausted_ && tries <= budget_; ++tries) {
    while (pos_ >= (*lines_)[line_].size()) {
      pos_ = 0;
      if (++line_ >= lines_->size()) {
        line_ = kFirstEventLine;
        wrapped_ = true;
        if (once_) {
          exhausted_ = true;
          return -1;
        }
      }
    }
    const int v = SymbolValue((*lines_)[line_][pos_++]);
    if (v >= 0) return v;
  }
  exhausted_ = true;
  return -1;
}

void EventReader::StepBack() {
  if (pos_ > 0) --pos_;
}

bool EventReader::Next(Event& e) {
  e = Event{};
  int keys = 0;
  size_t reads = 0;
  while (keys < 4) {
    // Counts without a key or separator, round and round: not a stream.
    if (++reads > budget_ + 1) exhausted_ = true;
    const int v = ReadValue();
    if (v < 0) return keys > 0 || e.frames > 0;
    if (v < kKeyValues) {
      e.keys[static_cast<size_t>(keys++)] = static_cast<uint8_t>(v % 10);
    } else if (v < kSeparatorFirst) {
      if (keys > 0) {
        StepBack();
        break;
      }
      e.frames = std::min(kMaxReadFrames, e.frames + static_cast<uint32_t>(v % 10) * PlaceValue(v));
    } else {
      e.groupEnd = true;
      break;
    }
  }
  return true;
}

std::vector<Event> DecodeEvents(const std::vector<std::string>& lines) {
  std::vector<Event> events;
  EventReader reader;
  reader.Start(&lines, true);
  Event e;
  while (reader.Next(e)) events.push_back(e);
  return events;
}

std::optional<ParsedRecord> ParseRecord(std::string_view bytes, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<ParsedRecord> {
    if (error) *error = why;
    return std::nullopt;
  };
  if (bytes.size() > kMaxFileBytes) return fail("larger than any record");
  ParsedRecord r;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    r.lines.emplace_back(line);
    start = end + 1;
  }
  while (!r.lines.empty() && r.lines.back().empty()) r.lines.pop_back();
  if (r.lines.size() <= kFirstEventLine) return fail("fewer than four lines");
  const std::string& header = r.lines[0];
  std::optional<int32_t> opening = OpeningCommand(header);
  if (!opening) return fail("the opening command is not a number");
  r.openingCommand = *opening;
  r.name = Field(header, 5, 6);
  r.area = Field(header, 11, 7);
  const std::optional<int32_t> score = Number(Field(header, 18, 6));
  if (!score) return fail("the score is not a number");
  r.score = *score;
  // The replay would skip such a line whole and type nothing.
  for (size_t i = kFirstEventLine; i < r.lines.size(); ++i)
    if (r.lines[i].size() > kMaxLine)
      return fail("line " + std::to_string(i + 1) + " is longer than " +
                  std::to_string(kMaxLine) + " characters");
  r.storedCheck = Field(header, 24, kCheckLength);
  r.computedCheck = CheckValue(r.lines);
  r.checks = header.size() == kHeaderLength && r.storedCheck == r.computedCheck;
  return r;
}

std::optional<ParsedRecord> ReadRecordFile(FileSystem& files, const std::string& path,
                                           std::string& error) {
  const std::optional<uint64_t> size = files.FileSize(path);
  if (!size) {
    error = "the file cannot be read";
    return std::nullopt;
  }
  if (*size > kMaxFileBytes) {
    error = "the file is larger than any record (" + std::to_string(*size) + " bytes)";
    return std::nullopt;
  }
  std::optional<std::string> bytes = files.ReadFile(path);
  if (!bytes) {
    error = "the file cannot be read";
    return std::nullopt;
  }
  std::string why;
  std::optional<ParsedRecord> r = ParseRecord(*bytes, &why);
  if (!r) error = "not a run record: " + why;
  return r;
}

std::optional<SlotHeader> ParseSlotHeader(std::string_view bytes) {
  if (bytes.size() > kMaxFileBytes) return std::nullopt;
  std::string lines[2];
  size_t start = 0;
  for (std::string& line : lines) {
    if (start > bytes.size()) return std::nullopt;
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view text = bytes.substr(start, end - start);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    line = std::string(text);
    start = end + 1;
  }
  return SlotHeader{Field(lines[0], 5, 6), Field(lines[0], 11, 7), CutBytes(lines[1], kMaxLine),
                    Number(Field(lines[0], 18, 6))};
}

std::string RecordFileText(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

}  // namespace record

namespace {

using namespace record;

constexpr uint32_t kMissedLandingFrames = 8;
constexpr uint8_t kHumanTurn = 2;

char KeySymbol(Game& g, int digit) {
  return SymbolOf(digit + 10 * g.Rand(2));
}

char Separator(Game& g) {
  return SymbolOf(kSeparatorFirst + g.Rand(kSeparatorCount));
}

// The frames since the previous event, units first, one symbol per non-zero
// digit, then the key.
std::string EventSymbols(Game& g, uint32_t frames, int digit) {
  std::string out;
  uint32_t left = std::min(frames, kMaxFrameCount);
  for (int place = 0; place < 5; ++place, left /= 10) {
    const int d = static_cast<int>(left % 10);
    if (d == 0) continue;
    switch (place) {
      case 0:
        out += SymbolOf(20 + d + 10 * g.Rand(2));
        break;
      case 1:
        out += SymbolOf(40 + d + 10 * g.Rand(2));
        break;
      case 2:
        out += SymbolOf(60 + d);
        break;
      case 3:
        out += SymbolOf(70 + d);
        break;
      default:
        out += SymbolOf(80 + d);
        break;
    }
  }
  out += KeySymbol(g, digit);
  return out;
}

std::string& LastLine(RecordState& r) {
  if (r.lines.empty()) r.lines.emplace_back();
  return r.lines.back();
}

// The file-name part of a path: what follows the last separator or drive.
std::string FileNamePart(const std::string& path) {
  size_t p = path.find_last_of("/\\:");
  return p == std::string::npos ? path : path.substr(p + 1);
}

bool Recording(const Game& g) {
  return g.record.recording && !g.stage.replayMode;
}

}  // namespace

void StartRecord(Game& g, int32_t code) {
  RecordState& r = g.record;
  CommandState& c = g.cmd;
  if (g.stage.replayMode) {
    r.reader.Start(&r.lines);
    r.groupEnd = 0;
    r.waiting = 0;
    r.next = Event{};
    r.recording = false;
    // Only a record that parsed is ever loaded, so its opening is a number.
    if (!r.lines.empty())
      if (auto opening = OpeningCommand(r.lines[0])) c.commandCode = *opening;
  } else {
    const bool human = g.st.playMode == kHumanTurn;
    r.lines.clear();
    std::string header = std::to_string(c.commandCode);
    if (human) {
      header += RecordName(g.st.entryName) + RecordArea(g.st.entryName, g.st.entryArea);
    } else {
      header += std::string(kComputerName) + std::string(kComputerArea);
    }
    r.lines.push_back(header);
    r.lines.push_back(human ? CutBytes(g.st.entryLine, 100) : std::string(kComputerComment));
    r.lines.emplace_back();
    std::string opening;
    for (int d : {5, 3, 5}) opening += KeySymbol(g, d);
    opening += Separator(g);
    // The opening command's own completion writes the separator after it.
    for (int place = 1000; place >= 1; place /= 10) opening += KeySymbol(g, (code / place) % 10);
    r.lines.push_back(opening);
    r.recording = true;
  }
  r.pendingGroup.clear();
  c.frameCounter = 0;
}

void AppendKeyEvent(Game& g, int digit) {
  if (!Recording(g)) return;
  RecordState& r = g.record;
  CommandState& c = g.cmd;
  const std::string event = EventSymbols(g, c.frameCounter, digit);
  if (c.commandWeight == kLandingPlace) {
    LastLine(r) += event;
  } else {
    r.pendingGroup = CutBytes(r.pendingGroup + event, kMaxGroup);
  }
}

void CommandCompleted(Game& g) {
  RecordState& r = g.record;
  CommandState& c = g.cmd;
  if (g.stage.replayMode) {
    if (c.scoreLock > 0) c.scoreLock = 2;
    r.groupEnd = 0;
    r.waiting = 0;
    NextReplayEvent(g);
  } else if (r.recording) {
    std::string& last = LastLine(r);
    last += r.pendingGroup;
    last += Separator(g);
    if (last.size() > static_cast<size_t>(kLineWrap)) r.lines.emplace_back();
  }
  r.pendingGroup.clear();
  c.frameCounter = 0;
}

void FinishRecord(Game& g, const std::string& tuneName, const std::string& elementName) {
  RecordState& r = g.record;
  if (!Recording(g)) return;
  r.recording = false;
  CommandState& c = g.cmd;
  if (c.landingKey != 0) {
    const int32_t pressed = c.commandCode / kLandingPlace;
    if (pressed == 0) {
      LastLine(r) += EventSymbols(g, kMissedLandingFrames, c.landingKey);
    } else if (pressed != c.landingKey) {
      LastLine(r) += r.pendingGroup;
      LastLine(r) += Separator(g);
    }
  }
  while (r.lines.size() < kFirstEventLine + 1) r.lines.emplace_back();
  r.lines[1] = CutBytes(
      std::string(kNoteOpen) + FileNamePart(tuneName) + std::string(kNoteClose) + r.lines[1],
      kMaxLine);
  r.lines[2] = CutBytes(elementName, kMaxLine);
  while (r.lines.size() > kFirstEventLine + 1 && r.lines.back().empty()) r.lines.pop_back();
  const int32_t score = c.scoreSlots[g.stage.currentPlayer == 2 ? 2 : 1];
  r.lines[0] = r.lines[0].substr(0, kHeaderShort) + PadLeft(6, score) + CheckValue(r.lines);
  r.pendingGroup.clear();
}

void NextReplayEvent(Game& g) {
  RecordState& r = g.record;
  if (r.groupEnd) {
    r.waiting = 1;
    return;
  }
  Event e;
  const bool read = r.reader.Next(e);
  if (r.reader.TakeWrap() && g.cmd.scoreLock == 0) g.cmd.scoreLock = 1;
  if (!read) {
    // Nothing left to replay: the turn goes on without keys.
    r.next = Event{};
    r.waiting = 1;
    return;
  }
  r.next = e;
  r.groupEnd = e.groupEnd ? 1 : 0;
}

void ReplayStep(Game& g) {
  RecordState& r = g.record;
  if (!g.stage.replayMode || r.waiting) return;
  if (g.cmd.frameCounter < r.next.frames) return;
  for (uint8_t d : r.next.keys)
    if (d > 0) TypeCommandKey(g, ComputerKey(g, d - 1));
  NextReplayEvent(g);
}

std::string SlotFileName(const Game& g, int n) {
  return g.st.dataFolder + "Ac" + std::to_string(n) + ".txt";
}

bool SaveRecord(Game& g, int n) {
  const std::vector<std::string>& lines = g.record.lines;
  if (lines.size() <= kFirstEventLine) return false;
  return g.pf.files->WriteFile(SlotFileName(g, n), RecordFileText(lines));
}

bool LoadRecord(Game& g, int n, std::string* error) {
  return LoadRecordFile(g, SlotFileName(g, n), error);
}

bool LoadRecordFile(Game& g, const std::string& path, std::string* error) {
  std::string why;
  std::optional<ParsedRecord> parsed = ReadRecordFile(*g.pf.files, path, why);
  if (parsed && !parsed->checks) why = kCheckMismatch;
  if (!parsed || !parsed->checks) {
    if (error) *error = why;
    return false;
  }
  g.record.lines = std::move(parsed->lines);
  return true;
}

}  // namespace kelvane
