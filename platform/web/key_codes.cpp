#include "platform/web/key_codes.h"

#include <string_view>

namespace kelvane {
namespace {

struct Entry {
  std::string_view code;
  int vk;
};

// Keys that are the same with NumLock on and off.
constexpr Entry kKeys[] = {
    {"Backspace", 8},     {"Tab", 9},            {"Enter", 13},         {"NumpadEnter", 13},
    {"ShiftLeft", 16},    {"ShiftRight", 16},    {"ControlLeft", 17},   {"ControlRight", 17},
    {"AltLeft", 18},      {"AltRight", 18},      {"Pause", 19},         {"CapsLock", 20},
    {"Escape", 27},       {"Space", 32},         {"PageUp", 33},        {"PageDown", 34},
    {"End", 35},          {"Home", 36},          {"ArrowLeft", 37},     {"ArrowUp", 38},
    {"ArrowRight", 39},   {"ArrowDown", 40},     {"PrintScreen", 44},   {"Insert", 45},
    {"Delete", 46},       {"MetaLeft", 91},      {"MetaRight", 91},     {"ContextMenu", 93},
    {"NumpadMultiply", 106}, {"NumpadAdd", 107}, {"NumpadSubtract", 109},
    {"NumpadDivide", 111}, {"NumpadComma", 110}, {"NumLock", 144},      {"ScrollLock", 145},
};

// The keypad with NumLock off: its cursor keys, 5 is Clear.
constexpr int kKeypadOff[10] = {45, 35, 40, 34, 37, 12, 39, 36, 38, 33};

}  // namespace

int DomCodeToVk(const std::string& code, bool numLock) {
  std::string_view c = code;
  if (c.size() == 4 && c.substr(0, 3) == "Key" && c[3] >= 'A' && c[3] <= 'Z') return c[3];
  if (c.size() == 6 && c.substr(0, 5) == "Digit" && c[5] >= '0' && c[5] <= '9') return c[5];
  if (c.size() == 7 && c.substr(0, 6) == "Numpad" && c[6] >= '0' && c[6] <= '9')
    return numLock ? 96 + (c[6] - '0') : kKeypadOff[c[6] - '0'];
  if (c == "NumpadDecimal") return numLock ? 110 : 46;
  if (c.size() >= 2 && c[0] == 'F' && c.size() <= 3) {
    int n = 0;
    for (char d : c.substr(1)) {
      if (d < '0' || d > '9') return 0;
      n = n * 10 + (d - '0');
    }
    return n >= 1 && n <= 24 ? 111 + n : 0;
  }
  for (const Entry& e : kKeys)
    if (e.code == c) return e.vk;
  return 0;
}

}  // namespace kelvane
