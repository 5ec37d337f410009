// The game's 51-character glyph set and the text routines built on it.
#pragma once

#include <string>

namespace kelvane {

inline constexpr const char* kGlyphSet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ?!0123456789+-/*:.,%'&@=$";

// Position of c in the glyph set counted from 1; 0 for any other character.
int GlyphNumber(char c);

// Upper-cases text, then exactly n characters: each in the glyph set kept,
// anything else (and every position past the end) "_". n <= 0 gives "".
std::string FilterGlyphText(int n, const std::string& text);

// Decimal text of number, cut to its last w characters or padded in front
// with blanks to w.
std::string PadLeft(int w, long long number);

}  // namespace kelvane
