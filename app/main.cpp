// Program entry: parse the command line, decide where files are read and
// written, then run the game in its window or, with --headless, on the fakes.
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/options.h"
#include "platform/cd/cd_drives.h"
#include "platform/core/file_places.h"
#include "platform/core/shown_name.h"
#include "platform/core/std_files.h"
#include "platform/headless/headless_host.h"
#include "platform/qt/qt_host.h"

#ifndef KELVANE_INSTALLED_DATA
#define KELVANE_INSTALLED_DATA "../share/kelvane/"
#endif

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
  if (!options->dataDir.empty()) {
    std::error_code ec;
    if (!std::filesystem::is_directory(options->dataDir, ec)) {
      std::cerr << "kelvane: data folder not found: " << kelvane::ShownName(options->dataDir)
                << "\n";
      return 2;
    }
  }
  kelvane::FilePlaces places = kelvane::DecideFilePlaces(
      {ProgramFolder(argv[0]), options->dataDir, KELVANE_INSTALLED_DATA,
       [](const char* name) { return static_cast<const char*>(std::getenv(name)); }});
  if (options->where) {
    std::cout << kelvane::DescribePlaces(places);
    return 0;
  }
  if (places.dataFolder.size() > 255) {
    std::cerr << "kelvane: the data folder's path is longer than 255 bytes: "
              << kelvane::ShownName(places.dataFolder) << "\n";
    return 2;
  }
  // Only the folders the game writes into can hold its temporary files.
  if (places.Portable()) {
    kelvane::RemoveStaleTemporaries(places.dataFolder);
  } else {
    for (const std::string& folder : {places.settings, places.playerData, places.cache})
      kelvane::RemoveStaleTemporaries(folder);
  }
  if (options->headless && !options->renderTunes)
    return kelvane::RunHeadless(*options, places, kelvane::ReadHeadlessDiscs(options->cdImages));
  return kelvane::RunQtProgram(*options, places, argc, argv);
}
