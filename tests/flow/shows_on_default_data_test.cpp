// The default move list as the scenes perform it: the result's shows keep
// the winner on the stage while the loser acts, and every stage opens on a
// picture backdrop chosen by its opening routine.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "actiondata/palette_file.h"
#include "flow/match_result.h"
#include "gameplay/backdrops.h"
#include "tests/flow/flow_scene_fixture.h"

namespace kelvane {
namespace {

using test::FlowSceneFixture;

// Layers of the result window while the shows run, and the blinking mark.
constexpr Rect kResultWindow{192, 27, 416, 187};
constexpr int kMarkW = 15, kMarkH = 14, kMarkY = 126, kMarkXPlayer1 = 274, kMarkXPlayer2 = 319;

bool Inside(const Rect& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

struct ResultShows : FlowSceneFixture {
  struct Layers {
    std::vector<uint32_t> mask, sprite;
  };
  Layers Snapshot() const {
    Layers l;
    for (int y = kResultWindow.top; y < kResultWindow.bottom; ++y)
      for (int x = kResultWindow.left; x < kResultWindow.right; ++x) {
        l.mask.push_back(g.gfx.maskLayer.PixelColour(x, y));
        l.sprite.push_back(g.gfx.spriteLayer.PixelColour(x, y));
      }
    return l;
  }
  // Pixels that differ between two snapshots, outside the given places.
  static int Changed(const Layers& a, const Layers& b, const std::vector<Rect>& except,
                     std::string* first) {
    int n = 0;
    size_t i = 0;
    for (int y = kResultWindow.top; y < kResultWindow.bottom; ++y)
      for (int x = kResultWindow.left; x < kResultWindow.right; ++x, ++i) {
        bool skipped = false;
        for (const Rect& r : except) skipped = skipped || Inside(r, x, y);
        if (skipped || (a.mask[i] == b.mask[i] && a.sprite[i] == b.sprite[i])) continue;
        if (n++ == 0) *first = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
      }
    return n;
  }
  // Holds digit key k so the result picks victory row k and its loser.
  void HoldDigit(int k) { tg.fakes.keys.down[static_cast<size_t>(test::vk::Digit(k))] = true; }
};

TEST_F(ResultShows, TheWinnerStaysInItsLastPoseWhileTheLoserActs) {
  const int n = g.actions.barPairs;
  ASSERT_GE(n, 1);
  for (bool player2Wins : {false, true})
    for (int k = 1; k <= n; ++k) {
      SCOPED_TRACE("victory row " + std::to_string(k) +
                   (player2Wins ? ", player 2" : ", player 1") + " wins");
      tg.fakes.keys.down.fill(false);
      HoldDigit(k);
      g.stage.vsOrder = 3;
      g.result.slotOfTurn = {0, 0};
      g.cmd.scoreSlots[1] = player2Wins ? 10 : 20;
      g.cmd.scoreSlots[2] = player2Wins ? 20 : 10;
      // The last turn ended with the character in mid-air.
      g.motion.posY = -12;
      Enter(scene::kMatchResult);
      StepUntilSub(result::kLoserShow, 200);
      ASSERT_EQ(g.st.subStep(), result::kLoserShow);
      ASSERT_EQ(g.motion.currentRow, k);
      EXPECT_EQ(g.motion.posY, 0) << "the victory does not end on the floor";
      const Layers winnerDone = Snapshot();

      Step(40);  // the loser's show and a long wait after it
      ASSERT_EQ(g.st.subStep(), result::kWait);
      const Rect loser = g.gfx.placeRect;
      const Rect mark =
          Rect::XYWH(player2Wins ? kMarkXPlayer2 : kMarkXPlayer1, kMarkY, kMarkW, kMarkH);
      std::string first;
      EXPECT_EQ(Changed(winnerDone, Snapshot(), {loser, mark}, &first), 0)
          << "the loser's show changed the stage outside its own place, first at " << first;
      EXPECT_GT(Changed(winnerDone, Snapshot(), {mark}, &first), 0) << "the loser never appeared";
      EXPECT_EQ(g.motion.posY, 0) << "the loser does not stand on the floor";

      // Once drawn, the loser holds still: nothing builds up over the wait.
      const Layers settled = Snapshot();
      Step(12);
      EXPECT_EQ(Changed(settled, Snapshot(), {mark}, &first), 0) << "the stage moved at " << first;
    }
}

// ---- Stage openings ----

struct StageOpenings : FlowSceneFixture {};

TEST_F(StageOpenings, EveryOpeningRoutinePicksItsOwnPictureBackdropBeforeItsFirstPicture) {
  const ActionData& a = g.actions;
  const int numbered = (PaletteColour(g, -1, 0) >> 8) & 0xFF;  // X0.bmp, X1.bmp ...
  ASSERT_GT(numbered, 0);
  std::set<int> chosen;
  std::set<int> rows;
  for (int t = 1; t <= 4; ++t)
    for (int h = 5; h <= 6; ++h)
      for (int s = 1; s <= 4; ++s) {
        const int code = t * 1000 + h * 100 + s * 10 + 7;
        const int row = a.codeToRow[static_cast<size_t>(code)];
        ASSERT_GT(row, 0) << code;
        int backdrop = -1;
        for (int i = a.actionRows[static_cast<size_t>(row)].motionStart;; ++i) {
          const int v = a.motionStream[static_cast<size_t>(i)];
          if (v >= 0 || v == -1) break;  // the first picture, or the end
          const int op = -v % 100, arg = -v / 100;
          if (op == 49 && ((arg >= 20 && arg <= 39) || (arg >= 40 && arg <= 59)))
            backdrop = arg % 10;
        }
        EXPECT_GE(backdrop, 0) << "opening " << code << " keeps the plain colour";
        EXPECT_LT(backdrop, numbered) << "opening " << code;
        if (rows.insert(row).second) chosen.insert(backdrop);
      }
  EXPECT_EQ(chosen.size(), rows.size()) << "two opening routines show the same backdrop";
}

TEST_F(StageOpenings, TheFirstDemonstrationOpensOnAPictureBackdrop) {
  Enter(scene::kDemoStart);
  for (int i = 0; i < 300 && g.st.sceneCode != scene::kDemoPlay; ++i) Step();
  ASSERT_EQ(g.st.sceneCode, scene::kDemoPlay);
  Step();
  EXPECT_GE(g.motion.backdrop.backdropNumber, 0);
  EXPECT_EQ(g.motion.backdrop.backdropKind, -1);
  // A picture, not one colour: the loaded sheet has more than one.
  const Surface& sheet = g.gfx.backdropSheet;
  std::set<uint32_t> colours;
  for (int y = 0; y < sheet.Height() && colours.size() < 3; y += 7)
    for (int x = 0; x < sheet.Width() && colours.size() < 3; x += 7)
      colours.insert(sheet.PixelColour(x, y));
  EXPECT_GE(colours.size(), 3u);
}

}  // namespace
}  // namespace kelvane
