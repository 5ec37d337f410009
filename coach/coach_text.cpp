#include "coach/coach_text.h"

namespace kelvane {

std::string Tr(const Translate& tr, const char* source) {
  if (!tr) return source;
  std::string shown = tr("Coach", source);
  return shown.empty() ? std::string(source) : shown;
}

std::string Arg(std::string text, std::initializer_list<std::string> args) {
  int n = 1;
  for (const std::string& a : args) {
    const std::string mark = "%" + std::to_string(n++);
    const size_t at = text.find(mark);
    if (at != std::string::npos) text.replace(at, mark.size(), a);
  }
  return text;
}

std::string SignedPoints(int points) {
  return points > 0 ? "+" + std::to_string(points) : std::to_string(points);
}

}  // namespace kelvane
