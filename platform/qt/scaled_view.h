// Where the game's logical client area (640 x 480 or 320 x 240) lies inside
// the real window: enlarged by a whole factor, so every game pixel becomes a
// sharp square block, and centred when the window is larger (full screen).
#pragma once

#include <QPointF>
#include <QRect>
#include <QSize>
#include <climits>

#include "platform/platform.h"

namespace kelvane {

inline constexpr int kMinScale = 1;
inline constexpr int kMaxScale = 6;

struct ScaledView {
  Size logical{640, 480};
  int factor = 1;
  QPoint offset;  // the play area's top-left inside the widget

  // The largest factor up to maxFactor whose enlarged area fits `area`
  // (at least 1), centred in it.
  static ScaledView Fit(Size logical, QSize area, int maxFactor = INT_MAX);

  // The logical pixel under a widget-local position; points on the black
  // border map outside the play area (negative or past its size).
  Point ToLogical(QPointF widgetPos) const;
  // The widget-local centre of a logical pixel's block.
  QPoint ToWidget(Point logical) const;
  // The enlarged play area inside the widget.
  QRect Target() const;
  QSize Enlarged() const { return {logical.w * factor, logical.h * factor}; }
};

}  // namespace kelvane
