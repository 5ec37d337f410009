// Where the game's logical client area (640 x 480 or 320 x 240) lies inside
// the real window: enlarged by a whole factor, so every game pixel becomes a
// sharp square block, and centred when the window is larger (full screen).
// A window that a whole factor does not fill (full screen, maximised) is
// filled as far as the aspect allows: the picture is enlarged by the next
// whole factor and brought down smoothly ("sharp bilinear"), so pixels stay
// even and only their edges are blended.
#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace kelvane {

inline constexpr int kMinScale = 1;
inline constexpr int kMaxScale = 6;

struct ScaledView {
  Size logical{640, 480};
  // The whole factor; when the picture is filled (not Whole()), the one it
  // is enlarged by before it is brought down to `size`.
  int factor = 1;
  QPoint offset;  // the play area's top-left inside the widget
  QSize size{640, 480};  // the enlarged play area

  // The largest factor up to maxFactor whose enlarged area fits `area`
  // (at least 1), centred in it.
  static ScaledView Fit(Size logical, QSize area, int maxFactor = INT_MAX);
  // As large as `area` holds with the aspect kept, centred: a whole factor
  // when that is what fits, else in between. Never below 1:1.
  static ScaledView Fill(Size logical, QSize area);

  bool Whole() const { return size == QSize(logical.w * factor, logical.h * factor); }
  // The logical pixel under a widget-local position; points on the black
  // border map outside the play area (negative or past its size).
  Point ToLogical(QPointF widgetPos) const;
  // The widget-local centre of a logical pixel's block.
  QPoint ToWidget(Point logical) const;
  // The widget area that logical pixels draw on (with the blended edge
  // around them when filled).
  QRect ToWidget(const QRect& logicalArea) const;
  // The enlarged play area inside the widget.
  QRect Target() const;
  QSize Enlarged() const { return size; }
};

// The presented frame, kept as logical pixels. Each new frame is compared
// with the one before and only the bands that changed are reported; drawing
// enlarges straight into the window's own pixels with a plain integer loop,
// so a frame costs one write per window pixel that changed and a frame that
// did not change costs one comparison.
class EnlargedFrame {
 public:
  // Takes the visible part of a frame (its top-left `visible` pixels) at
  // `factor`; returns the area that changed, in logical pixels (everything
  // when the size or the factor changed).
  QRegion Update(const FrameView& frame, Size visible, int factor);
  // The same for a view, whole or filled.
  QRegion Update(const FrameView& frame, const ScaledView& view);
  // Draws at another factor from now on.
  void Rescale(int factor);
  // Draws at the view's size from now on, whole or filled.
  void Rescale(const ScaledView& view);
  // Writes the enlarged pixels of `area` (enlarged coordinates, inside
  // Enlarged()) into `dest`, whose pixel (0, 0) stands for the enlarged
  // picture's `origin`. With `opaque`, alpha is set (for images that keep it).
  void Paint(uint32_t* dest, size_t destStride, QPoint origin, const QRect& area,
             bool opaque) const;
  // The picture in one image, for whoever cannot be drawn into directly.
  QImage Image() const;
  QSize Enlarged() const {
    return target_.isEmpty() ? QSize(logical_.w * factor_, logical_.h * factor_) : target_;
  }
  bool Empty() const { return logical_.w == 0 || logical_.h == 0; }
  int Factor() const { return factor_; }
  Size Logical() const { return logical_; }

 private:
  // Where a column (or row) of the filled picture takes its colour: the
  // logical pixel, and how much (0..255 of 256) of the next one is blended
  // in; 0 inside a pixel, so only the edges between pixels are mixed.
  struct Tap {
    int from = 0;
    uint32_t weight = 0;
  };
  QRegion Take(const FrameView& frame, Size visible, int factor, QSize target);
  static std::vector<Tap> Taps(int logical, int target);
  void PrepareTaps();
  void PaintFilled(uint32_t* dest, size_t destStride, QPoint origin, const QRect& area,
                   bool opaque) const;

  Size logical_;
  int factor_ = 1;
  QSize target_;  // empty: the whole factor's size
  std::vector<Tap> columns_, rows_;  // for target_
  bool held_ = false;            // shown_ holds a frame
  std::vector<uint32_t> shown_;  // logical pixels, rows of logical_.w
  // The frame's block stamps when shown_ last took those blocks (none when
  // the frame came without).
  std::vector<uint64_t> seen_;
  int seenBlock_ = 0;
};

}  // namespace kelvane
