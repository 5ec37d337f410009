// The play list: which names count as music, the filling rule with its
// overflow, Shift/Alt replacing the list, and the start-up's command line.
#include "music/play_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fake_platform.h"

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

}  // namespace
}  // namespace kelvane
