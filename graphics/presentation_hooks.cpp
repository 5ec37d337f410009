// Call points that Part 4.1's drawing leaves to other Parts. Each is empty
// until its owner fills it in here.
#include "graphics/presentation.h"

#include "gameplay/action_engine.h"

namespace kelvane {

// Part 5.2 (action engine): DrawIconPanel step 1. Unless the engine's flag is
// set, stamp the current 4 x 5 indicator glyph into the two icon cells of
// g.gfx.mainSheets[0] (atlas::kIconFacing0 / kIconFacing1).
void IconPanelIndicatorStep(Game& g) { StampIndicator(g); }

// Part 5.5 (mouse): DrawAlbumPanel step 1, the held-button step (snapshots
// and album paging while a button is held).
void AlbumPanelMouseStep(Game&) {}

}  // namespace kelvane
