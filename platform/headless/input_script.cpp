#include "platform/headless/input_script.h"
#include "platform/core/shown_name.h"

#include <algorithm>
#include <sstream>

namespace kelvane {
namespace {

bool ParseInt(const std::string& s, long long lo, long long hi, long long& out) {
  if (s.empty()) return false;
  size_t i = s[0] == '-' ? 1 : 0;
  if (i == s.size() || s.size() > 12) return false;
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  if (s[0] == '-') v = -v;
  if (v < lo || v > hi) return false;
  out = v;
  return true;
}

// Reads the optional trailing "shift" and "alt" words.
bool ParseShift(const std::vector<std::string>& w, size_t from, ShiftState& shift,
                std::string& why) {
  for (size_t i = from; i < w.size(); ++i) {
    if (w[i] == "shift") {
      shift.shift = true;
    } else if (w[i] == "alt") {
      shift.alt = true;
    } else {
      why = "unexpected word '" + w[i] + "'";
      return false;
    }
  }
  return true;
}

bool ParseLine(const std::vector<std::string>& w, InputEvent& e, std::string& why) {
  long long v = 0;
  if (!ParseInt(w[0], 0, 1LL << 40, v)) {
    why = "bad time '" + w[0] + "'";
    return false;
  }
  e.ms = static_cast<uint64_t>(v);
  if (w.size() < 2) {
    why = "missing event";
    return false;
  }
  const std::string& kind = w[1];
  if (kind == "key") {
    if (w.size() < 4 || (w[2] != "down" && w[2] != "up")) {
      why = "expected: key down|up <vk>";
      return false;
    }
    e.kind = w[2] == "down" ? InputEvent::Kind::KeyDown : InputEvent::Kind::KeyUp;
    if (!ParseInt(w[3], 1, 254, v)) {
      why = "bad virtual-key code '" + w[3] + "'";
      return false;
    }
    e.vk = static_cast<int>(v);
    return ParseShift(w, 4, e.shift, why);
  }
  if (kind == "mouse") {
    if (w.size() >= 5 && w[2] == "move") {
      e.kind = InputEvent::Kind::MouseMove;
      long long x, y;
      if (!ParseInt(w[3], -100000, 100000, x) || !ParseInt(w[4], -100000, 100000, y)) {
        why = "bad position";
        return false;
      }
      e.pos = {static_cast<int>(x), static_cast<int>(y)};
      return ParseShift(w, 5, e.shift, why);
    }
    if (w.size() < 6 || (w[2] != "down" && w[2] != "up")) {
      why = "expected: mouse down|up left|right|middle <x> <y> or mouse move <x> <y>";
      return false;
    }
    e.kind = w[2] == "down" ? InputEvent::Kind::MouseDown : InputEvent::Kind::MouseUp;
    if (w[3] == "left") {
      e.button = MouseButton::Left;
    } else if (w[3] == "right") {
      e.button = MouseButton::Right;
    } else if (w[3] == "middle") {
      e.button = MouseButton::Middle;
    } else {
      why = "bad button '" + w[3] + "'";
      return false;
    }
    long long x, y;
    if (!ParseInt(w[4], -100000, 100000, x) || !ParseInt(w[5], -100000, 100000, y)) {
      why = "bad position";
      return false;
    }
    e.pos = {static_cast<int>(x), static_cast<int>(y)};
    return ParseShift(w, 6, e.shift, why);
  }
  if (kind == "wheel") {
    if (w.size() < 5 || (w[2] != "up" && w[2] != "down")) {
      why = "expected: wheel up|down <x> <y>";
      return false;
    }
    e.kind = w[2] == "up" ? InputEvent::Kind::WheelUp : InputEvent::Kind::WheelDown;
    long long x, y;
    if (!ParseInt(w[3], -100000, 100000, x) || !ParseInt(w[4], -100000, 100000, y)) {
      why = "bad position";
      return false;
    }
    e.pos = {static_cast<int>(x), static_cast<int>(y)};
    return ParseShift(w, 5, e.shift, why);
  }
  if (kind == "drop") {
    if (w.size() < 3) {
      why = "drop needs at least one path";
      return false;
    }
    e.kind = InputEvent::Kind::Drop;
    e.paths.assign(w.begin() + 2, w.end());
    return true;
  }
  if (kind == "close") {
    if (w.size() != 2) {
      why = "close takes no arguments";
      return false;
    }
    e.kind = InputEvent::Kind::Close;
    return true;
  }
  why = "unknown event '" + kind + "'";
  return false;
}

}  // namespace

std::optional<std::vector<InputEvent>> ParseInputScript(const std::string& text,
                                                        const std::string& fileName,
                                                        std::string& error) {
  std::vector<InputEvent> events;
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (auto hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string s; words >> s;) w.push_back(s);
    if (w.empty()) continue;
    InputEvent e;
    std::string why;
    if (!ParseLine(w, e, why)) {
      error = ShownName(fileName) + ":" + std::to_string(lineNo) + ": " + why;
      return std::nullopt;
    }
    events.push_back(std::move(e));
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const InputEvent& a, const InputEvent& b) { return a.ms < b.ms; });
  return events;
}

}  // namespace kelvane
