// A recorded human turn, saved, loaded for the second turn and replayed:
// the replay runs the same rows in the same frames to the same score.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "app/frame_pacing.h"
#include "flow/record_slots.h"
#include "flow/run_record.h"
#include "tests/flow/flow_scene_fixture.h"

namespace kelvane {
namespace {

using test::FlowSceneFixture;
namespace vk = test::vk;

constexpr uint32_t kTurnMs = 30000;
constexpr int kShift = 16, kY = 89;

struct Frame {
  int16_t row;
  int32_t score;
  friend bool operator==(const Frame&, const Frame&) = default;
};

struct ReplayRoundTrip : FlowSceneFixture {
  void SetUp() override {
    FlowSceneFixture::SetUp();
    tg.fakes.media.measure = [](const std::string&) -> std::optional<uint32_t> { return kTurnMs; };
    std::filesystem::remove(SlotFileName(g, 3));
    g.stage.vsOrder = 2;  // the human first, the computer second
    g.stage.matchRule = 2;
  }
  void TearDown() override { std::filesystem::remove(SlotFileName(g, 3)); }

  // One frame through the timer, which also ends the music.
  void Tick() {
    tg.fakes.clock.now += g.st.frameInterval;
    Timer1Timer(g);
  }
  void TickUntil(const std::function<bool()>& done, int limit = 2000) {
    for (int i = 0; i < limit && !done(); ++i) Tick();
    ASSERT_TRUE(done());
  }
  // Plays the scene until it changes, typing the script's keys (frame
  // number, keys typed in the same gap), and notes every frame.
  std::vector<Frame> PlayTurn(int8_t play, int player,
                              const std::vector<std::pair<int, std::vector<int>>>& script) {
    std::vector<Frame> frames;
    size_t next = 0;
    while (g.st.sceneCode == play && frames.size() < 5000) {
      Tick();
      if (g.st.sceneCode != play) break;
      frames.push_back({g.motion.currentRow, g.cmd.scoreSlots[static_cast<size_t>(player)]});
      for (; next < script.size() && script[next].first == static_cast<int>(frames.size()); ++next)
        for (int key : script[next].second) Tap(key);
    }
    return frames;
  }
};

TEST_F(ReplayRoundTrip, ALoadedTurnReplaysTheSameRowsInTheSameFramesToTheSameScore) {
  Enter(scene::kStageStart1);
  TickUntil([&] { return g.st.subStep() == 100; });
  Tap(vk::kReturn);
  TickUntil([&] { return g.st.sceneCode == scene::kPlay1; });

  // Keys now and then, some in the same gap (no frame between them), so
  // that commands, repeats and landing keys all come up.
  std::vector<std::pair<int, std::vector<int>>> script;
  const int keys[] = {vk::kUp, vk::kRight, vk::kDown, vk::kLeft, kY, vk::kN};
  for (int f = 3, i = 0; f < 230; f += 3 + (i % 5), ++i) {
    std::vector<int> gap = {keys[i % 6]};
    if (i % 4 == 1) gap.push_back(keys[(i + 2) % 6]);
    script.push_back({f, gap});
  }
  const std::vector<Frame> played = PlayTurn(scene::kPlay1, 1, script);
  ASSERT_EQ(g.st.sceneCode, scene::kSaveSlot);  // a human turn offers to save
  const int32_t score = played.back().score;
  ASSERT_GT(score, 0);
  EXPECT_EQ(record::ParseRecord(record::RecordFileText(g.record.lines))->score, score);
  ASSERT_TRUE(SaveRecord(g, 3));

  // The second turn's stage start opens the load scene and loads slot 3.
  g.record.lines.clear();
  Enter(scene::kStageStart2);
  TickUntil([&] { return g.st.subStep() == 115; });
  Tap(kShift);
  ASSERT_EQ(g.st.sceneCode, scene::kLoadSlot);
  Tick();
  while (g.recordSlots.slotCursor != 3) Tap(vk::kRight);
  Tap(vk::kReturn);
  Tick();
  Tap(vk::kReturn);
  TickUntil([&] { return g.st.sceneCode == scene::kPlay2; });
  EXPECT_EQ(g.stage.replayMode, 1);
  EXPECT_EQ(g.result.slotOfTurn[1], 3);

  const std::vector<Frame> replayed = PlayTurn(scene::kPlay2, 2, {});
  EXPECT_EQ(g.st.sceneCode, scene::kMatchResult);  // a replay is not offered for saving
  ASSERT_EQ(replayed.size(), played.size());
  for (size_t i = 0; i < played.size(); ++i) ASSERT_EQ(replayed[i], played[i]) << "frame " << i;
  EXPECT_EQ(g.cmd.scoreSlots[2], score);
}

}  // namespace
}  // namespace kelvane
