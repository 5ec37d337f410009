// Helpers shared by the tests: paths of the build and a scratch folder.
#pragma once

#include <string>

namespace kelvane::test {

// build/game/ with trailing separator: the forged default data folder.
std::string GameDir();
// The source tree's root with trailing separator.
std::string SourceDir();
// A fresh, empty folder for one test (with trailing separator).
std::string MakeTempDir(const std::string& tag);
// Whole file as bytes; empty when missing.
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& data);

}  // namespace kelvane::test
