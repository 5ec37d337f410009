// The forged character pictures: every picture the move list loads is a
// 16-colour BMP laid out in its sheet's cells, every cell it shows holds a
// figure, and the effect cells that the mirrored table swaps are mirrors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <set>

#include "actiondata/action_data.h"
#include "actiondata/action_file.h"
#include "actiondata/load_group.h"
#include "actiondata/palette_file.h"
#include "graphics/bmp_file.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

struct Geometry {
  int cells, columns, w, h;
};
// Sheets 0..9 as drawn by the game; 10 unused; 11 and 12 the effect sets.
const Geometry kGeometry[13] = {
    {20, 5, 64, 96}, {20, 5, 64, 96}, {10, 5, 64, 160}, {10, 5, 64, 160}, {4, 2, 128, 170},
    {20, 5, 32, 96}, {20, 5, 64, 48}, {16, 4, 128, 64}, {20, 5, 32, 112}, {20, 5, 64, 48},
    {0, 1, 0, 0},    {18, 3, 96, 80}, {18, 3, 96, 80}};

class ForgedPictures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    data_ = new ActionData();
    std::string error;
    parsed_ =
        ParseActionText(*data_, test::ReadAll(test::GameDir() + "Z_ac.txt"), "Z_ac.txt", &error);
  }
  static void TearDownTestSuite() { delete data_; }
  void SetUp() override { ASSERT_TRUE(parsed_); }

  // The picture of set s, slot k, decoded once.
  static const Surface* Picture(int set, int slot) {
    static std::map<std::pair<int, int>, std::unique_ptr<Surface>> cache;
    auto& entry = cache[{set, slot}];
    if (!entry) {
      entry = std::make_unique<Surface>();
      std::string bytes =
          test::ReadAll(test::GameDir() + PictureName(set * 100 + 2 * slot) + ".bmp");
      if (bytes.empty() || !DecodeBmp(bytes, *entry).empty()) entry.reset(new Surface());
    }
    return entry->Width() > 0 ? entry.get() : nullptr;
  }

  // Non-background pixels in cell j of a bitmap, within rows [top, top + h).
  static int InkIn(const Surface& s, const Geometry& g, int j, int top, int h) {
    int x0 = (j % g.columns) * g.w, y0 = (j / g.columns) * g.h + top, n = 0;
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + g.w; ++x) n += s.RawPixel(x, y) != 0;
    return n;
  }

  static inline ActionData* data_ = nullptr;
  static inline bool parsed_ = false;
};

TEST_F(ForgedPictures, EveryLoadedPictureIsASixteenColourSheet) {
  int pictures = 0;
  for (int g = 0; g <= data_->lastGroup; ++g)
    for (int i = 0; i < 15 && data_->loadGroups[g][i] != -1; ++i) {
      int p = data_->loadGroups[g][i], set = PictureSet(p), slot = PictureSlot(p);
      const Surface* s = Picture(set, slot);
      ASSERT_NE(s, nullptr) << PictureName(p) << ".bmp is missing or unreadable";
      EXPECT_EQ(s->Format(), PixelFormat::Pal4) << PictureName(p);
      const Geometry& geo = kGeometry[set];
      EXPECT_EQ(s->Width(), geo.columns * geo.w) << PictureName(p);
      EXPECT_EQ(s->Height(), geo.cells / geo.columns * geo.h) << PictureName(p);
      EXPECT_EQ(s->Palette()[0], 0u) << PictureName(p) << ": the background must be black";
      ++pictures;
    }
  EXPECT_GE(pictures, 20);
}

TEST_F(ForgedPictures, EveryShownBodyCellHoldsAFigure) {
  std::set<int> shown;
  for (int i = 0; i < data_->motionCount; ++i)
    if (data_->motionStream[i] >= 0) shown.insert(data_->motionStream[i]);
  ASSERT_GE(shown.size(), 100u);
  for (int v : shown) {
    int sheet = v / 1000, cell = v % 1000;
    const Geometry& g = kGeometry[sheet];
    const Surface* s = Picture(sheet, cell / g.cells);
    ASSERT_NE(s, nullptr) << "picture " << v;
    // A figure, not a speck: at least a few hundred pixels.
    EXPECT_GT(InkIn(*s, g, cell % g.cells, 0, g.h), 250) << "picture " << v;
  }
}

TEST_F(ForgedPictures, MirroredEffectCellsAreMirrorImages) {
  // The mirrored effect table swaps these cells, so each pair must be one
  // picture drawn both ways round.
  std::vector<std::pair<int, int>> pairs = {{2, 6}, {3, 5}, {108, 109}};
  for (int c = 27; c < 96; c += 2) pairs.push_back({c, c + 1});
  const Geometry& g = kGeometry[11];
  for (auto [a, b] : pairs) {
    const Surface* sa = Picture(11, a / 18);
    const Surface* sb = Picture(11, b / 18);
    ASSERT_TRUE(sa && sb) << "cells " << a << ", " << b;
    int ax = (a % 18 % 3) * g.w, ay = (a % 18 / 3) * g.h, bx = (b % 18 % 3) * g.w,
        by = (b % 18 / 3) * g.h;
    int differing = 0, ink = 0;
    for (int y = 0; y < g.h; ++y)
      for (int x = 0; x < g.w; ++x) {
        uint32_t pa = sa->RawPixel(ax + x, ay + y), pb = sb->RawPixel(bx + g.w - 1 - x, by + y);
        differing += pa != pb;
        ink += pa != 0;
      }
    EXPECT_EQ(differing, 0) << "cells " << a << " and " << b;
    EXPECT_GT(ink, 20) << "cell " << a << " is empty";
  }
}

TEST_F(ForgedPictures, TilesUseOnlyTheRowsTheBackdropShows) {
  const Geometry& g = kGeometry[1];
  for (int slot = 0; slot < 2; ++slot) {
    const Surface* s = Picture(1, slot);
    ASSERT_NE(s, nullptr);
    for (int j = 0; j < g.cells; ++j) {
      EXPECT_GT(InkIn(*s, g, j, 0, 80), 100) << "tile " << slot * 20 + j;
      EXPECT_EQ(InkIn(*s, g, j, 80, 16), 0) << "tile " << slot * 20 + j << " draws below row 80";
    }
  }
}

TEST(ForgedPalettes, CharacterSchemesLookClearlyDifferent) {
  Palettes p;
  std::string error;
  ASSERT_TRUE(
      ParsePaletteText(p, test::ReadAll(test::GameDir() + kPaletteFileName), "Xx.txt", &error))
      << error;
  for (int a = 1; a <= 3; ++a) {
    EXPECT_EQ(p.paletteColours[a][0], (std::array<uint8_t, 3>{0, 0, 0})) << "palette " << a;
    for (int b = a + 1; b <= 3; ++b) {
      int different = 0;
      for (int c = 1; c < 16; ++c) {
        int d = 0;
        for (int k = 0; k < 3; ++k)
          d += std::abs(p.paletteColours[a][c][k] - p.paletteColours[b][c][k]);
        different += d > 60;
      }
      EXPECT_GE(different, 10) << "palettes " << a << " and " << b;
    }
  }
  // Plain colours 1..15 and the numbered backdrops counted in colour 0.
  EXPECT_EQ(p.paletteColours[0][0][0], 15);
  int backdrops = p.paletteColours[0][0][1];
  EXPECT_GE(backdrops, 8) << "the command backdrop table reaches backdrop 7";
  for (int n = 0; n < backdrops; ++n)
    EXPECT_FALSE(test::ReadAll(test::GameDir() + "X" + std::to_string(n) + ".bmp").empty())
        << "X" << n;
  EXPECT_TRUE(test::ReadAll(test::GameDir() + "X" + std::to_string(backdrops) + ".bmp").empty())
      << "a backdrop beyond the count could never be chosen by the keys";
}

}  // namespace
}  // namespace kelvane
