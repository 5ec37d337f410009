// The stage cycle on the default data: stage starts, turns, the computer's
// typing and the stage end, driven frame by frame.
#include "flow/stage_cycle.h"

#include <gtest/gtest.h>

#include "app/frame_pacing.h"
#include "app/lifecycle.h"
#include "gameplay/action_engine.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

// One data folder for the whole suite (its colour caches are made once).
std::string SharedData() {
  static std::string dir = test::MakeDataCopy("stage");
  return dir;
}

struct StageTest : ::testing::Test {
  test::TestGame tg{SharedData()};
  Game& g = tg.g();
  void SetUp() override {
    g.random.Seed(5);
    ASSERT_TRUE(FormCreate(g));
    // Tunes last what the test says.
    tg.fakes.media.measure = [this](const std::string&) -> std::optional<uint32_t> {
      return tuneLength;
    };
  }
  // Runs frame steps (advancing the clock by the frame interval) until the
  // scene is `scene`, at most `limit` steps.
  bool RunUntilScene(int8_t scene, int limit = 2000) {
    for (int i = 0; i < limit && g.st.sceneCode != scene; ++i) Step();
    return g.st.sceneCode == scene;
  }
  void Step() {
    tg.fakes.clock.now += g.st.frameInterval;
    Timer1Timer(g);
  }
  uint32_t tuneLength = 90000;
};

TEST_F(StageTest, TheFirstStageOpensWith1511AndTheDemonstrationPlays) {
  EXPECT_EQ(g.st.sceneCode, scene::kDemoStart);
  ASSERT_TRUE(RunUntilScene(scene::kDemoPlay));
  EXPECT_EQ(g.st.playMode, 5);
  EXPECT_EQ(g.st.firstRoutineDone, 1);
  EXPECT_EQ(g.st.frameInterval, 120);
  EXPECT_EQ(g.st.bgmLength, 90000);
  EXPECT_EQ(g.stage.currentPlayer, 1);
  // The opening command 1511 is entered as 1517.
  EXPECT_NE(g.motion.currentRow, -1);
}

TEST_F(StageTest, ASecondDemonstrationStartsWithAnotherOpeningAndColour) {
  g.st.colourMax = 1;
  ASSERT_TRUE(RunUntilScene(scene::kDemoPlay));
  EndStage(g);
  EXPECT_EQ(g.st.sceneCode, scene::kOpening);
  EXPECT_EQ(g.st.prevScene, static_cast<uint8_t>(scene::kDemoPlay));
  g.st.sceneCode = scene::kDemoStart;
  ResetSceneCounters(g.st);
  ASSERT_TRUE(RunUntilScene(scene::kDemoPlay));
  EXPECT_EQ(g.stage.demoVariant, 2);
  EXPECT_EQ(g.stage.currentPlayer, 2);
  EXPECT_EQ(g.cmd.playColour, 1);
}

TEST_F(StageTest, TheMusicEndEndsTheStageIntoTheOpening) {
  tuneLength = 5000;
  ASSERT_TRUE(RunUntilScene(scene::kDemoPlay));
  uint32_t end = g.st.bgmEndTick;
  ASSERT_TRUE(RunUntilScene(scene::kOpening, 200));
  EXPECT_TRUE(TickReached(tg.fakes.clock.now, end));
  EXPECT_EQ(g.st.bgmLength, 0);
  EXPECT_FALSE(tg.fakes.media.isOpen);
}

TEST_F(StageTest, AMatchRunsTwoTurnsAndTheSecondIsCutToTheFirst) {
  g.stage.vsOrder = 1;  // computer first, then the human
  g.st.sceneCode = scene::kStageStart1;
  ResetSceneCounters(g.st);
  tuneLength = 100000;
  ASSERT_TRUE(RunUntilScene(scene::kPlay1));
  EXPECT_EQ(g.st.playMode, 1);
  EXPECT_EQ(g.stage.firstTurnLength, 100000u);
  EndStage(g);
  EXPECT_EQ(g.st.sceneCode, scene::kStageStart2);
  tuneLength = 130000;
  ASSERT_TRUE(RunUntilScene(scene::kPlay2, 400) || g.st.subStep() == 100);
  // The second turn is the human's: it waits for the confirm key.
  EXPECT_EQ(g.st.playMode, 2);
  EXPECT_EQ(g.st.subStep(), 100);
  g.st.subStep() = 113;  // what releasing the confirm key does
  ASSERT_TRUE(RunUntilScene(scene::kPlay2));
  EXPECT_EQ(g.st.bgmLength, 100000);
  EXPECT_EQ(g.st.bgmEndTick, g.st.bgmStartTick + 100000u);
  EXPECT_EQ(g.stage.currentPlayer, 2);
  EndStage(g);
  // A human turn offers its record for saving, then goes on to the result.
  EXPECT_EQ(g.st.sceneCode, scene::kSaveSlot);
  EXPECT_EQ(g.st.prevScene, static_cast<uint8_t>(scene::kPlay2));
}

TEST_F(StageTest, AComputerTurnOffersItsRecordOnlyWhenEveryTurnDoes) {
  g.stage.vsOrder = 1;
  g.st.sceneCode = scene::kStageStart1;
  ResetSceneCounters(g.st);
  ASSERT_TRUE(RunUntilScene(scene::kPlay1));
  EndStage(g);
  EXPECT_EQ(g.st.sceneCode, scene::kStageStart2);
  g.stage.alwaysOfferSave = 1;
  g.st.sceneCode = scene::kStageStart1;
  ResetSceneCounters(g.st);
  ASSERT_TRUE(RunUntilScene(scene::kPlay1));
  EndStage(g);
  EXPECT_EQ(g.st.sceneCode, scene::kSaveSlot);
  // The computer's record is finished: its name, score and check value.
  ASSERT_GE(g.record.lines.size(), 4u);
  EXPECT_EQ(g.record.lines[0].size(), 35u);
  EXPECT_EQ(g.record.lines[0].substr(4, 13), "$DEMO$*$COM$*");
  EXPECT_EQ(g.record.lines[2], g.st.dataFolder + "Z01.mid");
}

TEST_F(StageTest, TwoHumansWithAHandicapGivePlayerTwoAHeadStart) {
  g.stage.vsOrder = 3;
  g.stage.p2Handicap = 1;
  tuneLength = 150000;
  g.st.sceneCode = scene::kStageStart1;
  ResetSceneCounters(g.st);
  for (int i = 0; i < 200 && g.st.subStep() != 100; ++i) Step();
  ASSERT_EQ(g.st.subStep(), 100);
  g.st.subStep() = 113;
  ASSERT_TRUE(RunUntilScene(scene::kPlay1));
  // Player 1's opening action scores for player 1; player 2 keeps the start.
  EXPECT_EQ(g.cmd.scoreSlots[2], 500);
}

TEST_F(StageTest, ExitQuestionAnsweredYesClosesTheGame) {
  g.st.sceneCode = scene::kExitQuestion;
  ResetSceneCounters(g.st);
  for (int i = 0; i < 100 && g.st.subStep() != 200; ++i) Step();
  ASSERT_EQ(g.st.subStep(), 200);
  EXPECT_EQ(g.st.playMode, 4);
  g.st.subStep() = 250;  // a released confirm key
  for (int i = 0; i < 25 && !tg.fakes.window.mainClosed; ++i) Step();
  EXPECT_TRUE(tg.fakes.window.mainClosed);
  EXPECT_FALSE(tg.fakes.window.At(FormId::FM).visible);
}

TEST_F(StageTest, ExitQuestionAnsweredNoGoesBackToTheMenuWithItsTune) {
  g.st.sceneCode = scene::kExitQuestion;
  ResetSceneCounters(g.st);
  for (int i = 0; i < 100 && g.st.subStep() != 200; ++i) Step();
  g.st.subStep() = 201;
  Step();
  EXPECT_EQ(g.st.sceneCode, scene::kModeMenu);
  EXPECT_EQ(g.st.bgmLoop, 1);
  EXPECT_NE(tg.fakes.media.file.find("Zz.mid"), std::string::npos);
}

TEST_F(StageTest, TheComputerTypesItsChosenCommandDigitByDigit) {
  ASSERT_TRUE(RunUntilScene(scene::kDemoPlay));
  g.cmd.matchedCode = 1250;
  g.cmd.commandWeight = 1000;
  g.cmd.commandCode = 0;
  g.cmd.cpuDone = 0;
  g.stage.cpuLevel = 2;  // acts on every frame
  g.motion.facesRight = 1;
  // Digits 1, 2, 5 on three frames; the 0 on the fourth ends the typing.
  for (int i = 0; i < 3; ++i) PlayStep(g);
  EXPECT_EQ(g.cmd.commandCode, 1250);
  EXPECT_EQ(g.cmd.cpuDone, 0);
  PlayStep(g);
  EXPECT_EQ(g.cmd.cpuDone, 1) << "a 0 digit ends the computer's typing";
}

TEST_F(StageTest, EndingASilentTurnEarlyLeavesNoTimerBehind) {
  // No tune can be opened: the turn is a timed minute of silence.
  tg.fakes.media.measure = [](const std::string&) -> std::optional<uint32_t> {
    return std::nullopt;
  };
  g.stage.vsOrder = 1;
  g.st.sceneCode = scene::kStageStart1;
  ResetSceneCounters(g.st);
  ASSERT_TRUE(RunUntilScene(scene::kPlay1));
  ASSERT_TRUE(g.st.bgmFileName.empty());
  ASSERT_EQ(g.st.bgmLength, 60000);
  // Ended by a key just before the minute is up.
  tg.fakes.clock.now = g.st.bgmEndTick - 50;
  EndStage(g);
  EXPECT_EQ(g.st.bgmLength, 0);
  Step();
  EXPECT_EQ(g.st.sceneCode, scene::kStageStart2) << "the old minute ended the next stage start";
  EXPECT_EQ(g.st.subStep(), 1);
}

TEST_F(StageTest, TheStageEndUndoesWhatTheTurnSwitchedOff) {
  ASSERT_TRUE(RunUntilScene(scene::kDemoPlay));
  g.motion.backdrop.tileSwitch = 0;
  g.motion.backdrop.effectsOn = 0;
  g.cmd.scoreLock = 2;  // a replayed record ran out
  EndStage(g);
  EXPECT_EQ(g.motion.backdrop.tileSwitch, 1);
  EXPECT_EQ(g.motion.backdrop.effectsOn, 1);
  EXPECT_EQ(g.cmd.scoreLock, 0);
}

TEST_F(StageTest, TheComputersOpeningCommandDrawsItsDigitsInOrder) {
  g.st.firstRoutineDone = 1;
  for (int i = 0; i < 100 && g.st.subStep() != 109; ++i) Step();
  ASSERT_EQ(g.st.subStep(), 109);
  Random expected = g.random;
  const int thousands = 1 + expected.Next(4);
  const int hundreds = 5 + expected.Next(2);
  const int units = 1 + expected.Next(4);
  StageStartStep(g);
  EXPECT_EQ(g.cmd.commandCode, 1010 * thousands + 100 * hundreds + units);
  // Its tens digit repeats the first key, so the units show as 7.
  ASSERT_TRUE(RunUntilScene(scene::kDemoPlay));
  EXPECT_EQ(g.cmd.lastCommand, 1010 * thousands + 100 * hundreds + 7);
}

TEST_F(StageTest, TheHumansOpeningCommandIsBroughtIntoShape) {
  g.st.firstRoutineDone = 1;
  g.stage.vsOrder = 2;
  struct Case {
    int typed, shown;
  };
  const Case cases[] = {
      {1523, 1527},  // a direction as third key: the fourth shows as 7
      {1550, 1510},  // no fourth key: the third repeats the first
      {4655, 4640},  // a button as third key gives way to the first key
      {5111, 1517},  // a button as first key becomes up
      {3413, 3517},  // a direction as second key becomes Y
      {0, 1510},     // nothing typed
  };
  for (const Case& k : cases) {
    g.st.sceneCode = scene::kStageStart1;
    ResetSceneCounters(g.st);
    for (int i = 0; i < 100 && g.st.subStep() != 100; ++i) Step();
    ASSERT_EQ(g.st.subStep(), 100);
    g.cmd.commandCode = k.typed;
    g.st.subStep() = 113;
    ASSERT_TRUE(RunUntilScene(scene::kPlay1));
    EXPECT_EQ(g.cmd.lastCommand, k.shown) << "typed " << k.typed;
  }
}

TEST(ComputerKey, ForwardAndBackFollowTheFacing) {
  test::TestGame tg;
  Game& g = tg.g();
  g.motion.facesRight = 0;
  EXPECT_EQ(ComputerKey(g, 0), 38);
  EXPECT_EQ(ComputerKey(g, 1), 37);
  EXPECT_EQ(ComputerKey(g, 2), 40);
  EXPECT_EQ(ComputerKey(g, 3), 39);
  EXPECT_EQ(ComputerKey(g, 4), 89);
  EXPECT_EQ(ComputerKey(g, 5), 78);
  EXPECT_EQ(ComputerKey(g, 9), 78);
  g.motion.facesRight = 1;
  EXPECT_EQ(ComputerKey(g, 1), 39);
  EXPECT_EQ(ComputerKey(g, 3), 37);
}

}  // namespace
}  // namespace kelvane
