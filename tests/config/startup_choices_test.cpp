#include "config/startup_choices.h"

#include <gtest/gtest.h>

#include <map>

#include "graphics/jpeg_file.h"
#include "graphics/surfaces.h"
#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

// A one-colour JPEG of the given size.
void WriteWallpaper(const std::string& path, int w, int h, uint32_t colour) {
  std::vector<uint32_t> px(static_cast<size_t>(w) * h, colour);
  std::string jpeg = EncodeJpeg(px.data(), w, h, 95);
  ASSERT_FALSE(jpeg.empty());
  test::WriteAll(path, jpeg);
}

bool Near(uint32_t got, uint32_t want) {
  for (int shift : {0, 8, 16}) {
    int a = static_cast<int>((got >> shift) & 0xFF), b = static_cast<int>((want >> shift) & 0xFF);
    if (std::abs(a - b) > 8) return false;
  }
  return true;
}

class StartupChoicesTest : public ::testing::Test {
 protected:
  std::string dir = test::MakeTempDir("startup");
  test::TestGame t{dir};
  Game& g = t.g();

  StartupChoices Choices(const std::string& settings) {
    if (!settings.empty()) test::WriteAll(dir + "Kelvane.ini", "[Kelvane]\n" + settings);
    DialogSettings stored = StartupFormCreate(g, dir, 1u);
    WallpaperCounts walls = CountWallpapers(g);
    return InitialChoices(stored, {}, walls.large, walls.small);
  }
};

TEST_F(StartupChoicesTest, FormCreateSeedsTheGeneratorAndFixesTheDataFolder) {
  g.music.playList[3] = "/music/old.mid";
  StartupFormCreate(g, dir, 4242u);
  EXPECT_EQ(g.random.seed(), 4242u);
  EXPECT_EQ(g.st.dataFolder, dir);
  EXPECT_EQ(g.music.playList[0], dir);
  EXPECT_EQ(g.music.playList[3], "");
  // Two dialogs opened with the same seed draw the same wallpapers.
  test::TestGame other(dir);
  StartupFormCreate(other.g(), dir, 4242u);
  EXPECT_EQ(g.Rand(1000), other.g().Rand(1000));
}

TEST_F(StartupChoicesTest, ColourCountsOutsideZeroToTwoShowAndStoreAsTwoColours) {
  for (auto [stored, shown] : std::map<std::string, int>{
           {"0", 0}, {"1", 1}, {"2", 2}, {"3", 1}, {"-1", 1}, {"255", 1}, {"0x2", 2}, {"abc", 1}}) {
    StartupChoices c = Choices("c_max=" + stored + "\n");
    EXPECT_EQ(c.colourMax, shown) << "c_max=" << stored;
    ApplyStartupChoices(g, c);
    EXPECT_EQ(g.st.colourMax, shown) << "c_max=" << stored;
  }
}

TEST_F(StartupChoicesTest, StoredDriveThatIsNotPresentFallsBackToTheLastItem) {
  DialogSettings stored;
  stored.drive = "F:";
  EXPECT_EQ(InitialChoices(stored, {"D:", "E:"}, 0, 0).drive, "E:");
  EXPECT_EQ(InitialChoices(stored, {}, 0, 0).drive, "non CD");
  stored.drive = "D:";
  EXPECT_EQ(InitialChoices(stored, {"D:", "E:"}, 0, 0).drive, "D:");
  stored.drive = "non CD";
  EXPECT_EQ(InitialChoices(stored, {"D:", "E:"}, 0, 0).drive, "non CD");
}

TEST_F(StartupChoicesTest, EntryTextsAreFilteredAndTheDemoPairIsRenamed) {
  StartupChoices c;
  struct Case {
    std::string name, area, storedName, storedArea;
  };
  for (const Case& k : std::vector<Case>{
           {"ab c", "sapporo", "AB_C__", "SAPPORO"},
           {"$DEMO$", "*$COM$*", "$DEMO$", "!$COM$!"},
           {"$demo$", "*$com$*", "$DEMO$", "!$COM$!"},  // the edits force upper case anyway
           {"$DEMO$", "*$COM$", "$DEMO$", "*$COM$_"},
           {"$DEMOX", "*$COM$*", "$DEMOX", "*$COM$*"},
           {"TOOLONGNAME", "", "TOOLON", "_______"},
       }) {
    c.entryName = k.name;
    c.entryArea = k.area;
    ApplyStartupChoices(g, c);
    EXPECT_EQ(g.st.entryName, k.storedName) << k.name;
    EXPECT_EQ(g.st.entryArea, k.storedArea) << k.name << " / " << k.area;
  }
}

TEST_F(StartupChoicesTest, RandomDrawsOnlyFromTheCountedWallpapers) {
  for (int k : {1, 2, 4}) WriteWallpaper(dir + "X_b0" + std::to_string(k) + ".jpg", 8, 8, 0);
  StartupChoices c = Choices("");
  WallpaperCounts walls = CountWallpapers(g);
  ASSERT_EQ(walls.large, 2);
  ASSERT_EQ(c.wallLarge, "Random");
  std::map<std::string, int> seen;
  for (int i = 0; i < 400; ++i) ++seen[ChooseWallpaper(g, c, walls)];
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_GT(seen["X_b01"], 140);
  EXPECT_GT(seen["X_b02"], 140);
}

TEST_F(StartupChoicesTest, RandomGivesEachOfThreeWallpapersAnEqualChance) {
  StartupChoices c;
  std::map<std::string, int> seen;
  for (int i = 0; i < 900; ++i) ++seen[ChooseWallpaper(g, c, {3, 0})];
  ASSERT_EQ(seen.size(), 3u);
  for (auto& [name, n] : seen) EXPECT_NEAR(n, 300, 75) << name;
}

TEST_F(StartupChoicesTest, TheWindowSizeChoosesTheList) {
  StartupChoices c;
  c.wallLarge = "03";
  c.wallSmall = "01";
  EXPECT_EQ(ChooseWallpaper(g, c, {5, 5}), "X_b03");
  c.smallWindow = true;
  EXPECT_EQ(ChooseWallpaper(g, c, {5, 5}), "X_s01");
  // With no numbered wallpaper "Random" asks for number 01.
  c.wallSmall = "Random";
  EXPECT_EQ(ChooseWallpaper(g, c, {5, 0}), "X_s01");
}

TEST_F(StartupChoicesTest, OkDrawsTheWallpaperAtItsOwnSizeOnBlack) {
  WriteWallpaper(dir + "X_b01.jpg", 160, 120, 0x3060C0);
  StartupChoices c = Choices("wallL=01\n");
  StartupOk(g, c, CountWallpapers(g));
  const Surface& m = g.gfx.mainSurface;
  ASSERT_EQ(m.Width(), 640);
  ASSERT_EQ(m.Height(), 480);
  EXPECT_TRUE(Near(m.PixelColour(0, 0), 0x3060C0));
  EXPECT_TRUE(Near(m.PixelColour(159, 119), 0x3060C0));
  EXPECT_EQ(m.PixelColour(160, 0), 0u);
  EXPECT_EQ(m.PixelColour(0, 120), 0u);
  EXPECT_EQ(m.PixelColour(639, 479), 0u);
  EXPECT_TRUE(t.fakes.app.messages.empty());
  EXPECT_EQ(g.st.wallLarge, "01");
}

TEST_F(StartupChoicesTest, OkClipsAWallpaperLargerThanTheScreen) {
  WriteWallpaper(dir + "X_s01.jpg", 700, 520, 0xE0E020);
  StartupChoices c = Choices("0:big=1\n");
  ASSERT_TRUE(c.smallWindow);
  StartupOk(g, c, CountWallpapers(g));
  const Surface& m = g.gfx.mainSurface;
  EXPECT_EQ(m.Width(), 640);
  EXPECT_EQ(m.Height(), 480);
  EXPECT_TRUE(Near(m.PixelColour(639, 479), 0xE0E020));
  EXPECT_TRUE(t.fakes.app.messages.empty());
}

TEST_F(StartupChoicesTest, AWallpaperThatCannotBeReadIsReportedAndTheScreenStaysBlack) {
  test::WriteAll(dir + "X_b01.jpg", "not a picture");
  for (const std::string& settings : {std::string("wallL=01\n"), std::string("wallL=07\n")}) {
    test::WriteAll(dir + "Kelvane.ini", "[Kelvane]\n" + settings);
    test::TestGame fresh(dir);
    DialogSettings stored = StartupFormCreate(fresh.g(), dir, 3u);
    WallpaperCounts walls = CountWallpapers(fresh.g());
    StartupOk(fresh.g(), InitialChoices(stored, {}, walls.large, walls.small), walls);
    const Surface& m = fresh.g().gfx.mainSurface;
    ASSERT_EQ(m.Width(), 640);
    for (auto [x, y] : {std::pair{0, 0}, {5, 5}, {639, 479}}) EXPECT_EQ(m.PixelColour(x, y), 0u);
    ASSERT_EQ(fresh.fakes.app.messages.size(), 1u) << settings;
    EXPECT_NE(fresh.fakes.app.messages[0].find(dir + "X_b01.jpg"), std::string::npos)
        << fresh.fakes.app.messages[0];
  }
}

TEST_F(StartupChoicesTest, NoWallpaperAtAllAsksForNumberOneAndSaysItIsMissing) {
  StartupOk(g, Choices(""), CountWallpapers(g));
  ASSERT_EQ(t.fakes.app.messages.size(), 1u);
  EXPECT_NE(t.fakes.app.messages[0].find("X_b01.jpg"), std::string::npos);
  EXPECT_NE(t.fakes.app.messages[0].find("missing"), std::string::npos);
  EXPECT_EQ(g.gfx.mainSurface.Width(), 640);
}

}  // namespace
}  // namespace kelvane
