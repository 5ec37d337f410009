// Drawing helpers shared by the scenery writers: the game's 4 x 5 font as
// ink pixels, a blocky enlarged form of it for titles, full-colour pictures
// stored as 8-bit BMP (fixed palette, ordered dither) or baseline JPEG.
// Everything here is pure arithmetic on pixels, so the same input always
// gives the same bytes.
#pragma once

#include <QImage>
#include <string>
#include <string_view>

namespace forge {

// Rows of a 4 x 5 glyph, '#' for a set pixel; nullptr for a character the
// font does not have. '$' is the blank glyph; '_' draws as the cell that
// characters outside the set produce.
const char* const* GlyphRows(char c);

constexpr int kFontW = 4, kFontH = 5, kFontPitch = 5;
constexpr int TextWidth(int chars) {
  return chars > 0 ? chars * kFontPitch - 1 : 0;
}

// Sets the glyph's pixels to ink; other pixels are left alone. Throws
// ForgeError for a character the font lacks, so a label cannot silently
// lose a letter.
void DrawGlyph(QImage& canvas, int x, int y, char c, int ink);
void DrawText(QImage& canvas, int x, int y, std::string_view text, int ink);
// Text centred on column cx.
void DrawTextCentred(QImage& canvas, int cx, int y, std::string_view text, int ink);
// Five rows of four characters, '#' set: for pictograms in the font's size.
void DrawPattern(QImage& canvas, int x, int y, const char* const rows[5], int ink);

// The title letters (K, E, L, V, A, N), 6 x 8.
constexpr int kLogoFontH = 8;
const char* const* LogoGlyphRows(char c);

// A font enlarged: every glyph pixel becomes a scale x scale block with a
// light top row, a dark bottom row and an outline one pixel around. font
// "" is the game's font, "logo" the title letters.
struct BigInks {
  int light, main, dark, outline;
};
// Draws one pattern of rowCount rows; returns its width.
int DrawBigPattern(QImage& canvas, int x, int y, const char* const* rows, int rowCount, int scale,
                   const BigInks& inks);
int BigTextWidth(std::string_view text, int scale, int gap, std::string_view font = "");
void DrawBigText(QImage& canvas, int x, int y, std::string_view text, int scale, int gap,
                 const BigInks& inks, std::string_view font = "");

// Full-colour pictures as files. EncodeBmp8 maps every pixel to a fixed
// 256-colour palette through a 4 x 4 ordered dither.
std::string EncodeBmp8(const QImage& picture);
// The 8-bit picture as the game will see it, for the contact sheet.
QImage Bmp8Preview(const QImage& picture);
std::string EncodeJpeg(const QImage& picture, int quality);

// Small deterministic noise: a hash of (x, y, seed) in 0 .. 1.
double Hash01(int x, int y, int seed);

}  // namespace forge
