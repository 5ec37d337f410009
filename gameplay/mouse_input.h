// The main window's mouse and wheel: buttons and the wheel mostly stand for
// keys of the keyboard handlers; in play a button is held down to take
// snapshots into the album or to page through it, and pointing at a menu
// icon acts as the key that moves the cursor there.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace kelvane {

struct Game;

// The held-button state that the snapshot panel reads every frame.
struct HeldButton {
  static constexpr uint8_t kLeft = 255;  // snapshot, or the next album frame
  static constexpr uint8_t kRight = 1;   // the previous album frame, or the panel toggle
  static constexpr uint8_t kNone = 0;

  uint8_t buttonUp = 1;       // 0 while a button is held
  uint8_t buttonPressed = 0;  // 1 from the press until the next frame saw it
  ShiftState heldShift;       // the shift state at the press
  uint8_t heldAction = kNone;
};

// The four handlers of the main window; positions are client coordinates
// of the play area.
void FormMouseDown(Game& g, MouseButton button, ShiftState shift, Point client);
void FormMouseUp(Game& g, MouseButton button, ShiftState shift);
void FormMouseMove(Game& g);
// up: the wheel turned away from the user.
void FormMouseWheel(Game& g, bool up, ShiftState shift, Point client);

// Once per frame, from the snapshot panel: a held or just pressed button
// acts at the pointer's place.
void HeldButtonStep(Game& g);

// A screen position within the play area (client coordinates).
Point ScreenToStage(Game& g, Point screen);
// Whether a play-area position lies on the play area of the current size.
bool InStage(const Game& g, Point p);

// The key that pointing at a mode-menu icon or a music-menu item means:
// 16 when it means no move, 0 when the pointer is over none or not over
// the main window. On the way it may set the cursor or the item so that the
// key lands on the place pointed at.
int MenuKeyAtPointer(Game& g);
// Whether the pointer rests on a mode-menu icon / a music-menu item; asks
// only, changes nothing.
bool PointerOnMenuIcon(Game& g);
bool PointerOnMusicItem(Game& g);
// Moves the pointer 80 pixels down (160 in the large window) so that it
// does not select again; up instead when it lies within bottomMargin
// pixels (already scaled) of the screen's bottom edge.
void MovePointerDownOrUp(Game& g, int bottomMargin);

// Which icon box (1 left, 2 centre, 3 right) or music item row holds a
// play-area position already moved by +10; 0 / false when none.
int MenuIconBoxAt(Point p, bool large);
bool OnMusicItemRow(Point p, bool large);

}  // namespace kelvane
