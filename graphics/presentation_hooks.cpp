// Call points that the frame drawing leaves to other subsystems. Each is empty
// until its owner fills it in here.
#include "graphics/presentation.h"

#include "gameplay/action_engine.h"

namespace kelvane {

// Action engine: DrawIconPanel step 1. Unless the engine's flag is
// set, stamp the current 4 x 5 indicator glyph into the two icon cells of
// g.gfx.mainSheets[0] (atlas::kIconFacing0 / kIconFacing1).
void IconPanelIndicatorStep(Game& g) { StampIndicator(g); }

// Mouse: DrawAlbumPanel step 1, the held-button step (snapshots
// and album paging while a button is held).
void AlbumPanelMouseStep(Game&) {}

}  // namespace kelvane
