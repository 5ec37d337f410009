// The text of a CUE sheet: which files make up a CD image and where each
// track starts in them. Strict on what places the music (FILE, TRACK,
// INDEX), tolerant of the descriptive lines; positions are checked against
// the files only when the image is opened.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// Larger sheets are not CUE sheets; a real one fits in a few kilobytes.
inline constexpr size_t kMaxCueSheetBytes = 64 * 1024;

struct CueFile {
  std::string name;        // as the sheet spells it, relative to the sheet
  bool bigEndian = false;  // MOTOROLA: audio samples high byte first
};

struct CueTrack {
  int number = 0;          // 1..99, as the sheet numbers it
  bool audio = true;
  uint32_t sectorBytes = 0;
  size_t file = 0;         // index into CueSheet::files
  int64_t start = 0;       // INDEX 01, in sectors from the start of the file
};

struct CueSheet {
  std::vector<CueFile> files;
  std::vector<CueTrack> tracks;  // in the sheet's order, numbers ascending by one
};

// Reads a sheet; on a fault, nothing and one short sentence in why ("line 4:
// TRACK 02 has no INDEX 01").
std::optional<CueSheet> ParseCueSheet(std::string_view text, std::string& why);

}  // namespace kelvane
