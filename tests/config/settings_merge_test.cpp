// Two copies of the game on one data folder: the one that closes last must
// not throw away what the other saved.
#include <gtest/gtest.h>

#include "config/ini_file.h"
#include "config/settings.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

struct SettingsMerge : ::testing::Test {
  std::string dir = test::MakeTempDir("settings_merge");
  std::unique_ptr<test::TestGame> a = std::make_unique<test::TestGame>(dir);
  std::unique_ptr<test::TestGame> b = std::make_unique<test::TestGame>(dir);

  void SetUp() override {
    for (int level = 1; level <= 3; ++level) {
      test::WriteAll(dir + "Y_e10" + std::to_string(level) + ".bmp", "x");
      test::WriteAll(dir + "Y_e30" + std::to_string(level) + ".bmp", "x");
    }
    test::WriteAll(dir + "Kelvane.ini",
                   "[Kelvane]\r\nc_max=2\r\ncolor=0\r\nNOMAL=0\r\nHARD_=2\r\nename=PELDIX\r\n");
  }
  static void Start(Game& g) {
    ReadDialogSettings(g);
    g.st.colourMax = 2;
    g.st.entryName = "PELDIX";
    ReadSettings(g);
  }
  IniFile File() { return IniFile(test::ReadAll(dir + "Kelvane.ini")); }
};

TEST_F(SettingsMerge, TheLaterCloseKeepsTheOtherCopysProgressAndChanges) {
  Start(a->game);
  Start(b->game);
  b->game.st.normalReached = 1;  // b wins a level
  b->game.st.colourIndex = 2;    // and picks another colour
  ASSERT_TRUE(WriteSettings(b->game));
  a->game.st.hardReached = 1;  // a never got as far on the hard course
  a->game.st.menuPose = 3;     // but moved the menu figure
  ASSERT_TRUE(WriteSettings(a->game));

  IniFile f = File();
  EXPECT_EQ(f.ReadInteger("Kelvane", "NOMAL", -1), 1);  // b's progress stays
  EXPECT_EQ(f.ReadInteger("Kelvane", "HARD_", -1), 2);  // the higher one
  EXPECT_EQ(f.ReadInteger("Kelvane", "color", -1), 2);  // a did not change it
  EXPECT_EQ(f.ReadInteger("Kelvane", "SOMmk", -1), 3);  // a did
  EXPECT_EQ(f.ReadString("Kelvane", "ename", ""), "PELDIX");
}

TEST_F(SettingsMerge, ClearingTheProgressStillClearsIt) {
  a->game.st.resetClearInfo = 1;
  Start(a->game);
  ASSERT_TRUE(WriteSettings(a->game));
  EXPECT_EQ(File().ReadInteger("Kelvane", "HARD_", -1), 0);
}

TEST(IniLineEndings, AStrayCarriageReturnDoesNotChangeTheOtherLines) {
  const std::string text = "[Kelvane]\ncolor=1\r\nNOMAL=2\nHARD_=0\n";
  IniFile ini(text);
  EXPECT_EQ(ini.ToBytes(), text);
  ini.WriteInteger("Kelvane", "NOMAL", 2);
  EXPECT_EQ(ini.ToBytes(), text);
  ini.WriteInteger("Kelvane", "SOMmk", 5);
  EXPECT_EQ(ini.ToBytes(), "[Kelvane]\ncolor=1\r\nNOMAL=2\nHARD_=0\nSOMmk=5\n");
  // Without a final line end the new key goes after it, and the file still
  // ends the way it did.
  IniFile open("[Kelvane]\r\ncolor=1");
  open.WriteInteger("Kelvane", "NOMAL", 2);
  EXPECT_EQ(open.ToBytes(), "[Kelvane]\r\ncolor=1\r\nNOMAL=2");
  // Every CR before a line's end belongs to the ending, not to the value;
  // a key added after such a last line ends the way the file did.
  IniFile crs("[Kelvane]\n0:big=1\r\r");
  EXPECT_TRUE(crs.ReadBool("Kelvane", "0:big", false));
  crs.WriteInteger("Kelvane", "NOMAL", 2);
  EXPECT_EQ(crs.ToBytes(), "[Kelvane]\n0:big=1\r\r\nNOMAL=2\r\r");
  EXPECT_EQ(IniFile(crs.ToBytes()).ReadInteger("Kelvane", "NOMAL", 0), 2);
}

}  // namespace
}  // namespace kelvane
