// The music menu on the default data: items and the character, sources,
// tune stepping with a held key, previews, cancel and the way into a match.
#include "flow/music_menu.h"

#include <gtest/gtest.h>

#include <vector>

#include "graphics/atlas.h"
#include "music/music_state.h"
#include "platform/core/text_codec.h"
#include "tests/flow/flow_scene_fixture.h"

namespace kelvane {
namespace {

using test::FlowSceneFixture;
namespace vk = test::vk;

struct MusicMenuTest : FlowSceneFixture {
  // Into the menu and on to its waiting sub-step.
  void EnterMenu() {
    Enter(scene::kMusicMenu);
    StepUntilSub(music_menu::kWait, 10);
    ASSERT_EQ(g.st.subStep(), music_menu::kWait);
  }
  // A confirm key pressed and released on the current item.
  void Choose() {
    ASSERT_EQ(g.st.subStep(), music_menu::kWait);
    Press(vk::kReturn);
    Step();
    Release(vk::kReturn);
    Step();
  }
  void ChooseItem(int item) {
    g.musicMenu.menuItem = static_cast<int8_t>(item);
    Choose();
  }
  std::string Caption() { return tg.fakes.window.At(FormId::FM).caption; }
  HeadlessMedia& Media() { return tg.fakes.media; }
};

// ---- Sources ----

TEST_F(MusicMenuTest, SourceItemSkipsTheCdWithoutADriveLetter) {
  for (const char* drive : {"", "non CD", "D", "D:\\"}) {
    g.st.cdDriveName = drive;
    g.music.bgmSource = source::kStageTunes;
    EnterMenu();
    std::vector<int> seen;
    for (int i = 0; i < 3; ++i) {
      ChooseItem(music_menu::kItemSource);
      seen.push_back(g.music.bgmSource);
    }
    EXPECT_EQ(seen, (std::vector<int>{-1, 0, -1})) << "drive \"" << drive << "\"";
  }
}

TEST_F(MusicMenuTest, SourceItemVisitsTheCdWithADriveLetter) {
  g.st.cdDriveName = "D:";
  g.music.bgmSource = source::kStageTunes;
  EnterMenu();
  std::vector<int> seen;
  for (int i = 0; i < 4; ++i) {
    ChooseItem(music_menu::kItemSource);
    seen.push_back(g.music.bgmSource);
  }
  EXPECT_EQ(seen, (std::vector<int>{1, -1, 0, 1}));
  EXPECT_EQ(g.music.cdPollCount, 1);
}

TEST_F(MusicMenuTest, ChangingTheSourceStopsAPreview) {
  EnterMenu();
  ChooseItem(music_menu::kItemPreview);
  ASSERT_TRUE(Media().playing);
  ChooseItem(music_menu::kItemSource);
  EXPECT_FALSE(Media().isOpen);
  EXPECT_EQ(g.music.previewState, 0);
}

// ---- Stepping the tunes ----

TEST_F(MusicMenuTest, HeldConfirmOnNextTuneRepeatsEveryThirdFrameFromTheEighth) {
  g.st.tuneCount = 9;
  g.music.tuneNumber() = 1;
  EnterMenu();
  g.musicMenu.menuItem = music_menu::kItemNext;
  Press(vk::kReturn);
  std::vector<int> tune;
  for (int frame = 0; frame < 16; ++frame) {
    Step();
    tune.push_back(g.music.tuneNumber());
  }
  // The press advances at once, then frames 8, 11 and 14.
  EXPECT_EQ(tune, (std::vector<int>{2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5}));
  EXPECT_FALSE(Media().isOpen) << "no preview was running, so none starts";
  Release(vk::kReturn);
  Step();
  EXPECT_EQ(g.st.subStep(), music_menu::kWait);
  EXPECT_EQ(g.music.tuneNumber(), 5);
  EXPECT_FALSE(Media().isOpen);
}

TEST_F(MusicMenuTest, HeldPreviousTuneWrapsAndARunningPreviewRestartsOnlyOnRelease) {
  g.st.tuneCount = 7;
  g.music.tuneNumber() = 2;
  EnterMenu();
  ChooseItem(music_menu::kItemPreview);
  ASSERT_TRUE(Media().playing);
  ASSERT_EQ(Media().file, g.st.dataFolder + "Z02.mid");

  g.musicMenu.menuItem = music_menu::kItemPrevious;
  Press(vk::kReturn);
  Step(9);  // the press and the first repeat
  EXPECT_EQ(g.music.tuneNumber(), 7) << "2 -> 1 -> wraps to the count";
  EXPECT_EQ(Media().file, g.st.dataFolder + "Z02.mid") << "the preview keeps its tune while held";
  Release(vk::kReturn);
  Step(2);
  EXPECT_TRUE(Media().playing);
  EXPECT_EQ(Media().file, g.st.dataFolder + "Z07.mid");
}

TEST_F(MusicMenuTest, SteppingWithoutTunesChangesNothingAndSaysSo) {
  g.st.tuneCount = 1;
  g.music.tuneNumber() = 1;
  EnterMenu();
  g.musicMenu.menuItem = music_menu::kItemNext;
  Press(vk::kReturn);
  Step();
  EXPECT_EQ(tg.fakes.sound.last, g.st.dataFolder + "Y_q52.wav");
  EXPECT_EQ(g.music.tuneNumber(), 1);
  Release(vk::kReturn);
  Step();

  g.music.bgmSource = source::kPlayList;  // empty play list: index 0
  ChooseItem(music_menu::kItemPreview);
  EXPECT_FALSE(Media().isOpen);
  EXPECT_EQ(g.music.previewState, 0);
}

// ---- Previews ----

TEST_F(MusicMenuTest, PreviewNamesTheTuneAndNeverArmsTheEndTimer) {
  g.music.tuneNumber() = 3;
  EnterMenu();
  ChooseItem(music_menu::kItemPreview);
  EXPECT_TRUE(Media().playing);
  EXPECT_EQ(Media().file, g.st.dataFolder + "Z03.mid");
  EXPECT_EQ(SjisToUtf8(Caption()), "♪[ Z03.mid ]  3min.05sec.");
  EXPECT_EQ(g.st.bgmLength, 0);
  // Long past the tune's length nothing ends: the menu still waits.
  for (int i = 0; i < 50; ++i) {
    tg.fakes.clock.now += 10000;
    g.st.lastInputTick = tg.fakes.clock.now;  // someone is there: no idle time-out
    Timer1Timer(g);
  }
  EXPECT_EQ(g.st.sceneCode, scene::kMusicMenu);
  EXPECT_EQ(g.st.bgmLength, 0);
  EXPECT_TRUE(Media().playing);

  ChooseItem(music_menu::kItemStop);
  EXPECT_FALSE(Media().isOpen);
  EXPECT_EQ(SjisToUtf8(Caption()), "Kelvane");
  EXPECT_EQ(g.music.previewState, 0);
}

TEST_F(MusicMenuTest, LampBlinksWhileAPreviewPlays) {
  EnterMenu();
  const Surface& sheet = g.gfx.mainSheets[0];
  const Rect on = atlas::At(atlas::RegionId::kMusicLampOn);
  const Rect off = atlas::At(atlas::RegionId::kMusicLampOff);
  const uint32_t onColour = sheet.PixelColour(on.left, on.top);
  const uint32_t offColour = sheet.PixelColour(off.left, off.top);
  ASSERT_NE(onColour, offColour);
  auto lamp = [&] { return g.gfx.spriteLayer.PixelColour(227, 65); };
  EXPECT_EQ(lamp(), offColour);

  // The release frame lights it and starts the tune.
  ChooseItem(music_menu::kItemPreview);
  EXPECT_EQ(lamp(), onColour);
  EXPECT_TRUE(Media().playing);
  std::vector<uint32_t> seen;
  std::vector<int> states;
  for (int i = 0; i < 4; ++i) {
    Step();
    seen.push_back(lamp());
    states.push_back(g.music.previewState);
  }
  EXPECT_EQ(seen, (std::vector<uint32_t>{offColour, onColour, offColour, onColour}));
  EXPECT_EQ(states, (std::vector<int>{1, 2, 1, 2}));
}

TEST_F(MusicMenuTest, CancelReplacesAPreviewWithTheMenuTuneInTheSameFrame) {
  EnterMenu();
  ChooseItem(music_menu::kItemPreview);
  ASSERT_TRUE(Media().playing);
  Press(vk::kN);
  Step();
  EXPECT_EQ(g.st.sceneCode, scene::kModeMenu);
  EXPECT_EQ(g.st.subStep(), 0);
  EXPECT_EQ(Media().file, g.st.dataFolder + "Zz.mid");
  EXPECT_TRUE(Media().playing);
  EXPECT_EQ(g.st.bgmLoop, 1);
  EXPECT_EQ(g.st.bgmLength, static_cast<int32_t>(test::kTuneMs));
}

TEST_F(MusicMenuTest, ThePanelAndAHeldItemStayUnderTheCharacter) {
  EnterMenu();
  Step(20);  // the character's pictures clear the layers every frame
  const Surface& sheet = g.gfx.mainSheets[0];
  const Surface& mask = g.gfx.mainSheets[3];
  auto shows = [&](const Rect& cell, int x, int y) {
    for (int dy = 0; dy < cell.Height(); ++dy)
      for (int dx = 0; dx < cell.Width(); ++dx)
        if (mask.RawPixel(cell.left + dx, cell.top + dy) == 0 &&
            g.gfx.spriteLayer.PixelColour(x + dx, y + dy) !=
                sheet.PixelColour(cell.left + dx, cell.top + dy))
          return false;
    return true;
  };
  EXPECT_TRUE(shows(atlas::At(atlas::RegionId::kMusicPanel), 200, 62));
  g.musicMenu.menuItem = music_menu::kItemStop;
  Press(vk::kReturn);
  Step(5);
  EXPECT_TRUE(shows(atlas::MusicPressedItemCell(music_menu::kItemStop), 232 + 24 * 4, 62));
  Release(vk::kReturn);
  Step(3);
  EXPECT_TRUE(shows(atlas::At(atlas::RegionId::kMusicPanel), 200, 62));
}

// ---- The character ----

TEST_F(MusicMenuTest, LeftAndRightWalkUnderTheItemsAndWrap) {
  EnterMenu();
  ASSERT_EQ(g.musicMenu.menuItem, 0);
  Tap(vk::kLeft);
  EXPECT_EQ(g.musicMenu.menuItem, 5);
  EXPECT_EQ(g.motion.posX, 68 + 24 * 5);
  EXPECT_EQ(g.motion.facesRight, 0);
  EXPECT_EQ(g.st.subStep(), music_menu::kRedraw);
  Step();
  EXPECT_EQ(g.st.subStep(), music_menu::kWait);
  Tap(vk::kRight);
  EXPECT_EQ(g.musicMenu.menuItem, 0);
  EXPECT_EQ(g.motion.posX, 68);
  EXPECT_EQ(g.motion.facesRight, 1);
  // Keys only count while the menu waits.
  Tap(vk::kRight);
  EXPECT_EQ(g.musicMenu.menuItem, 0);
}

TEST_F(MusicMenuTest, UpAndDownChooseAnIdleActionWithinTheIdleRowsAndStoreIt) {
  const int first = FirstIdleRow(g), last = LastIdleRow(g);
  ASSERT_LT(first, last) << "the default data has several idle actions";
  g.st.musicMenuAction = 0;
  EnterMenu();
  EXPECT_EQ(g.musicMenu.idleRow, last);
  Tap(vk::kDown);
  EXPECT_EQ(g.musicMenu.idleRow, first) << "past the base row wraps to the first idle row";
  EXPECT_EQ(g.motion.currentRow, first);
  EXPECT_EQ(g.st.musicMenuAction, last - first);
  Step();
  Tap(vk::kUp);
  EXPECT_EQ(g.musicMenu.idleRow, last);
  EXPECT_EQ(g.st.musicMenuAction, 0);
}

TEST_F(MusicMenuTest, TheChosenIdleActionKeepsComingBackAfterItEnds) {
  g.st.musicMenuAction = 2;
  EnterMenu();
  const int row = LastIdleRow(g) - 2;
  bool sawRow = false, sawOther = false;
  int backAgain = 0;
  int previous = g.motion.currentRow;
  for (int i = 0; i < 64; ++i) {
    Step();
    const int now = g.motion.currentRow;
    sawRow |= now == row;
    sawOther |= now != row;
    if (now == row && previous != row) ++backAgain;
    previous = now;
  }
  EXPECT_TRUE(sawRow);
  EXPECT_TRUE(sawOther) << "the idle action ends between its repeats";
  EXPECT_GE(backAgain, 3);
  EXPECT_EQ(g.st.sceneCode, scene::kMusicMenu);
}

TEST_F(MusicMenuTest, AStoredIdleActionOutsideTheRowsFallsBackToTheBaseRow) {
  g.st.musicMenuAction = 200;
  g.st.musicMenuFacing = 7;
  EnterMenu();
  EXPECT_EQ(g.musicMenu.idleRow, LastIdleRow(g));
  EXPECT_EQ(g.motion.facesRight, 0);
}

TEST_F(MusicMenuTest, APendingLandingFromTheLastStageNeverTurnsIntoAFall) {
  g.cmd.landingKey = 3;
  g.cmd.commandCode = 12;
  const int32_t score = g.cmd.scoreSlots[1];
  EnterMenu();
  Step(40);
  EXPECT_EQ(g.cmd.landingKey, 0);
  EXPECT_EQ(g.cmd.scoreSlots[1], score);
  EXPECT_NE(g.motion.currentRow, g.actions.codeToRow[1315]);
}

// ---- Leaving ----

TEST_F(MusicMenuTest, StartingTheMatchStopsThePreviewAndStoresThePose) {
  EnterMenu();
  ChooseItem(music_menu::kItemPreview);
  ASSERT_TRUE(Media().playing);
  Tap(vk::kDown);  // an idle action other than the base row
  Step();
  g.musicMenu.menuItem = 0;
  Tap(vk::kLeft);  // item 5, facing left
  Step();
  Tap(vk::kRight);  // item 0, facing right
  Step();
  g.result.courseMatch = 0;
  g.result.slotOfTurn = {3, -4};
  Choose();
  EXPECT_FALSE(Media().isOpen);
  EXPECT_EQ(g.result.courseMatch, 1);
  EXPECT_EQ(g.result.slotOfTurn, (std::array<int8_t, 2>{0, 0}));
  EXPECT_EQ(g.st.subStep(), music_menu::kLeaving);
  Step(9);
  EXPECT_EQ(g.st.sceneCode, scene::kMusicMenu);
  Step();
  EXPECT_EQ(g.st.sceneCode, scene::kStageStart1);
  EXPECT_EQ(g.st.subStep(), 0);
  EXPECT_EQ(g.st.musicMenuFacing, 1);
  EXPECT_EQ(g.st.musicMenuAction, LastIdleRow(g) - FirstIdleRow(g));
}

}  // namespace
}  // namespace kelvane
