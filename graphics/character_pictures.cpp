#include "graphics/character_pictures.h"

#include <algorithm>
#include <vector>

#include "actiondata/palette_file.h"
#include "app/game.h"
#include "graphics/atlas.h"
#include "graphics/bmp_file.h"
#include "graphics/raster.h"
#include "graphics/surfaces.h"

namespace kelvane {
namespace {

constexpr int kMaxScheme = 2;
constexpr int kPaletteEntries = 16;
// The cache file of scheme s is this letter + the picture's name.
constexpr const char* kCachePrefix[kMaxScheme + 1] = {"", "T", "U"};
// The generation shows its progress after this many passes.
constexpr int kPassesBeforeProgress[kMaxScheme + 1] = {0, 9, 5};
constexpr const char* kMainPicture = "Y_";
constexpr const char* kTitle = "Kelvane";

bool Stopping(const Game& g) {
  return g.st.halted || g.st.closeRequested;
}

bool SameSize(const Surface& a, const Surface& b) {
  return a.Width() == b.Width() && a.Height() == b.Height();
}

// The colours a picture can show, one pixel each: for a palettized picture
// its sixteen indexes, otherwise every distinct colour it holds (sorted).
// Recolouring is per pixel, so running the passes over this strip and then
// mapping the picture through it gives the full-size result.
struct ColourStrip {
  Surface from;
  std::vector<uint32_t> colours;  // the strip's colours for non-palettized pictures
};

ColourStrip MakeStrip(const Surface& scheme0) {
  ColourStrip strip;
  if (scheme0.Format() == PixelFormat::Pal4) {
    strip.from.CreatePal4(kPaletteEntries, 1, scheme0.Palette());
    for (int i = 0; i < kPaletteEntries; ++i) strip.from.SetRawPixel(i, 0, i);
    return strip;
  }
  for (int y = 0; y < scheme0.Height(); ++y) {
    const uint32_t* row = scheme0.ColourRow(y);
    strip.colours.insert(strip.colours.end(), row, row + scheme0.Width());
    if (strip.colours.size() > 4096) {
      std::sort(strip.colours.begin(), strip.colours.end());
      strip.colours.erase(std::unique(strip.colours.begin(), strip.colours.end()),
                          strip.colours.end());
    }
  }
  std::sort(strip.colours.begin(), strip.colours.end());
  strip.colours.erase(std::unique(strip.colours.begin(), strip.colours.end()), strip.colours.end());
  strip.from.Create(static_cast<int>(strip.colours.size()), 1, PixelFormat::Colour);
  for (size_t i = 0; i < strip.colours.size(); ++i)
    strip.from.SetRawPixel(static_cast<int>(i), 0, strip.colours[i]);
  return strip;
}

// Scheme s of the picture: a 4-bit surface with scheme s's palette, black,
// then the fifteen passes (with the progress shown part way).
void GenerateScheme(Game& g, Surface& scheme0, Surface& dest, int s) {
  const Palette16& palette = g.palettes.charPalettes[s + 1];
  dest.CreatePal4(scheme0.Width(), scheme0.Height(), palette);
  ColourStrip strip = MakeStrip(scheme0);
  Surface to;
  to.CreatePal4(strip.from.Width(), 1, palette);
  for (int b = 1; b < kPaletteEntries; ++b) {
    RecolourPass(g, to, strip.from, s, b);
    if (b == kPassesBeforeProgress[s]) ShowLoadingProgress(g);
  }
  const int w = scheme0.Width();
  if (scheme0.Format() == PixelFormat::Pal4) {
    uint8_t map[kPaletteEntries];
    for (int i = 0; i < kPaletteEntries; ++i) map[i] = static_cast<uint8_t>(to.RawPixel(i, 0));
    for (int y = 0; y < scheme0.Height(); ++y) {
      const uint8_t* in = scheme0.ByteRow(y);
      uint8_t* out = dest.ByteRow(y);
      for (int x = 0; x < w; ++x) out[x] = map[in[x] & 15];
    }
    return;
  }
  for (int y = 0; y < scheme0.Height(); ++y) {
    const uint32_t* in = scheme0.ColourRow(y);
    uint8_t* out = dest.ByteRow(y);
    for (int x = 0; x < w; ++x) {
      auto at = std::lower_bound(strip.colours.begin(), strip.colours.end(), in[x]);
      out[x] = static_cast<uint8_t>(to.RawPixel(static_cast<int>(at - strip.colours.begin()), 0));
    }
  }
}

// A cache file is used only when it decodes and has the picture's size.
bool LoadCache(Game& g, const std::string& path, const Surface& scheme0, Surface& out) {
  return g.pf.files->Exists(path) && LoadBmp(*g.pf.files, path, out).empty() &&
         SameSize(out, scheme0);
}

void BuildScheme(Game& g, const std::string& name, Surface& scheme0, Surface& dest, int s) {
  dest = Surface();
  std::string path = g.st.dataFolder + kCachePrefix[s] + name + ".bmp";
  Surface cached;
  if (!g.st.rebuildColourData && LoadCache(g, path, scheme0, cached)) {
    ShowLoadingProgress(g);
    if (!Stopping(g)) dest = std::move(cached);
    return;
  }
  GenerateScheme(g, scheme0, dest, s);
  // An interrupted generation is incomplete: never cache it. A failed write
  // only costs the generation again at the next start.
  if (!Stopping(g)) SaveBmp(*g.pf.files, path, dest);
}

void BuildMask(Surface& scheme0, Surface& mask) {
  mask.Create(scheme0.Width(), scheme0.Height(), PixelFormat::Mono);
  scheme0.canvas.brushColour = colour::kBlack;
  CopyRect(mask, mask.Bounds(), scheme0, scheme0.Bounds());
  mask.SetFormat(PixelFormat::Mask);
}

}  // namespace

void PumpMessagesWhileLoading(Game& g) {
  g.st.halted = 1;
  g.pf.app->ProcessMessages();
  g.st.halted = 0;
}

void ShowLoadingProgress(Game& g) {
  ActionData& a = g.actions;
  g.pf.window->SetCaption(FormId::FM, "Now Loading " + std::to_string(g.st.groupsToLoad) + " " +
                                          std::to_string(a.picturesLeft) + " " +
                                          std::to_string(a.pictureCountdown));
  --a.pictureCountdown;
}

void RecolourPass(Game& g, Surface& dest, Surface& scheme0, int s, int b) {
  if (Stopping(g)) return;
  PumpMessagesWhileLoading(g);
  Surface t(dest.Width(), dest.Height(), PixelFormat::Mono);
  scheme0.canvas.brushColour = SwapRedBlue(PaletteColour(g, 0, b));
  CopyRect(t, t.Bounds(), scheme0, scheme0.Bounds());
  dest.canvas.brushColour = SwapRedBlue(PaletteColour(g, s, b));
  dest.canvas.fontColour = colour::kBlack;
  dest.canvas.copyMode = SRCPAINT;
  CopyRect(dest, dest.Bounds(), t, t.Bounds());
  dest.canvas.copyMode = SRCCOPY;
}

bool LoadCharacterPicture(Game& g, const std::string& name, PictureSheets sheets,
                          std::optional<PictureSize> size) {
  if (Stopping(g)) return true;
  const int schemes = std::min<int>(g.st.colourMax, kMaxScheme);
  g.actions.pictureCountdown = static_cast<int16_t>(g.st.colourMax + 1);
  ShowLoadingProgress(g);

  Surface& scheme0 = *sheets.scheme[0];
  std::string path = g.st.dataFolder + name + ".bmp";
  // The drawing code cuts cells out of the sheet at fixed places, so a
  // sheet too small to hold them is refused from its header.
  std::string error =
      size ? LoadBmp(*g.pf.files, path, scheme0, *size) : LoadBmp(*g.pf.files, path, scheme0);
  if (error.empty() && scheme0.Empty()) error = path + ": the picture has no pixels";
  if (!error.empty()) {
    g.pf.app->ShowMessage(error);
    return false;
  }
  if (scheme0.Format() == PixelFormat::Pal4) {
    scheme0.SetPalette(g.palettes.charPalettes[1]);
  } else if (scheme0.IsBits()) {
    scheme0.SetFormat(PixelFormat::Colour);
  }
  PumpMessagesWhileLoading(g);

  if (schemes >= 1) BuildScheme(g, name, scheme0, *sheets.scheme[1], 1);
  ShowLoadingProgress(g);
  if (schemes >= 2) BuildScheme(g, name, scheme0, *sheets.scheme[2], 2);

  BuildMask(scheme0, *sheets.mask);
  if (g.st.groupsToLoad == 0) g.pf.window->SetCaption(FormId::FM, kTitle);
  return true;
}

bool LoadMainPicture(Game& g) {
  auto& m = g.gfx.mainSheets;
  return LoadCharacterPicture(g, kMainPicture, {{&m[0], &m[1], &m[2]}, &m[3]},
                              PictureSize{atlas::kSheetWidth, atlas::kSheetHeight});
}

}  // namespace kelvane
