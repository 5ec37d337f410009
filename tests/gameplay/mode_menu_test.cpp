// The mode menu: the drop-in, the pages and where confirming and backing
// out lead, the remembered cursors as match settings, the gallery and the
// frame's composition.
#include "gameplay/mode_menu.h"

#include <gtest/gtest.h>

#include "gameplay/backdrops.h"
#include "graphics/bmp_file.h"
#include "tests/app/scene_fixture.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

constexpr int kY = 89, kN = 78, kLeft = 37, kRight = 39, kUp = 38, kK = 75;

struct ModeMenuTest : test::SceneFixture {
  // Steps until the menu waits for a key.
  void RunToWait() {
    for (int i = 0; i < 200 && Sub() != menu::kWait && g.st.sceneCode == scene::kModeMenu; ++i)
      Step();
    ASSERT_EQ(Sub(), menu::kWait);
  }
  // Confirms or backs out and runs until the menu starts over or leaves.
  void Choose(int vk) {
    RunToWait();
    Press(vk);
    for (int i = 0; i < 50; ++i) {
      Step();
      if (Sub() == menu::kStart || Sub() == menu::kGalleryShown ||
          g.st.sceneCode != scene::kModeMenu)
        return;
    }
    FAIL() << "the menu did not move on";
  }
  bool Opaque(int x, int y) const { return g.gfx.maskLayer.RawPixel(x, y) == 0; }
};

TEST_F(ModeMenuTest, TheIconsDropInOneByOneWithoutTrails) {
  Enter(scene::kModeMenu);
  Step();
  EXPECT_EQ(Sub(), 1);
  Step(8);  // the centre icon has landed
  EXPECT_EQ(LastSound(), 0);
  EXPECT_TRUE(Opaque(288, 82));
  EXPECT_FALSE(Opaque(300, 81));
  EXPECT_FALSE(Opaque(224, 40));
  Step(12);
  EXPECT_EQ(Sub(), 21);
  for (int x : {224, 352}) {
    EXPECT_TRUE(Opaque(x, 50)) << x;
    EXPECT_TRUE(Opaque(x + 47, 97)) << x;
    EXPECT_FALSE(Opaque(x + 10, 49)) << x;
    EXPECT_FALSE(Opaque(x + 10, 10)) << x;
  }
  Step();
  EXPECT_EQ(Sub(), menu::kFigure);
}

TEST_F(ModeMenuTest, TheFigureStandsAtThePagesRememberedCursor) {
  g.menu.menuPage = 1;
  g.stage.vsOrder = 3;
  Enter(scene::kModeMenu, menu::kRedraw);
  Step(2);
  EXPECT_EQ(g.menu.menuCursor, 3);
  EXPECT_EQ(g.menu.figureX, 208);
  EXPECT_EQ(g.menu.figureY, 16);
  // Drawn at (352, 16) and sunk by 4 rows with its column.
  EXPECT_TRUE(Opaque(360, 20));
  EXPECT_FALSE(Opaque(360, 19));
  EXPECT_EQ(g.st.waveOffset(), 27);

  g.menu.menuPage = 0;
  Enter(scene::kModeMenu, menu::kRedraw);
  Step(2);
  EXPECT_EQ(g.menu.menuCursor, 2);
  EXPECT_EQ(g.menu.figureX, 144);
  EXPECT_EQ(g.menu.figureY, 48);
}

TEST_F(ModeMenuTest, TheFaceAndGreetingComeAfterFourBobs) {
  g.st.menuPose = 4;
  Enter(scene::kModeMenu, menu::kFigure);
  Step(5);
  EXPECT_EQ(Sub(), 35);
  const int sound = LastSound();
  EXPECT_TRUE(sound == 35 || sound == 36) << sound;
  // The bob brings the face band back where it started after 20 frames.
  Enter(scene::kModeMenu, menu::kFigure);
  Step();
  const int16_t start = g.st.waveOffset();
  Step(20);
  EXPECT_EQ(g.st.waveOffset(), start);
  EXPECT_EQ(g.st.wavePhase(), 0);
}

TEST_F(ModeMenuTest, EveryConfirmedItemLeadsWhereItShould) {
  struct Case {
    int page, cursor;
    int page2;
    int8_t sceneCode;
    int16_t sub;
  };
  const Case cases[] = {
      {0, 1, 3, scene::kModeMenu, 0},
      {0, 2, 1, scene::kModeMenu, 0},
      {0, 3, 0, scene::kExitQuestion, 0},
      {1, 1, 2, scene::kModeMenu, 0},
      {1, 2, 2, scene::kModeMenu, 0},
      {1, 3, 4, scene::kModeMenu, 0},
      {2, 1, 2, scene::kMusicMenu, 0},
      {2, 3, 2, scene::kMusicMenu, 0},
      {3, 2, 3, scene::kModeMenu, menu::kGalleryShown},
      {4, 1, 4, scene::kMusicMenu, 0},
      {4, 2, 4, scene::kMusicMenu, 0},
  };
  for (const Case& c : cases) {
    g.menu.menuPage = static_cast<uint8_t>(c.page);
    g.menu.menuCursor = static_cast<uint8_t>(c.cursor);
    Enter(scene::kModeMenu, menu::kTransition);
    Step();
    if (g.st.subStep() == menu::kGallery) Step();
    EXPECT_EQ(g.menu.menuPage, c.page2) << c.page << "/" << c.cursor;
    EXPECT_EQ(g.st.sceneCode, c.sceneCode) << c.page << "/" << c.cursor;
    EXPECT_EQ(Sub(), c.sub) << c.page << "/" << c.cursor;
  }
}

TEST_F(ModeMenuTest, BackingOutWalksUpThePagesAndLeavesForTheDemonstration) {
  const int parents[5] = {-1, 0, 1, 0, 1};
  for (int page = 1; page < 5; ++page) {
    g.menu.menuPage = static_cast<uint8_t>(page);
    Enter(scene::kModeMenu, menu::kBack);
    Step();
    EXPECT_EQ(g.menu.menuPage, parents[page]) << page;
    EXPECT_EQ(Sub(), 0);
    EXPECT_EQ(g.st.playReturnFlag, 0);
  }
  g.menu.menuPage = 0;
  Enter(scene::kModeMenu, menu::kBack);
  Step();
  EXPECT_EQ(g.st.sceneCode, scene::kDemoStart);
  EXPECT_EQ(g.st.playReturnFlag, 1);
  EXPECT_EQ(Sub(), 0);
}

TEST_F(ModeMenuTest, ConfirmingAndBackingOutByKey) {
  Enter(scene::kModeMenu);
  Choose(kY);  // centre on page 0
  EXPECT_EQ(g.menu.menuPage, 1);
  RunToWait();
  Press(kLeft);
  Choose(kY);
  EXPECT_EQ(g.menu.menuPage, 2);
  Choose(kN);
  EXPECT_EQ(g.menu.menuPage, 1);
  Choose(kN);
  EXPECT_EQ(g.menu.menuPage, 0);
  RunToWait();
  Press(kRight);
  Choose(kY);  // the exit item
  EXPECT_EQ(g.st.sceneCode, scene::kExitQuestion);
  EXPECT_EQ(Sub(), 0);
}

TEST_F(ModeMenuTest, ConfirmingPlaysTheFacesThenSound40) {
  g.menu.menuPage = 1;
  Enter(scene::kModeMenu);
  RunToWait();
  Press(kY);
  EXPECT_EQ(Sub(), menu::kConfirm);
  Step();
  // The other icons are gone, the chosen one stays.
  EXPECT_FALSE(Opaque(230, 60));
  EXPECT_FALSE(Opaque(360, 60));
  EXPECT_TRUE(Opaque(300, 125));
  Step(7);
  EXPECT_EQ(LastSound(), 40);
  Step(2);
  EXPECT_EQ(Sub(), menu::kStart);
  EXPECT_EQ(g.menu.menuPage, 2);
}

TEST_F(ModeMenuTest, TheRememberedCursorsAreTheMatchSettings) {
  g.menu.menuPage = 1;
  Enter(scene::kModeMenu);
  RunToWait();
  Press(kRight);  // two humans
  EXPECT_EQ(g.stage.vsOrder, 3);
  EXPECT_EQ(Sub(), menu::kRedraw);
  Choose(kY);
  EXPECT_EQ(g.menu.menuPage, 4);
  RunToWait();
  Press(kLeft);
  EXPECT_EQ(g.stage.p2Handicap, 1);
  Press(kLeft);  // not listening until the menu waits again
  EXPECT_EQ(g.stage.p2Handicap, 1);
  Choose(kN);
  EXPECT_EQ(g.menu.menuPage, 1);
  RunToWait();
  EXPECT_EQ(g.menu.menuCursor, 3);  // the page opens with its last choice
  Press(kLeft);
  Choose(kY);
  EXPECT_EQ(g.menu.menuPage, 2);
  RunToWait();
  Press(kLeft);
  RunToWait();
  Press(kLeft);  // from 1 round to 3
  EXPECT_EQ(g.stage.matchRule, 3);
  Choose(kY);
  EXPECT_EQ(g.st.sceneCode, scene::kMusicMenu);
  EXPECT_EQ(g.stage.vsOrder, 2);
  EXPECT_EQ(g.stage.matchRule, 3);
  EXPECT_EQ(g.stage.p2Handicap, 1);
}

TEST_F(ModeMenuTest, PoseAndColourKeysKeepTheCursorOfThePage) {
  g.menu.menuPage = 3;
  Enter(scene::kModeMenu);
  RunToWait();
  Press(kRight);
  EXPECT_EQ(g.menu.galleryPageCursor, 3);
  RunToWait();
  Press(kUp);
  EXPECT_EQ(Sub(), menu::kRedraw);
  RunToWait();
  EXPECT_EQ(g.menu.menuCursor, 3);
  EXPECT_EQ(g.menu.firstPageCursor, 2);
}

// ---- Gallery ----

TEST_F(ModeMenuTest, ThePatternGalleryCyclesBackwardFromFive) {
  g.menu.menuPage = 3;
  g.menu.menuCursor = 2;
  std::vector<int> shown;
  for (int i = 0; i < 6; ++i) {
    Enter(scene::kModeMenu, menu::kGallery);
    Step();
    EXPECT_EQ(Sub(), menu::kGalleryShown);
    shown.push_back(g.menu.galleryIndex[2]);
  }
  EXPECT_EQ(shown, (std::vector<int>{5, 4, 3, 2, 1, 5}));
  EXPECT_EQ(g.gfx.backdropFrameCount, 4);
  EXPECT_EQ(g.gfx.backdropStrip, 0);
  // A key returns to the menu; the drop-in starts over.
  Press(kK);
  EXPECT_EQ(Sub(), menu::kStart);
}

TEST_F(ModeMenuTest, APatternIsLaidOnAPlainColourOfOneScheme) {
  g.st.colourMax = 0;
  g.palettes.paletteColours[1][0] = {0x10, 0x20, 0x30};
  g.palettes.paletteColours[1][15] = {0x10, 0x20, 0x30};
  // Effect sets 11 and 12: opaque cells in the scheme's ink.
  for (size_t set : {size_t{11}, size_t{12}}) {
    Fill(g.gfx.frameSheets[0][set][0], 288, 480, 0xFF8000);
    g.gfx.frameSheets[3][set][0].Create(288, 480, PixelFormat::Mask);
  }
  for (int value : {5, 1}) {
    LoadGalleryPicture(g, 2, value);
    const Surface& sheet = g.gfx.backdropSheet;
    ASSERT_EQ(sheet.Width(), 640);
    EXPECT_EQ(sheet.PixelColour(5, 5), 0x102030u) << value;      // background
    EXPECT_EQ(sheet.PixelColour(20, 20), 0xFF8000u) << value;    // a cell
    EXPECT_EQ(sheet.PixelColour(110, 20), 0x102030u) << value;   // the gap
    EXPECT_EQ(sheet.PixelColour(400, 300), 0xFF8000u) << value;  // lower right
    EXPECT_EQ(sheet.PixelColour(20, 240), 0xFF8000u) << value;
  }
}

TEST_F(ModeMenuTest, ALevelGalleryWithNothingClearedShowsTheDefaultBackdrop) {
  g.menu.menuPage = 3;
  g.menu.menuCursor = 1;
  g.st.normalReached = 0;
  g.motion.backdrop.backdropKind = -1;
  Enter(scene::kModeMenu, menu::kGallery);
  Step();
  EXPECT_EQ(g.motion.backdrop.backdropKind, 0);
  EXPECT_EQ(Sub(), menu::kStart);
  // A count below zero from an edited settings file is no pictures too.
  g.st.normalReached = -3;
  Enter(scene::kModeMenu, menu::kGallery);
  Step();
  EXPECT_EQ(Sub(), menu::kStart);
  EXPECT_EQ(g.menu.galleryIndex[1], 0);
}

TEST_F(ModeMenuTest, LevelPicturesAreReadAsStripsAndAMissingOneFallsBack) {
  const std::string dir = test::MakeTempDir("menu_gallery");
  g.st.dataFolder = dir;
  Surface level;
  Fill(level, 3 * 214, 160, 0x00FF00);
  ASSERT_TRUE(SaveBmp(*g.pf.files, dir + "Y_e302.bmp", level));
  g.menu.menuPage = 3;
  g.menu.menuCursor = 3;
  g.st.hardReached = 2;
  g.gfx.backdropFrame = 3;
  Enter(scene::kModeMenu, menu::kGallery);
  Step();
  EXPECT_EQ(g.menu.galleryIndex[3], 2);
  EXPECT_EQ(Sub(), menu::kGalleryShown);
  EXPECT_EQ(g.gfx.backdropStrip, 1);
  EXPECT_EQ(g.gfx.backdropFrameCount, 3);
  EXPECT_LT(g.gfx.backdropFrame, 3);
  EXPECT_EQ(g.motion.backdrop.backdropKind, -1);
  EXPECT_TRUE(LastSound() == 35 || LastSound() == 36);
  EXPECT_EQ(Frame(300, 200), 0x00FF00u);

  // Y_e301.bmp is missing: the default backdrop stands in.
  Enter(scene::kModeMenu, menu::kGallery);
  Step();
  EXPECT_EQ(g.menu.galleryIndex[3], 1);
  EXPECT_EQ(Sub(), menu::kGalleryShown);
  EXPECT_EQ(g.motion.backdrop.backdropKind, 0);
  EXPECT_EQ(g.gfx.backdropStrip, 0);
  EXPECT_EQ(g.gfx.backdropSheet.Width(), 640);
}

// ---- The frame ----

TEST_F(ModeMenuTest, TheFrameShowsTheIconColumnsCaptionAndCursorMark) {
  for (bool large : {true, false}) {
    UseWindow(large);
    const int s = large ? 2 : 1;
    Enter(scene::kModeMenu);
    RunToWait();
    // The left icon at (224, 50) in the layers lands in the left column.
    const Point icon = large ? Point{161 + 2 * 5, 2 * 60} : Point{80 + 5, 60};
    EXPECT_EQ(Frame(icon.x, icon.y), kInk[0]) << large;
    EXPECT_EQ(Frame(icon.x, 2 * s), kBackdrop) << large;
    // Beyond the three columns the layers never show.
    EXPECT_EQ(Frame(20 * s, 100 * s), kBackdrop) << large;
    const Point caption = large ? Point{460, 460} : Point{230, 230};
    EXPECT_EQ(Frame(caption.x, caption.y), kInk[0]) << large;
    const Point mark = large ? Point{2 * 144 + 30, 388} : Point{144 + 15, 194};
    EXPECT_EQ(Frame(mark.x, mark.y), kInk[0]) << large;

    Enter(scene::kModeMenu, menu::kGalleryShown);
    g.gfx.backdropSheet.canvas.brushColour = kBackdrop;
    FillRect(g.gfx.backdropSheet, g.gfx.backdropSheet.Bounds());
    Step();
    EXPECT_EQ(Frame(caption.x, caption.y), kBackdrop) << large;
    EXPECT_EQ(Frame(mark.x, mark.y), kBackdrop) << large;
  }
}

}  // namespace
}  // namespace kelvane
