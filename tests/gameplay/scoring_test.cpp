#include "gameplay/scoring.h"

#include <gtest/gtest.h>

#include "tests/gameplay/keys_fixture.h"

namespace kelvane {
namespace {

using atlas::DigitCell;
using atlas::KeyIconCell;
using atlas::SignCell;

// What the judge told, as "player points/asked total".
struct JudgeRecorder : JudgeListener {
  std::vector<std::string> heard;
  void OnJudge(Game&, const JudgeEvent& e) override {
    heard.push_back(std::to_string(e.player) + " " + std::to_string(e.points) + "/" +
                    std::to_string(e.asked) + " " + std::to_string(e.total));
  }
};

struct ScoringTest : test::KeysFixture {
  ScoringTest() {
    g.stage.currentPlayer = 1;
    g.judges.Add(&judged);
  }
  JudgeRecorder judged;

  // Whether the n digits at (x, y) read `digits` in glyph style `style`.
  bool ShowsDigits(int x, int y, const std::string& digits, int style) const {
    for (size_t i = 0; i < digits.size(); ++i)
      if (!Shows(x + 5 * static_cast<int>(i), y, DigitCell(digits[i] - '0', style))) return false;
    return true;
  }
};

// ---- Scores ----

TEST_F(ScoringTest, ScoresStayWithinSixDigits) {
  c.scoreSlots[1] = 999990;
  AddPoints(g, 20);
  EXPECT_EQ(c.scoreSlots[1], 999999);
  EXPECT_TRUE(ShowsDigits(349, 131, "999999", 3));
  EXPECT_TRUE(ShowsDigits(337, 227, "999999", 3));

  c.scoreSlots[1] = 5;
  AddPoints(g, -10);
  EXPECT_EQ(c.scoreSlots[1], 0);
  EXPECT_TRUE(ShowsDigits(349, 131, "000000", 3));
  EXPECT_TRUE(ShowsDigits(337, 227, "000000", 3));
  // The points themselves are shown with their sign.
  EXPECT_EQ(c.scoreSlots[3], -10);
  EXPECT_TRUE(Shows(358, 143, SignCell(true, 2)));
  EXPECT_TRUE(ShowsDigits(363, 143, "0010", 2));
  EXPECT_TRUE(Shows(338, 239, SignCell(true, 2)));
  EXPECT_TRUE(ShowsDigits(343, 239, "0010", 2));
  // The judge tells the real change, the rule's points beside it.
  EXPECT_EQ(judged.heard, (std::vector<std::string>{"1 9/20 999999", "1 -5/-10 0"}));
}

TEST_F(ScoringTest, PointsGoToTheRunningPlayer) {
  g.stage.currentPlayer = 2;
  c.scoreSlots[1] = 70;
  AddPoints(g, 25);
  EXPECT_EQ(c.scoreSlots[1], 70);
  EXPECT_EQ(c.scoreSlots[2], 25);
  EXPECT_TRUE(ShowsDigits(351, 137, "000025", 3));
  EXPECT_TRUE(ShowsDigits(335, 233, "000025", 3));
}

TEST_F(ScoringTest, ALockedScoreStillShowsThePoints) {
  c.scoreSlots[1] = 300;
  c.scoreLock = 2;
  AddPoints(g, 50);
  EXPECT_EQ(c.scoreSlots[1], 300);
  EXPECT_EQ(c.scoreSlots[3], 50);
  AddLandingBonus(g, 9);
  EXPECT_EQ(c.scoreSlots[1], 300);
  EXPECT_EQ(c.scoreSlots[4], 9);
  // A lock of 1 does not hold.
  c.scoreLock = 1;
  AddPoints(g, 50);
  EXPECT_EQ(c.scoreSlots[1], 350);
  EXPECT_EQ(judged.heard, (std::vector<std::string>{"1 0/50 300", "1 0/9 300", "1 50/50 350"}));
}

TEST_F(ScoringTest, TheLandingBonusIsShownWithSignAndTwoDigits) {
  AddLandingBonus(g, 7);
  EXPECT_EQ(c.scoreSlots[1], 7);
  EXPECT_TRUE(Shows(344, 143, SignCell(false, 1)));
  EXPECT_TRUE(ShowsDigits(349, 143, "07", 1));
  EXPECT_TRUE(Shows(362, 239, SignCell(false, 1)));
  EXPECT_TRUE(ShowsDigits(367, 239, "07", 1));
}

// ---- Keys on the display ----

TEST_F(ScoringTest, ShowCommandFollowsTheFacing) {
  g.motion.facesRight = 1;
  ShowCommand(g, 1525);
  const int right[4] = {0, 4, 3, 4};
  for (int a = 0; a < 4; ++a) {
    EXPECT_TRUE(Shows(352 + 5 * a, 125, KeyIconCell(right[a]))) << a;
    // The mirrored copy runs right to left with left and right exchanged.
    EXPECT_TRUE(Shows(359 - 5 * a, 221, KeyIconCell(right[a] == 3 ? 1 : right[a]))) << a;
  }
  EXPECT_EQ(c.commandCode, 1525);
  EXPECT_EQ(c.commandWeight, 0);

  g.motion.facesRight = 0;
  ShowCommand(g, 2000);
  EXPECT_TRUE(Shows(352, 125, KeyIconCell(1)));
  EXPECT_TRUE(Shows(359, 221, KeyIconCell(3)));
}

TEST_F(ScoringTest, ClearKeysErasesEveryTypedKey) {
  ShowCommand(g, 1234);
  c.landingKey = 1;
  c.commandWeight = 10000;
  ShowKey(g, 0);
  ShowLandingPrompt(g, 6);
  AddLandingBonus(g, 5);
  ClearKeys(g);
  const Surface& sheet = g.gfx.mainSheets[0];
  // Every erased pixel takes the blank column's pixel of its row.
  auto blank = [](int y, int top) { return test::SheetPixel(349, 119 + (y - top)); };
  for (const Rect& r :
       {Rect::XYWH(352, 125, 19, 5), Rect::XYWH(350, 119, 9, 5), Rect::XYWH(344, 143, 14, 5),
        Rect::XYWH(344, 221, 19, 5), Rect::XYWH(356, 215, 9, 5), Rect::XYWH(362, 239, 14, 5)})
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        ASSERT_EQ(sheet.RawPixel(x, y), blank(y, r.top)) << x << "," << y;
}

// ---- Landing keys ----

struct LandingJudgeTest : ScoringTest {
  LandingJudgeTest() {
    c.landingKey = 3;
    c.landingBonus = 15;
    c.commandWeight = 10000;
    c.scoreSlots[1] = 100;
  }
};

TEST_F(LandingJudgeTest, ATimelyRightKeyEarnsTheBonus) {
  c.landingPromptTimer = 1;
  ShowKey(g, 2);
  EXPECT_EQ(c.scoreSlots[1], 115);
  EXPECT_EQ(c.scoreSlots[4], 15);
  EXPECT_GE(LastSound(), 66);
  EXPECT_LE(LastSound(), 69);
  EXPECT_TRUE(Shows(350, 119, KeyIconCell(2)));
  EXPECT_TRUE(Shows(361, 215, KeyIconCell(2)));
}

TEST_F(LandingJudgeTest, ALateRightKeyEarnsNothing) {
  c.landingPromptTimer = 0;
  ShowKey(g, 2);
  EXPECT_EQ(c.scoreSlots[1], 100);
  EXPECT_TRUE(LastSound() == 29 || LastSound() == 30) << LastSound();
  EXPECT_TRUE(Shows(350, 119, KeyIconCell(2)));
}

TEST_F(LandingJudgeTest, AWrongKeyIsMarkedAtOnce) {
  c.landingPromptTimer = 5;
  g.motion.facesRight = 1;
  ShowKey(g, 1);  // the Left key while facing right: back, digit 4
  EXPECT_EQ(c.scoreSlots[1], 100);
  EXPECT_TRUE(LastSound() == 60 || LastSound() == 61) << LastSound();
  EXPECT_TRUE(Shows(350, 119, KeyIconCell(3)));
  EXPECT_TRUE(Shows(361, 215, KeyIconCell(1)));
}

TEST_F(LandingJudgeTest, TheRequiredKeyReplacesThePromptMirrored) {
  c.landingKey = 2;
  ShowLandingPrompt(g, c.landingKey - 1);
  EXPECT_TRUE(Shows(355, 119, atlas::PromptIconCell(1)));
  EXPECT_TRUE(Shows(356, 215, atlas::PromptIconCell(3)));
  // No landing key: nothing to show.
  ClearKeys(g);
  ShowLandingPrompt(g, -1);
  EXPECT_FALSE(Shows(355, 119, atlas::PromptIconCell(1)));
}

}  // namespace
}  // namespace kelvane
