// The forged data folder holds every file the game reads, each with the
// size and format the game expects of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "actiondata/action_data.h"
#include "actiondata/action_file.h"
#include "actiondata/load_group.h"
#include "actiondata/palette_file.h"
#include "config/numbered_files.h"
#include "graphics/atlas.h"
#include "graphics/bmp_file.h"
#include "graphics/jpeg_file.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

std::string Game(const std::string& name) {
  return test::ReadAll(test::GameDir() + name);
}

uint32_t Le(const std::string& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
  return v;
}

struct BmpInfo {
  bool ok = false;
  int width = 0, height = 0, bits = 0;
  std::string error;
};

// Header facts, plus a full decode with the game's own reader.
BmpInfo ReadBmp(const std::string& name) {
  BmpInfo info;
  std::string bytes = Game(name);
  if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0) {
    info.error = name + (bytes.empty() ? " is missing" : " is not a BMP file");
    return info;
  }
  info.width = static_cast<int32_t>(Le(bytes, 18, 4));
  info.height = std::abs(static_cast<int32_t>(Le(bytes, 22, 4)));
  info.bits = static_cast<int>(Le(bytes, 28, 2));
  Surface s;
  info.error = DecodeBmp(bytes, s);
  if (!info.error.empty()) return info;
  if (s.Width() != info.width || s.Height() != info.height) {
    info.error = name + ": the reader gives another size";
    return info;
  }
  info.ok = true;
  return info;
}

void ExpectBmp(const std::string& name, int width, int height, int bits) {
  BmpInfo b = ReadBmp(name);
  ASSERT_TRUE(b.ok) << b.error;
  EXPECT_EQ(b.width, width) << name;
  EXPECT_EQ(b.height, height) << name;
  if (bits) {
    EXPECT_EQ(b.bits, bits) << name;
  }
}

void ExpectJpeg(const std::string& name, int width, int height) {
  std::string bytes = Game(name);
  ASSERT_FALSE(bytes.empty()) << name << " is missing";
  JpegResult j = DecodeJpeg(bytes, name);
  ASSERT_TRUE(j.ok) << j.error;
  EXPECT_EQ(j.picture.width, width) << name;
  EXPECT_EQ(j.picture.height, height) << name;
}

int CountInGame(const std::string& prefix, const std::string& ext) {
  int n = 0;
  while (n < 99 && !Game(prefix + ZeroPad(2, n + 1) + ext).empty()) ++n;
  return n;
}

std::unique_ptr<Palettes> ReadPalettes() {
  auto p = std::make_unique<Palettes>();
  std::string error;
  EXPECT_TRUE(ParsePaletteText(*p, Game(kPaletteFileName), kPaletteFileName, &error)) << error;
  return p;
}

TEST(DataFolder, MainPictureHasTheAtlasSizeAndSixteenColours) {
  ExpectBmp("Y_.bmp", atlas::kSheetWidth, atlas::kSheetHeight, 4);
  // Its colour table is the first colour scheme of the palette file, or the
  // generated schemes would recolour the wrong entries.
  std::string bytes = Game("Y_.bmp");
  auto pal = ReadPalettes();
  ASSERT_GE(bytes.size(), 54u + 64u);
  for (int i = 1; i < 16; ++i) {
    size_t at = 54 + 4 * i;
    EXPECT_EQ(static_cast<uint8_t>(bytes[at + 2]), pal->paletteColours[1][i][0]) << "entry " << i;
    EXPECT_EQ(static_cast<uint8_t>(bytes[at + 1]), pal->paletteColours[1][i][1]) << "entry " << i;
    EXPECT_EQ(static_cast<uint8_t>(bytes[at]), pal->paletteColours[1][i][2]) << "entry " << i;
  }
}

TEST(DataFolder, EveryNumberedBackdropIsAFourFrameGrid) {
  auto pal = ReadPalettes();
  const int counted = pal->paletteColours[0][0][1];
  EXPECT_GE(counted, 1);
  // The command and random choices reach backdrop 7 and the "H=" steps 9,
  // whatever the palette file counts.
  const int needed = std::max(counted, 10);
  for (int n = 0; n < needed; ++n) ExpectBmp("X" + std::to_string(n) + ".bmp", 640, 480, 0);
  ExpectBmp("Y_e01.bmp", 640, 480, 0);
}

TEST(DataFolder, LevelPicturesAreRowsOfWholeFrames) {
  for (const char* course : {"Y_e1", "Y_e3"}) {
    const int levels = CountInGame(course, ".bmp");
    EXPECT_GE(levels, 5) << course;
    EXPECT_LE(levels, 16) << course;
    for (int i = 1; i <= levels; ++i) {
      std::string name = course + ZeroPad(2, i) + ".bmp";
      BmpInfo b = ReadBmp(name);
      ASSERT_TRUE(b.ok) << b.error;
      EXPECT_EQ(b.height, 160) << name;
      EXPECT_GE(b.width / 214, 2) << name << " should animate";
      EXPECT_EQ(b.width % 214, 0) << name << " has a partial frame";
    }
  }
}

TEST(DataFolder, WallpapersComeInBothSizes) {
  const int large = CountInGame("X_b", ".jpg"), small = CountInGame("X_s", ".jpg");
  EXPECT_GE(large, 3);
  EXPECT_GE(small, 3);
  for (int i = 1; i <= large; ++i) ExpectJpeg("X_b" + ZeroPad(2, i) + ".jpg", 640, 480);
  for (int i = 1; i <= small; ++i) ExpectJpeg("X_s" + ZeroPad(2, i) + ".jpg", 320, 240);
}

TEST(DataFolder, ActionFileAndEveryPictureItLoads) {
  auto actions = std::make_unique<ActionData>();
  std::string error;
  const std::string name = ActionFileName("act");
  ASSERT_TRUE(ParseActionText(*actions, Game(name), name, &error)) << error;
  int pictures = 0;
  for (int g = 0; g <= actions->lastGroup; ++g)
    for (int e = 0; e < ActionData::kMaxGroupPictures + 1; ++e) {
      int16_t p = actions->loadGroups[g][e];
      if (p == ActionData::kEnd) break;
      BmpInfo b = ReadBmp(PictureName(p) + ".bmp");
      EXPECT_TRUE(b.ok) << b.error;
      EXPECT_EQ(b.bits, 4) << PictureName(p) << " must be a 16-colour picture";
      ++pictures;
    }
  EXPECT_GT(pictures, 0);
}

bool IsMidi(const std::string& b) {
  return b.size() > 14 && b.compare(0, 4, "MThd") == 0;
}
bool IsWave(const std::string& b) {
  return b.size() > 44 && b.compare(0, 4, "RIFF") == 0 && b.compare(8, 4, "WAVE") == 0;
}

TEST(DataFolder, TunesAndTheMenuTune) {
  EXPECT_TRUE(IsMidi(Game("Zz.mid"))) << "Zz.mid (menu tune) missing or not MIDI";
  const int tunes = CountInGame("Z", ".mid");
  EXPECT_GE(tunes, 1);
  EXPECT_LE(tunes, 16);
  for (int i = 1; i <= tunes; ++i) EXPECT_TRUE(IsMidi(Game("Z" + ZeroPad(2, i) + ".mid"))) << i;
}

TEST(DataFolder, EverySoundEffectTheScenesPlay) {
  const int effects[] = {0,  1,  2,  10, 11, 20, 21, 28, 29, 30, 31, 32, 33, 34,
                         35, 36, 40, 50, 51, 52, 60, 61, 66, 67, 68, 69, 70, 71};
  for (int n : effects) {
    std::string name = "Y_q" + ZeroPad(2, n) + ".wav";
    EXPECT_TRUE(IsWave(Game(name))) << name << " missing or not a WAV file";
  }
}

}  // namespace
}  // namespace kelvane
