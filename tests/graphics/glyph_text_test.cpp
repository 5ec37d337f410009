// The glyph set filter, PadLeft, and the bitmap text and numbers
// drawn from the cells of the main picture.
#include "graphics/glyph_text.h"

#include <gtest/gtest.h>

#include "graphics/atlas.h"
#include "graphics/presentation.h"
#include "graphics/surfaces.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

TEST(GlyphText, PadLeftCases) {
  EXPECT_EQ(PadLeft(4, 12), "  12");
  EXPECT_EQ(PadLeft(2, 12345), "45");
  EXPECT_EQ(PadLeft(3, 123), "123");
  EXPECT_EQ(PadLeft(3, -5), " -5");
}

TEST(GlyphText, FilterCases) {
  EXPECT_EQ(FilterGlyphText(6, "ab-c"), "AB-C__");
  EXPECT_EQ(FilterGlyphText(7, "tokyo#1"), "TOKYO_1");
  EXPECT_EQ(FilterGlyphText(0, "abc"), "");
}

// Every cell of the main picture's font rows is filled with a colour that
// names it: digits 0x0D0000 + 16 d + style, signs 0x0E0000 (+) and 0x0E0100
// (-) + style, letters 0x0F0000 + 256 k + style.
struct GlyphDrawTest : ::testing::Test {
  test::TestGame t;
  Game& g = t.g();
  Surface& sheet = g.gfx.mainSheets[0];
  void SetUp() override {
    CreateMainSurface(g);
    CreateStageSurfaces(g);
    sheet.Create(640, 400);
    for (int style = 0; style <= 1; ++style) {
      for (int d = 0; d < 10; ++d) Fill(atlas::DigitCell(d, style), 0x0D0000u + 16u * d + style);
      Fill(atlas::SignCell(false, style), 0x0E0000u + style);
      Fill(atlas::SignCell(true, style), 0x0E0100u + style);
      for (int k = 0; k <= 51; ++k) Fill(atlas::LetterCell(k, style), 0x0F0000u + 256u * k + style);
    }
  }
  void Fill(const Rect& r, uint32_t c) {
    sheet.canvas.brushColour = c;
    FillRect(sheet, r);
  }
  // The colour of each 4 x 5 cell at (x + 5i, y) of s, checked uniform.
  std::vector<uint32_t> Cells(const Surface& s, int n, int y, int x) {
    std::vector<uint32_t> out;
    for (int i = 0; i < n; ++i) {
      const uint32_t c = s.RawPixel(x + 5 * i, y);
      for (int dy = 0; dy < 5; ++dy)
        for (int dx = 0; dx < 4; ++dx) EXPECT_EQ(s.RawPixel(x + 5 * i + dx, y + dy), c);
      EXPECT_EQ(s.RawPixel(x + 5 * i + 4, y), 0u);  // the gap column is untouched
      out.push_back(c);
    }
    return out;
  }
};

TEST_F(GlyphDrawTest, DigitsWithLeadingZeros) {
  DrawDigits(g, 3, 7, 0, 300, 100);
  EXPECT_EQ(Cells(sheet, 3, 300, 100), (std::vector<uint32_t>{0x0D0000, 0x0D0000, 0x0D0070}));
  DrawDigits(g, 2, 123, 1, 320, 100);
  EXPECT_EQ(Cells(sheet, 2, 320, 100), (std::vector<uint32_t>{0x0D0021, 0x0D0031}));
  DrawDigits(g, 6, 999999, 0, 340, 100);
  EXPECT_EQ(Cells(sheet, 6, 340, 100), (std::vector<uint32_t>(6, 0x0D0090)));
}

TEST_F(GlyphDrawTest, SignedNumbers) {
  DrawSignedNumber(g, 3, -45, 0, 300, 100);
  EXPECT_EQ(Cells(sheet, 4, 300, 100), (std::vector<uint32_t>{0x0E0100, 0x0D0000, 0x0D0040, 0x0D0050}));
  DrawSignedNumber(g, 2, 8, 1, 320, 100);
  EXPECT_EQ(Cells(sheet, 3, 320, 100), (std::vector<uint32_t>{0x0E0001, 0x0D0001, 0x0D0081}));
  DrawSignedNumber(g, 1, 0, 0, 340, 100);
  EXPECT_EQ(Cells(sheet, 2, 340, 100), (std::vector<uint32_t>{0x0E0000, 0x0D0000}));
}

TEST_F(GlyphDrawTest, DigitsUseTheSheetsCopyMode) {
  Fill(Rect::XYWH(100, 300, 4, 5), 0x000F0F);
  sheet.canvas.copyMode = SRCPAINT;
  DrawDigits(g, 1, 3, 0, 300, 100);
  EXPECT_EQ(sheet.RawPixel(100, 300), 0x0D0030u | 0x000F0Fu);
}

TEST_F(GlyphDrawTest, TextGoesToTheSpriteLayerOnly) {
  const std::string name = FilterGlyphText(6, "ab-c");
  g.gfx.maskLayer.SetRawPixel(200, 100, 1);
  DrawGlyphText(g, 6, name, 1, 100, 200);
  const int A = GlyphNumber('A'), B = GlyphNumber('B'), M = GlyphNumber('-'), C = GlyphNumber('C');
  EXPECT_EQ(Cells(g.gfx.spriteLayer, 6, 100, 200),
            (std::vector<uint32_t>{0x0F0001u + 256u * A, 0x0F0001u + 256u * B, 0x0F0001u + 256u * M,
                                   0x0F0001u + 256u * C, 0x0F0001u, 0x0F0001u}));
  EXPECT_EQ(g.gfx.maskLayer.RawPixel(200, 100), 1u);
  EXPECT_EQ(g.gfx.maskLayer.RawPixel(201, 100), 1u);  // the stage of the mask stays white
  // With the layer's copy mode, and past the text's end the cell 0.
  g.gfx.spriteLayer.canvas.copyMode = SRCAND;
  DrawGlyphText(g, 2, "Z", 0, 100, 200);
  EXPECT_EQ(g.gfx.spriteLayer.RawPixel(200, 100), (0x0F0001u + 256u * A) & (0x0F0000u + 256u * GlyphNumber('Z')));
  EXPECT_EQ(g.gfx.spriteLayer.RawPixel(205, 100), (0x0F0001u + 256u * B) & 0x0F0000u);
}

}  // namespace
}  // namespace kelvane
