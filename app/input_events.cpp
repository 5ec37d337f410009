#include "app/input_events.h"

#include "app/game.h"
#include "gameplay/keyboard.h"

namespace kelvane {

// The keyboard, mouse and drop handlers of the Parts are wired in here as
// they are built; until then input only reaches the key state.
void KeyDown(Game& g, FormId form, int vk, ShiftState shift) { FormKeyDown(g, form, vk, shift); }
void KeyUp(Game& g, FormId form, int vk, ShiftState shift) { FormKeyUp(g, form, vk, shift); }
void MouseDown(Game&, MouseButton, Point, ShiftState) {}
void MouseUp(Game&, MouseButton, Point, ShiftState) {}
void MouseMove(Game&, Point, ShiftState) {}
void MouseWheel(Game&, bool, Point, ShiftState) {}
void DropFiles(Game&, const std::vector<std::string>&) {}

}  // namespace kelvane
