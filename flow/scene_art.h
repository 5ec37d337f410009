// Pictures of the menus and the result that stay on the stage layers while
// the character acts. The move list clears the layers before each of the
// character's pictures, so such a picture is laid again every frame, behind
// what the layers already hold: the character stays in front of it.
#pragma once

#include "graphics/raster.h"

namespace kelvane {

struct Game;

// Lays the masked cell of the main picture at (x, y) of the layers, only
// where the layers are still transparent.
void DrawBehind(Game& g, const Rect& cell, int x, int y);

}  // namespace kelvane
