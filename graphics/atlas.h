// The atlas of the main picture "Y_": every region of it that the game reads
// or writes, in one table. The game takes its sheet coordinates from here and
// the data forge draws the picture from the same table, so no coordinate of
// the sheet is written twice. Plain constexpr data, no Qt.
//
// Most regions are blocks of equal cells (a font row, a row of poses); the
// helpers at the end give the cell inside its block. Two regions may share
// pixels only where kDeclaredOverlaps says so (a display place inside the
// panel that shows it, a pressed button drawn over its own panel).
#pragma once

#include <string_view>

#include "graphics/raster.h"

namespace kelvane::atlas {

inline constexpr int kSheetWidth = 640;
inline constexpr int kSheetHeight = 400;

enum class RegionId : int {
  // Font: 4 x 5 glyphs on rows 6 pixels apart. Styles -1, 0 and 1 hold the
  // whole letter set; styles 1 to 3 hold the digits and signs of the
  // heads-up display; styles 2 and 3 give their letter places to the key
  // and prompt icons and, further right, to the logo.
  kLettersStyleM1,
  kLettersStyle0,
  kLettersStyle1,
  kDigitsStyleM1,
  kDigitsStyle0,
  kDigitsStyle1,
  kDigitsStyle2,
  kDigitsStyle3,
  kPromptIcons,  // landing prompt icons 0..6
  kKeyIcons,     // typed key icons 0..5
  // Stage start banner and its labels.
  kBannerBase,  // slides in from the left (up to 125 wide)
  kBannerGlow,  // ORed over it from the right
  kModeLabels,  // 64 x 5 labels on rows 8 apart, play modes 0..7
  kTurnLabels,  // 20 x 8: demonstration, first turn, second turn
  // Icon panel: the heads-up display, one cell per facing.
  kIconCellFacingLeft,
  kIconCellFacingRight,
  kHudBlankColumn,
  kHudLandingKeyA,
  kHudPromptA,
  kHudKeysA,
  kHudSlot1A,
  kHudSlot2A,
  kHudSlot3A,
  kHudSlot4A,
  kHudIndicatorA,
  kHudLandingKeyB,
  kHudPromptB,
  kHudKeysB,
  kHudSlot1B,
  kHudSlot2B,
  kHudSlot3B,
  kHudSlot4B,
  kHudIndicatorB,
  // Snapshot album badges.
  kBadgeLoaded,
  kBadgeSaved,
  // Opening logo.
  kLogo,
  kLogoCaption,
  // Mode menu.
  kMenuIcons,    // 5 pages x 3 icons of 48 x 48
  kMenuFigures,  // 6 poses of 48 x 96
  kMenuFaces,    // 5 faces x 6 poses of 48 x 48
  kMenuCaption,
  kMenuCursorMark,
  // Match result.
  kResultPlateP1,
  kResultPlateP2,
  kResultPlateP1Course,
  kResultPlateP2Course,
  kResultLabelP1Score1,
  kResultLabelP1Score2,
  kResultLabelP2Score1,
  kResultLabelP2Score2,
  kResultLabelP1CourseScore1,
  kResultLabelP1CourseScore2,
  kResultLabelP2CourseScore1,
  kResultLabelP2CourseScore2,
  kResultBlinkP1,  // columns: course win, plain win; rows: blink 0..2
  kResultBlinkP2,
  // Record slots.
  kSlotPanelBody,
  kSlotPanelTop,
  kSlotClosedLabels,  // label rows -1, 0, 1
  kSlotDigits,        // 6 x 6 slot numbers 1..9 per label row
  kSlotCursorMarks,   // 5 x 5 mark read at four heights
  kSlotCursorErase,
  kSlotLabelPlates,  // result mark -1, 0, 1
  kSlotResultMarks,  // two blink phases x result mark -1, 0, 1
  // Music menu.
  kMusicSourceLabels,  // play list, stage tunes, CD
  kMusicPanel,
  kMusicSourcePlace,
  kMusicTrackDigits,
  kMusicIndexDigits,
  kMusicCountDigits,
  kMusicPressedItems,
  kMusicLampOff,
  kMusicLampOn,
  kCount
};
inline constexpr int kRegionCount = static_cast<int>(RegionId::kCount);

struct Region {
  RegionId id;
  std::string_view name;
  Rect rect;
};

constexpr Rect XYWH(int x, int y, int w, int h) {
  return Rect::XYWH(x, y, w, h);
}

inline constexpr Region kRegions[] = {
    {RegionId::kLettersStyleM1, "letters style -1", XYWH(380, 3, 260, 5)},
    {RegionId::kLettersStyle0, "letters style 0", XYWH(380, 9, 260, 5)},
    {RegionId::kLettersStyle1, "letters style 1", XYWH(380, 15, 260, 5)},
    {RegionId::kDigitsStyleM1, "digits style -1", XYWH(320, 3, 60, 5)},
    {RegionId::kDigitsStyle0, "digits style 0", XYWH(320, 9, 60, 5)},
    {RegionId::kDigitsStyle1, "digits style 1", XYWH(320, 15, 60, 5)},
    {RegionId::kDigitsStyle2, "digits style 2", XYWH(320, 21, 60, 5)},
    {RegionId::kDigitsStyle3, "digits style 3", XYWH(320, 27, 60, 5)},
    {RegionId::kPromptIcons, "landing prompt icons", XYWH(400, 21, 34, 5)},
    {RegionId::kKeyIcons, "key icons", XYWH(400, 27, 29, 5)},
    {RegionId::kBannerBase, "banner", XYWH(320, 32, 125, 32)},
    {RegionId::kBannerGlow, "banner glow", XYWH(336, 64, 108, 32)},
    {RegionId::kModeLabels, "mode labels", XYWH(464, 32, 64, 61)},
    {RegionId::kTurnLabels, "turn labels", XYWH(273, 245, 20, 26)},
    {RegionId::kIconCellFacingLeft, "icon cell facing left", XYWH(320, 96, 75, 68)},
    {RegionId::kIconCellFacingRight, "icon cell facing right", XYWH(320, 192, 75, 68)},
    {RegionId::kHudBlankColumn, "hud blank column", XYWH(349, 119, 1, 5)},
    {RegionId::kHudLandingKeyA, "hud landing key", XYWH(350, 119, 4, 5)},
    {RegionId::kHudPromptA, "hud prompt", XYWH(355, 119, 4, 5)},
    {RegionId::kHudKeysA, "hud keys", XYWH(352, 125, 19, 5)},
    {RegionId::kHudSlot1A, "hud score 1", XYWH(349, 131, 29, 5)},
    {RegionId::kHudSlot2A, "hud score 2", XYWH(351, 137, 29, 5)},
    {RegionId::kHudSlot3A, "hud points", XYWH(358, 143, 24, 5)},
    {RegionId::kHudSlot4A, "hud landing bonus", XYWH(344, 143, 14, 5)},
    {RegionId::kHudIndicatorA, "hud indicator", XYWH(383, 101, 4, 5)},
    {RegionId::kHudLandingKeyB, "hud landing key (mirrored)", XYWH(361, 215, 4, 5)},
    {RegionId::kHudPromptB, "hud prompt (mirrored)", XYWH(356, 215, 4, 5)},
    {RegionId::kHudKeysB, "hud keys (mirrored)", XYWH(344, 221, 19, 5)},
    {RegionId::kHudSlot1B, "hud score 1 (mirrored)", XYWH(337, 227, 29, 5)},
    {RegionId::kHudSlot2B, "hud score 2 (mirrored)", XYWH(335, 233, 29, 5)},
    {RegionId::kHudSlot3B, "hud points (mirrored)", XYWH(338, 239, 24, 5)},
    {RegionId::kHudSlot4B, "hud landing bonus (mirrored)", XYWH(362, 239, 14, 5)},
    {RegionId::kHudIndicatorB, "hud indicator (mirrored)", XYWH(328, 197, 4, 5)},
    {RegionId::kBadgeLoaded, "badge loaded", XYWH(400, 106, 26, 6)},
    {RegionId::kBadgeSaved, "badge saved", XYWH(432, 106, 26, 6)},
    {RegionId::kLogo, "logo", XYWH(529, 22, 98, 90)},
    {RegionId::kLogoCaption, "logo caption", XYWH(0, 283, 85, 7)},
    {RegionId::kMenuIcons, "menu icons", XYWH(0, 0, 144, 240)},
    {RegionId::kMenuFigures, "menu figures", XYWH(0, 304, 288, 96)},
    {RegionId::kMenuFaces, "menu faces", XYWH(400, 112, 240, 288)},
    {RegionId::kMenuCaption, "menu caption", XYWH(148, 275, 89, 12)},
    {RegionId::kMenuCursorMark, "menu cursor mark", XYWH(244, 277, 25, 4)},
    {RegionId::kResultPlateP1, "result plate player 1", XYWH(144, 96, 82, 90)},
    {RegionId::kResultPlateP2, "result plate player 2", XYWH(238, 96, 82, 90)},
    {RegionId::kResultPlateP1Course, "result plate player 1 course", XYWH(144, 0, 82, 90)},
    {RegionId::kResultPlateP2Course, "result plate player 2 course", XYWH(238, 0, 82, 90)},
    {RegionId::kResultLabelP1Score1, "result label p1 score 1", XYWH(172, 149, 29, 5)},
    {RegionId::kResultLabelP1Score2, "result label p1 score 2", XYWH(174, 157, 29, 5)},
    {RegionId::kResultLabelP2Score1, "result label p2 score 1", XYWH(261, 157, 29, 5)},
    {RegionId::kResultLabelP2Score2, "result label p2 score 2", XYWH(263, 149, 29, 5)},
    {RegionId::kResultLabelP1CourseScore1, "result label p1 course score 1", XYWH(172, 53, 29, 5)},
    {RegionId::kResultLabelP1CourseScore2, "result label p1 course score 2", XYWH(174, 61, 29, 5)},
    {RegionId::kResultLabelP2CourseScore1, "result label p2 course score 1", XYWH(261, 61, 29, 5)},
    {RegionId::kResultLabelP2CourseScore2, "result label p2 course score 2", XYWH(263, 53, 29, 5)},
    {RegionId::kResultBlinkP1, "result blink player 1", XYWH(155, 194, 47, 46)},
    {RegionId::kResultBlinkP2, "result blink player 2", XYWH(262, 194, 47, 46)},
    {RegionId::kSlotPanelBody, "slot panel body", XYWH(0, 240, 101, 16)},
    {RegionId::kSlotPanelTop, "slot panel top", XYWH(0, 256, 101, 27)},
    {RegionId::kSlotClosedLabels, "slot closed labels", XYWH(144, 248, 29, 24)},
    {RegionId::kSlotDigits, "slot digits", XYWH(192, 249, 62, 22)},
    {RegionId::kSlotCursorMarks, "slot cursor marks", XYWH(177, 248, 5, 8)},
    {RegionId::kSlotCursorErase, "slot cursor erase", XYWH(182, 251, 5, 5)},
    {RegionId::kSlotLabelPlates, "slot label plates", XYWH(104, 256, 31, 24)},
    {RegionId::kSlotResultMarks, "slot result marks", XYWH(104, 281, 39, 23)},
    {RegionId::kMusicSourceLabels, "music source labels", XYWH(296, 264, 23, 22)},
    {RegionId::kMusicPanel, "music panel", XYWH(144, 288, 208, 16)},
    {RegionId::kMusicSourcePlace, "music source place", XYWH(296, 292, 23, 6)},
    {RegionId::kMusicTrackDigits, "music track digits", XYWH(320, 288, 32, 16)},
    {RegionId::kMusicIndexDigits, "music tune number", XYWH(327, 294, 9, 5)},
    {RegionId::kMusicCountDigits, "music tune count", XYWH(340, 294, 9, 5)},
    {RegionId::kMusicPressedItems, "music pressed items", XYWH(176, 287, 144, 15)},
    {RegionId::kMusicLampOff, "music lamp off", XYWH(162, 293, 1, 1)},
    {RegionId::kMusicLampOn, "music lamp on", XYWH(162, 294, 1, 1)},
};
static_assert(sizeof(kRegions) / sizeof(kRegions[0]) == kRegionCount);

constexpr bool RegionsInIdOrder() {
  for (int i = 0; i < kRegionCount; ++i)
    if (static_cast<int>(kRegions[i].id) != i) return false;
  return true;
}
static_assert(RegionsInIdOrder(), "kRegions must list the regions in RegionId order");

constexpr const Region& Get(RegionId id) {
  return kRegions[static_cast<int>(id)];
}
constexpr Rect At(RegionId id) {
  return Get(id).rect;
}

// Regions that share pixels on purpose: the display places live inside the
// panels that show them; the pressed music items are the panel's own items
// read one row higher, so they sink by a pixel when drawn.
struct Overlap {
  RegionId a, b;
};

// Places the game draws numbers and icons into at run time: they must stay
// opaque in the picture, or the mask would let the backdrop through them.
inline constexpr RegionId kWrittenPlaces[] = {
    RegionId::kHudBlankColumn,
    RegionId::kHudLandingKeyA,
    RegionId::kHudPromptA,
    RegionId::kHudKeysA,
    RegionId::kHudSlot1A,
    RegionId::kHudSlot2A,
    RegionId::kHudSlot3A,
    RegionId::kHudSlot4A,
    RegionId::kHudIndicatorA,
    RegionId::kHudLandingKeyB,
    RegionId::kHudPromptB,
    RegionId::kHudKeysB,
    RegionId::kHudSlot1B,
    RegionId::kHudSlot2B,
    RegionId::kHudSlot3B,
    RegionId::kHudSlot4B,
    RegionId::kHudIndicatorB,
    RegionId::kMusicSourcePlace,
    RegionId::kMusicIndexDigits,
    RegionId::kMusicCountDigits,
    RegionId::kResultLabelP1Score1,
    RegionId::kResultLabelP1Score2,
    RegionId::kResultLabelP2Score1,
    RegionId::kResultLabelP2Score2,
    RegionId::kResultLabelP1CourseScore1,
    RegionId::kResultLabelP1CourseScore2,
    RegionId::kResultLabelP2CourseScore1,
    RegionId::kResultLabelP2CourseScore2,
};

inline constexpr Overlap kDeclaredOverlaps[] = {
    {RegionId::kHudBlankColumn, RegionId::kIconCellFacingLeft},
    {RegionId::kHudLandingKeyA, RegionId::kIconCellFacingLeft},
    {RegionId::kHudPromptA, RegionId::kIconCellFacingLeft},
    {RegionId::kHudKeysA, RegionId::kIconCellFacingLeft},
    {RegionId::kHudSlot1A, RegionId::kIconCellFacingLeft},
    {RegionId::kHudSlot2A, RegionId::kIconCellFacingLeft},
    {RegionId::kHudSlot3A, RegionId::kIconCellFacingLeft},
    {RegionId::kHudSlot4A, RegionId::kIconCellFacingLeft},
    {RegionId::kHudIndicatorA, RegionId::kIconCellFacingLeft},
    {RegionId::kHudLandingKeyB, RegionId::kIconCellFacingRight},
    {RegionId::kHudPromptB, RegionId::kIconCellFacingRight},
    {RegionId::kHudKeysB, RegionId::kIconCellFacingRight},
    {RegionId::kHudSlot1B, RegionId::kIconCellFacingRight},
    {RegionId::kHudSlot2B, RegionId::kIconCellFacingRight},
    {RegionId::kHudSlot3B, RegionId::kIconCellFacingRight},
    {RegionId::kHudSlot4B, RegionId::kIconCellFacingRight},
    {RegionId::kHudIndicatorB, RegionId::kIconCellFacingRight},
    {RegionId::kResultLabelP1Score1, RegionId::kResultPlateP1},
    {RegionId::kResultLabelP1Score2, RegionId::kResultPlateP1},
    {RegionId::kResultLabelP2Score1, RegionId::kResultPlateP2},
    {RegionId::kResultLabelP2Score2, RegionId::kResultPlateP2},
    {RegionId::kResultLabelP1CourseScore1, RegionId::kResultPlateP1Course},
    {RegionId::kResultLabelP1CourseScore2, RegionId::kResultPlateP1Course},
    {RegionId::kResultLabelP2CourseScore1, RegionId::kResultPlateP2Course},
    {RegionId::kResultLabelP2CourseScore2, RegionId::kResultPlateP2Course},
    {RegionId::kMusicSourcePlace, RegionId::kMusicPanel},
    {RegionId::kMusicTrackDigits, RegionId::kMusicPanel},
    {RegionId::kMusicIndexDigits, RegionId::kMusicPanel},
    {RegionId::kMusicCountDigits, RegionId::kMusicPanel},
    {RegionId::kMusicIndexDigits, RegionId::kMusicTrackDigits},
    {RegionId::kMusicCountDigits, RegionId::kMusicTrackDigits},
    {RegionId::kMusicLampOff, RegionId::kMusicPanel},
    {RegionId::kMusicLampOn, RegionId::kMusicPanel},
    {RegionId::kMusicPressedItems, RegionId::kMusicPanel},
    {RegionId::kMusicPressedItems, RegionId::kMusicSourcePlace},
};

constexpr bool Intersect(const Rect& p, const Rect& q) {
  return p.left < q.right && q.left < p.right && p.top < q.bottom && q.top < p.bottom;
}

constexpr bool Inside(const Rect& inner, const Rect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

constexpr bool InsideSheet(const Rect& r) {
  return r.Width() > 0 && r.Height() > 0 && Inside(r, Rect{0, 0, kSheetWidth, kSheetHeight});
}

constexpr bool OverlapDeclared(RegionId a, RegionId b) {
  for (const Overlap& o : kDeclaredOverlaps)
    if ((o.a == a && o.b == b) || (o.a == b && o.b == a)) return true;
  return false;
}

// The first fault of the table, if any: a region outside the picture, or
// two regions sharing pixels without a declaration. The forge refuses to
// draw a picture from a faulty table.
struct AtlasProblem {
  enum Kind { kNone, kOutsideSheet, kUndeclaredOverlap, kStaleOverlap } kind = kNone;
  RegionId a{}, b{};
};

constexpr AtlasProblem CheckAtlas(const Region* regions, int count, const Overlap* declared,
                                  int declaredCount) {
  auto isDeclared = [&](RegionId a, RegionId b) {
    for (int i = 0; i < declaredCount; ++i)
      if ((declared[i].a == a && declared[i].b == b) || (declared[i].a == b && declared[i].b == a))
        return true;
    return false;
  };
  for (int i = 0; i < count; ++i)
    if (!InsideSheet(regions[i].rect))
      return {AtlasProblem::kOutsideSheet, regions[i].id, regions[i].id};
  for (int i = 0; i < count; ++i)
    for (int j = i + 1; j < count; ++j)
      if (Intersect(regions[i].rect, regions[j].rect) && !isDeclared(regions[i].id, regions[j].id))
        return {AtlasProblem::kUndeclaredOverlap, regions[i].id, regions[j].id};
  for (int i = 0; i < declaredCount; ++i) {
    Rect a{}, b{};
    for (int j = 0; j < count; ++j) {
      if (regions[j].id == declared[i].a) a = regions[j].rect;
      if (regions[j].id == declared[i].b) b = regions[j].rect;
    }
    if (!Intersect(a, b)) return {AtlasProblem::kStaleOverlap, declared[i].a, declared[i].b};
  }
  return {};
}

constexpr AtlasProblem CheckAtlas() {
  return CheckAtlas(kRegions, kRegionCount, kDeclaredOverlaps,
                    static_cast<int>(sizeof(kDeclaredOverlaps) / sizeof(kDeclaredOverlaps[0])));
}

// ---- Cells inside the blocks -------------------------------------------
// Every cell is placed relative to its block above, so the table stays the
// one place that holds the sheet's coordinates.

// Cell (column, row) of a block of w x h cells spaced (dx, dy) apart.
constexpr Rect CellOf(RegionId block, int column, int row, int w, int h, int dx, int dy) {
  return Rect::XYWH(At(block).left + dx * column, At(block).top + dy * row, w, h);
}

// Bitmap font: 4 x 5 cells on rows 6 pixels apart, one row per style.
inline constexpr std::string_view kGlyphSet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ?!0123456789+-/*:.,%'&@=$";
constexpr int kGlyphW = 4;
constexpr int kGlyphH = 5;
constexpr int kGlyphPitch = 5;                                  // between cells of a row
constexpr int kGlyphRowPitch = 6;                               // between styles
constexpr int kGlyphTop = At(RegionId::kLettersStyle0).top;     // top of style 0
constexpr int kLetterLeft = At(RegionId::kLettersStyle0).left;  // glyph number k at + 5k
constexpr int kDigitLeft = At(RegionId::kDigitsStyle0).left;    // digit d at + 5d
constexpr int kSignPlusLeft = kDigitLeft + 10 * kGlyphPitch;    // sign of a non-negative number
constexpr int kSignMinusLeft = kSignPlusLeft + kGlyphPitch;     // sign of a negative number
// Styles whose whole letter set is drawn (-1 is a colour byte of 255 read
// as signed); digits and signs go up to style 3.
constexpr int kFirstTextStyle = -1, kLastTextStyle = 1;
constexpr int kFirstDigitStyle = -1, kLastDigitStyle = 3;

constexpr int GlyphTop(int style) {
  return kGlyphTop + kGlyphRowPitch * style;
}
// Letter-set glyph number k (0 = outside the set, 1..51).
constexpr Rect LetterCell(int k, int style) {
  return Rect::XYWH(kLetterLeft + kGlyphPitch * k, GlyphTop(style), kGlyphW, kGlyphH);
}
constexpr Rect GlyphCell(int k, int style) {
  return LetterCell(k, style);
}
constexpr Rect DigitCell(int d, int style) {
  return Rect::XYWH(kDigitLeft + kGlyphPitch * d, GlyphTop(style), kGlyphW, kGlyphH);
}
constexpr Rect SignCell(bool negative, int style) {
  return Rect::XYWH(negative ? kSignMinusLeft : kSignPlusLeft, GlyphTop(style), kGlyphW, kGlyphH);
}
// Key icon k: 0 up, 1 forward (left arrow), 2 down, 3 back (right arrow),
// 4 button Y, 5 button N. Prompt icons 0..5 ask for those keys; prompt
// icon 6 says that a landing key is awaited.
constexpr int kKeyIconCount = 6, kPromptIconCount = 7;
constexpr Rect KeyIconCell(int k) {
  return CellOf(RegionId::kKeyIcons, k, 0, kGlyphW, kGlyphH, kGlyphPitch, 0);
}
constexpr Rect PromptIconCell(int k) {
  return CellOf(RegionId::kPromptIcons, k, 0, kGlyphW, kGlyphH, kGlyphPitch, 0);
}

// Banner: the sliding base is read 124 wide while it slides in and 125 wide
// while it settles.
constexpr Rect BannerBaseCell(int width) {
  return CellOf(RegionId::kBannerBase, 0, 0, width, 32, 0, 0);
}
constexpr int kModeLabelRows = 8;
constexpr Rect ModeLabelCell(int row) {
  return CellOf(RegionId::kModeLabels, 0, row, 64, 5, 0, 8);
}
// k: 0 demonstration, 1 first turn, 2 second turn.
constexpr Rect TurnLabelCell(int k) {
  return CellOf(RegionId::kTurnLabels, 0, k, 20, 8, 0, 9);
}

// Icon panel cell (75 x 68) by facing, and the album badges.
constexpr Rect kIconFacing0 = At(RegionId::kIconCellFacingLeft);
constexpr Rect kIconFacing1 = At(RegionId::kIconCellFacingRight);
constexpr Rect IconCell(int facing) {
  return facing ? kIconFacing1 : kIconFacing0;
}
constexpr Rect kBadgeLoaded = At(RegionId::kBadgeLoaded);
constexpr Rect kBadgeSaved = At(RegionId::kBadgeSaved);
// Heads-up display place of typed key a (0..3); the mirrored copy runs
// right to left.
constexpr Rect HudKeyPlace(int a, bool mirrored) {
  if (mirrored) {
    Rect keys = At(RegionId::kHudKeysB);
    return Rect::XYWH(keys.right - kGlyphW - kGlyphPitch * a, keys.top, kGlyphW, kGlyphH);
  }
  return CellOf(RegionId::kHudKeysA, a, 0, kGlyphW, kGlyphH, kGlyphPitch, 0);
}

// Logo row r (0..2) is 26 high, 32 apart.
constexpr int kLogoRowHeight = 26, kLogoRowPitch = 32;
constexpr Rect LogoRowCell(int r) {
  return CellOf(RegionId::kLogo, 0, r, At(RegionId::kLogo).Width(), kLogoRowHeight, 0,
                kLogoRowPitch);
}

constexpr int kMenuPages = 5, kMenuPoses = 6, kMenuFaceCount = 5;
// Only the left 45 columns of a menu cell reach the screen.
constexpr int kMenuShownWidth = 45;
// Page 0..4; column 0 left, 1 centre, 2 right.
constexpr Rect MenuIconCell(int page, int column) {
  return CellOf(RegionId::kMenuIcons, column, page, 48, 48, 48, 48);
}
constexpr Rect MenuFigureCell(int pose) {
  return CellOf(RegionId::kMenuFigures, pose, 0, 48, 96, 48, 0);
}
// Face f (0..4) of a pose; it is laid 11 rows below the figure's top.
constexpr int kFaceDrop = 11;
constexpr Rect MenuFaceCell(int face, int pose) {
  return CellOf(RegionId::kMenuFaces, face, pose, 48, 48, 48, 48);
}

constexpr Rect ResultPlateCell(bool player2, bool courseWin) {
  using enum RegionId;
  if (player2) return At(courseWin ? kResultPlateP2Course : kResultPlateP2);
  return At(courseWin ? kResultPlateP1Course : kResultPlateP1);
}
// Where score label 1 or 2 lands on the winner's plate.
constexpr Rect ResultScoreLabelPlace(bool player2Won, bool courseWin, int score) {
  using enum RegionId;
  if (player2Won)
    return At(courseWin ? (score == 1 ? kResultLabelP2CourseScore1 : kResultLabelP2CourseScore2)
                        : (score == 1 ? kResultLabelP2Score1 : kResultLabelP2Score2));
  return At(courseWin ? (score == 1 ? kResultLabelP1CourseScore1 : kResultLabelP1CourseScore2)
                      : (score == 1 ? kResultLabelP1Score1 : kResultLabelP1Score2));
}
// Blink row b is 0, 1 or 2; the course-win mark is the left column.
constexpr Rect ResultBlinkCell(bool player2Won, bool courseWin, int b) {
  return CellOf(player2Won ? RegionId::kResultBlinkP2 : RegionId::kResultBlinkP1, courseWin ? 0 : 1,
                b, 15, 14, 32, 16);
}

// Label rows and result marks run -1, 0, 1; slot numbers 1..9.
constexpr Rect SlotClosedLabelCell(int row) {
  return CellOf(RegionId::kSlotClosedLabels, 0, row + 1, 29, 8, 0, 8);
}
constexpr Rect SlotDigitCell(int n, int row) {
  return CellOf(RegionId::kSlotDigits, n - 1, row + 1, 6, 6, 7, 8);
}
// The mark is read 3 - counter rows down its strip, so it bobs.
constexpr Rect SlotCursorCell(int counter) {
  return CellOf(RegionId::kSlotCursorMarks, 0, 3 - counter, 5, 5, 0, 1);
}
constexpr Rect SlotLabelPlateCell(int mark) {
  return CellOf(RegionId::kSlotLabelPlates, 0, mark + 1, 31, 8, 0, 8);
}
// Phase 0 is read at the left (blink counter 1), phase 1 at the right.
constexpr Rect SlotResultMarkCell(int mark, int phase) {
  return CellOf(RegionId::kSlotResultMarks, phase, mark + 1, 19, 7, 20, 8);
}

// Music source -1 play list, 0 stage tunes, 1 CD.
constexpr Rect MusicSourceLabelCell(int source) {
  return CellOf(RegionId::kMusicSourceLabels, 0, source + 1, 23, 6, 0, 8);
}
constexpr int kMusicItems = 6;
// Item i as read when pressed, and as it sits in the panel a row lower.
constexpr Rect MusicPressedItemCell(int item) {
  return CellOf(RegionId::kMusicPressedItems, item, 0, 23, 15, 24, 0);
}
constexpr Rect MusicItemCell(int item) {
  return CellOf(RegionId::kMusicPressedItems, item, 1, 23, 15, 24, 1);
}
// Style of the tune number and count in the panel.
constexpr int kMusicDigitStyle = 1;

}  // namespace kelvane::atlas
