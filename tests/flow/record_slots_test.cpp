// The record slot scenes on the default data, driven by keys: the slot
// cursor, saving and loading, deleting, the refusals, the labels' scores
// and the marks the match result gives.
#include "flow/record_slots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/idle_timeouts.h"
#include "flow/match_result.h"
#include "flow/run_record.h"
#include "graphics/glyph_text.h"
#include "graphics/window_layout.h"
#include "platform/core/std_files.h"
#include "tests/flow/flow_scene_fixture.h"

namespace kelvane {
namespace {

using test::FlowSceneFixture;
namespace vk = test::vk;

constexpr int kShift = 16, kDelete = 46, kBackspace = 8;

// A record that checks, made by name + area (13 characters).
std::vector<std::string> MakeRecord(const std::string& nameArea, int score,
                                    const std::string& element = "/music/Z02.mid") {
  using record::SymbolOf;
  std::string stream;
  for (int v : {5, 3, 5, 90, 1, 5, 1, 1, 91, 92, 21, 2, 93}) stream += SymbolOf(v);
  std::vector<std::string> lines = {"1517" + nameArea + PadLeft(6, score),
                                    std::string(record::kNoteOpen) + "Z02.mid ]  hello", element,
                                    stream};
  lines[0] += record::CheckValue(lines);
  return lines;
}

struct SlotSceneTest : FlowSceneFixture {
  void SetUp() override {
    FlowSceneFixture::SetUp();
    for (int n = 1; n <= 9; ++n) std::filesystem::remove_all(Slot(n));
    g.st.entryName = "PELDIX";
    g.st.entryArea = "SAPPORO";
  }
  void TearDown() override {
    for (int n = 1; n <= 9; ++n) std::filesystem::remove_all(Slot(n));
  }
  std::string Slot(int n) { return SlotFileName(g, n); }
  void Store(int n, const std::vector<std::string>& lines) {
    test::WriteAll(Slot(n), record::RecordFileText(lines));
  }
  std::string Effect() { return tg.fakes.sound.last; }
  std::string EffectFile(int n) { return g.st.dataFolder + "Y_q" + std::to_string(n) + ".wav"; }

  // The load scene from the first turn's stage start, its list waiting.
  void OpenLoad(int8_t from = scene::kStageStart1) {
    g.st.sceneCode = from;
    ResetSceneCounters(g.st);
    EnterLoadScene(g);
    Step();
    ASSERT_EQ(g.st.subStep(), slot_scene::kLoadList);
  }
  // The save scene after the first turn, its list open and waiting.
  void OpenSave(uint8_t after = scene::kPlay1) {
    g.st.prevScene = after;
    Enter(scene::kSaveSlot);
    Step();
    Tap(kShift);
    ASSERT_EQ(g.st.subStep(), slot_scene::kSaveOpen);
    Step();
    ASSERT_EQ(g.st.subStep(), slot_scene::kSaveList);
  }
  void CursorTo(int n) {
    while (g.recordSlots.slotCursor != n) Tap(vk::kRight);
  }
};

TEST_F(SlotSceneTest, TheSlotCursorWrapsBothWays) {
  OpenLoad();
  g.recordSlots.slotCursor = 1;
  Tap(vk::kLeft);
  EXPECT_EQ(g.recordSlots.slotCursor, 9);
  EXPECT_EQ(Effect(), EffectFile(28));
  Tap(vk::kRight);
  EXPECT_EQ(g.recordSlots.slotCursor, 1);
  Tap(vk::kUp);
  EXPECT_EQ(g.recordSlots.slotCursor, 9);
  Tap(vk::kDown);
  Tap(vk::kDown);
  EXPECT_EQ(g.recordSlots.slotCursor, 2);
  SetSlotCursor(g, 0);
  EXPECT_EQ(g.recordSlots.slotCursor, 9);
  SetSlotCursor(g, 10);
  EXPECT_EQ(g.recordSlots.slotCursor, 1);
}

TEST_F(SlotSceneTest, ClicksFindTheSlotUnderThePointerInBothWindowSizes) {
  OpenLoad();
  for (int scale : {2, 1}) {
    ASSERT_EQ(WindowScale(g), scale);
    EXPECT_EQ(SlotAt(g, 146 * scale, 137 * scale), 5);
    EXPECT_EQ(SlotAt(g, 282 * scale - 10, 109 * scale - 22), 9);
    EXPECT_EQ(SlotAt(g, 282 * scale - 11, 109 * scale), 0);
    EXPECT_EQ(SlotAt(g, 300, 20), 0);
    g.recordSlots.slotLayout = 1;
    EXPECT_EQ(SlotAt(g, 50 * scale, 36 * scale), 1);
    g.recordSlots.slotLayout = 0;
    ToggleWindowSize(g);
  }
  g.recordSlots.slotLayout = 0;
  g.recordSlots.slotCursor = 7;
  const Point at = SlotCursorPoint(g);
  EXPECT_EQ(SlotAt(g, at.x, at.y), 7);
}

TEST_F(SlotSceneTest, KeysSaveTheTurnIntoTheChosenSlot) {
  g.record.lines = MakeRecord("PELDIXSAPPORO", 1234);
  OpenSave();
  CursorTo(3);
  Tap(vk::kReturn);
  EXPECT_EQ(g.st.subStep(), slot_scene::kSaveAsk);
  EXPECT_EQ(Effect(), EffectFile(61));
  Step();
  EXPECT_EQ(g.st.subStep(), slot_scene::kSaveConfirm);
  Tap(vk::kReturn);
  EXPECT_EQ(g.st.subStep(), slot_scene::kSaveStore);
  EXPECT_EQ(Effect(), EffectFile(30));
  Step();
  EXPECT_EQ(test::ReadAll(Slot(3)), record::RecordFileText(g.record.lines));
  EXPECT_EQ(g.result.slotOfTurn[0], 3);
  EXPECT_EQ(g.recordSlots.summary[3].score, 1234);
  EXPECT_EQ(tg.fakes.window.At(FormId::FM).caption, g.record.lines[1]);
  // The list opens again for another save; cancelling it closes the panel.
  StepUntilSub(slot_scene::kSaveList);
  Tap(vk::kN);
  EXPECT_EQ(g.st.subStep(), slot_scene::kSaveClose);
  Step();
  EXPECT_EQ(g.st.subStep(), slot_scene::kSaveClosedCount);
}

TEST_F(SlotSceneTest, TheSaveSceneStillWaitsUntilItsSixtiethFrameAfterThePanelCloses) {
  OpenSave(scene::kPlay2);
  Tap(vk::kN);
  Step();
  ASSERT_EQ(g.st.subStep(), 30);
  int frames = 0;
  while (g.st.sceneCode == scene::kSaveSlot && frames < 100) {
    Step();
    ++frames;
  }
  // 30..59 count, 60 goes to 200, 200 leaves.
  EXPECT_EQ(frames, 32);
  EXPECT_EQ(g.st.sceneCode, scene::kMatchResult);
}

TEST_F(SlotSceneTest, WithoutAClickTheSaveSceneMovesOnAfterSixtyFrames) {
  g.st.prevScene = static_cast<uint8_t>(scene::kDemoPlay);
  Enter(scene::kSaveSlot);
  Step(61);
  EXPECT_EQ(g.st.sceneCode, scene::kSaveSlot);
  Step();
  EXPECT_EQ(g.st.sceneCode, scene::kOpening);  // 255 + 1 wraps to 0
}

TEST_F(SlotSceneTest, LabelsShowOwnForeignAndComputerScores) {
  Store(2, MakeRecord("$DEMO$*$COM$*", 300));
  Store(3, MakeRecord("PELDIXSAPPORO", 450));
  Store(4, MakeRecord("OTHER_TOKYO__", 12));
  Store(5, MakeRecord("PELDIX!$COM$!", 7));
  test::WriteAll(Slot(6), "1517PELDIXSAPPORO  x12\r\nbroken\r\n");
  OpenLoad();
  EXPECT_EQ(SlotScoreText(g, 2), "??????");
  EXPECT_EQ(SlotScoreText(g, 3), "000450");
  EXPECT_EQ(SlotScoreText(g, 4), "000012");
  EXPECT_EQ(SlotScoreText(g, 5), "000007");
  EXPECT_EQ(SlotScoreText(g, 1), "");
  // A score that is not a number is unknown: the load will say why.
  EXPECT_TRUE(g.recordSlots.summary[6].stored);
  EXPECT_EQ(SlotScoreText(g, 6), "??????");
  // A computer's record shows "??????" to everybody, its own player too.
  g.st.entryName = "$DEMO$";
  g.st.entryArea = "*$COM$*";
  ReadSlotHeader(g, 2);
  EXPECT_EQ(g.stage.labelRow, 1);
  EXPECT_EQ(SlotScoreText(g, 2), "??????");
  g.st.entryName = "PELDIX";
  g.st.entryArea = "SAPPORO";
  ReadSlotHeader(g, 3);
  EXPECT_EQ(g.stage.labelRow, 0);
  ReadSlotHeader(g, 4);
  EXPECT_EQ(g.stage.labelRow, 1);
}

TEST_F(SlotSceneTest, LoadingIsRefusedForAnEmptySlotAtTheChoiceAndAtTheConfirmation) {
  Store(2, MakeRecord("PELDIXSAPPORO", 450));
  OpenLoad();
  CursorTo(1);
  Tap(vk::kReturn);
  EXPECT_EQ(Effect(), EffectFile(50));
  EXPECT_EQ(g.st.subStep(), slot_scene::kLoadList);

  CursorTo(2);
  Tap(vk::kReturn);
  ASSERT_EQ(g.st.subStep(), slot_scene::kLoadAsk);
  Step();
  ASSERT_EQ(g.st.subStep(), slot_scene::kLoadConfirm);
  std::filesystem::remove(Slot(2));  // gone before the answer
  Tap(vk::kReturn);
  EXPECT_EQ(Effect(), EffectFile(50));
  EXPECT_EQ(g.st.subStep(), slot_scene::kLoadOpen);
  EXPECT_EQ(g.result.slotOfTurn[0], 0);
}

TEST_F(SlotSceneTest, ALoadedRecordReplaysAsTheTurn) {
  const std::vector<std::string> lines = MakeRecord("OTHER_TOKYO__", 450);
  Store(4, lines);
  g.result.courseMatch = 1;
  OpenLoad();
  CursorTo(4);
  Tap(vk::kReturn);
  Step();
  Tap(vk::kReturn);
  ASSERT_EQ(g.st.subStep(), slot_scene::kLoadLoad);
  Step();
  EXPECT_EQ(g.st.subStep(), slot_scene::kLoadLoaded);
  EXPECT_EQ(g.record.lines, lines);
  EXPECT_EQ(g.result.slotOfTurn[0], 4);
  EXPECT_EQ(g.result.courseMatch, 0);
  Step(6);
  EXPECT_EQ(g.st.sceneCode, scene::kStageStart1);
  EXPECT_EQ(g.st.subStep(), StageStartReplayStep());
  Step();
  EXPECT_EQ(g.stage.replayMode, 1);
}

TEST_F(SlotSceneTest, CancellingTheLoadReturnsToTheStageStartWithNothingLoaded) {
  g.record.lines = {"unchanged"};
  OpenLoad(scene::kDemoStart);
  Tap(vk::kN);
  EXPECT_EQ(g.st.subStep(), slot_scene::kLoadClose);
  Step(7);
  EXPECT_EQ(g.st.sceneCode, scene::kDemoStart);
  EXPECT_EQ(g.st.subStep(), 0);
  EXPECT_EQ(g.record.lines, std::vector<std::string>{"unchanged"});
}

TEST_F(SlotSceneTest, DeleteAndBackspaceHeldActOnTheSlotInsteadOfChoosingIt) {
  Store(5, MakeRecord("PELDIXSAPPORO", 450));
  OpenLoad();
  g.recordSlots.summary[5].mark = 1;
  CursorTo(5);
  Press(kBackspace);
  Tap(vk::kReturn);
  Release(kBackspace);
  EXPECT_EQ(g.recordSlots.summary[5].mark, 0);
  EXPECT_EQ(Effect(), EffectFile(21));
  EXPECT_EQ(g.st.subStep(), slot_scene::kLoadOpen);
  Step();
  Press(kDelete);
  Tap(vk::kReturn);
  Release(kDelete);
  EXPECT_FALSE(std::filesystem::exists(Slot(5)));
  EXPECT_EQ(Effect(), EffectFile(21));
  Step();
  Press(kDelete);
  Tap(vk::kReturn);  // nothing left to delete
  Release(kDelete);
  EXPECT_EQ(Effect(), EffectFile(20));
}

TEST_F(SlotSceneTest, LeftAloneTheListsCloseAfterTheLongestTimeOut) {
  OpenLoad();
  g.st.mouseLevel = 1;
  g.st.lastInputTick = tg.fakes.clock.now;
  CheckIdleTimeouts(g, tg.fakes.clock.now + kVeryLongTimeout - 1);
  EXPECT_EQ(g.st.subStep(), slot_scene::kLoadList);
  CheckIdleTimeouts(g, tg.fakes.clock.now + kVeryLongTimeout);
  EXPECT_EQ(g.st.subStep(), slot_scene::kLoadClose);
  EXPECT_EQ(g.st.mouseLevel, 1);

  g.record.lines = MakeRecord("PELDIXSAPPORO", 1);
  OpenSave();
  CursorTo(2);
  Tap(vk::kReturn);
  Step();
  ASSERT_EQ(g.st.subStep(), slot_scene::kSaveConfirm);
  g.st.lastInputTick = tg.fakes.clock.now;
  CheckIdleTimeouts(g, tg.fakes.clock.now + kVeryLongTimeout);
  EXPECT_EQ(g.st.subStep(), slot_scene::kSaveOpen);  // not saved
  EXPECT_FALSE(std::filesystem::exists(Slot(2)));
}

// ---- Mended failures: the load is refused, the slot file untouched ----

// Records at the edges of what the game writes: the largest file and the
// longest event line load; one byte or character more, a header whose
// check, opening command or score is broken, or too few lines are refused.
TEST_F(SlotSceneTest, ARecordLoadsUpToItsLimitsAndIsRefusedPastThem) {
  const std::vector<std::string> good = MakeRecord("PELDIXSAPPORO", 450);
  const std::string text = record::RecordFileText(good);
  // Trailing empty lines are dropped, so they pad a file to any size.
  auto padded = [&](uint64_t size) {
    std::string bytes = text;
    while (bytes.size() + 2 <= size) bytes += "\r\n";
    if (bytes.size() < size) bytes += "\n";
    return bytes;
  };
  // An event line of n characters: the stream's own keys, then unknown
  // characters the replay skips; signed so that the check matches.
  auto eventLine = [&](size_t n) {
    std::vector<std::string> lines = good;
    lines[3].resize(n, '\t');
    lines[0].resize(record::kHeaderLength - record::kCheckLength);
    lines[0] += record::CheckValue(lines);
    return record::RecordFileText(lines);
  };
  std::string badCheck = text;
  badCheck[30] = badCheck[30] == 'Q' ? 'R' : 'Q';
  std::vector<std::string> badHeader = good, badScore = good;
  badHeader[0][0] = 'X';
  badScore[0][19] = 'x';
  struct Case {
    const char* what;
    std::string bytes;
    bool loads;
  };
  const Case cases[] = {
      {"the largest file", padded(record::kMaxFileBytes), true},
      {"one byte more", padded(record::kMaxFileBytes + 1), false},
      {"the longest event line", eventLine(record::kMaxLine), true},
      {"one character more", eventLine(record::kMaxLine + 1), false},
      {"a changed check", badCheck, false},
      {"an opening that is no number", record::RecordFileText(badHeader), false},
      {"a score that is no number", record::RecordFileText(badScore), false},
      {"two lines", "1517PELDIXSAPPORO   450\r\nonly two lines\r\n", false},
  };
  testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::WriteAll(Slot(3), c.bytes);
    g.record.lines = {"kept"};
    g.result.slotOfTurn = {0, 0};
    OpenLoad();
    CursorTo(3);
    Tap(vk::kReturn);
    if (g.st.subStep() == slot_scene::kLoadAsk) {  // the label could be read
      Step();
      Tap(vk::kReturn);
      Step();
    }
    if (c.loads) {
      EXPECT_EQ(g.st.subStep(), slot_scene::kLoadLoaded);
      EXPECT_EQ(g.record.lines.size(), good.size());
      EXPECT_EQ(g.result.slotOfTurn[0], 3);
    } else {
      EXPECT_EQ(Effect(), EffectFile(50));
      EXPECT_EQ(g.st.sceneCode, scene::kLoadSlot);
      EXPECT_EQ(g.st.subStep(), slot_scene::kLoadList);
      EXPECT_EQ(g.record.lines, std::vector<std::string>{"kept"});
      EXPECT_EQ(g.result.slotOfTurn[0], 0);
    }
    EXPECT_EQ(test::ReadAll(Slot(3)), c.bytes);
  }
  testing::internal::GetCapturedStderr();
}

// A slot file far past the limit is judged from its size: the list shows an
// empty slot and no reader ever asks for its bytes.
TEST_F(SlotSceneTest, AHugeSlotFileIsNeverRead) {
  {
    std::ofstream f(Slot(5), std::ios::binary);
  }
  std::filesystem::resize_file(Slot(5), uint64_t{3} << 30);  // sparse
  struct CountingFiles : StdFileSystem {
    std::vector<std::string> read;
    std::optional<std::string> ReadFile(const std::string& path) override {
      read.push_back(path);
      return StdFileSystem::ReadFile(path);
    }
  } files;
  FileSystem* const kept = g.pf.files;
  g.pf.files = &files;
  OpenLoad();
  CursorTo(5);
  Tap(vk::kReturn);
  EXPECT_EQ(Effect(), EffectFile(50));  // chosen as an empty slot
  EXPECT_FALSE(g.recordSlots.summary[5].stored);
  std::string error;
  EXPECT_FALSE(LoadRecord(g, 5, &error));
  EXPECT_EQ(error, "the file is larger than any record (3221225472 bytes)");
  EXPECT_EQ(std::count(files.read.begin(), files.read.end(), Slot(5)), 0);
  g.pf.files = kept;
}

TEST_F(SlotSceneTest, AFailedSaveLeavesTheSlotAndTheTurnUnmarked) {
  g.record.lines = MakeRecord("PELDIXSAPPORO", 1234);
  // A folder in the slot's place: the file cannot be written there.
  std::filesystem::create_directory(Slot(3));
  OpenSave();
  CursorTo(3);
  Tap(vk::kReturn);
  Step();
  Tap(vk::kReturn);
  Step();
  EXPECT_EQ(Effect(), EffectFile(20));
  EXPECT_EQ(tg.fakes.app.messages, std::vector<std::string>{Slot(3) + " に書き込めません"});
  EXPECT_EQ(g.result.slotOfTurn[0], 0);
  EXPECT_TRUE(std::filesystem::is_directory(Slot(3)));
  StepUntilSub(slot_scene::kSaveList);
  EXPECT_EQ(g.st.sceneCode, scene::kSaveSlot);
}

// ---- Music of a loaded record ----

TEST_F(SlotSceneTest, ShiftRestoresTheRecordsTuneButNeverForTheSecondTurn) {
  Store(6, MakeRecord("PELDIXSAPPORO", 450, "/elsewhere/Z03.MID"));
  auto load = [&](int8_t from) {
    g.music.tuneNumber() = 1;
    g.music.bgmSource = source::kPlayList;
    OpenLoad(from);
    CursorTo(6);
    Tap(vk::kReturn);
    Step();
    FormKeyDown(g, FormId::FM, vk::kReturn, ShiftState{true, false});
    Step();
  };
  load(scene::kStageStart1);
  EXPECT_EQ(g.music.tuneNumber(), 3);
  EXPECT_EQ(g.music.bgmSource, source::kStageTunes);
  load(scene::kStageStart2);
  EXPECT_EQ(g.music.tuneNumber(), 1);
  EXPECT_EQ(g.music.bgmSource, source::kPlayList);
  EXPECT_EQ(g.result.slotOfTurn[1], 6);
}

TEST_F(SlotSceneTest, RestoringMusicFindsPlayListFilesAndCdTracks) {
  g.music.playList[1] = "/a/b/Song.MP3";
  g.music.playListCount = 1;
  g.record.lines = MakeRecord("PELDIXSAPPORO", 1, "/other/place/song.mp3");
  EXPECT_TRUE(RestoreRecordMusic(g));
  EXPECT_EQ(g.music.bgmSource, source::kPlayList);
  EXPECT_EQ(g.music.playListIndex(), 1);

  g.record.lines = MakeRecord("PELDIXSAPPORO", 1, "D:");
  g.record.lines[1] = std::string(record::kNoteOpen) + "CD track12 ]  x";
  g.st.cdDriveName = "D:";
  EXPECT_TRUE(RestoreRecordMusic(g));
  EXPECT_EQ(g.music.bgmSource, source::kCD);
  EXPECT_EQ(g.music.cdTrack(), 12);
  g.st.cdDriveName = "";
  EXPECT_FALSE(RestoreRecordMusic(g));

  g.record.lines = MakeRecord("PELDIXSAPPORO", 1, "/nowhere/missing.mid");
  EXPECT_FALSE(RestoreRecordMusic(g));
  g.record.lines = MakeRecord("PELDIXSAPPORO", 1, "/data/readme.txt");
  EXPECT_FALSE(RestoreRecordMusic(g));
}

// ---- The match result's marks ----

TEST_F(SlotSceneTest, TheResultMarksTheWinnersAndTheLosersSlots) {
  Store(4, MakeRecord("PELDIXSAPPORO", 100));
  Store(7, MakeRecord("$DEMO$*$COM$*", 900));
  g.result.slotOfTurn = {4, 7};
  g.cmd.scoreSlots[1] = 100;
  g.cmd.scoreSlots[2] = 900;
  Enter(scene::kMatchResult);
  StepUntilSub(result::kWait, 300);
  EXPECT_EQ(g.recordSlots.slotLayout, 1);
  EXPECT_EQ(g.recordSlots.summary[7].mark, 1);
  EXPECT_EQ(g.recordSlots.summary[4].mark, -1);
  EXPECT_EQ(g.recordSlots.summary[5].mark, 0);
  // The next save scene lays the labels on its own arc again, marks kept.
  g.st.prevScene = scene::kPlay1;
  Enter(scene::kSaveSlot);
  Step();
  EXPECT_EQ(g.recordSlots.slotLayout, 0);
  ReadSlotHeader(g, 7);
  EXPECT_EQ(g.recordSlots.summary[7].mark, 1);
  // A changed record loses its mark.
  Store(7, MakeRecord("$DEMO$*$COM$*", 901));
  ReadSlotHeader(g, 7);
  EXPECT_EQ(g.recordSlots.summary[7].mark, 0);
}

}  // namespace
}  // namespace kelvane
