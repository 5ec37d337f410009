#include "app/frame_pacing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/lifecycle.h"
#include "app/trace.h"
#include "tests/fake_platform.h"
#include "tests/memory_trace.h"

namespace kelvane {
namespace {

using test::MemoryTrace;

struct PacingTest : ::testing::Test {
  test::TestGame tg;
  Game& g = tg.g();
  MemoryTrace mem;
  TraceLog trace{mem.file};
  void SetUp() override {
    g.trace = &trace;
    g.st.frameInterval = 40;
    g.st.sceneCode = 4;  // a scene without a handler: only pacing is observed
  }
  void At(uint32_t tick) { tg.fakes.clock.now = tick; }
};

TEST_F(PacingTest, TimerAloneStepsOnEveryFourthOrFifthTick) {
  // Timer ticks read 9 to 11 ms apart, as a real timer's are.
  std::vector<int> ticksBetweenSteps;
  uint32_t t = 1000;
  g.st.lastFrameTick = t;
  int sinceStep = 0;
  for (int i = 0; i < 400; ++i) {
    t += 9 + static_cast<uint32_t>((i * 7) % 3);
    At(t);
    uint64_t before = g.frameStepCount;
    Timer1Timer(g);
    ++sinceStep;
    if (g.frameStepCount != before) {
      EXPECT_EQ(g.st.lastFrameTick, t) << "the stored tick is the one read before the step";
      ticksBetweenSteps.push_back(sinceStep);
      sinceStep = 0;
    }
  }
  ASSERT_GT(ticksBetweenSteps.size(), 80u);
  bool sawFour = false, sawFive = false;
  for (int n : ticksBetweenSteps) {
    EXPECT_TRUE(n == 4 || n == 5) << n;
    sawFour |= n == 4;
    sawFive |= n == 5;
  }
  EXPECT_TRUE(sawFour);
  EXPECT_TRUE(sawFive);
}

TEST_F(PacingTest, StepsKeepGoingAcrossTheTickCounterWrap) {
  uint32_t t = 0xFFFFFF00u;
  g.st.lastFrameTick = t;
  for (int ms = 0; ms < 2000; ++ms) {
    At(t + static_cast<uint32_t>(ms));
    bool done = true;
    AppEvIdle(g, done);
    EXPECT_FALSE(done) << "the idle handler asks to be called again";
  }
  EXPECT_EQ(g.frameStepCount, 49u);  // 40 ms apart over 1,999 ms
  EXPECT_EQ(g.st.lastFrameTick, t + 1960u);
}

TEST_F(PacingTest, IdleAndTimerShareOneFrameStep) {
  g.st.lastFrameTick = 0;
  At(40);
  bool done = true;
  AppEvIdle(g, done);
  Timer1Timer(g);
  AppEvIdle(g, done);
  EXPECT_EQ(g.frameStepCount, 1u);
}

TEST_F(PacingTest, MusicEndTimerFiresOnceFromWhicheverDriverSeesItFirst) {
  g.st.bgmLength = 5000;
  g.st.bgmEndTick = 6000;
  At(5999);
  Timer1Timer(g);
  EXPECT_EQ(mem.Count("\"op\":\"end\""), 0);
  At(6000);
  bool done = true;
  AppEvIdle(g, done);
  EXPECT_EQ(g.st.bgmLength, 0);
  Timer1Timer(g);
  AppEvIdle(g, done);
  At(9000);
  Timer1Timer(g);
  EXPECT_EQ(mem.Count("\"op\":\"end\""), 1);
}

TEST_F(PacingTest, MusicEndTimerArmedJustBeforeTheWrapDoesNotFireEarly) {
  // The end tick lies past the wrap: a plain unsigned comparison would end
  // the tune at once.
  At(0xFFFFFFF0u);
  g.st.bgmLength = 1000;
  g.st.bgmEndTick = 0xFFFFFFF0u + 1000u;
  g.st.lastFrameTick = 0xFFFFFFF0u;
  Timer1Timer(g);
  EXPECT_EQ(g.st.bgmLength, 1000);
  At(0xFFFFFFF0u + 1000u);
  Timer1Timer(g);
  EXPECT_EQ(g.st.bgmLength, 0);
}

TEST_F(PacingTest, NothingRunsWhileHalted) {
  g.st.halted = 1;
  g.st.lastFrameTick = 7;
  g.st.bgmLength = 10;
  g.st.bgmEndTick = 100;
  g.st.flickerUntil = 50;
  At(100000);
  bool done = true;
  AppEvIdle(g, done);
  Timer1Timer(g);
  EXPECT_TRUE(done) << "a halted idle handler leaves done alone";
  EXPECT_EQ(g.st.lastFrameTick, 7u);
  EXPECT_EQ(g.st.bgmLength, 10);
  EXPECT_EQ(g.st.flickerUntil, 50u);
  EXPECT_EQ(g.frameStepCount, 0u);
}

TEST_F(PacingTest, TimerClearsAnExpiredFlicker) {
  g.st.flickerUntil = 24000;
  At(23999);
  Timer1Timer(g);
  EXPECT_EQ(g.st.flickerUntil, 24000u);
  At(24000);
  Timer1Timer(g);
  EXPECT_EQ(g.st.flickerUntil, 0u);
}

TEST_F(PacingTest, ScenesWithoutHandlersStillRunTheTimers) {
  for (int8_t code : {int8_t{4}, int8_t{5}, int8_t{6}, int8_t{9}, int8_t{15}, int8_t{-4}}) {
    g.st.sceneCode = code;
    g.st.subStep() = 3;
    FrameStep(g);
    EXPECT_EQ(g.st.subStep(), 3);
  }
  g.st.bgmLength = 1;
  g.st.bgmEndTick = 10;
  At(10);
  Timer1Timer(g);
  EXPECT_EQ(g.st.bgmLength, 0);
}

TEST_F(PacingTest, IdleDeadlineIsTheNextFrameOrTheMusicEnd) {
  g.st.lastFrameTick = 1000;
  EXPECT_EQ(NextIdleDeadline(g), 1040u);
  g.st.bgmLength = 5;
  g.st.bgmEndTick = 1020;
  EXPECT_EQ(NextIdleDeadline(g), 1020u);
  g.st.bgmEndTick = 5000;
  EXPECT_EQ(NextIdleDeadline(g), 1040u);
}

TEST(TwoPhaseClose, FirstRequestIsRefusedAndTheNextTimerTickCloses) {
  test::TestGame tg(test::MakeDataCopy("close"));
  Game& g = tg.g();
  ASSERT_TRUE(FormCreate(g));
  tg.fakes.window.Close(FormId::FM);
  EXPECT_TRUE(g.st.closeRequested);
  EXPECT_FALSE(tg.fakes.window.mainClosed);
  EXPECT_FALSE(g.st.halted);
  tg.fakes.window.Close(FormId::FM);  // a second request in between: closes only via the timer
  tg.fakes.clock.now = 10;
  Timer1Timer(g);
  EXPECT_TRUE(tg.fakes.window.mainClosed);
  EXPECT_TRUE(g.st.halted);
  uint64_t steps = g.frameStepCount;
  tg.fakes.clock.now = 1000;
  Timer1Timer(g);
  EXPECT_EQ(g.frameStepCount, steps);
}

TEST(FormCreate, StartsTheDemonstrationWithBothDrivers) {
  test::TestGame tg(test::MakeDataCopy("create"));
  Game& g = tg.g();
  ASSERT_TRUE(FormCreate(g));
  EXPECT_EQ(g.st.sceneCode, scene::kDemoStart);
  EXPECT_EQ(g.st.frameInterval, 40);
  EXPECT_TRUE(tg.fakes.app.timerEnabled);
  EXPECT_TRUE(tg.fakes.app.idleHooked);
}

TEST(FormCreate, ClosedDuringLoadingStartsNoScene) {
  test::TestGame tg(test::MakeDataCopy("create-closed"));
  Game& g = tg.g();
  g.st.closeRequested = 1;
  g.st.sceneCode = 0;
  ASSERT_TRUE(FormCreate(g));
  EXPECT_EQ(g.st.sceneCode, 0);
  EXPECT_TRUE(tg.fakes.app.timerEnabled);
  EXPECT_FALSE(tg.fakes.app.idleHooked);
}

}  // namespace
}  // namespace kelvane
