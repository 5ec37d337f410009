#include "flow/scene_art.h"

#include <gtest/gtest.h>

#include "graphics/presentation.h"
#include "graphics/surfaces.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

constexpr uint32_t kCellInk = 0xC02010;
constexpr uint32_t kFigureInk = 0x10C020;

// A 4 x 1 cell at (8, 2) of the main picture: opaque at its first three
// columns, transparent at the last.
struct SceneArtTest : ::testing::Test {
  test::TestGame tg;
  Game& g = tg.g();
  const Rect cell = Rect::XYWH(8, 2, 4, 1);

  void SetUp() override {
    CreateStageSurfaces(g);
    Surface& colour = g.gfx.mainSheets[0];
    Surface& mask = g.gfx.mainSheets[3];
    colour.Create(32, 8, PixelFormat::Colour);
    mask.Create(32, 8, PixelFormat::Mask);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 32; ++x) mask.SetRawPixel(x, y, 1);
    for (int x = 8; x < 11; ++x) {
      colour.SetRawPixel(x, 2, kCellInk);
      mask.SetRawPixel(x, 2, 0);
    }
  }
  // A pixel of a figure already on the layers.
  void PutFigurePixel(int x, int y) {
    g.gfx.spriteLayer.SetRawPixel(x, y, kFigureInk);
    g.gfx.maskLayer.SetRawPixel(x, y, 0);
  }
};

TEST_F(SceneArtTest, TheCellFillsOnlyWhatIsStillTransparent) {
  PutFigurePixel(201, 60);
  DrawBehind(g, cell, 200, 60);
  const Surface& s = g.gfx.spriteLayer;
  const Surface& m = g.gfx.maskLayer;
  EXPECT_EQ(s.RawPixel(200, 60), kCellInk);
  EXPECT_EQ(m.RawPixel(200, 60), 0u);
  EXPECT_EQ(s.RawPixel(201, 60), kFigureInk) << "the figure stays in front";
  EXPECT_EQ(m.RawPixel(201, 60), 0u);
  EXPECT_EQ(s.RawPixel(202, 60), kCellInk);
  // The cell's transparent column leaves the backdrop showing.
  EXPECT_EQ(s.RawPixel(203, 60), 0u);
  EXPECT_EQ(m.RawPixel(203, 60), 1u);
  EXPECT_EQ(g.gfx.spriteLayer.canvas.copyMode, SRCCOPY);
  EXPECT_EQ(g.gfx.maskLayer.canvas.copyMode, SRCCOPY);
}

TEST_F(SceneArtTest, LayingTheCellAgainChangesNothing) {
  DrawBehind(g, cell, 200, 60);
  Surface before = g.gfx.spriteLayer;
  Surface beforeMask = g.gfx.maskLayer;
  DrawBehind(g, cell, 200, 60);
  for (int x = 196; x < 208; ++x) {
    EXPECT_EQ(g.gfx.spriteLayer.RawPixel(x, 60), before.RawPixel(x, 60));
    EXPECT_EQ(g.gfx.maskLayer.RawPixel(x, 60), beforeMask.RawPixel(x, 60));
  }
}

}  // namespace
}  // namespace kelvane
