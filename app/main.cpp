// Program entry: parse the command line, find the data folder, then run the
// game in its window or, with --headless, on the fakes.
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/options.h"
#include "platform/core/std_files.h"
#include "platform/headless/headless_host.h"
#include "platform/qt/qt_host.h"

namespace {

// The folder of the program file, with a trailing separator.
std::string ProgramFolder(const char* argv0) {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::absolute(argv0, ec);
  return exe.parent_path().string() + "/";
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write must fail (and be reported) instead of
  // killing the program with the settings unsaved.
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto options = kelvane::ParseOptions(args, error);
  if (!options) {
    std::cerr << "kelvane: " << error << "\n" << kelvane::UsageText();
    return 2;
  }
  if (options->help) {
    std::cout << kelvane::UsageText();
    return 0;
  }
  std::string folder = ProgramFolder(argv[0]);
  if (!options->dataDir.empty()) {
    std::error_code ec;
    if (!std::filesystem::is_directory(options->dataDir, ec)) {
      std::cerr << "kelvane: data folder not found: " << options->dataDir << "\n";
      return 2;
    }
    folder = std::filesystem::absolute(options->dataDir, ec).string();
    if (folder.empty() || folder.back() != '/') folder += '/';
  }
  if (folder.size() > 255) {
    std::cerr << "kelvane: the data folder's path is longer than 255 bytes: " << folder << "\n";
    return 2;
  }
  kelvane::RemoveStaleTemporaries(folder);
  if (options->headless) return kelvane::RunHeadless(*options, folder);
  return kelvane::RunQtProgram(*options, folder, argc, argv);
}
