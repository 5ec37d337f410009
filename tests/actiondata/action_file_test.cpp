#include "actiondata/action_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "actiondata/action_data.h"
#include "actiondata/load_group.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

// The tables are large; keep them off the stack.
struct ActionFileTest : ::testing::Test {
  std::unique_ptr<ActionData> data = std::make_unique<ActionData>();
  ActionData& a = *data;
  std::string error;

  bool Parse(const std::string& text) { return ParseActionText(a, text, "Z_ac.txt", &error); }
  void ParseOk(const std::string& text) { ASSERT_TRUE(Parse(text)) << error; }

  std::vector<int16_t> Motion() const {
    return {a.motionStream.begin(), a.motionStream.begin() + a.motionCount};
  }
  std::vector<int16_t> Second() const {
    return {a.secondStream.begin(), a.secondStream.begin() + a.secondCount};
  }
  std::vector<int16_t> Third() const {
    return {a.thirdStream.begin(), a.thirdStream.begin() + a.thirdCount};
  }
  // The values one motion line appends, in a row with an empty number line
  // and both companion parts already ended.
  std::vector<int16_t> TokenValues(const std::string& motionLine) {
    std::string text = "_ x\n/\n\n-1\n-1\n" + motionLine + "\n\n";
    EXPECT_TRUE(Parse(text)) << error;
    return Motion();
  }
};

using V = std::vector<int16_t>;

TEST_F(ActionFileTest, TokensComeInTableOrderNotLineOrder) {
  EXPECT_EQ(TokenValues("/X+3 R+2"), (V{-267, -320}));
  // The search is case-sensitive: "x+" is a different instruction.
  EXPECT_EQ(TokenValues("/x+5"), (V{-522}));
  // Each token counts once per line, at its first occurrence.
  EXPECT_EQ(TokenValues("/X+1 X+2"), (V{-120}));
  // "." anywhere, even inside a number.
  EXPECT_EQ(TokenValues("/1.5"), (V{-3}));
  // A token may start at the line's first character.
  EXPECT_EQ(TokenValues("/("), (V{-41}));
  EXPECT_EQ(TokenValues("/)4 "), (V{-440}));
  EXPECT_EQ(TokenValues("/ (3 )7 "), (V{-740, -41}));
}

TEST_F(ActionFileTest, TokenNumberRule) {
  EXPECT_EQ(TokenValues("/R+5 "), (V{-567}));
  EXPECT_EQ(TokenValues("/R+12"), (V{-1267}));
  EXPECT_EQ(TokenValues("/R+120"), (V{-12067}));
  // Only three characters are read: R+1234 reads 123.
  EXPECT_EQ(TokenValues("/R+1234"), (V{-12367}));
  // A one-character number at the end of the line.
  EXPECT_EQ(TokenValues("/R+7"), (V{-767}));
  // Arithmetic is 16-bit: -67 - 99900 wraps to 31105.
  EXPECT_EQ(TokenValues("/R+999"), (V{31105}));
  // Negative arguments.
  EXPECT_EQ(TokenValues("/X--2"), (V{179}));
}

TEST_F(ActionFileTest, DigitFamilies) {
  // Two backdrop steps on one line add two values, ordered by digit.
  EXPECT_EQ(TokenValues("/5+ 3+"), (V{-79, -79}));
  // "d+" and "d=" of the same digit are tried together.
  EXPECT_EQ(TokenValues("/2=4 1+"), (V{-79, -466}));
  // In "3r2" the digit only makes the token; the argument follows the letter.
  EXPECT_EQ(TokenValues("/3r2 "), (V{-265}));
  EXPECT_EQ(TokenValues("/0R11"), (V{-1169}));
}

TEST_F(ActionFileTest, MalformedTokenNumbersAreRefusedWithTheirLine) {
  EXPECT_FALSE(Parse("_ x\n/\n\n-1\n-1\n/R+1x\n\n"));
  EXPECT_EQ(error, "Z_ac.txt:6: the number after \"R+\" is not an integer: \"1x\"");
  EXPECT_FALSE(Parse("_ x\n/X+"));
  EXPECT_EQ(error.rfind("Z_ac.txt:2: ", 0), 0u) << error;
}

TEST_F(ActionFileTest, LineKinds) {
  ParseOk(
      " /X+1 a line starting with a blank\n"
      "\n"
      "# a comment\n"
      "A*\n"
      "A* \n");
  EXPECT_EQ(Motion(), (V{-1169}));
  EXPECT_EQ(a.lastRow, -1);
  EXPECT_EQ(a.lastGroup, -1);
}

TEST_F(ActionFileTest, OnlyTheFirst255CharactersOfALineCount) {
  std::string longLine = "/" + std::string(253, 'z') + "<c";  // "c" is character 256
  ParseOk("_ x\n/\n\n-1\n-1\n" + longLine + "\n\n");
  EXPECT_EQ(Motion(), (V{-4}));
}

TEST_F(ActionFileTest, HeaderKindsAndOptions) {
  ParseOk(
      "* Spin kick\n1 100 20 300 50 2 5\n12 345 6666\n"
      "|  bar 1\n"
      "!  bang\n"
      "_! second bang\n"
      "*k hidden\n0\n11\n"
      "*K done\n\n\n"
      "|  bar 2\n"
      "_ " +
      std::string(40, 'n') + "\n");
  ASSERT_EQ(a.lastRow, 7);
  const ActionRow& r0 = a.actionRows[0];
  EXPECT_EQ(r0.name, "Spin kick");
  EXPECT_EQ((V{r0.group, r0.score, r0.bn, r0.firstScore, r0.fall, r0.landing, r0.scoreExtra}),
            (V{1, 100, 20, 300, 50, 2, 5}));
  EXPECT_EQ((V{r0.commands.begin(), r0.commands.end()}), (V{12, 345, 6666, 0, 0, 0, 0, 0}));
  EXPECT_EQ(a.bangRow, 2);
  EXPECT_EQ(a.secondBangRow, 3);
  EXPECT_EQ(a.barPairs, 3);  // row 6 halved
  EXPECT_TRUE(a.actionRows[4].hidden);
  EXPECT_EQ(a.actionRows[4].commands[0], 11);
  EXPECT_FALSE(a.actionRows[4].preDone);
  EXPECT_TRUE(a.actionRows[5].preDone);
  EXPECT_FALSE(a.actionRows[5].hidden);
  // Rows other than "*" take no number lines and have no scores.
  EXPECT_EQ(a.actionRows[1].score, 0);
  EXPECT_EQ(a.actionRows[7].name, std::string(32, 'n'));
}

TEST_F(ActionFileTest, StreamsAndStartIndexes) {
  ParseOk(
      "*  first\n0\n0\n"
      "/\n1001 -2 1002\n2001 -1\n3001\n"
      "/\n1003 -1\n3002 -1\n"  // the second part has ended: no line for it
      "*  second\n0\n0\n"
      "/\n-5 1004 -1\n2002 -1\n-1\n");
  EXPECT_EQ(Motion(), (V{1001, 1002, 1003, -1, -5, 1004, -1}));
  EXPECT_EQ(Second(), (V{2001, -1, 2002, -1}));
  EXPECT_EQ(Third(), (V{3001, 3002, -1, -1}));
  EXPECT_EQ(a.actionRows[0].motionStart, 0);
  EXPECT_EQ(a.actionRows[1].motionStart, 4);
  EXPECT_EQ(a.actionRows[1].secondStart, 2);
  EXPECT_EQ(a.actionRows[1].thirdStart, 3);
  // Every negative motion value moves the next row's start, the last wins.
  EXPECT_EQ(a.actionRows[2].motionStart, 7);
  EXPECT_EQ(a.actionRows[2].secondStart, 4);
}

TEST_F(ActionFileTest, LoadGroupsAndCommandTable) {
  ParseOk(
      "_  idle\n"
      "*  a\n0\n11 12\n"
      "L\n0 1 105 -1\n"
      "*  b\n0\n21\n"
      "*  c\n0\n22 11\n"
      "L\n-1\n");
  EXPECT_EQ(a.lastGroup, 1);
  EXPECT_EQ(a.loadGroups[0][0], 0);
  EXPECT_EQ(a.loadGroups[0][2], 105);
  EXPECT_EQ(a.loadGroups[0][3], -1);
  EXPECT_EQ(a.loadGroups[0][15], 1);
  EXPECT_EQ(a.loadGroups[1][0], -1);
  EXPECT_EQ(a.loadGroups[1][15], 3);
  // Groups the file does not define are empty.
  EXPECT_EQ(a.loadGroups[2][0], -1);
  EXPECT_EQ(CountGroupsToLoad(a), 1);

  for (int group = 0; group < ActionData::kGroupCapacity; ++group) MapGroupCommands(a, group);
  EXPECT_EQ(a.codeToRow[12], 1);
  EXPECT_EQ(a.codeToRow[21], 2);
  EXPECT_EQ(a.codeToRow[22], 3);
  EXPECT_EQ(a.codeToRow[11], 3);  // a later row takes over a shared code
}

TEST_F(ActionFileTest, GroupZeroNeverMapsRowZero) {
  ParseOk("*  zero\n0\n33\n*  one\n0\n44\nL\n-1\n");
  MapGroupCommands(a, 0);
  EXPECT_EQ(a.codeToRow[33], 0);
  EXPECT_EQ(a.codeToRow[44], 1);
}

TEST_F(ActionFileTest, PictureNames) {
  EXPECT_EQ(PictureName(105), "sc005");
  EXPECT_EQ(PictureName(0), "sb000");
  EXPECT_EQ(PictureName(1063), "063");  // set 10 has no prefix
  EXPECT_EQ(PictureName(1241), "sz041");
  // 2j and 2j + 1 share a slot.
  EXPECT_EQ(PictureSlot(306), PictureSlot(307));
  EXPECT_EQ(PictureSlot(363), 31);
  EXPECT_EQ(PictureSet(1241), 12);
}

TEST_F(ActionFileTest, CapacityRefusals) {
  std::string rows;
  for (int i = 0; i < 513; ++i) rows += "_  r\n";
  EXPECT_FALSE(Parse(rows));
  EXPECT_EQ(error, "Z_ac.txt:513: too many actions (at most 512)");
  EXPECT_EQ(a.lastRow, 511);

  std::string groups;
  for (int i = 0; i < 101; ++i) groups += "L\n-1\n";
  EXPECT_FALSE(Parse(groups));
  EXPECT_EQ(error, "Z_ac.txt:201: too many load groups (at most 100)");

  std::string third = "_  r\n/\n\n\n";
  for (int i = 0; i < ActionData::kThirdCapacity; ++i) third += "7 ";
  third += "\n/\n\n\n8\n";
  EXPECT_FALSE(Parse(third));
  EXPECT_EQ(error, "Z_ac.txt:9: third stream is full (3072 values)");
  EXPECT_EQ(a.thirdCount, ActionData::kThirdCapacity);

  std::string motion = "_  r\n";
  for (int i = 0; i < ActionData::kMotionCapacity; ++i) motion += "/c\n\n-1\n-1\n";
  motion += "/c\n5\n";
  EXPECT_FALSE(Parse(motion));
  EXPECT_EQ(error.rfind("Z_ac.txt:40962: motion stream is full", 0), 0u) << error;
}

TEST_F(ActionFileTest, MalformedNumbersAndGroupsAreRefused) {
  struct Case {
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {"*  a\n0\n6667\n", "Z_ac.txt:3: command code 6667 is outside 0..6666"},
      {"*  a\n0\n-5\n", "Z_ac.txt:3: command code -5 is outside 0..6666"},
      {"*  a\n0\n1 2 3 4 5 6 1 2 3\n", "Z_ac.txt:3: more than 8 commands"},
      {"*  a\n1 2 3 4 5 6 7 8\n\n", "Z_ac.txt:2: more than 7 score values"},
      {"*  a\n0 1.5\n\n", "Z_ac.txt:2: not an integer: \"1.5\""},
      {"_  a\n/\n12 x3\n", "Z_ac.txt:3: not an integer: \"x3\""},
      {"L\n1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 -1\n",
       "Z_ac.txt:2: more than 14 pictures in a load group"},
      {"L\n1 2\n", "Z_ac.txt:2: load group does not end with -1"},
      {"L\n\n", "Z_ac.txt:2: load group does not end with -1"},
      {"L\n1300 -1\n", "Z_ac.txt:2: picture number 1300 names no picture slot"},
      {"L\n164 -1\n", "Z_ac.txt:2: picture number 164 names no picture slot"},
      {"L\n-3 -1\n", "Z_ac.txt:2: picture number -3 names no picture slot"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(Parse(c.text)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
  // Fourteen pictures and the end marker fit.
  ParseOk("L\n1 2 3 4 5 6 7 8 9 10 11 12 13 14 -1\n");
  EXPECT_EQ(a.loadGroups[0][14], -1);
  // Hexadecimal and signed numbers are integers.
  ParseOk("*  a\n+3 $10 -0\n$1A\n");
  EXPECT_EQ(a.actionRows[0].score, 16);
  EXPECT_EQ(a.actionRows[0].commands[0], 26);
}

TEST_F(ActionFileTest, WindowsLineEnds) {
  ParseOk("* a\r\n1 2\r\n12\r\n/X+1\r\n5 -1\r\n-1\r\n-1\r\nA*\r\n");
  EXPECT_EQ(a.actionRows[0].name, "a");
  EXPECT_EQ(a.actionRows[0].commands[0], 12);
  EXPECT_EQ(Motion(), (V{-120, 5, -1, -1169}));
}

TEST_F(ActionFileTest, ReadActionFileNamesAMissingFile) {
  test::TestGame tg("/nonexistent-kelvane/");
  EXPECT_FALSE(ReadActionFile(tg.g(), "act"));
  ASSERT_EQ(tg.fakes.app.messages.size(), 1u);
  EXPECT_EQ(tg.fakes.app.messages[0], "/nonexistent-kelvane/Z_ac.txt: the file cannot be read");
}

TEST_F(ActionFileTest, ReadActionFileReportsTheLine) {
  std::string dir = test::MakeTempDir("action_file");
  test::WriteAll(dir + "Z_ac.txt", "*  a\n0\n9999\n");
  test::TestGame tg(dir);
  EXPECT_FALSE(ReadActionFile(tg.g(), "act"));
  ASSERT_EQ(tg.fakes.app.messages.size(), 1u);
  EXPECT_EQ(tg.fakes.app.messages[0], "Z_ac.txt:3: command code 9999 is outside 0..6666");

  // A playable file: the group after the row maps its command.
  test::WriteAll(dir + "Z_ac.txt", "_  base\n*  a\n0\n1234\nL\n-1\n");
  EXPECT_TRUE(ReadActionFile(tg.g(), "act"));
  EXPECT_EQ(tg.g().actions.actionRows[1].commands[0], 1234);
}

}  // namespace
}  // namespace kelvane
