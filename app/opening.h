// The opening between two demonstrations: a few plain frames with the menu
// tune starting (scene 0), then the logo built piece by piece, shown with
// expanding circles and closed by a last circle (scene 1).
#pragma once

#include <array>
#include <cstdint>

#include "graphics/raster.h"

namespace kelvane {

struct Game;

namespace opening {
// Left edges of the logo pieces per logo row, in logo coordinates; 255 ends
// a row. Piece n spans entries n .. n + 1.
constexpr int kRowEnd = 255;
constexpr std::array<std::array<uint8_t, 11>, 3> kLogoPieces = {{
    {0, 16, 32, 48, 64, 67, 90, 255, 255, 255, 255},
    {0, 16, 32, 48, 64, 68, 84, 98, 255, 255, 255},
    {0, 16, 32, 48, 64, 80, 94, 255, 255, 255, 255},
}};

// Where the logo lies in the sprite layer, and the circles' centre box.
constexpr Rect kLogoInLayer = Rect::XYWH(271, 0, 98, 90);
constexpr int kCircleLeft = 316, kCircleTop = 46;

// Overlay places on mainSurface by window size.
constexpr Rect kLogoOverlayLarge = Rect::XYWH(235, 102, 196, 180);
constexpr Rect kCaptionOverlayLarge = Rect::XYWH(461, 462, 170, 14);
constexpr Rect kLogoOverlaySmall = Rect::XYWH(117, 51, 98, 90);
constexpr Rect kCaptionOverlaySmall = Rect::XYWH(230, 231, 85, 7);

// Sub-steps of scene 1.
constexpr int16_t kFirstCycle = 3;  // the whole logo with its circles
constexpr int16_t kLastCycle = 9;
constexpr int16_t kClosing = 10;  // closing circle, then the demonstration
constexpr int16_t kClosingToMenu = 12;
constexpr int16_t kClosingAgain = 14;  // closing circle, then the opening again
constexpr int16_t kLastClosing = 20;
constexpr int16_t kPause = 32;
constexpr int16_t kPauseEnd = 40;
constexpr int kCycleRadius = 65;    // the two circles wrap above this radius
constexpr int kClosingRadius = 70;  // the closing circle ends above this one
}  // namespace opening

// Scene 0: starts the menu tune and shows ten plain frames.
void OpeningStep(Game& g);
// Scene 1: the logo.
void OpeningLogoStep(Game& g);

}  // namespace kelvane
