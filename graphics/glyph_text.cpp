#include "graphics/glyph_text.h"

#include <cstring>

namespace kelvane {

int GlyphNumber(char c) {
  if (c == '\0') return 0;
  const char* p = std::strchr(kGlyphSet, c);
  return p ? static_cast<int>(p - kGlyphSet) + 1 : 0;
}

std::string FilterGlyphText(int n, const std::string& text) {
  if (n <= 0) return "";
  std::string out(static_cast<size_t>(n), '_');
  for (size_t i = 0; i < out.size() && i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (GlyphNumber(c) != 0) out[i] = c;
  }
  return out;
}

std::string PadLeft(int w, long long number) {
  std::string s = std::to_string(number);
  if (w <= 0) return "";
  size_t width = static_cast<size_t>(w);
  if (s.size() > width) return s.substr(s.size() - width);
  return std::string(width - s.size(), ' ') + s;
}

}  // namespace kelvane
