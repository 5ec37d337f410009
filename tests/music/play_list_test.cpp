// The play list: which names count as music, the filling rule with its
// overflow, Shift/Alt replacing the list, the start-up's command line and
// the files dropped on the window in each scene.
#include "music/play_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "flow/music_menu.h"
#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

std::vector<std::string> Names(const std::string& stem, int first, int count) {
  std::vector<std::string> names;
  for (int k = first; k < first + count; ++k) names.push_back(stem + std::to_string(100 + k));
  return names;
}

struct PlayListTest : ::testing::Test {
  test::TestGame tg;
  Game& g = tg.g();
  MusicState& mu = g.music;
  std::string At(int k) { return mu.playList[static_cast<size_t>(k)]; }
};

TEST(IsMusicFile, OnlyTheThreeExtensionsOfTheFileNameItself) {
  EXPECT_TRUE(IsMusicFile("/m/song.mid"));
  EXPECT_TRUE(IsMusicFile("a.b.wav"));
  EXPECT_TRUE(IsMusicFile("x.mp3"));
  EXPECT_FALSE(IsMusicFile("song.MID"));  // callers lower-case first
  EXPECT_FALSE(IsMusicFile("song.midi"));
  EXPECT_FALSE(IsMusicFile("notes.txt"));
  EXPECT_FALSE(IsMusicFile("mid"));
  EXPECT_FALSE(IsMusicFile("/music.mid/readme"));  // the dot is in a folder's name
}

TEST_F(PlayListTest, TwentyNamesKeepTheFirstSixteen) {
  AppendPlayList(g, Names("n", 1, 20));
  EXPECT_EQ(mu.playListCount, 16);
  EXPECT_EQ(mu.playListIndex(), 1);
  EXPECT_EQ(At(1), "n101");
  EXPECT_EQ(At(16), "n116");
  EXPECT_EQ(mu.bgmSource, source::kPlayList);
}

TEST_F(PlayListTest, OverflowDropsTheOldestEntries) {
  AppendPlayList(g, Names("old", 1, 10));
  AppendPlayList(g, Names("new", 1, 10));
  EXPECT_EQ(mu.playListCount, 16);
  EXPECT_EQ(mu.playListIndex(), 7);
  EXPECT_EQ(At(1), "old105");
  EXPECT_EQ(At(6), "old110");
  EXPECT_EQ(At(7), "new101");
  EXPECT_EQ(At(16), "new110");
}

TEST_F(PlayListTest, ShiftOrAltReplacesTheList) {
  AppendPlayList(g, Names("old", 1, 3));
  AddToPlayList(g, Names("more", 1, 1));
  EXPECT_EQ(mu.playListCount, 4);
  EXPECT_EQ(mu.playListIndex(), 4);
  for (int vk : {16, 18}) {
    tg.fakes.keys.down[static_cast<size_t>(vk)] = true;
    AddToPlayList(g, Names("rep", vk, 2));
    tg.fakes.keys.down[static_cast<size_t>(vk)] = false;
    EXPECT_EQ(mu.playListCount, 2);
    EXPECT_EQ(mu.playListIndex(), 1);
    EXPECT_EQ(At(1), "rep" + std::to_string(100 + vk));
  }
}

TEST_F(PlayListTest, CommandLineMusicIsSortedAndKeepsItsSpelling) {
  AddCommandLineMusic(g, {"/m/b.MID", "readme.txt", "/m/a.wav", "/m/b.MID", "c.mp3x"});
  EXPECT_EQ(g.st.firstRoutineDone, 1);
  EXPECT_EQ(mu.playListCount, 2);
  EXPECT_EQ(At(1), "/m/a.wav");
  EXPECT_EQ(At(2), "/m/b.MID");
  EXPECT_EQ(mu.bgmSource, source::kPlayList);
}

TEST_F(PlayListTest, NoMusicOnTheCommandLineLeavesEverythingAlone) {
  AddCommandLineMusic(g, {"readme.txt", "picture.bmp", "mid"});
  AddCommandLineMusic(g, {});
  EXPECT_EQ(g.st.firstRoutineDone, 0);
  EXPECT_EQ(mu.playListCount, 0);
  EXPECT_EQ(mu.bgmSource, source::kStageTunes);
}

TEST_F(PlayListTest, LongNamesAreCutTo255Bytes) {
  const std::string longName = "/" + std::string(300, 'x') + ".mid";
  AddCommandLineMusic(g, {longName});  // the cut loses the extension
  EXPECT_EQ(mu.playListCount, 0);
  AppendPlayList(g, {longName});
  EXPECT_EQ(At(1).size(), 255u);
}

// ---- Dropped files ----

struct DropTest : PlayListTest {
  DropTest() { g.st.sceneCode = scene::kModeMenu; }
  // The number of the last sound effect played, -1 when none.
  int LastSound() {
    const std::string& path = tg.fakes.sound.last;
    const size_t at = path.rfind("Y_q");
    const int n = at == std::string::npos ? -1 : std::stoi(path.substr(at + 3, 2));
    tg.fakes.sound.last.clear();
    return n;
  }
  std::vector<std::string> Tunes(const std::string& stem, int first, int count) {
    std::vector<std::string> names = Names(stem, first, count);
    for (std::string& name : names) name += ".mid";
    return names;
  }
};

TEST_F(DropTest, TwentyFilesKeepTheFirstSixteenInOrder) {
  std::vector<std::string> names = Tunes("/m/t", 1, 20);
  std::reverse(names.begin(), names.end());
  FormDropFiles(g, names);
  EXPECT_EQ(LastSound(), 30);
  EXPECT_EQ(mu.playListCount, 16);
  EXPECT_EQ(At(1), "/m/t101.mid");
  EXPECT_EQ(At(16), "/m/t116.mid");
}

TEST_F(DropTest, TenAndTenDropTheFourOldest) {
  FormDropFiles(g, Tunes("/a/", 1, 10));
  FormDropFiles(g, Tunes("/b/", 1, 10));
  EXPECT_EQ(mu.playListCount, 16);
  EXPECT_EQ(At(1), "/a/105.mid");
  EXPECT_EQ(At(6), "/a/110.mid");
  EXPECT_EQ(At(7), "/b/101.mid");
  EXPECT_EQ(mu.playListIndex(), 7);
}

TEST_F(DropTest, ShiftHeldReplacesTheList) {
  FormDropFiles(g, Tunes("/a/", 1, 5));
  tg.fakes.keys.down[16] = true;
  FormDropFiles(g, Tunes("/b/", 1, 2));
  EXPECT_EQ(mu.playListCount, 2);
  EXPECT_EQ(At(1), "/b/101.mid");
  EXPECT_EQ(mu.playListIndex(), 1);
}

TEST_F(DropTest, NamesKeepTheirCaseAndAreSortedOnce) {
  FormDropFiles(g,
                {"/m/Song.MID", "/m/notes.txt", "/m/a.wav", "/m/Song.MID", "/m/B.mp3", "/m/dir"});
  EXPECT_EQ(mu.playListCount, 3);
  EXPECT_EQ(At(1), "/m/a.wav");
  EXPECT_EQ(At(2), "/m/B.mp3");
  EXPECT_EQ(At(3), "/m/Song.MID");
  EXPECT_EQ(mu.bgmSource, source::kPlayList);
}

TEST_F(DropTest, NoMusicGives51AndLeavesTheList) {
  FormDropFiles(g, Tunes("/a/", 1, 2));
  LastSound();
  FormDropFiles(g, {"/m/readme.txt"});
  EXPECT_EQ(LastSound(), 51);
  EXPECT_EQ(mu.playListCount, 2);
  // A long name loses its extension in the cut and is no music either.
  FormDropFiles(g, {"/" + std::string(300, 'x') + ".mid"});
  EXPECT_EQ(LastSound(), 51);
}

TEST_F(DropTest, ScenesThatTakeMusicAndScenesThatDoNot) {
  struct Case {
    int8_t scene;
    int16_t sub;
    int8_t prev;
    int sound;
    bool entryRoutine;
  };
  const Case cases[] = {
      {scene::kOpening, 0, 0, 30, false},
      {scene::kMatchResult, 300, 0, 30, false},
      {scene::kExitQuestion, 100, 0, 30, false},
      {static_cast<int8_t>(246), 0, 0, 30, true},
      {scene::kStageStart1, 50, 0, 70, true},
      {scene::kDemoStart, 135, 0, 70, true},
      {scene::kDemoStart, 136, 0, 52, false},
      {scene::kLoadSlot, 1, scene::kDemoStart, 70, true},
      {scene::kLoadSlot, 1, scene::kStageStart2, 52, false},
      {scene::kSaveSlot, 1, scene::kPlay2, 70, false},
      {scene::kSaveSlot, 1, scene::kPlay1, 52, false},
      {scene::kPlay1, -1, 0, 52, false},
      {scene::kMusicMenu, 100, 0, 52, false},
  };
  for (const Case& c : cases) {
    mu.playListCount = 0;
    g.st.firstRoutineDone = 0;
    g.st.sceneCode = c.scene;
    g.st.subStep() = c.sub;
    g.st.prevScene = static_cast<uint8_t>(c.prev);
    FormDropFiles(g, {"/m/x.mid"});
    SCOPED_TRACE(testing::Message() << "scene " << int(c.scene) << " sub " << c.sub);
    EXPECT_EQ(LastSound(), c.sound);
    EXPECT_EQ(mu.playListCount, c.sound == 52 ? 0 : 1);
    EXPECT_EQ(g.st.firstRoutineDone, c.entryRoutine ? 1 : 0);
  }
}

TEST_F(DropTest, TheWaitingMusicMenuPreviewsAtOnce) {
  g.st.sceneCode = scene::kMusicMenu;
  g.st.subStep() = 10;
  FormDropFiles(g, {"/m/x.mid"});
  EXPECT_EQ(mu.previewState, music_menu::kPreviewStart);
  EXPECT_EQ(g.st.subStep(), 10);
  EXPECT_EQ(g.st.bgmFileName, "/m/x.mid");
}

TEST_F(DropTest, TheDemonstrationPlaysTheDropAndGoesOnContinuously) {
  const std::string dir = test::MakeTempDir("drop-demo");
  test::WriteAll(dir + "dropped.wav", "a tune");
  tg.fakes.media.measure = [](const std::string&) { return std::optional<uint32_t>(20000); };
  g.st.sceneCode = scene::kDemoPlay;
  g.st.subStep() = -1;
  g.st.playMode = 5;
  g.st.bgmLength = 0;  // no tune timed: not taken
  FormDropFiles(g, {dir + "dropped.wav"});
  EXPECT_EQ(LastSound(), 52);
  g.st.bgmLength = 30000;
  FormDropFiles(g, {dir + "dropped.wav"});
  EXPECT_EQ(g.st.playMode, 6);
  EXPECT_TRUE(tg.fakes.media.playing);
  EXPECT_EQ(tg.fakes.media.file, dir + "dropped.wav");
  EXPECT_EQ(g.st.bgmLength, 20000);
  // A dropped file that vanished before it plays is a silent tune.
  FormDropFiles(g, {dir + "gone.mid"});
  EXPECT_FALSE(tg.fakes.media.playing);
  EXPECT_EQ(g.st.bgmLength, kNoMusicLength);
}

}  // namespace
}  // namespace kelvane
