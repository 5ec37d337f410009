// The program's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvane {

struct Options {
  bool headless = false;
  std::string dataDir;  // empty: the program's own folder
  std::optional<uint64_t> runMs;
  uint32_t startTick = 0;
  std::optional<uint32_t> seed;
  std::string inputFile;
  std::string traceFile;
  std::string coachFile;  // headless: the coach panel's text as it changes
  std::string framesDir;
  std::string replayFile;  // a run record replayed by the demonstration
  int frameEvery = 1;
  bool realtime = false;
  bool stats = false;
  bool help = false;
  bool where = false;                 // print the folders in use and stop
  bool renderTunes = false;           // render the MIDI tunes ahead and stop
  bool normalise = true;              // every tune at one loudness
  std::string lang;                   // "ja", "en" or empty: the locale's
  int scale = 1;                      // the window's whole enlargement factor, 1 to 6
  std::vector<std::string> cdImages;  // CUE sheets offered as extra CD drives
  std::vector<std::string> files;     // plain arguments: music files for the play list
};

// Parses argv[1..]; on a bad option returns nothing and sets error.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);
std::string UsageText();

}  // namespace kelvane
