// The enlarged window: whole-factor scaling with sharp pixels, full screen
// filled with even pixels and centred on black, and mouse positions mapped
// back to game pixels exactly.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <cmath>

#include "graphics/raster.h"
#include "platform/qt/scaled_view.h"
#include "tests/qt/program_child.h"

namespace kelvane {
namespace {

// Each corner pixel of the play area, and the points just outside it.
void ExpectCorners(const ScaledView& v) {
  const int k = v.factor;
  const QPointF o = v.offset;
  const int w = v.logical.w, h = v.logical.h;
  EXPECT_EQ(v.ToLogical(o), (Point{0, 0}));
  EXPECT_EQ(v.ToLogical(o + QPointF(k - 0.01, k - 0.01)), (Point{0, 0}));
  EXPECT_EQ(v.ToLogical(o + QPointF(w * k - 1, 0)), (Point{w - 1, 0}));
  EXPECT_EQ(v.ToLogical(o + QPointF(0, h * k - 1)), (Point{0, h - 1}));
  EXPECT_EQ(v.ToLogical(o + QPointF(w * k - 0.5, h * k - 0.5)), (Point{w - 1, h - 1}));
  // Outside: the border maps off the play area, never onto its edge.
  EXPECT_EQ(v.ToLogical(o - QPointF(0.5, 0.5)), (Point{-1, -1}));
  EXPECT_EQ(v.ToLogical(o + QPointF(w * k, h * k)), (Point{w, h}));
  // And back: a game pixel's block centre maps to the same pixel.
  for (Point p : {Point{0, 0}, Point{w - 1, 0}, Point{0, h - 1}, Point{w - 1, h - 1}})
    EXPECT_EQ(v.ToLogical(QPointF(v.ToWidget(p))), p);
}

TEST(ScaledViewTest, WindowedFactorsMapEveryCornerExactly) {
  for (int k = kMinScale; k <= kMaxScale; ++k) {
    for (Size logical : {Size{640, 480}, Size{320, 240}}) {
      SCOPED_TRACE(testing::Message() << "factor " << k << ", " << logical.w << " wide");
      ScaledView v = ScaledView::Fit(logical, QSize(logical.w * k, logical.h * k), k);
      EXPECT_EQ(v.factor, k);
      EXPECT_EQ(v.offset, QPoint(0, 0));
      ExpectCorners(v);
    }
  }
}

TEST(ScaledViewTest, FullScreenTakesTheLargestFactorThatFitsCentredOnBlack) {
  struct Case {
    Size logical;
    QSize screen;
    int factor;
    QPoint offset;
  };
  for (const Case& c :
       {Case{{640, 480}, {1920, 1080}, 2, {320, 60}}, Case{{320, 240}, {1920, 1080}, 4, {320, 60}},
        Case{{640, 480}, {2560, 1440}, 3, {320, 0}}, Case{{320, 240}, {3840, 2160}, 9, {480, 0}},
        Case{{640, 480}, {800, 600}, 1, {80, 60}},
        // A screen smaller than the game still shows it 1:1.
        Case{{640, 480}, {600, 400}, 1, {-20, -40}}}) {
    SCOPED_TRACE(testing::Message() << c.screen.width() << "x" << c.screen.height());
    ScaledView v = ScaledView::Fit(c.logical, c.screen);
    EXPECT_EQ(v.factor, c.factor);
    EXPECT_EQ(v.offset, c.offset);
    EXPECT_EQ(v.Target(), QRect(c.offset, QSize(c.logical.w * c.factor, c.logical.h * c.factor)));
    ExpectCorners(v);
  }
}

// Full screen and a maximised window are filled as far as the aspect
// allows: a whole factor where it fits exactly, else in between; mouse
// positions still map to the pixel drawn under them.
TEST(ScaledViewTest, FillTakesTheWholeAreaTheAspectAllowsAndMapsItBack) {
  struct Case {
    Size logical;
    QSize area;
    QSize size;
    QPoint offset;
    bool whole;
  };
  for (const Case& c : {Case{{640, 480}, {1920, 1080}, {1440, 1080}, {240, 0}, false},
                        Case{{640, 480}, {2560, 1600}, {2133, 1600}, {213, 0}, false},
                        Case{{320, 240}, {1366, 705}, {940, 705}, {213, 0}, false},
                        Case{{640, 480}, {1280, 1000}, {1280, 960}, {0, 20}, true},
                        Case{{640, 480}, {1920, 1440}, {1920, 1440}, {0, 0}, true},
                        Case{{640, 480}, {600, 400}, {640, 480}, {-20, -40}, true}}) {
    SCOPED_TRACE(testing::Message() << c.area.width() << "x" << c.area.height());
    const ScaledView v = ScaledView::Fill(c.logical, c.area);
    EXPECT_EQ(v.size, c.size);
    EXPECT_EQ(v.offset, c.offset);
    EXPECT_EQ(v.Whole(), c.whole);
    const int w = c.logical.w, h = c.logical.h;
    const QPointF o = v.offset;
    EXPECT_EQ(v.ToLogical(o), (Point{0, 0}));
    EXPECT_EQ(v.ToLogical(o + QPointF(v.size.width() - 0.5, v.size.height() - 0.5)),
              (Point{w - 1, h - 1}));
    EXPECT_EQ(v.ToLogical(o - QPointF(0.5, 0.5)), (Point{-1, -1}));
    EXPECT_EQ(v.ToLogical(o + QPointF(v.size.width(), v.size.height())), (Point{w, h}));
    for (int x = 0; x < w; ++x) EXPECT_EQ(v.ToLogical(QPointF(v.ToWidget(Point{x, x % h}))), (Point{x, x % h}));
    // A changed pixel's widget area holds its centre and stays in the picture.
    const QRect one = v.ToWidget(QRect(w - 1, 0, 1, 1));
    EXPECT_TRUE(one.contains(v.ToWidget(Point{w - 1, 0})));
    EXPECT_TRUE(v.Target().contains(one));
  }
}

// Filled pictures keep every pixel about as wide and as high as the next:
// one lit column (or row) at a time covers the scale's share of the
// picture, within a pixel, in one piece, with at most one blended pixel at
// either side.
TEST(EnlargedFrameTest, FilledPixelsAreEvenAndOnlyTheirEdgesBlend) {
  for (QSize area : {QSize(1920, 1080), QSize(2560, 1600), QSize(1366, 1000)}) {
    const ScaledView v = ScaledView::Fill({640, 480}, area);
    ASSERT_FALSE(v.Whole());
    SCOPED_TRACE(testing::Message() << v.size.width() << "x" << v.size.height());
    EnlargedFrame e;
    std::vector<uint32_t> pixels(640 * 480, 0);
    auto coverage = [&](bool column, int at) {
      std::fill(pixels.begin(), pixels.end(), 0);
      for (int i = 0; i < (column ? 480 : 640); ++i)
        pixels[static_cast<size_t>(column ? i * 640 + at : at * 640 + i)] = 0xFFFFFF;
      e.Update(FrameView{pixels.data(), 640, 480, 640}, v);
      // One line across the lit one, through the middle of a pixel.
      const QPoint middle = v.ToWidget(Point{320, 240}) - v.offset;
      const QRect line = column ? QRect(0, middle.y(), v.size.width(), 1)
                                : QRect(middle.x(), 0, 1, v.size.height());
      std::vector<uint32_t> out(static_cast<size_t>(line.width() * line.height()));
      e.Paint(out.data(), static_cast<size_t>(line.width()), line.topLeft(), line, true);
      int sum = 0, lit = 0, full = 0, first = -1, last = -1;
      for (size_t i = 0; i < out.size(); ++i) {
        const int level = static_cast<int>(out[i] & 0xFF);
        if (level == 0) continue;
        EXPECT_EQ(out[i], 0xFF000000u | level * 0x010101u);  // a grey: white blended with black
        sum += level;
        ++lit;
        full += level == 255;
        if (first < 0) first = static_cast<int>(i);
        last = static_cast<int>(i);
      }
      const double scale = column ? v.size.width() / 640.0 : v.size.height() / 480.0;
      EXPECT_LT(std::abs(sum / 255.0 - scale), 1.0) << at;
      EXPECT_EQ(last - first + 1, lit) << at;
      EXPECT_LE(lit - full, 2) << at;
      EXPECT_GE(full, static_cast<int>(scale) - 1) << at;
      EXPECT_LE(full, static_cast<int>(std::ceil(scale))) << at;
    };
    for (int x = 0; x < 640; x += 7) coverage(true, x);
    for (int y = 0; y < 480; y += 5) coverage(false, y);
    coverage(true, 639);
    coverage(false, 479);
  }
}

// Frames that change here and there, in size and in factor: the enlarged
// image is always the frame blown up block by block, what was reported as
// changed covers every pixel that changed, and a repeated frame reports
// nothing.
TEST(EnlargedFrameTest, KeepsTheEnlargedFrameExactAndReportsWhatChanged) {
  EnlargedFrame e;
  std::vector<uint32_t> pixels(640 * 480, 0x102030);
  std::vector<uint32_t> before;
  uint32_t seed = 1;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  struct Step {
    Size visible;
    int factor;
  };
  for (Step step : {Step{{640, 480}, 1}, Step{{640, 480}, 3}, Step{{320, 240}, 2}, Step{{640, 480}, 2}}) {
    for (int round = 0; round < 6; ++round) {
      SCOPED_TRACE(testing::Message() << step.visible.w << " wide at " << step.factor << ", round " << round);
      before = pixels;
      // Round 2 changes nothing; the others a few spots and one whole row.
      if (round != 2) {
        for (int i = 0; i < 5; ++i) pixels[next() % pixels.size()] = next() & 0xFFFFFF;
        std::fill_n(pixels.begin() + static_cast<long>(next() % 480) * 640, 640, next() & 0xFFFFFF);
      }
      const QRegion changed = e.Update(FrameView{pixels.data(), 640, 480, 640}, step.visible, step.factor);
      const bool first = round == 0;
      const int k = step.factor;
      const QImage& image = e.Image();
      ASSERT_EQ(image.size(), QSize(step.visible.w * k, step.visible.h * k));
      bool exact = true, covered = true;
      for (int y = 0; y < step.visible.h; ++y)
        for (int x = 0; x < step.visible.w; ++x) {
          const uint32_t v = pixels[static_cast<size_t>(y) * 640 + x];
          // Raw pixels: the image keeps alpha, which must be opaque.
          for (int dy = 0; dy < k; ++dy)
            for (int dx = 0; dx < k; ++dx)
              exact &= reinterpret_cast<const uint32_t*>(image.constScanLine(y * k + dy))[x * k + dx] ==
                       (v | 0xFF000000u);
          if (!first && v != before[static_cast<size_t>(y) * 640 + x]) covered &= changed.contains(QPoint(x, y));
        }
      EXPECT_TRUE(exact);
      EXPECT_TRUE(covered);
      if (round == 2) {
        EXPECT_TRUE(changed.isEmpty());
      }
      if (first) {
        EXPECT_EQ(changed.boundingRect(), QRect(0, 0, step.visible.w, step.visible.h));
      }
    }
  }
  // Another factor for the frame held: the image follows at once.
  e.Rescale(4);
  EXPECT_EQ(e.Image().size(), QSize(640 * 4, 480 * 4));
  EXPECT_EQ(e.Image().pixel(4 * 639 + 3, 4 * 479 + 3) & 0xFFFFFF, pixels[479 * 640 + 639]);
}

// A frame that comes with block stamps (the game's own surface) is looked
// at only where they changed: whatever way the surface is drawn on, the
// window must end up with the same picture and report the same change as
// one that compares every pixel.
TEST(EnlargedFrameTest, StampedFramesSkipOnlyWhatDidNotChange) {
  Surface frame(640, 480);
  frame.KeepBlockStamps();
  Surface tile(64, 64);
  EnlargedFrame stamped, compared;
  uint32_t seed = 3;
  auto next = [&seed](int n) { return static_cast<int>((seed = seed * 1103515245u + 12345u) >> 8) % n; };
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE(round);
    frame.canvas.brushColour = static_cast<uint32_t>(next(1 << 24));
    switch (next(7)) {
      case 0: FillRect(frame, Rect::XYWH(next(700) - 30, next(500) - 10, next(90), next(40))); break;
      case 1: frame.SetRawPixel(next(640), next(480), static_cast<uint32_t>(next(1 << 24))); break;
      case 2: frame.ColourRow(next(480))[next(640)] ^= 0x010101; break;
      case 3:
        frame.canvas.copyMode = next(2) ? SRCPAINT : SRCCOPY;
        tile.canvas.brushColour = static_cast<uint32_t>(next(1 << 24));
        FillRect(tile, Rect::XYWH(next(64), next(64), 9, 9));
        CopyRect(frame, Rect::XYWH(next(640), next(480), 128, 100), tile, tile.Bounds());
        break;
      case 4: CopyRect(frame, Rect::XYWH(next(600), next(450), 40, 30), frame, Rect::XYWH(next(600), next(450), 40, 30)); break;
      case 5: FillRect(frame, Rect::XYWH(next(600), next(480), 33, 1)); break;  // the same colour again, often
      default: break;
    }
    const int k = round < 40 ? 1 : 2;
    FrameView bare = frame.View();
    bare.stamps = nullptr;
    const QRegion a = stamped.Update(frame.View(), {640, 480}, k);
    const QRegion b = compared.Update(bare, {640, 480}, k);
    EXPECT_EQ(a, b);
    EXPECT_TRUE(stamped.Image() == compared.Image());
  }
}

using namespace child;

// Every factor-by-factor block of the image holds one colour.
bool SharpBlocks(const QImage& image, int k) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != image.pixel(x - x % k, y - y % k)) return false;
  return true;
}

QWidget* CommandList() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "keyFM") return w;
  return nullptr;
}

bool AllBlack(const QImage& image, QRect r) {
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) != 0) return false;
  return true;
}

class ScaledWindowTest : public ::testing::Test {
 protected:
  // The child sees one screen of this size (Qt's offscreen platform reads
  // it from a file named in the platform's options).
  void Screen(int w, int h) {
    platform_ = std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "";
    const std::string file = childDir + "screen.json";
    test::WriteAll(file, "{\"screens\":[{\"name\":\"s\",\"x\":0,\"y\":0,\"width\":" +
                             std::to_string(w) + ",\"height\":" + std::to_string(h) +
                             ",\"logicalDpi\":96,\"logicalBaseDpi\":96,\"dpr\":1}]}");
    if (platform_.rfind("offscreen", 0) == 0)
      setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + file).c_str(), 1);
  }
  void TearDown() override {
    if (!platform_.empty()) setenv("QT_QPA_PLATFORM", platform_.c_str(), 1);
    Finish();
  }
  std::string platform_;
};

TEST_F(ScaledWindowTest, ScaleThreeShowsSharpPixelsAndF11FillsTheScreenAndReachesTheGame) {
  child::Prepare("scaled-window", "c_max=0\n");
  Screen(2560, 1600);
  EXPECT_EXIT(
      {
        static int phase = 0;
        static int waited = 0;
        static QPoint placed;
        drive = [](QWidget* w, int scene, int) {
          auto check = [](bool ok) {
            if (!ok) std::_Exit(kCheckFailed + phase);
          };
          if (scene != 255 && phase == 0) return;
          if (phase == 0) {
            // The large window at factor 3.
            check(w->size() == QSize(1920, 1440));
            QImage image = w->grab().toImage();
            check(image.size() == QSize(1920, 1440));
            check(SharpBlocks(image, 3));
            check(!AllBlack(image, image.rect()));
            placed = w->geometry().topLeft();
            // The command list open over the game steps behind it in full
            // screen and comes back with the window.
            Tap(w, Qt::Key_F1);
            check(CommandList() && CommandList()->isVisible());
            Tap(w, Qt::Key_F11);
            check(!CommandList()->isVisible());
            phase = 1;
          } else if (phase == 1) {
            // Full screen: as large as fits (here 3 1/3 times), centred on
            // black.
            if (++waited < 4) return;
            const QSize screen = w->screen()->geometry().size();
            check(w->isFullScreen());
            check(w->size() == screen);
            ScaledView v = ScaledView::Fill({640, 480}, screen);
            check(v.size == QSize(2133, 1600));
            QImage image = w->grab().toImage();
            check(AllBlack(image, QRect(0, 0, screen.width(), v.offset.y())));
            check(AllBlack(image, QRect(0, 0, v.offset.x(), screen.height())));
            check(AllBlack(image, QRect(v.Target().right() + 1, 0,
                                        screen.width() - v.Target().right() - 1, screen.height())));
            check(!AllBlack(image, v.Target()));
            Tap(w, Qt::Key_F11);
            phase = 2;
            waited = 0;
          } else if (phase == 2) {
            if (++waited < 4) return;
            check(!w->isFullScreen());
            check(w->size() == QSize(1920, 1440));
            check(w->geometry().topLeft() == placed);
            check(CommandList()->isVisible());
            // Maximised, the window is filled the same way.
            w->showMaximized();
            phase = 3;
            waited = 0;
          } else if (phase == 3) {
            if (++waited < 4) return;
            check(w->isMaximized());
            const ScaledView v = ScaledView::Fill({640, 480}, w->size());
            check(w->size().width() > 1920 && !v.Whole());
            QImage image = w->grab().toImage();
            check(AllBlack(image, QRect(0, 0, v.offset.x(), image.height())));
            check(!AllBlack(image, v.Target()));
            w->close();
            phase = 4;
          }
        };
        Options o;
        o.scale = 3;
        std::exit(RunProgram(o));
      },
      ::testing::ExitedWithCode(0), "");
  // F11 is still a key of the game: pressed and released twice.
  std::string trace = test::ReadAll(traceFile);
  size_t presses = 0;
  for (size_t at = trace.find("\"op\":\"down\",\"vk\":122"); at != std::string::npos;
       at = trace.find("\"op\":\"down\",\"vk\":122", at + 1))
    ++presses;
  EXPECT_EQ(presses, 2u);
  EXPECT_NE(trace.find("\"op\":\"up\",\"vk\":122"), std::string::npos);
}

// A screen too small for the factor asked for: the largest one that fits,
// said on stderr; the small window still gets the whole factor.
TEST_F(ScaledWindowTest, AFactorThatDoesNotFitTheScreenIsReducedUntilItDoes) {
  child::Prepare("scaled-fit", "c_max=0\n");
  Screen(1920, 1200);
  EXPECT_EXIT(
      {
        drive = [](QWidget* w, int scene, int) {
          static int phase = 0;
          if (scene != 255) return;
          if (phase == 0) {
            if (w->size() != QSize(1280, 960)) std::_Exit(kCheckFailed);
            // Placed on the screen, centred across it (give or take the
            // frame).
            if (!QRect(0, 0, 1920, 1200).contains(w->geometry()) || std::abs(w->x() - 320) > 8)
              std::_Exit(kCheckFailed + 2);
            Tap(w, Qt::Key_Tab);  // the small window
            phase = 1;
          } else if (phase < 40) {
            ++phase;
            if (w->size() != QSize(960, 720)) return;
            w->close();
            phase = 41;
          } else if (phase == 40) {
            std::_Exit(kCheckFailed + 1);
          }
        };
        Options o;
        o.scale = 3;
        std::exit(RunProgram(o));
      },
      ::testing::ExitedWithCode(0), "640 x 480 window at scale 3 does not fit the screen's 1920 x 1200 area; using scale 2");
}

}  // namespace
}  // namespace kelvane
