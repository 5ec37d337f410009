// Window size, style and position; the stage view; client points.
#include "graphics/window_layout.h"

#include <gtest/gtest.h>

#include "graphics/presentation.h"
#include "graphics/surfaces.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

struct LayoutTest : ::testing::Test {
  test::TestGame t;
  Game& g = t.g();
  HeadlessWindow& w = t.fakes.window;
  HeadlessWindow::Form& fm = w.At(FormId::FM);
  HeadlessWindow::Form& key = w.At(FormId::keyFM);
  void SetUp() override { CreateMainSurface(g); }
};

TEST_F(LayoutTest, SmallScreenGivesABorderlessStayOnTopWindow) {
  w.screen = {640, 480};
  g.st.windowSizeFlag = 0;  // the dialog's choice: large
  ToggleWindowSize(g);
  EXPECT_EQ(g.st.windowSizeFlag, 1);
  EXPECT_EQ(fm.border, BorderStyle::None);
  EXPECT_TRUE(fm.stayOnTop);
  EXPECT_TRUE(fm.visible);
  EXPECT_EQ(fm.client, (Size{640, 480}));
  // Exactly as tall as the screen: top 0.
  EXPECT_EQ(fm.position, (Point{0, 0}));
  EXPECT_EQ(g.gfx.borderLeft, 0);
  EXPECT_EQ(g.gfx.borderTop, 0);
  EXPECT_EQ(g.gfx.presentRect, geo::kPresentLarge);
}

TEST_F(LayoutTest, LargerScreenGivesAToolWindow) {
  w.screen = {1024, 768};
  g.st.windowSizeFlag = 0;
  ToggleWindowSize(g);
  EXPECT_EQ(fm.border, BorderStyle::ToolWindow);
  EXPECT_FALSE(fm.stayOnTop);
  // The fake's frame: 3 at the sides and bottom, 22 on top; form 646 x 505.
  EXPECT_EQ(g.gfx.borderLeft, HeadlessWindow::kFrameLeft);
  EXPECT_EQ(g.gfx.borderTop, HeadlessWindow::kFrameTop);
  EXPECT_EQ(fm.position, (Point{(1024 - 646) / 2, (768 - 505) / 2 + 19}));
  // Client coordinates of a screen point.
  const Point origin = w.ClientOrigin(FormId::FM);
  EXPECT_EQ(ScreenToClientPoint(g, {origin.x + 5, origin.y + 7}), (Point{5, 7}));
}

TEST_F(LayoutTest, ScreenJustTooSmallOnOneSideIsBorderless) {
  w.screen = {650, 1000};  // not wider than 650
  g.st.windowSizeFlag = 0;
  ToggleWindowSize(g);
  EXPECT_EQ(fm.border, BorderStyle::None);
  w.screen = {1000, 510};  // not taller than 510
  g.st.windowSizeFlag = 0;
  ToggleWindowSize(g);
  EXPECT_EQ(fm.border, BorderStyle::None);
}

TEST_F(LayoutTest, SmallWindow) {
  w.screen = {1024, 768};
  g.st.windowSizeFlag = 1;  // the dialog's choice: small
  ToggleWindowSize(g);
  EXPECT_EQ(g.st.windowSizeFlag, 0);
  EXPECT_EQ(fm.client, (Size{320, 240}));
  EXPECT_EQ(fm.border, BorderStyle::ToolWindow);
  EXPECT_FALSE(fm.stayOnTop);
  EXPECT_EQ(g.gfx.presentRect, geo::kPresentSmall);
  EXPECT_EQ(fm.position, (Point{(1024 - 326) / 2, (768 - 265) / 2 + 19}));
}

TEST_F(LayoutTest, ZoomSurvivesTwoSizeToggles) {
  w.screen = {1024, 768};
  // FormCreate: invert zoomFlag, then the first layout.
  g.st.zoomFlag = !g.st.zoomFlag;
  ToggleWindowSize(g);
  EXPECT_EQ(g.st.zoomFlag, 1);
  EXPECT_EQ(g.gfx.stageView, geo::kZoomedView);  // starts zoomed: scale 3
  ToggleWindowSize(g);                          // small
  EXPECT_EQ(g.st.zoomFlag, 1);
  EXPECT_EQ(g.gfx.stageView, geo::kNormalView);  // scale 1, flag kept
  ToggleWindowSize(g);                           // large again
  EXPECT_EQ(g.st.zoomFlag, 1);
  EXPECT_EQ(g.gfx.stageView, geo::kZoomedView);
  // The zoom key toggles it.
  SetStageView(g);
  EXPECT_EQ(g.st.zoomFlag, 0);
  EXPECT_EQ(g.gfx.stageView, geo::kNormalView);
  ToggleWindowSize(g);
  ToggleWindowSize(g);
  EXPECT_EQ(g.st.zoomFlag, 0);
  EXPECT_EQ(g.gfx.stageView, geo::kNormalView);
}

TEST_F(LayoutTest, FirstLayoutDoesNotRescaleNorTouchTheCommandList) {
  w.screen = {640, 480};
  key.stayOnTop = false;
  Surface& m = g.gfx.mainSurface;
  m.SetRawPixel(0, 0, 0x111111);
  m.SetRawPixel(1, 0, 0x222222);
  m.SetRawPixel(1, 1, 0x222222);
  m.SetRawPixel(639, 479, 0x333333);
  ToggleWindowSize(g);  // first layout: large
  EXPECT_EQ(m.RawPixel(1, 0), 0x222222u);
  EXPECT_EQ(m.RawPixel(639, 479), 0x333333u);
  EXPECT_FALSE(key.stayOnTop);
  EXPECT_EQ(g.gfx.firstLayout, 0);
  // Later layouts rescale in place and give the list the same form style.
  ToggleWindowSize(g);  // small: shrink
  EXPECT_FALSE(key.stayOnTop);
  EXPECT_EQ(m.RawPixel(0, 0), 0x222222u);  // centre sample of the 2 x 2 block
  ToggleWindowSize(g);  // large: enlarge
  EXPECT_TRUE(key.stayOnTop);
  EXPECT_EQ(m.RawPixel(0, 0), 0x222222u);
  EXPECT_EQ(m.RawPixel(1, 1), 0x222222u);
}

}  // namespace
}  // namespace kelvane
