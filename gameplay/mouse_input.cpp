#include "gameplay/mouse_input.h"

#include "app/game.h"
#include "flow/record_slots.h"
#include "gameplay/key_groups.h"
#include "gameplay/keyboard.h"
#include "gameplay/snapshot_album.h"
#include "graphics/sound_effect.h"
#include "graphics/window_layout.h"

namespace kelvane {
namespace {

constexpr int kVkLeft = 37;
constexpr int kVkUp = 38;
constexpr int kVkRight = 39;
constexpr int kVkDown = 40;
constexpr int kNoMove = 16;
constexpr int kSoundNotReady = 34;
constexpr int kPointerStep = 80;  // doubled in the large window
// The pointer position is read 10 pixels further right and down.
constexpr int kHotSpotShift = 10;
constexpr int16_t kLoadEntryFirst = 39;
constexpr int16_t kLoadEntryLast = 134;

// A box of the menus in play-area coordinates, both ends included.
struct Box {
  int left, top, right, bottom;
  bool Holds(Point p) const { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; }
};

constexpr Box kIconBoxesLarge[3] = {
    {180, 134, 236, 186}, {308, 198, 364, 250}, {436, 134, 492, 186}};
constexpr Box kIconBoxesSmall[3] = {{90, 67, 118, 93}, {154, 99, 182, 125}, {218, 67, 246, 93}};
constexpr Box kItemRowLarge{174, 124, 460, 152};
constexpr Box kItemRowSmall{87, 62, 230, 76};
constexpr int kItemStepLarge = 48;
constexpr int kItemStepSmall = 24;

bool IsPlay(int8_t s) {
  return s == scene::kPlay1 || s == scene::kPlay2 || s == scene::kDemoPlay;
}
bool IsMenu(int8_t s) {
  return s == scene::kOpeningLogo || s == scene::kModeMenu || s == scene::kMusicMenu;
}
bool IsSlotScene(int8_t s) {
  return s == scene::kLoadSlot || s == scene::kSaveSlot;
}
// The stage starts from which a left click opens the load scene while they
// count down (the exit question has no records).
bool OffersLoadScene(const GameState& st, MouseButton button) {
  const int8_t s = st.sceneCode;
  const bool stageStart =
      s == scene::kStageStart1 || s == scene::kStageStart2 || s == scene::kDemoStart;
  return stageStart && button == MouseButton::Left && st.subStep() >= kLoadEntryFirst &&
         st.subStep() <= kLoadEntryLast;
}

int KeyOfButton(MouseButton b) {
  switch (b) {
    case MouseButton::Left:
      return keys::kY;
    case MouseButton::Right:
      return keys::kN;
    default:
      return keys::kSpace;
  }
}

// The stamp that every key takes as well: the time, and a ready mouse when
// the main window is in front.
void StampInput(Game& g) {
  g.st.lastInputTick = g.Now();
  if (g.pf.window->ActiveWindow() == FormId::FM) g.st.mouseLevel = 2;
}

void StartHeldButton(Game& g, MouseButton button, ShiftState shift) {
  HeldButton& h = g.mouse;
  h.buttonUp = 0;
  h.buttonPressed = 1;
  h.heldShift = shift;
  if (button == MouseButton::Left) h.heldAction = HeldButton::kLeft;
  if (button == MouseButton::Right) h.heldAction = HeldButton::kRight;
}

void PressButtonKey(Game& g, MouseButton button, ShiftState shift) {
  FormKeyDown(g, FormId::FM, KeyOfButton(button), shift);
}

// The pointer's place in the play area, moved to the hot spot the menus
// measure from; nothing when the pointer is not over the main window.
bool PointerHotSpot(Game& g, Point& p) {
  const Point screen = g.pf.window->PointerPos();
  if (g.pf.window->WindowAt(screen) != FormId::FM) return false;
  p = ScreenToStage(g, screen);
  p.x += kHotSpotShift;
  p.y += kHotSpotShift;
  return true;
}

int ModeMenuKey(Game& g, Point p) {
  uint8_t& cursor = g.menu.menuCursor;
  switch (MenuIconBoxAt(p, IsLargeWindow(g))) {
    case 1:
      if (cursor != 2 && cursor != 3) return kNoMove;
      cursor = 2;
      return kVkLeft;
    case 2:
      if (cursor == 1) return kVkRight;
      if (cursor == 3) return kVkLeft;
      return kNoMove;
    case 3:
      if (cursor != 1 && cursor != 2) return kNoMove;
      cursor = 2;
      return kVkRight;
    default:
      return 0;
  }
}

int MusicMenuKey(Game& g, Point p) {
  const bool large = IsLargeWindow(g);
  if (!OnMusicItemRow(p, large)) return 0;
  const Box& row = large ? kItemRowLarge : kItemRowSmall;
  const int pointed = (p.x - row.left) / (large ? kItemStepLarge : kItemStepSmall);
  int8_t& item = g.musicMenu.menuItem;
  // The distance is an unsigned byte: a pointer right of the item wraps
  // to the top of the range. The item is set one short of the place
  // pointed at, and the key's own step lands on it.
  const uint8_t d = static_cast<uint8_t>(item - pointed);
  if (d > 250) {
    item = static_cast<int8_t>(item - d - 1);
    return kVkRight;
  }
  if (d == 0 || d > 5) return kNoMove;
  item = static_cast<int8_t>(item - d + 1);
  return kVkLeft;
}

// The wheel in the album: Shift is always added, so it pages instead of
// taking snapshots.
void WheelInAlbum(Game& g, bool up, ShiftState shift, Point client) {
  shift.shift = true;
  if (up)
    AlbumBack(g, shift);
  else
    AlbumForward(g, client, shift);
}

}  // namespace

Point ScreenToStage(Game& g, Point screen) {
  return g.pf.window->ScreenToClient(FormId::FM, screen);
}

bool InStage(const Game& g, Point p) {
  const int scale = WindowScale(g);
  return p.x >= 0 && p.y >= 0 && p.x < geo::kScreenW / 2 * scale && p.y < geo::kScreenH / 2 * scale;
}

int MenuIconBoxAt(Point p, bool large) {
  const Box* boxes = large ? kIconBoxesLarge : kIconBoxesSmall;
  for (int i = 0; i < 3; ++i)
    if (boxes[i].Holds(p)) return i + 1;
  return 0;
}

bool OnMusicItemRow(Point p, bool large) {
  return (large ? kItemRowLarge : kItemRowSmall).Holds(p);
}

int MenuKeyAtPointer(Game& g) {
  const int8_t s = g.st.sceneCode;
  if (s != scene::kModeMenu && s != scene::kMusicMenu) return 0;
  Point p;
  if (!PointerHotSpot(g, p)) return 0;
  return s == scene::kModeMenu ? ModeMenuKey(g, p) : MusicMenuKey(g, p);
}

bool PointerOnMenuIcon(Game& g) {
  Point p;
  return PointerHotSpot(g, p) && MenuIconBoxAt(p, IsLargeWindow(g)) != 0;
}

bool PointerOnMusicItem(Game& g) {
  Point p;
  return PointerHotSpot(g, p) && OnMusicItemRow(p, IsLargeWindow(g));
}

void MovePointerDownOrUp(Game& g, int bottomMargin) {
  WindowService& w = *g.pf.window;
  Point p = w.PointerPos();
  const int step = kPointerStep * WindowScale(g);
  if (p.y + bottomMargin >= w.ScreenSize().h)
    p.y -= step;
  else
    p.y += step;
  w.SetPointerPos(p);
}

void FormMouseDown(Game& g, MouseButton button, ShiftState shift, Point client) {
  GameState& st = g.st;
  if (st.halted) return;
  if (st.mouseLevel != 2) {
    // The click that brings the window back is only heard.
    st.lastInputTick = g.Now();
    PlaySoundEffect(g, kSoundNotReady);
    return;
  }
  StampInput(g);
  const int8_t s = st.sceneCode;
  if (IsMenu(s)) {
    if (keys::ShiftOrAlt(shift))
      StartHeldButton(g, button, shift);
    else
      PressButtonKey(g, button, shift);
  } else if (IsPlay(s)) {
    StartHeldButton(g, button, shift);
  } else if (IsSlotScene(s)) {
    SlotSceneMouseDown(g, button, shift, client);
  } else if (OffersLoadScene(st, button)) {
    EnterLoadScene(g);
  } else {
    PressButtonKey(g, button, shift);
  }
}

void FormMouseUp(Game& g, MouseButton button, ShiftState shift) {
  GameState& st = g.st;
  if (st.halted) return;
  // Any release ends a hold, also one whose press came before the window
  // lost the focus: a hold that outlived its button would take a snapshot
  // every frame until the next click.
  g.mouse.buttonUp = 1;
  if (st.mouseLevel != 2) {
    // The release after a swallowed click readies the mouse.
    StampInput(g);
    return;
  }
  StampInput(g);
  // The slot scenes take clicks, not keys.
  if (!IsSlotScene(st.sceneCode)) FormKeyUp(g, FormId::FM, KeyOfButton(button), shift);
}

void FormMouseMove(Game& g) {
  GameState& st = g.st;
  st.lastInputTick = g.Now();
  if (g.pf.window->ActiveWindow() == FormId::FM && st.mouseLevel < 2) ++st.mouseLevel;
}

void FormMouseWheel(Game& g, bool up, ShiftState shift, Point client) {
  if (g.st.halted) return;
  StampInput(g);
  HideAlbum(g);
  const int8_t s = g.st.sceneCode;
  if (s == scene::kOpeningLogo || IsPlay(s)) {
    WheelInAlbum(g, up, shift, client);
  } else if (s == scene::kModeMenu || s == scene::kMusicMenu) {
    if (!InStage(g, client)) {
      WheelInAlbum(g, up, shift, client);
      return;
    }
    // Over an item the wheel changes the pose or the idle action; beside
    // it, it moves the cursor.
    const bool onItem = s == scene::kModeMenu ? PointerOnMenuIcon(g) : PointerOnMusicItem(g);
    const int vk = onItem ? (up ? kVkUp : kVkDown) : (up ? kVkLeft : kVkRight);
    FormKeyDown(g, FormId::FM, vk, shift);
  } else {
    const bool sideways = keys::ShiftOrAlt(shift);
    const int vk = up ? (sideways ? kVkLeft : kVkUp) : (sideways ? kVkRight : kVkDown);
    FormKeyDown(g, FormId::FM, vk, ShiftState{});
  }
}

void HeldButtonStep(Game& g) {
  HeldButton& h = g.mouse;
  if (h.buttonPressed || h.buttonUp == 0) {
    const Point p = ScreenToStage(g, g.pf.window->PointerPos());
    if (h.heldAction == HeldButton::kLeft)
      AlbumForward(g, p, h.heldShift);
    else if (h.heldAction == HeldButton::kRight)
      AlbumBack(g, h.heldShift);
  } else {
    h.heldAction = HeldButton::kNone;
  }
  h.buttonPressed = 0;
}

}  // namespace kelvane
