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

namespace {

bool IsFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

// The colour schemes the game generates from a picture: "T" or "U" and the
// picture's name.
bool IsColourCache(const std::string& name) {
  return name.size() > 5 && (name[0] == 'T' || name[0] == 'U') &&
         name.compare(name.size() - 4, 4, ".bmp") == 0;
}

}  // namespace

std::vector<std::string> StdFileSystem::Candidates(const std::string& path) const {
  const std::string& folder = places_.dataFolder;
  if (places_.Portable() || path.size() <= folder.size() ||
      path.compare(0, folder.size(), folder) != 0 ||
      path.find('/', folder.size()) != std::string::npos)
    return {path};
  const std::string name = path.substr(folder.size());
  if (name == "Kelvane.ini") return {places_.settings + name, path};
  if (IsColourCache(name)) return {places_.cache + name, places_.playerData + name, path};
  return {places_.playerData + name, path};
}

std::optional<std::string> StdFileSystem::Found(const std::string& path) const {
  const std::vector<std::string> places = Candidates(path);
  // A colour scheme made before the player put in their own picture is of
  // the old picture: it does not count, so the game makes it again.
  std::filesystem::file_time_type madeAfter = std::filesystem::file_time_type::min();
  const std::string name = places.size() > 1 ? path.substr(places_.dataFolder.size()) : "";
  if (IsColourCache(name)) {
    const std::string picture = places_.playerData + name.substr(1);
    std::error_code ec;
    if (IsFile(picture)) madeAfter = std::filesystem::last_write_time(picture, ec);
  }
  for (const std::string& p : places) {
    std::error_code ec;
    if (IsFile(p) && std::filesystem::last_write_time(p, ec) >= madeAfter) return p;
  }
  return std::nullopt;
}

std::string StdFileSystem::Locate(const std::string& path, bool forWriting) const {
  if (forWriting) return Candidates(path).front();
  return Found(path).value_or(Candidates(path).back());
}

bool StdFileSystem::Exists(const std::string& path) {
  return Found(path).has_value();
}

// Only the player's copy goes: the installed files are not the player's.
bool StdFileSystem::Delete(const std::string& path) {
  std::error_code ec;
  return std::filesystem::remove(Locate(path, true), ec);
}

std::optional<std::string> StdFileSystem::ReadFile(const std::string& path) {
  std::ifstream in(Locate(path, false), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return s.str();
}

std::optional<uint64_t> StdFileSystem::FileSize(const std::string& name) {
  const std::string path = Locate(name, false);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  return static_cast<uint64_t>(size);
}

// Writes go to path + ".tmp" + our process id and are renamed over path only
// when every byte reached the disk; a short write (a full disk, a file-size
// limit) removes the temporary file and leaves the old file as it was.
// The player's folders are made on the first write into them.
bool StdFileSystem::WriteFile(const std::string& name, const std::string& data) {
  const std::string path = Locate(name, true);
  if (path != name) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  }
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
