#include "gameplay/keyboard.h"

#include <gtest/gtest.h>

#include "flow/stage_cycle.h"
#include "gameplay/key_groups.h"
#include "gameplay/release_keys.h"
#include "gameplay/snapshot_album.h"
#include "graphics/bmp_file.h"
#include "tests/gameplay/keys_fixture.h"

namespace kelvane {
namespace {

constexpr int kUp = 38, kLeft = 37, kY = 89, kN = 78, kK = 75;
constexpr ShiftState kNone{};
constexpr ShiftState kShift{true, false};
constexpr ShiftState kAlt{false, true};

struct KeyboardTest : test::KeysFixture {
  KeyboardTest() { g.st.dataFolder = test::MakeTempDir("keyboard"); }

  void Press(int vk, ShiftState shift = kNone) { FormKeyDown(g, FormId::FM, vk, shift); }
  void Release(int vk, ShiftState shift = kNone) { FormKeyUp(g, FormId::FM, vk, shift); }
  void Tap(int vk, ShiftState shift = kNone) {
    Press(vk, shift);
    Release(vk, shift);
  }
  void EnterScene(int8_t scene, int16_t sub) {
    g.st.sceneCode = scene;
    ResetSceneCounters(g.st);
    g.st.subStep() = sub;
  }
  int16_t Sub() const { return g.st.subStep(); }
  int16_t Latch() { return KeyLatch(g.st); }
  void ForgetSound() { tg->fakes.sound.last.clear(); }
};

// ---- Common entry ----

TEST_F(KeyboardTest, KeysAreDroppedWhileHalted) {
  EnterScene(scene::kPlay1, -1);
  g.st.playMode = 2;
  g.st.halted = 1;
  tg->fakes.clock.now = 700;
  Tap(kUp);
  Release(keys::kHome);
  EXPECT_EQ(c.commandCode, 0);
  EXPECT_EQ(g.stage.alwaysOfferSave, 0);
  EXPECT_EQ(g.st.lastInputTick, 0u);
}

TEST_F(KeyboardTest, EveryKeyStampsTheInputTime) {
  EnterScene(scene::kOpening, 0);
  tg->fakes.clock.now = 5000;
  Press(kK);
  EXPECT_EQ(g.st.lastInputTick, 5000u);
  EXPECT_EQ(g.st.mouseLevel, 2);

  // Another window in front: the time is taken, the mouse level is not.
  g.st.mouseLevel = 0;
  tg->fakes.window.active = FormId::keyFM;
  tg->fakes.clock.now = 6000;
  Release(kK);
  EXPECT_EQ(g.st.lastInputTick, 6000u);
  EXPECT_EQ(g.st.mouseLevel, 0);
}

// ---- Play ----

TEST_F(KeyboardTest, OnlyAHumanTurnTypesInPlay) {
  EnterScene(scene::kPlay2, -1);
  g.st.playMode = 2;
  Press(kUp);
  EXPECT_EQ(c.commandCode, 1000);

  g.stage.replayMode = 1;
  Press(kUp);
  EXPECT_EQ(c.commandCode, 1000);

  g.stage.replayMode = 0;
  g.st.playMode = 1;
  Press(kUp);
  EXPECT_EQ(c.commandCode, 1000);
}

struct PlayKeysTest : KeyboardTest {
  PlayKeysTest() {
    EnterScene(scene::kDemoPlay, -1);
    g.st.playMode = 5;
    tg->fakes.clock.now = 1000;
    g.st.bgmEndTick = 1000 + 12345;
    g.st.bgmLength = 20000;
  }
};

TEST_F(PlayKeysTest, EndingAWatchedSongEarlyEarnsTheTimeLeft) {
  g.stage.matchRule = 1;
  c.scoreLock = 3;
  Release(keys::kReturn);
  EXPECT_EQ(c.scoreLock, 0);
  EXPECT_EQ(c.scoreSlots[1], 123 * 3);
  EXPECT_EQ(g.st.sceneCode, scene::kOpening);  // the demonstration wraps to 0
}

TEST_F(PlayKeysTest, TheBonusFollowsTheMatchRule) {
  EXPECT_EQ(EarlyEndBonus(12345, 1), 369);
  EXPECT_EQ(EarlyEndBonus(12345, 2), 123);
  EXPECT_EQ(EarlyEndBonus(12345, 3), 1230);
  EXPECT_EQ(EarlyEndBonus(99, 3), 0);
}

TEST_F(PlayKeysTest, ShiftOrAHumanTurnEndsWithoutBonus) {
  Release(keys::kEnd, kShift);
  EXPECT_EQ(c.scoreSlots[1], 0);
  EXPECT_EQ(g.st.sceneCode, scene::kOpening);

  EnterScene(scene::kPlay1, -1);
  g.st.playMode = 2;
  Release(keys::kPause);
  EXPECT_EQ(c.scoreSlots[1], 0);
  EXPECT_EQ(g.st.sceneCode, scene::kSaveSlot);  // a human turn offers its record
  EXPECT_EQ(g.st.prevScene, static_cast<uint8_t>(scene::kPlay1));
}

TEST_F(PlayKeysTest, ASongThatIsOverEarnsNothing) {
  tg->fakes.clock.now = g.st.bgmEndTick + 5;
  Release(keys::kSpace);
  EXPECT_EQ(c.scoreSlots[1], 0);
  EXPECT_EQ(g.st.sceneCode, scene::kOpening);
}

TEST_F(PlayKeysTest, PlayKeysWaitForTheSong) {
  g.st.subStep() = 0;
  Release(keys::kReturn);
  Release(keys::kC);
  EXPECT_EQ(g.st.sceneCode, scene::kDemoPlay);
  EXPECT_EQ(c.playColour, 0);
}

TEST_F(PlayKeysTest, TheColourKeyWrapsOverTheSchemes) {
  g.st.colourMax = 2;
  c.playColour = 2;
  Release(keys::kC);
  EXPECT_EQ(c.playColour, 0);
  Release(keys::kC, kAlt);
  EXPECT_EQ(c.playColour, 2);
  Release(keys::kC, kShift);
  EXPECT_EQ(c.playColour, 1);
}

TEST_F(PlayKeysTest, TheZoomKeys) {
  g.st.windowSizeFlag = 1;
  g.stage.zoomCountdown = 10;
  Release(keys::kS);
  EXPECT_EQ(g.stage.zoomCountdown, -1);
  EXPECT_EQ(LastSound(), 31);

  const uint8_t zoom = g.st.zoomFlag;
  Release(keys::kS);
  EXPECT_NE(g.st.zoomFlag, zoom);
  EXPECT_EQ(LastSound(), 32);
  if (g.st.zoomFlag) {
    EXPECT_EQ(g.stage.zoomCountdown % 2, 0);
    EXPECT_GE(g.stage.zoomCountdown, 2 * kZoomLowest);
    EXPECT_LT(g.stage.zoomCountdown, 2 * kZoomUpper);
  }

  Release(keys::kD);
  EXPECT_EQ(g.st.zoomFlag, zoom);
  EXPECT_EQ(g.stage.zoomCountdown, kZoomUpper);

  // In the small window D switches to the large one and S does nothing.
  g.st.windowSizeFlag = 0;
  g.stage.zoomCountdown = -1;
  Release(keys::kS);
  EXPECT_EQ(g.stage.zoomCountdown, -1);
  Release(keys::kD);
  EXPECT_EQ(g.st.windowSizeFlag, 1);
}

TEST_F(PlayKeysTest, TheTuneKeyStepsOnlyInContinuousPlay) {
  g.st.tuneCount = 3;
  g.music.tuneNumber() = 3;
  Release(keys::kM);
  EXPECT_EQ(g.music.tuneNumber(), 3);

  g.st.playMode = 6;
  Release(keys::kM);
  EXPECT_EQ(g.music.tuneNumber(), 1);
  EXPECT_NE(g.st.bgmLength, 0);  // the next tune (here silence) is timed
  Release(keys::kM, kShift);
  EXPECT_EQ(g.music.tuneNumber(), 3);
}

// ---- Global keys ----

TEST_F(KeyboardTest, PageUpAndDownWalkTheBackdrops) {
  // Three files (0..2) and two plain colours (-2, -1).
  EXPECT_EQ(NextBackdropNumber(1, 1, false, 3, 2), 2);
  EXPECT_EQ(NextBackdropNumber(2, 1, false, 3, 2), 0);
  EXPECT_EQ(NextBackdropNumber(-2, 1, false, 3, 2), 0);
  EXPECT_EQ(NextBackdropNumber(2, 1, true, 3, 2), -2);
  EXPECT_EQ(NextBackdropNumber(-2, 1, true, 3, 2), -1);
  EXPECT_EQ(NextBackdropNumber(-1, 1, true, 3, 2), 0);

  EXPECT_EQ(NextBackdropNumber(0, -1, false, 3, 2), 2);
  EXPECT_EQ(NextBackdropNumber(7, -1, false, 3, 2), 0);
  EXPECT_EQ(NextBackdropNumber(0, -1, true, 3, 2), -1);
  EXPECT_EQ(NextBackdropNumber(-2, -1, true, 3, 2), 2);

  // Through the key: the counts come from the backdrop palette's first entry.
  g.palettes.paletteColours[0][0] = {2, 3, 0};
  EnterScene(scene::kModeMenu, 0);
  g.motion.backdrop.backdropNumber = 2;
  g.motion.backdrop.backdropKind = 0;
  Release(keys::kPageUp);
  EXPECT_EQ(g.motion.backdrop.backdropNumber, 0);
  EXPECT_EQ(g.motion.backdrop.backdropKind, -1);  // loaded
  Release(keys::kPageDown, kShift);
  EXPECT_EQ(g.motion.backdrop.backdropNumber, -1);
  Release(keys::kPageDown, kShift);
  Release(keys::kPageDown, kShift);
  EXPECT_EQ(g.motion.backdrop.backdropNumber, 2);
}

TEST_F(KeyboardTest, TheBackdropSpeedStaysWithinOneToNine) {
  int8_t& ticks = g.gfx.backdropTicksPerFrame;
  ticks = 2;
  Release(keys::kV);
  Release(keys::kV);
  EXPECT_EQ(ticks, 1);
  ticks = 8;
  Release(keys::kV, kShift);
  Release(keys::kV, kAlt);
  EXPECT_EQ(ticks, 9);
}

TEST_F(KeyboardTest, HomeAndCtrlToggleTheirOptions) {
  Release(keys::kHome);
  EXPECT_EQ(g.stage.alwaysOfferSave, 1);
  EXPECT_EQ(LastSound(), 71);
  Release(keys::kHome);
  EXPECT_EQ(g.stage.alwaysOfferSave, 0);
  EXPECT_EQ(LastSound(), 51);

  g.st.idlePump = 1;
  Release(keys::kCtrl);
  EXPECT_EQ(g.st.idlePump, 0);
  EXPECT_FALSE(tg->fakes.app.idleHooked);
}

TEST_F(KeyboardTest, F1ShowsTheCommandListAndTheDefaultBackdrop) {
  auto& list = tg->fakes.window.At(FormId::keyFM);
  g.motion.backdrop.backdropKind = -1;
  Release(keys::kF1, kShift);
  EXPECT_EQ(g.motion.backdrop.backdropKind, 0);
  EXPECT_FALSE(list.visible);

  g.motion.backdrop.backdropKind = -1;
  g.st.windowSizeFlag = 1;
  tg->fakes.window.screen = {640, 480};
  Release(keys::kF1, kAlt);
  EXPECT_EQ(g.motion.backdrop.backdropKind, -1);
  EXPECT_TRUE(list.visible);
  EXPECT_TRUE(list.stayOnTop);  // the large window fills a small screen

  tg->fakes.window.screen = {1920, 1080};
  Release(keys::kF1);
  EXPECT_FALSE(list.stayOnTop);
}

// ---- Stage start ----

TEST_F(KeyboardTest, TheHumanTypesAndConfirmsTheOpeningCommand) {
  EnterScene(scene::kStageStart1, 100);
  g.st.playMode = 2;
  Press(kUp);
  Press(keys::kReturn);
  EXPECT_EQ(c.commandCode, 1000);
  EXPECT_EQ(Latch(), -1);
  EXPECT_EQ(LastSound(), 40);
  ForgetSound();
  Press(keys::kSpace);  // already confirmed
  EXPECT_EQ(LastSound(), -1);
  Release(keys::kSpace);
  EXPECT_EQ(Sub(), 113);
}

TEST_F(KeyboardTest, ReleasingBeforeConfirmingDoesNothing) {
  EnterScene(scene::kStageStart2, 100);
  Release(keys::kReturn);
  EXPECT_EQ(Sub(), 100);
}

TEST_F(KeyboardTest, TheDemonstrationSwitchesModeOrIsSkipped) {
  EnterScene(scene::kDemoStart, 115);
  g.st.playMode = 5;
  Press(kLeft);
  EXPECT_EQ(g.st.playMode, 6);
  EXPECT_EQ(Latch(), -1);
  EXPECT_EQ(Sub(), 101);
  EXPECT_EQ(LastSound(), 28);

  g.st.subStep() = 130;
  Press(keys::kSpace);
  EXPECT_EQ(Latch(), -2);
  EXPECT_EQ(Sub(), 122);

  // Once skipped, the mode stays.
  Press(kN);
  EXPECT_EQ(g.st.playMode, 6);
  EXPECT_EQ(Sub(), 122);
}

TEST_F(KeyboardTest, TheComputerTurnIgnoresTheSwitchKeys) {
  EnterScene(scene::kStageStart1, 115);
  g.st.playMode = 1;
  Press(kLeft);
  Press(keys::kReturn);
  EXPECT_EQ(g.st.playMode, 1);
  EXPECT_EQ(Sub(), 115);
  EXPECT_EQ(c.commandCode, 0);
}

TEST_F(KeyboardTest, MenuKeysOpenTheLoadSceneWhileAStageStartWaits) {
  constexpr int kShiftKey = 16, kAltKey = 18, kApps = 93;
  struct Case {
    int8_t scene;
    int16_t sub;
    uint8_t mode;
    int vk;
    bool opens;
  };
  const Case cases[] = {
      {scene::kStageStart1, 100, 2, kShiftKey, true},
      {scene::kStageStart2, 99, 2, kAltKey, true},
      {scene::kStageStart1, 120, 1, kApps, true},
      {scene::kDemoStart, 130, 5, kShiftKey, true},
      {scene::kStageStart1, 98, 2, kShiftKey, false},
      {scene::kStageStart1, 135, 1, kShiftKey, false},
      {scene::kExitQuestion, 200, 4, kShiftKey, false},
      {scene::kStageStart1, 120, 2, kShiftKey, false},
  };
  for (const Case& c : cases) {
    EnterScene(c.scene, c.sub);
    g.st.playMode = c.mode;
    ForgetSound();
    Press(c.vk);
    if (c.opens) {
      EXPECT_EQ(g.st.sceneCode, scene::kLoadSlot) << int(c.scene) << " " << c.sub;
      EXPECT_EQ(g.st.prevScene, static_cast<uint8_t>(c.scene));
      EXPECT_EQ(Sub(), 0);
      EXPECT_EQ(tg->fakes.sound.last, g.st.dataFolder + "Y_q71.wav");
    } else {
      EXPECT_EQ(g.st.sceneCode, c.scene) << int(c.scene) << " " << c.sub;
    }
  }
}

TEST_F(KeyboardTest, TheExitQuestion) {
  EnterScene(scene::kExitQuestion, 200);
  Release(kY);  // not confirmed by a press yet
  EXPECT_EQ(Sub(), 200);
  Release(keys::kShift);  // a passive key
  EXPECT_EQ(Sub(), 200);
  Press(kY);
  EXPECT_EQ(Latch(), -1);
  EXPECT_EQ(LastSound(), 21);
  Release(kY);
  EXPECT_EQ(Sub(), 250);

  EnterScene(scene::kExitQuestion, 200);
  Release(kK);
  EXPECT_EQ(Sub(), 201);
}

// ---- The other scenes ----

TEST_F(KeyboardTest, TheOpeningIsLeftByAnyKey) {
  EnterScene(scene::kOpeningLogo, 5);
  Press(keys::kShift);
  EXPECT_EQ(Sub(), 5);
  Press(kN);
  EXPECT_EQ(Sub(), 10);
  EXPECT_EQ(LastSound(), 61);
  EnterScene(scene::kOpeningLogo, 14);
  Press(kUp);
  EXPECT_EQ(Sub(), 14);
  EnterScene(scene::kOpeningLogo, 15);
  Press(kK);
  EXPECT_EQ(Sub(), 12);
  EXPECT_EQ(LastSound(), 40);
  EnterScene(scene::kOpeningLogo, 11);  // not listening
  Press(kK);
  EXPECT_EQ(Sub(), 11);
}

TEST_F(KeyboardTest, TheOpeningsColourKeyStartsItAgain) {
  g.st.colourMax = 1;
  g.st.colourIndex = 1;
  EnterScene(scene::kOpeningLogo, 3);
  Press(keys::kC);
  EXPECT_EQ(g.st.colourIndex, 0);
  EXPECT_EQ(g.st.sceneCode, scene::kOpening);
  EXPECT_EQ(Sub(), 1);
  EXPECT_EQ(LastSound(), 32);
}

TEST_F(KeyboardTest, TheModeMenuKeys) {
  EnterScene(scene::kModeMenu, 40);
  Press(kY);
  EXPECT_EQ(Sub(), 100);
  g.st.subStep() = 40;
  Press(kN);
  EXPECT_EQ(Sub(), 200);

  g.st.subStep() = 40;
  g.st.menuPose = 5;
  Press(kUp);  // the pose toggles
  EXPECT_EQ(g.st.menuPose, 0);
  EXPECT_EQ(Sub(), 25);
  g.st.subStep() = 90;
  Press(39, kAlt);  // Alt+Right: pose up
  EXPECT_EQ(g.st.menuPose, 1);

  g.st.subStep() = 30;  // still sliding in
  Press(kY);
  EXPECT_EQ(Sub(), 30);

  g.st.subStep() = 251;
  Press(keys::kTab);
  EXPECT_EQ(Sub(), 251);
  Press(kK);
  EXPECT_EQ(Sub(), 0);
}

TEST_F(KeyboardTest, MenuCursorAndPoseRules) {
  EXPECT_EQ(menu::CursorLeft(1), 3);
  EXPECT_EQ(menu::CursorLeft(3), 2);
  EXPECT_EQ(menu::CursorRight(3), 1);
  EXPECT_EQ(menu::PoseUp(5), 0);
  EXPECT_EQ(menu::PoseUp(4), 4);
  EXPECT_EQ(menu::PoseDown(0), 0);
  EXPECT_EQ(menu::PoseDown(5), 0);
  EXPECT_EQ(menu::PoseToggle(3), 5);
  // A stale colour out of range comes back in.
  EXPECT_EQ(menu::StepColour(5, 2, false), 0);
  EXPECT_EQ(menu::StepColour(5, 2, true), 2);
  EXPECT_EQ(menu::StepColour(0, 2, true), 2);
}

TEST_F(KeyboardTest, TheMusicMenuKeys) {
  EnterScene(scene::kMusicMenu, 10);
  g.st.colourMax = 2;
  g.st.colourIndex = 2;
  Press(keys::kC);
  EXPECT_EQ(g.st.colourIndex, 0);
  EXPECT_EQ(c.playColour, 0);
  Press(keys::kC, kShift);
  EXPECT_EQ(c.playColour, 2);

  Press(kY);
  EXPECT_EQ(Sub(), 100);
  Release(kY);
  EXPECT_EQ(Sub(), 110);
  g.st.subStep() = 10;
  Press(kN);
  EXPECT_EQ(Sub(), 600);
}

TEST_F(KeyboardTest, TheMatchResultKeys) {
  EnterScene(scene::kMatchResult, 300);
  Press(kLeft);  // a wide passive key
  EXPECT_EQ(Sub(), 300);
  Press(keys::kSpace);
  EXPECT_EQ(Sub(), 301);
  g.st.subStep() = 300;
  Press(kN);
  EXPECT_EQ(Sub(), 500);
  g.st.subStep() = 400;
  Press(kY);
  EXPECT_EQ(Sub(), 500);
}

// ---- Snapshot album ----

struct AlbumTest : KeyboardTest {
  AlbumTest() {
    CreateStageSurfaces(g);
    EnterScene(scene::kModeMenu, 0);
  }
  static uint32_t FramePixel(int frame, int x, int y) {
    return static_cast<uint32_t>(((frame + 1) * 40) << 16 | (x & 0xFF) << 8 | (y & 0xFF));
  }
  void PaintFrames(int n) {
    Surface& strip = g.gfx.snapshotStrip;
    for (int f = 0; f < n; ++f)
      for (int y = 0; y < geo::kSnapshotH; ++y)
        for (int x = 0; x < geo::kSnapshotW; ++x)
          strip.SetRawPixel(x, f * geo::kSnapshotH + y, FramePixel(f, x, y));
  }
  bool StripHolds(int n) const {
    const Surface& strip = g.gfx.snapshotStrip;
    for (int f = 0; f < n; ++f)
      for (int y = 0; y < geo::kSnapshotH; ++y)
        for (int x = 0; x < geo::kSnapshotW; ++x)
          if (strip.RawPixel(x, f * geo::kSnapshotH + y) != FramePixel(f, x, y)) return false;
    return true;
  }
  std::string File(int digit) const { return AlbumFileName(g, digit); }
};

TEST_F(AlbumTest, SavedAlbumsComeBack) {
  PaintFrames(3);
  g.album.albumLast = 2;
  g.gfx.albumShown = 1;
  Release('3');
  EXPECT_EQ(LastSound(), 32);
  EXPECT_EQ(g.gfx.albumBadge, 16);
  Surface saved;
  ASSERT_EQ(LoadBmp(*g.pf.files, File(3), saved), "");
  EXPECT_EQ(saved.Width(), 148);
  EXPECT_EQ(saved.Height(), 3 * 108);

  CreateStageSurfaces(g);  // a blank strip
  g.album.albumLast = 0;
  g.gfx.albumShown = 0;
  g.gfx.albumFrame = 5;
  Release('3', kShift);
  EXPECT_TRUE(StripHolds(3));
  EXPECT_EQ(g.album.albumLast, 2);
  EXPECT_EQ(g.gfx.albumFrame, 0);
  EXPECT_EQ(g.gfx.albumShown, 1);
  EXPECT_EQ(g.gfx.albumBadge, 240);
  EXPECT_EQ(LastSound(), 31);
}

TEST_F(AlbumTest, NothingIsSavedWhileNoAlbumIsShown) {
  Release('4');
  EXPECT_FALSE(g.pf.files->Exists(File(4)));
}

TEST_F(AlbumTest, AMissingAlbumLoadsNothing) {
  g.gfx.albumFrame = 5;
  Release('5', kAlt);
  EXPECT_EQ(g.gfx.albumShown, 0);
  EXPECT_EQ(g.gfx.albumFrame, 5);
  EXPECT_EQ(LastSound(), -1);
}

TEST_F(AlbumTest, AnAlbumTallerThanTheStripStopsAtItsLastFrame) {
  g.gfx.albumCapacity = 2;
  CreateStageSurfaces(g);
  ASSERT_TRUE(SaveBmp(*g.pf.files, File(6), Surface(148, 5 * 108)));
  Release('6', kShift);
  EXPECT_EQ(g.album.albumLast, 1);
  EXPECT_EQ(g.gfx.albumShown, 1);
}

TEST_F(AlbumTest, DeleteHeldRemovesTheFile) {
  g.gfx.albumShown = 1;
  Release('7');
  ASSERT_TRUE(g.pf.files->Exists(File(7)));
  tg->fakes.keys.down[keys::kDelete] = true;
  Release('7');
  EXPECT_FALSE(g.pf.files->Exists(File(7)));
  EXPECT_EQ(LastSound(), 21);
  Release('7');
  EXPECT_EQ(LastSound(), 20);
}

TEST_F(AlbumTest, AFailedSaveIsNotReportedAsSaved) {
  g.st.dataFolder += "missing/";
  g.gfx.albumShown = 1;
  g.gfx.albumBadge = 0;
  Release('8');
  EXPECT_EQ(LastSound(), 20);
  EXPECT_EQ(g.gfx.albumBadge, 0);
}

TEST_F(AlbumTest, TheStageStartHasNoAlbumKeys) {
  EnterScene(scene::kStageStart1, 100);
  g.gfx.albumShown = 1;
  Release('2');
  EXPECT_FALSE(g.pf.files->Exists(File(2)));
}

}  // namespace
}  // namespace kelvane
