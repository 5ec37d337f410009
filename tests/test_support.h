// Helpers shared by the tests: paths of the build and a scratch folder.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane::test {

// build/game/ with trailing separator: the forged default data folder.
std::string GameDir();
// The source tree's root with trailing separator.
std::string SourceDir();
// A fresh, empty folder for one test (with trailing separator).
std::string MakeTempDir(const std::string& tag);
// Whole file as bytes; empty when missing.
// A fresh folder holding links to every file of the forged data folder,
// without settings or cached colour schemes, so a test can run the game on
// the default data without touching build/game/.
std::string MakeDataCopy(const std::string& tag);
// Runs a command line through the shell; returns its exit code.
int RunCommand(const std::string& command);
std::string ReadAll(const std::string& path);
// A sector count as a CUE sheet writes a time: mm:ss:ff, 75 frames a second.
std::string CueTime(uint32_t sector);
void WriteAll(const std::string& path, const std::string& data);

}  // namespace kelvane::test
