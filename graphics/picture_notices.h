// Optional pictures (backdrops, level pictures, album files) that cannot be
// used are replaced by their fallback; the player hears about each such file
// once per run on standard error instead of once per frame or key press.
#pragma once

#include <string>

namespace kelvane {

struct Game;

// error is "FILE: reason"; fallback says what is shown instead.
void ReportSkippedPicture(Game& g, const std::string& error, const std::string& fallback);

}  // namespace kelvane
