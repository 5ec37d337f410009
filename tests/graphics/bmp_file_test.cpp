// BMP files: round trips of every written format, the read formats, and bad
// files that must give an error text without reading out of bounds.
#include "graphics/bmp_file.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/core/std_files.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

void Put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 255));
  s.push_back(static_cast<char>((v >> 8) & 255));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// A BMP with a 40-byte header; palette entries as 0x00RRGGBB; rows as given
// (already padded), in file order.
std::string MakeBmp(int w, int h, int bpp, const std::vector<uint32_t>& palette, const std::string& pixels,
                    uint32_t compression = 0) {
  std::string s = "BM";
  const uint32_t off = 14 + 40 + 4 * static_cast<uint32_t>(palette.size());
  Put32(s, off + static_cast<uint32_t>(pixels.size()));
  Put32(s, 0);
  Put32(s, off);
  Put32(s, 40);
  Put32(s, static_cast<uint32_t>(w));
  Put32(s, static_cast<uint32_t>(h));
  Put16(s, 1);
  Put16(s, static_cast<uint32_t>(bpp));
  Put32(s, compression);
  Put32(s, static_cast<uint32_t>(pixels.size()));
  Put32(s, 0);
  Put32(s, 0);
  Put32(s, static_cast<uint32_t>(palette.size()));
  Put32(s, 0);
  for (uint32_t c : palette) {
    s.push_back(static_cast<char>(c & 255));
    s.push_back(static_cast<char>((c >> 8) & 255));
    s.push_back(static_cast<char>((c >> 16) & 255));
    s.push_back(0);
  }
  return s + pixels;
}

std::string Bytes(std::initializer_list<int> v) {
  std::string s;
  for (int b : v) s.push_back(static_cast<char>(b));
  return s;
}

TEST(BmpFile, Pal4RoundTripKeepsPaletteAndIndexes) {
  Palette16 pal{};
  for (size_t i = 0; i < 16; ++i) pal[i] = static_cast<uint32_t>(0x010203 * i);
  pal[9] = pal[3];  // two entries of one colour keep their own indexes
  Surface s;
  s.CreatePal4(7, 3, pal);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) s.SetRawPixel(x, y, static_cast<uint32_t>((x * 3 + y * 5) % 16));
  s.SetRawPixel(6, 2, 9);
  const std::string file = EncodeBmp(s);
  EXPECT_EQ(file[28], 4);  // bits per pixel
  Surface t;
  ASSERT_EQ(DecodeBmp(file, t), "");
  ASSERT_EQ(t.Format(), PixelFormat::Pal4);
  EXPECT_EQ(t.Palette(), pal);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(t.RawPixel(x, y), s.RawPixel(x, y)) << x << "," << y;
}

TEST(BmpFile, MaskRoundTripIsOneBit) {
  Surface m(13, 2, PixelFormat::Mask);
  for (int x = 0; x < 13; ++x) m.SetRawPixel(x, x % 2, 1);
  const std::string file = EncodeBmp(m);
  EXPECT_EQ(file[28], 1);
  Surface t;
  ASSERT_EQ(DecodeBmp(file, t), "");
  EXPECT_EQ(t.Format(), PixelFormat::Mask);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 13; ++x) EXPECT_EQ(t.RawPixel(x, y), m.RawPixel(x, y));
  // A monochrome device-format surface is written the same way.
  Surface mono = m;
  mono.SetFormat(PixelFormat::Mono);
  EXPECT_EQ(EncodeBmp(mono), file);
}

TEST(BmpFile, ColourRoundTripIs24Bit) {
  Surface c(5, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) c.SetRawPixel(x, y, static_cast<uint32_t>(0x102030 * (x + 1) + 0x0A * y));
  const std::string file = EncodeBmp(c);
  EXPECT_EQ(file[28], 24);
  Surface t;
  ASSERT_EQ(DecodeBmp(file, t), "");
  EXPECT_EQ(t.Format(), PixelFormat::Colour);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(t.RawPixel(x, y), c.RawPixel(x, y));
}

TEST(BmpFile, ColourAsFourBitTakesNearestEntries) {
  Surface c(2, 1);
  c.SetRawPixel(0, 0, 0xFF0000);
  c.SetRawPixel(1, 0, 0x010101);
  Surface t;
  ASSERT_EQ(DecodeBmp(EncodeBmp4(c, Surface::VgaPalette()), t), "");
  ASSERT_EQ(t.Format(), PixelFormat::Pal4);
  EXPECT_EQ(t.PixelColour(0, 0), 0xFF0000u);
  EXPECT_EQ(t.PixelColour(1, 0), 0x000000u);
}

TEST(BmpFile, ReadsTopDown24And32Bit) {
  // 2 x 2, top-down (negative height): first row in the file is the top.
  std::string px24 = Bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0, 0, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0, 0});
  Surface t;
  ASSERT_EQ(DecodeBmp(MakeBmp(2, -2, 24, {}, px24), t), "");
  EXPECT_EQ(t.RawPixel(0, 0), 0x030201u);
  EXPECT_EQ(t.RawPixel(1, 0), 0x060504u);
  EXPECT_EQ(t.RawPixel(0, 1), 0x090807u);
  // Bottom-up 32 bit.
  std::string px32 = Bytes({1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0});
  ASSERT_EQ(DecodeBmp(MakeBmp(2, 2, 32, {}, px32), t), "");
  EXPECT_EQ(t.RawPixel(0, 1), 0x030201u);
  EXPECT_EQ(t.RawPixel(1, 0), 0x0C0B0Au);
}

TEST(BmpFile, ReadsEightBitAsPalettizedOrColour) {
  std::vector<uint32_t> pal(256);
  for (size_t i = 0; i < 256; ++i) pal[i] = static_cast<uint32_t>(i * 0x010101);
  Surface t;
  ASSERT_EQ(DecodeBmp(MakeBmp(3, 1, 8, pal, Bytes({1, 15, 3, 0})), t), "");
  EXPECT_EQ(t.Format(), PixelFormat::Pal4);
  EXPECT_EQ(t.RawPixel(1, 0), 15u);
  ASSERT_EQ(DecodeBmp(MakeBmp(3, 1, 8, pal, Bytes({1, 200, 3, 0})), t), "");
  EXPECT_EQ(t.Format(), PixelFormat::Colour);
  EXPECT_EQ(t.RawPixel(1, 0), 200u * 0x010101u);
}

TEST(BmpFile, ReadsRle4AndRle8) {
  std::vector<uint32_t> pal(16);
  for (size_t i = 0; i < 16; ++i) pal[i] = static_cast<uint32_t>(i * 0x111111);
  // RLE4, 5 x 2: bottom row "run of 5 alternating 1,2", end of line;
  // top row literal 3,4,5 then end of bitmap.
  std::string rle4 = Bytes({5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1});
  Surface t;
  ASSERT_EQ(DecodeBmp(MakeBmp(5, 2, 4, pal, rle4, 2), t), "");
  ASSERT_EQ(t.Format(), PixelFormat::Pal4);
  EXPECT_EQ(t.RawPixel(0, 1), 1u);
  EXPECT_EQ(t.RawPixel(1, 1), 2u);
  EXPECT_EQ(t.RawPixel(4, 1), 1u);
  EXPECT_EQ(t.RawPixel(0, 0), 3u);
  EXPECT_EQ(t.RawPixel(2, 0), 5u);
  EXPECT_EQ(t.RawPixel(3, 0), 0u);
  // RLE8 with a delta.
  std::string rle8 = Bytes({2, 7, 0, 2, 1, 1, 1, 9, 0, 1});
  ASSERT_EQ(DecodeBmp(MakeBmp(4, 2, 8, pal, rle8, 1), t), "");
  EXPECT_EQ(t.RawPixel(0, 1), 7u);
  EXPECT_EQ(t.RawPixel(1, 1), 7u);
  EXPECT_EQ(t.RawPixel(3, 0), 9u);
  // A stream that ends early is an error, not a crash.
  EXPECT_NE(DecodeBmp(MakeBmp(4, 2, 8, pal, Bytes({2, 7, 0}), 1), t), "");
}

TEST(BmpFile, OneBitWithColouredTableIsPalettized) {
  Surface t;
  ASSERT_EQ(DecodeBmp(MakeBmp(2, 1, 1, {0xFF0000, 0x0000FF}, Bytes({0x40, 0, 0, 0})), t), "");
  EXPECT_EQ(t.Format(), PixelFormat::Pal4);
  EXPECT_EQ(t.PixelColour(0, 0), 0xFF0000u);
  EXPECT_EQ(t.PixelColour(1, 0), 0x0000FFu);
}

TEST(BmpFile, BadFilesGiveErrors) {
  Surface t(3, 3);
  const std::string good = EncodeBmp(Surface(4, 4));
  EXPECT_NE(DecodeBmp("", t), "");
  EXPECT_NE(DecodeBmp("BM", t), "");
  EXPECT_NE(DecodeBmp("PK" + good.substr(2), t), "");
  // Every truncation of a good file fails cleanly.
  for (size_t n = 0; n < good.size(); ++n) EXPECT_NE(DecodeBmp(good.substr(0, n), t), "") << n;
  // Absurd sizes and depths.
  EXPECT_NE(DecodeBmp(MakeBmp(100000, 1, 24, {}, std::string(12, '\0')), t), "");
  EXPECT_NE(DecodeBmp(MakeBmp(1, -100000, 24, {}, std::string(4, '\0')), t), "");
  EXPECT_NE(DecodeBmp(MakeBmp(0, 1, 24, {}, ""), t), "");
  EXPECT_NE(DecodeBmp(MakeBmp(1, 1, 7, {}, std::string(4, '\0')), t), "");
  EXPECT_NE(DecodeBmp(MakeBmp(1, 1, 24, {}, std::string(4, '\0'), 9), t), "");
  std::string hugePalette = MakeBmp(1, 1, 8, {}, std::string(4, '\0'));
  hugePalette[46] = '\x01';
  hugePalette[48] = '\x01';  // 65,537 colours
  EXPECT_NE(DecodeBmp(hugePalette, t), "");
  std::string badOffset = good;
  badOffset[10] = '\xFF';
  badOffset[13] = '\x7F';
  EXPECT_NE(DecodeBmp(badOffset, t), "");
  // The surface is untouched by a failed read.
  EXPECT_EQ(t.Width(), 3);
}

TEST(BmpFile, RandomCorruptionsNeverReadOutOfBounds) {
  // Headers and data of valid files with random bytes changed: every result
  // is either an error or a surface within the size limit (the sanitizer
  // build checks the reads).
  Surface pal;
  pal.CreatePal4(9, 5, Surface::VgaPalette());
  std::vector<uint32_t> pal16(16, 0);
  const std::string files[] = {EncodeBmp(pal), EncodeBmp(Surface(3, 3, PixelFormat::Mask)), EncodeBmp(Surface(5, 2)),
                               MakeBmp(5, 2, 4, pal16, Bytes({5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1}), 2),
                               MakeBmp(4, 2, 8, pal16, Bytes({2, 7, 0, 2, 1, 1, 1, 9, 0, 1}), 1)};
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 8) & 0xFFFFFF; };
  for (const std::string& good : files) {
    for (int round = 0; round < 400; ++round) {
      std::string bad = good;
      const int changes = 1 + static_cast<int>(next() % 4);
      for (int c = 0; c < changes; ++c) bad[next() % bad.size()] = static_cast<char>(next() & 255);
      if (next() % 3 == 0) bad.resize(next() % (bad.size() + 1));
      Surface t;
      if (DecodeBmp(bad, t).empty()) {
        EXPECT_LE(t.Width(), Surface::kMaxSide);
        EXPECT_LE(t.Height(), Surface::kMaxSide);
      }
    }
  }
}

TEST(BmpFile, LoadAndSaveThroughTheFileSystem) {
  StdFileSystem files;
  const std::string dir = test::MakeTempDir("bmp_file");
  Surface m(9, 9, PixelFormat::Mask);
  m.SetRawPixel(4, 4, 1);
  ASSERT_TRUE(SaveBmp(files, dir + "m.bmp", m));
  Surface t;
  EXPECT_EQ(LoadBmp(files, dir + "m.bmp", t), "");
  EXPECT_EQ(t.RawPixel(4, 4), 1u);
  EXPECT_NE(LoadBmp(files, dir + "missing.bmp", t), "");
}

}  // namespace
}  // namespace kelvane
