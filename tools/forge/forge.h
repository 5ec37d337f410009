// The data forge: every file of the default data folder is made by one of
// the writers below, deterministically (same input, same bytes).
#pragma once

#include <QImage>
#include <functional>
#include <string>
#include <vector>

namespace forge {

// A failure with a clear message (what is wrong, where); the forge stops
// before writing a broken file.
struct ForgeError {
  std::string message;
};

class Forge {
 public:
  Forge(std::string dataDir, std::string outDir) : dataDir_(std::move(dataDir)), outDir_(std::move(outDir)) {}
  // Source folder of hand-written data (data/), with trailing separator.
  const std::string& dataDir() const { return dataDir_; }
  // Output folder (build/game/), with trailing separator.
  const std::string& outDir() const { return outDir_; }

  // Writes bytes to outDir + name, only when they differ from what is
  // there (so unchanged files keep their times). Throws ForgeError.
  void WriteFile(const std::string& name, const std::string& bytes);
  // Keeps a picture for the contact sheet.
  void AddToSheet(const std::string& label, const QImage& image);
  const std::vector<std::pair<std::string, QImage>>& sheet() const { return sheet_; }

 private:
  std::string dataDir_, outDir_;
  std::vector<std::pair<std::string, QImage>> sheet_;
};

// A writer makes one family of files. Writers register themselves with
// FORGE_WRITER in their own source file and run in name order.
using Writer = std::function<void(Forge&)>;
bool RegisterWriter(const std::string& name, Writer writer);

#define FORGE_WRITER(name, fn) \
  static const bool forge_registered_##fn = ::forge::RegisterWriter(name, fn)

}  // namespace forge
