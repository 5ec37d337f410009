// The run record on its own: the code table, the recorder's lines, reading
// the event stream back, the check value and the record file's parser.
#include "flow/run_record.h"

#include <gtest/gtest.h>

#include <set>

#include "app/game.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

using record::kCodeTable;

// ---- Code table ----

TEST(CodeTable, HoldsNinetyThreeDistinctSymbolsAndFiveBlanksNeverWritten) {
  ASSERT_EQ(kCodeTable.size(), 98u);
  std::set<char> symbols;
  int blanks = 0;
  for (size_t i = 0; i < kCodeTable.size(); ++i) {
    const char c = kCodeTable[i];
    EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "position " << i;
    if (c == ' ') {
      ++blanks;
      // A zero digit of a frame count is never written.
      EXPECT_TRUE(i == 20 || i == 30 || i == 40 || i == 50 || i == 60) << "blank at " << i;
    } else {
      symbols.insert(c);
    }
  }
  EXPECT_EQ(blanks, 5);
  EXPECT_EQ(symbols.size(), 93u);
}

TEST(CodeTable, EveryValueTheGameWritesReadsBackAsItself) {
  std::vector<int> written;
  for (int k = 1; k <= 9; ++k) written.insert(written.end(), {k, k + 10});
  for (int d = 1; d <= 9; ++d)
    written.insert(written.end(), {20 + d, 30 + d, 40 + d, 50 + d, 60 + d, 70 + d, 80 + d});
  for (int s = 90; s <= 97; ++s) written.push_back(s);
  for (int v : written) EXPECT_EQ(record::SymbolValue(record::SymbolOf(v)), v) << v;
  EXPECT_EQ(record::SymbolValue('\\'), -1);
}

// ---- Check value ----

TEST(CheckValue, MatchesKnownLines) {
  const std::string table(kCodeTable);
  // One event line: every step reads it; the blanks it meets fall back.
  EXPECT_EQ(record::CheckValue({"1517ABCDEFGHIJKLM", "x", "y", table}), "KS7ymx/R}[uS");
  // Several lines, one of them empty (its symbol counts as absent), and a
  // header that already carries score and check.
  EXPECT_EQ(record::CheckValue({"1517PELDIXSAPPORO   120", "c", "e", "abcdefghij", "0123456789",
                                "ZZZZ", "", ":;<=>"}),
            "Y,;;;????Z,;");
  EXPECT_EQ(record::CheckValue({"1517$DEMO$*$COM$*", "c", "e", "q"}), "vvvvvvvvvvvv");
  EXPECT_EQ(record::CheckValue({"1517ABCDEFGHIJKLM", "x", "y"}), "");
}

// ---- Recording ----

struct RecorderTest : ::testing::Test {
  test::TestGame tg;
  Game& g = tg.g();
  void SetUp() override {
    g.random.Seed(3);
    g.st.playMode = 2;
    g.st.entryName = "Peldix";
    g.st.entryArea = "Sapporo";
    g.st.entryLine = "my comment";
    g.stage.currentPlayer = 1;
  }
  // The turn starts as the stage start starts it: opening 1517 (recorded
  // 1511), then the opening command completes.
  void Start() {
    g.cmd.commandCode = 1517;
    g.cmd.commandWeight = 1000;
    StartRecord(g, 1511);
    CommandCompleted(g);
  }
  void Key(uint32_t frames, int digit) {
    g.cmd.frameCounter = frames;
    AppendKeyEvent(g, digit);
    g.cmd.frameCounter = 0;
  }
  void Finish(int32_t score) {
    g.cmd.scoreSlots[1] = score;
    FinishRecord(g, "/data/Z03.mid", "/data/Z03.mid");
  }
  const std::vector<std::string>& lines() { return g.record.lines; }
};

bool IsSeparator(char c) {
  return record::SymbolValue(c) >= 90;
}

TEST_F(RecorderTest, ATurnWithoutKeysKeepsLinesZeroToThree) {
  Start();
  CommandCompleted(g);  // the opening action ends, nothing was typed
  Finish(120);
  ASSERT_EQ(lines().size(), 4u);
  EXPECT_EQ(lines()[0].substr(0, 23), "1517PELDIXSAPPORO   120");
  EXPECT_EQ(lines()[0].size(), 35u);
  EXPECT_EQ(lines()[0].substr(23), record::CheckValue(lines()));
  EXPECT_EQ(lines()[1], std::string(record::kNoteOpen) + "Z03.mid ]  my comment");
  EXPECT_EQ(lines()[2], "/data/Z03.mid");
  const std::string& stream = lines()[3];
  ASSERT_GE(stream.size(), 9u);
  const int opening[] = {5, 3, 5, -1, 1, 5, 1, 1, -1};
  for (size_t i = 0; i < 9; ++i) {
    const int v = record::SymbolValue(stream[i]);
    if (opening[i] < 0) {
      EXPECT_TRUE(IsSeparator(stream[i])) << i;
    } else {
      EXPECT_EQ(v % 10, opening[i]) << i;
      EXPECT_LT(v, 20) << i;
    }
  }
  // After the opening only the completed (empty) commands' separators.
  for (size_t i = 9; i < stream.size(); ++i) EXPECT_TRUE(IsSeparator(stream[i])) << i;
  EXPECT_TRUE(record::DecodeEvents(lines()).size() == stream.size() - 9);
}

TEST_F(RecorderTest, KeysWithoutFramesBetweenThemReadBackAsOneEvent) {
  Start();
  Key(12, 3);
  Key(0, 6);
  CommandCompleted(g);
  Finish(0);
  const std::vector<record::Event> events = record::DecodeEvents(lines());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].frames, 12u);
  EXPECT_EQ(events[0].keys, (std::array<uint8_t, 5>{3, 6, 0, 0, 0}));
  EXPECT_TRUE(events[0].groupEnd);
}

TEST_F(RecorderTest, FrameCountsAreWrittenUnitsFirstAndCappedAt99999) {
  Start();
  Key(12345, 1);
  Key(100000, 2);
  Key(70, 4);
  CommandCompleted(g);
  Finish(0);
  const std::vector<record::Event> events = record::DecodeEvents(lines());
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].frames, 12345u);
  EXPECT_EQ(events[1].frames, 99999u);
  EXPECT_EQ(events[2].frames, 70u);
  // 12345: units, tens, hundreds, thousands, ten-thousands, then the key.
  const std::string& stream = lines()[3];
  const std::string group = stream.substr(stream.size() - 1 - 6 - 6 - 2);
  EXPECT_EQ(record::SymbolValue(group[0]) % 10, 5);
  EXPECT_EQ(record::SymbolValue(group[3]), 72);
  EXPECT_EQ(record::SymbolValue(group[4]), 81);
}

TEST_F(RecorderTest, ALandingKeyGoesStraightOntoTheLineBeforeTheGroup) {
  Start();
  Key(2, 1);  // typed into the pending group
  g.cmd.commandWeight = 10000;
  Key(3, 4);  // a landing key: written at once
  g.cmd.commandWeight = 100;
  CommandCompleted(g);
  Finish(0);
  const std::vector<record::Event> events = record::DecodeEvents(lines());
  // The landing key first, then the group typed before it.
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].frames, 3u);
  EXPECT_EQ(events[0].keys, (std::array<uint8_t, 5>{4, 0, 0, 0, 0}));
  EXPECT_FALSE(events[0].groupEnd);
  EXPECT_EQ(events[1].frames, 2u);
  EXPECT_EQ(events[1].keys[0], 1);
  EXPECT_TRUE(events[1].groupEnd);
}

TEST_F(RecorderTest, AMissedLandingKeyAtTheEndIsWrittenAsEightFrames) {
  Start();
  g.cmd.landingKey = 3;
  g.cmd.commandCode = 0;
  Finish(0);
  const std::vector<record::Event> events = record::DecodeEvents(lines());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].frames, 8u);
  EXPECT_EQ(events[0].keys[0], 3);
  EXPECT_FALSE(events[0].groupEnd);
}

TEST_F(RecorderTest, LongStreamsContinueOnNewLinesAndTheComputerWritesItsOwnName) {
  g.st.playMode = 1;
  Start();
  for (int i = 0; i < 60; ++i) {
    Key(static_cast<uint32_t>(i), 1 + i % 6);
    CommandCompleted(g);
  }
  Finish(4321);
  ASSERT_GT(lines().size(), 5u);
  for (size_t i = 3; i + 1 < lines().size(); ++i) EXPECT_GT(lines()[i].size(), 70u);
  EXPECT_FALSE(lines().back().empty());
  EXPECT_EQ(lines()[0].substr(4, 13), "$DEMO$*$COM$*");
  EXPECT_EQ(lines()[1], std::string(record::kNoteOpen) + "Z03.mid ]  -DEMO- COMPUTER");
  const std::vector<record::Event> events = record::DecodeEvents(lines());
  ASSERT_EQ(events.size(), 60u);
  for (size_t i = 0; i < 60; ++i) {
    EXPECT_EQ(events[i].frames, i);
    EXPECT_EQ(events[i].keys[0], 1 + i % 6);
  }
}

TEST_F(RecorderTest, TheSameSeedWritesTheSameRecordByteForByte) {
  auto run = [&] {
    g.random.Seed(99);
    Start();
    Key(5, 2);
    Key(0, 5);
    CommandCompleted(g);
    Finish(77);
    return lines();
  };
  const std::vector<std::string> first = run();
  EXPECT_EQ(run(), first);
}

TEST(RecordNames, AreFilteredPaddedAndNeverTheComputersPair) {
  EXPECT_EQ(record::RecordName("ab"), "AB____");
  EXPECT_EQ(record::RecordArea("ab", "tokyo~x"), "TOKYO_X");
  EXPECT_EQ(record::RecordArea("$demo$", "*$com$*"), "!$COM$!");
  EXPECT_EQ(record::RecordArea("PELDIX", "*$COM$*"), "*$COM$*");
}

// ---- Replay reading ----

struct ReplayTest : RecorderTest {
  // A record of two commands: keys 2 then 4,1 (after 5 and 7 frames).
  void Load() {
    Start();
    Key(5, 2);
    CommandCompleted(g);
    Key(7, 4);
    Key(0, 1);
    CommandCompleted(g);
    Finish(500);
    g.stage.replayMode = 1;
    g.cmd.scoreLock = 0;
    StartRecord(g, 0);
  }
};

TEST_F(ReplayTest, StartsAfterTheOpeningAndWaitsForEachCommandToComplete) {
  Load();
  EXPECT_EQ(g.cmd.commandCode, 1517);
  // The opening command completes: the keys typed during its action.
  CommandCompleted(g);
  EXPECT_EQ(g.record.waiting, 0);
  EXPECT_EQ(g.record.next.frames, 5u);
  EXPECT_EQ(g.record.next.keys[0], 2);
  NextReplayEvent(g);
  EXPECT_EQ(g.record.waiting, 1);
  CommandCompleted(g);
  EXPECT_EQ(g.record.next.frames, 7u);
  EXPECT_EQ(g.record.next.keys, (std::array<uint8_t, 5>{4, 1, 0, 0, 0}));
  EXPECT_EQ(g.cmd.scoreLock, 0);
}

TEST_F(ReplayTest, ReadingPastTheEndWrapsAndLocksTheScoreAfterTheNextCommand) {
  Load();
  for (int i = 0; i < 2; ++i) CommandCompleted(g);  // 2, then 4 1
  EXPECT_EQ(g.cmd.scoreLock, 0);
  CommandCompleted(g);  // past the last line: back to line 3
  EXPECT_EQ(g.cmd.scoreLock, 1);
  // Line 3 from its start: the keys 5 3 5 of the opening.
  EXPECT_EQ(g.record.next.keys, (std::array<uint8_t, 5>{5, 3, 5, 0, 0}));
  CommandCompleted(g);
  EXPECT_EQ(g.cmd.scoreLock, 2);
}

TEST(EventReader, ABrokenStreamEndsInsteadOfReadingOutsideTheList) {
  const std::string opening = "abcdefghi";
  const std::vector<std::vector<std::string>> broken = {
      {"1517", "c", "e"},                                   // no event lines
      {"1517", "c", "e", "", "", ""},                       // empty event lines
      {"1517", "c", "e", opening + std::string(300, ',')},  // a line no game writes
      {"1517", "c", "e", "\\\\\\\\\\\\\\\\\\\\\\"},         // no symbol at all
  };
  for (const auto& lines : broken) {
    record::EventReader reader(&lines);
    record::Event e;
    EXPECT_FALSE(reader.Next(e));
    EXPECT_TRUE(reader.exhausted());
  }
  // Counts without a key or a separator, round and round.
  const std::vector<std::string> counts = {"1517", "c", "e", "444444444444"};
  record::EventReader reader(&counts);
  record::Event e;
  int n = 0;
  while (reader.Next(e) && n < 100) ++n;
  EXPECT_LT(n, 100);
  EXPECT_TRUE(reader.exhausted());
}

TEST_F(ReplayTest, AnExhaustedStreamReplaysWithoutKeys) {
  g.record.lines = {"1517PELDIXSAPPORO", "c", "e", "", ""};
  g.stage.replayMode = 1;
  StartRecord(g, 0);
  CommandCompleted(g);
  EXPECT_EQ(g.record.waiting, 1);
  g.cmd.frameCounter = 1000;
  const int32_t code = g.cmd.commandCode;
  ReplayStep(g);
  EXPECT_EQ(g.cmd.commandCode, code);
}

// ---- Record files ----

TEST(ParseRecord, ReadsTheHeaderFieldsAndComparesTheCheck) {
  std::vector<std::string> lines = {"1517PELDIXSAPPORO   120", "c", "e", "abc"};
  lines[0] += record::CheckValue(lines);
  auto r = record::ParseRecord(record::RecordFileText(lines) + "\r\n\r\n");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->lines, lines);  // the trailing empty lines are gone
  EXPECT_EQ(r->openingCommand, 1517);
  EXPECT_EQ(r->name, "PELDIX");
  EXPECT_EQ(r->area, "SAPPORO");
  EXPECT_EQ(r->score, 120);
  EXPECT_TRUE(r->checks);

  std::string text = record::RecordFileText(lines);
  text[30] = text[30] == 'Q' ? 'R' : 'Q';
  r = record::ParseRecord(text);
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->checks);
  // LF alone ends lines as well.
  r = record::ParseRecord("1517PELDIXSAPPORO   120" + record::CheckValue(lines) + "\nc\ne\nabc\n");
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->checks);
}

TEST(ParseRecord, RefusesWhatCannotBeReplayed) {
  std::string error;
  EXPECT_FALSE(record::ParseRecord("1517PELDIX\r\nc\r\ne\r\n", &error));
  EXPECT_EQ(error, "fewer than four lines");
  EXPECT_FALSE(record::ParseRecord("AB17PELDIXSAPPORO   120\r\nc\r\ne\r\nabc\r\n", &error));
  EXPECT_EQ(error, "the opening command is not a number");
  EXPECT_FALSE(record::ParseRecord("", &error));
  EXPECT_FALSE(record::ParseRecord(std::string(2 << 20, 'a'), &error));
}

TEST(ParseSlotHeader, NeedsTwoLinesAndKnowsWhetherTheScoreReads) {
  auto h = record::ParseSlotHeader("1517PELDIXSAPPORO  9120xxxxxxxxxxxx\r\ncaption\r\n");
  ASSERT_TRUE(h);
  EXPECT_EQ(h->name, "PELDIX");
  EXPECT_EQ(h->area, "SAPPORO");
  EXPECT_EQ(h->score, 9120);
  EXPECT_EQ(h->caption, "caption");
  // The slot shows such a record; loading it is refused with the reason.
  for (const char* unread : {"1517PELDIXSAPPORO  9x20\r\ncaption\r\n", "1517PELDIX\r\ncaption\r\n"}) {
    h = record::ParseSlotHeader(unread);
    ASSERT_TRUE(h) << unread;
    EXPECT_FALSE(h->score) << unread;
  }
  EXPECT_FALSE(record::ParseSlotHeader("1517PELDIXSAPPORO  9120"));
}

}  // namespace
}  // namespace kelvane
