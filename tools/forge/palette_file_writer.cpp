// Writes "Xx.txt", the four palettes, from the shared palette constants.
#include <string>

#include "actiondata/palette_file.h"
#include "tools/forge/forge.h"
#include "tools/forge/palette_colours.h"

namespace forge {
namespace {

const char* const kPaletteTitles[4] = {
    "Palette 0: backdrops (colour 0 = plain colour count, backdrop picture count, unused)",
    "Palette 1: colour scheme 0 (red hair, blue dress; also the main picture)",
    "Palette 2: colour scheme 1 (dark hair, crimson costume)",
    "Palette 3: colour scheme 2 (blonde, green costume)",
};

std::string PaletteText() {
  std::string text;
  for (int p = 0; p < 4; ++p) {
    text += kPaletteTitles[p];
    text += "\r\n";
    for (int line = 0; line < 4; ++line) {
      for (int c = 0; c < 4; ++c) {
        const Rgb& rgb = kPalettes[p][line * 4 + c];
        text += std::to_string(rgb.r) + " " + std::to_string(rgb.g) + " " + std::to_string(rgb.b);
        text += c == 3 ? "\r\n" : "  ";
      }
    }
  }
  return text;
}

// Reads the text back with the game's own reader so a layout slip fails here.
void CheckRoundTrip(const std::string& text) {
  kelvane::Palettes read;
  std::string error;
  if (!kelvane::ParsePaletteText(read, text, "Xx.txt", &error)) throw ForgeError{error};
  for (int p = 0; p < 4; ++p)
    for (int c = 0; c < 16; ++c) {
      const auto& got = read.paletteColours[p][c];
      const Rgb& want = kPalettes[p][c];
      if (got[0] != want.r || got[1] != want.g || got[2] != want.b)
        throw ForgeError{"Xx.txt: palette " + std::to_string(p) + " colour " + std::to_string(c) +
                         " does not read back"};
    }
}

void WritePaletteFile(Forge& f) {
  std::string text = PaletteText();
  CheckRoundTrip(text);
  f.WriteFile("Xx.txt", text);
}

}  // namespace

FORGE_WRITER("palettes", WritePaletteFile);

}  // namespace forge
