// The command list's content and rules: which commands it lists and how,
// the sort by column clicks, and the keys, buttons and wheel it hands to
// the game.
#include "actiondata/command_list_window.h"

#include <gtest/gtest.h>

#include "platform/core/text_codec.h"
#include "tests/gameplay/keys_fixture.h"

namespace kelvane {
namespace {

constexpr ShiftState kNone{};

struct CommandListTest : test::KeysFixture {
  CommandListTest() {
    ActionData& a = g.actions;
    // Group 0 serves row 1 (never listed); group 1 rows 2..5.
    DefineRow(1, 1, {6000});
    ActionRow& three = DefineRow(2, 2, {2365, 236, 1000});
    three.name = "TRIPLE";
    three.firstScore = 100;
    three.score = 20;
    three.scoreExtra = 5;
    three.landing = 3;
    three.bn = 7;
    three.fall = 40;
    DefineRow(3, 3, {3000}).hidden = 1;  // option "k"
    ActionRow& marked = DefineRow(4, 4, {4000});
    marked.preDone = 1;  // option "K"
    marked.score = 300;
    marked.name = std::string(40, 'M').substr(0, 32);
    ActionRow& low = DefineRow(5, 5, {5000});
    low.score = 8;
    low.bn = 9;  // shown as 0: the row has no fall
    a.loadGroups[0][ActionData::kGroupLastRowEntry] = 1;
    a.loadGroups[1][ActionData::kGroupLastRowEntry] = 5;
    a.lastGroup = 1;
    FillKeyList(g);
  }
  std::vector<CommandListRow>& rows = g.keyList.rows;
  std::string Text(size_t row, int column) {
    return SjisToUtf8(rows[row].texts[static_cast<size_t>(column - 1)]);
  }
  std::vector<std::string> Column(int column) {
    std::vector<std::string> out;
    for (size_t i = 0; i < rows.size(); ++i) out.push_back(Text(i, column));
    return out;
  }
};

TEST_F(CommandListTest, EveryCommandOfAShownRowIsAnItem) {
  // Three commands, three items with consecutive numbers; the "k" row and
  // the rows of group 0 are missing.
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(Column(1), (std::vector<std::string>{"  1", "  2", "  3", "  4", "  5"}));
  EXPECT_EQ(Text(0, 4), "TRIPLE" + std::string(27, ' '));
  EXPECT_EQ(Text(2, 2), "↑　　　");
  EXPECT_EQ(Text(3, 2), "→　　　");
  // The "K" row is listed and its code counts as performed.
  EXPECT_EQ(g.cmd.codeDone[4000], 1);
  EXPECT_EQ(g.cmd.codeDone[5000], 0);
  EXPECT_EQ(Text(3, 4).size(), 32u);  // a full-length name is not padded
}

TEST_F(CommandListTest, CommandsAlwaysShowFourGlyphs) {
  EXPECT_EQ(Text(0, 2), "←↓ＮＹ");
  EXPECT_EQ(Text(1, 2), "　←↓Ｎ");
  EXPECT_EQ(SjisToUtf8(CommandGlyphs(7890)), "＊＊＊　");
}

TEST_F(CommandListTest, ScoresIncludeTheExtraAndTheBonusNeedsAFall) {
  EXPECT_EQ(Text(0, 3), "（↓）");
  EXPECT_EQ(Text(0, 5), " 105");
  EXPECT_EQ(Text(0, 6), "  25");
  EXPECT_EQ(Text(0, 7), " 7");
  EXPECT_EQ(Text(0, 8), "  40");
  EXPECT_EQ(Text(4, 3), "（　）");
  EXPECT_EQ(Text(4, 7), " 0");
  EXPECT_EQ(rows[0].codeKey, "2365");
  EXPECT_EQ(rows[1].codeKey, "0236");
  EXPECT_EQ(rows[0].landingKey, "3");
}

TEST_F(CommandListTest, ScoreClickedTwiceSortsDescending) {
  ListView1ColumnClick(g, 6);
  EXPECT_EQ(g.keyList.sortKey, 6);
  EXPECT_EQ(Column(6), (std::vector<std::string>{"   8", "  25", "  25", "  25", " 300"}));
  ListView1ColumnClick(g, 6);
  EXPECT_EQ(g.keyList.sortKey, -6);
  EXPECT_EQ(Column(6), (std::vector<std::string>{" 300", "  25", "  25", "  25", "   8"}));
  // Another column starts ascending again; the hidden code sorts column 2.
  ListView1ColumnClick(g, 2);
  EXPECT_EQ(g.keyList.sortKey, 2);
  EXPECT_EQ(Column(1), (std::vector<std::string>{"  2", "  3", "  1", "  4", "  5"}));
  ListView1ColumnClick(g, 1);
  EXPECT_EQ(Column(1), (std::vector<std::string>{"  1", "  2", "  3", "  4", "  5"}));
}

TEST_F(CommandListTest, NoSortWhileHalted) {
  g.st.halted = 1;
  ListView1ColumnClick(g, 6);
  EXPECT_EQ(g.keyList.sortKey, 1);
  EXPECT_EQ(Text(0, 1), "  1");
}

TEST(LocaleCompare, WordSortOrder) {
  EXPECT_LT(LocaleCompare("  80", " 120"), 0);     // right-aligned numbers
  EXPECT_LT(LocaleCompare("apple", "Banana"), 0);  // case is looked at last
  EXPECT_LT(LocaleCompare("abc", "ABC"), 0);
  EXPECT_LT(LocaleCompare("co-op", "coop"), 0);  // hyphens count only last
  EXPECT_GT(LocaleCompare("coop", "co-op"), 0);
  EXPECT_LT(LocaleCompare("9", "A"), 0);
  EXPECT_EQ(LocaleCompare("same", "same"), 0);
}

TEST_F(CommandListTest, KeysReachTheGameWithTheMouseReady) {
  g.st.sceneCode = scene::kModeMenu;
  g.st.subStep() = 40;
  g.st.mouseLevel = 1;
  tg->fakes.window.active = FormId::keyFM;
  EXPECT_FALSE(KeyFormKeyDown(g, 89, kNone));  // Y: the list never sees it
  EXPECT_EQ(g.st.subStep(), 100);
  EXPECT_EQ(g.st.mouseLevel, 1);
  EXPECT_TRUE(KeyFormKeyDown(g, 18, kNone));  // Alt and F4 stay for Alt+F4
  EXPECT_TRUE(KeyFormKeyDown(g, 115, kNone));
}

TEST_F(CommandListTest, EscapeHidesTheList) {
  HeadlessWindow& w = tg->fakes.window;
  w.SetVisible(FormId::keyFM, true);
  KeyFormKeyUp(g, 27, kNone);
  EXPECT_FALSE(w.At(FormId::keyFM).visible);
}

TEST_F(CommandListTest, TheWheelGoesToTheGameUnlessTheListHasFocus) {
  g.st.sceneCode = scene::kStageStart1;
  g.st.subStep() = 100;
  g.st.mouseLevel = 2;
  tg->fakes.clock.now = 300;
  EXPECT_TRUE(KeyFormMouseWheel(g, true, true, kNone, {10, 10}));
  EXPECT_EQ(g.cmd.commandCode, 0);
  EXPECT_EQ(g.st.lastInputTick, 300u);
  EXPECT_FALSE(KeyFormMouseWheel(g, true, false, kNone, {10, 10}));
  EXPECT_EQ(g.cmd.commandCode, 1000);  // Up
}

TEST_F(CommandListTest, TheMiddleButtonIsSpaceAndTheRightOneGivesUpTheFocus) {
  g.st.sceneCode = scene::kModeMenu;
  g.st.subStep() = 40;
  ListView1MouseDown(g, MouseButton::Middle, kNone);
  EXPECT_EQ(g.st.subStep(), 100);
  g.st.subStep() = 40;
  ListView1MouseDown(g, MouseButton::Left, kNone);
  EXPECT_EQ(g.st.subStep(), 40);
  EXPECT_TRUE(ListView1MouseUp(g, MouseButton::Right, kNone));
  EXPECT_FALSE(ListView1MouseUp(g, MouseButton::Left, kNone));
}

TEST_F(CommandListTest, TheWindowOpensAtTheTopCentred) {
  HeadlessWindow& w = tg->fakes.window;
  w.screen = {1000, 700};
  w.SetClientSize(FormId::keyFM, kCommandListSize);
  KeyFormCreate(g);
  // A tool window's frame: 3 pixels on both sides.
  EXPECT_EQ(w.At(FormId::keyFM).position, (Point{(1000 - 581 - 6) / 2, 1}));
  EXPECT_EQ(SjisToUtf8(w.At(FormId::keyFM).caption), "COMAND LIST (direction←)");
}

}  // namespace
}  // namespace kelvane
