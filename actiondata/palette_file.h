// The palette file Xx.txt: four palettes of sixteen colours. Palette 0 is
// for the backdrops, palettes 1..3 for the character's colour schemes 0..2.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "graphics/raster.h"

namespace kelvane {

struct Game;

struct Palettes {
  static constexpr int kCount = 4;
  static constexpr int kEntries = 16;
  // Red, green, blue as the file gives them (low 8 bits). Colour 0 of
  // palette 0 holds the backdrop counts, not a colour.
  std::array<std::array<std::array<uint8_t, 3>, kEntries>, kCount> paletteColours{};
  // The same as pixels (0x00RRGGBB) with entry 0 always black, for the
  // palettized pictures.
  std::array<Palette16, kCount> charPalettes{};
};

inline constexpr const char* kPaletteFileName = "Xx.txt";

// Fills paletteColours from text. A line without twelve integers, or a file
// that ends early, is refused: returns false with "label:LINE: reason".
bool ParsePaletteText(Palettes& p, std::string_view text, const std::string& label,
                      std::string* error);
// Reads dataFolder + "Xx.txt". On failure tells the user and returns false.
bool ReadPaletteFile(Game& g);

void BuildPalettes(Palettes& p);
void BuildPalettes(Game& g);

// Entry b (0..15) of palette s + 1 (s = -1 the backdrops, 0..2 the colour
// schemes) as a platform colour value 0x00BBGGRR. Entry 0 is the file's
// value, not the forced black. Outside those ranges: 0.
uint32_t PaletteColour(const Palettes& p, int s, int b);
uint32_t PaletteColour(const Game& g, int s, int b);

// 0x00BBGGRR <-> 0x00RRGGBB (the swap is its own inverse).
constexpr uint32_t SwapRedBlue(uint32_t c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

}  // namespace kelvane
