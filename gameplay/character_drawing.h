// Drawing the character into the stage layers: the body picture, and the
// companions of the two extra streams (effects, partner figures or clones).
#pragma once

#include <array>
#include <cstdint>

#include "graphics/raster.h"

namespace kelvane {

struct Game;

// How the cells of one sheet number are laid out in its bitmaps, and where a
// cell lands relative to the character.
struct SheetGeometry {
  int16_t cells;    // cells per bitmap
  int16_t columns;  // cells per bitmap row
  int16_t cellW;
  int16_t cellH;
  int16_t left;  // target box relative to (posX + 144, posY)
  int16_t top;
  int16_t right;
  int16_t bottom;
};

namespace drawing {
constexpr int kSheetCount = 10;
constexpr int kLayerOffsetX = 144;  // posX 0 lies this far into the layers
constexpr int kPartnerDistance = 80;
constexpr int kPartnerRaise = -10;
constexpr int kEffectSet = 11;     // effect cells
constexpr int kBigEffectSet = 12;  // effect pictures chosen by positive values
constexpr int kEffectW = 96;
constexpr int kEffectRowPitch = 80;
constexpr int kEffectCellsPerBitmap = 18;
constexpr int kEffectColumns = 3;
constexpr int kEffectEntries = 116;  // effect values -3 .. -118
}  // namespace drawing

extern const std::array<SheetGeometry, drawing::kSheetCount> kSheetGeometry;

// The effect cell of value v (-3 .. -118) in the plain (mirror 0) or the
// mirrored (mirror 1) table; -1 for a value outside the table.
int EffectCell(int mirror, int v);

// The source cell of picture v in its bitmap, mirrored when facesRight is 1
// (left edge right of the right edge). slot receives the bitmap slot.
// False for a picture outside the sheet table.
bool BodyCell(int v, int facesRight, Rect* source, int* slot);

// Draws picture v (sheet v / 1000, cell v mod 1000) at (posX + dx, posY +
// dy), mask first, facing like the character. Sets cellRect and placeRect.
void DrawBody(Game& g, int v, int dy, int dx);
// Companion mode 1: stream B's figure 80 pixels in front, stream C's behind.
void DrawPartners(Game& g);
// Companion mode 2: two copies of the body just drawn, in front and behind.
void DrawClones(Game& g);
// Companion mode 0: the effect pictures of streams B and C, while effects
// are switched on.
void DrawEffects(Game& g);

}  // namespace kelvane
