#include "app/idle_timeouts.h"

#include <gtest/gtest.h>

#include "app/frame_pacing.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

struct IdleTest : ::testing::Test {
  test::TestGame tg;
  Game& g = tg.g();
  // Runs Timer1 ticks every 10 ms up to `until` (the frame step itself is
  // kept out of the way by a long frame interval).
  void TicksUntil(uint32_t until) {
    g.st.frameInterval = 60000;
    while (tg.fakes.clock.now < until) {
      tg.fakes.clock.now += 10;
      g.st.lastFrameTick = tg.fakes.clock.now;
      Timer1Timer(g);
    }
  }
  void In(int8_t scene, int16_t sub) {
    g.st.sceneCode = scene;
    ResetSceneCounters(g.st);
    g.st.subStep() = sub;
  }
};

TEST_F(IdleTest, TheModeMenuPressesNAfterThirtyTwoSecondsAndThenCountsAgain) {
  In(scene::kModeMenu, 33);
  g.st.lastInputTick = 0;
  TicksUntil(31990);
  EXPECT_EQ(g.st.subStep(), 33);
  TicksUntil(32000);
  EXPECT_EQ(g.st.subStep(), 200) << "N in the menu goes back";
  EXPECT_EQ(g.st.lastInputTick, 32000u) << "the synthesized key counts as input";
  g.st.subStep() = 40;
  TicksUntil(63990);
  EXPECT_EQ(g.st.subStep(), 40);
  TicksUntil(64000);
  EXPECT_EQ(g.st.subStep(), 200);
}

TEST_F(IdleTest, AStageStartWaitsForAHumanOnlyInAHumanTurn) {
  In(scene::kStageStart1, 100);
  g.st.playMode = 1;
  g.st.lastInputTick = 0;
  TicksUntil(200000);
  EXPECT_EQ(g.st.lastInputTick, 0u) << "nothing is pressed for a computer turn";
  g.st.playMode = 2;
  TicksUntil(200010);
  EXPECT_EQ(g.st.lastInputTick, 200010u) << "space is pressed for the waiting human";
}

TEST_F(IdleTest, AKeyRestartsTheWaitAndOtherScenesNeverTimeOut) {
  In(scene::kMusicMenu, 10);
  g.st.lastInputTick = 0;
  TicksUntil(95000);
  g.st.lastInputTick = 95000;  // a real key at 95 s
  TicksUntil(190990);
  EXPECT_EQ(g.st.lastInputTick, 95000u);
  TicksUntil(191000);
  EXPECT_EQ(g.st.lastInputTick, 191000u);

  for (int8_t scene : {scene::kOpening, scene::kOpeningLogo, scene::kPlay1, scene::kDemoPlay}) {
    In(scene, 0);
    g.st.lastInputTick = tg.fakes.clock.now;
    TicksUntil(tg.fakes.clock.now + 200000);
    EXPECT_LT(tg.fakes.clock.now - g.st.lastInputTick, 200001u);
    EXPECT_GE(tg.fakes.clock.now - g.st.lastInputTick, 200000u) << int(scene);
  }
}

TEST_F(IdleTest, TheTimeoutCountsAcrossTheTickWrap) {
  tg.fakes.clock.now = 0xFFFFF000u;
  In(scene::kModeMenu, 50);
  g.st.lastInputTick = 0xFFFFF000u;
  TicksUntil(0xFFFFFFF0u);
  EXPECT_EQ(g.st.subStep(), 50) << "only 4 s have passed";
}

TEST_F(IdleTest, AnEngagedKeyLeavesTheActivityLevelAsItWas) {
  In(scene::kLoadSlot, 1);
  g.st.mouseLevel = 0;
  g.st.playReturnFlag = 1;
  SynthesizeKeyEngaged(g, 78);
  EXPECT_EQ(g.st.mouseLevel, 0);
  EXPECT_EQ(g.st.playReturnFlag, 0);
}

}  // namespace
}  // namespace kelvane
