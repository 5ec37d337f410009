// The game's 51-character glyph set and the text routines built on it.
#pragma once

#include <string>

namespace kelvane {

struct Game;

inline constexpr const char* kGlyphSet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ?!0123456789+-/*:.,%'&@=$";

// Position of c in the glyph set counted from 1; 0 for any other character.
int GlyphNumber(char c);

// Upper-cases text, then exactly n characters: each in the glyph set kept,
// anything else (and every position past the end) "_". n <= 0 gives "".
std::string FilterGlyphText(int n, const std::string& text);

// Decimal text of number, cut to its last w characters or padded in front
// with blanks to w.
std::string PadLeft(int w, long long number);

// ---- Bitmap text and numbers, cells from graphics/atlas.h ----

// For i = 0 .. n-1: the glyph cell (style) of text's character i+1 onto the
// 4 x 5 rectangle at (x + 5i, y) of spriteLayer, with the layer's copy mode.
// Characters outside the glyph set, and places past the text's end, give
// cell 0. The mask layer is not touched.
void DrawGlyphText(Game& g, int n, const std::string& text, int style, int y, int x);
// The last n (1..6) decimal digits of number, with leading zeros, as digit
// cells onto (x + 5i, y) of mainSheets[0] itself, with its copy mode. A
// negative number draws the digits of its absolute value.
void DrawDigits(Game& g, int n, int number, int style, int y, int x);
// The sign cell (negative or not) to (x, y) of mainSheets[0], then
// DrawDigits of the absolute value at x + 5.
void DrawSignedNumber(Game& g, int n, int number, int style, int y, int x);

}  // namespace kelvane
