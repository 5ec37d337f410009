#include "app/opening.h"

#include <algorithm>

#include "app/game.h"
#include "graphics/atlas.h"
#include "graphics/presentation.h"
#include "graphics/surfaces.h"
#include "graphics/window_layout.h"
#include "music/music_player.h"

namespace kelvane {
namespace {

using namespace opening;

constexpr int kMenuCursor = 2;
constexpr const char* kMenuTune = "Zz.mid";
constexpr int8_t kMaskSheet = 3;
constexpr int16_t kPlainFramesEnd = 8;  // scene 0 shows steps 0..9

// Scene 1's counters besides subStep.
int16_t& Growth(GameState& st) {
  return st.sceneCounters[0];
}
int16_t& Piece(GameState& st) {
  return st.sceneCounters[1];
}
int16_t& FirstRadius(GameState& st) {
  return st.sceneCounters[3];
}
int16_t& SecondRadius(GameState& st) {
  return st.sceneCounters[4];
}
int16_t& ClosingRadius(GameState& st) {
  return st.sceneCounters[5];
}

// A settings file may hold a colour the sheets do not have; the sheets
// array must never be read out of range.
const Surface& SchemeSheet(Game& g) {
  return g.gfx.mainSheets[static_cast<size_t>(std::clamp<int>(g.st.colourIndex, 0, 2))];
}

bool Between(int v, int low, int high) {
  return v >= low && v <= high;
}

// One frame of logo row r = subStep: the current piece unfolds from 6 to 26
// rows around the row's centre line.
void BuildLogoPiece(Game& g) {
  GameState& st = g.st;
  const int r = st.subStep();
  const auto& row = kLogoPieces[static_cast<size_t>(r)];
  int16_t& growth = Growth(st);
  int16_t& n = Piece(st);
  const int x0 = row[static_cast<size_t>(n)];
  const int x1 = row[static_cast<size_t>(n) + 1];
  const Rect rowCell = atlas::LogoRowCell(r);
  g.gfx.blitSource = Rect{rowCell.left + x0, rowCell.top, rowCell.left + x1, rowCell.bottom};
  g.gfx.blitTarget = Rect{kLogoInLayer.left + x0, atlas::kLogoRowPitch * r + 10 - 2 * growth,
                          kLogoInLayer.left + x1, atlas::kLogoRowPitch * r + 16 + 2 * growth};
  DrawSprite(g, SchemeSheet(g), nullptr);

  if (++growth <= 5) return;
  growth = 0;
  ++n;
  if (n > 9 || row[static_cast<size_t>(n) + 1] == kRowEnd) {
    n = 0;
    ++st.subStep();
  }
}

// The circle outline of radius r around the logo's centre, in the layer's
// pen colour (black, so it cuts a ring out of the overlay).
void DrawCircle(Game& g, int r) {
  DrawEllipse(g.gfx.spriteLayer,
              Rect{kCircleLeft - r, kCircleTop - r, kCircleLeft + 1 + r, kCircleTop + 1 + r});
}

// The whole logo with two expanding circles; the slower circle's wrap
// moves the step on, so each step lasts 66 frames.
void LogoCycle(Game& g) {
  GameState& st = g.st;
  Surface& layer = g.gfx.spriteLayer;
  g.gfx.blitSource = atlas::At(atlas::RegionId::kLogo);
  g.gfx.blitTarget = kLogoInLayer;
  DrawSprite(g, SchemeSheet(g), nullptr);
  layer.canvas.brushStyle = BrushStyle::Clear;
  DrawCircle(g, FirstRadius(st));
  DrawCircle(g, SecondRadius(st));
  FirstRadius(st) = static_cast<int16_t>(FirstRadius(st) + 1);
  if (FirstRadius(st) > kCycleRadius) {
    FirstRadius(st) = 0;
    ++st.subStep();
  }
  SecondRadius(st) = static_cast<int16_t>(SecondRadius(st) + 3);
  if (SecondRadius(st) > kCycleRadius) SecondRadius(st) = 0;
  layer.canvas.brushStyle = BrushStyle::Solid;
  layer.canvas.brushColour = colour::kBlack;
}

// The logo cycle plus a third, closing circle; when it is wide enough the
// step that is current then decides where the opening goes.
void ClosingCircle(Game& g) {
  GameState& st = g.st;
  Surface& layer = g.gfx.spriteLayer;
  LogoCycle(g);
  layer.canvas.brushStyle = BrushStyle::Clear;
  DrawCircle(g, ClosingRadius(st));
  layer.canvas.brushStyle = BrushStyle::Solid;
  ClosingRadius(st) = static_cast<int16_t>(ClosingRadius(st) + 2);
  if (ClosingRadius(st) <= kClosingRadius) return;
  const int16_t sub = st.subStep();
  if (sub == kClosing || sub == kClosing + 1) {
    st.subStep() = kPause;
  } else if (sub == kClosingToMenu || sub == kClosingToMenu + 1) {
    st.sceneCode = static_cast<int8_t>(st.sceneCode + 1);
    ResetSceneCounters(st);
  } else {
    ResetSceneCounters(st);
  }
}

// The logo area of the sprite layer laid over the frame with AND-then-OR:
// its black is transparent. While the logo cycles, the caption strip too.
void OverlayLogo(Game& g) {
  Surfaces& s = g.gfx;
  const bool large = IsLargeWindow(g);
  const Rect logoPlace = large ? kLogoOverlayLarge : kLogoOverlaySmall;
  const Rect captionPlace = large ? kCaptionOverlayLarge : kCaptionOverlaySmall;
  const Rect caption = atlas::At(atlas::RegionId::kLogoCaption);
  const bool withCaption = Between(g.st.subStep(), kFirstCycle, kLastCycle);

  Surface& mask = s.scratchMask;
  if (mask.Width() != kLogoInLayer.Width() || mask.Height() != kLogoInLayer.Height()) {
    mask.Create(kLogoInLayer.Width(), kLogoInLayer.Height(), PixelFormat::Mono);
  } else {
    mask.SetFormat(PixelFormat::Mono);
  }
  mask.canvas.copyMode = SRCCOPY;
  CopyRect(mask, mask.Bounds(), s.spriteLayer, kLogoInLayer);
  mask.SetFormat(PixelFormat::Mask);

  Surface& frame = s.mainSurface;
  frame.canvas.copyMode = SRCAND;
  CopyRect(frame, logoPlace, mask, mask.Bounds());
  if (withCaption) CopyRect(frame, captionPlace, s.mainSheets[kMaskSheet], caption);
  frame.canvas.copyMode = SRCPAINT;
  CopyRect(frame, logoPlace, s.spriteLayer, kLogoInLayer);
  if (withCaption) CopyRect(frame, captionPlace, SchemeSheet(g), caption);
}

}  // namespace

void OpeningStep(Game& g) {
  GameState& st = g.st;
  int16_t& sub = st.subStep();
  if (sub == 0) {
    g.pf.window->SetCursor(kMenuCursor);
    ClearLayers(g);
    PlayLooped(g, st.dataFolder + kMenuTune);
    st.frameInterval = st.normalFrameInterval;
    sub = 1;
  } else if (Between(sub, 1, kPlainFramesEnd)) {
    ++sub;
    ClearLayers(g);
  } else if (sub == kPlainFramesEnd + 1) {
    st.sceneCode = scene::kOpeningLogo;
    ResetSceneCounters(st);
  }
  AnimateBackdrop(g);
  PresentFrame(g);
}

void OpeningLogoStep(Game& g) {
  GameState& st = g.st;
  int16_t& sub = st.subStep();
  if (Between(sub, 0, 2)) {
    BuildLogoPiece(g);
  } else if (Between(sub, kFirstCycle, kLastCycle)) {
    LogoCycle(g);
  } else if (Between(sub, kClosing, kLastClosing)) {
    ClosingCircle(g);
  } else if (Between(sub, kPause, kPauseEnd - 1)) {
    ++sub;
  } else if (sub == kPauseEnd) {
    st.sceneCode = scene::kDemoStart;
    ResetSceneCounters(st);
  }
  AnimateBackdrop(g);
  OverlayLogo(g);
  DrawAlbumPanelLeft(g);
  PresentFrame(g);
}

}  // namespace kelvane
