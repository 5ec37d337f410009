// What the startup dialog hands to the game when OK is pressed, and how the
// stored settings become the dialog's initial choices.
#pragma once

#include <string>
#include <vector>

#include "config/settings.h"

namespace kelvane {

struct Game;

struct StartupChoices {
  int colourMax = 1;  // the checked radio button: 0, 1 or 2
  bool smallWindow = false;
  bool resetSettings = false;
  bool resetClearInfo = false;
  bool rebuildColourData = false;
  std::string drive = "non CD";
  std::string wallLarge = "Random";
  std::string wallSmall = "Random";
  std::string entryLine, entryName, entryArea;  // as typed
};

// The dialog's state right after it opens, before the user touches it:
// cdDrives are the drive names that report a CD drive; wallLargeCount and
// wallSmallCount the numbered wallpapers found.
StartupChoices InitialChoices(const DialogSettings& stored, const std::vector<std::string>& cdDrives,
                              int wallLargeCount, int wallSmallCount);

// OK: stores the choices in the game state (the wallpaper is drawn by the
// graphics side).
void ApplyStartupChoices(Game& g, const StartupChoices& c);

}  // namespace kelvane
