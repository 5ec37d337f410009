// The snapshot album's files: the digit keys 1..9 load, save or delete
// "Zz" + digit + ".bmp" (the strip of 148 x 108 snapshots, top to bottom).
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kelvane {

struct Game;

// The album's extent, shared with the snapshot taking of the mouse.
struct AlbumState {
  int8_t albumLast = 0;  // number of the album's last frame
};

// dataFolder + "Zz" + digit + ".bmp".
std::string AlbumFileName(const Game& g, int digit);

// A released digit key 1..9 (vk 49..57): with Shift or Alt the album file
// is loaded; with Delete held it is deleted; otherwise a shown album is
// saved to it. Other keys are ignored.
void AlbumKeyUp(Game& g, int vk, ShiftState shift);

// The three actions behind the key; each returns whether it worked.
bool LoadAlbum(Game& g, int digit);
bool DeleteAlbum(Game& g, int digit);
bool SaveAlbum(Game& g, int digit);

// The held left button and the wheel down: with Alt the album shows its
// last frame, with Shift the next one; with neither a snapshot is taken
// around the play-area position p.
void AlbumForward(Game& g, Point p, ShiftState shift);
// The held right button and the wheel up: with Alt the album is hidden,
// with Shift it shows the previous frame (hidden before the first); with
// neither a hidden album toggles the icon panel instead.
void AlbumBack(Game& g, ShiftState shift);
// A snapshot of mainSurface around p into the next frame of the strip; a
// full strip scrolls up by one frame.
void TakeSnapshot(Game& g, Point p);
// Hides the album and ends the held button's action.
void HideAlbum(Game& g);

}  // namespace kelvane
