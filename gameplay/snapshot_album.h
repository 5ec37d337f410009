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

}  // namespace kelvane
