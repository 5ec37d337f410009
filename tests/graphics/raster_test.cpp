// Pixel-exact tests of the raster core: copy modes on colour and mask
// targets, the conversions between colour and monochrome, mirrored and
// stretched copies, clipping, fills.
#include "graphics/raster.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace kelvane {
namespace {

// A colour surface whose pixel (x, y) is 0x10000 * (y + 1) + x + 1.
Surface Numbered(int w, int h) {
  Surface s(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s.SetRawPixel(x, y, 0x10000u * (y + 1) + x + 1);
  return s;
}

// A mask from rows of '1' and '0'.
Surface MaskOf(const std::vector<std::string>& rows, PixelFormat f = PixelFormat::Mask) {
  Surface s(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), f);
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x)
      s.SetRawPixel(static_cast<int>(x), static_cast<int>(y), rows[y][x] == '1');
  return s;
}

std::vector<std::string> BitsOf(const Surface& s) {
  std::vector<std::string> out;
  for (int y = 0; y < s.Height(); ++y) {
    std::string r;
    for (int x = 0; x < s.Width(); ++x) r += s.RawPixel(x, y) ? '1' : '0';
    out.push_back(r);
  }
  return out;
}

std::vector<uint32_t> Row(const Surface& s, int y) {
  std::vector<uint32_t> r;
  for (int x = 0; x < s.Width(); ++x) r.push_back(s.RawPixel(x, y));
  return r;
}

Surface Filled(int w, int h, uint32_t c) {
  Surface s(w, h);
  s.canvas.brushColour = c;
  FillRect(s, s.Bounds());
  return s;
}

TEST(Raster, CopyModesOnColour) {
  Surface src(2, 1);
  src.SetRawPixel(0, 0, 0x0F0F0F);
  src.SetRawPixel(1, 0, 0x123456);
  for (auto [mode, want0, want1] : {std::tuple{SRCCOPY, 0x0F0F0Fu, 0x123456u}, {SRCAND, 0x0A0A0Au, 0x123052u},
                                    {SRCPAINT, 0xFFFFFFu, 0xFAFEFEu}}) {
    Surface d = Filled(2, 1, 0xFAFAFA);
    d.canvas.copyMode = mode;
    CopyRect(d, d.Bounds(), src, src.Bounds());
    EXPECT_EQ(d.RawPixel(0, 0), want0) << std::hex << mode;
    EXPECT_EQ(d.RawPixel(1, 0), want1) << std::hex << mode;
  }
}

TEST(Raster, CopyModesOnMask) {
  const Surface src = MaskOf({"0011"});
  for (auto [mode, want] : {std::pair{SRCCOPY, "0011"}, {SRCAND, "0001"}, {SRCPAINT, "0111"}}) {
    Surface d = MaskOf({"0101"});
    d.canvas.copyMode = mode;
    CopyRect(d, d.Bounds(), src, src.Bounds());
    EXPECT_EQ(BitsOf(d)[0], want) << std::hex << mode;
  }
}

TEST(Raster, UnknownCopyModeCopies) {
  Surface d = Filled(1, 1, 0x111111);
  d.canvas.copyMode = 0x12345678;
  CopyRect(d, d.Bounds(), Filled(1, 1, 0x222222), Rect{0, 0, 1, 1});
  EXPECT_EQ(d.RawPixel(0, 0), 0x222222u);
}

TEST(Raster, ColourToMaskUsesTheSourceBrush) {
  Surface src(4, 1);
  src.SetRawPixel(0, 0, 0x000000);
  src.SetRawPixel(1, 0, 0x123456);
  src.SetRawPixel(2, 0, 0xFFFFFF);
  src.SetRawPixel(3, 0, 0x123456);
  src.canvas.brushColour = 0x123456;
  Surface m(4, 1, PixelFormat::Mask);
  m.canvas.brushColour = 0x000000;  // the destination's brush plays no part
  CopyRect(m, m.Bounds(), src, src.Bounds());
  EXPECT_EQ(BitsOf(m)[0], "0101");
  // The same for a monochrome device-format target.
  Surface mono(4, 1, PixelFormat::Mono);
  src.canvas.brushColour = colour::kBlack;
  CopyRect(mono, mono.Bounds(), src, src.Bounds());
  EXPECT_EQ(BitsOf(mono)[0], "1000");
}

TEST(Raster, MaskToColourIsWhiteAndBlack) {
  const Surface m = MaskOf({"10"});
  Surface d = Filled(2, 1, 0x555555);
  d.canvas.brushColour = 0x00FF00;  // ignored for a 1-bit DIB
  d.canvas.fontColour = 0x0000FF;
  CopyRect(d, d.Bounds(), m, m.Bounds());
  EXPECT_EQ(Row(d, 0), (std::vector<uint32_t>{0xFFFFFF, 0x000000}));
}

TEST(Raster, MonochromeToColourUsesTheDestinationBrushAndFont) {
  const Surface m = MaskOf({"10"}, PixelFormat::Mono);
  Surface d = Filled(2, 1, 0x555555);
  d.canvas.brushColour = 0x00FF00;
  d.canvas.fontColour = 0x0000FF;
  CopyRect(d, d.Bounds(), m, m.Bounds());
  EXPECT_EQ(Row(d, 0), (std::vector<uint32_t>{0x00FF00, 0x0000FF}));
  // The recolour pass of the colour schemes: OR the brush colour where the mask is set.
  Surface e = Filled(2, 1, 0x000000);
  e.canvas.brushColour = 0x804020;
  e.canvas.fontColour = colour::kBlack;
  e.canvas.copyMode = SRCPAINT;
  CopyRect(e, e.Bounds(), m, m.Bounds());
  EXPECT_EQ(Row(e, 0), (std::vector<uint32_t>{0x804020, 0x000000}));
}

TEST(Raster, AndThenOrTransparency) {
  // The stage pattern: AND the mask, then OR the colours.
  Surface back = Filled(4, 1, 0x336699);
  const Surface mask = MaskOf({"1001"});
  Surface sprite(4, 1);
  sprite.SetRawPixel(1, 0, 0xAA0000);
  sprite.SetRawPixel(2, 0, 0x00BB00);
  back.canvas.copyMode = SRCAND;
  CopyRect(back, back.Bounds(), mask, mask.Bounds());
  back.canvas.copyMode = SRCPAINT;
  CopyRect(back, back.Bounds(), sprite, sprite.Bounds());
  EXPECT_EQ(Row(back, 0), (std::vector<uint32_t>{0x336699, 0xAA0000, 0x00BB00, 0x336699}));
}

TEST(Raster, MirroredSourceCoversRightPlusOneToLeft) {
  const Surface src = Numbered(5, 1);
  Surface d(3, 1);
  // left 3 > right 0: columns 3, 2, 1.
  CopyRect(d, d.Bounds(), src, Rect{3, 0, 0, 1});
  EXPECT_EQ(Row(d, 0), (std::vector<uint32_t>{0x10004, 0x10003, 0x10002}));
}

TEST(Raster, MirroredDestinationAndRows) {
  const Surface src = Numbered(3, 2);
  Surface d(4, 3);
  // Destination columns 3, 2, 1 (left 3, right 0) get source 0, 1, 2; rows
  // mirrored in the source: rows 1, 0 onto destination rows 0, 1.
  CopyRect(d, Rect{3, 0, 0, 2}, src, Rect{0, 1, 3, -1});
  EXPECT_EQ(Row(d, 0), (std::vector<uint32_t>{0, 0x20003, 0x20002, 0x20001}));
  EXPECT_EQ(Row(d, 1), (std::vector<uint32_t>{0, 0x10003, 0x10002, 0x10001}));
  EXPECT_EQ(Row(d, 2), (std::vector<uint32_t>{0, 0, 0, 0}));
  // Both mirrored: no mirror at all.
  Surface e(3, 1);
  CopyRect(e, Rect{2, 0, -1, 1}, src, Rect{2, 0, -1, 1});
  EXPECT_EQ(Row(e, 0), (std::vector<uint32_t>{0x10001, 0x10002, 0x10003}));
}

TEST(Raster, StretchByTwoAndThree) {
  const Surface src = Numbered(2, 2);
  Surface d(6, 6);
  CopyRect(d, d.Bounds(), src, src.Bounds());
  EXPECT_EQ(Row(d, 0), (std::vector<uint32_t>{0x10001, 0x10001, 0x10001, 0x10002, 0x10002, 0x10002}));
  EXPECT_EQ(Row(d, 2), Row(d, 0));
  EXPECT_EQ(Row(d, 3), (std::vector<uint32_t>{0x20001, 0x20001, 0x20001, 0x20002, 0x20002, 0x20002}));
  EXPECT_EQ(Row(d, 5), Row(d, 3));
  Surface e(4, 1);
  CopyRect(e, e.Bounds(), src, Rect{0, 0, 2, 1});
  EXPECT_EQ(Row(e, 0), (std::vector<uint32_t>{0x10001, 0x10001, 0x10002, 0x10002}));
}

TEST(Raster, ShrinkTakesTheNearestPixel) {
  const Surface src = Numbered(4, 4);
  Surface d(2, 2);
  CopyRect(d, d.Bounds(), src, src.Bounds());
  // Centre sampling: source 1 and 3 of each axis.
  EXPECT_EQ(Row(d, 0), (std::vector<uint32_t>{0x20002, 0x20004}));
  EXPECT_EQ(Row(d, 1), (std::vector<uint32_t>{0x40002, 0x40004}));
}

TEST(Raster, StretchedMaskOntoColour) {
  const Surface m = MaskOf({"10", "01"});
  Surface d = Filled(4, 4, 0x777777);
  d.canvas.copyMode = SRCAND;
  CopyRect(d, d.Bounds(), m, m.Bounds());
  EXPECT_EQ(Row(d, 0), (std::vector<uint32_t>{0x777777, 0x777777, 0, 0}));
  EXPECT_EQ(Row(d, 1), Row(d, 0));
  EXPECT_EQ(Row(d, 3), (std::vector<uint32_t>{0, 0, 0x777777, 0x777777}));
}

TEST(Raster, ClippingAtEveryEdge) {
  const Surface src = Numbered(4, 4);
  // Destination hangs over the left and top edges.
  {
    Surface d = Filled(4, 4, 0xABCDEF);
    CopyRect(d, Rect{-2, -1, 2, 3}, src, src.Bounds());
    EXPECT_EQ(Row(d, 0), (std::vector<uint32_t>{0x20003, 0x20004, 0xABCDEF, 0xABCDEF}));
    EXPECT_EQ(Row(d, 2), (std::vector<uint32_t>{0x40003, 0x40004, 0xABCDEF, 0xABCDEF}));
    EXPECT_EQ(Row(d, 3), (std::vector<uint32_t>(4, 0xABCDEF)));
  }
  // Over the right and bottom edges.
  {
    Surface d = Filled(4, 4, 0xABCDEF);
    CopyRect(d, Rect{3, 2, 7, 6}, src, src.Bounds());
    EXPECT_EQ(Row(d, 1), (std::vector<uint32_t>(4, 0xABCDEF)));
    EXPECT_EQ(Row(d, 2), (std::vector<uint32_t>{0xABCDEF, 0xABCDEF, 0xABCDEF, 0x10001}));
    EXPECT_EQ(Row(d, 3), (std::vector<uint32_t>{0xABCDEF, 0xABCDEF, 0xABCDEF, 0x20001}));
  }
  // Source outside on every side: those destination pixels stay.
  {
    Surface d = Filled(4, 4, 0xABCDEF);
    CopyRect(d, d.Bounds(), src, Rect{-1, -1, 3, 3});
    EXPECT_EQ(Row(d, 0), (std::vector<uint32_t>(4, 0xABCDEF)));
    EXPECT_EQ(Row(d, 1), (std::vector<uint32_t>{0xABCDEF, 0x10001, 0x10002, 0x10003}));
    Surface e = Filled(4, 4, 0xABCDEF);
    CopyRect(e, e.Bounds(), src, Rect{1, 1, 5, 5});
    EXPECT_EQ(Row(e, 2), (std::vector<uint32_t>{0x40002, 0x40003, 0x40004, 0xABCDEF}));
    EXPECT_EQ(Row(e, 3), (std::vector<uint32_t>(4, 0xABCDEF)));
  }
  // Entirely outside, huge and empty rectangles: nothing happens.
  {
    Surface d = Filled(4, 4, 0xABCDEF);
    CopyRect(d, Rect{10, 10, 20, 20}, src, src.Bounds());
    CopyRect(d, Rect{-20, 0, -10, 4}, src, src.Bounds());
    CopyRect(d, d.Bounds(), src, Rect{100, 100, 104, 104});
    CopyRect(d, d.Bounds(), src, Rect{0, 0, 0, 4});
    CopyRect(d, Rect{0, 0, 4, 0}, src, src.Bounds());
    CopyRect(d, d.Bounds(), Surface(), Rect{0, 0, 4, 4});
    for (int y = 0; y < 4; ++y) EXPECT_EQ(Row(d, y), (std::vector<uint32_t>(4, 0xABCDEF)));
    CopyRect(d, Rect{-2000000000, -2000000000, 2000000000, 2000000000}, src, src.Bounds());
    EXPECT_EQ(d.RawPixel(0, 0), 0x30003u);  // the middle of a 4 x 4 stretch
  }
}

TEST(Raster, CopyOntoItselfHandlesOverlap) {
  Surface s = Numbered(1, 5);
  CopyRect(s, Rect{0, 1, 1, 5}, s, Rect{0, 0, 1, 4});  // move down by 1
  EXPECT_EQ(s.RawPixel(0, 0), 0x10001u);
  EXPECT_EQ(s.RawPixel(0, 1), 0x10001u);
  EXPECT_EQ(s.RawPixel(0, 4), 0x40001u);
  Surface t = Numbered(5, 1);
  CopyRect(t, Rect{0, 0, 4, 1}, t, Rect{1, 0, 5, 1});  // move left by 1
  EXPECT_EQ(Row(t, 0), (std::vector<uint32_t>{0x10002, 0x10003, 0x10004, 0x10005, 0x10005}));
  // Enlarging in place, as the window layout does.
  Surface u = Numbered(4, 4);
  CopyRect(u, Rect{0, 0, 4, 4}, u, Rect{0, 0, 2, 2});
  EXPECT_EQ(Row(u, 3), (std::vector<uint32_t>{0x20001, 0x20001, 0x20002, 0x20002}));
}

TEST(Raster, PalettizedKeepsIndexesAndConverts) {
  Palette16 pal{};
  for (size_t i = 0; i < 16; ++i) pal[i] = static_cast<uint32_t>(i * 0x111111);
  Surface p;
  p.CreatePal4(3, 1, pal);
  p.SetRawPixel(0, 0, 0);
  p.SetRawPixel(1, 0, 5);
  p.SetRawPixel(2, 0, 15);
  EXPECT_EQ(p.PixelColour(1, 0), 0x555555u);
  Palette16 other = pal;
  other[5] = 0x00FF00;
  p.SetPalette(other);
  EXPECT_EQ(p.RawPixel(1, 0), 5u);
  EXPECT_EQ(p.PixelColour(1, 0), 0x00FF00u);
  // Onto colour through the palette; onto a mask by the source brush.
  Surface c(3, 1);
  CopyRect(c, c.Bounds(), p, p.Bounds());
  EXPECT_EQ(Row(c, 0), (std::vector<uint32_t>{0, 0x00FF00, 0xFFFFFF}));
  Surface m(3, 1, PixelFormat::Mask);
  p.canvas.brushColour = colour::kBlack;
  CopyRect(m, m.Bounds(), p, p.Bounds());
  EXPECT_EQ(BitsOf(m)[0], "100");
  // A monochrome source ORed onto a palettized target lands on the entry of
  // that colour.
  Surface q;
  q.CreatePal4(3, 1, other);
  q.canvas.brushColour = 0x00FF00;
  q.canvas.fontColour = colour::kBlack;
  q.canvas.copyMode = SRCPAINT;
  const Surface t = MaskOf({"010"}, PixelFormat::Mono);
  CopyRect(q, q.Bounds(), t, t.Bounds());
  EXPECT_EQ(Row(q, 0), (std::vector<uint32_t>{0, 5, 0}));
  // Same palette: indexes copied even where two entries share a colour.
  Palette16 dup = pal;
  dup[7] = dup[3];
  Surface a, b;
  a.CreatePal4(1, 1, dup);
  b.CreatePal4(1, 1, dup);
  a.SetRawPixel(0, 0, 7);
  CopyRect(b, b.Bounds(), a, a.Bounds());
  EXPECT_EQ(b.RawPixel(0, 0), 7u);
}

TEST(Raster, FormatSwitches) {
  Surface s(3, 1);
  s.SetRawPixel(1, 0, 0x123456);
  s.canvas.brushColour = colour::kBlack;
  s.SetFormat(PixelFormat::Mono);  // black (the brush) becomes white
  EXPECT_EQ(BitsOf(s)[0], "101");
  s.SetFormat(PixelFormat::Mask);  // bits stay
  EXPECT_EQ(BitsOf(s)[0], "101");
  s.SetFormat(PixelFormat::Colour);
  EXPECT_EQ(Row(s, 0), (std::vector<uint32_t>{0xFFFFFF, 0, 0xFFFFFF}));
}

TEST(Raster, FillClipsAndKeepsTheRestInEveryFormat) {
  // Corners given the wrong way round, hanging over the left edge and past
  // the right one: rows 1 and 2 fill from column 0 to the end.
  const Rect r{9, 3, -2, 1};
  Surface c = Filled(4, 4, 0x111111);
  c.canvas.brushColour = 0x0A0B0C;
  const uint64_t before = c.Stamp();
  FillRect(c, r);
  EXPECT_NE(c.Stamp(), before);
  EXPECT_EQ(Row(c, 0), (std::vector<uint32_t>(4, 0x111111)));
  EXPECT_EQ(Row(c, 1), (std::vector<uint32_t>(4, 0x0A0B0C)));
  EXPECT_EQ(Row(c, 2), (std::vector<uint32_t>(4, 0x0A0B0C)));
  EXPECT_EQ(Row(c, 3), (std::vector<uint32_t>(4, 0x111111)));
  Surface m = MaskOf({"0000", "0000", "0000", "0000"});
  m.canvas.brushColour = colour::kWhite;
  FillRect(m, Rect{1, 1, 3, 3});
  EXPECT_EQ(BitsOf(m), (std::vector<std::string>{"0000", "0110", "0110", "0000"}));
  Surface p;
  p.CreatePal4(3, 3, Surface::VgaPalette());
  p.canvas.brushColour = 0x0000FF;  // VGA entry 12
  FillRect(p, Rect{1, -5, 5, 2});
  EXPECT_EQ(Row(p, 0), (std::vector<uint32_t>{0, 12, 12}));
  EXPECT_EQ(Row(p, 1), (std::vector<uint32_t>{0, 12, 12}));
  EXPECT_EQ(Row(p, 2), (std::vector<uint32_t>(3, 0)));
}

TEST(Raster, RectangleExcludesRightAndBottomEdge) {
  Surface s = Filled(6, 5, 0);
  s.canvas.brushColour = 0x0000AA;
  s.canvas.penColour = 0xBB0000;
  DrawRectangle(s, Rect{1, 1, 5, 4});
  const uint32_t P = 0xBB0000, B = 0x0000AA;
  EXPECT_EQ(Row(s, 0), (std::vector<uint32_t>(6, 0)));
  EXPECT_EQ(Row(s, 1), (std::vector<uint32_t>{0, P, P, P, P, 0}));
  EXPECT_EQ(Row(s, 2), (std::vector<uint32_t>{0, P, B, B, P, 0}));
  EXPECT_EQ(Row(s, 3), (std::vector<uint32_t>{0, P, P, P, P, 0}));
  EXPECT_EQ(Row(s, 4), (std::vector<uint32_t>(6, 0)));
  // A clear brush draws the outline only.
  Surface t = Filled(4, 4, 0x123123);
  t.canvas.brushStyle = BrushStyle::Clear;
  t.canvas.penColour = 0;
  DrawRectangle(t, t.Bounds());
  EXPECT_EQ(Row(t, 1), (std::vector<uint32_t>{0, 0x123123, 0x123123, 0}));
  // On a mask: white brush and pen give 1.
  Surface m(3, 3, PixelFormat::Mask);
  m.canvas.brushColour = m.canvas.penColour = colour::kWhite;
  DrawRectangle(m, Rect{-5, -5, 2, 2});  // clipped
  EXPECT_EQ(BitsOf(m), (std::vector<std::string>{"110", "110", "000"}));
}

TEST(Raster, EllipseStaysInsideItsBoxAndIsSymmetric) {
  Surface s = Filled(12, 9, 0);
  s.canvas.brushColour = 0x0000AA;
  s.canvas.penColour = 0xBB0000;
  DrawEllipse(s, Rect{1, 1, 11, 8});
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool inBox = x >= 1 && x < 10 + 1 && y >= 1 && y < 8;
      if (!inBox) {
        EXPECT_EQ(s.RawPixel(x, y), 0u) << x << "," << y;
      }
      EXPECT_EQ(s.RawPixel(x, y), s.RawPixel(11 - x, y)) << x << "," << y;  // mirror about 5.5
    }
  EXPECT_EQ(s.RawPixel(1, 4), 0xBB0000u);   // left end of the middle row
  EXPECT_EQ(s.RawPixel(10, 4), 0xBB0000u);  // right end
  EXPECT_EQ(s.RawPixel(5, 4), 0x0000AAu);   // inside
  EXPECT_EQ(s.RawPixel(1, 1), 0u);          // corner of the box
  EXPECT_NE(s.RawPixel(5, 1), 0u);          // top of the ellipse
  EXPECT_NE(s.RawPixel(5, 7), 0u);          // bottom
}

TEST(Raster, ViewIsTheColourPixels) {
  Surface s = Numbered(3, 2);
  FrameView v = s.View();
  ASSERT_NE(v.pixels, nullptr);
  EXPECT_EQ(v.width, 3);
  EXPECT_EQ(v.height, 2);
  EXPECT_EQ(v.pixels[v.stride + 2], 0x20003u);
  EXPECT_EQ(Surface(2, 2, PixelFormat::Mask).View().pixels, nullptr);
}

TEST(Raster, AbsurdSizesAreClamped) {
  Surface s(-5, 10);
  EXPECT_TRUE(s.Empty());
  Surface t;
  t.Create(Surface::kMaxSide + 10, 1, PixelFormat::Mask);
  EXPECT_EQ(t.Width(), Surface::kMaxSide);
  t.SetSize(2, 2);
  EXPECT_EQ(t.Width(), 2);
  EXPECT_EQ(t.Height(), 2);
}

}  // namespace
}  // namespace kelvane
