// Data the game cannot play is refused at the start with "FILE: reason",
// and the messages stay short and point at lines the file has.
#include <gtest/gtest.h>

#include "actiondata/action_file.h"
#include "actiondata/number_text.h"
#include "actiondata/palette_file.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

struct RefusedData : ::testing::Test {
  std::string dir = test::MakeTempDir("refused_data");
  std::unique_ptr<test::TestGame> tg = std::make_unique<test::TestGame>(dir);
  Game& g = tg->game;
  std::string LastMessage() {
    auto& m = tg->fakes.app.messages;
    return m.empty() ? "" : m.back();
  }
};

TEST_F(RefusedData, ActionFilesThatGiveNothingToPlayAreRefused) {
  test::WriteAll(dir + "Z_ac.txt", "");
  EXPECT_FALSE(ReadActionFile(g, "act"));
  EXPECT_EQ(LastMessage(), "Z_ac.txt: the file has no action rows");

  // Rows with commands, but the only load group closes before them.
  test::WriteAll(dir + "Z_ac.txt",
                 "_  base\n/\n-1\n-1\n-1\nL\n-1\n*  step\n1 10 0 10 0 0 0\n5\n/\n-1\n-1\n-1\n");
  EXPECT_FALSE(ReadActionFile(g, "act"));
  EXPECT_EQ(LastMessage(),
            "Z_ac.txt: no load group serves an action with a command, so the demonstration has "
            "nothing to play");

  // The same rows with the group after them are played.
  test::WriteAll(dir + "Z_ac.txt",
                 "_  base\n/\n-1\n-1\n-1\n*  step\n1 10 0 10 0 0 0\n5\n/\n-1\n-1\n-1\nL\n-1\n");
  EXPECT_TRUE(ReadActionFile(g, "act")) << LastMessage();
}

TEST_F(RefusedData, NumberErrorsQuoteAShortExcerpt) {
  std::string junk(100000, 'x');
  junk[3] = '\x01';
  std::string error;
  auto a = std::make_unique<ActionData>();
  EXPECT_FALSE(ParseActionText(*a, "*  a\n" + junk + "\n", "Z_ac.txt", &error));
  EXPECT_EQ(error, "Z_ac.txt:2: not an integer: \"xxx\\x01xxxxxxxxxxxx...\"");
  Palettes p;
  EXPECT_FALSE(ParsePaletteText(p, "t\n" + junk + " 1 2 3 4 5 6 7 8 9 10 11\n", "Xx.txt", &error));
  EXPECT_LT(error.size(), 80u) << error.size();
  EXPECT_EQ(Excerpt("12\"3"), "12\\x223");
}

TEST_F(RefusedData, ShortPaletteFilesAreReportedAtTheirLastLine) {
  Palettes p;
  std::string error;
  const std::string row = "1 2 3 4 5 6 7 8 9 10 11 12\n";
  EXPECT_FALSE(ParsePaletteText(p, "title\n" + row + row, "Xx.txt", &error));
  EXPECT_EQ(error, "Xx.txt:3: the file ends before palette 0 is complete");
  // A file cut right after a palette's title line.
  std::string whole = "title\n" + row + row + row + row + "second\n";
  EXPECT_FALSE(ParsePaletteText(p, whole, "Xx.txt", &error));
  EXPECT_EQ(error, "Xx.txt:6: the file ends before palette 1 is complete");
  EXPECT_FALSE(ParsePaletteText(p, "", "Xx.txt", &error));
  EXPECT_EQ(error, "Xx.txt:1: the file ends before palette 0 is complete");
}

}  // namespace
}  // namespace kelvane
