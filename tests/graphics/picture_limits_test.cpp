// Pictures are refused from their headers when they are absurdly large or
// not the size the game draws them at: before anything is allocated, with
// "FILE: reason", and optional pictures fall back and say so once.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <vector>

#include "actiondata/action_data.h"
#include "actiondata/action_file.h"
#include "actiondata/load_group.h"
#include "gameplay/backdrops.h"
#include "gameplay/mode_menu.h"
#include "gameplay/snapshot_album.h"
#include "graphics/bmp_file.h"
#include "graphics/character_pictures.h"
#include "graphics/jpeg_file.h"
#include "graphics/presentation.h"
#include "tests/fake_platform.h"

namespace kelvane {
namespace {

void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 255));
}

// An RLE8 file whose header claims w x h; its 1 kB of data is one long run
// after another, as a forged file would be.
std::string RleBomb(int w, int h, size_t dataBytes = 1024) {
  std::string s = "BM";
  const uint32_t off = 14 + 40 + 4 * 256;
  Put32(s, off + static_cast<uint32_t>(dataBytes));
  Put32(s, 0);
  Put32(s, off);
  Put32(s, 40);
  Put32(s, static_cast<uint32_t>(w));
  Put32(s, static_cast<uint32_t>(h));
  s += std::string("\x01\x00\x08\x00", 4);
  Put32(s, 1);  // RLE8
  Put32(s, static_cast<uint32_t>(dataBytes));
  Put32(s, 0), Put32(s, 0), Put32(s, 256), Put32(s, 0);
  s += std::string(4 * 256, '\x40');
  for (size_t i = 0; i + 4 <= dataBytes; i += 2) s += std::string("\xFF\x07", 2);
  return s + std::string("\x00\x01", 2);  // end of bitmap
}

std::string PlainBmp(int w, int h, uint32_t rgb = 0) {
  Surface s(w, h, PixelFormat::Colour);
  for (int y = 0; y < h; ++y) std::fill_n(s.ColourRow(y), w, rgb);
  return EncodeBmp(s);
}

TEST(PictureLimits, HugeClaimsAreRefusedFromTheHeaderAtOnce) {
  const std::string bomb = RleBomb(16384, 16384);
  ASSERT_LT(bomb.size(), 2200u);
  Surface out;
  std::string error;
  error = DecodeBmp(bomb, out);
  EXPECT_NE(error.find("too large (16384 x 16384"), std::string::npos) << error;
  EXPECT_TRUE(out.Empty());
  // Uncompressed files must carry their pixels; a short one is refused
  // before the picture is allocated.
  std::string cut = PlainBmp(64, 64);
  cut.resize(cut.size() / 2);
  EXPECT_EQ(DecodeBmp(cut, out), "truncated BMP pixel data");
  // Within the limit the same kind of file still decodes (an album column).
  EXPECT_EQ(DecodeBmp(RleBomb(148, 10800), out), "");
  EXPECT_EQ(out.Height(), 10800);
}

TEST(PictureLimits, JpegClaimsNeedTheirData) {
  std::vector<uint32_t> pixels(64 * 64, 0x336699);
  const std::string small = EncodeJpeg(pixels.data(), 64, 64);
  ASSERT_FALSE(small.empty());
  // The same stream with its size fields raised to 4000 x 4000: the header
  // parses, but a few hundred bytes cannot hold that many blocks.
  std::string forged = small;
  const size_t sof = forged.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  forged[sof + 5] = static_cast<char>(4000 >> 8), forged[sof + 6] = static_cast<char>(4000 & 255);
  forged[sof + 7] = static_cast<char>(4000 >> 8), forged[sof + 8] = static_cast<char>(4000 & 255);
  JpegResult r;
  r = DecodeJpeg(forged, "X_b01.jpg");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error.rfind("X_b01.jpg: the file is cut short", 0), 0u) << r.error;
  forged[sof + 5] = static_cast<char>(8000 >> 8), forged[sof + 6] = static_cast<char>(8000 & 255);
  forged[sof + 7] = static_cast<char>(8000 >> 8), forged[sof + 8] = static_cast<char>(8000 & 255);
  r = DecodeJpeg(forged, "X_b01.jpg");
  EXPECT_NE(r.error.find("too large"), std::string::npos) << r.error;
  EXPECT_TRUE(DecodeJpeg(small, "X_b01.jpg").ok);
}

class PictureFiles : public ::testing::Test {
 protected:
  std::string dir = test::MakeDataCopy("picture_files");
  test::TestGame tg{dir};
  Game& g = tg.game;

  void Replace(const std::string& name, const std::string& bytes) {
    std::filesystem::remove(dir + name);
    test::WriteAll(dir + name, bytes);
  }
  std::string Messages() {
    std::string all;
    for (const auto& m : tg.fakes.app.messages) all += m + "\n";
    return all;
  }
};

TEST_F(PictureFiles, RequiredPicturesOfTheWrongSizeRefuseTheStart) {
  g.st.colourMax = 0;
  Replace("Y_.bmp", PlainBmp(1, 1));
  EXPECT_FALSE(LoadMainPicture(g));
  EXPECT_NE(Messages().find(dir + "Y_.bmp: the picture is 1 x 1 pixels; it must be at least 640 x 400"),
            std::string::npos)
      << Messages();

  Replace("Y_.bmp", RleBomb(16384, 16384));
  EXPECT_FALSE(LoadMainPicture(g));
  EXPECT_NE(Messages().find("Y_.bmp: the picture is too large"), std::string::npos);

  // A character sheet is cut into cells at fixed places.
  Replace("sb000.bmp", PlainBmp(1, 1));
  Surface s0, s1, s2, mask;
  EXPECT_FALSE(LoadCharacterPicture(g, "sb000", {{&s0, &s1, &s2}, &mask}, PictureSize{320, 384}));
  EXPECT_NE(Messages().find("sb000.bmp: the picture is 1 x 1 pixels; it must be at least 320 x 384"),
            std::string::npos);
}

TEST_F(PictureFiles, CharacterSheetSizesFollowTheirSet) {
  g.st.colourMax = 0;
  ASSERT_TRUE(ReadActionFile(g, "act"));
  // Group 0 loads sheets of sets whose geometry is fixed; one of them 1 x 1.
  const int first = g.actions.loadGroups[0][0];
  ASSERT_NE(first, ActionData::kEnd);
  Replace(PictureName(first) + ".bmp", PlainBmp(1, 1));
  EXPECT_FALSE(LoadGroup(g, 0));
  EXPECT_NE(Messages().find(PictureName(first) + ".bmp: the picture is 1 x 1 pixels"),
            std::string::npos)
      << Messages();
}

TEST_F(PictureFiles, OptionalPicturesFallBackAndSaySoOnce) {
  g.st.colourMax = 0;
  CreateStageSurfaces(g);
  Replace("X3.bmp", RleBomb(16384, 16384));
  testing::internal::CaptureStderr();
  g.motion.backdrop.backdropNumber = 3;
  LoadBackdrop(g);
  LoadBackdrop(g);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("X3.bmp: the picture is too large"), std::string::npos) << err;
  EXPECT_EQ(err.find("X3.bmp"), err.rfind("X3.bmp")) << "reported more than once: " << err;
  // The fallback is the 640 x 480 backdrop sheet, not the forged picture.
  EXPECT_EQ(g.gfx.backdropSheet.Width(), 640);

  Replace("Y_e101.bmp", PlainBmp(1, 1));
  testing::internal::CaptureStderr();
  LoadLevelPicture(g, 1, 1);
  err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Y_e101.bmp: the picture is 1 x 1 pixels; it must be at least 214 x 160"),
            std::string::npos)
      << err;
  EXPECT_EQ(g.gfx.backdropSheet.Width(), 640);

  Replace("Zz1.bmp", PlainBmp(1, 1));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(LoadAlbum(g, 1));
  err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Zz1.bmp: the picture is 1 x 1 pixels"), std::string::npos) << err;
  EXPECT_EQ(g.gfx.albumShown, 0);
}

// Every kind of picture at its least size, at larger sizes that players'
// files have, and one pixel short on either side. Larger pictures only
// carry area that is never drawn; smaller ones cannot hold what is cut out.
TEST_F(PictureFiles, EachKindTakesItsLeastSizeAndLarger) {
  g.st.colourMax = 0;
  CreateStageSurfaces(g);
  constexpr uint32_t kMark = 0x00336699;
  Surface s0, s1, s2, mask;
  struct Kind {
    const char* file;
    Size least;
    std::vector<Size> larger;
    // Loads the file; true when the game took it (and not a fallback).
    std::function<bool(Game&, Size)> load;
  };
  const Kind kinds[] = {
      {"Y_.bmp", {640, 400}, {{640, 480}}, [](Game& game, Size) { return LoadMainPicture(game); }},
      {"sb000.bmp", {320, 384}, {{320, 400}},
       [&](Game& game, Size) {
         return LoadCharacterPicture(game, "sb000", {{&s0, &s1, &s2}, &mask}, SheetSize(0));
       }},
      {"X3.bmp", {640, 480}, {{700, 500}},
       [&](Game& game, Size) {
         game.motion.backdrop.backdropNumber = 3;
         LoadBackdrop(game);
         return game.gfx.backdropSheet.PixelColour(639, 479) == kMark;
       }},
      {"Y_e101.bmp", {214, 160}, {{640, 160}, {856, 200}},
       [&](Game& game, Size size) {
         LoadLevelPicture(game, 1, 1);
         return game.gfx.backdropStrip == 1 && game.gfx.backdropFrameCount == size.w / 214 &&
                game.gfx.backdropSheet.PixelColour(0, 0) == kMark;
       }},
      {"Zz1.bmp", {148, 108}, {{148, 200}, {160, 324}},
       [&](Game& game, Size size) {
         game.album.albumLast = 5;
         return LoadAlbum(game, 1) && game.album.albumLast == size.h / 108 - 1 &&
                game.gfx.snapshotStrip.PixelColour(147, 107) == kMark;
       }},
  };
  testing::internal::CaptureStderr();
  for (const Kind& k : kinds) {
    std::vector<Size> fits = k.larger;
    fits.insert(fits.begin(), k.least);
    for (Size size : fits) {
      Replace(k.file, PlainBmp(size.w, size.h, kMark));
      EXPECT_TRUE(k.load(g, size)) << k.file << " " << size.w << " x " << size.h;
    }
    for (Size size : {Size{k.least.w - 1, k.least.h}, Size{k.least.w, k.least.h - 1}}) {
      Replace(k.file, PlainBmp(size.w, size.h, kMark));
      EXPECT_FALSE(k.load(g, size)) << k.file << " " << size.w << " x " << size.h;
    }
  }
  testing::internal::GetCapturedStderr();
}

}  // namespace
}  // namespace kelvane
