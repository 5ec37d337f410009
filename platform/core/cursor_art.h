// The game's own mouse cursors "CR1", "CR2" and "CR3" as pictures every host
// can turn into a real cursor: CR1 the play cursor, CR2 the menu pointer, CR3
// the busy cursor of the stage starts.
#pragma once

#include <cstdint>
#include <vector>

namespace kelvane {

inline constexpr int kGameCursorCount = 3;
inline constexpr int kCursorArtSize = 20;  // pixels a side

struct CursorPicture {
  int size = 0;                  // 0 for an index without a picture
  std::vector<uint32_t> argb;    // size × size, 0 where the cursor is clear
  int hotX = 0, hotY = 0;
};

// Cursor index 1..3; an empty picture for any other index (the arrow).
CursorPicture GameCursorPicture(int index);

}  // namespace kelvane
