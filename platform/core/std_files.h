// The file system of the host, through the C++ library.
#pragma once

#include <string>
#include <vector>

#include "platform/core/file_places.h"
#include "platform/platform.h"

namespace kelvane {

class StdFileSystem : public FileSystem {
 public:
  // WriteFile writes through path + kTempMark + the process id.
  static constexpr const char* kTempMark = ".tmp";

  StdFileSystem() = default;
  // Names under places.dataFolder are served from the player's folders
  // first when the places are not portable.
  explicit StdFileSystem(FilePlaces places) : places_(std::move(places)) {}

  bool Exists(const std::string& path) override;
  bool Delete(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  std::optional<uint64_t> FileSize(const std::string& path) override;
  bool WriteFile(const std::string& path, const std::string& data) override;
  // The file that path stands for: where it is read from (the player's
  // copy before the installed one), or with forWriting where a write goes.
  // Adapters that open files by name themselves (music, sound effects) ask
  // here first. In a portable folder this is path.
  std::string Locate(const std::string& path, bool forWriting) const;

  const FilePlaces& places() const { return places_; }

 private:
  // The places a name of the data folder may be found, the written one
  // first; just path itself for everything else.
  std::vector<std::string> Candidates(const std::string& path) const;
  // The first candidate that exists (and, for a colour scheme, is not older
  // than the player's own picture).
  std::optional<std::string> Found(const std::string& path) const;

  FilePlaces places_;
};

// Deletes the temporary files WriteFile left in folder when a copy of the
// game was killed mid-write: "<name>.tmp<pid>" whose process no longer runs.
// Returns how many were removed.
int RemoveStaleTemporaries(const std::string& folder);

}  // namespace kelvane
