#include "graphics/jpeg_file.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/core/std_files.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

// A picture with distinct colour areas, so a decoder that swaps channels or
// rows shows it.
std::vector<uint32_t> Pattern(int w, int h) {
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t c =
          x < w / 2 ? (y < h / 2 ? 0xFF0000u : 0x00FF00u) : (y < h / 2 ? 0x0000FFu : 0xFFFFFFu);
      px[static_cast<size_t>(y) * w + x] = c;
    }
  return px;
}

int ChannelDistance(uint32_t a, uint32_t b) {
  int worst = 0;
  for (int shift : {0, 8, 16}) {
    int d = std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
    worst = std::max(worst, d);
  }
  return worst;
}

// Offset of the baseline frame header (SOF0) in an encoded file.
size_t FrameHeader(const std::string& jpeg) {
  for (size_t i = 0; i + 9 < jpeg.size(); ++i)
    if (static_cast<unsigned char>(jpeg[i]) == 0xFF &&
        static_cast<unsigned char>(jpeg[i + 1]) == 0xC0)
      return i;
  return std::string::npos;
}

void SetSize(std::string& jpeg, int w, int h) {
  size_t sof = FrameHeader(jpeg);
  ASSERT_NE(sof, std::string::npos);
  jpeg[sof + 5] = static_cast<char>(h >> 8);
  jpeg[sof + 6] = static_cast<char>(h);
  jpeg[sof + 7] = static_cast<char>(w >> 8);
  jpeg[sof + 8] = static_cast<char>(w);
}

class JpegFileTest : public ::testing::Test {
 protected:
  std::string good = [] {
    auto px = Pattern(64, 48);
    return EncodeJpeg(px.data(), 64, 48, 95);
  }();
};

TEST_F(JpegFileTest, DecodesSizeAndColoursOfAnEncodedPicture) {
  ASSERT_FALSE(good.empty());
  JpegResult r = DecodeJpeg(good, "X_b01.jpg");
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.picture.width, 64);
  ASSERT_EQ(r.picture.height, 48);
  ASSERT_EQ(r.picture.pixels.size(), 64u * 48u);
  auto want = Pattern(64, 48);
  // Sample the middle of each colour area, away from block edges.
  for (auto [x, y] : {std::pair{12, 10}, {50, 10}, {12, 38}, {50, 38}}) {
    uint32_t got = r.picture.pixels[static_cast<size_t>(y) * 64 + x];
    EXPECT_LE(ChannelDistance(got, want[static_cast<size_t>(y) * 64 + x]), 12)
        << "at " << x << "," << y << " got " << std::hex << got;
    EXPECT_EQ(got >> 24, 0u) << "the top byte stays clear";
  }
}

TEST_F(JpegFileTest, ReadsThroughTheFileSystemAndNamesAMissingFile) {
  std::string dir = test::MakeTempDir("jpeg");
  test::WriteAll(dir + "X_s01.jpg", good);
  StdFileSystem fs;
  JpegResult r = ReadJpegFile(fs, dir + "X_s01.jpg");
  EXPECT_TRUE(r.ok) << r.error;

  JpegResult missing = ReadJpegFile(fs, dir + "X_s02.jpg");
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.error.find(dir + "X_s02.jpg"), std::string::npos) << missing.error;
  EXPECT_NE(missing.error.find("missing"), std::string::npos) << missing.error;
}

TEST_F(JpegFileTest, RefusesBadFilesWithTheReason) {
  struct Case {
    const char* what;
    std::string bytes;
    const char* reason;
  };
  std::vector<Case> cases = {
      {"empty", "", "empty"},
      {"a bitmap", std::string("BM\x36\x00\x00\x00\x00\x00", 8) + std::string(60, '\0'),
       "not a JPEG"},
      {"text", "hello, this is no picture", "not a JPEG"},
      {"cut in the middle of the data", good.substr(0, good.size() / 2), "cut short"},
      {"cut inside the header", good.substr(0, 30), "cut short"},
      {"only the start marker", std::string("\xFF\xD8", 2), "cut short"},
  };
  for (const Case& c : cases) {
    JpegResult r = DecodeJpeg(c.bytes, "W.jpg");
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_EQ(r.error.rfind("W.jpg: ", 0), 0u) << c.what << ": " << r.error;
    EXPECT_NE(r.error.find(c.reason), std::string::npos) << c.what << ": " << r.error;
    EXPECT_TRUE(r.picture.pixels.empty()) << c.what;
  }
}

TEST_F(JpegFileTest, RefusesAbsurdSizesBeforeDecoding) {
  for (auto [w, h] : {std::pair{9000, 48}, {64, 8193}, {65535, 65535}}) {
    std::string huge = good;
    SetSize(huge, w, h);
    JpegResult r = DecodeJpeg(huge, "big.jpg");
    EXPECT_FALSE(r.ok) << w << "x" << h;
    EXPECT_NE(r.error.find("too large"), std::string::npos) << r.error;
  }
  std::string wide = good;
  SetSize(wide, 9000, 48);
  EXPECT_NE(DecodeJpeg(wide, "big.jpg").error.find("9000 x 48"), std::string::npos);

  // The limits themselves pass the size check; the data then cannot hold
  // that many rows, which must fail as incomplete, not decode half grey.
  std::string edge = good;
  SetSize(edge, 8192, 2048);
  JpegResult r = DecodeJpeg(edge, "edge.jpg");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("cut short"), std::string::npos) << r.error;

  std::string empty = good;
  SetSize(empty, 64, 0);
  EXPECT_FALSE(DecodeJpeg(empty, "zero.jpg").ok);
}

TEST_F(JpegFileTest, SurvivesCorruptedBytes) {
  // Damaged data either decodes to a full-size picture or fails with a
  // reason; it never crashes or leaves a half-filled result marked good.
  srand(7);
  for (int round = 0; round < 200; ++round) {
    std::string bad = good;
    for (int k = 0; k < 4; ++k)
      bad[static_cast<size_t>(rand()) % bad.size()] = static_cast<char>(rand());
    JpegResult r = DecodeJpeg(bad, "bad.jpg");
    if (r.ok) {
      EXPECT_EQ(r.picture.pixels.size(),
                static_cast<size_t>(r.picture.width) * static_cast<size_t>(r.picture.height));
    } else {
      EXPECT_EQ(r.error.rfind("bad.jpg: ", 0), 0u) << r.error;
    }
  }
}

TEST(JpegEncodeTest, RefusesNothingToEncode) {
  uint32_t px = 0;
  EXPECT_TRUE(EncodeJpeg(nullptr, 4, 4).empty());
  EXPECT_TRUE(EncodeJpeg(&px, 0, 1).empty());
  EXPECT_FALSE(EncodeJpeg(&px, 1, 1).empty());
}

}  // namespace
}  // namespace kelvane
