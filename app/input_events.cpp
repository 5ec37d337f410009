#include "app/input_events.h"

#include "app/game.h"
#include "app/trace.h"
#include "gameplay/keyboard.h"
#include "gameplay/mouse_input.h"
#include "music/play_list.h"

namespace kelvane {

void KeyDown(Game& g, FormId form, int vk, ShiftState shift) {
  if (g.trace) g.trace->Key(g.Now(), true, vk, false);
  FormKeyDown(g, form, vk, shift);
}
void KeyUp(Game& g, FormId form, int vk, ShiftState shift) {
  if (g.trace) g.trace->Key(g.Now(), false, vk, false);
  FormKeyUp(g, form, vk, shift);
}
void MouseDown(Game& g, MouseButton button, Point client, ShiftState shift) {
  FormMouseDown(g, button, shift, client);
}
void MouseUp(Game& g, MouseButton button, Point, ShiftState shift) { FormMouseUp(g, button, shift); }
void MouseMove(Game& g, Point, ShiftState) { FormMouseMove(g); }
void MouseWheel(Game& g, bool up, Point client, ShiftState shift) {
  FormMouseWheel(g, up, shift, client);
}
void DropFiles(Game& g, const std::vector<std::string>& paths) { FormDropFiles(g, paths); }

}  // namespace kelvane
