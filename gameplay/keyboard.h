// The two key handlers of the main window. Every key of the game arrives
// here, also the keys that the command list window passes on, the idle
// time-outs synthesize and the mouse buttons stand for; the scenes only see
// the sub-steps and values these handlers set.
#pragma once

#include "platform/platform.h"

namespace kelvane {

struct Game;

// A key press: the scene's menu keys, the stage start's confirm keys, and
// the command digits of a human turn.
void FormKeyDown(Game& g, FormId sender, int vk, ShiftState shift);
// A key release: the confirm keys of the stage start and the music menu,
// the play keys, the snapshot album keys and the global keys.
void FormKeyUp(Game& g, FormId sender, int vk, ShiftState shift);

}  // namespace kelvane
