#include "flow/scene_art.h"

#include "app/game.h"

namespace kelvane {

void DrawBehind(Game& g, const Rect& cell, int x, int y) {
  Surfaces& s = g.gfx;
  const Rect place = Rect::XYWH(x, y, cell.Width(), cell.Height());
  const Rect local = Rect::XYWH(0, 0, cell.Width(), cell.Height());
  // Where the layers are transparent (mask white) the cell's colours go
  // through; elsewhere they are cut to black before being ORed in.
  Surface through(cell.Width(), cell.Height(), PixelFormat::Colour);
  CopyRect(through, local, s.maskLayer, place);
  through.canvas.copyMode = SRCAND;
  CopyRect(through, local, s.mainSheets[0], cell);
  const uint32_t spriteMode = s.spriteLayer.canvas.copyMode;
  const uint32_t maskMode = s.maskLayer.canvas.copyMode;
  s.spriteLayer.canvas.copyMode = SRCPAINT;
  CopyRect(s.spriteLayer, place, through, local);
  s.maskLayer.canvas.copyMode = SRCAND;
  CopyRect(s.maskLayer, place, s.mainSheets[3], cell);
  s.spriteLayer.canvas.copyMode = spriteMode;
  s.maskLayer.canvas.copyMode = maskMode;
}

}  // namespace kelvane
