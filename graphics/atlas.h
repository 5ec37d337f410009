// The atlas of the main picture "Y_" (mainSheets, Part 4.2): where the
// interface pieces that Parts 4.1 and 4.3 copy from it live.
#pragma once

#include "graphics/raster.h"

namespace kelvane::atlas {

// ---- Bitmap font (Part 4.3): 4 x 5 cells on rows 6 pixels apart ----
constexpr int kGlyphW = 4;
constexpr int kGlyphH = 5;
constexpr int kGlyphPitch = 5;     // between cells of a row
constexpr int kGlyphRowPitch = 6;  // between styles
constexpr int kGlyphTop = 9;       // top of style 0
constexpr int kLetterLeft = 380;   // letter-set glyph number k (0..51) at 380 + 5k
constexpr int kDigitLeft = 320;    // digit d (0..9) at 320 + 5d
constexpr int kSignPlusLeft = 370;   // sign of a non-negative number
constexpr int kSignMinusLeft = 375;  // sign of a negative number

constexpr int GlyphTop(int style) { return kGlyphTop + kGlyphRowPitch * style; }
constexpr Rect LetterCell(int k, int style) { return Rect::XYWH(kLetterLeft + kGlyphPitch * k, GlyphTop(style), kGlyphW, kGlyphH); }
constexpr Rect DigitCell(int d, int style) { return Rect::XYWH(kDigitLeft + kGlyphPitch * d, GlyphTop(style), kGlyphW, kGlyphH); }
constexpr Rect SignCell(bool negative, int style) {
  return Rect::XYWH(negative ? kSignMinusLeft : kSignPlusLeft, GlyphTop(style), kGlyphW, kGlyphH);
}

// ---- Icon panel (Part 4.1): the character icon, 75 x 68, by facing ----
constexpr Rect kIconFacing0 = Rect::XYWH(320, 96, 75, 68);
constexpr Rect kIconFacing1 = Rect::XYWH(320, 192, 75, 68);

// ---- Album badges (Part 4.1): 26 x 6 ----
constexpr Rect kBadgeLoaded = Rect::XYWH(400, 106, 26, 6);
constexpr Rect kBadgeSaved = Rect::XYWH(432, 106, 26, 6);

}  // namespace kelvane::atlas
