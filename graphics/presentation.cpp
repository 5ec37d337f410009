#include "graphics/presentation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "app/game.h"
#include "gameplay/action_engine.h"
#include "gameplay/mouse_input.h"
#include "graphics/atlas.h"
#include "graphics/surfaces.h"
#include "graphics/window_layout.h"

namespace kelvane {

// ---------------------------------------------------------------- creation

void CreateMainSurface(Game& g) {
  Surface& m = g.gfx.mainSurface;
  m.Create(geo::kScreenW, geo::kScreenH, PixelFormat::Colour);
  m.canvas.brushColour = colour::kBlack;
  m.canvas.copyMode = SRCCOPY;
  // The window and the backdrop cache look only at the parts drawn since.
  m.KeepBlockStamps();
}

void CreateStageSurfaces(Game& g) {
  Surfaces& s = g.gfx;
  s.spriteLayer.Create(geo::kLayerW, geo::kLayerH, PixelFormat::Colour);
  s.spriteLayer.canvas.brushColour = colour::kBlack;
  s.spriteLayer.canvas.penColour = colour::kBlack;
  s.maskLayer.Create(geo::kLayerW, geo::kLayerH, PixelFormat::Mask);
  s.maskLayer.canvas.brushColour = colour::kWhite;
  s.maskLayer.canvas.penColour = colour::kWhite;
  // The menu lays parts of the layers again only where they changed.
  s.spriteLayer.KeepBlockStamps();
  s.maskLayer.KeepBlockStamps();
  s.snapshotStrip.Create(geo::kSnapshotW, s.albumCapacity * geo::kSnapshotH, PixelFormat::Colour);
  s.snapshotStrip.canvas.brushColour = colour::kBlack;
  s.backdropSheet.Clear();
  ClearLayers(g);
}

void CreateScratchMask(Game& g) { g.gfx.scratchMask.Create(98, 90, PixelFormat::Colour); }

// ---------------------------------------------------------------- layers

void ClearLayers(Game& g) {
  Surfaces& s = g.gfx;
  Surface* const layers[] = {&s.spriteLayer, &s.maskLayer};
  // An unchanged stamp means unchanged pixels: drawing the same rectangle
  // with the same brush and pen again would change nothing.
  bool same = true;
  for (size_t i = 0; i < 2; ++i)
    same = same && layers[i]->Stamp() == s.clearedLayers[i].stamp &&
           layers[i]->canvas == s.clearedLayers[i].canvas;
  if (same) return;
  for (size_t i = 0; i < 2; ++i) {
    DrawRectangle(*layers[i], geo::kStage);
    s.clearedLayers[i] = {layers[i]->Stamp(), layers[i]->canvas};
  }
}

void ClearScreen(Game& g) { FillRect(g.gfx.mainSurface, g.gfx.mainSurface.Bounds()); }

void DrawSprite(Game& g, const Surface& colour, const Surface* mask) {
  Surfaces& s = g.gfx;
  if (mask) CopyRect(s.maskLayer, s.blitTarget, *mask, s.blitSource);
  CopyRect(s.spriteLayer, s.blitTarget, colour, s.blitSource);
}

void ShiftLayers(Game& g, const Rect& r, int8_t d) {
  const Rect moved{r.left, r.top + d, r.right, r.bottom + d};
  CopyRect(g.gfx.maskLayer, moved, g.gfx.maskLayer, r);
  CopyRect(g.gfx.spriteLayer, moved, g.gfx.spriteLayer, r);
}

int WaveOffsetAt(int phase) {
  // nearbyint rounds halves to even in the default rounding mode.
  return static_cast<int>(std::nearbyint(3.0 * std::sin(phase * 0.31415926535897932385)));
}

void WaveStep(Game& g, int x, int y) {
  GameState& st = g.st;
  const int d = WaveOffsetAt(st.wavePhase());
  ShiftLayers(g, Rect::XYWH(x + 144, y - 18, 48, 132), static_cast<int8_t>(d));
  st.waveOffset() = static_cast<int16_t>(st.waveOffset() + d);
  st.wavePhase() = static_cast<int16_t>(st.wavePhase() + 1);
  if (st.wavePhase() > 19) st.wavePhase() = 0;
}

// ---------------------------------------------------------------- frame

namespace {

// Backdrop frames as last enlarged onto mainSurface, each with the stamp of
// the sheet it was made from. Stretching a frame costs several plain copies
// and the same few frames come back every few play frames; a frame is used
// again only while the sheet is unchanged, so the cache can never show
// anything CopyRect would not (one per thread, like the raster's scratch
// buffers).
struct BackdropCache {
  struct Entry {
    Rect src;   // in the backdrop sheet
    Rect dest;  // in mainSurface, clipped to it
    uint64_t sheetStamp = 0;
    uint64_t id = 0;  // this making of the frame
    std::vector<uint32_t> enlarged;
    // Per block of dest, whether another frame (by its id) has the same
    // pixels there: worked out once, when one first follows the other.
    std::vector<std::pair<uint64_t, std::vector<uint8_t>>> sameAs;
    uint64_t used = 0;
  };
  static constexpr size_t kEntries = 4;  // the grid's four frames
  std::vector<Entry> entries;
  uint64_t clock = 0;
  uint64_t lastId = 0;
  // The frame last copied whole into mainSurface and the block stamps of
  // dest's rows just after: blocks that still carry them still hold its
  // pixels (the menu draws over a small part only, and the frames of an
  // animation mostly differ in a small part).
  uint64_t placedId = 0;
  std::vector<uint64_t> placed;
};

BackdropCache& TheBackdropCache() {
  static thread_local BackdropCache c;
  return c;
}

// Every row of the cached frame onto its dest in m.
void CopyWholeFrame(const BackdropCache::Entry& e, Surface& m) {
  const Rect& d = e.dest;
  const size_t w = static_cast<size_t>(d.Width());
  for (int y = d.top; y < d.bottom; ++y)
    std::memcpy(m.ColourRowToWrite(y, d.left, d.right) + d.left,
                e.enlarged.data() + static_cast<size_t>(y - d.top) * w, w * 4);
}

// Blocks of dest's rows, from the block of dest.left on.
int PlacedBlocks(const Rect& dest) {
  return (dest.right - 1) / Surface::kStampBlock - dest.left / Surface::kStampBlock + 1;
}

// Notes that dest's rows of m hold the frame, with the stamps they carry now.
void NotePlaced(BackdropCache& c, const BackdropCache::Entry& e, const Surface& m) {
  const uint64_t* stamps = m.BlockStamps();
  c.placedId = stamps ? e.id : 0;
  if (!stamps) return;
  const Rect& d = e.dest;
  const size_t n = static_cast<size_t>(PlacedBlocks(d));
  c.placed.resize(n * static_cast<size_t>(d.Height()));
  for (int y = d.top; y < d.bottom; ++y)
    std::memcpy(c.placed.data() + static_cast<size_t>(y - d.top) * n,
                stamps + static_cast<size_t>(y) * m.BlocksPerRow() + d.left / Surface::kStampBlock,
                n * sizeof(uint64_t));
}

// Which blocks of dest e has in common with the frame `other` (same dest).
const std::vector<uint8_t>& SameBlocks(BackdropCache::Entry& e, const BackdropCache::Entry& other) {
  for (const auto& [id, same] : e.sameAs)
    if (id == other.id) return same;
  if (e.sameAs.size() >= 2 * BackdropCache::kEntries) e.sameAs.clear();  // ids long gone
  constexpr int B = Surface::kStampBlock;
  const Rect& d = e.dest;
  const int n = PlacedBlocks(d), firstBlock = d.left / B;
  const size_t w = static_cast<size_t>(d.Width());
  std::vector<uint8_t> same(static_cast<size_t>(n) * d.Height());
  for (int y = 0; y < d.Height(); ++y)
    for (int b = 0; b < n; ++b) {
      const int x0 = std::max(d.left, (firstBlock + b) * B) - d.left;
      const int x1 = std::min(d.right, (firstBlock + b + 1) * B) - d.left;
      const size_t at = static_cast<size_t>(y) * w + static_cast<size_t>(x0);
      same[static_cast<size_t>(y) * n + b] =
          std::memcmp(e.enlarged.data() + at, other.enlarged.data() + at,
                      static_cast<size_t>(x1 - x0) * 4) == 0;
    }
  return e.sameAs.emplace_back(other.id, std::move(same)).second;
}

// Blocks of mainSurface (rows top .. bottom - 1, block columns first ..
// last) that the caller keeps as they are.
struct KeptBlocks {
  int top, bottom, first, last;
};

// The cached frame onto mainSurface: only the blocks that do not hold its
// pixels already, that is, those drawn over since a frame was placed and
// those where that frame differs from this one. The kept blocks are left
// alone when the frame can be placed by blocks; returns whether it was.
bool PlaceFrame(BackdropCache& c, BackdropCache::Entry& e, Surface& m,
                const std::vector<KeptBlocks>& keep = {}) {
  const Rect& d = e.dest;
  const size_t w = static_cast<size_t>(d.Width());
  const uint64_t* stamps = m.BlockStamps();
  const int n = PlacedBlocks(d);
  const BackdropCache::Entry* before = nullptr;
  for (const BackdropCache::Entry& other : c.entries)
    if (other.id == c.placedId && other.dest == d) before = &other;
  if (!stamps || !before || c.placed.size() != static_cast<size_t>(n) * d.Height()) {
    CopyWholeFrame(e, m);
    NotePlaced(c, e, m);
    return false;
  }
  const uint8_t* same = before == &e ? nullptr : SameBlocks(e, *before).data();
  constexpr int B = Surface::kStampBlock;
  const int firstBlock = d.left / B;
  std::vector<uint8_t> keepRow(static_cast<size_t>(n));
  for (int y = d.top; y < d.bottom; ++y) {
    const size_t row = static_cast<size_t>(y - d.top) * n;
    const uint64_t* now = stamps + static_cast<size_t>(y) * m.BlocksPerRow() + firstBlock;
    uint64_t* kept = c.placed.data() + row;
    bool keeping = false;
    for (const KeptBlocks& k : keep) {
      if (y < k.top || y >= k.bottom) continue;
      if (!keeping) std::fill(keepRow.begin(), keepRow.end(), 0);
      keeping = true;
      for (int b = std::max(k.first - firstBlock, 0); b <= std::min(k.last - firstBlock, n - 1); ++b)
        keepRow[static_cast<size_t>(b)] = 1;
    }
    // Most rows of a frame like the one before hold it whole.
    if (!keeping && !same && std::memcmp(now, kept, static_cast<size_t>(n) * sizeof(uint64_t)) == 0)
      continue;
    auto holds = [&](int b) {
      if (keeping && keepRow[static_cast<size_t>(b)]) return true;
      return now[b] == kept[b] && (!same || same[row + b]);
    };
    for (int b = 0; b < n;) {
      if (holds(b)) {
        ++b;
        continue;
      }
      int end = b + 1;
      while (end < n && !holds(end)) ++end;
      const int x0 = std::max(d.left, (firstBlock + b) * B);
      const int x1 = std::min(d.right, (firstBlock + end) * B);
      std::memcpy(m.ColourRowToWrite(y, x0, x1) + x0,
                  e.enlarged.data() + static_cast<size_t>(y - d.top) * w + (x0 - d.left),
                  static_cast<size_t>(x1 - x0) * 4);
      for (int k = b; k < end; ++k) kept[k] = now[k];
      b = end;
    }
  }
  c.placedId = e.id;
  return true;
}

// Whether src of the backdrop sheet can go through the cache, and onto
// which part of mainSurface (presentRect clipped to it).
bool Cacheable(const Surfaces& s, const Rect& src, Rect& dest) {
  const Surface& m = s.mainSurface;
  const Surface& sheet = s.backdropSheet;
  const Rect& p = s.presentRect;
  dest = Rect{std::max(p.left, 0), std::max(p.top, 0), std::min(p.right, m.Width()),
              std::min(p.bottom, m.Height())};
  // Only a plain copy of a frame wholly on the sheet onto an upright target
  // writes every pixel of the clipped target, which is what the cache holds.
  return m.IsColour() && sheet.IsColour() && m.canvas.copyMode == SRCCOPY && src.left >= 0 &&
         src.top >= 0 && src.right <= sheet.Width() && src.bottom <= sheet.Height() &&
         src.left < src.right && src.top < src.bottom && p.left < p.right && p.top < p.bottom &&
         dest.left < dest.right && dest.top < dest.bottom &&
         s.backdropFrameCount <= static_cast<int>(BackdropCache::kEntries);
}

// The cached frame for src as it would be placed now, if there is one.
BackdropCache::Entry* CachedFrame(const Surfaces& s, const Rect& src) {
  Rect dest;
  if (!Cacheable(s, src, dest)) return nullptr;
  for (BackdropCache::Entry& e : TheBackdropCache().entries)
    if (e.src == src && e.dest == dest && e.sheetStamp == s.backdropSheet.Stamp()) return &e;
  return nullptr;
}

// Copies src of the backdrop sheet onto presentRect of mainSurface through
// the cache of enlarged frames; the pixels are exactly those of CopyRect.
// With `deferred`, a frame found in the cache is not copied but returned,
// for the caller to lay the stage over it in the same pass.
const BackdropCache::Entry* CopyBackdropFrame(Surfaces& s, const Rect& src,
                                              bool deferred = false) {
  Surface& m = s.mainSurface;
  const Surface& sheet = s.backdropSheet;
  const Rect& p = s.presentRect;
  Rect dest;
  const bool cacheable = Cacheable(s, src, dest);
  BackdropCache& c = TheBackdropCache();
  if (!cacheable) {
    CopyRect(m, p, sheet, src);
    c.placedId = 0;
    return nullptr;
  }
  const size_t destW = static_cast<size_t>(dest.Width());
  BackdropCache::Entry* slot = nullptr;
  for (BackdropCache::Entry& e : c.entries) {
    if (e.src != src || e.dest != dest) continue;
    if (e.sheetStamp == sheet.Stamp()) {
      e.used = ++c.clock;
      if (deferred) return &e;
      PlaceFrame(c, e, m);
      return nullptr;
    }
    slot = &e;  // the same frame of another sheet: made again in its place
  }
  CopyRect(m, p, sheet, src);
  if (!slot) {
    if (c.entries.size() < BackdropCache::kEntries) {
      slot = &c.entries.emplace_back();
    } else {
      slot = &*std::min_element(c.entries.begin(), c.entries.end(),
                                [](const auto& a, const auto& b) { return a.used < b.used; });
    }
  }
  slot->src = src;
  slot->dest = dest;
  slot->sheetStamp = sheet.Stamp();
  slot->id = ++c.lastId;
  slot->sameAs.clear();
  slot->used = ++c.clock;
  slot->enlarged.resize(destW * static_cast<size_t>(dest.Height()));
  for (int y = dest.top; y < dest.bottom; ++y)
    std::memcpy(slot->enlarged.data() + static_cast<size_t>(y - dest.top) * destW,
                std::as_const(m).ColourRow(y) + dest.left, destW * 4);
  NotePlaced(c, *slot, m);
  return nullptr;
}

// Steps 1 to 3 of AnimateBackdrop: the next frame's place in the sheet.
Rect NextBackdropFrame(Game& g);

// The flicker's choice for this frame: false when the figures are not
// painted (see CompositeStage).
bool PaintFiguresThisFrame(Game& g) {
  Surfaces& s = g.gfx;
  if (g.st.flickerUntil == 0) return true;
  if (s.flickerSkipped) {
    s.flickerSkipped = 0;
    return true;
  }
  if (g.Rand(2) == 0) s.flickerSkipped = 1;
  return false;
}

// The layers' source onto place of mainSurface the plain way: the mask
// with SRCAND, then (with colours) the sprites with SRCPAINT.
void CopyLayers(Surfaces& s, const Rect& place, const Rect& source, bool colours) {
  Surface& m = s.mainSurface;
  m.canvas.copyMode = SRCAND;
  CopyRect(m, place, s.maskLayer, source);
  if (!colours) return;
  m.canvas.copyMode = SRCPAINT;
  CopyRect(m, place, s.spriteLayer, source);
}

// CompositeStage over mainSurface, or over a cached backdrop frame that
// mainSurface has not received yet; both layers in one pass where the copy
// allows it.
void CompositeOver(Game& g, const BackdropCache::Entry* backdrop) {
  Surfaces& s = g.gfx;
  Surface& m = s.mainSurface;
  const bool paint = PaintFiguresThisFrame(g);
  PixelRows rows;
  if (backdrop)
    rows = {backdrop->enlarged.data(), static_cast<size_t>(backdrop->dest.Width()), backdrop->dest};
  const bool done = CompositeLayers(m, s.presentRect, s.maskLayer, paint ? &s.spriteLayer : nullptr,
                                    s.stageView, backdrop ? &rows : nullptr);
  if (!done) {
    if (backdrop) CopyWholeFrame(*backdrop, m);
    CopyLayers(s, s.presentRect, s.stageView, paint);
  }
  // The copy mode is left as the copies would leave it.
  m.canvas.copyMode = paint ? SRCPAINT : SRCAND;
}

}  // namespace

void AnimateBackdrop(Game& g) {
  // 4.
  CopyBackdropFrame(g.gfx, NextBackdropFrame(g));
}

namespace {

// What a cut of the layers was laid over and what it left: enough to know
// that laying it again would change nothing.
struct LaidCut {
  StageCut cut;
  uint64_t frameId = 0;  // the backdrop frame under it
  std::vector<uint64_t> mask, colour, laid;  // block stamps of its source and place
};

struct CutMemo {
  std::vector<LaidCut> cuts;
  std::vector<uint64_t> scratch;
};

CutMemo& TheCutMemo() {
  static thread_local CutMemo memo;
  return memo;
}

// r clipped to the surface, upright.
Rect ClippedTo(const Surface& s, const Rect& r) {
  return {std::max(std::min(r.left, r.right), 0), std::max(std::min(r.top, r.bottom), 0),
          std::min(std::max(r.left, r.right), s.Width()),
          std::min(std::max(r.top, r.bottom), s.Height())};
}

// The block stamps of r's rows and block columns; empty when the surface
// keeps none or r misses it.
void StampsOf(const Surface& s, const Rect& r, std::vector<uint64_t>& out) {
  out.clear();
  const uint64_t* stamps = s.BlockStamps();
  const Rect c = ClippedTo(s, r);
  if (!stamps || c.left >= c.right || c.top >= c.bottom) return;
  const int first = c.left / Surface::kStampBlock, last = (c.right - 1) / Surface::kStampBlock;
  for (int y = c.top; y < c.bottom; ++y) {
    const uint64_t* row = stamps + static_cast<size_t>(y) * s.BlocksPerRow();
    out.insert(out.end(), row + first, row + last + 1);
  }
}

bool SameStamps(const Surface& s, const Rect& r, const std::vector<uint64_t>& seen,
                std::vector<uint64_t>& scratch) {
  StampsOf(s, r, scratch);
  return !scratch.empty() && scratch == seen;
}

}  // namespace

void AnimateBackdropWithCuts(Game& g, const StageCut* cuts, size_t count) {
  Surfaces& s = g.gfx;
  Surface& m = s.mainSurface;
  CutMemo& memo = TheCutMemo();
  memo.cuts.resize(count);
  const Rect src = NextBackdropFrame(g);
  BackdropCache::Entry* frame = CachedFrame(s, src);
  // A cut stands as it is when its layers, the frame under it and its own
  // blocks are all as they were when it was last laid.
  std::vector<bool> stands(count, false);
  std::vector<KeptBlocks> keep;
  for (size_t i = 0; frame && i < count; ++i) {
    const LaidCut& laid = memo.cuts[i];
    const StageCut& cut = cuts[i];
    if (laid.frameId != frame->id || laid.cut.source != cut.source || laid.cut.place != cut.place ||
        !SameStamps(s.maskLayer, cut.source, laid.mask, memo.scratch) ||
        !SameStamps(s.spriteLayer, cut.source, laid.colour, memo.scratch) ||
        !SameStamps(m, cut.place, laid.laid, memo.scratch))
      continue;
    stands[i] = true;
  }
  // Blocks are kept whole: a cut that shares a block with one laid again
  // must be laid again too, over the frame placed fresh.
  auto blocksOf = [&](size_t i) {
    const Rect p = ClippedTo(m, cuts[i].place);
    return KeptBlocks{p.top, p.bottom, p.left / Surface::kStampBlock,
                      (p.right - 1) / Surface::kStampBlock};
  };
  auto share = [](const KeptBlocks& a, const KeptBlocks& b) {
    return a.top < b.bottom && b.top < a.bottom && a.first <= b.last && b.first <= a.last;
  };
  for (bool changed = true; changed;) {
    changed = false;
    for (size_t i = 0; i < count; ++i)
      for (size_t j = 0; j < count && stands[i]; ++j)
        if (j != i && !stands[j] && share(blocksOf(i), blocksOf(j))) stands[i] = false, changed = true;
  }
  for (size_t i = 0; i < count; ++i)
    if (stands[i]) keep.push_back(blocksOf(i));
  BackdropCache& c = TheBackdropCache();
  bool kept = false;
  if (frame) {
    frame->used = ++c.clock;
    kept = PlaceFrame(c, *frame, m, keep);
  } else {
    CopyBackdropFrame(s, src);
  }
  for (size_t i = 0; i < count; ++i) {
    if (kept && stands[i]) continue;
    const StageCut& cut = cuts[i];
    if (!CompositeLayers(m, cut.place, s.maskLayer, &s.spriteLayer, cut.source))
      CopyLayers(s, cut.place, cut.source, true);
    LaidCut& laid = memo.cuts[i];
    laid.cut = cut;
    laid.frameId = c.placedId;  // 0 when the frame did not come from the cache
    StampsOf(s.maskLayer, cut.source, laid.mask);
    StampsOf(s.spriteLayer, cut.source, laid.colour);
    StampsOf(m, cut.place, laid.laid);
  }
  if (count > 0) m.canvas.copyMode = SRCPAINT;  // as the copies leave it
}

void AnimateBackdropAndCompositeStage(Game& g) {
  const BackdropCache::Entry* cached = CopyBackdropFrame(g.gfx, NextBackdropFrame(g), true);
  CompositeOver(g, cached);
}

namespace {
Rect NextBackdropFrame(Game& g) {
  Surfaces& s = g.gfx;
  // 1. At the normal interval, every second call does not advance.
  if (g.st.frameInterval == g.st.normalFrameInterval) {
    s.backdropHalfRate = !s.backdropHalfRate;
    if (s.backdropHalfRate == 1) s.backdropTick = static_cast<int8_t>(s.backdropTick - 1);
  }
  // 2.
  s.backdropTick = static_cast<int8_t>(s.backdropTick + 1);
  if (s.backdropTick >= s.backdropTicksPerFrame) {
    s.backdropTick = 0;
    s.backdropFrame = static_cast<int8_t>(s.backdropFrame + 1);
    if (s.backdropFrame >= s.backdropFrameCount) s.backdropFrame = 0;
  }
  // 3.
  Rect src;
  if (s.backdropStrip) {
    src = Rect::XYWH(s.backdropFrame * 214, 0, 214, 160);
  } else {
    switch (s.backdropFrame) {
      case 1: src = Rect::XYWH(320, 0, 320, 240); break;
      case 2: src = Rect::XYWH(0, 240, 320, 240); break;
      case 3: src = Rect::XYWH(320, 240, 320, 240); break;
      default:
        s.backdropFrame = 0;
        src = Rect::XYWH(0, 0, 320, 240);
        break;
    }
  }
  return src;
}
}  // namespace

void CompositeStage(Game& g) {
  CompositeOver(g, nullptr);
}

void DrawIconPanel(Game& g, int facing) {
  Surfaces& s = g.gfx;
  const int k = WindowScale(g);
  facing = facing ? 1 : 0;
  // 1. The action engine's indicator glyph.
  StampIndicator(g);
  // 2.
  s.cellRect = facing == 0 ? atlas::kIconFacing0 : atlas::kIconFacing1;
  // 3.
  const Point p = ScreenToClientPoint(g, g.pf.window->PointerPos());
  const int px = p.x + 10, py = p.y + 10;
  if (px < 120 * k)
    s.iconSide = 2;
  else if (px > 199 * k)
    s.iconSide = 1;
  if (py < 30 * k)
    s.iconRow = 2;
  else if (py > 209 * k)
    s.iconRow = 1;
  // 4.
  int iconLeft, panelLeft;
  if (s.iconSide == 1) {
    iconLeft = (4 - 3 * facing) * k;
    panelLeft = 2 * k;
  } else {
    iconLeft = (244 - 3 * facing) * k;
    panelLeft = 244 * k;
  }
  // 5.
  const int iconTop = (s.iconRow == 1 || s.albumShown) ? 2 * k : 185 * k;
  s.placeRect = Rect::XYWH(iconLeft, iconTop, 75 * k, 68 * k);
  // 6.
  s.albumRect = Rect::XYWH(panelLeft, 184 * k, 74 * k, 54 * k);
  // 7.
  if (s.iconShown) {
    s.mainSurface.canvas.copyMode = SRCAND;
    CopyRect(s.mainSurface, s.placeRect, s.mainSheets[3], s.cellRect);
    s.mainSurface.canvas.copyMode = SRCPAINT;
    CopyRect(s.mainSurface, s.placeRect, s.mainSheets[0], s.cellRect);
  }
  // 8.
  DrawAlbumPanel(g);
}

void DrawAlbumPanelLeft(Game& g) {
  const int k = WindowScale(g);
  g.gfx.albumRect = Rect::XYWH(2 * k, 184 * k, 74 * k, 54 * k);
  DrawAlbumPanel(g);
}

void DrawAlbumPanel(Game& g) {
  Surfaces& s = g.gfx;
  // 1. A held mouse button takes snapshots or pages the album.
  HeldButtonStep(g);
  // 2.
  if (!s.albumShown) return;
  // 3. A black frame one pixel outside the panel.
  s.mainSurface.canvas.copyMode = SRCCOPY;
  const Rect& a = s.albumRect;
  DrawRectangle(s.mainSurface, Rect{a.left - 1, a.top - 1, a.right + 1, a.bottom + 1});
  // 4.
  CopyRect(s.mainSurface, s.albumRect, s.snapshotStrip,
           Rect::XYWH(0, s.albumFrame * geo::kSnapshotH, geo::kSnapshotW, geo::kSnapshotH));
  // 5. Badge.
  const Rect badgeAt = Rect::XYWH(a.left, a.top - 8, atlas::kBadgeLoaded.Width(), atlas::kBadgeLoaded.Height());
  if (s.albumBadge >= 240) {
    s.albumBadge = static_cast<uint8_t>(s.albumBadge + 1);
    s.mainSurface.canvas.copyMode = SRCPAINT;
    CopyRect(s.mainSurface, badgeAt, s.mainSheets[0], atlas::kBadgeLoaded);
  } else if (s.albumBadge >= 1 && s.albumBadge <= 16) {
    s.albumBadge = static_cast<uint8_t>(s.albumBadge - 1);
    s.mainSurface.canvas.copyMode = SRCPAINT;
    CopyRect(s.mainSurface, badgeAt, s.mainSheets[0], atlas::kBadgeSaved);
  }
}

void PresentFrame(Game& g) {
  g.gfx.mainSurface.canvas.copyMode = SRCCOPY;
  PaintMainSurface(g);
}

void PaintMainSurface(Game& g) {
  const FrameView view = g.gfx.mainSurface.View();
  if (view.pixels) g.pf.window->Present(view);
}

}  // namespace kelvane
