#include "music/music_panel.h"

#include <gtest/gtest.h>

#include "graphics/atlas.h"
#include "graphics/presentation.h"
#include "music/music_state.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

using atlas::RegionId;

// Colours that tell the painted cells of the main picture apart.
uint32_t DigitColour(int d) {
  return 0x100000u + static_cast<uint32_t>(d);
}
uint32_t LabelColour(int src) {
  return 0x00AA00u + static_cast<uint32_t>(src + 1);
}

void Paint(Surface& s, const Rect& r, uint32_t value) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) s.SetRawPixel(x, y, value);
}

struct MusicPanelTest : ::testing::Test {
  test::TestGame tg;
  Game& g = tg.g();
  Surface& sheet = g.gfx.mainSheets[0];
  Surface& mask = g.gfx.mainSheets[3];

  void SetUp() override {
    sheet.Create(atlas::kSheetWidth, atlas::kSheetHeight, PixelFormat::Colour);
    mask.Create(atlas::kSheetWidth, atlas::kSheetHeight, PixelFormat::Mask);  // all black
    for (int d = 0; d < 10; ++d)
      Paint(sheet, atlas::DigitCell(d, atlas::kMusicDigitStyle), DigitColour(d));
    for (int src = -1; src <= 1; ++src)
      Paint(sheet, atlas::MusicSourceLabelCell(src), LabelColour(src));
    CreateStageSurfaces(g);
  }
  // The digit whose cell colour sits at (x, y) of s, or -1.
  int DigitAt(const Surface& s, int x, int y) {
    uint32_t c = s.RawPixel(x, y);
    return c >= DigitColour(0) && c <= DigitColour(9) ? static_cast<int>(c - DigitColour(0)) : -1;
  }
};

TEST_F(MusicPanelTest, PanelShowsSourceIndexAndCount) {
  Rect index = atlas::At(RegionId::kMusicIndexDigits);
  Rect count = atlas::At(RegionId::kMusicCountDigits);
  Rect place = atlas::At(RegionId::kMusicSourcePlace);

  g.music.bgmSource = source::kStageTunes;
  g.music.tuneNumber() = 7;
  g.st.tuneCount = 12;
  DrawMusicPanel(g);
  EXPECT_EQ(sheet.RawPixel(place.left, place.top), LabelColour(0));
  EXPECT_EQ(sheet.RawPixel(place.right - 1, place.bottom - 1), LabelColour(0));
  EXPECT_EQ(DigitAt(sheet, index.left, index.top), 0);
  EXPECT_EQ(DigitAt(sheet, index.left + 5, index.top), 7);
  EXPECT_EQ(DigitAt(sheet, count.left, count.top), 1);
  EXPECT_EQ(DigitAt(sheet, count.left + 5, count.top), 2);

  g.music.bgmSource = source::kCD;
  g.music.cdTrack() = 3;
  g.music.cdTrackCount = 15;
  DrawMusicPanel(g);
  EXPECT_EQ(sheet.RawPixel(place.left, place.top), LabelColour(1));
  EXPECT_EQ(DigitAt(sheet, index.left + 5, index.top), 3);
  EXPECT_EQ(DigitAt(sheet, count.left, count.top), 1);
  EXPECT_EQ(DigitAt(sheet, count.left + 5, count.top), 5);

  g.music.bgmSource = source::kPlayList;
  g.music.playListIndex() = 0;
  g.music.playListCount = 0;
  DrawMusicPanel(g);
  EXPECT_EQ(sheet.RawPixel(place.left, place.top), LabelColour(-1));
  EXPECT_EQ(DigitAt(sheet, index.left + 5, index.top), 0);
}

TEST_F(MusicPanelTest, TrackDigitsReachOnlyTheColourLayer) {
  g.music.bgmSource = source::kStageTunes;
  g.music.tuneNumber() = 4;
  g.st.tuneCount = 9;
  ShowTrackDigits(g);
  Rect cell = atlas::At(RegionId::kMusicTrackDigits);
  Rect index = atlas::At(RegionId::kMusicIndexDigits);
  Rect count = atlas::At(RegionId::kMusicCountDigits);
  // The cell lands at (376, 62) of the layers.
  int dx = 376 - cell.left, dy = 62 - cell.top;
  EXPECT_EQ(DigitAt(g.gfx.spriteLayer, index.left + 5 + dx, index.top + dy), 4);
  EXPECT_EQ(DigitAt(g.gfx.spriteLayer, count.left + 5 + dx, count.top + dy), 9);
  EXPECT_EQ(g.gfx.maskLayer.RawPixel(index.left + dx, index.top + dy), 1u)
      << "unmasked: mask untouched";
  EXPECT_EQ(g.gfx.spriteLayer.RawPixel(375, 62), 0u);
  EXPECT_EQ(g.gfx.spriteLayer.RawPixel(376 + 32, 62), 0u);
}

TEST_F(MusicPanelTest, WholePanelIsBlittedWithItsMask) {
  g.music.bgmSource = source::kCD;
  ShowMusicPanel(g);
  Rect panel = atlas::At(RegionId::kMusicPanel);
  Rect place = atlas::At(RegionId::kMusicSourcePlace);
  int dx = 200 - panel.left, dy = 62 - panel.top;
  EXPECT_EQ(g.gfx.spriteLayer.RawPixel(place.left + dx, place.top + dy), LabelColour(1));
  EXPECT_EQ(g.gfx.maskLayer.RawPixel(200, 62), 0u);
  EXPECT_EQ(g.gfx.maskLayer.RawPixel(200 + 207, 62 + 15), 0u);
  EXPECT_EQ(g.gfx.maskLayer.RawPixel(200 + 208, 62), 1u);
  EXPECT_EQ(g.gfx.maskLayer.RawPixel(200, 62 + 16), 1u);
}

TEST_F(MusicPanelTest, CdLampSquareFollowsTheWindowSize) {
  CreateMainSurface(g);
  Surface& screen = g.gfx.mainSurface;
  screen.canvas.brushColour = colour::kWhite;
  FillRect(screen, screen.Bounds());
  screen.canvas.brushColour = colour::kBlack;

  g.st.windowSizeFlag = 0;
  ClearCdLamp(g);
  EXPECT_EQ(screen.RawPixel(234, 64), colour::kBlack);
  EXPECT_EQ(screen.RawPixel(236, 66), colour::kBlack);
  EXPECT_EQ(screen.RawPixel(237, 64), colour::kWhite);
  EXPECT_EQ(screen.RawPixel(234, 67), colour::kWhite);

  g.st.windowSizeFlag = 1;
  ClearCdLamp(g);
  EXPECT_EQ(screen.RawPixel(468, 128), colour::kBlack);
  EXPECT_EQ(screen.RawPixel(473, 133), colour::kBlack);
  EXPECT_EQ(screen.RawPixel(474, 128), colour::kWhite);
  EXPECT_EQ(screen.RawPixel(468, 134), colour::kWhite);
}

}  // namespace
}  // namespace kelvane
