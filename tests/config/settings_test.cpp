#include "config/settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/lifecycle.h"
#include "config/ini_file.h"
#include "config/numbered_files.h"
#include "config/startup_choices.h"
#include "platform/core/text_codec.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

struct SettingsTest : ::testing::Test {
  std::string dir = test::MakeTempDir("settings");
  test::TestGame tg{dir};
  Game& g = tg.g();
  void Ini(const std::string& text) { test::WriteAll(dir + "Kelvane.ini", text); }
  void Touch(const std::string& name) { test::WriteAll(dir + name, "x"); }
  std::string Written() { return test::ReadAll(dir + "Kelvane.ini"); }
};

TEST_F(SettingsTest, NoFileGivesEveryDefaultAndTheWriteHoldsAllFourteenKeysInOrder) {
  ApplyStartupChoices(g, InitialChoices(ReadDialogSettings(g), {}, 0, 0));
  ReadSettings(g);
  EXPECT_EQ(g.st.colourMax, 1);
  EXPECT_EQ(g.st.windowSizeFlag, 0);
  EXPECT_EQ(g.st.colourIndex, 0);
  EXPECT_EQ(g.st.menuPose, 5);
  EXPECT_EQ(g.st.entryName, "PELDIX");
  EXPECT_EQ(g.st.entryArea, "SAPPORO");
  EXPECT_EQ(SjisToUtf8(g.st.entryLine), "<エントリーのセリフ>　音と光を超えて、くるね！");
  ASSERT_TRUE(WriteSettings(g));
  std::string expected =
      "[Kelvane]\r\n0:big=1\r\nc_max=1\r\ncolor=0\r\nSOMmk=5\r\nMUSmk=0\r\n"
      "MUScx=0\r\nNOMAL=0\r\nHARD_=0\r\ndrive=non CD\r\nwallL=Random\r\n"
      "wallS=Random\r\nt-com=" +
      DefaultEntryLine() +
      "\r\nename=PELDIX\r\ncomef=SAPPORO\r\n"
      "BGMvol=100\r\nSEvol=100\r\n";
  EXPECT_EQ(Written(), expected);
}

TEST_F(SettingsTest, VolumesAreReadInRangeAndWrittenAfterTheGameKeys) {
  Ini("[Kelvane]\nBGMvol=40\nSEvol=250\n");
  ReadVolumeSettings(g);
  EXPECT_EQ(g.st.musicVolume, 40);
  EXPECT_EQ(g.st.effectsVolume, 100);
  Ini("[Kelvane]\nBGMvol=-5\nSEvol=x\n");
  ReadVolumeSettings(g);
  EXPECT_EQ(g.st.musicVolume, 0);
  EXPECT_EQ(g.st.effectsVolume, 100);
  // A file without them gets them after the game's keys.
  Ini("[Kelvane]\nename=ABC\n");
  g.st.effectsVolume = 70;
  ASSERT_TRUE(WriteSettings(g));
  const std::string file = Written();
  EXPECT_LT(file.find("comef="), file.find("BGMvol=0"));
  EXPECT_LT(file.find("BGMvol=0"), file.find("SEvol=70"));
}

TEST_F(SettingsTest, ColourIsLoweredToTheColourCountAndWrittenBackLowered) {
  Ini("[Kelvane]\ncolor=2\nc_max=0\n");
  ApplyStartupChoices(g, InitialChoices(ReadDialogSettings(g), {}, 0, 0));
  ReadSettings(g);
  EXPECT_EQ(g.st.colourMax, 0);
  EXPECT_EQ(g.st.colourIndex, 0);
  ASSERT_TRUE(WriteSettings(g));
  EXPECT_EQ(IniFile(Written()).ReadInteger("Kelvane", "color", 9), 0);
}

TEST_F(SettingsTest, HexadecimalColourCountAndOutOfRangeCounts) {
  Ini("[Kelvane]\nc_max=0x2\n");
  EXPECT_EQ(InitialChoices(ReadDialogSettings(g), {}, 0, 0).colourMax, 2);
  Ini("[Kelvane]\nc_max=7\n");
  EXPECT_EQ(InitialChoices(ReadDialogSettings(g), {}, 0, 0).colourMax, 1);
  Ini("[Kelvane]\nc_max=abc\n");
  EXPECT_EQ(InitialChoices(ReadDialogSettings(g), {}, 0, 0).colourMax, 1);
}

TEST_F(SettingsTest, CourseProgressIsBoundedByTheLevelPicturesWithoutAGap) {
  Ini("[Kelvane]\nNOMAL=9\nHARD_=3\n");
  for (int k = 1; k <= 5; ++k) Touch("Y_e1" + ZeroPad(2, k) + ".bmp");
  Touch("Y_e301.bmp");
  Touch("Y_e302.bmp");
  Touch("Y_e304.bmp");
  ReadSettings(g);
  EXPECT_EQ(g.st.normalLevels, 5);
  EXPECT_EQ(g.st.normalReached, 5);
  EXPECT_EQ(g.st.hardLevels, 2);
  EXPECT_EQ(g.st.hardReached, 2);
}

TEST_F(SettingsTest, ResetFlagsSkipOnlyTheirOwnKeys) {
  Ini("[Kelvane]\nc_max=2\ncolor=2\nSOMmk=3\nMUSmk=1\nMUScx=4\nNOMAL=1\nHARD_=1\n");
  for (const char* f : {"Y_e101.bmp", "Y_e301.bmp"}) Touch(f);
  g.st.colourMax = 2;
  g.st.resetSettings = 1;
  ReadSettings(g);
  EXPECT_EQ(g.st.colourIndex, 0);
  EXPECT_EQ(g.st.menuPose, 5);
  EXPECT_EQ(g.st.musicMenuFacing, 0);
  EXPECT_EQ(g.st.musicMenuAction, 0);
  EXPECT_EQ(g.st.normalReached, 1);
  EXPECT_EQ(g.st.hardReached, 1);
  ASSERT_TRUE(WriteSettings(g));
  IniFile after(Written());
  EXPECT_EQ(after.ReadInteger("Kelvane", "SOMmk", 0), 5);
  EXPECT_EQ(after.ReadInteger("Kelvane", "NOMAL", 0), 1);

  test::TestGame again(dir);
  again.g().st.resetClearInfo = 1;
  ReadSettings(again.g());
  EXPECT_EQ(again.g().st.normalReached, 0);
  EXPECT_EQ(again.g().st.menuPose, 5);
}

TEST_F(SettingsTest, EightBitValuesKeepTheirLowBitsAndAreWrittenSigned) {
  Ini("[Kelvane]\nSOMmk=257\nMUSmk=-1\n");
  ReadSettings(g);
  EXPECT_EQ(g.st.menuPose, 1);
  EXPECT_EQ(g.st.musicMenuFacing, 255);
  ASSERT_TRUE(WriteSettings(g));
  EXPECT_EQ(IniFile(Written()).ReadString("Kelvane", "MUSmk", ""), "-1");
}

TEST_F(SettingsTest, WritingKeepsUnknownKeysAndSections) {
  Ini("[Mine]\r\nx=1\r\n[Kelvane]\r\nfuture=yes\r\ncolor=0\r\n");
  ASSERT_TRUE(WriteSettings(g));
  IniFile after(Written());
  EXPECT_EQ(after.ReadString("Mine", "x", ""), "1");
  EXPECT_EQ(after.ReadString("Kelvane", "future", ""), "yes");
}

TEST_F(SettingsTest, CarriageReturnsAtALinesEndDoNotLoseThePlayersChoice) {
  Ini("[Kelvane]\n0:big=1\r\r");
  EXPECT_TRUE(ReadDialogSettings(g).smallWindow);
  g.st.windowSizeFlag = 0;  // the small window was applied: not large
  ASSERT_TRUE(WriteSettings(g));
  EXPECT_EQ(Written().rfind("[Kelvane]\n0:big=1\r\r\nc_max=", 0), 0u) << Written();
}

TEST_F(SettingsTest, AFailedWriteIsReportedWithThePathAndLeavesNoTemporaryFile) {
  // A folder in the file's place makes the final rename fail.
  std::filesystem::create_directory(dir + "Kelvane.ini");
  EXPECT_FALSE(WriteSettings(g));
  ASSERT_EQ(tg.fakes.app.messages.size(), 1u);
  EXPECT_EQ(tg.fakes.app.messages[0], dir + "Kelvane.ini に書き込めません");
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++entries;
  EXPECT_EQ(entries, 1) << "the temporary file is removed";
}

TEST_F(SettingsTest, AWriteIntoAMissingFolderFailsCleanly) {
  g.st.dataFolder = dir + "no/such/folder/";
  EXPECT_FALSE(WriteSettings(g));
  ASSERT_EQ(tg.fakes.app.messages.size(), 1u);
  EXPECT_NE(tg.fakes.app.messages[0].find("no/such/folder/Kelvane.ini"), std::string::npos);
}

TEST(NumberedFiles, ZeroPadTakesTheLastDigits) {
  EXPECT_EQ(ZeroPad(2, 5), "05");
  EXPECT_EQ(ZeroPad(2, 123), "23");
  EXPECT_EQ(ZeroPad(3, 7), "007");
  EXPECT_EQ(ZeroPad(10, 42), "1000000042");
  EXPECT_EQ(
      CountNumberedFiles(*test::FakePlatform().platform().files, "/nonexistent/", "Z", ".mid", 0),
      0);
}

TEST(StartupChoices, DemoIdentityAndFilteredNames) {
  test::TestGame tg;
  StartupChoices c;
  c.entryName = "$demo$";
  c.entryArea = "*$com$*";
  ApplyStartupChoices(tg.g(), c);
  EXPECT_EQ(tg.g().st.entryArea, "!$COM$!");
  c.entryName = "ab c";
  c.entryArea = "tokyo#1";
  ApplyStartupChoices(tg.g(), c);
  EXPECT_EQ(tg.g().st.entryName, "AB_C__");
  EXPECT_EQ(tg.g().st.entryArea, "TOKYO_1");
}

}  // namespace
}  // namespace kelvane
