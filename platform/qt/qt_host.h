// The real host: Qt windows, timer, idle poll and input; SDL audio.
#pragma once

#include <string>

namespace kelvane {

struct Options;

int RunQtProgram(const Options& options, const std::string& dataFolder, int argc, char** argv);

}  // namespace kelvane
