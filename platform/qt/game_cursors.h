// The game's own mouse cursors "CR1", "CR2" and "CR3", drawn into the
// program: CR1 the play cursor, CR2 the menu pointer, CR3 the busy cursor of
// the stage starts.
#pragma once

#include <QCursor>
#include <QImage>
#include <QPoint>

namespace kelvane {

inline constexpr int kGameCursorCount = 3;

// The picture of cursor index 1..3 (transparent background); a null image
// for any other index.
QImage GameCursorImage(int index);
QPoint GameCursorHotSpot(int index);

// Cursor table entry index: 0 is the arrow, 1..3 the game's cursors.
QCursor GameCursor(int index);

}  // namespace kelvane
