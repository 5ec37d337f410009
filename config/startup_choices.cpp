#include "config/startup_choices.h"

#include <algorithm>
#include <chrono>

#include "app/game.h"
#include "config/numbered_files.h"
#include "graphics/glyph_text.h"
#include "graphics/jpeg_file.h"
#include "graphics/raster.h"
#include "graphics/surfaces.h"
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
  std::vector<std::string> items{kRandomItem};
  for (int k = 1; k <= count; ++k) items.push_back(ZeroPad(2, k));
  return items;
}

}  // namespace

StartupChoices InitialChoices(const DialogSettings& stored,
                              const std::vector<std::string>& cdDrives, int wallLargeCount,
                              int wallSmallCount) {
  StartupChoices c;
  c.colourMax = stored.colourMax == 0 ? 0 : stored.colourMax == 2 ? 2 : 1;
  c.smallWindow = stored.smallWindow;
  std::vector<std::string> drives{kNoCdItem};
  drives.insert(drives.end(), cdDrives.begin(), cdDrives.end());
  c.drive = Select(drives, stored.drive, drives.back());
  c.wallLarge = Select(WallpaperItems(wallLargeCount), stored.wallLarge, kRandomItem);
  c.wallSmall = Select(WallpaperItems(wallSmallCount), stored.wallSmall, kRandomItem);
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

WallpaperCounts CountWallpapers(Game& g) {
  FileSystem& fs = *g.pf.files;
  const std::string& folder = g.st.dataFolder;
  return {CountNumberedFiles(fs, folder, kLargeWallPrefix, ".jpg", kWallpaperLimit),
          CountNumberedFiles(fs, folder, kSmallWallPrefix, ".jpg", kWallpaperLimit)};
}

DialogSettings StartupFormCreate(Game& g, const std::string& dataFolder,
                                 std::optional<uint32_t> seed) {
  if (!seed) {
    using namespace std::chrono;
    seed = static_cast<uint32_t>(
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
  }
  g.random.Seed(*seed);
  g.st.dataFolder = CutBytes(dataFolder, 255);
  // The play list starts empty; its entry 0 is the data folder.
  g.music.playList.fill("");
  g.music.playList[0] = g.st.dataFolder;
  return ReadDialogSettings(g);
}

std::string ChooseWallpaper(Game& g, const StartupChoices& c, WallpaperCounts counts) {
  const bool small = c.smallWindow;
  const std::string& item = small ? c.wallSmall : c.wallLarge;
  const char* prefix = small ? kSmallWallPrefix : kLargeWallPrefix;
  if (item != kRandomItem) return prefix + item;
  int count = small ? counts.small : counts.large;
  return prefix + ZeroPad(2, g.Rand(count) + 1);
}

bool DrawWallpaper(Game& g, Surface& target, const std::string& path) {
  JpegResult jpeg = ReadJpegFile(*g.pf.files, path);
  if (!jpeg.ok) {
    g.pf.app->ShowMessage(jpeg.error);
    return false;
  }
  const JpegPicture& pic = jpeg.picture;
  Surface picture(pic.width, pic.height);
  for (int y = 0; y < pic.height; ++y)
    std::copy_n(pic.pixels.data() + static_cast<size_t>(y) * pic.width, pic.width,
                picture.ColourRow(y));
  // CopyRect clips to both surfaces, so a picture larger than the target
  // only shows its top-left part.
  uint32_t mode = target.canvas.copyMode;
  target.canvas.copyMode = SRCCOPY;
  Rect whole = picture.Bounds();
  CopyRect(target, whole, picture, whole);
  target.canvas.copyMode = mode;
  return true;
}

void StartupOk(Game& g, const StartupChoices& c, WallpaperCounts counts) {
  ApplyStartupChoices(g, c);
  CreateMainSurface(g);
  std::string name = ChooseWallpaper(g, c, counts);
  DrawWallpaper(g, g.gfx.mainSurface, g.st.dataFolder + name + ".jpg");
}

}  // namespace kelvane
