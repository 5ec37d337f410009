#include "gameplay/command_recognition.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "gameplay/command_list_items.h"
#include "tests/gameplay/keys_fixture.h"

namespace kelvane {
namespace {

constexpr int kUp = 38, kLeft = 37, kRight = 39, kDown = 40, kY = 89, kN = 78;

struct RecognitionTest : test::KeysFixture {
  RecognitionTest() {
    g.st.playMode = 2;  // the player types; the computer chooses nothing
    g.stage.currentPlayer = 1;
  }
  int32_t Score() const { return c.scoreSlots[1]; }
  int32_t LastPoints() const { return c.scoreSlots[3]; }
};

// ---- Command digit entry ----

TEST_F(RecognitionTest, ForwardAndBackFollowTheFacing) {
  g.motion.facesRight = 0;
  Type({kLeft, kRight, 100, 102});  // and their keypad twins
  EXPECT_EQ(c.commandCode, 2424);

  c.commandCode = 0;
  c.commandWeight = 1000;
  g.motion.facesRight = 1;
  Type({kLeft, kRight, 100, 102});
  EXPECT_EQ(c.commandCode, 4242);
}

TEST_F(RecognitionTest, ButtonsAndUpDownAreTheSameEitherWay) {
  g.motion.facesRight = 1;
  Type({kUp, kDown, kY, kN});
  EXPECT_EQ(c.commandCode, 1356);
  c.commandCode = 0;
  c.commandWeight = 1000;
  Type({104, 101, 103, 105});  // keypad 8, 5, 7, 9
  EXPECT_EQ(c.commandCode, 1356);
}

TEST_F(RecognitionTest, AFifthKeyIsIgnored) {
  Type({kUp, kUp, kY, kN, kDown});
  EXPECT_EQ(c.commandCode, 1156);
  EXPECT_EQ(c.commandWeight, 0);
}

TEST_F(RecognitionTest, WithALandingPendingTheSixthKeyIsIgnored) {
  c.commandWeight = 10000;
  Type({kDown, kUp, kUp, kY, kN, kN});
  EXPECT_EQ(c.commandCode, 31156);
  EXPECT_EQ(c.commandWeight, 0);
}

TEST_F(RecognitionTest, ReturnSpaceAndPauseAreNeverDigits) {
  Type({13, 32, 19, 48, 53});  // Return, Space, Pause, digits 0 and 5
  EXPECT_EQ(c.commandCode, 0);
  EXPECT_EQ(c.commandWeight, 1000);
}

TEST_F(RecognitionTest, ATypedKeyRestartsTheFrameCount) {
  c.frameCounter = 17;
  Type({kUp});
  EXPECT_EQ(c.frameCounter, 0u);
}

// ---- Longest-prefix match ----

TEST_F(RecognitionTest, TheLongestKnownPrefixWins) {
  DefineRow(1, 1, {1000});
  DefineRow(2, 2, {1150});
  Type({kUp, kUp, kY});
  EXPECT_EQ(c.commandCode, 1150);
  RecognizeCommand(g);
  EXPECT_EQ(g.motion.currentRow, 2);
  EXPECT_EQ(c.matchedCode, 1150);

  DefineRow(3, 3, {1100});
  Type({kUp, kUp, kY});
  RecognizeCommand(g);
  EXPECT_EQ(g.motion.currentRow, 2);

  // A longer command than any known one falls back to its longest prefix.
  Type({kUp, kUp, kN, kDown});
  RecognizeCommand(g);
  EXPECT_EQ(g.motion.currentRow, 3);
  EXPECT_EQ(c.matchedCode, 1100);
  EXPECT_EQ(c.lastCommand, 1163);
}

TEST_F(RecognitionTest, AnUnknownCommandKeepsTheRunningRow) {
  DefineRow(4, 1, {1000});
  g.motion.currentRow = 4;
  Type({kDown, kY});
  RecognizeCommand(g);
  EXPECT_EQ(g.motion.currentRow, 4);
  EXPECT_EQ(c.lastCommand, 3500);
}

TEST_F(RecognitionTest, NoKeyGivesTheIdleRow) {
  DefineRow(4, 1, {1000});
  g.motion.currentRow = 4;
  RecognizeCommand(g);
  EXPECT_EQ(g.motion.currentRow, 0);
  EXPECT_EQ(c.commandWeight, 1000);
  EXPECT_EQ(c.commandCode, 0);
}

TEST_F(RecognitionTest, NoRowAndAnUnknownCommandScoreNothingAndAskNoLanding) {
  // After the last row, or at a stage start, there is no running row.
  g.motion.currentRow = -1;
  c.scoreSlots[1] = 100;
  c.landingKey = 0;
  Type({kDown, kY});
  RecognizeCommand(g);
  EXPECT_EQ(g.motion.currentRow, -1);
  EXPECT_EQ(Score(), 100);
  EXPECT_EQ(c.landingKey, 0);
  EXPECT_EQ(c.commandWeight, 1000);
}

// ---- Landing keys and the fall command ----

struct LandingTest : RecognitionTest {
  LandingTest() {
    ActionRow& jump = DefineRow(1, 1, {1100});
    jump.landing = 3;
    jump.fall = 200;
    jump.bn = 12;
    DefineRow(2, 2, {5000}).firstScore = 30;
    DefineRow(3, 3, {1315});
    c.scoreSlots[1] = 1000;
    Type({kUp, kUp});
    RecognizeCommand(g);  // the jump starts and asks for Down
    c.scoreSlots[1] = 1000;
  }
};

TEST_F(LandingTest, AnActionWithALandingDigitAwaitsIt) {
  EXPECT_EQ(g.motion.currentRow, 1);
  EXPECT_EQ(c.landingKey, 3);
  EXPECT_EQ(c.fallPenalty, 200);
  EXPECT_EQ(c.commandWeight, 10000);
  EXPECT_EQ(c.landingPromptTimer, 8);
  EXPECT_EQ(c.landingBonus, 12);
  EXPECT_TRUE(Shows(355, 119, atlas::PromptIconCell(6)));
  EXPECT_TRUE(Shows(356, 215, atlas::PromptIconCell(6)));
}

TEST_F(LandingTest, TheRightLandingKeyIsStrippedFromTheCommand) {
  Type({kDown, kY});
  EXPECT_EQ(c.commandCode, 35000);
  RecognizeCommand(g);
  EXPECT_EQ(g.motion.currentRow, 2);
  EXPECT_EQ(c.lastCommand, 5000);
  EXPECT_EQ(c.fallPenalty, 0);         // the Y row's own fall points
  EXPECT_EQ(Score(), 1000 + 12 + 30);  // the timely landing bonus and the Y row
}

TEST_F(LandingTest, AWrongLandingKeyIsAFall) {
  Type({kY});
  EXPECT_EQ(c.commandCode, 50000);
  RecognizeCommand(g);
  EXPECT_EQ(g.motion.currentRow, 3);
  EXPECT_EQ(c.lastCommand, kFallCommand);
  EXPECT_EQ(LastPoints(), -200);
  EXPECT_EQ(Score(), 800);
}

TEST_F(LandingTest, NoKeyAtAllIsAFallToo) {
  RecognizeCommand(g);
  EXPECT_EQ(g.motion.currentRow, 3);
  EXPECT_EQ(Score(), 800);
  EXPECT_EQ(c.landingKey, 0);
  EXPECT_EQ(c.commandWeight, 1000);
}

// ---- Repeats ----

TEST_F(RecognitionTest, RepeatsOfAGroupAreScoredDown) {
  ActionRow& spin = DefineRow(1, 7, {4000});
  spin.firstScore = 100;
  spin.score = 40;
  spin.scoreExtra = 8;
  std::vector<int32_t> points;
  for (int i = 0; i < 6; ++i) {
    Type({kRight});
    RecognizeCommand(g);
    points.push_back(LastPoints());
  }
  // First time, a repeat, the third (/8), the fourth (-1), the fifth and
  // sixth (-half).
  EXPECT_EQ(points, (std::vector<int32_t>{108, 48, 6, -1, -24, -24}));
  EXPECT_EQ(Score(), 108 + 48 + 6 - 1 - 24 - 24);
}

TEST_F(RecognitionTest, SmallRepeatsKeepTheirFloorAndCeiling) {
  EXPECT_EQ(RepeatPoints(3, 2), 1);    // 3/8 is 0: at least 1
  EXPECT_EQ(RepeatPoints(3, 4), -3);   // -(3/2) is -1: at most -3
  EXPECT_EQ(RepeatPoints(-20, 2), 1);  // a loss row: truncation toward zero
  EXPECT_EQ(RepeatPoints(-20, 4), -3);
  EXPECT_EQ(RepeatPoints(50, 0), 50);
  EXPECT_EQ(RepeatPoints(50, 1), 50);
}

TEST_F(RecognitionTest, OtherGroupsBetweenRepeatsSoftenThem) {
  ActionRow& a = DefineRow(1, 7, {4000});
  a.score = 40;
  DefineRow(2, 8, {3000});
  auto run = [&](int key) {
    Type({key});
    RecognizeCommand(g);
    return LastPoints();
  };
  run(kRight);                // first time of group 7
  run(kDown);                 // group 8
  run(kRight);                // group 7 once in the history
  EXPECT_EQ(run(kRight), 5);  // twice in the last four: 40 / 8
  for (int i = 0; i < 4; ++i) run(kDown);
  EXPECT_EQ(run(kRight), 40);  // pushed out of the last four again
}

// ---- The computer's choice ----

struct ComputerChoiceTest : RecognitionTest {
  ComputerChoiceTest() {
    g.st.playMode = 5;
    ActionData& a = g.actions;
    // Group 0 serves row 1 only; group 1 rows 2..4.
    DefineRow(1, 1, {6000});
    DefineRow(2, 2, {1000, 1100});
    DefineRow(3, 3, {2000}).hidden = 1;
    DefineRow(4, 4, {3000});
    a.loadGroups[0][ActionData::kGroupLastRowEntry] = 1;
    a.loadGroups[1][ActionData::kGroupLastRowEntry] = 4;
    a.lastGroup = 1;
  }
};

TEST_F(ComputerChoiceTest, TheListHoldsTheShownCommandsInOrder) {
  std::vector<int> codes;
  for (const CommandListItem& item : CommandListItems(g.actions)) codes.push_back(item.code);
  EXPECT_EQ(codes, (std::vector<int>{1000, 1100, 3000}));
}

TEST_F(ComputerChoiceTest, CodesMarkedAsPerformedByTheDataStartDone) {
  g.actions.actionRows[4].preDone = 1;
  FillCommandList(g);
  EXPECT_EQ(c.codeDone[3000], 1);
  EXPECT_EQ(c.codeDone[1000], 0);
}

TEST_F(ComputerChoiceTest, ANewCodeIsPreferred) {
  c.codeDone[1000] = c.codeDone[1100] = 1;
  int fresh = 0;
  const int draws = 3000;
  for (int i = 0; i < draws; ++i) fresh += ChooseComputerCommand(g) == 3000;
  // Uniform would give a third; up to four tries make it about 0.74.
  EXPECT_GT(fresh, draws * 65 / 100);
  EXPECT_LT(fresh, draws * 83 / 100);
}

TEST_F(ComputerChoiceTest, TheFourthTryStands) {
  c.codeDone[1000] = c.codeDone[1100] = c.codeDone[3000] = 1;
  std::map<int, int> seen;
  int mostNumbers = 0;
  for (int i = 0; i < 500; ++i) {
    const uint32_t before = g.random.seed();
    ++seen[ChooseComputerCommand(g)];
    // How many random numbers the choice drew.
    Random replay(before);
    int numbers = 0;
    while (replay.seed() != g.random.seed() && numbers < 100) {
      replay.Next(1);
      ++numbers;
    }
    mostNumbers = std::max(mostNumbers, numbers);
  }
  // Four picks and three chances to keep a performed code, no more.
  EXPECT_EQ(mostNumbers, 7);
  EXPECT_EQ(seen.size(), 3u);
  for (const auto& [code, count] : seen) EXPECT_GT(count, 100) << code;
}

TEST_F(ComputerChoiceTest, AnEmptyListChoosesNothing) {
  g.actions.lastGroup = 0;
  EXPECT_EQ(ChooseComputerCommand(g), 0);
}

TEST_F(ComputerChoiceTest, InWatchModeTheMatchedCodeIsMarkedAndANewOneChosen) {
  Type({kUp, kUp});
  RecognizeCommand(g);
  EXPECT_EQ(g.motion.currentRow, 2);
  EXPECT_EQ(c.codeDone[1100], 1);
  const std::set<int> listed = {1000, 1100, 3000};
  EXPECT_TRUE(listed.count(c.matchedCode)) << c.matchedCode;
  EXPECT_EQ(c.cpuDone, 0);
}

TEST_F(ComputerChoiceTest, AHumanTurnChoosesNothing) {
  g.st.playMode = 2;
  Type({kUp, kUp});
  RecognizeCommand(g);
  EXPECT_EQ(c.matchedCode, 1100);
  EXPECT_EQ(c.codeDone[1100], 0);
}

}  // namespace
}  // namespace kelvane
