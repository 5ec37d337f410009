// Draws the dancer's picture sets from data/dancer.txt: every cell is a pose
// of the skeleton, drawn in the ink roles of the character palettes.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/forge/dancer_catalogue.h"
#include "tools/forge/forge.h"
#include "tools/forge/indexed_picture.h"

namespace forge {

std::string ReadDataFile(const Forge& f, const std::string& name) {
  std::ifstream in(f.dataDir() + name, std::ios::binary);
  if (!in) throw ForgeError{"cannot read " + f.dataDir() + name};
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

void WriteDancerPictures(Forge& f) {
  std::vector<DancerCell> cells = ReadDancerLayout(ReadDataFile(f, "dancer.txt"));
  std::map<std::pair<int, int>, QImage> bitmaps;  // (sheet, slot) -> canvas
  int misfits = 0;
  for (const DancerCell& d : cells) {
    const SheetGeometry& g = BodySheet(d.sheet);
    auto key = std::make_pair(d.sheet, d.cell / g.cells);
    auto it = bitmaps.find(key);
    if (it == bitmaps.end())
      it = bitmaps.emplace(key, NewInkCanvas(g.columns * g.w, g.cells / g.columns * g.h)).first;
    int j = d.cell % g.cells;
    CellBox box{(j % g.columns) * g.w, (j / g.columns) * g.h, g.w, g.h, g.floorY};
    QRect wanted = DrawFigure(it->second, d.pose, box);
    QRect cellRect(box.x, box.y, box.w, box.h);
    if (!cellRect.contains(wanted)) {
      ++misfits;
      std::fprintf(stderr,
                   "forge: dancer.txt:%d: sheet %d cell %d is cut by its cell (%d,%d %dx%d)\n",
                   d.line, d.sheet, d.cell, wanted.x() - box.x, wanted.y() - box.y, wanted.width(),
                   wanted.height());
    }
  }
  for (auto& [key, canvas] : bitmaps) {
    std::string name = PictureFile(key.first, key.second);
    std::string indexes = InkIndexes(canvas, name);
    f.WriteFile(name, EncodeBmp4(canvas.width(), canvas.height(), indexes, kPalettes[1]));
    f.AddToSheet(name + " (sheet " + std::to_string(key.first) + ")",
                 InkToColour(canvas, kPalettes[1]));
  }
  if (misfits) std::fprintf(stderr, "forge: %d dancer cells do not fit\n", misfits);
}

}  // namespace

FORGE_WRITER("dancer-pictures", WriteDancerPictures);

}  // namespace forge
