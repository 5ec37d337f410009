// The main window's size, style and position, the stage view and
// the border offsets for mouse positions.
#pragma once

#include "platform/platform.h"

namespace kelvane {

struct Game;

// Switches between the large (640 x 480) and small (320 x 240) window and
// lays the window out; inverts windowSizeFlag (1 = large afterwards).
void ToggleWindowSize(Game& g);
// Inverts zoomFlag and picks stageView: zoomed when the window is large and
// zoomFlag is 1.
void SetStageView(Game& g);
// A screen position in client coordinates of the main window, as the window
// system maps it at this moment.
Point ScreenToClientPoint(const Game& g, Point screen);
// 1 while the large window is shown (after the first layout).
bool IsLargeWindow(const Game& g);
// The scale of the stage picture: 2 large, 1 small.
int WindowScale(const Game& g);

}  // namespace kelvane
