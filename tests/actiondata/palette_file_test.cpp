#include "actiondata/palette_file.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/fake_platform.h"

namespace kelvane {
namespace {

// A palette block: a title and four lines of twelve numbers; colour j gets
// red j + base, green 2j, blue 255 - j unless a line is given.
std::string Block(const std::string& title, int base) {
  std::string s = title + "\n";
  for (int line = 0; line < 4; ++line) {
    for (int c = 0; c < 4; ++c) {
      int j = line * 4 + c;
      s += std::to_string(j + base) + " " + std::to_string(2 * j) + " " + std::to_string(255 - j) +
           (c < 3 ? " " : "");
    }
    s += "\n";
  }
  return s;
}

std::string FourBlocks() {
  return Block("backdrops", 0) + Block("scheme 0", 10) + Block("scheme 1", 20) +
         Block("scheme 2", 30);
}

TEST(PaletteFileTest, ColoursLandByLineAndColumn) {
  Palettes p;
  std::string error;
  ASSERT_TRUE(ParsePaletteText(p, FourBlocks(), "Xx.txt", &error)) << error;
  EXPECT_EQ(p.paletteColours[1][6][0], 16);
  EXPECT_EQ(p.paletteColours[1][6][1], 12);
  EXPECT_EQ(p.paletteColours[1][6][2], 249);
  EXPECT_EQ(p.paletteColours[3][15][0], 45);
  // PaletteColour: s = -1 is the backdrop palette, red in the low byte.
  EXPECT_EQ(PaletteColour(p, -1, 5), 0xFA0A05u);
  EXPECT_EQ(PaletteColour(p, 2, 15), 0xF01E2Du);
}

TEST(PaletteFileTest, EntryZeroIsBlackOnlyInTheCharacterPalettes) {
  Palettes p;
  ASSERT_TRUE(ParsePaletteText(p, FourBlocks(), "Xx.txt", nullptr));
  BuildPalettes(p);
  // Scheme 0's colour 0 is (10, 0, 255) in the file.
  EXPECT_EQ(p.charPalettes[1][0], 0x000000u);
  EXPECT_EQ(PaletteColour(p, 0, 0), 0xFF000Au);
  // Other entries are the file's, as 0x00RRGGBB pixels.
  EXPECT_EQ(p.charPalettes[1][6], 0x100CF9u);
  EXPECT_EQ(SwapRedBlue(PaletteColour(p, 0, 6)), p.charPalettes[1][6]);
}

TEST(PaletteFileTest, ValuesKeepTheirLowByte) {
  std::string text = FourBlocks();
  // Colour 0 of scheme 0: 256 0 300 -> 0, 0, 44; colour 1 red -1 -> 255.
  size_t at = text.find("scheme 0\n") + 9;
  text.replace(at, text.find(' ', text.find(' ', text.find(' ', at) + 1) + 1) - at, "256 0 300 -1");
  Palettes p;
  std::string error;
  ASSERT_TRUE(ParsePaletteText(p, text, "Xx.txt", &error)) << error;
  EXPECT_EQ(p.paletteColours[1][0][0], 0);
  EXPECT_EQ(p.paletteColours[1][0][2], 44);
  EXPECT_EQ(p.paletteColours[1][1][0], 255);
}

TEST(PaletteFileTest, AnythingAfterTheTwelfthNumberIsIgnored) {
  std::string text = FourBlocks();
  size_t at = text.find('\n', text.find("backdrops\n") + 10);
  text.insert(at, "   colours 0-3, whatever follows");
  Palettes p;
  std::string error;
  ASSERT_TRUE(ParsePaletteText(p, text, "Xx.txt", &error)) << error;
  EXPECT_EQ(p.paletteColours[0][3][0], 3);
}

TEST(PaletteFileTest, MalformedFilesAreRefusedWithTheirLine) {
  Palettes p;
  std::string error;
  std::string shortLine = FourBlocks();
  shortLine.replace(shortLine.find("15 30 240"), 9, "");
  EXPECT_FALSE(ParsePaletteText(p, shortLine, "Xx.txt", &error));
  EXPECT_EQ(error, "Xx.txt:5: expected 12 numbers, found 9");

  std::string word = FourBlocks();
  word.replace(word.find("scheme 1\n") + 9, 2, "2x");
  EXPECT_FALSE(ParsePaletteText(p, word, "Xx.txt", &error));
  EXPECT_EQ(error, "Xx.txt:12: not an integer: \"2x\"");

  std::string cut = Block("a", 0) + Block("b", 0) + "c\n1 2 3 4 5 6 7 8 9 10 11 12\n";
  EXPECT_FALSE(ParsePaletteText(p, cut, "Xx.txt", &error));
  EXPECT_EQ(error, "Xx.txt:12: the file ends before palette 2 is complete");
}

TEST(PaletteFileTest, ReadPaletteFileFromTheDataFolder) {
  std::string dir = test::MakeTempDir("palette_file");
  test::TestGame tg(dir);
  EXPECT_FALSE(ReadPaletteFile(tg.g()));
  ASSERT_EQ(tg.fakes.app.messages.size(), 1u);
  EXPECT_EQ(tg.fakes.app.messages[0], dir + "Xx.txt: the file cannot be read");

  test::WriteAll(dir + "Xx.txt", FourBlocks());
  EXPECT_TRUE(ReadPaletteFile(tg.g()));
  BuildPalettes(tg.g());
  EXPECT_EQ(tg.g().palettes.charPalettes[3][1], 0x1F02FEu);
  EXPECT_EQ(PaletteColour(tg.g(), 2, 1), 0xFE021Fu);
}

}  // namespace
}  // namespace kelvane
