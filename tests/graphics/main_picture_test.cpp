// The forged main picture and backdrops hold what the scenes rely on:
// readable glyphs, opaque places for the numbers, menu art inside the part
// that reaches the screen, frames that actually animate.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "graphics/atlas.h"
#include "graphics/bmp_file.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

using atlas::RegionId;

class MainPicture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sheet_ = new Surface;
    error_ = new std::string(DecodeBmp(test::ReadAll(test::GameDir() + "Y_.bmp"), *sheet_));
  }
  static void TearDownTestSuite() {
    delete sheet_;
    delete error_;
  }
  void SetUp() override {
    ASSERT_EQ(*error_, "");
    ASSERT_EQ(sheet_->Format(), PixelFormat::Pal4);
  }

  static int Index(int x, int y) { return sheet_->ByteRow(y)[x]; }
  // The cell's palette indexes as text ('.' for black), to compare looks.
  static std::string Shape(const Rect& r) {
    std::string s;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        s += Index(x, y) ? static_cast<char>('a' + Index(x, y)) : '.';
    return s;
  }
  static int Lit(const Rect& r) {
    int n = 0;
    for (char c : Shape(r)) n += c != '.';
    return n;
  }

  static Surface* sheet_;
  static std::string* error_;
};

Surface* MainPicture::sheet_ = nullptr;
std::string* MainPicture::error_ = nullptr;

TEST_F(MainPicture, PlacesTheGameWritesIntoAreOpaque) {
  // The mask is made once from the picture: a black pixel in one of these
  // places would let the backdrop through the numbers drawn there later.
  using enum RegionId;
  for (RegionId id : atlas::kWrittenPlaces) {
    Rect r = atlas::At(id);
    EXPECT_EQ(Lit(r), r.Width() * r.Height()) << atlas::Get(id).name;
  }
  // Digits and icons written into those places carry the same background.
  for (int style = 1; style <= atlas::kLastDigitStyle; ++style)
    for (int d = 0; d < 10; ++d)
      EXPECT_EQ(Lit(atlas::DigitCell(d, style)), 20) << "style " << style << " digit " << d;
  for (int k = 0; k < atlas::kKeyIconCount; ++k) EXPECT_EQ(Lit(atlas::KeyIconCell(k)), 20);
}

TEST_F(MainPicture, EveryGlyphIsDrawnAndDistinctInEveryTextStyle) {
  const int glyphs = static_cast<int>(atlas::kGlyphSet.size());
  for (int style = atlas::kFirstTextStyle; style <= atlas::kLastTextStyle; ++style) {
    std::set<std::string> shapes;
    for (int k = 0; k < glyphs; ++k) {  // the last one, '$', is the blank
      std::string shape = Shape(atlas::LetterCell(k, style));
      EXPECT_GT(Lit(atlas::LetterCell(k, style)), 0)
          << "style " << style << " glyph " << k << " is empty";
      EXPECT_TRUE(shapes.insert(shape).second)
          << "style " << style << " glyph " << k << " repeats another";
    }
    EXPECT_EQ(Lit(atlas::LetterCell(glyphs, style)), 0)
        << "'$' must stay blank: titles use it as a space";
  }
  for (int style = atlas::kFirstDigitStyle; style <= atlas::kLastDigitStyle; ++style) {
    std::set<std::string> shapes;
    for (int d = 0; d < 10; ++d) shapes.insert(Shape(atlas::DigitCell(d, style)));
    shapes.insert(Shape(atlas::SignCell(false, style)));
    shapes.insert(Shape(atlas::SignCell(true, style)));
    EXPECT_EQ(shapes.size(), 12u) << "digits or signs repeat in style " << style;
  }
  std::set<std::string> keys, prompts;
  for (int k = 0; k < atlas::kKeyIconCount; ++k) keys.insert(Shape(atlas::KeyIconCell(k)));
  for (int k = 0; k < atlas::kPromptIconCount; ++k) prompts.insert(Shape(atlas::PromptIconCell(k)));
  EXPECT_EQ(keys.size(), static_cast<size_t>(atlas::kKeyIconCount));
  EXPECT_EQ(prompts.size(), static_cast<size_t>(atlas::kPromptIconCount));
}

TEST_F(MainPicture, MenuArtStaysInsideTheShownColumns) {
  auto check = [&](const Rect& cell, const std::string& what) {
    Rect shown{cell.left, cell.top, cell.left + atlas::kMenuShownWidth, cell.bottom};
    Rect hidden{shown.right, cell.top, cell.right, cell.bottom};
    EXPECT_GT(Lit(shown), 0) << what << " is empty";
    EXPECT_EQ(Lit(hidden), 0) << what << " is cut off on screen";
  };
  for (int page = 0; page < atlas::kMenuPages; ++page)
    for (int c = 0; c < 3; ++c)
      check(atlas::MenuIconCell(page, c), "icon " + std::to_string(page) + "/" + std::to_string(c));
  std::set<std::string> poses;
  for (int pose = 0; pose < atlas::kMenuPoses; ++pose) {
    check(atlas::MenuFigureCell(pose), "pose " + std::to_string(pose));
    poses.insert(Shape(atlas::MenuFigureCell(pose)));
    for (int f = 0; f < atlas::kMenuFaceCount; ++f)
      check(atlas::MenuFaceCell(f, pose),
            "face " + std::to_string(f) + " of pose " + std::to_string(pose));
  }
  EXPECT_EQ(poses.size(), static_cast<size_t>(atlas::kMenuPoses)) << "two poses look the same";
}

TEST_F(MainPicture, SceneMarksReadAsTheGameReadsThem) {
  // A pressed music item is read one row higher; that row must be empty so
  // that the item sinks instead of showing a stray line.
  Rect pressed = atlas::At(RegionId::kMusicPressedItems);
  EXPECT_EQ(Lit(Rect{pressed.left, pressed.top, pressed.right, pressed.top + 1}), 0);
  Rect on = atlas::At(RegionId::kMusicLampOn), off = atlas::At(RegionId::kMusicLampOff);
  EXPECT_NE(Index(on.left, on.top), Index(off.left, off.top));
  // The cursor mark shows at each of its four heights; its eraser is blank.
  for (int c = 0; c < 4; ++c) EXPECT_GT(Lit(atlas::SlotCursorCell(c)), 0) << c;
  EXPECT_EQ(Lit(atlas::At(RegionId::kSlotCursorErase)), 0);
  // The logo rows and every label the scenes pick by number have content.
  for (int r = 0; r < 3; ++r) EXPECT_GT(Lit(atlas::LogoRowCell(r)), 0) << "logo row " << r;
  for (int row = 0; row < atlas::kModeLabelRows; ++row)
    EXPECT_GT(Lit(atlas::ModeLabelCell(row)), 0) << row;
  for (int k = 0; k < 3; ++k) EXPECT_GT(Lit(atlas::TurnLabelCell(k)), 0) << k;
  for (int src = -1; src <= 1; ++src) EXPECT_GT(Lit(atlas::MusicSourceLabelCell(src)), 0) << src;
  for (int row = -1; row <= 1; ++row) {
    EXPECT_GT(Lit(atlas::SlotClosedLabelCell(row)), 0) << row;
    std::set<std::string> digits;
    for (int n = 1; n <= 9; ++n) digits.insert(Shape(atlas::SlotDigitCell(n, row)));
    EXPECT_EQ(digits.size(), 9u) << "slot numbers repeat in row " << row;
  }
  // Result marks blink between two looks for a winner and a loser.
  for (int mark : {-1, 1}) {
    EXPECT_GT(Lit(atlas::SlotResultMarkCell(mark, 0)), 0);
    EXPECT_NE(Shape(atlas::SlotResultMarkCell(mark, 0)), Shape(atlas::SlotResultMarkCell(mark, 1)));
  }
  for (bool p2 : {false, true})
    for (bool course : {false, true}) {
      std::set<std::string> blinks;
      for (int b = 0; b < 3; ++b) blinks.insert(Shape(atlas::ResultBlinkCell(p2, course, b)));
      EXPECT_EQ(blinks.size(), 3u) << "blink frames repeat";
    }
}

// ---- Backdrops ---------------------------------------------------------------

std::vector<uint32_t> Frame(const Surface& s, const Rect& r) {
  std::vector<uint32_t> out;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      out.push_back(s.Format() == PixelFormat::Colour ? s.ColourRow(y)[x] : s.ByteRow(y)[x]);
  return out;
}

void ExpectFramesDiffer(const std::string& name, const std::vector<Rect>& frames) {
  Surface s;
  ASSERT_EQ(DecodeBmp(test::ReadAll(test::GameDir() + name), s), "") << name;
  for (size_t i = 0; i < frames.size(); ++i)
    for (size_t j = i + 1; j < frames.size(); ++j)
      EXPECT_NE(Frame(s, frames[i]), Frame(s, frames[j]))
          << name << ": frames " << i << " and " << j << " match";
}

TEST(Backdrops, EveryFrameOfTheLoopMoves) {
  const std::vector<Rect> grid = {Rect::XYWH(0, 0, 320, 240), Rect::XYWH(320, 0, 320, 240),
                                  Rect::XYWH(0, 240, 320, 240), Rect::XYWH(320, 240, 320, 240)};
  for (int n = 0; n < 10; ++n) ExpectFramesDiffer("X" + std::to_string(n) + ".bmp", grid);
  ExpectFramesDiffer("Y_e01.bmp", grid);
  for (const char* course : {"Y_e1", "Y_e3"})
    for (int i = 1; i <= 5; ++i) {
      std::vector<Rect> strip;
      for (int k = 0; k < 4; ++k) strip.push_back(Rect::XYWH(214 * k, 0, 214, 160));
      ExpectFramesDiffer(std::string(course) + "0" + std::to_string(i) + ".bmp", strip);
    }
}

}  // namespace
}  // namespace kelvane
