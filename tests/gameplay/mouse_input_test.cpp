// The mouse and the wheel: the swallowed first click, buttons as keys, the
// held button filling the album, the wheel in the menus and the album, the
// menu boxes under the pointer at both window sizes, and the pointer moved
// off an icon.
#include "gameplay/mouse_input.h"

#include <gtest/gtest.h>

#include "gameplay/keyboard.h"
#include "gameplay/snapshot_album.h"
#include "graphics/presentation.h"
#include "tests/gameplay/keys_fixture.h"

namespace kelvane {
namespace {

constexpr ShiftState kNone{};
constexpr ShiftState kShift{true, false};
constexpr ShiftState kAlt{false, true};
constexpr int kLeftKey = 37, kUpKey = 38, kRightKey = 39;

struct MouseTest : test::KeysFixture {
  HeadlessWindow& w = tg->fakes.window;

  MouseTest() {
    // The main window at (100, 50) without a frame, in front, mouse ready.
    w.SetBorderStyle(FormId::FM, BorderStyle::None);
    w.SetPosition(FormId::FM, {100, 50});
    w.SetClientSize(FormId::FM, {640, 480});
    w.SetVisible(FormId::FM, true);
    g.st.windowSizeFlag = 1;
    g.st.mouseLevel = 2;
  }

  void EnterScene(int8_t scene, int16_t sub) {
    g.st.sceneCode = scene;
    ResetSceneCounters(g.st);
    g.st.subStep() = sub;
  }
  // The pointer at a client position of the main window.
  void PointAt(Point client) {
    const Point o = w.ClientOrigin(FormId::FM);
    w.pointer = {o.x + client.x, o.y + client.y};
  }
  void Click(MouseButton b, Point at = {10, 10}, ShiftState s = kNone) {
    PointAt(at);
    FormMouseDown(g, b, s, at);
    FormMouseUp(g, b, s);
  }
  void Small() {
    g.st.windowSizeFlag = 0;
    w.SetClientSize(FormId::FM, {320, 240});
  }
};

// ---- Readiness and buttons as keys ----

TEST_F(MouseTest, TheFirstClickAfterComingBackIsOnlyHeard) {
  EnterScene(scene::kModeMenu, 40);
  g.st.mouseLevel = 0;  // the window was switched away from
  tg->fakes.clock.now = 1234;
  FormMouseDown(g, MouseButton::Left, kNone, {10, 10});
  EXPECT_EQ(LastSound(), 34);
  EXPECT_EQ(g.st.subStep(), 40);
  EXPECT_EQ(g.st.lastInputTick, 1234u);
  EXPECT_EQ(g.st.mouseLevel, 0);
  // Its release readies the mouse; the next click confirms.
  FormMouseUp(g, MouseButton::Left, kNone);
  EXPECT_EQ(g.st.mouseLevel, 2);
  FormMouseDown(g, MouseButton::Left, kNone, {10, 10});
  EXPECT_EQ(g.st.subStep(), 100);
}

TEST_F(MouseTest, MovesReadyTheMouseOnlyWhileTheWindowIsInFront) {
  g.st.mouseLevel = 0;
  tg->fakes.clock.now = 500;
  FormMouseMove(g);
  EXPECT_EQ(g.st.mouseLevel, 1);
  EXPECT_EQ(g.st.lastInputTick, 500u);
  FormMouseMove(g);
  FormMouseMove(g);
  EXPECT_EQ(g.st.mouseLevel, 2);
  g.st.mouseLevel = 0;
  w.active = FormId::None;
  tg->fakes.clock.now = 900;
  FormMouseMove(g);
  EXPECT_EQ(g.st.mouseLevel, 0);
  EXPECT_EQ(g.st.lastInputTick, 900u);
}

TEST_F(MouseTest, InTheModeMenuLeftIsYesRightIsNoMiddleIsSpace) {
  EnterScene(scene::kModeMenu, 40);
  Click(MouseButton::Left);
  EXPECT_EQ(g.st.subStep(), 100);
  EnterScene(scene::kModeMenu, 40);
  Click(MouseButton::Right);
  EXPECT_EQ(g.st.subStep(), 200);
  EnterScene(scene::kModeMenu, 40);
  Click(MouseButton::Middle);  // Space is an OK key
  EXPECT_EQ(g.st.subStep(), 100);
}

TEST_F(MouseTest, NothingWhileHalted) {
  EnterScene(scene::kModeMenu, 40);
  g.st.halted = 1;
  tg->fakes.clock.now = 800;
  Click(MouseButton::Left);
  FormMouseWheel(g, true, kNone, {10, 10});
  EXPECT_EQ(g.st.subStep(), 40);
  EXPECT_EQ(g.st.lastInputTick, 0u);
}

TEST_F(MouseTest, WithShiftTheMenusHoldTheButtonInsteadOfPressingAKey) {
  EnterScene(scene::kModeMenu, 40);
  PointAt({300, 200});
  FormMouseDown(g, MouseButton::Right, kShift, {300, 200});
  EXPECT_EQ(g.st.subStep(), 40);
  EXPECT_EQ(g.mouse.heldAction, HeldButton::kRight);
  EXPECT_EQ(g.mouse.buttonUp, 0);
  EXPECT_TRUE(g.mouse.heldShift.shift);
}

TEST_F(MouseTest, AStageStartTakesTheButtonsAsKeys) {
  // The exit question: a left click is an OK key.
  EnterScene(scene::kExitQuestion, 200);
  Click(MouseButton::Left);
  EXPECT_EQ(KeyLatch(g.st), -1);
  EXPECT_EQ(g.st.subStep(), 250);
}

// ---- The held button and the album ----

struct HeldButtonAlbumTest : MouseTest {
  Surfaces& s = g.gfx;
  HeldButtonAlbumTest() {
    s.albumCapacity = 3;
    s.mainSurface.Create(640, 480);
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x)
        s.mainSurface.SetRawPixel(x, y, static_cast<uint32_t>(y * 1000 + x));
    s.snapshotStrip.Create(geo::kSnapshotW, s.albumCapacity * geo::kSnapshotH);
    s.snapshotStrip.canvas.brushColour = colour::kBlack;
    EnterScene(scene::kPlay1, -1);
  }
  // The top-left pixel of a frame of the strip.
  uint32_t FrameCorner(int frame) const {
    return s.snapshotStrip.RawPixel(0, frame * geo::kSnapshotH);
  }
};

TEST_F(HeldButtonAlbumTest, AHeldLeftButtonFillsFramesAndScrollsWhenFull) {
  PointAt({200, 150});
  FormMouseDown(g, MouseButton::Left, kNone, {200, 150});
  HeldButtonStep(g);
  // Large window: the 148 x 108 area from (200 - 74 + 10, 150 - 54 + 10).
  EXPECT_EQ(s.albumFrame, 0);
  EXPECT_EQ(s.albumShown, 1);
  EXPECT_EQ(LastSound(), 1);
  EXPECT_EQ(FrameCorner(0), 106u * 1000 + 136);
  EXPECT_EQ(s.snapshotStrip.RawPixel(147, 107), (106u + 107) * 1000 + 136 + 147);
  PointAt({300, 150});
  HeldButtonStep(g);
  PointAt({400, 150});
  HeldButtonStep(g);
  EXPECT_EQ(s.albumFrame, 2);
  EXPECT_EQ(g.album.albumLast, 2);
  // Full: the strip moves up one frame and the new snapshot goes last.
  PointAt({500, 150});
  HeldButtonStep(g);
  EXPECT_EQ(s.albumFrame, 2);
  EXPECT_EQ(FrameCorner(0), 106u * 1000 + 236);
  EXPECT_EQ(FrameCorner(1), 106u * 1000 + 336);
  EXPECT_EQ(FrameCorner(2), 106u * 1000 + 436);
  // Released: the next frame ends the action.
  FormMouseUp(g, MouseButton::Left, kNone);
  HeldButtonStep(g);
  EXPECT_EQ(g.mouse.heldAction, HeldButton::kNone);
  tg->fakes.sound.last.clear();
  HeldButtonStep(g);
  EXPECT_EQ(LastSound(), -1);
}

TEST_F(HeldButtonAlbumTest, TheSmallWindowTakesHalfTheAreaAtDoubleSize) {
  Small();
  PointAt({100, 100});
  FormMouseDown(g, MouseButton::Left, kNone, {100, 100});
  HeldButtonStep(g);
  // 74 x 54 from (100 - 37 + 10, 100 - 27 + 10) stretched to 148 x 108.
  EXPECT_EQ(FrameCorner(0), 83u * 1000 + 73);
  EXPECT_EQ(s.snapshotStrip.RawPixel(2, 2), 84u * 1000 + 74);
}

TEST_F(HeldButtonAlbumTest, AQuickClickStillActsOnce) {
  FormMouseDown(g, MouseButton::Left, kNone, {200, 150});
  FormMouseUp(g, MouseButton::Left, kNone);
  HeldButtonStep(g);
  HeldButtonStep(g);
  EXPECT_EQ(s.albumFrame, 0);
}

TEST_F(HeldButtonAlbumTest, AHoldEndsWhenItsReleaseComesAfterTheWindowWasLeft) {
  FormMouseDown(g, MouseButton::Left, kNone, {200, 150});
  HeldButtonStep(g);
  g.st.mouseLevel = 0;
  FormMouseUp(g, MouseButton::Left, kNone);
  HeldButtonStep(g);
  HeldButtonStep(g);
  EXPECT_EQ(s.albumFrame, 0);
}

TEST_F(HeldButtonAlbumTest, TheRightButtonTogglesThePanelOnce) {
  s.iconShown = 1;
  FormMouseDown(g, MouseButton::Right, kNone, {200, 150});
  HeldButtonStep(g);
  HeldButtonStep(g);  // still held: the action ended with the first frame
  EXPECT_EQ(s.iconShown, 0);
  EXPECT_EQ(LastSound(), 40);
  // Over a shown album it only hides the album.
  FormMouseUp(g, MouseButton::Right, kNone);
  s.albumShown = 1;
  FormMouseDown(g, MouseButton::Right, kNone, {200, 150});
  HeldButtonStep(g);
  EXPECT_EQ(s.albumShown, 0);
  EXPECT_EQ(s.iconShown, 0);
}

TEST_F(HeldButtonAlbumTest, PagingWithShiftAndAlt) {
  g.album.albumLast = 2;
  s.albumFrame = 0;
  AlbumForward(g, {}, kShift);
  AlbumForward(g, {}, kShift);
  AlbumForward(g, {}, kShift);
  EXPECT_EQ(s.albumFrame, 2);
  EXPECT_EQ(s.albumShown, 1);
  AlbumBack(g, kShift);
  EXPECT_EQ(s.albumFrame, 1);
  AlbumBack(g, kAlt);
  EXPECT_EQ(s.albumShown, 0);
  EXPECT_EQ(s.albumFrame, -1);
  AlbumForward(g, {}, kAlt);
  EXPECT_EQ(s.albumFrame, 2);
  s.albumFrame = 0;
  AlbumBack(g, kShift);  // before the first frame: hidden
  EXPECT_EQ(s.albumShown, 0);
  EXPECT_EQ(s.albumFrame, -1);
  // An album without frames is not paged.
  g.album.albumLast = 0;
  AlbumForward(g, {}, kShift);
  EXPECT_EQ(s.albumShown, 0);
}

TEST_F(HeldButtonAlbumTest, TheWheelInPlayPagesTheAlbum) {
  g.album.albumLast = 2;
  s.albumFrame = 1;
  FormMouseWheel(g, false, kNone, {200, 150});
  EXPECT_EQ(s.albumFrame, 2);
  EXPECT_EQ(s.albumShown, 1);
  FormMouseWheel(g, true, kNone, {200, 150});
  EXPECT_EQ(s.albumFrame, 1);
  // With Alt: up hides, down jumps to the last frame.
  FormMouseWheel(g, true, kAlt, {200, 150});
  EXPECT_EQ(s.albumShown, 0);
  FormMouseWheel(g, false, kAlt, {200, 150});
  EXPECT_EQ(s.albumFrame, 2);
}

// ---- The menus under the pointer ----

TEST_F(MouseTest, ModeMenuIconBoxesAtBothSizes) {
  EnterScene(scene::kModeMenu, 90);
  // The hot spot is 10 pixels right of and below the pointer.
  g.menu.menuCursor = 3;
  PointAt({170, 124});  // left box's top-left corner (180, 134)
  EXPECT_EQ(MenuKeyAtPointer(g), kLeftKey);
  EXPECT_EQ(g.menu.menuCursor, 2);  // one more Left lands on the icon
  g.menu.menuCursor = 1;
  EXPECT_EQ(MenuKeyAtPointer(g), 16);
  PointAt({169, 124});
  EXPECT_EQ(MenuKeyAtPointer(g), 0);
  PointAt({354, 240});  // centre box's bottom-right corner (364, 250)
  EXPECT_EQ(MenuKeyAtPointer(g), kRightKey);
  g.menu.menuCursor = 3;
  EXPECT_EQ(MenuKeyAtPointer(g), kLeftKey);
  g.menu.menuCursor = 2;
  EXPECT_EQ(MenuKeyAtPointer(g), 16);
  g.menu.menuCursor = 1;
  PointAt({430, 150});
  EXPECT_EQ(MenuKeyAtPointer(g), kRightKey);
  EXPECT_EQ(g.menu.menuCursor, 2);

  Small();
  g.menu.menuCursor = 2;
  PointAt({80, 57});  // (90, 67)
  EXPECT_EQ(MenuKeyAtPointer(g), kLeftKey);
  PointAt({170, 124});  // was the large left box: nothing at this size
  EXPECT_EQ(MenuKeyAtPointer(g), 0);
  g.menu.menuCursor = 1;
  PointAt({144, 115});  // (154, 125)
  EXPECT_EQ(MenuKeyAtPointer(g), kRightKey);
  PointAt({236, 83});  // (246, 93)
  EXPECT_EQ(MenuKeyAtPointer(g), kRightKey);
}

TEST_F(MouseTest, ThePointerCountsOnlyOverTheMainWindow) {
  EnterScene(scene::kModeMenu, 90);
  g.menu.menuCursor = 3;
  PointAt({170, 124});
  w.SetVisible(FormId::FM, false);
  EXPECT_EQ(MenuKeyAtPointer(g), 0);
  EXPECT_EQ(g.menu.menuCursor, 3);
  // Other scenes have no boxes.
  w.SetVisible(FormId::FM, true);
  EnterScene(scene::kOpeningLogo, 0);
  EXPECT_EQ(MenuKeyAtPointer(g), 0);
}

TEST_F(MouseTest, MusicMenuItemsUnderThePointer) {
  EnterScene(scene::kMusicMenu, 10);
  int8_t& item = g.musicMenu.menuItem;
  // Large: items every 48 pixels from x 174, row y 124..152.
  item = 0;
  PointAt({174 + 2 * 48 - 10, 130});  // item 2, right of the item
  EXPECT_EQ(MenuKeyAtPointer(g), kRightKey);
  EXPECT_EQ(item, 1);  // the Right key's step lands on 2
  item = 4;
  PointAt({174 + 1 * 48 - 10, 130});  // item 1, left of it
  EXPECT_EQ(MenuKeyAtPointer(g), kLeftKey);
  EXPECT_EQ(item, 2);  // the Left key's step lands on 1
  item = 1;
  EXPECT_EQ(MenuKeyAtPointer(g), 16);
  PointAt({174 + 1 * 48 - 10, 153 - 10});  // below the row
  EXPECT_EQ(MenuKeyAtPointer(g), 0);
  // Small: every 24 pixels from x 87, row y 62..76.
  Small();
  item = 5;
  PointAt({87 - 10, 62 - 10});  // item 0
  EXPECT_EQ(MenuKeyAtPointer(g), kLeftKey);
  EXPECT_EQ(item, 1);
}

TEST_F(MouseTest, TheWheelInTheMenuPosesOverAnIconAndMovesBesideIt) {
  EnterScene(scene::kModeMenu, 40);
  g.st.menuPose = 5;
  g.menu.menuCursor = 2;
  PointAt({300, 200});  // over the centre icon
  FormMouseWheel(g, false, kNone, {300, 200});
  EXPECT_EQ(g.st.menuPose, 0);  // Down toggles the pose
  EXPECT_EQ(g.menu.menuCursor, 2);
  EXPECT_EQ(g.st.subStep(), 25);
  g.st.subStep() = 40;
  PointAt({20, 400});  // beside the icons, in the play area
  FormMouseWheel(g, false, kNone, {20, 400});
  EXPECT_EQ(g.menu.menuCursor, 3);  // Right
  g.st.subStep() = 40;
  FormMouseWheel(g, true, kNone, {20, 400});
  EXPECT_EQ(g.menu.menuCursor, 2);  // Left
}

TEST_F(MouseTest, TheWheelOutsideThePlayAreaPagesTheAlbum) {
  EnterScene(scene::kModeMenu, 40);
  g.album.albumLast = 3;
  g.gfx.albumFrame = 1;
  PointAt({700, 100});
  FormMouseWheel(g, false, kNone, {700, 100});
  EXPECT_EQ(g.gfx.albumFrame, 2);
  EXPECT_EQ(g.st.subStep(), 40);
  EXPECT_FALSE(InStage(g, {640, 0}));
  EXPECT_TRUE(InStage(g, {639, 479}));
  Small();
  EXPECT_FALSE(InStage(g, {320, 0}));
  EXPECT_TRUE(InStage(g, {319, 239}));
  EXPECT_FALSE(InStage(g, {-1, 0}));
}

TEST_F(MouseTest, ElsewhereTheWheelIsAnArrowKey) {
  // The human's opening command at a stage start: Up, and Left with Shift.
  EnterScene(scene::kStageStart1, 100);
  g.motion.facesRight = 0;
  FormMouseWheel(g, true, kNone, {10, 10});
  FormMouseWheel(g, true, kShift, {10, 10});
  EXPECT_EQ(g.cmd.commandCode, 1200);
}

TEST_F(MouseTest, AKeyMovesThePointerOffTheIconItRestsOn) {
  EnterScene(scene::kModeMenu, 40);
  g.menu.menuCursor = 1;
  PointAt({300, 200});  // the centre icon
  FormKeyDown(g, FormId::FM, kRightKey, kNone);
  EXPECT_EQ(g.menu.menuCursor, 2);
  EXPECT_EQ(w.pointer, (Point{400, 250 + 160}));
  // Not on an icon: left where it is.
  g.st.subStep() = 40;
  FormKeyDown(g, FormId::FM, kRightKey, kNone);
  EXPECT_EQ(w.pointer, (Point{400, 410}));
  // Near the screen's bottom it goes up instead.
  w.SetPosition(FormId::FM, {100, 720});
  g.st.subStep() = 40;
  PointAt({300, 200});  // 160 above the screen's bottom edge (1080)
  FormKeyDown(g, FormId::FM, kRightKey, kNone);
  EXPECT_EQ(w.pointer, (Point{400, 920 - 160}));
  EXPECT_EQ(g.menu.menuCursor, 1);  // the key still moved the cursor
}

TEST_F(MouseTest, UpAndDownDoNotMoveThePointer) {
  EnterScene(scene::kModeMenu, 40);
  PointAt({300, 200});
  FormKeyDown(g, FormId::FM, kUpKey, kNone);
  EXPECT_EQ(w.pointer, (Point{400, 250}));
}

// ---- The record slots ----

TEST_F(MouseTest, ALeftClickWhileAStageStartCountsOpensTheLoadScene) {
  for (int8_t start : {scene::kStageStart1, scene::kStageStart2, scene::kDemoStart}) {
    EnterScene(start, 39);
    g.st.playMode = 1;
    Click(MouseButton::Left);
    EXPECT_EQ(g.st.sceneCode, scene::kLoadSlot) << int(start);
  }
  // Before the count, and with the right button, the click is a key.
  EnterScene(scene::kStageStart1, 38);
  Click(MouseButton::Left);
  EXPECT_EQ(g.st.sceneCode, scene::kStageStart1);
  EnterScene(scene::kStageStart1, 135);
  Click(MouseButton::Right);
  EXPECT_EQ(g.st.sceneCode, scene::kStageStart1);
  // The exit question has no records.
  EnterScene(scene::kExitQuestion, 50);
  Click(MouseButton::Left);
  EXPECT_EQ(g.st.sceneCode, scene::kExitQuestion);
}

TEST_F(MouseTest, TheSlotScenesTakeClicks) {
  // The save scene's closed list: left opens it, right leaves.
  EnterScene(scene::kSaveSlot, 10);
  Click(MouseButton::Left);
  EXPECT_EQ(g.st.subStep(), 100);
  EXPECT_EQ(LastSound(), 71);
  EnterScene(scene::kSaveSlot, 10);
  Click(MouseButton::Right);
  EXPECT_EQ(g.st.subStep(), 200);
  // The load scene's list: right closes it.
  EnterScene(scene::kLoadSlot, 1);
  Click(MouseButton::Right);
  EXPECT_EQ(g.st.subStep(), 194);
  EXPECT_EQ(LastSound(), 20);
  // A click that is not ready is only heard, also here.
  EnterScene(scene::kLoadSlot, 1);
  g.st.mouseLevel = 0;
  Click(MouseButton::Right);
  EXPECT_EQ(g.st.subStep(), 1);
}

}  // namespace
}  // namespace kelvane
