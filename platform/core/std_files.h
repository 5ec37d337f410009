// The file system of the host, through the C++ library.
#pragma once

#include <string>

#include "platform/platform.h"

namespace kelvane {

class StdFileSystem : public FileSystem {
 public:
  // WriteFile writes through path + kTempMark + the process id.
  static constexpr const char* kTempMark = ".tmp";

  bool Exists(const std::string& path) override;
  bool Delete(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  std::optional<uint64_t> FileSize(const std::string& path) override;
  bool WriteFile(const std::string& path, const std::string& data) override;
};

// Deletes the temporary files WriteFile left in folder when a copy of the
// game was killed mid-write: "<name>.tmp<pid>" whose process no longer runs.
// Returns how many were removed.
int RemoveStaleTemporaries(const std::string& folder);

}  // namespace kelvane
