#include "platform/qt/scaled_view.h"

#include <algorithm>
#include <cmath>

namespace kelvane {

ScaledView ScaledView::Fit(Size logical, QSize area, int maxFactor) {
  ScaledView v;
  v.logical = logical;
  if (logical.w > 0 && logical.h > 0)
    v.factor = std::clamp(std::min(area.width() / logical.w, area.height() / logical.h), 1,
                          std::max(maxFactor, 1));
  v.offset =
      QPoint((area.width() - logical.w * v.factor) / 2, (area.height() - logical.h * v.factor) / 2);
  return v;
}

Point ScaledView::ToLogical(QPointF widgetPos) const {
  // floor, not truncation: the border left of and above the play area must
  // map to negative coordinates, not onto its first row and column.
  return {static_cast<int>(std::floor((widgetPos.x() - offset.x()) / factor)),
          static_cast<int>(std::floor((widgetPos.y() - offset.y()) / factor))};
}

QPoint ScaledView::ToWidget(Point p) const {
  return {offset.x() + p.x * factor + factor / 2, offset.y() + p.y * factor + factor / 2};
}

QRect ScaledView::Target() const {
  return {offset, Enlarged()};
}

}  // namespace kelvane
