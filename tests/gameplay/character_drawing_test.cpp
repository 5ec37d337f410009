#include "gameplay/character_drawing.h"

#include <gtest/gtest.h>

#include "tests/gameplay/engine_fixture.h"

namespace kelvane {
namespace {

using test::CellPixel;

// Effect bitmaps: each pixel holds its own position.
uint32_t EffectPixel(int x, int y) {
  return (static_cast<uint32_t>(y + 1) << 12) | static_cast<uint32_t>(x + 1);
}

struct CharacterDrawingTest : test::EngineFixture {
  static constexpr int kX = 128;  // posX used by most cases
  static constexpr int kLeft = kX + 144;

  CharacterDrawingTest() {
    m.posX = kX;
    m.posY = 0;
  }

  void MakeEffectBitmap(int set, int slot) {
    Surface& colour = g.gfx.frameSheets[0][set][slot];
    colour.Create(288, 480);
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 288; ++x) colour.SetRawPixel(x, y, EffectPixel(x, y));
    g.gfx.frameSheets[3][set][slot].Create(288, 480, PixelFormat::Mask);
  }

  uint32_t Sprite(int x, int y) const { return g.gfx.spriteLayer.RawPixel(x, y); }
  uint32_t Mask(int x, int y) const { return g.gfx.maskLayer.RawPixel(x, y); }
};

TEST_F(CharacterDrawingTest, FacingRightDrawsTheCellMirrored) {
  m.facesRight = 0;
  DrawBody(g, 3, 0, 0);
  EXPECT_EQ(Sprite(kLeft, 100), CellPixel(3, 0));
  EXPECT_EQ(Sprite(kLeft + 63, 100), CellPixel(3, 63));
  ClearLayers(g);
  m.facesRight = 1;
  DrawBody(g, 3, 0, 0);
  EXPECT_EQ(Sprite(kLeft, 100), CellPixel(3, 63));
  EXPECT_EQ(Sprite(kLeft + 10, 100), CellPixel(3, 53));
  EXPECT_EQ(Sprite(kLeft + 63, 100), CellPixel(3, 0));
  // A cell of the second row and last column stays within its own cell.
  ClearLayers(g);
  DrawBody(g, 9, 0, 0);
  EXPECT_EQ(Sprite(kLeft, 90), CellPixel(9, 63));
  EXPECT_EQ(Sprite(kLeft + 63, 185), CellPixel(9, 0));
}

TEST_F(CharacterDrawingTest, BodyFillsItsBoxOnBothLayers) {
  m.posY = -20;
  DrawBody(g, 0, 0, 0);
  // Sheet 0's box: 64 x 96 from (0, 90) relative to the character.
  EXPECT_EQ(Mask(kLeft, 70), 0u);
  EXPECT_EQ(Mask(kLeft + 63, 165), 0u);
  EXPECT_EQ(Mask(kLeft - 1, 100), 1u);
  EXPECT_EQ(Mask(kLeft + 64, 100), 1u);
  EXPECT_EQ(Mask(kLeft, 69), 1u);
  EXPECT_EQ(Mask(kLeft, 166), 1u);
  EXPECT_EQ(g.gfx.placeRect, (Rect{kLeft, 70, kLeft + 64, 166}));
  EXPECT_EQ(g.gfx.maskLayer.canvas.copyMode, SRCCOPY);
  EXPECT_EQ(g.gfx.spriteLayer.canvas.copyMode, SRCCOPY);
}

TEST_F(CharacterDrawingTest, LaterFigureReplacesEarlierPixelsInsteadOfMixing) {
  DrawBody(g, 0, 0, 0);
  DrawBody(g, 1, 0, 32);  // overlaps the right half of the first
  EXPECT_EQ(Sprite(kLeft + 40, 100), CellPixel(1, 8));
  EXPECT_EQ(Sprite(kLeft + 10, 100), CellPixel(0, 10));
}

TEST_F(CharacterDrawingTest, PicturesThatNoSheetHoldsDrawNothing) {
  DrawBody(g, 25, 0, 0);     // slot 1 of sheet 0 was never loaded
  DrawBody(g, 10000, 0, 0);  // sheet 10 does not exist
  DrawBody(g, 32767, 0, 0);
  g.cmd.playColour = 1;  // no pictures in that colour scheme
  DrawBody(g, 0, 0, 0);
  g.cmd.playColour = 7;
  DrawBody(g, 0, 0, 0);
  EXPECT_EQ(m.diag.missingPictures, 5u);
  for (int x = 144; x < 465; x += 5) ASSERT_EQ(Mask(x, 120), 1u) << x;
}

TEST_F(CharacterDrawingTest, PartnersStandInFrontAndBehindFacingLikeTheCharacter) {
  m.facesRight = 1;
  m.curB = 2;
  m.curC = 4;
  DrawPartners(g);
  // Stream B 80 pixels in front (right), 10 higher; C 80 behind.
  EXPECT_EQ(Sprite(kLeft + 80, 80), CellPixel(2, 63));
  EXPECT_EQ(Mask(kLeft + 80, 79), 1u);
  EXPECT_EQ(Sprite(kLeft - 80, 80), CellPixel(4, 63));
  ClearLayers(g);
  m.facesRight = 0;
  m.curC = -1;
  DrawPartners(g);
  EXPECT_EQ(Sprite(kLeft - 80, 80), CellPixel(2, 0));
  EXPECT_EQ(Mask(kLeft + 80, 100), 1u);  // stream C held: nothing behind
}

TEST_F(CharacterDrawingTest, ClonesCopyTheBodyJustDrawn) {
  m.facesRight = 0;
  DrawBody(g, 6, 0, 0);
  DrawClones(g);
  for (int dx : {-80, 80}) {
    EXPECT_EQ(Sprite(kLeft + dx + 5, 95), Sprite(kLeft + 5, 105)) << dx;
    EXPECT_EQ(Mask(kLeft + dx + 5, 80), 0u) << dx;
  }
}

TEST_F(CharacterDrawingTest, EffectCellTable) {
  EXPECT_EQ(EffectCell(0, -3), 0);
  EXPECT_EQ(EffectCell(0, -114), 111);
  EXPECT_EQ(EffectCell(0, -115), 113);  // one cell is skipped near the end
  EXPECT_EQ(EffectCell(0, -118), 116);
  // The mirrored row exchanges left and right variants.
  EXPECT_EQ(EffectCell(1, -5), 6);
  EXPECT_EQ(EffectCell(1, -9), 2);
  EXPECT_EQ(EffectCell(1, -6), 5);
  EXPECT_EQ(EffectCell(1, -7), 4);
  EXPECT_EQ(EffectCell(1, -30), 28);
  EXPECT_EQ(EffectCell(1, -31), 27);
  EXPECT_EQ(EffectCell(1, -99), 95);
  EXPECT_EQ(EffectCell(1, -111), 109);
  EXPECT_EQ(EffectCell(1, -112), 108);
  EXPECT_EQ(EffectCell(1, -113), 110);
  for (int v : {-2, -119, -1000, 5}) EXPECT_EQ(EffectCell(0, v), -1) << v;
}

TEST_F(CharacterDrawingTest, EffectsOfBothStreams) {
  MakeEffectBitmap(11, 0);
  MakeEffectBitmap(12, 0);
  m.facesRight = 1;
  m.partnerSide = 0;
  m.effectMirror = 1;
  m.curB = -3;  // cell 0, never mirrored
  m.curC = -5;  // mirrored table: cell 6, on the other side
  DrawEffects(g);
  EXPECT_EQ(Sprite(kX + 42, 45), EffectPixel(0, 0));
  EXPECT_EQ(Sprite(kX + 42 + 95, 45 + 79), EffectPixel(95, 79));
  EXPECT_EQ(Mask(kX + 42, 44), 1u);
  EXPECT_EQ(Sprite(kX + 172 + 42, 90), EffectPixel(0, 160));
  // Positive values come from set 12 and turn with the character.
  ClearLayers(g);
  m.curB = 1;
  m.curC = 0;
  DrawEffects(g);
  EXPECT_EQ(Sprite(kX + 42, 45), EffectPixel(95, 0));
  EXPECT_EQ(Sprite(kX + 42 + 95, 45), EffectPixel(0, 0));
}

TEST_F(CharacterDrawingTest, ShortEffectsTakePartOfTheirCell) {
  MakeEffectBitmap(11, 6);
  m.partnerSide = 1;
  m.effectMirror = 0;
  m.curB = -114;  // cell 111: slot 6, cell 3 of the bitmap, 36 high
  m.curC = -1;
  DrawEffects(g);
  const int x = kX + 172 + 42;
  EXPECT_EQ(Sprite(x, 56), EffectPixel(0, 80));
  EXPECT_EQ(Sprite(x, 56 + 35), EffectPixel(0, 115));
  EXPECT_EQ(Mask(x, 56 + 36), 1u);
  ClearLayers(g);
  m.curB = -118;  // cell 116: cell 8 of slot 6, from 45 pixels down, 35 high
  DrawEffects(g);
  EXPECT_EQ(Sprite(x, 56), EffectPixel(192, 160 + 45));
  EXPECT_EQ(Mask(x, 56 + 35), 1u);
}

TEST_F(CharacterDrawingTest, EffectsOutsideTheTableOrSwitchedOffDrawNothing) {
  MakeEffectBitmap(11, 0);
  m.curB = -119;
  m.curC = -2;
  DrawEffects(g);
  EXPECT_EQ(m.diag.missingPictures, 1u);
  m.curB = -3;
  m.backdrop.effectsOn = 0;
  DrawEffects(g);
  for (int x = 144; x < 465; x += 5) ASSERT_EQ(Mask(x, 60), 1u) << x;
}

}  // namespace
}  // namespace kelvane
