// Layers, sprite blit, wave, backdrop animation, compositing with
// the flicker, the icon and album panels, presentation.
#include "graphics/presentation.h"

#include <gtest/gtest.h>

#include "graphics/atlas.h"
#include "graphics/surfaces.h"
#include "graphics/window_layout.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

struct PresentationTest : ::testing::Test {
  test::TestGame t;
  Game& g = t.g();
  Surfaces& s = g.gfx;
  void SetUp() override {
    CreateMainSurface(g);
    CreateStageSurfaces(g);
    for (int i = 0; i < 3; ++i) s.mainSheets[static_cast<size_t>(i)].Create(640, 400);
    s.mainSheets[3].Create(640, 400, PixelFormat::Mask);
    g.st.windowSizeFlag = 1;  // large window, as after the first layout
  }
  static void Fill(Surface& surf, const Rect& r, uint32_t c) {
    const uint32_t keep = surf.canvas.brushColour;
    surf.canvas.brushColour = c;
    FillRect(surf, r);
    surf.canvas.brushColour = keep;
  }
};

TEST_F(PresentationTest, ClearLayersTouchesOnlyTheStage) {
  Fill(s.spriteLayer, s.spriteLayer.Bounds(), 0x123456);
  Fill(s.maskLayer, s.maskLayer.Bounds(), colour::kBlack);
  ClearLayers(g);
  EXPECT_EQ(s.spriteLayer.RawPixel(144, 0), 0u);
  EXPECT_EQ(s.spriteLayer.RawPixel(464, 239), 0u);
  EXPECT_EQ(s.spriteLayer.RawPixel(143, 0), 0x123456u);
  EXPECT_EQ(s.spriteLayer.RawPixel(465, 0), 0x123456u);
  EXPECT_EQ(s.spriteLayer.RawPixel(200, 240), 0x123456u);
  EXPECT_EQ(s.maskLayer.RawPixel(144, 0), 1u);
  EXPECT_EQ(s.maskLayer.RawPixel(464, 239), 1u);
  EXPECT_EQ(s.maskLayer.RawPixel(465, 239), 0u);
}

TEST_F(PresentationTest, SpritePatternCutsAndPaints) {
  // A 2 x 1 sprite: pixel 0 is background (black), pixel 1 the figure.
  Surface colour(2, 1), mask(2, 1, PixelFormat::Mask);
  colour.SetRawPixel(1, 0, 0x00AA00);
  mask.SetRawPixel(0, 0, 1);
  s.spriteLayer.SetRawPixel(200, 10, 0x0000BB);  // an earlier figure
  s.blitSource = Rect{0, 0, 2, 1};
  s.blitTarget = Rect::XYWH(200, 10, 2, 1);
  s.maskLayer.canvas.copyMode = s.spriteLayer.canvas.copyMode = SRCAND;
  DrawSprite(g, mask, &mask);
  s.spriteLayer.canvas.copyMode = SRCPAINT;
  DrawSprite(g, colour, nullptr);
  EXPECT_EQ(s.spriteLayer.RawPixel(200, 10), 0x0000BBu);  // shows through
  EXPECT_EQ(s.spriteLayer.RawPixel(201, 10), 0x00AA00u);
  EXPECT_EQ(s.maskLayer.RawPixel(200, 10), 1u);
  EXPECT_EQ(s.maskLayer.RawPixel(201, 10), 0u);
}

TEST_F(PresentationTest, WaveOffsetsOverTwentyPhases) {
  const int want[20] = {0, 1, 2, 2, 3, 3, 3, 2, 2, 1, 0, -1, -2, -2, -3, -3, -3, -2, -2, -1};
  g.st.wavePhase() = 0;
  g.st.waveOffset() = 50;
  int sum = 0;
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(WaveOffsetAt(i), want[i]) << i;
    EXPECT_EQ(g.st.wavePhase(), i);
    const int16_t before = g.st.waveOffset();
    WaveStep(g, 100, 60);
    EXPECT_EQ(g.st.waveOffset() - before, want[i]) << i;
    sum += want[i];
  }
  EXPECT_EQ(sum, 0);
  EXPECT_EQ(g.st.wavePhase(), 0);
  EXPECT_EQ(g.st.waveOffset(), 50);
}

TEST_F(PresentationTest, WaveStepShiftsTheFigureColumn) {
  // The column is 48 x 132 at (x + 144, y - 18).
  s.spriteLayer.SetRawPixel(244 + 5, 42 + 10, 0xABCDEF);
  s.maskLayer.SetRawPixel(244 + 5, 42 + 10, 0);
  g.st.wavePhase() = 5;  // d = 3
  WaveStep(g, 100, 60);
  EXPECT_EQ(s.spriteLayer.RawPixel(249, 55), 0xABCDEFu);
  EXPECT_EQ(s.maskLayer.RawPixel(249, 55), 0u);
  // Shifting down by d copies the column's first row into the top d rows
  // too; the old place of the pixel now holds what was 3 rows above it.
  EXPECT_EQ(s.spriteLayer.RawPixel(249, 52), 0u);
}

TEST_F(PresentationTest, FlickerNeverPaintsTwoFramesInARow) {
  // The figure covers the stage's corner: mask black, colour white.
  Fill(s.maskLayer, s.stageView, colour::kBlack);
  Fill(s.spriteLayer, s.stageView, colour::kWhite);
  g.st.flickerUntil = 12345;
  // A small corner of the stage keeps the 2,000 frames quick.
  s.stageView = Rect::XYWH(144, 0, 8, 8);
  s.presentRect = Rect{0, 0, 16, 16};
  bool lastPainted = false;
  int painted = 0, skipped = 0, longestGap = 0, gap = 0;
  for (int frame = 0; frame < 2000; ++frame) {
    Fill(s.mainSurface, s.presentRect, 0x404040);
    CompositeStage(g);
    const bool p = s.mainSurface.RawPixel(10, 10) == colour::kWhite;
    if (!p) {
      EXPECT_EQ(s.mainSurface.RawPixel(10, 10), 0u);  // the cut-out stays
    }
    EXPECT_FALSE(p && lastPainted) << frame;
    if (p) {
      ++painted;
      longestGap = std::max(longestGap, gap);
      gap = 0;
    } else {
      ++skipped;
      ++gap;
    }
    lastPainted = p;
  }
  // Each unpainted run ends with probability 1/2 per frame: about a third of
  // the frames are painted.
  EXPECT_GT(painted, 500);
  EXPECT_GT(skipped, 1000);
  EXPECT_GT(longestGap, 2);
  // Without the flicker every frame is painted.
  g.st.flickerUntil = 0;
  for (int frame = 0; frame < 5; ++frame) {
    Fill(s.mainSurface, s.mainSurface.Bounds(), 0x404040);
    CompositeStage(g);
    EXPECT_EQ(s.mainSurface.RawPixel(10, 10), colour::kWhite);
  }
}

TEST_F(PresentationTest, CompositeShowsOnlyTheStageView) {
  // A picture outside the stage view changes the layers only.
  s.spriteLayer.SetRawPixel(100, 100, 0xFF0000);
  s.maskLayer.SetRawPixel(100, 100, 0);
  s.spriteLayer.SetRawPixel(150, 5, 0x00FF00);
  s.maskLayer.SetRawPixel(150, 5, 0);
  Fill(s.mainSurface, s.mainSurface.Bounds(), 0x101010);
  s.stageView = geo::kNormalView;
  s.presentRect = geo::kPresentLarge;
  CompositeStage(g);
  // (150,5) of the layers lands at 2 x (6, 5) = (12, 10), doubled.
  EXPECT_EQ(s.mainSurface.RawPixel(12, 10), 0x00FF00u);
  EXPECT_EQ(s.mainSurface.RawPixel(13, 11), 0x00FF00u);
  EXPECT_EQ(s.mainSurface.RawPixel(14, 10), 0x101010u);
  for (int y = 0; y < 480; y += 7)
    for (int x = 0; x < 640; x += 7)
      if (s.mainSurface.RawPixel(x, y) == 0xFF0000u) ADD_FAILURE() << x << "," << y;
}

TEST_F(PresentationTest, BackdropFramesOfTheGridAndTheStrip) {
  s.backdropSheet.Create(640, 480);
  Fill(s.backdropSheet, Rect::XYWH(0, 0, 320, 240), 0x000001);
  Fill(s.backdropSheet, Rect::XYWH(320, 0, 320, 240), 0x000002);
  Fill(s.backdropSheet, Rect::XYWH(0, 240, 320, 240), 0x000003);
  Fill(s.backdropSheet, Rect::XYWH(320, 240, 320, 240), 0x000004);
  s.backdropFrameCount = 4;
  s.backdropTicksPerFrame = 2;
  s.presentRect = geo::kPresentLarge;
  g.st.frameInterval = g.st.slowFrameInterval;  // every call counts
  std::vector<uint32_t> seen;
  for (int i = 0; i < 8; ++i) {
    AnimateBackdrop(g);
    seen.push_back(s.mainSurface.RawPixel(639, 479));
  }
  EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2, 2, 3, 3, 4, 4, 1}));
  // At the normal interval every second call does not advance.
  g.st.frameInterval = g.st.normalFrameInterval;
  s.backdropFrame = 0;
  s.backdropTick = 0;
  s.backdropHalfRate = 0;
  seen.clear();
  for (int i = 0; i < 8; ++i) {
    AnimateBackdrop(g);
    seen.push_back(s.mainSurface.RawPixel(0, 0));
  }
  EXPECT_EQ(seen, (std::vector<uint32_t>{1, 1, 1, 2, 2, 2, 2, 3}));
  // A strip of 214 x 160 frames, stretched by 3 onto the zoomed target.
  s.backdropSheet.Create(3 * 214, 160);
  Fill(s.backdropSheet, Rect::XYWH(214, 0, 214, 160), 0x0000AA);
  s.backdropStrip = 1;
  s.backdropFrame = 0;
  s.backdropTick = 1;
  g.st.frameInterval = g.st.slowFrameInterval;
  AnimateBackdrop(g);
  EXPECT_EQ(s.backdropFrame, 1);
  EXPECT_EQ(s.mainSurface.RawPixel(639, 479), 0x0000AAu);
  // A frame value outside 1..3 of the grid is reset to 0.
  s.backdropStrip = 0;
  s.backdropFrameCount = 10;
  s.backdropFrame = 6;
  s.backdropTick = 0;
  AnimateBackdrop(g);
  EXPECT_EQ(s.backdropFrame, 0);
}

// The backdrop copy rewrites only what was drawn over since the same frame
// was placed: whatever draws over it between frames (fills, copies, single
// pixels, rows written directly, the sheet itself redrawn), each frame must
// still be exactly the plain stretched copy.
TEST_F(PresentationTest, BackdropFramesStayExactWhateverIsDrawnBetween) {
  // Four frames alike but for a patch of each, as an animation mostly is.
  s.backdropSheet.Create(640, 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      s.backdropSheet.SetRawPixel(x, y, static_cast<uint32_t>(x % 320 * 7 + y % 240 * 131));
  for (int f = 0; f < 4; ++f)
    Fill(s.backdropSheet, Rect::XYWH(f % 2 * 320 + 40 * f, f / 2 * 240 + 30 * f, 50, 40),
         0x111111u * static_cast<uint32_t>(f + 1));
  s.backdropFrameCount = 4;
  s.presentRect = geo::kPresentLarge;
  g.st.frameInterval = g.st.slowFrameInterval;
  Fill(s.spriteLayer, Rect::XYWH(224, 0, 45, 116), 0x804020);
  uint32_t seed = 7;
  auto next = [&seed](int n) { return static_cast<int>((seed = seed * 1103515245u + 12345u) >> 8) % n; };
  Surface expected(640, 480);
  for (int frame = 0; frame < 40; ++frame) {
    SCOPED_TRACE(frame);
    switch (next(6)) {
      case 0: Fill(s.mainSurface, Rect::XYWH(next(640), next(480), next(200), next(60)), 0x123456); break;
      case 1: s.mainSurface.SetRawPixel(next(640), next(480), 0xFFFFFF); break;
      case 2: s.mainSurface.ColourRow(next(480))[next(640)] = 0x00FF00; break;
      case 3:
        s.mainSurface.canvas.copyMode = SRCPAINT;
        CopyRect(s.mainSurface, Rect::XYWH(next(600), next(400), 90, 232), s.spriteLayer,
                 Rect::XYWH(224, 0, 45, 116));
        s.mainSurface.canvas.copyMode = SRCCOPY;
        break;
      case 4: Fill(s.backdropSheet, Rect::XYWH(next(640), next(480), 20, 20), 0x0000FF); break;
      default: break;  // nothing drawn: the frame must come back as it was
    }
    if (frame == 20) s.presentRect = geo::kPresentSmall;
    AnimateBackdrop(g);
    const int f = s.backdropFrame;
    expected.canvas.copyMode = SRCCOPY;
    CopyRect(expected, s.presentRect, s.backdropSheet,
             Rect::XYWH(f % 2 * 320, f / 2 * 240, 320, 240));
    bool same = true;
    for (int y = 0; y < std::min(s.presentRect.bottom, 480); ++y)
      for (int x = 0; x < std::min(s.presentRect.right, 640); ++x)
        same &= s.mainSurface.RawPixel(x, y) == expected.RawPixel(x, y);
    EXPECT_TRUE(same);
  }
}

// Cuts of the layers over the backdrop are laid again only when something
// under or in them changed: with the layers, the frame and the sheet
// changing now and then, each frame must equal the plain copies, also for
// cuts that share blocks.
TEST_F(PresentationTest, CutsOverTheBackdropStayExactWhateverChanges) {
  s.backdropSheet.Create(640, 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      s.backdropSheet.SetRawPixel(x, y, static_cast<uint32_t>(x % 320 * 5 + y % 240 * 257));
  Fill(s.backdropSheet, Rect::XYWH(400, 300, 60, 60), 0x00FF00);
  s.backdropFrameCount = 4;
  s.presentRect = geo::kPresentLarge;
  g.st.frameInterval = g.st.normalFrameInterval;
  for (int x = 144; x < 465; x += 7) Fill(s.spriteLayer, Rect::XYWH(x, x % 50, 3, 120), 0x204080u + static_cast<uint32_t>(x));
  Fill(s.maskLayer, Rect::XYWH(200, 20, 200, 100), colour::kBlack);
  const StageCut cuts[] = {{Rect::XYWH(224, 0, 45, 116), Rect::XYWH(161, 0, 90, 232)},
                           {Rect::XYWH(288, 0, 45, 148), Rect::XYWH(252, 10, 30, 50)},  // shares a block
                           {Rect::XYWH(352, 0, 45, 116), Rect::XYWH(417, 0, 90, 232)}};
  Surface expected = s.mainSurface;
  uint32_t seed = 11;
  auto next = [&seed](int n) { return static_cast<int>((seed = seed * 1103515245u + 12345u) >> 8) % n; };
  for (int frame = 0; frame < 80; ++frame) {
    SCOPED_TRACE(frame);
    const Rect r = Rect::XYWH(144 + next(300), next(200), 1 + next(40), 1 + next(40));
    switch (next(8)) {
      case 0: Fill(s.spriteLayer, r, static_cast<uint32_t>(next(1 << 24))); break;
      case 1: Fill(s.maskLayer, r, next(2) ? colour::kWhite : colour::kBlack); break;
      case 2: ShiftLayers(g, Rect::XYWH(288, 10, 48, 100), static_cast<int8_t>(next(7) - 3)); break;
      case 3: {
        const Rect over = Rect::XYWH(next(640), next(480), 50, 9);
        for (Surface* m : {&s.mainSurface, &expected}) Fill(*m, over, 0x777777);
        break;
      }
      case 4: Fill(s.backdropSheet, Rect::XYWH(next(640), next(480), 9, 9), 0x0000FF); break;
      default: break;  // mostly nothing changes: the cuts must stand as they are
    }
    if (frame == 50) s.presentRect = geo::kPresentSmall;
    AnimateBackdropWithCuts(g, cuts, std::size(cuts));
    const int f = s.backdropFrame;
    expected.canvas.copyMode = SRCCOPY;
    CopyRect(expected, s.presentRect, s.backdropSheet, Rect::XYWH(f % 2 * 320, f / 2 * 240, 320, 240));
    for (const StageCut& c : cuts) {
      expected.canvas.copyMode = SRCAND;
      CopyRect(expected, c.place, s.maskLayer, c.source);
      expected.canvas.copyMode = SRCPAINT;
      CopyRect(expected, c.place, s.spriteLayer, c.source);
    }
    bool same = true;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) same &= s.mainSurface.RawPixel(x, y) == expected.RawPixel(x, y);
    EXPECT_TRUE(same);
    EXPECT_EQ(s.mainSurface.canvas.copyMode, SRCPAINT);
    s.mainSurface.canvas.copyMode = SRCCOPY;  // as PresentFrame leaves it
  }
}

TEST_F(PresentationTest, IconPanelSidesFollowThePointerThresholds) {
  s.iconShown = 1;
  s.iconSide = 0;
  s.iconRow = 0;
  auto at = [&](int x, int y) {
    t.fakes.window.pointer = {x, y};
    DrawIconPanel(g, 0);
  };
  // Large window (s = 2): px = x + 10 against 240 and 398, py against 60
  // and 418. Form at (0,0) without borders.
  t.fakes.window.SetBorderStyle(FormId::FM, BorderStyle::None);
  at(300, 200);  // between: nothing changes from the start values
  EXPECT_EQ(s.iconSide, 0);
  EXPECT_EQ(s.iconRow, 0);
  at(229, 200);
  EXPECT_EQ(s.iconSide, 2);
  at(300, 200);
  EXPECT_EQ(s.iconSide, 2);
  at(230, 200);  // px = 240: not below 240
  EXPECT_EQ(s.iconSide, 2);
  at(389, 200);  // px = 399 > 398
  EXPECT_EQ(s.iconSide, 1);
  at(388, 200);  // px = 398: between
  EXPECT_EQ(s.iconSide, 1);
  EXPECT_EQ(s.placeRect, Rect::XYWH(8, 370, 150, 136));
  EXPECT_EQ(s.albumRect, Rect::XYWH(4, 368, 148, 108));
  at(300, 49);  // py = 59 < 60
  EXPECT_EQ(s.iconRow, 2);
  at(300, 409);  // py = 419 > 418
  EXPECT_EQ(s.iconRow, 1);
  EXPECT_EQ(s.placeRect, Rect::XYWH(8, 4, 150, 136));
  at(229, 300);
  EXPECT_EQ(s.iconRow, 1);
  EXPECT_EQ(s.placeRect, Rect::XYWH(488, 4, 150, 136));
  EXPECT_EQ(s.albumRect, Rect::XYWH(488, 368, 148, 108));
  // Facing 1 moves the icon 3 pixels (x s) left and takes the other cell.
  DrawIconPanel(g, 1);
  EXPECT_EQ(s.placeRect, Rect::XYWH(482, 4, 150, 136));
  EXPECT_EQ(s.cellRect, atlas::kIconFacing1);
  // The pointer is read in client coordinates.
  t.fakes.window.SetPosition(FormId::FM, {100, 50});
  t.fakes.window.SetBorderStyle(FormId::FM, BorderStyle::ToolWindow);
  at(100 + HeadlessWindow::kFrameLeft + 300, 50 + HeadlessWindow::kFrameTop + 49);
  EXPECT_EQ(s.iconRow, 2);
  EXPECT_EQ(s.iconSide, 2);
  // Small window: thresholds 120 / 199 and 30 / 209.
  g.st.windowSizeFlag = 0;
  t.fakes.window.SetPosition(FormId::FM, {0, 0});
  t.fakes.window.SetBorderStyle(FormId::FM, BorderStyle::None);
  at(190, 100);
  EXPECT_EQ(s.iconSide, 1);
  EXPECT_EQ(s.placeRect, Rect::XYWH(4, 185, 75, 68));
  at(109, 100);
  EXPECT_EQ(s.iconSide, 2);
  EXPECT_EQ(s.placeRect, Rect::XYWH(244, 185, 75, 68));
}

TEST_F(PresentationTest, IconIsMaskedOntoTheFrame) {
  s.iconShown = 1;
  s.iconSide = 1;
  s.iconRow = 1;
  t.fakes.window.pointer = {300, 200};
  Fill(s.mainSurface, s.mainSurface.Bounds(), 0x202020);
  // The icon cell: left half transparent (mask white), right half red.
  const Rect cell = atlas::kIconFacing0;
  s.mainSheets[3].canvas.brushColour = colour::kWhite;
  FillRect(s.mainSheets[3], Rect{cell.left, cell.top, cell.left + 37, cell.bottom});
  Fill(s.mainSheets[0], Rect{cell.left + 37, cell.top, cell.right, cell.bottom}, 0xFF0000);
  DrawIconPanel(g, 0);
  // placeRect = (8, 4, 150 x 136).
  EXPECT_EQ(s.mainSurface.RawPixel(8, 4), 0x202020u);
  EXPECT_EQ(s.mainSurface.RawPixel(8 + 80, 4), 0xFF0000u);
  EXPECT_EQ(s.mainSurface.RawPixel(8 + 149, 4 + 135), 0xFF0000u);
  EXPECT_EQ(s.mainSurface.RawPixel(8 + 150, 4), 0x202020u);
  // Not shown: nothing drawn.
  s.iconShown = 0;
  Fill(s.mainSurface, s.mainSurface.Bounds(), 0x202020);
  DrawIconPanel(g, 0);
  EXPECT_EQ(s.mainSurface.RawPixel(8 + 80, 4), 0x202020u);
}

TEST_F(PresentationTest, AlbumPanelFullSizeInTheLargeWindowHalfInTheSmall) {
  // Snapshot frame 1: each pixel a colour of its own position.
  for (int y = 0; y < 108; ++y)
    for (int x = 0; x < 148; ++x) s.snapshotStrip.SetRawPixel(x, 108 + y, static_cast<uint32_t>(0x10000 + y * 256 + x));
  s.albumShown = 1;
  s.albumFrame = 1;
  Fill(s.mainSurface, s.mainSurface.Bounds(), 0x777777);
  DrawAlbumPanelLeft(g);
  EXPECT_EQ(s.albumRect, Rect::XYWH(4, 368, 148, 108));
  EXPECT_EQ(s.mainSurface.RawPixel(4, 368), 0x10000u);
  EXPECT_EQ(s.mainSurface.RawPixel(4 + 147, 368 + 107), static_cast<uint32_t>(0x10000 + 107 * 256 + 147));
  EXPECT_EQ(s.mainSurface.RawPixel(3, 367), 0u);  // the black frame
  EXPECT_EQ(s.mainSurface.RawPixel(152, 476), 0u);
  EXPECT_EQ(s.mainSurface.RawPixel(153, 477), 0x777777u);
  // Small window: 74 x 54 at (2, 184), every second pixel.
  g.st.windowSizeFlag = 0;
  Fill(s.mainSurface, s.mainSurface.Bounds(), 0x777777);
  DrawAlbumPanelLeft(g);
  EXPECT_EQ(s.albumRect, Rect::XYWH(2, 184, 74, 54));
  for (int j = 0; j < 54; j += 13)
    for (int i = 0; i < 74; i += 11)
      EXPECT_EQ(s.mainSurface.RawPixel(2 + i, 184 + j), static_cast<uint32_t>(0x10000 + (2 * j + 1) * 256 + 2 * i + 1))
          << i << "," << j;
  EXPECT_EQ(s.mainSurface.RawPixel(76, 184), 0u);  // frame right edge
  EXPECT_EQ(s.mainSurface.RawPixel(77, 184), 0x777777u);
  // Hidden: nothing at all.
  s.albumShown = 0;
  Fill(s.mainSurface, s.mainSurface.Bounds(), 0x777777);
  DrawAlbumPanelLeft(g);
  EXPECT_EQ(s.mainSurface.RawPixel(2, 184), 0x777777u);
}

TEST_F(PresentationTest, AlbumBadgesCountAndPaint) {
  Fill(s.mainSheets[0], atlas::kBadgeLoaded, 0x0000F0);
  Fill(s.mainSheets[0], atlas::kBadgeSaved, 0x00F000);
  s.albumShown = 1;
  s.albumFrame = 0;
  s.albumBadge = 240;
  Fill(s.mainSurface, s.mainSurface.Bounds(), 0x0F0000);
  DrawAlbumPanelLeft(g);  // albumRect (4, 368)
  EXPECT_EQ(s.albumBadge, 241);
  EXPECT_EQ(s.mainSurface.RawPixel(4, 360), 0x0F00F0u);  // ORed
  EXPECT_EQ(s.mainSurface.RawPixel(4 + 25, 365), 0x0F00F0u);
  EXPECT_EQ(s.mainSurface.RawPixel(4 + 26, 365), 0x0F0000u);  // not scaled
  int frames = 1;
  while (s.albumBadge != 0 && frames < 100) DrawAlbumPanelLeft(g), ++frames;
  EXPECT_EQ(frames, 16);
  s.albumBadge = 16;
  Fill(s.mainSurface, s.mainSurface.Bounds(), 0x0F0000);
  DrawAlbumPanelLeft(g);
  EXPECT_EQ(s.albumBadge, 15);
  EXPECT_EQ(s.mainSurface.RawPixel(4, 360), 0x0FF000u);
  s.albumBadge = 100;  // neither range: stays, nothing painted
  Fill(s.mainSurface, s.mainSurface.Bounds(), 0x0F0000);
  DrawAlbumPanelLeft(g);
  EXPECT_EQ(s.albumBadge, 100);
  EXPECT_EQ(s.mainSurface.RawPixel(4, 360), 0x0F0000u);
}

TEST_F(PresentationTest, PresentFrameShowsTheWholeMainSurface) {
  Fill(s.mainSurface, s.mainSurface.Bounds(), 0x00C0FF);
  s.mainSurface.SetRawPixel(639, 479, 0x010203);
  s.mainSurface.canvas.copyMode = SRCPAINT;
  PresentFrame(g);
  EXPECT_EQ(s.mainSurface.canvas.copyMode, SRCCOPY);
  HeadlessWindow& w = t.fakes.window;
  EXPECT_EQ(w.lastWidth, 640);
  EXPECT_EQ(w.lastHeight, 480);
  EXPECT_EQ(w.lastFrame[0], 0x00C0FFu);
  EXPECT_EQ(w.lastFrame.back(), 0x010203u);
  // FormPaint-style repaint leaves the copy mode alone.
  s.mainSurface.canvas.copyMode = SRCAND;
  PaintMainSurface(g);
  EXPECT_EQ(s.mainSurface.canvas.copyMode, SRCAND);
  EXPECT_EQ(w.presented, 2u);
}

TEST_F(PresentationTest, ClearScreenIsBlack) {
  Fill(s.mainSurface, s.mainSurface.Bounds(), 0x00C0FF);
  ClearScreen(g);
  EXPECT_EQ(s.mainSurface.RawPixel(0, 0), 0u);
  EXPECT_EQ(s.mainSurface.RawPixel(639, 479), 0u);
}

}  // namespace
}  // namespace kelvane
