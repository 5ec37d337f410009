// Call points that the music menu leaves to the mouse handling. Each stays
// empty until its owner fills it in here.
#include "flow/music_menu.h"

namespace kelvane {

// The key that pointing at a music item means (16 when it means no move, 0
// when the pointer is over no item). No pointer keys until then.
int MusicMenuPointerKey(Game&) {
  return 0;
}

// Moves the pointer 80 pixels (160 in the large window) down, or up near the
// screen's bottom, when it still rests on an item after Left or Right.
void MovePointerOffMusicItem(Game&) {}

}  // namespace kelvane
