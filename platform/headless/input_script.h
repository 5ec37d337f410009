// Scripted input for the headless harness, one event a line:
//   <ms> key down|up <vk> [shift] [alt]
//   <ms> mouse down|up left|right|middle <x> <y> [shift] [alt]
//   <ms> mouse move <x> <y>
//   <ms> wheel up|down <x> <y> [shift] [alt]
//   <ms> drop <path>...
//   <ms> close
// "#" starts a comment; <ms> counts from the start of the run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kelvane {

struct InputEvent {
  enum class Kind { KeyDown, KeyUp, MouseDown, MouseUp, MouseMove, WheelUp, WheelDown, Drop, Close };
  uint64_t ms = 0;
  Kind kind = Kind::KeyDown;
  int vk = 0;
  MouseButton button = MouseButton::Left;
  Point pos;
  ShiftState shift;
  std::vector<std::string> paths;
};

// Parses a whole script; on a malformed line returns nothing and sets error
// to "FILE:LINE: reason". Events come back sorted by time, stable.
std::optional<std::vector<InputEvent>> ParseInputScript(const std::string& text,
                                                        const std::string& fileName,
                                                        std::string& error);

}  // namespace kelvane
