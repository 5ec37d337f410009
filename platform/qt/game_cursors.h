// The game's own mouse cursors "CR1", "CR2" and "CR3" (their pictures are
// shared with the browser page) as Qt cursors.
#pragma once

#include <QCursor>
#include <QImage>
#include <QPoint>

#include "platform/core/cursor_art.h"

namespace kelvane {

// The picture of cursor index 1..3 (transparent background); a null image
// for any other index.
QImage GameCursorImage(int index);
QPoint GameCursorHotSpot(int index);

// Cursor table entry index: 0 is the arrow, 1..3 the game's cursors.
QCursor GameCursor(int index);

}  // namespace kelvane
