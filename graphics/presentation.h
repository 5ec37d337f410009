// The layer operations, the sprite blit, compositing, the overlay
// panels and the presentation of mainSurface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/raster.h"

namespace kelvane {

struct Game;

// Draws (144,0)-(465,240) on both layers with their own brush and pen: the
// stage becomes black on spriteLayer and white on maskLayer.
void ClearLayers(Game& g);
// Fills the whole mainSurface with its brush colour (black).
void ClearScreen(Game& g);
// If mask is given, copies blitSource of it onto blitTarget of maskLayer;
// then blitSource of colour onto blitTarget of spriteLayer; each with the
// layer's current copy mode.
void DrawSprite(Game& g, const Surface& colour, const Surface* mask);
// On maskLayer, then spriteLayer: copies r onto r moved down by d.
void ShiftLayers(Game& g, const Rect& r, int8_t d);
// One step of the wave effect for the mode menu's figure at (x, y).
void WaveStep(Game& g, int x, int y);
// The offset WaveStep uses at a phase: 3 sin(phase x pi/10), halves to even.
int WaveOffsetAt(int phase);
// Advances the backdrop animation and copies the frame onto presentRect.
void AnimateBackdrop(Game& g);
// Lays the layers over mainSurface (AND the mask, then OR the colours unless
// the flicker skips this frame).
void CompositeStage(Game& g);
// AnimateBackdrop and then CompositeStage, with the same result, but the
// stage laid over the enlarged backdrop frame in one pass.
void AnimateBackdropAndCompositeStage(Game& g);
// A part of the layers laid over the frame: source in the layers, place in
// mainSurface.
struct StageCut {
  Rect source, place;
};
// AnimateBackdrop and then each cut laid over mainSurface, mask with SRCAND
// and then colours with SRCPAINT, leaving mainSurface as those copies
// would. A cut whose layers, backdrop frame and place are as they were
// when it was last laid, and that nothing has drawn over since, is left as
// it stands (with the backdrop around it in the blocks it shares).
void AnimateBackdropWithCuts(Game& g, const StageCut* cuts, size_t count);
// The icon panel and then the snapshot panel; facing is the character's
// facing flag of the action engine (0 or 1).
void DrawIconPanel(Game& g, int facing);
// The snapshot panel at its fixed left place.
void DrawAlbumPanelLeft(Game& g);
// The snapshot panel at albumRect.
void DrawAlbumPanel(Game& g);
// Sets mainSurface's copy mode to SRCCOPY and shows the whole mainSurface.
void PresentFrame(Game& g);
// Shows mainSurface as it is (no copy mode change): the window's repaint.
void PaintMainSurface(Game& g);

}  // namespace kelvane
