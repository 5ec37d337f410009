// The file system of the host, through the C++ library.
#pragma once

#include "platform/platform.h"

namespace kelvane {

class StdFileSystem : public FileSystem {
 public:
  bool Exists(const std::string& path) override;
  bool Delete(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  bool WriteFile(const std::string& path, const std::string& data) override;
};

}  // namespace kelvane
