#include "platform/core/std_files.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kelvane {

bool StdFileSystem::Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

bool StdFileSystem::Delete(const std::string& path) {
  std::error_code ec;
  return std::filesystem::remove(path, ec);
}

std::optional<std::string> StdFileSystem::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return s.str();
}

std::optional<uint64_t> StdFileSystem::FileSize(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  return static_cast<uint64_t>(size);
}

// Writes go to path + ".tmp" + our process id and are renamed over path only
// when every byte reached the disk; a short write (a full disk, a file-size
// limit) removes the temporary file and leaves the old file as it was.
bool StdFileSystem::WriteFile(const std::string& path, const std::string& data) {
  std::string temp = path + kTempMark + std::to_string(getpid());
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = std::fflush(f) == 0 && ok;
  ok = fsync(fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
  std::remove(temp.c_str());
  return false;
}

namespace {

// The process id of one of our temporary names ("<name>.tmp<pid>"), or 0.
pid_t TempOwner(const std::string& name) {
  const size_t mark = name.rfind(StdFileSystem::kTempMark);
  if (mark == std::string::npos || mark == 0) return 0;
  const std::string digits = name.substr(mark + std::strlen(StdFileSystem::kTempMark));
  if (digits.empty() || digits.size() > 9) return 0;
  for (char c : digits)
    if (c < '0' || c > '9') return 0;
  return static_cast<pid_t>(std::stol(digits));
}

bool ProcessGone(pid_t pid) {
  return kill(pid, 0) == -1 && errno == ESRCH;
}

}  // namespace

int RemoveStaleTemporaries(const std::string& folder) {
  std::error_code ec;
  int removed = 0;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return 0;
  for (const auto& entry : it) {
    if (!entry.is_regular_file(ec)) continue;
    const pid_t owner = TempOwner(entry.path().filename().string());
    if (owner <= 0 || !ProcessGone(owner)) continue;
    if (std::filesystem::remove(entry.path(), ec)) ++removed;
  }
  return removed;
}

}  // namespace kelvane
