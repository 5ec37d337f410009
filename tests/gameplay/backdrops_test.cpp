#include "gameplay/backdrops.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "graphics/bmp_file.h"
#include "tests/gameplay/engine_fixture.h"

namespace kelvane {
namespace {

// Tile bitmap: every pixel of tile e holds e + 1 in its green byte.
uint32_t TilePixel(int e) {
  return static_cast<uint32_t>(e + 1) << 8;
}

struct BackdropsTest : test::EngineFixture {
  BackdropState& b = m.backdrop;

  BackdropsTest() { g.st.dataFolder = test::MakeTempDir("backdrops"); }

  void WritePicture(const std::string& name, uint32_t rgb) {
    Surface s(640, 480);
    s.canvas.brushColour = rgb;
    FillRect(s, s.Bounds());
    ASSERT_TRUE(SaveBmp(*g.pf.files, g.st.dataFolder + name, s));
  }

  void MakeTiles() {
    Surface& tiles = g.gfx.frameSheets[0][1][0];
    tiles.Create(320, 384);
    for (int y = 0; y < 384; ++y)
      for (int x = 0; x < 320; ++x)
        if (y % 96 < 80) tiles.SetRawPixel(x, y, TilePixel((y / 96) * 5 + x / 64));
  }

  // The tile drawn at grid cell (column i, row r), read from its centre.
  uint32_t TileAt(int i, int r) const {
    return g.gfx.backdropSheet.RawPixel(i * 64 + 32, r * 80 + 40);
  }

  int8_t ForCommand(int command) {
    g.cmd.lastCommand = static_cast<int16_t>(command);
    return CommandBackdrop(g);
  }
};

TEST_F(BackdropsTest, CommandBackdropFollowsTheFirstKeys) {
  b.backdropNumber = -1;
  EXPECT_EQ(ForCommand(1000), 0);
  EXPECT_EQ(ForCommand(1600), 1);
  EXPECT_EQ(ForCommand(2000), 6);
  EXPECT_EQ(ForCommand(2611), 7);
  EXPECT_EQ(ForCommand(3000), 4);
  EXPECT_EQ(ForCommand(3600), 5);
  EXPECT_EQ(ForCommand(4123), 2);
  EXPECT_EQ(ForCommand(4655), 3);
  // Commands starting with a button wrap around the eight entries.
  EXPECT_EQ(ForCommand(5000), 0);
  EXPECT_EQ(ForCommand(5600), 1);
  EXPECT_EQ(ForCommand(6000), 6);
  EXPECT_EQ(ForCommand(6666), 7);
  // The backdrop already shown gives way to its partner.
  b.backdropNumber = 6;
  EXPECT_EQ(ForCommand(2000), 7);
  // No command: any of the eight.
  b.backdropNumber = -1;
  std::set<int> seen;
  for (int i = 0; i < 200; ++i) seen.insert(ForCommand(0));
  EXPECT_EQ(seen, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(BackdropsTest, AvoidCurrentBackdrop) {
  b.backdropNumber = 4;
  EXPECT_EQ(AvoidCurrentBackdrop(g, 4), 5);
  EXPECT_EQ(AvoidCurrentBackdrop(g, 3), 3);
  b.backdropNumber = 5;
  EXPECT_EQ(AvoidCurrentBackdrop(g, 5), 4);
  // A plain colour shown again becomes a random picture 0..7.
  b.backdropNumber = -2;
  std::set<int> seen;
  for (int i = 0; i < 100; ++i) seen.insert(AvoidCurrentBackdrop(g, -2));
  EXPECT_GT(seen.size(), 1u);
  EXPECT_GE(*seen.begin(), 0);
  EXPECT_LE(*seen.rbegin(), 7);
}

TEST_F(BackdropsTest, NumberedPictureAndPlainColour) {
  WritePicture("X2.bmp", 0x336699);
  g.gfx.backdropStrip = 1;
  g.gfx.backdropFrameCount = 9;
  b.backdropNumber = 2;
  LoadBackdrop(g);
  EXPECT_EQ(g.gfx.backdropSheet.PixelColour(300, 200), 0x336699u);
  EXPECT_EQ(b.backdropKind, -1);
  EXPECT_EQ(g.gfx.backdropFrameCount, 4);
  EXPECT_EQ(g.gfx.backdropStrip, 0);
  // Plain colour 2 is entry 2 of the backdrop palette (red, green, blue).
  g.palettes.paletteColours[0][2] = {0x10, 0x20, 0x30};
  b.backdropNumber = -2;
  LoadBackdrop(g);
  EXPECT_EQ(g.gfx.backdropSheet.Width(), 640);
  EXPECT_EQ(g.gfx.backdropSheet.Height(), 480);
  EXPECT_EQ(g.gfx.backdropSheet.PixelColour(639, 479), 0x102030u);
  EXPECT_EQ(m.diag.missingBackdrops, 0u);
}

TEST_F(BackdropsTest, MissingPictureFallsBackToTheDefault) {
  WritePicture("Y_e01.bmp", 0x808000);
  b.backdropNumber = 3;
  LoadBackdrop(g);
  EXPECT_EQ(g.gfx.backdropSheet.PixelColour(10, 10), 0x808000u);
  EXPECT_EQ(b.backdropNumber, 3);
  EXPECT_EQ(b.backdropKind, -1);
  EXPECT_EQ(m.diag.missingBackdrops, 1u);
  // With no default either, the stage still gets a black sheet.
  std::remove((g.st.dataFolder + "Y_e01.bmp").c_str());
  LoadBackdrop(g);
  EXPECT_EQ(g.gfx.backdropSheet.Width(), 640);
  EXPECT_EQ(g.gfx.backdropSheet.PixelColour(10, 10), 0u);
  LoadDefaultBackdrop(g);
  EXPECT_EQ(g.gfx.backdropSheet.Width(), 640);
  EXPECT_EQ(b.backdropKind, 0);
}

TEST_F(BackdropsTest, RestoreReloadsWhicheverKindWasLast) {
  WritePicture("Y_e01.bmp", 0x00FF00);
  WritePicture("X1.bmp", 0x0000FF);
  b.backdropNumber = 1;
  LoadDefaultBackdrop(g);
  FillRect(g.gfx.backdropSheet, g.gfx.backdropSheet.Bounds());
  RestoreBackdrop(g);
  EXPECT_EQ(g.gfx.backdropSheet.PixelColour(0, 0), 0x00FF00u);
  LoadBackdrop(g);
  FillRect(g.gfx.backdropSheet, g.gfx.backdropSheet.Bounds());
  RestoreBackdrop(g);
  EXPECT_EQ(g.gfx.backdropSheet.PixelColour(0, 0), 0x0000FFu);
}

TEST_F(BackdropsTest, TilePatternShiftsItsFourBlocks) {
  MakeTiles();
  b.backdropNumber = -5;  // a black plain colour (empty palette)
  LoadBackdrop(g);
  DrawTilePattern(g, 5, 1);
  EXPECT_EQ(TileAt(0, 0), TilePixel(5));
  EXPECT_EQ(TileAt(4, 2), TilePixel(5));
  EXPECT_EQ(TileAt(5, 0), TilePixel(6));
  EXPECT_EQ(TileAt(0, 3), TilePixel(7));
  EXPECT_EQ(TileAt(9, 5), TilePixel(8));
  EXPECT_EQ(b.tilePattern, 5);
  EXPECT_EQ(b.tileDirection, 1);
  EXPECT_EQ(g.gfx.backdropSheet.canvas.copyMode, SRCCOPY);
  // Past tile 19 the shifted blocks wrap to tile 0.
  b.tilePattern = -1;
  LoadBackdrop(g);
  DrawTilePattern(g, 19, 1);
  EXPECT_EQ(TileAt(5, 5), TilePixel(2));
}

TEST_F(BackdropsTest, TilePatternBelowTheFirstTileLeavesThoseCellsEmpty) {
  MakeTiles();
  b.backdropNumber = -5;
  LoadBackdrop(g);
  DrawTilePattern(g, 2, -1);
  EXPECT_EQ(TileAt(0, 0), TilePixel(2));
  EXPECT_EQ(TileAt(5, 0), TilePixel(1));
  EXPECT_EQ(TileAt(0, 3), TilePixel(0));
  EXPECT_EQ(TileAt(9, 5), 0u);  // 2 - 3 has no tile
  EXPECT_EQ(b.tileDirection, -1);
  // A pattern beyond the loaded bitmaps draws nothing at all.
  b.tilePattern = -1;
  LoadBackdrop(g);
  const uint32_t missingBefore = m.diag.missingPictures;
  DrawTilePattern(g, 700, 1);
  DrawTilePattern(g, -7, 1);
  EXPECT_EQ(m.diag.missingPictures, missingBefore + 2);
  EXPECT_EQ(TileAt(0, 0), 0u);
}

TEST_F(BackdropsTest, TilePatternSurvivesABackdropChange) {
  MakeTiles();
  g.palettes.paletteColours[0][1] = {0x80, 0, 0};
  b.backdropNumber = -1;
  LoadBackdrop(g);
  DrawTilePattern(g, 19, 1);
  b.backdropNumber = -5;
  LoadBackdrop(g);
  EXPECT_EQ(TileAt(0, 0), TilePixel(19));
  // The pattern is ORed over the colour, not pasted.
  b.backdropNumber = -1;
  LoadBackdrop(g);
  EXPECT_EQ(TileAt(0, 0), TilePixel(19) | 0x800000u);
}

TEST_F(BackdropsTest, ScriptTogglesTilePatternOnlyWhileAllowed) {
  MakeTiles();
  Parse(test::Row("_ idle", {"|0 -1"}) +
        test::Row("_ t", {"H+3 |0", "H+3 |0", "HH |0", "H+3 |0 -1"}));
  b.backdropNumber = -5;
  LoadBackdrop(g);
  Start(1);
  ActionStep(g);
  EXPECT_EQ(b.tilePattern, 3);
  ActionStep(g);
  EXPECT_EQ(b.tilePattern, -1);
  EXPECT_EQ(TileAt(0, 0), 0u);  // the backdrop was reloaded without it
  ActionStep(g);
  EXPECT_EQ(b.tileSwitch, 0);
  ActionStep(g);
  EXPECT_EQ(b.tilePattern, -1);
}

}  // namespace
}  // namespace kelvane
