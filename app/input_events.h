// The one door through which both hosts (the Qt windows and the headless
// harness) deliver input to the game. Each call stamps nothing by itself;
// the handlers behind it do what the game does with the input. Positions
// are client coordinates of the play area.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace kelvane {

struct Game;

void KeyDown(Game& g, FormId form, int vk, ShiftState shift);
void KeyUp(Game& g, FormId form, int vk, ShiftState shift);
void MouseDown(Game& g, MouseButton button, Point client, ShiftState shift);
void MouseUp(Game& g, MouseButton button, Point client, ShiftState shift);
void MouseMove(Game& g, Point client, ShiftState shift);
// up is true for a wheel turn away from the user.
void MouseWheel(Game& g, bool up, Point client, ShiftState shift);
void DropFiles(Game& g, const std::vector<std::string>& paths);

}  // namespace kelvane
