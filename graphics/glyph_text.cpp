#include "graphics/glyph_text.h"

#include <cstring>

#include "app/game.h"
#include "graphics/atlas.h"

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

void DrawGlyphText(Game& g, int n, const std::string& text, int style, int y, int x) {
  Surfaces& s = g.gfx;
  for (int i = 0; i < n; ++i) {
    const char c = static_cast<size_t>(i) < text.size() ? text[static_cast<size_t>(i)] : '\0';
    const Rect cell = atlas::LetterCell(GlyphNumber(c), style);
    CopyRect(s.spriteLayer, Rect::XYWH(x + atlas::kGlyphPitch * i, y, atlas::kGlyphW, atlas::kGlyphH),
             s.mainSheets[0], cell);
  }
}

void DrawDigits(Game& g, int n, int number, int style, int y, int x) {
  Surface& sheet = g.gfx.mainSheets[0];
  unsigned long long v = number < 0 ? 0ULL - static_cast<unsigned long long>(static_cast<long long>(number))
                                    : static_cast<unsigned long long>(number);
  // Digits right to left: place n-1 holds the units.
  for (int i = n - 1; i >= 0; --i) {
    const int d = static_cast<int>(v % 10);
    v /= 10;
    CopyRect(sheet, Rect::XYWH(x + atlas::kGlyphPitch * i, y, atlas::kGlyphW, atlas::kGlyphH), sheet,
             atlas::DigitCell(d, style));
  }
}

void DrawSignedNumber(Game& g, int n, int number, int style, int y, int x) {
  Surface& sheet = g.gfx.mainSheets[0];
  CopyRect(sheet, Rect::XYWH(x, y, atlas::kGlyphW, atlas::kGlyphH), sheet, atlas::SignCell(number < 0, style));
  DrawDigits(g, n, number, style, y, x + atlas::kGlyphPitch);
}

}  // namespace kelvane
