#include "gameplay/backdrops.h"

#include "app/game.h"
#include "gameplay/action_engine.h"
#include "graphics/bmp_file.h"
#include "graphics/picture_notices.h"

namespace kelvane {
namespace {

constexpr const char* kDefaultInstead = "the default backdrop is shown instead";
constexpr const char* kBlackInstead = "a black backdrop is shown instead";

void ResetAnimation(Game& g) {
  g.gfx.backdropFrameCount = backdrop::kFrameCount;
  g.gfx.backdropStrip = 0;
}

// The animation draws from a colour sheet; a palettized file is turned
// into colours once here so the tile pattern ORs real colours onto it.
// The sheet holds four frames in a 2 x 2 grid at its top left, so the file
// must be at least that size; a file that is there but unusable is reported
// once.
bool LoadSheetFile(Game& g, const std::string& path, const char* fallback) {
  Surface& sheet = g.gfx.backdropSheet;
  const PictureSize size{backdrop::kSheetW, backdrop::kSheetH};
  if (std::string e = LoadBmp(*g.pf.files, path, sheet, size); !e.empty()) {
    if (g.pf.files->Exists(path)) ReportSkippedPicture(g, e, fallback);
    return false;
  }
  if (!sheet.IsColour()) sheet.SetFormat(PixelFormat::Colour);
  return true;
}

void FillSheet(Game& g, uint32_t rgb) {
  Surface& sheet = g.gfx.backdropSheet;
  // An unchanged stamp means the sheet still holds that fill.
  Surfaces::FilledSheet& last = g.gfx.filledBackdrop;
  if (sheet.Stamp() == last.stamp && rgb == last.rgb) return;
  // The fill covers the whole sheet, so one of the right size and format
  // needs no clearing first.
  if (sheet.Width() != backdrop::kSheetW || sheet.Height() != backdrop::kSheetH ||
      !sheet.IsColour())
    sheet.Create(backdrop::kSheetW, backdrop::kSheetH, PixelFormat::Colour);
  const uint32_t keepBrush = sheet.canvas.brushColour;
  sheet.canvas.brushColour = rgb;
  FillRect(sheet, sheet.Bounds());
  sheet.canvas.brushColour = keepBrush;
  last = {sheet.Stamp(), rgb};
}

// The default picture, or black when even that is missing: the stage must
// always have something behind it.
void LoadFallbackSheet(Game& g) {
  ++g.motion.diag.missingBackdrops;
  if (!LoadSheetFile(g, g.st.dataFolder + backdrop::kDefaultFile, kBlackInstead))
    FillSheet(g, colour::kBlack);
}

void RedrawTilePattern(Game& g) {
  const BackdropState& b = g.motion.backdrop;
  if (b.tilePattern != -1) DrawTilePattern(g, b.tilePattern, b.tileDirection);
}

}  // namespace

std::string BackdropFileName(const Game& g, int n) {
  return g.st.dataFolder + "X" + std::to_string(n) + ".bmp";
}

void LoadBackdrop(Game& g) {
  BackdropState& b = g.motion.backdrop;
  b.loadPending = 0;
  b.backdropKind = -1;
  ResetAnimation(g);
  if (b.backdropNumber >= 0) {
    if (!LoadSheetFile(g, BackdropFileName(g, b.backdropNumber), kDefaultInstead))
      LoadFallbackSheet(g);
  } else {
    // Plain colours are entries of the backdrop palette; an index beyond
    // it gives black.
    FillSheet(g, SwapRedBlue(PaletteColour(g, -1, -b.backdropNumber)));
  }
  RedrawTilePattern(g);
}

void LoadDefaultBackdrop(Game& g) {
  g.motion.backdrop.loadPending = 0;
  g.motion.backdrop.backdropKind = 0;
  if (!LoadSheetFile(g, g.st.dataFolder + backdrop::kDefaultFile, kBlackInstead)) {
    ++g.motion.diag.missingBackdrops;
    FillSheet(g, colour::kBlack);
  }
  ResetAnimation(g);
  RedrawTilePattern(g);
}

void RestoreBackdrop(Game& g) {
  if (g.motion.backdrop.backdropKind == -1) {
    LoadBackdrop(g);
  } else {
    LoadDefaultBackdrop(g);
  }
}

void AskLoadBackdrop(Game& g) {
  g.motion.backdrop.backdropKind = -1;
  ResetAnimation(g);
  g.motion.backdrop.loadPending = 1;
}

void AskRestoreBackdrop(Game& g) {
  // Either load keeps the kind and restarts the animation.
  ResetAnimation(g);
  g.motion.backdrop.loadPending = 1;
}

void SettleBackdrop(Game& g) {
  if (g.motion.backdrop.loadPending) RestoreBackdrop(g);
}

int8_t AvoidCurrentBackdrop(Game& g, int8_t v) {
  if (v != g.motion.backdrop.backdropNumber) return v;
  // Plain colours read as bytes of 128 and more, so they also give way to
  // a random picture.
  if (static_cast<uint8_t>(v) >= 8) return static_cast<int8_t>(g.Rand(8));
  return static_cast<int8_t>(v % 2 == 0 ? v + 1 : v - 1);
}

int8_t CommandBackdrop(Game& g) {
  const int command = g.cmd.lastCommand;
  int index;
  if (command == 0) {
    index = g.Rand(8);
  } else {
    index = 2 * (command / 1000) - 2 + ((command / 100) % 10 == 6 ? 1 : 0);
  }
  // Commands that start with a button key would point past the table.
  const int size = static_cast<int>(backdrop::kCommandTable.size());
  index = ((index % size) + size) % size;
  return AvoidCurrentBackdrop(g, backdrop::kCommandTable[static_cast<size_t>(index)]);
}

void DrawTilePattern(Game& g, int n, int8_t direction) {
  BackdropState& b = g.motion.backdrop;
  if (b.loadPending) {
    b.tilePattern = static_cast<int16_t>(n);
    b.tileDirection = direction;
    return;
  }
  Surface& sheet = g.gfx.backdropSheet;
  const int slot = n / backdrop::kTilesPerBitmap;
  const Surface* tiles = nullptr;
  if (n >= 0 && slot < 32) tiles = &g.gfx.frameSheets[0][backdrop::kTileSet][slot];
  if (!tiles || tiles->Empty()) {
    ++g.motion.diag.missingPictures;
    tiles = nullptr;
  }
  sheet.canvas.copyMode = SRCPAINT;
  for (int r = 0; tiles && r < backdrop::kTileRows; ++r) {
    for (int i = 0; i < backdrop::kTileColumns; ++i) {
      const int8_t d = static_cast<int8_t>((i / 5 + 2 * (r / 3)) * direction);
      const int e = (n + d) % backdrop::kTilesPerBitmap;
      if (e < 0) continue;  // a shift below the first tile has no picture
      const Rect source = Rect::XYWH((e % backdrop::kTileCellColumns) * backdrop::kTileW,
                                     (e / backdrop::kTileCellColumns) * backdrop::kTileSourcePitchY,
                                     backdrop::kTileW, backdrop::kTileH);
      CopyRect(sheet,
               Rect::XYWH(i * backdrop::kTileW, r * backdrop::kTileH, backdrop::kTileW,
                          backdrop::kTileH),
               *tiles, source);
    }
  }
  sheet.canvas.copyMode = SRCCOPY;
  b.tilePattern = static_cast<int16_t>(n);
  b.tileDirection = direction;
}

}  // namespace kelvane
