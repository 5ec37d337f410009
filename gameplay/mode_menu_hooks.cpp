// Call points that the mode menu leaves to the mouse handling. Each stays
// empty until its owner fills it in here.
#include "gameplay/mode_menu.h"

namespace kelvane {

// The key that pointing at a menu icon means (16 when it means no move, 0
// when the pointer is over no icon). No pointer keys until then.
int MenuPointerKey(Game&) {
  return 0;
}

// Moves the pointer 80 pixels (160 in the large window) down, or up near the
// screen's bottom, when it still rests on an icon after a cursor move.
void MovePointerOffMenuIcon(Game&) {}

}  // namespace kelvane
