#include "tests/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

namespace kelvane::test {

std::string GameDir() { return std::string(KELVANE_GAME_DIR) + "/"; }
std::string SourceDir() { return std::string(KELVANE_SOURCE_DIR) + "/"; }

std::string CueTime(uint32_t sector) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", sector / 75 / 60, sector / 75 % 60,
                sector % 75);
  return text;
}

namespace {

// A test's folders go when its process ends, so that runs do not pile up in
// the temporary folder. A forked child (a death test) leaves them to its
// parent; KELVANE_KEEP_TEMP keeps them for a look after a failure.
struct TempDirs {
  pid_t owner = getpid();
  std::mutex m;
  std::vector<std::filesystem::path> dirs;
  ~TempDirs() {
    if (getpid() != owner || std::getenv("KELVANE_KEEP_TEMP")) return;
    for (const auto& dir : dirs) {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    }
  }
};

TempDirs& Dirs() {
  static TempDirs dirs;
  return dirs;
}

}  // namespace

std::string MakeTempDir(const std::string& tag) {
  static std::atomic<int> counter{0};
  auto dir = std::filesystem::temp_directory_path() /
             ("kelvane-" + tag + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  TempDirs& dirs = Dirs();
  std::lock_guard<std::mutex> lock(dirs.m);
  dirs.dirs.push_back(dir);
  return dir.string() + "/";
}

std::string MakeDataCopy(const std::string& tag) {
  std::string dir = MakeTempDir(tag);
  for (const auto& entry : std::filesystem::directory_iterator(GameDir())) {
    if (!entry.is_regular_file()) continue;
    std::string name = entry.path().filename().string();
    if (name == "Kelvane.ini" || name[0] == 'T' || name[0] == 'U' || name == "kelvane") continue;
    std::filesystem::create_symlink(entry.path(), dir + name);
  }
  return dir;
}

int RunCommand(const std::string& command) {
  int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
}

}  // namespace kelvane::test
