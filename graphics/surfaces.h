// The off-screen surfaces and the state that joins them: the stage layers,
// the composed frame, the character sheets (filled by the picture loader),
// the rectangle variables, the backdrop animation, the flicker, the two
// overlay panels and the window layout values.
//
// The Game holds one of these as `gfx`.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "graphics/raster.h"

namespace kelvane {

struct Game;

// frameSheets[scheme 0..3][set 0..12][slot 0..31]; index 3 of the first
// level is the mask. Kept on the heap (1,664 surfaces).
class FrameSheetTable {
 public:
  using Set = std::array<Surface, 32>;
  using Scheme = std::array<Set, 13>;
  FrameSheetTable() : table_(std::make_unique<std::array<Scheme, 4>>()) {}
  Scheme& operator[](size_t scheme) { return (*table_)[scheme]; }
  const Scheme& operator[](size_t scheme) const { return (*table_)[scheme]; }

 private:
  std::unique_ptr<std::array<Scheme, 4>> table_;
};

struct Surfaces {
  // ---- Surfaces ----
  Surface mainSurface;    // 640 x 480, the composed frame (CreateMainSurface)
  Surface spriteLayer;    // 608 x 250, colour pixels of the stage
  Surface maskLayer;      // 608 x 250, 1 bit: white where the backdrop shows
  Surface backdropSheet;  // the backdrop animation frames
  Surface snapshotStrip;  // 148 x (albumCapacity x 108)
  Surface scratchMask;    // 98 x 90, switched between Mono and Mask
  std::array<Surface, 4> mainSheets;  // "Y_": schemes 0..2, index 3 the mask
  FrameSheetTable frameSheets;

  int8_t albumCapacity = 100;  // a built-in signed byte value
  // Optional picture files already reported as unusable ("FILE: reason").
  std::set<std::string> skippedPictures;

  // The layers as the last ClearLayers left them (stamp and canvas): a
  // script may clear many times before anything is drawn again.
  struct ClearedLayer {
    uint64_t stamp = 0;
    Canvas canvas;
  };
  std::array<ClearedLayer, 2> clearedLayers;  // spriteLayer, maskLayer
  // The backdrop sheet as its last plain fill left it: a move list may
  // load the same missing picture on every frame.
  struct FilledSheet {
    uint64_t stamp = 0;
    uint32_t rgb = 0;
  };
  FilledSheet filledBackdrop;

  // ---- Rectangle variables ----
  Rect blitSource;   // the picture's rectangle in a sheet (DrawSprite)
  Rect blitTarget;   // where it goes, in layer coordinates (DrawSprite)
  Rect cellRect;     // source of the small drawing routines
  Rect placeRect;    // target of the small drawing routines
  Rect albumRect;    // the snapshot panel on mainSurface
  Rect stageView{144, 0, 465, 240};   // the part of the layers shown
  Rect presentRect{0, 0, 642, 480};   // where the stage lands in mainSurface

  // ---- Backdrop animation ----
  int8_t backdropTick = 0;
  int8_t backdropTicksPerFrame = 2;
  int8_t backdropFrame = 0;
  int8_t backdropFrameCount = 0;
  uint8_t backdropStrip = 0;     // frames are 214 x 160 cells in one row
  uint8_t backdropHalfRate = 0;  // toggle

  // ---- Flicker (flickerUntil lives in GameState) ----
  uint8_t flickerSkipped = 0;

  // ---- Panels ----
  uint8_t iconShown = 1;  // the heads-up display shows from the start
  uint8_t albumShown = 0;
  uint8_t iconSide = 0;  // 0, 1 or 2, kept between frames
  uint8_t iconRow = 0;   // 0, 1 or 2, kept between frames
  int8_t albumFrame = -1;  // the snapshot frame shown; -1 none
  uint8_t albumBadge = 0;  // 240.. after loading, 16.. after saving

  // ---- Window layout ----
  uint8_t firstLayout = 1;
  int8_t borderLeft = 0;
  int8_t borderTop = 0;
};

// Stage geometry.
namespace geo {
constexpr int kLayerW = 608;
constexpr int kLayerH = 250;
constexpr Rect kStage{144, 0, 465, 240};
constexpr Rect kNormalView{144, 0, 465, 240};
constexpr Rect kZoomedView{192, 44, 406, 204};
constexpr Rect kPresentLarge{0, 0, 642, 480};
constexpr Rect kPresentSmall{0, 0, 321, 240};
constexpr int kScreenW = 640;
constexpr int kScreenH = 480;
constexpr int kSnapshotW = 148;
constexpr int kSnapshotH = 108;
}  // namespace geo

// Creates mainSurface, 640 x 480, black, with a black brush (the startup
// dialog calls it before it draws the wallpaper).
void CreateMainSurface(Game& g);

// FormCreate step 9: spriteLayer (black brush and pen), maskLayer (1 bit,
// white brush and pen), snapshotStrip (black brush), backdropSheet (no
// size), then ClearLayers. The window's own canvas colour (silver) has no
// use here: every visible pixel comes from mainSurface.
void CreateStageSurfaces(Game& g);

// FormCreate step 16: scratchMask, 98 x 90.
void CreateScratchMask(Game& g);

}  // namespace kelvane
