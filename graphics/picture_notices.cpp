#include "graphics/picture_notices.h"

#include <iostream>

#include "app/game.h"

namespace kelvane {

void ReportSkippedPicture(Game& g, const std::string& error, const std::string& fallback) {
  if (!g.gfx.skippedPictures.insert(error).second) return;
  std::cerr << "kelvane: " << error << " (" << fallback << ")\n";
}

}  // namespace kelvane
