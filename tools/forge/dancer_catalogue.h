// Which character pictures the forge makes: the sheet geometry of every
// picture set, the dancer's cells laid out in data/dancer.txt, and the
// effect and tile bitmaps. The move list is checked against it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/forge/dancer_figure.h"

namespace forge {

// Cell layout of one picture set's bitmaps.
struct SheetGeometry {
  int cells;  // cells per bitmap
  int columns;
  int w, h;    // cell size
  int floorY;  // the floor line inside a cell (body sheets)
};

// Body sheets 0..9 as the game draws them (the feet of most stand on the
// cell's bottom row; sheet 4 reaches 5 pixels below the floor).
const SheetGeometry& BodySheet(int sheet);
// Effect bitmaps (sets 11 and 12): 18 cells of 96 x 80 in 3 columns.
const SheetGeometry& EffectSheet();

// Tile patterns take their 64 x 80 cells from set 1 (sheet 1 geometry).
inline constexpr int kTileSet = 1;
inline constexpr int kTileSlots = 2;
inline constexpr int kEffectSetA = 11;   // negative effect values
inline constexpr int kEffectSetB = 12;   // effect values 1..255
inline constexpr int kEffectSlotsA = 7;  // cells 0..116
inline constexpr int kEffectSlotsB = 4;  // cells 0..71

// "sc004.bmp" for set 1, slot 2: the set prefix and 2 x slot as three digits.
std::string PictureFile(int set, int slot);

// One dancer cell: where it goes and how she stands in it.
struct DancerCell {
  int sheet;
  int cell;
  Pose pose;
  int line;  // in dancer.txt, for messages
};

// Reads data/dancer.txt (poses and the cells they fill). Throws ForgeError
// "dancer.txt:LINE: reason", also for a pose naming an unknown joint.
std::vector<DancerCell> ReadDancerLayout(const std::string& text);

// Cells that hold a picture, per set and slot.
struct PictureCatalogue {
  std::map<int, std::map<int, std::vector<bool>>> drawn;  // set -> slot -> cell drawn

  void Mark(int set, int slot, int cells, int index);
  bool HasSlot(int set, int slot) const;
  // Cell c of the set, counted across its bitmaps (cells per bitmap apart).
  bool HasCell(int set, int cell, int cellsPerBitmap) const;
};

PictureCatalogue BuildCatalogue(const std::vector<DancerCell>& dancer);

}  // namespace forge
