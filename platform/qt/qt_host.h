// The real host: Qt windows, timer, idle poll and input; SDL audio.
#pragma once

#include <string>

#include "platform/core/file_places.h"

namespace kelvane {

struct Options;

int RunQtProgram(const Options& options, const std::string& dataFolder, int argc, char** argv);
// The same with the places decided at start (an installed game).
int RunQtProgram(const Options& options, const FilePlaces& places, int argc, char** argv);

}  // namespace kelvane
