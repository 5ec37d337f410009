#include "actiondata/palette_file.h"

#include <algorithm>
#include <vector>

#include "actiondata/number_text.h"
#include "app/game.h"
#include "platform/core/shown_name.h"

namespace kelvane {
namespace {

constexpr int kColoursPerLine = 4;
constexpr size_t kNumbersPerLine = 12;

}  // namespace

bool ParsePaletteText(Palettes& p, std::string_view text, const std::string& label,
                      std::string* error) {
  std::vector<std::string_view> lines = SplitLines(text);
  auto fail = [&](size_t lineNo, const std::string& reason) {
    if (error) *error = ShownName(label) + ":" + std::to_string(lineNo) + ": " + reason;
    return false;
  };
  size_t next = 0;
  for (int pal = 0; pal < Palettes::kCount; ++pal) {
    ++next;  // the title line
    for (int row = 0; row < Palettes::kEntries / kColoursPerLine; ++row) {
      size_t lineNo = next + 1;
      // A file that ends early is reported at its last line, not at a line
      // it does not have.
      if (next >= lines.size())
        return fail(std::max<size_t>(lines.size(), 1),
                    "the file ends before palette " + std::to_string(pal) + " is complete");
      std::string_view line = lines[next++];
      // Only the first twelve fields count; the rest of the line is free.
      std::vector<std::string_view> fields;
      size_t i = 0;
      while (i < line.size() && fields.size() < kNumbersPerLine) {
        if (line[i] == ' ' || line[i] == '\t') {
          ++i;
          continue;
        }
        size_t end = line.find_first_of(" \t", i);
        if (end == std::string_view::npos) end = line.size();
        fields.push_back(line.substr(i, end - i));
        i = end;
      }
      if (fields.size() < kNumbersPerLine)
        return fail(lineNo, "expected 12 numbers, found " + std::to_string(fields.size()));
      for (size_t f = 0; f < kNumbersPerLine; ++f) {
        std::optional<int32_t> v = ParseInteger(fields[f]);
        if (!v) return fail(lineNo, "not an integer: \"" + Excerpt(fields[f]) + "\"");
        int colour = row * kColoursPerLine + static_cast<int>(f / 3);
        p.paletteColours[pal][colour][f % 3] = static_cast<uint8_t>(*v);
      }
    }
  }
  return true;
}

bool ReadPaletteFile(Game& g) {
  std::string path = g.st.dataFolder + kPaletteFileName;
  std::optional<std::string> text = g.pf.files->ReadFile(path);
  std::string error;
  if (!text) {
    error = path + ": the file cannot be read";
  } else if (ParsePaletteText(g.palettes, *text, kPaletteFileName, &error)) {
    return true;
  }
  g.pf.app->ShowMessage(error);
  return false;
}

void BuildPalettes(Palettes& p) {
  for (int pal = 0; pal < Palettes::kCount; ++pal) {
    p.charPalettes[pal][0] = colour::kBlack;
    for (int b = 1; b < Palettes::kEntries; ++b) {
      const auto& rgb = p.paletteColours[pal][b];
      p.charPalettes[pal][b] = (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
    }
  }
}

void BuildPalettes(Game& g) {
  BuildPalettes(g.palettes);
}

uint32_t PaletteColour(const Palettes& p, int s, int b) {
  if (s < -1 || s >= Palettes::kCount - 1 || b < 0 || b >= Palettes::kEntries) return 0;
  const auto& rgb = p.paletteColours[s + 1][b];
  return uint32_t{rgb[0]} | (uint32_t{rgb[1]} << 8) | (uint32_t{rgb[2]} << 16);
}

uint32_t PaletteColour(const Game& g, int s, int b) {
  return PaletteColour(g.palettes, s, b);
}

}  // namespace kelvane
