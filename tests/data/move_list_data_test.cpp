// The forged move list Z_ac.txt, read with the game's own reader: every
// command a player or a stage start can produce must reach an action.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "actiondata/action_data.h"
#include "actiondata/action_file.h"
#include "actiondata/load_group.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

class ForgedMoveList : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    data_ = new ActionData();
    std::string text = test::ReadAll(test::GameDir() + "Z_ac.txt");
    std::string error;
    parsed_ = !text.empty() && ParseActionText(*data_, text, "Z_ac.txt", &error);
    error_ = error;
    for (int g = 0; g <= data_->lastGroup; ++g) MapGroupCommands(*data_, g);
  }
  static void TearDownTestSuite() { delete data_; }

  void SetUp() override { ASSERT_TRUE(parsed_) << error_; }

  // The recognition's longest known prefix: 0 when nothing matches.
  static int MatchRow(int code) {
    int row = 0;
    for (int p : {1000, 100, 10, 1}) {
      int prefix = code / p * p;
      if (data_->codeToRow[prefix] != 0) row = data_->codeToRow[prefix];
    }
    return row;
  }

  static int Digits(int code) {
    int n = 0;
    for (int p : {1000, 100, 10, 1})
      if (code / p % 10 != 0) ++n;
    return n;
  }

  static bool IsFallRow(const ActionRow& row) {
    return std::find(row.commands.begin(), row.commands.end(), 1315) != row.commands.end();
  }

  static inline ActionData* data_ = nullptr;
  static inline bool parsed_ = false;
  static inline std::string error_;
};

TEST_F(ForgedMoveList, StaysWellWithinTheTablesAndDefinesEveryGroup) {
  EXPECT_EQ(data_->lastGroup, ActionData::kGroupCapacity - 1);
  EXPECT_LT(data_->lastRow, ActionData::kRowCapacity / 2);
  EXPECT_LT(data_->motionCount, ActionData::kMotionCapacity / 2);
  EXPECT_LT(data_->secondCount, ActionData::kSecondCapacity / 2);
  EXPECT_LT(data_->thirdCount, ActionData::kThirdCapacity / 2);
  for (int g = 0; g <= data_->lastGroup; ++g) {
    const auto& group = data_->loadGroups[g];
    EXPECT_NE(std::find(group.begin(), group.begin() + 15, ActionData::kEnd), group.begin() + 15)
        << "group " << g << " has no end mark";
  }
}

TEST_F(ForgedMoveList, EveryTypedCommandStartsAnAction) {
  int checked = 0;
  for (int a = 1; a <= 6; ++a)
    for (int b = 0; b <= 6; ++b)
      for (int c = 0; c <= (b ? 6 : 0); ++c)
        for (int d = 0; d <= (c ? 6 : 0); ++d) {
          int code = a * 1000 + b * 100 + c * 10 + d;
          EXPECT_NE(MatchRow(code), 0) << "command " << code;
          ++checked;
        }
  EXPECT_EQ(checked, 6 + 36 + 216 + 1296);
  // A missed landing turns the next command into the fall command.
  EXPECT_TRUE(IsFallRow(data_->actionRows[MatchRow(1315)]));
}

TEST_F(ForgedMoveList, EveryStageOpeningHasItsEntryRoutine) {
  // The stage start turns whatever was typed into T H t and a shown units
  // digit: 7 when a second direction was typed, else 0 with t = T.
  for (int typed = 0; typed <= 6666; ++typed) {
    int t1 = typed / 1000, h = typed / 100 % 10, t = typed / 10 % 10, u = typed % 10;
    if (t1 > 6 || h > 6 || t > 6 || u > 6) continue;
    if (t1 < 1 || t1 > 4) t1 = 1;
    if (h != 5 && h != 6) h = 5;
    int shown;
    if (u == 0) {
      t = t1;
      shown = 0;
    } else if (t >= 1 && t <= 4) {
      shown = 7;
    } else {
      t = t1;
      shown = 0;
    }
    int code = t1 * 1000 + h * 100 + t * 10 + shown;
    int row = MatchRow(code);
    ASSERT_NE(row, 0) << "typed " << typed << " opens with " << code;
    if (shown == 7) {
      EXPECT_EQ(data_->codeToRow[code], row) << code << " should be an entry routine";
    }
  }
  // The first stage after start-up opens with 1511, entered as 1517.
  EXPECT_NE(data_->codeToRow[1517], 0);
}

TEST_F(ForgedMoveList, EntryRoutinesStayOutOfTheCommandList) {
  int entries = 0;
  for (int r = 0; r <= data_->lastRow; ++r)
    for (int16_t c : data_->actionRows[r].commands)
      if (c % 10 == 7) {
        EXPECT_TRUE(data_->actionRows[r].hidden) << "row " << r << " lists the untypable " << c;
        ++entries;
      }
  EXPECT_EQ(entries, 32);
}

TEST_F(ForgedMoveList, LongerCommandsScoreMore) {
  std::map<int, std::pair<int, int>> range;  // digits -> lowest, highest first-time score
  int visible = 0;
  for (int r = 1; r <= data_->lastRow; ++r) {
    const ActionRow& row = data_->actionRows[r];
    if (row.hidden || IsFallRow(row) || row.commands[0] == 0) continue;
    for (int16_t c : row.commands) {
      if (c == 0) continue;
      ++visible;
      int first = row.firstScore + row.scoreExtra, repeat = row.score + row.scoreExtra;
      EXPECT_GT(first, repeat) << "row " << r << ": a first time should pay more than a repeat";
      auto [it, fresh] = range.try_emplace(Digits(c), first, first);
      it->second.first = std::min(it->second.first, first);
      it->second.second = std::max(it->second.second, first);
    }
  }
  EXPECT_GE(visible, 60);
  ASSERT_EQ(range.size(), 4u) << "commands of one to four keys";
  for (int d = 1; d < 4; ++d)
    EXPECT_LT(range[d].second, range[d + 1].first) << d << " keys against " << d + 1;
}

TEST_F(ForgedMoveList, LandingsCarryABonusAndAFall) {
  int landings = 0;
  for (int r = 0; r <= data_->lastRow; ++r) {
    const ActionRow& row = data_->actionRows[r];
    ASSERT_GE(row.landing, 0);
    ASSERT_LE(row.landing, 6);
    if (row.landing == 0) continue;
    ++landings;
    EXPECT_GT(row.fall, 0) << "row " << r;
    EXPECT_GT(row.bn, 0) << "row " << r;
    EXPECT_LE(row.bn, 255) << "row " << r << ": the bonus is kept in a byte";
  }
  EXPECT_GE(landings, 5);
}

TEST_F(ForgedMoveList, ResultAndMenuRowsSitWhereTheScenesLookForThem) {
  int n = data_->barPairs;
  ASSERT_GE(n, 1);
  // Rows 1..n are victories and n+1..2n their losing counterparts, then
  // the music menu's idle moves up to the base row.
  for (int r = 1; r <= data_->bangRow; ++r)
    EXPECT_EQ(data_->actionRows[r].commands[0], 0) << "row " << r << " is entered by a scene";
  EXPECT_GT(data_->bangRow, 2 * n);
  EXPECT_GT(data_->secondBangRow, data_->bangRow);
  EXPECT_LE(data_->secondBangRow, data_->lastRow);
}

TEST_F(ForgedMoveList, EveryScriptShowsAPictureBeforeItEnds) {
  for (int r = 0; r <= data_->lastRow; ++r) {
    int pictures = 0, i = data_->actionRows[r].motionStart;
    for (; i < data_->motionCount && data_->motionStream[i] != -1; ++i)
      if (data_->motionStream[i] >= 0) ++pictures;
    EXPECT_LT(i, data_->motionCount) << "row " << r << " has no end";
    EXPECT_GT(pictures, 0) << "row " << r << " would keep the engine looping";
  }
}

}  // namespace
}  // namespace kelvane
