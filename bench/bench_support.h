// Shared by the benchmarks: a private copy of the forged data folder.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

namespace kelvane::bench {

// The default data folder without settings or cached colour schemes, as
// links in a fresh temporary folder named after tag (trailing separator).
inline std::string FreshDataFolder(const std::string& tag) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("kelvane-" + tag + "-bench-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const auto& entry : fs::directory_iterator(KELVANE_GAME_DIR)) {
    std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || name == "Kelvane.ini" || name[0] == 'T' || name[0] == 'U')
      continue;
    fs::create_symlink(entry.path(), dir / name);
  }
  return dir.string() + "/";
}

}  // namespace kelvane::bench
