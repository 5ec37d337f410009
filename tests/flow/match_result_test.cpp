// The match result on the default data: winner and tie, the plate and the
// marks, the shows, the course progress and the way back to the menu.
#include "flow/match_result.h"

#include <gtest/gtest.h>

#include "gameplay/backdrops.h"
#include "graphics/atlas.h"
#include "graphics/bmp_file.h"
#include "tests/flow/flow_scene_fixture.h"

namespace kelvane {
namespace {

using test::FlowSceneFixture;
namespace vk = test::vk;

struct MatchResultTest : FlowSceneFixture {
  int n() const { return g.actions.barPairs; }

  void EnterResult(int32_t score1, int32_t score2) {
    g.cmd.scoreSlots[1] = score1;
    g.cmd.scoreSlots[2] = score2;
    Enter(scene::kMatchResult);
  }
  // Steps until the scene has run sub-step `sub` (it is then past it).
  void RunThrough(int16_t sub, int limit = 200) {
    for (int i = 0; i < limit && g.st.subStep() != sub; ++i) Step();
    ASSERT_EQ(g.st.subStep(), sub);
    Step();
  }
  // Whether the w x h area at (x, y) of the sprite layer shows the sheet's
  // cell.
  bool LayerShows(int x, int y, const Rect& cell) {
    const Surface& sheet = g.gfx.mainSheets[0];
    for (int dy = 0; dy < cell.Height(); ++dy)
      for (int dx = 0; dx < cell.Width(); ++dx)
        if (g.gfx.spriteLayer.PixelColour(x + dx, y + dy) !=
            sheet.PixelColour(cell.left + dx, cell.top + dy))
          return false;
    return true;
  }
  bool CellsDiffer(const Rect& a, const Rect& b) {
    const Surface& sheet = g.gfx.mainSheets[0];
    for (int dy = 0; dy < a.Height(); ++dy)
      for (int dx = 0; dx < a.Width(); ++dx)
        if (sheet.PixelColour(a.left + dx, a.top + dy) !=
            sheet.PixelColour(b.left + dx, b.top + dy))
          return true;
    return false;
  }
  void SetCourseMatch(uint8_t vsOrder, uint8_t matchRule) {
    g.stage.vsOrder = vsOrder;
    g.stage.matchRule = matchRule;
    g.result.courseMatch = 1;
  }
};

// ---- Winner, plate and marks ----

TEST_F(MatchResultTest, ATieShowsPlayerOnesPlateAndNoLosingActionOrSlots) {
  SetCourseMatch(2, 1);
  g.result.slotOfTurn = {4, 7};
  EnterResult(300, 300);
  ASSERT_TRUE(
      CellsDiffer(atlas::ResultPlateCell(false, false), atlas::ResultPlateCell(true, false)));
  RunThrough(result::kPlateLast);
  EXPECT_TRUE(LayerShows(263, 85, atlas::ResultPlateCell(false, false)));
  EXPECT_EQ(g.result.courseMatch, 0) << "a tie is no course win";

  RunThrough(result::kLoserShow);
  EXPECT_EQ(g.st.subStep(), result::kTieShow);
  EXPECT_EQ(g.stage.currentPlayer, 2);
  EXPECT_EQ(g.result.slotOfTurn, (std::array<int8_t, 2>{0, 0}));
  for (int i = 0; i < 40; ++i) {
    EXPECT_LE(g.motion.currentRow, n()) << "frame " << i;
    Step();
  }
  EXPECT_EQ(g.st.subStep(), result::kWait);
}

TEST_F(MatchResultTest, TheWinnersPlateSlidesUpAndItsMarkBlinks) {
  g.stage.vsOrder = 3;
  EnterResult(10, 20);
  RunThrough(result::kPlateLast);
  EXPECT_TRUE(LayerShows(263, 85, atlas::ResultPlateCell(true, false)));
  EXPECT_EQ(g.result.player2Won, 1);

  const Rect rows[3] = {atlas::ResultBlinkCell(true, false, 0),
                        atlas::ResultBlinkCell(true, false, 1),
                        atlas::ResultBlinkCell(true, false, 2)};
  ASSERT_TRUE(CellsDiffer(rows[0], rows[1]) && CellsDiffer(rows[1], rows[2]) &&
              CellsDiffer(rows[0], rows[2]));
  g.result.blinkCounter = 0;
  const int expected[] = {1, 2, 2, 1, 0, 1, 2};
  for (int row : expected) {
    DrawResultMarks(g);
    EXPECT_TRUE(LayerShows(319, 126, rows[row])) << "counter " << int{g.result.blinkCounter};
  }
}

TEST_F(MatchResultTest, TheMenuTunePlaysAndAMissingOneLoopsSilence) {
  EnterResult(1, 0);
  Step();
  EXPECT_EQ(tg.fakes.media.file, g.st.dataFolder + "Zz.mid");
  EXPECT_EQ(g.st.bgmLoop, 1);

  tg.fakes.media.measure = [](const std::string&) -> std::optional<uint32_t> { return {}; };
  EnterResult(1, 0);
  Step();
  EXPECT_EQ(g.st.bgmLength, kNoMusicLength);
  EXPECT_EQ(g.st.bgmLoop, 1);
  // The silent loop comes round and the shows go on.
  for (int i = 0; i < 700; ++i) {
    tg.fakes.clock.now += 100;
    g.st.lastInputTick = tg.fakes.clock.now;  // someone is there: no idle time-out
    Timer1Timer(g);
  }
  EXPECT_EQ(g.st.sceneCode, scene::kMatchResult);
  EXPECT_EQ(g.st.subStep(), result::kWait);
}

TEST_F(MatchResultTest, ThePlateStaysUnderTheShows) {
  g.stage.vsOrder = 3;
  EnterResult(20, 10);
  RunThrough(result::kLoserShow);
  Step(3);
  const Rect plate = atlas::ResultPlateCell(false, false);
  const Surface& mask = g.gfx.mainSheets[3];
  int shown = 0, opaque = 0;
  for (int dy = 0; dy < plate.Height(); ++dy)
    for (int dx = 0; dx < plate.Width(); ++dx) {
      if (mask.RawPixel(plate.left + dx, plate.top + dy) != 0) continue;
      ++opaque;
      shown += g.gfx.spriteLayer.PixelColour(263 + dx, 85 + dy) ==
               g.gfx.mainSheets[0].PixelColour(plate.left + dx, plate.top + dy);
    }
  // Player 2 stands over a part of it.
  EXPECT_GT(shown, opaque * 3 / 4);
}

// ---- The shows ----

TEST_F(MatchResultTest, HeldDigitKeysChooseTheVictoryActionAndItsLosingCounterpart) {
  ASSERT_GE(n(), 4);
  g.stage.vsOrder = 3;
  EnterResult(50, 20);
  tg.fakes.keys.down[vk::Digit(3)] = true;
  RunThrough(result::kShow);
  EXPECT_EQ(g.stage.currentPlayer, 1);
  EXPECT_EQ(g.motion.currentRow, 3);
  EXPECT_EQ(g.motion.posX, 55);

  tg.fakes.keys.down[vk::Digit(3)] = false;
  tg.fakes.keys.down[vk::Digit(2)] = true;
  RunThrough(result::kLoserShow);
  EXPECT_EQ(g.stage.currentPlayer, 2);
  EXPECT_EQ(g.motion.currentRow, 2 + n());
  EXPECT_EQ(g.st.subStep(), result::kWait);
}

TEST_F(MatchResultTest, PickShowActionTakesTheHighestHeldDigitWithinTheVictoryRows) {
  EXPECT_EQ(PickShowAction(g), -1);
  tg.fakes.keys.down[vk::Digit(1)] = true;
  EXPECT_EQ(PickShowAction(g), 0);
  tg.fakes.keys.down[vk::Digit(4)] = true;
  EXPECT_EQ(PickShowAction(g), 3);
  tg.fakes.keys.down[vk::Digit(0)] = true;  // 0 stands for the tenth
  EXPECT_EQ(PickShowAction(g), n() - 1);
  g.actions.barPairs = 2;
  EXPECT_EQ(PickShowAction(g), 1);
}

TEST_F(MatchResultTest, WithoutHeldDigitsTheVictoryActionIsARandomVictoryRow) {
  g.stage.vsOrder = 3;
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    g.random.Seed(seed);
    EnterResult(5, 9);
    RunThrough(result::kShow);
    EXPECT_GE(g.motion.currentRow, 1);
    EXPECT_LE(g.motion.currentRow, n());
    EXPECT_EQ(g.stage.currentPlayer, 2);
    EXPECT_EQ(g.motion.facesRight, 1);
  }
}

TEST_F(MatchResultTest, AShowNeverTurnsIntoAFallOrChangesTheScores) {
  g.stage.vsOrder = 3;
  g.cmd.landingKey = 4;  // left pending by the last action of the turn
  g.cmd.fallPenalty = 500;
  EnterResult(700, 900);
  for (int i = 0; i < 120; ++i) Step();
  EXPECT_EQ(g.cmd.scoreSlots[1], 700);
  EXPECT_EQ(g.cmd.scoreSlots[2], 900);
  EXPECT_EQ(g.result.player2Won, 1);
}

TEST_F(MatchResultTest, SlotsOfTheTurnsAreMarkedWinnerAndLoser) {
  g.stage.vsOrder = 3;
  g.result.slotOfTurn = {4, 7};
  EnterResult(100, 200);
  RunThrough(result::kLoserShow);
  EXPECT_EQ(g.result.slotOfTurn, (std::array<int8_t, 2>{-4, 7}));
  const SlotMarks marks = MatchSlotMarks(g.result.slotOfTurn);
  ASSERT_EQ(marks.count, 2);
  EXPECT_EQ(marks.marks[0].slot, 4);
  EXPECT_EQ(marks.marks[0].mark, -1);
  EXPECT_EQ(marks.marks[1].slot, 7);
  EXPECT_EQ(marks.marks[1].mark, 1);

  // One slot for both turns, or none at all, earns no marks.
  EXPECT_EQ(MatchSlotMarks({-4, 4}).count, 0);
  EXPECT_EQ(MatchSlotMarks({0, 0}).count, 0);
  const SlotMarks one = MatchSlotMarks({0, 6});
  ASSERT_EQ(one.count, 1);
  EXPECT_EQ(one.marks[0].slot, 6);
  EXPECT_EQ(one.marks[0].mark, 1);
}

// ---- Course progress and leaving ----

TEST_F(MatchResultTest, ACourseWinByOnePointAdvancesTheLevelOnConfirm) {
  SetCourseMatch(2, 1);
  g.st.normalReached = 2;
  ASSERT_EQ(g.st.normalLevels, 5);
  EnterResult(101, 100);
  StepUntilSub(result::kCourseWait, 300);
  ASSERT_EQ(g.st.subStep(), result::kCourseWait);
  EXPECT_EQ(g.result.courseMatch, 1);
  Press(vk::kReturn);
  Step();
  EXPECT_EQ(g.st.normalReached, 3);
  EXPECT_EQ(g.menu.galleryIndex[1], 3);
  EXPECT_EQ(g.st.subStep(), result::kLevelShown);
  EXPECT_EQ(g.st.frameInterval, g.st.normalFrameInterval);
  Surface level;
  ASSERT_EQ(LoadBmp(*g.pf.files, g.st.dataFolder + "Y_e103.bmp", level), "");
  EXPECT_EQ(g.gfx.backdropSheet.Width(), level.Width());
  EXPECT_EQ(g.gfx.backdropSheet.Height(), level.Height());

  Release(vk::kReturn);
  Press(vk::kEsc);  // neutral: the level picture stays
  Step();
  EXPECT_EQ(g.st.subStep(), result::kLevelShown);
  Tap(vk::kX);
  Step();
  EXPECT_EQ(g.st.sceneCode, scene::kModeMenu);
  EXPECT_EQ(g.menu.menuPage, 2);
  EXPECT_EQ(g.st.subStep(), 0);
}

TEST_F(MatchResultTest, TheHumanSecondWinsTheCourseOnPlayerTwosScore) {
  SetCourseMatch(1, 3);
  g.st.hardReached = 0;
  EnterResult(400, 401);
  StepUntilSub(result::kCourseWait, 300);
  ASSERT_EQ(g.st.subStep(), result::kCourseWait);
  Tap(vk::kReturn);
  Step();
  EXPECT_EQ(g.st.hardReached, 1);
  EXPECT_EQ(g.st.normalReached, 0);
}

TEST_F(MatchResultTest, FreeMatchesAndTwoHumansOnlyLeaveOnConfirm) {
  struct Case {
    uint8_t vsOrder, matchRule;
    int32_t score1, score2;
    uint8_t page;
  };
  const Case cases[] = {
      {2, 2, 101, 100, 2}, {3, 1, 101, 100, 4}, {1, 1, 101, 100, 2}, {2, 3, 100, 100, 2}};
  for (const Case& c : cases) {
    SetCourseMatch(c.vsOrder, c.matchRule);
    g.st.normalReached = g.st.hardReached = 1;
    EnterResult(c.score1, c.score2);
    StepUntilSub(result::kWait, 300);
    ASSERT_EQ(g.st.subStep(), result::kWait) << int{c.vsOrder} << "/" << int{c.matchRule};
    EXPECT_EQ(g.result.courseMatch, 0);
    Tap(vk::kReturn);
    Step();
    EXPECT_EQ(g.st.sceneCode, scene::kModeMenu);
    EXPECT_EQ(g.menu.menuPage, c.page);
    EXPECT_EQ(g.st.normalReached, 1);
    EXPECT_EQ(g.st.hardReached, 1);
  }
}

TEST_F(MatchResultTest, WithAllLevelsReachedACourseWinStepsBackThroughThePictures) {
  g.stage.matchRule = 1;
  g.st.normalReached = g.st.normalLevels;
  g.menu.galleryIndex[1] = 2;
  std::vector<int> shown;
  for (int i = 0; i < 3; ++i) {
    CourseStep(g);
    shown.push_back(g.menu.galleryIndex[1]);
  }
  EXPECT_EQ(shown, (std::vector<int>{1, 5, 4}));
  EXPECT_EQ(g.st.normalReached, 5);
}

TEST_F(MatchResultTest, AMissingLevelPictureShowsTheDefaultBackdropAndGoesOn) {
  g.stage.matchRule = 1;
  g.st.normalLevels = 9;  // a picture went missing after the count
  g.st.normalReached = 5;
  Enter(scene::kMatchResult);
  g.st.subStep() = result::kCourseStep;
  Step();
  EXPECT_EQ(g.st.normalReached, 6);
  EXPECT_EQ(g.st.subStep(), result::kLevelShown);
  Surface fallback;
  ASSERT_EQ(LoadBmp(*g.pf.files, g.st.dataFolder + backdrop::kDefaultFile, fallback), "");
  EXPECT_EQ(g.gfx.backdropSheet.Width(), fallback.Width());
  Tap(vk::kReturn);
  Step();
  EXPECT_EQ(g.st.sceneCode, scene::kModeMenu);
}

}  // namespace
}  // namespace kelvane
