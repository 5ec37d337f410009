// What the startup dialog hands to the game when OK is pressed, and how the
// stored settings become the dialog's initial choices.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/settings.h"

namespace kelvane {

struct Game;
class Surface;

inline constexpr const char* kRandomItem = "Random";
inline constexpr const char* kNoCdItem = "non CD";
inline constexpr const char* kLargeWallPrefix = "X_b";
inline constexpr const char* kSmallWallPrefix = "X_s";
inline constexpr int kWallpaperLimit = 16;

// How many numbered wallpapers each list offers after "Random".
struct WallpaperCounts {
  int large = 0;
  int small = 0;
};
WallpaperCounts CountWallpapers(Game& g);

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
StartupChoices InitialChoices(const DialogSettings& stored,
                              const std::vector<std::string>& cdDrives, int wallLargeCount,
                              int wallSmallCount);

// The dialog's FormCreate without its widgets: seeds the game's one random
// generator (from the clock unless a seed is given), sets dataFolder and
// reads the stored choices.
DialogSettings StartupFormCreate(Game& g, const std::string& dataFolder,
                                 std::optional<uint32_t> seed);

// OK: stores the choices in the game state.
void ApplyStartupChoices(Game& g, const StartupChoices& c);

// The wallpaper file OK draws, without folder and ".jpg": the small list
// for a small window, else the large one; "Random" draws k from 1..count
// (number 01 when the list has no wallpapers, which then fails to load).
std::string ChooseWallpaper(Game& g, const StartupChoices& c, WallpaperCounts counts);

// Decodes path and draws it at (0,0) of target at its own size, clipped to
// the target. On failure tells the user (naming the file and the reason),
// leaves target untouched and returns false.
bool DrawWallpaper(Game& g, Surface& target, const std::string& path);

// The whole OK: stores the choices, creates mainSurface (640 x 480, black)
// and draws the chosen wallpaper into it. A wallpaper that cannot be drawn
// has been reported; the game starts all the same.
void StartupOk(Game& g, const StartupChoices& c, WallpaperCounts counts);

}  // namespace kelvane
