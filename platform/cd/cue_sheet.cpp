#include "platform/cd/cue_sheet.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace kelvane {
namespace {

struct TrackMode {
  const char* name;
  uint32_t sectorBytes;
  bool audio;
};

// CD+G carries subcode bytes between the samples: listed, never played.
constexpr std::array<TrackMode, 10> kModes = {{{"AUDIO", 2352, true},
                                               {"CDG", 2448, false},
                                               {"MODE1/2048", 2048, false},
                                               {"MODE1/2352", 2352, false},
                                               {"MODE2/2048", 2048, false},
                                               {"MODE2/2324", 2324, false},
                                               {"MODE2/2336", 2336, false},
                                               {"MODE2/2352", 2352, false},
                                               {"CDI/2336", 2336, false},
                                               {"CDI/2352", 2352, false}}};

// Lines that describe the disc and change nothing of where music lies.
constexpr std::array<const char*, 17> kDescriptive = {
    "REM",     "TITLE",      "PERFORMER", "SONGWRITER", "COMPOSER",  "ARRANGER",
    "MESSAGE", "CATALOG",    "CDTEXTFILE", "FLAGS",     "ISRC",      "GENRE",
    "DISC_ID", "UPC_EAN",    "TOC_INFO1", "TOC_INFO2",  "SIZE_INFO"};

constexpr int kMaxMinuteDigits = 4;  // up to 9999 minutes: far beyond any disc

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// A word of the sheet fit for a one-line message: printable, short.
std::string Quote(std::string_view s) {
  std::string out;
  for (char c : s.substr(0, 24)) out += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
  if (s.size() > 24) out += "...";
  return out;
}

// Splits a line into words; a double-quoted word may hold blanks.
bool Words(std::string_view line, std::vector<std::string>& words) {
  words.clear();
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t') {
      ++i;
      continue;
    }
    if (line[i] == '"') {
      size_t end = line.find('"', i + 1);
      if (end == std::string_view::npos) return false;
      words.emplace_back(line.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    size_t end = line.find_first_of(" \t", i);
    if (end == std::string_view::npos) end = line.size();
    words.emplace_back(line.substr(i, end - i));
    i = end;
  }
  return true;
}

bool Number(std::string_view s, int maxDigits, int64_t& value) {
  if (s.empty() || s.size() > static_cast<size_t>(maxDigits)) return false;
  value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// mm:ss:ff in sectors (75 a second).
bool Time(std::string_view s, int64_t& sectors) {
  size_t a = s.find(':');
  size_t b = a == std::string_view::npos ? a : s.find(':', a + 1);
  if (b == std::string_view::npos) return false;
  int64_t mm = 0, ss = 0, ff = 0;
  if (!Number(s.substr(0, a), kMaxMinuteDigits, mm) || !Number(s.substr(a + 1, b - a - 1), 2, ss) ||
      !Number(s.substr(b + 1), 2, ff) || ss >= 60 || ff >= 75)
    return false;
  sectors = (mm * 60 + ss) * 75 + ff;
  return true;
}

}  // namespace

std::optional<CueSheet> ParseCueSheet(std::string_view text, std::string& why) {
  if (text.size() > kMaxCueSheetBytes) {
    why = "the sheet is larger than a CUE sheet can be";
    return std::nullopt;
  }
  if (text.find('\0') != std::string_view::npos) {
    why = "not a CUE sheet (binary content)";
    return std::nullopt;
  }
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

  CueSheet sheet;
  bool hasIndex1 = false;  // of the current track
  int lastIndex = -1;      // of the current track
  int64_t lastPosition = 0;      // the last INDEX in the current file
  int64_t lastStartInFile = -1;  // the last INDEX 01 in the current file
  int trackLine = 0;
  std::vector<std::string> w;
  auto fail = [&](int line, const std::string& what) {
    why = "line " + std::to_string(line) + ": " + what;
    return std::nullopt;
  };
  auto trackName = [&] {
    char name[16];
    std::snprintf(name, sizeof name, "TRACK %02d", sheet.tracks.back().number);
    return std::string(name);
  };

  int lineNo = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + (text.substr(end).starts_with("\r\n") ? 2 : 1);
    ++lineNo;
    if (!Words(line, w)) return fail(lineNo, "a quote is not closed");
    if (w.empty()) continue;
    const std::string key = Upper(w[0]);

    if (key == "FILE") {
      if (!sheet.tracks.empty() && !hasIndex1)
        return fail(trackLine, trackName() + " has no INDEX 01");
      if (w.size() != 3 || w[1].empty()) return fail(lineNo, "FILE needs a name and a type");
      const std::string type = Upper(w[2]);
      if (type != "BINARY" && type != "MOTOROLA")
        return fail(lineNo, "file type " + Quote(w[2]) + " is not read (BINARY or MOTOROLA only)");
      if (!sheet.files.empty() &&
          (sheet.tracks.empty() || sheet.tracks.back().file != sheet.files.size() - 1))
        return fail(lineNo, "the previous FILE holds no track");
      sheet.files.push_back({w[1], type == "MOTOROLA"});
      lastPosition = 0;
      lastStartInFile = -1;
    } else if (key == "TRACK") {
      if (sheet.files.empty()) return fail(lineNo, "TRACK before any FILE");
      if (!sheet.tracks.empty() && !hasIndex1)
        return fail(trackLine, trackName() + " has no INDEX 01");
      int64_t number = 0;
      if (w.size() != 3 || !Number(w[1], 2, number) || number < 1)
        return fail(lineNo, "TRACK needs a number from 01 to 99 and a type");
      if (!sheet.tracks.empty() && number != sheet.tracks.back().number + 1)
        return fail(lineNo, "tracks are not numbered one after the other");
      const std::string mode = Upper(w[2]);
      auto m = std::find_if(kModes.begin(), kModes.end(),
                            [&](const TrackMode& t) { return mode == t.name; });
      if (m == kModes.end()) return fail(lineNo, "unknown track type " + Quote(w[2]));
      if (!sheet.tracks.empty() && sheet.tracks.back().file == sheet.files.size() - 1 &&
          sheet.tracks.back().sectorBytes != m->sectorBytes)
        return fail(lineNo, "tracks of one file have different sector sizes");
      CueTrack t;
      t.number = static_cast<int>(number);
      t.audio = m->audio;
      t.sectorBytes = m->sectorBytes;
      t.file = sheet.files.size() - 1;
      sheet.tracks.push_back(t);
      hasIndex1 = false;
      lastIndex = -1;
      trackLine = lineNo;
    } else if (key == "INDEX") {
      if (sheet.tracks.empty()) return fail(lineNo, "INDEX before any TRACK");
      if (sheet.tracks.back().file != sheet.files.size() - 1)
        return fail(lineNo, "INDEX of a track in an earlier FILE");
      int64_t index = 0, position = 0;
      if (w.size() != 3 || !Number(w[1], 2, index))
        return fail(lineNo, "INDEX needs a number and a time");
      if (!Time(w[2], position))
        return fail(lineNo, "INDEX time " + Quote(w[2]) + " is not a time mm:ss:ff on a disc");
      if (index <= lastIndex) return fail(lineNo, "INDEX numbers do not ascend");
      if (index > 1 && !hasIndex1) return fail(lineNo, "INDEX " + w[1] + " before INDEX 01");
      if (position < lastPosition)
        return fail(lineNo, "INDEX time " + Quote(w[2]) + " lies before the one above it");
      if (index == 1 && position <= lastStartInFile)
        return fail(lineNo, "the track above " + trackName() + " has no length");
      lastIndex = static_cast<int>(index);
      lastPosition = position;
      if (index == 1) {
        sheet.tracks.back().start = position;
        hasIndex1 = true;
        lastStartInFile = position;
      }
    } else if (key == "PREGAP" || key == "POSTGAP") {
      // Silence that is not in the file: nothing to read, so nothing to keep.
      int64_t length = 0;
      if (sheet.tracks.empty()) return fail(lineNo, key + " before any TRACK");
      if (w.size() != 2 || !Time(w[1], length)) return fail(lineNo, key + " needs a time mm:ss:ff");
    } else if (std::find(kDescriptive.begin(), kDescriptive.end(), key) == kDescriptive.end()) {
      return fail(lineNo, "unknown command " + Quote(w[0]));
    }
  }
  if (sheet.tracks.empty()) {
    why = "no TRACK in the sheet";
    return std::nullopt;
  }
  if (!hasIndex1) return fail(trackLine, trackName() + " has no INDEX 01");
  if (sheet.tracks.back().file != sheet.files.size() - 1) {
    why = "the last FILE holds no track";
    return std::nullopt;
  }
  return sheet;
}

}  // namespace kelvane
