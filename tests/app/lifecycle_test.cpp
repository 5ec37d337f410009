// The main window's creation hands the command line's music to the play
// list, only when loading was not cut short by a close.
#include "app/lifecycle.h"

#include <gtest/gtest.h>

#include "app/game.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

TEST(FormCreateMusicArguments, MusicFilesJoinThePlayListInSortedOrder) {
  test::TestGame tg(test::MakeDataCopy("create-args"));
  Game& g = tg.g();
  g.args = {"/tunes/Zeta.MP3", "/tunes/alpha.mid", "/tunes/notes.txt"};
  ASSERT_TRUE(FormCreate(g));
  EXPECT_EQ(g.st.firstRoutineDone, 1);
  EXPECT_EQ(g.music.playListCount, 2);
  EXPECT_EQ(g.music.playList[1], "/tunes/alpha.mid");
  EXPECT_EQ(g.music.playList[2], "/tunes/Zeta.MP3");
  EXPECT_EQ(g.music.bgmSource, source::kPlayList);
  EXPECT_EQ(g.st.sceneCode, scene::kDemoStart);
}

TEST(FormCreateMusicArguments, OtherArgumentsLeaveTheFirstRoutineAndThePlayList) {
  test::TestGame tg(test::MakeDataCopy("create-noargs"));
  Game& g = tg.g();
  g.args = {"readme.txt"};
  ASSERT_TRUE(FormCreate(g));
  EXPECT_EQ(g.st.firstRoutineDone, 0);
  EXPECT_EQ(g.music.playListCount, 0);
  EXPECT_EQ(g.music.bgmSource, source::kStageTunes);
}

TEST(FormCreateMusicArguments, AClosedLoadingTakesNoMusic) {
  test::TestGame tg(test::MakeDataCopy("create-args-closed"));
  Game& g = tg.g();
  g.args = {"/tunes/alpha.mid"};
  g.st.closeRequested = 1;
  ASSERT_TRUE(FormCreate(g));
  EXPECT_EQ(g.st.firstRoutineDone, 0);
  EXPECT_EQ(g.music.playListCount, 0);
}

}  // namespace
}  // namespace kelvane
