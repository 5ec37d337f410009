// Call points that the music panel leaves to the music menu. Each is empty
// until its owner fills it in here.
#include "music/music_panel.h"

#include "flow/music_menu.h"

namespace kelvane {

// The music menu: one step of its character's idle animation (idleCycle
// and the action engine step).
void MusicMenuAnimationStep(Game& g) { MusicMenuIdleStep(g); }

}  // namespace kelvane
