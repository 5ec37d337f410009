// The opening: the menu tune, the logo's phases and their lengths, the
// overlay at both window sizes, and where the keys lead.
#include "app/opening.h"

#include <gtest/gtest.h>

#include "gameplay/key_groups.h"
#include "tests/app/scene_fixture.h"

namespace kelvane {
namespace {

constexpr int kN = 78, kY = 89, kLeft = 37, kC = 67;

struct OpeningTest : test::SceneFixture {
  void TunesLast(uint32_t ms) {
    tg->fakes.media.measure = [ms](const std::string&) -> std::optional<uint32_t> { return ms; };
  }
  // The frame place of layer pixel (x, y) of the logo.
  Point Large(int x, int y) const { return {235 + 2 * (x - 271), 102 + 2 * y}; }
  Point Small(int x, int y) const { return {117 + (x - 271), 51 + y}; }
  uint32_t At(Point p) const { return Frame(p.x, p.y); }
};

TEST_F(OpeningTest, SceneZeroStartsTheMenuTuneAndHandsOverAfterTenFrames) {
  TunesLast(30000);
  g.st.frameInterval = 120;
  Enter(scene::kOpening);
  Step();
  EXPECT_EQ(tg->fakes.window.cursor, 2);
  EXPECT_EQ(tg->fakes.media.file, "Zz.mid");
  EXPECT_TRUE(tg->fakes.media.playing);
  EXPECT_EQ(g.st.bgmLoop, 1);
  EXPECT_EQ(g.st.bgmLength, 30000);
  EXPECT_EQ(g.st.frameInterval, g.st.normalFrameInterval);
  Step(8);
  EXPECT_EQ(g.st.sceneCode, scene::kOpening);
  Step();
  EXPECT_EQ(g.st.sceneCode, scene::kOpeningLogo);
  EXPECT_EQ(Sub(), 0);
}

TEST_F(OpeningTest, AMissingMenuTuneLoopsAMinuteOfSilence) {
  Enter(scene::kOpening);
  Step(10);
  EXPECT_EQ(g.st.sceneCode, scene::kOpeningLogo);
  EXPECT_EQ(g.st.bgmLength, 60000);
  EXPECT_EQ(g.st.bgmLoop, 1);
  EXPECT_FALSE(tg->fakes.media.isOpen);
}

TEST_F(OpeningTest, WithoutAKeyThePhasesRunTheirLengthsAndTheDemonstrationFollows) {
  Enter(scene::kOpeningLogo);
  // 6, 7 and 6 pieces of 6 frames each.
  EXPECT_EQ(StepWhile(0), 36);
  EXPECT_EQ(StepWhile(1), 42);
  EXPECT_EQ(StepWhile(2), 36);
  for (int16_t s = 3; s <= 9; ++s) EXPECT_EQ(StepWhile(s), 66) << "logo cycle " << s;
  EXPECT_EQ(Sub(), 10);
  EXPECT_EQ(StepWhile(10), 36);
  EXPECT_EQ(Sub(), 32);
  EXPECT_EQ(StepWhile(32, 100) + StepWhile(33, 100), 2);
  Step(6);
  EXPECT_EQ(Sub(), 40);
  EXPECT_EQ(g.st.sceneCode, scene::kOpeningLogo);
  Step();
  EXPECT_EQ(g.st.sceneCode, scene::kDemoStart);
  EXPECT_EQ(Sub(), 0);
}

TEST_F(OpeningTest, TheLogoUnfoldsPieceByPieceAtTwiceTheSizeInTheLargeWindow) {
  Enter(scene::kOpeningLogo);
  Step();
  // The first piece of row 0 spans columns 0..15, rows 10..15 of the logo.
  EXPECT_EQ(At(Large(271, 10)), kInk[0]);
  EXPECT_EQ(At(Large(286, 15)), kInk[0]);
  EXPECT_EQ(At(Large(271, 9)), kBackdrop);
  EXPECT_EQ(At(Large(287, 12)), kBackdrop);  // the next piece is not there yet
  Step(5);
  EXPECT_EQ(At(Large(271, 0)), kInk[0]);
  EXPECT_EQ(At(Large(286, 25)), kInk[0]);
  EXPECT_EQ(At(Large(271, 26)), kBackdrop);
  // Doubled: the pixel beside and below the first one belong to it.
  const Point p = Large(271, 0);
  EXPECT_EQ(Frame(p.x + 1, p.y + 1), kInk[0]);
  EXPECT_EQ(Frame(p.x - 1, p.y), kBackdrop);
}

TEST_F(OpeningTest, TheSmallWindowShowsTheLogoAtItsNaturalSize) {
  UseWindow(false);
  g.st.colourIndex = 1;
  Enter(scene::kOpeningLogo);
  Step();
  EXPECT_EQ(At(Small(271, 10)), kInk[1]);
  EXPECT_EQ(At(Small(286, 15)), kInk[1]);
  EXPECT_EQ(At(Small(271, 9)), kBackdrop);
  EXPECT_EQ(At(Small(287, 12)), kBackdrop);
  EXPECT_EQ(Frame(116, 61), kBackdrop);
}

TEST_F(OpeningTest, TheCaptionShowsOnlyWhileTheLogoCycles) {
  for (bool large : {true, false}) {
    UseWindow(large);
    const Point caption = large ? Point{465, 470} : Point{232, 234};
    Enter(scene::kOpeningLogo, 2);
    Step();
    EXPECT_EQ(At(caption), kBackdrop) << large;
    Enter(scene::kOpeningLogo, 3);
    Step();
    EXPECT_EQ(At(caption), kInk[0]) << large;
    Enter(scene::kOpeningLogo, 10);
    Step();
    EXPECT_EQ(At(caption), kBackdrop) << large;
  }
}

TEST_F(OpeningTest, TheCirclesCutRingsOutOfTheLogo) {
  Enter(scene::kOpeningLogo, 3);
  Step(11);  // the circles drawn last have radii 10 and 30
  const Surface& layer = g.gfx.spriteLayer;
  EXPECT_EQ(layer.PixelColour(306, 46), colour::kBlack);
  EXPECT_EQ(layer.PixelColour(286, 46), colour::kBlack);
  EXPECT_EQ(layer.PixelColour(310, 46), kInk[0]);
  EXPECT_EQ(layer.PixelColour(296, 46), kInk[0]);
  // The black ring lets the backdrop through.
  EXPECT_EQ(At(Large(306, 46)), kBackdrop);
  EXPECT_EQ(At(Large(310, 46)), kInk[0]);
  EXPECT_EQ(layer.canvas.brushStyle, BrushStyle::Solid);
}

// ---- Keys ----

TEST_F(OpeningTest, EachKeyChoosesWhereTheClosingCircleLeads) {
  Enter(scene::kOpeningLogo, 5);
  Press(kN);
  EXPECT_EQ(StepWhile(10), 36);
  EXPECT_EQ(Sub(), 32);

  Enter(scene::kOpeningLogo, 5);
  Press(kY);
  EXPECT_EQ(StepWhile(12), 36);
  EXPECT_EQ(g.st.sceneCode, scene::kModeMenu);
  EXPECT_EQ(Sub(), 0);

  Enter(scene::kOpeningLogo, 5);
  Press(kLeft);
  EXPECT_EQ(StepWhile(14), 36);
  EXPECT_EQ(g.st.sceneCode, scene::kOpeningLogo);
  EXPECT_EQ(Sub(), 0);
  EXPECT_EQ(g.st.sceneCounters[5], 0);
}

TEST_F(OpeningTest, KeysDuringAClosingCircleCountOnlyAfterAnArrow) {
  for (int16_t s : {10, 11, 12, 13, 16, 20, 32, 40}) {
    Enter(scene::kOpeningLogo, s);
    Press(kY);
    EXPECT_EQ(Sub(), s) << "step " << s;
  }
  // After an arrow the circle keeps growing, and a second key still picks
  // the exit.
  Enter(scene::kOpeningLogo, 5);
  Press(kLeft);
  Step(5);
  Press(kY);
  EXPECT_EQ(Sub(), 12);
  EXPECT_EQ(StepWhile(12), 31);
  EXPECT_EQ(g.st.sceneCode, scene::kModeMenu);
}

TEST_F(OpeningTest, TheChosenExitHoldsWhenTheLogoStepsOnDuringTheCircle) {
  Enter(scene::kOpeningLogo, 9);
  g.st.sceneCounters[3] = 60;  // the slow circle is about to wrap
  Press(kN);
  Step(6);
  EXPECT_EQ(Sub(), 11);
  EXPECT_EQ(StepWhile(11), 30);
  EXPECT_EQ(Sub(), 32);

  Enter(scene::kOpeningLogo, 9);
  g.st.sceneCounters[3] = 60;
  Press(kY);
  Step(6);
  EXPECT_EQ(Sub(), 13);
  Press(kN);  // not listening at 13
  EXPECT_EQ(Sub(), 13);
  StepWhile(13);
  EXPECT_EQ(g.st.sceneCode, scene::kModeMenu);
}

TEST_F(OpeningTest, TheColourKeyRestartsTheLogoButNotTheTune) {
  TunesLast(30000);
  g.st.colourMax = 1;
  Enter(scene::kOpening);
  Step(10);
  ASSERT_EQ(g.st.sceneCode, scene::kOpeningLogo);
  const uint32_t started = g.st.bgmStartTick, ends = g.st.bgmEndTick;
  Step(50);
  Press(kC);
  EXPECT_EQ(g.st.colourIndex, 1);
  EXPECT_EQ(g.st.sceneCode, scene::kOpening);
  EXPECT_EQ(Sub(), 1);
  Step(9);
  EXPECT_EQ(g.st.sceneCode, scene::kOpeningLogo);
  EXPECT_EQ(g.st.bgmStartTick, started);
  EXPECT_EQ(g.st.bgmEndTick, ends);
  // The layers were cleared: only the first piece, now in the new colour.
  Step();
  EXPECT_EQ(At(Large(271, 12)), kInk[1]);
  EXPECT_EQ(At(Large(300, 12)), kBackdrop);
}

}  // namespace
}  // namespace kelvane
