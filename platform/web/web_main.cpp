// The page's test mode: the headless run on the virtual clock, with the
// same options as the desktop program's --headless. The game in play starts
// from the page's startup form through the functions of web_host.cpp.
#include <emscripten/emscripten.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "app/options.h"
#include "platform/core/std_files.h"
#include "platform/headless/headless_host.h"

// args: the command line, one argument a line.
extern "C" EMSCRIPTEN_KEEPALIVE int kelvane_headless(const char* argLines) {
  std::vector<std::string> args;
  std::istringstream in(argLines);
  for (std::string line; std::getline(in, line);) args.push_back(line);
  std::string error;
  auto options = kelvane::ParseOptions(args, error);
  if (!options) {
    std::fprintf(stderr, "kelvane: %s\n", error.c_str());
    return 2;
  }
  if (!options->headless || options->dataDir.empty() || options->realtime) {
    std::fprintf(stderr, "kelvane: the page runs only --headless on the virtual clock with --data\n");
    return 2;
  }
  std::string folder = options->dataDir;
  if (folder.back() != '/') folder += '/';
  kelvane::RemoveStaleTemporaries(folder);
  return kelvane::RunHeadless(*options, folder);
}
