#include "music/music_panel.h"

#include "app/game.h"
#include "flow/music_menu.h"
#include "graphics/atlas.h"
#include "graphics/glyph_text.h"
#include "graphics/presentation.h"
#include "graphics/window_layout.h"
#include "music/music_player.h"

namespace kelvane {
namespace {

using atlas::RegionId;

// Where the panel and its number cell land on the stage layers.
constexpr Point kPanelPlace{200, 62};
constexpr Point kTrackDigitsPlace{376, 62};
// The CD lamp square in window pixels at scale 1.
constexpr Point kCdLamp{234, 64};
constexpr int kCdLampSide = 3;

void BlitCell(Game& g, RegionId cell, Point to, bool masked) {
  Surfaces& s = g.gfx;
  Rect from = atlas::At(cell);
  s.blitSource = from;
  s.blitTarget = Rect::XYWH(to.x, to.y, from.Width(), from.Height());
  DrawSprite(g, s.mainSheets[0], masked ? &s.mainSheets[3] : nullptr);
}

}  // namespace

void DrawMusicPanel(Game& g) {
  Surface& sheet = g.gfx.mainSheets[0];
  int8_t src = g.music.bgmSource;
  CopyRect(sheet, atlas::At(RegionId::kMusicSourcePlace), sheet, atlas::MusicSourceLabelCell(src));
  Rect index = atlas::At(RegionId::kMusicIndexDigits);
  Rect count = atlas::At(RegionId::kMusicCountDigits);
  DrawDigits(g, 2, SourceIndex(g, src), atlas::kMusicDigitStyle, index.top, index.left);
  DrawDigits(g, 2, SourceCount(g, src), atlas::kMusicDigitStyle, count.top, count.left);
}

void ShowMusicPanel(Game& g) {
  DrawMusicPanel(g);
  BlitCell(g, RegionId::kMusicPanel, kPanelPlace, true);
  // One step of the menu character's idle animation.
  MusicMenuIdleStep(g);
}

void ShowTrackDigits(Game& g) {
  DrawMusicPanel(g);
  BlitCell(g, RegionId::kMusicTrackDigits, kTrackDigitsPlace, false);
}

void ClearCdLamp(Game& g) {
  int s = WindowScale(g);
  FillRect(g.gfx.mainSurface,
           Rect::XYWH(kCdLamp.x * s, kCdLamp.y * s, kCdLampSide * s, kCdLampSide * s));
}

}  // namespace kelvane
