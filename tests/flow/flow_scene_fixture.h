// The music menu and the match result on the default data: the window is
// built as at start-up, then a test enters the scene and steps it frame by
// frame with the keys it presses and holds.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/frame_pacing.h"
#include "app/game.h"
#include "app/lifecycle.h"
#include "gameplay/keyboard.h"
#include "tests/fake_platform.h"

namespace kelvane::test {

// Every tune lasts this long unless a test says otherwise.
constexpr uint32_t kTuneMs = 185000;

struct FlowSceneFixture : ::testing::Test {
  // One data folder for the suite, so the colour schemes are made once.
  static std::string SharedData() {
    static std::string dir = MakeDataCopy("flow_scenes");
    return dir;
  }

  explicit FlowSceneFixture(const std::string& folder = SharedData()) : tg(folder) {}

  TestGame tg;
  Game& g = tg.g();

  void SetUp() override {
    g.random.Seed(11);
    ASSERT_TRUE(FormCreate(g));
    tg.fakes.media.measure = [](const std::string&) -> std::optional<uint32_t> { return kTuneMs; };
  }

  void Enter(int8_t sceneCode) {
    g.st.sceneCode = sceneCode;
    ResetSceneCounters(g.st);
  }
  // One frame of the current scene, the clock moving on by its interval.
  void Step(int frames = 1) {
    for (int i = 0; i < frames; ++i) {
      tg.fakes.clock.now += g.st.frameInterval;
      FrameStep(g);
    }
  }
  void StepUntilSub(int16_t sub, int limit = 100) {
    for (int i = 0; i < limit && g.st.subStep() != sub; ++i) Step();
  }
  void Press(int vk) {
    tg.fakes.keys.down[static_cast<size_t>(vk)] = true;
    FormKeyDown(g, FormId::FM, vk, ShiftState{});
  }
  void Release(int vk) {
    tg.fakes.keys.down[static_cast<size_t>(vk)] = false;
    FormKeyUp(g, FormId::FM, vk, ShiftState{});
  }
  void Tap(int vk) {
    Press(vk);
    Release(vk);
  }
};

namespace vk {
constexpr int kReturn = 13, kLeft = 37, kUp = 38, kRight = 39, kDown = 40, kN = 78, kEsc = 27,
              kX = 88;
constexpr int Digit(int d) {
  return '0' + d;
}
}  // namespace vk

}  // namespace kelvane::test
