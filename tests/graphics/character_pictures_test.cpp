#include "graphics/character_pictures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "actiondata/action_file.h"
#include "actiondata/load_group.h"
#include "actiondata/palette_file.h"
#include "graphics/bmp_file.h"
#include "graphics/raster.h"
#include "graphics/surfaces.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

using Rgb = std::array<int, 3>;

// Palette p, entry j. Scheme 0 (palette 1) has a non-black entry 0 (forced
// black in use), two entries of the same colour (3 and 7) and a black entry
// (9); the other schemes are plain distinct colours.
Rgb FileColour(int p, int j) {
  if (p == 1) {
    if (j == 0) return {10, 20, 30};
    if (j == 7) return FileColour(1, 3);
    if (j == 9) return {0, 0, 0};
    return {j * 16, 255 - j * 16, j * 8};
  }
  return {(p * 50 + j * 13) % 256, (j * 29) % 256, (p * 90 + 255 - j * 7) % 256};
}

std::string PaletteText() {
  std::string s;
  for (int p = 0; p < 4; ++p) {
    s += "palette " + std::to_string(p) + "\n";
    for (int line = 0; line < 4; ++line) {
      for (int c = 0; c < 4; ++c)
        for (int v : FileColour(p, line * 4 + c)) s += std::to_string(v) + " ";
      s += "\n";
    }
  }
  return s;
}

uint32_t Pixel(const Rgb& c) {
  return (static_cast<uint32_t>(c[0]) << 16) | (static_cast<uint32_t>(c[1]) << 8) |
         static_cast<uint32_t>(c[2]);
}

// Keeps every caption the main window was given.
class CaptionLog : public HeadlessWindow {
 public:
  void SetCaption(FormId form, const std::string& text) override {
    if (form == FormId::FM) captions.push_back(text);
    HeadlessWindow::SetCaption(form, text);
  }
  std::vector<std::string> captions;
};

struct PictureTest : ::testing::Test {
  void SetUp() override {
    g.pf.window = &window;
    test::WriteAll(dir + "Xx.txt", PaletteText());
    ASSERT_TRUE(ReadPaletteFile(g));
    BuildPalettes(g);
    g.st.colourMax = 2;
  }

  // A 4-bit picture whose pixel (x, y) has index (x + 3y) mod 16, saved as
  // name + ".bmp".
  Surface WritePicture(const std::string& name, int w = 21, int h = 7) {
    Surface s;
    s.CreatePal4(w, h, Surface::VgaPalette());
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) s.SetRawPixel(x, y, (x + 3 * y) % 16);
    EXPECT_TRUE(SaveBmp(*g.pf.files, dir + name + ".bmp", s));
    return s;
  }

  std::array<Surface, 4> sheets;
  PictureSheets Targets() { return {{&sheets[0], &sheets[1], &sheets[2]}, &sheets[3]}; }
  bool Load(const std::string& name) { return LoadCharacterPicture(g, name, Targets()); }
  bool Exists(const std::string& file) { return std::filesystem::exists(dir + file); }

  std::string dir = test::MakeTempDir("pictures");
  test::TestGame tg{dir};
  Game& g = tg.g();
  CaptionLog window;
};

TEST_F(PictureTest, SchemesSwapPaletteColoursPixelByPixel) {
  WritePicture("sc005");
  ASSERT_TRUE(Load("sc005"));
  const Palette16& one = g.palettes.charPalettes[2];
  const Palette16& two = g.palettes.charPalettes[3];
  for (int i : {1, 2, 5, 15}) {
    // Index i sits at (i, 0).
    EXPECT_EQ(sheets[0].PixelColour(i, 0), Pixel(FileColour(1, i))) << i;
    EXPECT_EQ(sheets[1].PixelColour(i, 0), one[i]) << i;
    EXPECT_EQ(sheets[2].PixelColour(i, 0), two[i]) << i;
  }
  // Scheme 0 shows its entry 0 black whatever the file says; black matches
  // entry 9 (black in the file), so those pixels take colour 9.
  EXPECT_EQ(sheets[0].PixelColour(0, 0), 0u);
  EXPECT_EQ(sheets[1].PixelColour(0, 0), one[9]);
  // Entries 3 and 7 look alike in scheme 0: both passes hit both pixels.
  uint32_t both = one[3] | one[7];
  EXPECT_EQ(sheets[1].PixelColour(3, 0), sheets[1].PixelColour(7, 0));
  EXPECT_EQ(sheets[1].PixelColour(3, 0), one[NearestIndex(one, both)]);
  // Every surface has the picture's size.
  for (const Surface& s : sheets) {
    EXPECT_EQ(s.Width(), 21);
    EXPECT_EQ(s.Height(), 7);
  }
}

TEST_F(PictureTest, GeneratedSchemeEqualsTheFullSizePasses) {
  WritePicture("Y_", 40, 9);
  ASSERT_TRUE(Load("Y_"));
  for (int s = 1; s <= 2; ++s) {
    // The reference: the fifteen passes over the whole picture.
    Surface scheme0 = sheets[0];
    Surface reference;
    reference.CreatePal4(scheme0.Width(), scheme0.Height(), g.palettes.charPalettes[s + 1]);
    for (int b = 1; b <= 15; ++b) RecolourPass(g, reference, scheme0, s, b);
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 40; ++x)
        ASSERT_EQ(sheets[s].RawPixel(x, y), reference.RawPixel(x, y)) << s << " " << x << "," << y;
  }
}

TEST_F(PictureTest, TrueColourPictureKeepsUnknownColoursBlack) {
  Surface s(3, 1, PixelFormat::Colour);
  s.SetRawPixel(0, 0, Pixel(FileColour(1, 5)));
  s.SetRawPixel(1, 0, 0x123456);  // no entry of scheme 0
  s.SetRawPixel(2, 0, Pixel(FileColour(1, 12)));
  ASSERT_TRUE(SaveBmp(*g.pf.files, dir + "sd010.bmp", s));
  ASSERT_TRUE(Load("sd010"));
  EXPECT_EQ(sheets[1].PixelColour(0, 0), g.palettes.charPalettes[2][5]);
  EXPECT_EQ(sheets[1].PixelColour(1, 0), 0u);
  EXPECT_EQ(sheets[2].PixelColour(2, 0), g.palettes.charPalettes[3][12]);
  EXPECT_EQ(sheets[3].RawPixel(1, 0), 0u);
}

TEST_F(PictureTest, MaskIsWhiteWhereSchemeZeroIsBlack) {
  WritePicture("sc005");
  ASSERT_TRUE(Load("sc005"));
  EXPECT_EQ(sheets[3].Format(), PixelFormat::Mask);
  EXPECT_EQ(sheets[3].RawPixel(0, 0), 1u);  // index 0
  EXPECT_EQ(sheets[3].RawPixel(9, 0), 1u);  // entry 9 is black too
  EXPECT_EQ(sheets[3].RawPixel(1, 0), 0u);
  EXPECT_EQ(sheets[3].RawPixel(15, 0), 0u);
}

TEST_F(PictureTest, CacheFilesAreWrittenOnceAndOnlyMissingOnesRebuilt) {
  WritePicture("Y_");
  ASSERT_TRUE(Load("Y_"));
  ASSERT_TRUE(Exists("TY_.bmp"));
  ASSERT_TRUE(Exists("UY_.bmp"));
  Surface generatedU = sheets[2];

  // A stand-in U file of the right size shows whether it is read or rebuilt.
  Surface marker;
  marker.CreatePal4(21, 7, g.palettes.charPalettes[3]);
  marker.SetRawPixel(4, 4, 11);
  ASSERT_TRUE(SaveBmp(*g.pf.files, dir + "UY_.bmp", marker));
  std::string markerBytes = test::ReadAll(dir + "UY_.bmp");
  std::string generatedT = test::ReadAll(dir + "TY_.bmp");
  std::filesystem::remove(dir + "TY_.bmp");

  ASSERT_TRUE(Load("Y_"));
  EXPECT_EQ(test::ReadAll(dir + "TY_.bmp"), generatedT);
  EXPECT_EQ(test::ReadAll(dir + "UY_.bmp"), markerBytes);
  EXPECT_EQ(sheets[2].RawPixel(4, 4), 11u);

  // The re-create switch rebuilds every scheme even when its file is there.
  g.st.rebuildColourData = 1;
  ASSERT_TRUE(Load("Y_"));
  EXPECT_NE(test::ReadAll(dir + "UY_.bmp"), markerBytes);
  EXPECT_EQ(sheets[2].RawPixel(4, 4), generatedU.RawPixel(4, 4));
}

TEST_F(PictureTest, BadCacheFilesAreRegenerated) {
  WritePicture("sc005");
  test::WriteAll(dir + "Tsc005.bmp", "BM not really a picture");
  Surface small;
  small.CreatePal4(20, 7, g.palettes.charPalettes[3]);
  ASSERT_TRUE(SaveBmp(*g.pf.files, dir + "Usc005.bmp", small));
  ASSERT_TRUE(Load("sc005"));
  EXPECT_EQ(sheets[1].Width(), 21);
  EXPECT_EQ(sheets[2].Width(), 21);
  EXPECT_EQ(sheets[1].PixelColour(5, 0), g.palettes.charPalettes[2][5]);
  Surface reread;
  ASSERT_EQ(LoadBmp(*g.pf.files, dir + "Usc005.bmp", reread), "");
  EXPECT_EQ(reread.Width(), 21);
}

TEST_F(PictureTest, OneColourSchemeReadsAndWritesNoCache) {
  WritePicture("sc005");
  test::WriteAll(dir + "Tsc005.bmp", "junk that must not be read");
  g.st.colourMax = 0;
  ASSERT_TRUE(Load("sc005"));
  EXPECT_FALSE(Exists("Usc005.bmp"));
  EXPECT_EQ(test::ReadAll(dir + "Tsc005.bmp"), "junk that must not be read");
  EXPECT_TRUE(sheets[1].Empty());
  EXPECT_FALSE(sheets[0].Empty());
  EXPECT_FALSE(sheets[3].Empty());
}

TEST_F(PictureTest, CaptionCountsDownAndReturnsToTheTitle) {
  g.st.groupsToLoad = 12;
  g.actions.picturesLeft = 3;
  g.actions.pictureCountdown = 2;
  ShowLoadingProgress(g);
  EXPECT_EQ(window.captions.back(), "Now Loading 12 3 2");
  EXPECT_EQ(g.actions.pictureCountdown, 1);

  // A generated picture: start, part way through each scheme and between.
  WritePicture("Y_");
  window.captions.clear();
  g.st.groupsToLoad = 1;
  g.actions.picturesLeft = 0;
  ASSERT_TRUE(Load("Y_"));
  EXPECT_EQ(window.captions, (std::vector<std::string>{"Now Loading 1 0 3", "Now Loading 1 0 2",
                                                       "Now Loading 1 0 1", "Now Loading 1 0 0"}));
  // From the cache, after the last group: the title comes back.
  window.captions.clear();
  g.st.groupsToLoad = 0;
  ASSERT_TRUE(Load("Y_"));
  EXPECT_EQ(window.captions,
            (std::vector<std::string>{"Now Loading 0 0 3", "Now Loading 0 0 2", "Now Loading 0 0 1",
                                      "Now Loading 0 0 0", "Kelvane"}));
}

TEST_F(PictureTest, CloseDuringLoadingStopsAndSavesNothing) {
  WritePicture("sc005");
  int pumps = 0;
  bool haltedInPump = true;
  tg.fakes.app.pump = [&] {
    haltedInPump = haltedInPump && g.st.halted;
    if (++pumps == 5) g.st.closeRequested = 1;  // during scheme 1's passes
  };
  ASSERT_TRUE(Load("sc005"));
  EXPECT_TRUE(haltedInPump);
  EXPECT_EQ(g.st.halted, 0);
  EXPECT_EQ(pumps, 5);
  EXPECT_FALSE(Exists("Tsc005.bmp"));
  EXPECT_FALSE(Exists("Usc005.bmp"));

  // Later pictures are not loaded at all.
  std::array<Surface, 4> later;
  WritePicture("sc006");
  ASSERT_TRUE(LoadCharacterPicture(g, "sc006", {{&later[0], &later[1], &later[2]}, &later[3]}));
  EXPECT_TRUE(later[0].Empty());
}

TEST_F(PictureTest, UnreadablePicturesAreReportedByName) {
  EXPECT_FALSE(Load("sb000"));
  ASSERT_EQ(tg.fakes.app.messages.size(), 1u);
  EXPECT_NE(tg.fakes.app.messages[0].find(dir + "sb000.bmp"), std::string::npos);

  WritePicture("sb001");
  std::string whole = test::ReadAll(dir + "sb001.bmp");
  test::WriteAll(dir + "sb001.bmp", whole.substr(0, whole.size() / 2));
  EXPECT_FALSE(Load("sb001"));
  ASSERT_EQ(tg.fakes.app.messages.size(), 2u);
  EXPECT_EQ(tg.fakes.app.messages[1].rfind(dir + "sb001.bmp: ", 0), 0u) << tg.fakes.app.messages[1];
}

TEST_F(PictureTest, LoadGroupFillsSlotsConsumesTheGroupAndMapsCommands) {
  std::string error;
  ASSERT_TRUE(ParseActionText(g.actions,
                              "_ idle\n* kick\n0\n12\nL\n1004 1005 1041 -1\n* spin\n0\n13\nL\n-1\n",
                              "Z_ac.txt", &error))
      << error;
  g.st.colourMax = 0;
  g.st.groupsToLoad = static_cast<uint8_t>(CountGroupsToLoad(g.actions));
  ASSERT_EQ(g.st.groupsToLoad, 1);
  // Set 10 has no fixed sheet size, so small pictures tell them apart.
  WritePicture("004", 5, 5);
  WritePicture("005", 6, 6);  // same slot as 004: replaces it
  WritePicture("041", 7, 7);
  window.captions.clear();
  ASSERT_TRUE(LoadGroup(g, 0));
  // "Now Loading" groups, pictures left in the group, countdown.
  EXPECT_EQ(window.captions.front(), "Now Loading 1 2 1");
  // The group is counted off only after its last picture, so the title
  // comes back with the next picture loaded (the main picture).
  EXPECT_EQ(window.captions.back(), "Now Loading 1 0 0");
  EXPECT_EQ(g.gfx.frameSheets[0][10][2].Width(), 6);
  EXPECT_EQ(g.gfx.frameSheets[3][10][2].Width(), 6);
  EXPECT_EQ(g.gfx.frameSheets[0][10][20].Width(), 7);
  EXPECT_EQ(g.st.groupsToLoad, 0);
  EXPECT_EQ(g.actions.loadGroups[0][0], -1);
  EXPECT_EQ(g.actions.codeToRow[12], 1);
  EXPECT_EQ(g.actions.codeToRow[13], 0);  // group 1 not loaded yet
  ASSERT_TRUE(LoadGroup(g, 1));
  EXPECT_EQ(g.actions.codeToRow[13], 2);
  EXPECT_EQ(g.st.groupsToLoad, 0);
}

TEST_F(PictureTest, LoadGroupStopsAtAMissingPicture) {
  std::string error;
  ASSERT_TRUE(ParseActionText(g.actions, "* a\n0\n12\nL\n300 -1\n", "Z_ac.txt", &error)) << error;
  EXPECT_FALSE(LoadGroup(g, 0));
  ASSERT_EQ(tg.fakes.app.messages.size(), 1u);
  EXPECT_NE(tg.fakes.app.messages[0].find("sf000.bmp"), std::string::npos);
}

}  // namespace
}  // namespace kelvane
