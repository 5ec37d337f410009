// The four palettes of "Xx.txt", shared by every forge writer that draws with
// them: palette 0 is the plain backdrop colours, palettes 1-3 are the
// character's three colour schemes (palette 1 is also the main picture Y_'s).
#pragma once

#include <cstdint>

namespace forge {

struct Rgb {
  uint8_t r, g, b;
};

// Backdrop counts kept in colour 0 of palette 0: plain colours 1..15 and the
// numbered backdrops X0.bmp .. X9.bmp (the command backdrop table reaches 7,
// "H=" step values reach 9; the scenery writer draws them all).
inline constexpr int kPlainBackdropColours = 15;
inline constexpr int kNumberedBackdrops = 10;

// Entry roles shared by the character palettes, so that a picture drawn with
// these indexes looks right in every scheme.
enum CharInk : uint8_t {
  kInkBlack = 0,    // transparent background
  kInkOutline = 1,  // outlines, dark details
  kInkSkinDark = 2,
  kInkSkin = 3,
  kInkSkinLight = 4,
  kInkHairDark = 5,
  kInkHair = 6,
  kInkCostumeDark = 7,
  kInkCostume = 8,
  kInkCostumeLight = 9,
  kInkAccentDark = 10,
  kInkAccent = 11,
  kInkAccentLight = 12,
  kInkWhite = 13,  // eyes, shine, text
  kInkGlowA = 14,  // effects: warm glow
  kInkGlowB = 15,  // effects: cool glow
};

inline constexpr Rgb kPalettes[4][16] = {
    // 0: backdrops. Colour 0 holds the counts, not a colour.
    {{kPlainBackdropColours, kNumberedBackdrops, 0},
     {16, 20, 64},
     {48, 16, 72},
     {8, 56, 64},
     {72, 16, 32},
     {16, 48, 24},
     {88, 56, 8},
     {24, 24, 32},
     {96, 32, 88},
     {0, 72, 112},
     {112, 40, 16},
     {40, 80, 104},
     {120, 96, 144},
     {200, 176, 120},
     {232, 120, 96},
     {176, 208, 224}},
    // 1: scheme 0, red hair, blue dress with gold trim.
    {{0, 0, 0},
     {36, 28, 52},
     {184, 112, 88},
     {240, 176, 144},
     {255, 220, 196},
     {144, 32, 24},
     {224, 80, 48},
     {24, 48, 136},
     {48, 96, 216},
     {120, 168, 255},
     {168, 112, 16},
     {232, 184, 40},
     {255, 240, 144},
     {255, 255, 255},
     {255, 200, 64},
     {96, 232, 255}},
    // 2: scheme 1, dark hair, crimson and black costume with silver trim.
    {{0, 0, 0},
     {24, 16, 16},
     {112, 64, 40},
     {168, 108, 72},
     {212, 156, 112},
     {24, 20, 28},
     {72, 60, 88},
     {112, 8, 24},
     {192, 24, 48},
     {248, 88, 96},
     {96, 104, 120},
     {176, 184, 200},
     {232, 240, 248},
     {255, 255, 255},
     {255, 96, 160},
     {192, 120, 255}},
    // 3: scheme 2, blonde, green and white costume with violet trim.
    {{0, 0, 0},
     {20, 40, 32},
     {208, 140, 112},
     {248, 200, 176},
     {255, 232, 216},
     {192, 136, 32},
     {248, 216, 88},
     {16, 96, 48},
     {40, 168, 80},
     {144, 232, 144},
     {88, 48, 144},
     {152, 104, 216},
     {216, 184, 255},
     {255, 255, 255},
     {160, 255, 96},
     {255, 160, 64}},
};

}  // namespace forge
