#include "config/startup_choices.h"

#include "app/game.h"
#include "config/numbered_files.h"
#include "graphics/glyph_text.h"
#include "platform/core/text_codec.h"

namespace kelvane {
namespace {

// The item equal to wanted, else the fallback.
std::string Select(const std::vector<std::string>& items, const std::string& wanted,
                   const std::string& fallback) {
  for (const auto& item : items)
    if (item == wanted) return item;
  return fallback;
}

std::vector<std::string> WallpaperItems(int count) {
  std::vector<std::string> items{"Random"};
  for (int k = 1; k <= count; ++k) items.push_back(ZeroPad(2, k));
  return items;
}

}  // namespace

StartupChoices InitialChoices(const DialogSettings& stored, const std::vector<std::string>& cdDrives,
                              int wallLargeCount, int wallSmallCount) {
  StartupChoices c;
  c.colourMax = stored.colourMax == 0 ? 0 : stored.colourMax == 2 ? 2 : 1;
  c.smallWindow = stored.smallWindow;
  std::vector<std::string> drives{"non CD"};
  drives.insert(drives.end(), cdDrives.begin(), cdDrives.end());
  c.drive = Select(drives, stored.drive, drives.back());
  c.wallLarge = Select(WallpaperItems(wallLargeCount), stored.wallLarge, "Random");
  c.wallSmall = Select(WallpaperItems(wallSmallCount), stored.wallSmall, "Random");
  c.entryLine = stored.entryLine;
  c.entryName = stored.entryName;
  c.entryArea = stored.entryArea;
  return c;
}

void ApplyStartupChoices(Game& g, const StartupChoices& c) {
  GameState& st = g.st;
  st.colourMax = static_cast<uint8_t>(c.colourMax);
  st.windowSizeFlag = c.smallWindow;
  st.resetSettings = c.resetSettings;
  st.resetClearInfo = c.resetClearInfo;
  st.rebuildColourData = c.rebuildColourData;
  st.cdDriveName = CutBytes(c.drive, 6);
  st.wallLarge = CutBytes(c.wallLarge, 6);
  st.wallSmall = CutBytes(c.wallSmall, 6);
  st.entryLine = CutBytes(c.entryLine, 100);
  st.entryName = FilterGlyphText(6, c.entryName);
  st.entryArea = FilterGlyphText(7, c.entryArea);
  if (st.entryName == "$DEMO$" && st.entryArea == "*$COM$*") st.entryArea = "!$COM$!";
}

}  // namespace kelvane
