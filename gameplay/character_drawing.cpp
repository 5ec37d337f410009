#include "gameplay/character_drawing.h"

#include "app/game.h"
#include "gameplay/action_engine.h"
#include "graphics/presentation.h"

namespace kelvane {

const std::array<SheetGeometry, drawing::kSheetCount> kSheetGeometry = {{
    {20, 5, 64, 96, 0, 90, 64, 186},      // 0
    {20, 5, 64, 96, 0, 90, 64, 186},      // 1
    {10, 5, 64, 160, 0, 26, 64, 186},     // 2
    {10, 5, 64, 160, 0, 26, 64, 186},     // 3
    {4, 2, 128, 170, -32, 21, 96, 191},   // 4
    {20, 5, 32, 96, 16, 90, 48, 186},     // 5
    {20, 5, 64, 48, 0, 138, 64, 186},     // 6
    {16, 4, 128, 64, -32, 122, 96, 186},  // 7
    {20, 5, 32, 112, 16, 74, 48, 186},    // 8
    {20, 5, 64, 48, 0, 138, 64, 186},     // 9
}};

namespace {

constexpr int kMaskScheme = 3;
constexpr int kColourSchemes = 3;
constexpr int kSetCount = 13;
constexpr int kSlotCount = 32;

using EffectTable = std::array<std::array<uint8_t, drawing::kEffectEntries>, 2>;

// Row 0 runs straight through (skipping one cell near the end); row 1 swaps
// the left and right variants so a mirrored effect faces the other way.
constexpr EffectTable MakeEffectTable() {
  EffectTable t{};
  for (int i = 0; i < drawing::kEffectEntries; ++i) {
    t[0][i] = static_cast<uint8_t>(i < 112 ? i + 3 : i + 4);
    t[1][i] = t[0][i];
  }
  auto swap = [&t](int a, int b) {
    const uint8_t keep = t[1][a];
    t[1][a] = t[1][b];
    t[1][b] = keep;
  };
  swap(2, 6);
  swap(3, 5);
  for (int a = 27; a <= 95; a += 2) swap(a, a + 1);
  swap(108, 109);
  return t;
}

constexpr EffectTable kEffectTable = MakeEffectTable();

// The colour and mask bitmaps of one picture slot, or null when that slot
// holds no picture.
struct Picture {
  const Surface* colour = nullptr;
  const Surface* mask = nullptr;
};

Picture PictureAt(Game& g, int set, int slot) {
  const int scheme = g.cmd.playColour;
  if (scheme < 0 || scheme >= kColourSchemes || set < 0 || set >= kSetCount || slot < 0 ||
      slot >= kSlotCount) {
    return {};
  }
  const Surface& colour = g.gfx.frameSheets[scheme][set][slot];
  const Surface& mask = g.gfx.frameSheets[kMaskScheme][set][slot];
  if (colour.Empty() || mask.Empty()) return {};
  return {&colour, &mask};
}

// The layers' usual pattern: the mask cuts a hole in both layers, then the
// colours are ORed into it, so figures overlap in the order drawn.
void PutFigure(Game& g, const Picture& pic, const Rect& source, const Rect& target) {
  Surfaces& s = g.gfx;
  s.blitSource = source;
  s.blitTarget = target;
  s.maskLayer.canvas.copyMode = SRCAND;
  s.spriteLayer.canvas.copyMode = SRCAND;
  DrawSprite(g, *pic.mask, pic.mask);
  s.spriteLayer.canvas.copyMode = SRCPAINT;
  DrawSprite(g, *pic.colour, nullptr);
  s.maskLayer.canvas.copyMode = SRCCOPY;
  s.spriteLayer.canvas.copyMode = SRCCOPY;
}

int Front(const Motion& m) {
  return m.facesRight ? drawing::kPartnerDistance : -drawing::kPartnerDistance;
}

// One effect value of a companion stream, on side p; layer is 0 for stream
// B and 1 for stream C (C sits lower).
void DrawEffect(Game& g, int v, int p, int layer) {
  const Motion& m = g.motion;
  int set = drawing::kEffectSet;
  int cell = 0;
  bool mirrored = false;
  int height = drawing::kEffectRowPitch;
  int rowOffset = 0;
  int top = layer == 0 ? 45 : 90;
  if (v >= 1 && v <= 255) {
    set = drawing::kBigEffectSet;
    cell = v - 1;
    mirrored = m.facesRight == 1;
  } else if (v <= -3 && v >= -118) {
    cell = EffectCell(m.effectMirror, v);
    if (v <= -114) top = layer == 0 ? 56 : 101;
    if (v == -114 || v == -115) {
      height = 36;
    } else if (v <= -116) {
      height = 35;
      rowOffset = 45;
    }
  } else if (v >= -2 && v <= 0) {
    return;  // no effect on this layer this frame
  } else {
    ++g.motion.diag.missingPictures;
    return;
  }
  const Picture pic = PictureAt(g, set, cell / drawing::kEffectCellsPerBitmap);
  if (!pic.colour) {
    ++g.motion.diag.missingPictures;
    return;
  }
  const int j = cell % drawing::kEffectCellsPerBitmap;
  const int x = (j % drawing::kEffectColumns) * drawing::kEffectW;
  const int y = (j / drawing::kEffectColumns) * drawing::kEffectRowPitch + rowOffset;
  const Rect source = mirrored ? Rect{x + drawing::kEffectW - 1, y, x - 1, y + height}
                               : Rect{x, y, x + drawing::kEffectW, y + height};
  const int left = m.posX + 172 * p + 42;
  PutFigure(g, pic, source, Rect{left, top, left + drawing::kEffectW, top + height});
}

}  // namespace

int EffectCell(int mirror, int v) {
  const int i = -v - 3;
  if (mirror < 0 || mirror > 1 || i < 0 || i >= drawing::kEffectEntries) return -1;
  return kEffectTable[static_cast<size_t>(mirror)][static_cast<size_t>(i)] - 3;
}

bool BodyCell(int v, int facesRight, Rect* source, int* slot) {
  if (v < 0) return false;
  const int sheet = v / 1000;
  if (sheet >= drawing::kSheetCount) return false;
  const SheetGeometry& geo = kSheetGeometry[static_cast<size_t>(sheet)];
  const int c = v % 1000;
  const int j = c % geo.cells;
  const int col = j % geo.columns;
  const int row = j / geo.columns;
  const int f = facesRight ? 1 : 0;
  *slot = c / geo.cells;
  *source = Rect{(col + f) * geo.cellW - f, row * geo.cellH, (col - f + 1) * geo.cellW - f,
                 (row + 1) * geo.cellH};
  return true;
}

void DrawBody(Game& g, int v, int dy, int dx) {
  Motion& m = g.motion;
  Rect source;
  int slot = 0;
  if (!BodyCell(v, m.facesRight, &source, &slot)) {
    ++m.diag.missingPictures;
    return;
  }
  const SheetGeometry& geo = kSheetGeometry[static_cast<size_t>(v / 1000)];
  const Picture pic = PictureAt(g, v / 1000, slot);
  if (!pic.colour) {
    ++m.diag.missingPictures;
    return;
  }
  const int x = m.posX + dx + drawing::kLayerOffsetX;
  const int y = m.posY + dy;
  const Rect target{x + geo.left, y + geo.top, x + geo.right, y + geo.bottom};
  g.gfx.cellRect = source;
  g.gfx.placeRect = target;
  PutFigure(g, pic, source, target);
}

void DrawPartners(Game& g) {
  const Motion& m = g.motion;
  const int front = Front(m);
  if (m.curB >= 0) DrawBody(g, m.curB, drawing::kPartnerRaise, front);
  if (m.curC >= 0) DrawBody(g, m.curC, drawing::kPartnerRaise, -front);
}

void DrawClones(Game& g) {
  Surfaces& s = g.gfx;
  const int front = Front(g.motion);
  const Rect body = s.placeRect;
  for (int dx : {front, -front}) {
    const Rect copy{body.left + dx, body.top + drawing::kPartnerRaise, body.right + dx,
                    body.bottom + drawing::kPartnerRaise};
    CopyRect(s.maskLayer, copy, s.maskLayer, body);
    CopyRect(s.spriteLayer, copy, s.spriteLayer, body);
  }
}

void DrawEffects(Game& g) {
  const Motion& m = g.motion;
  if (!m.backdrop.effectsOn) return;
  DrawEffect(g, m.curB, m.partnerSide, 0);
  DrawEffect(g, m.curC, 1 - m.partnerSide, 1);
}

}  // namespace kelvane
