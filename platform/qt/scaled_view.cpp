#include "platform/qt/scaled_view.h"

#include "graphics/spread_row.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

namespace {
// Rows compared and enlarged together: small enough that two figures far
// apart do not make one big rectangle, large enough to keep the region short.
constexpr int kBandRows = 16;

}  // namespace

QRegion EnlargedFrame::Update(const FrameView& frame, Size visible, int factor) {
  const int w = std::clamp(std::min(visible.w, frame.width), 0, frame.width);
  const int h = std::clamp(std::min(visible.h, frame.height), 0, frame.height);
  factor = std::max(factor, 1);
  const bool whole = !held_ || w != logical_.w || h != logical_.h || factor != factor_;
  if (w != logical_.w || h != logical_.h) {
    logical_ = {w, h};
    shown_.assign(static_cast<size_t>(w) * h, 0);
  }
  factor_ = factor;
  QRegion changed;
  if (w == 0 || h == 0 || !frame.pixels) return changed;
  held_ = true;
  // Blocks whose stamps were seen when their pixels were taken are the
  // same still: rows of them are not even compared.
  const int block = frame.stampBlock;
  const int blocks = frame.stamps && block > 0 ? (w + block - 1) / block : 0;
  const bool stamped = blocks > 0 && frame.stampsPerRow >= blocks;
  const bool useSeen = stamped && !whole && seenBlock_ == block &&
                       seen_.size() == static_cast<size_t>(blocks) * h;
  // Changed bands that touch are drawn as one rectangle (the widest of
  // their spans): fewer, larger copies to the window.
  QRect run;
  auto flush = [&] {
    if (run.isEmpty()) return;
    changed += run;
    run = QRect();
  };
  for (int top = 0; top < h; top += kBandRows) {
    const int bottom = std::min(top + kBandRows, h);
    int left = w, right = -1;
    for (int y = top; y < bottom; ++y) {
      const uint32_t* src = frame.pixels + static_cast<size_t>(y) * frame.stride;
      uint32_t* kept = shown_.data() + static_cast<size_t>(y) * w;
      int lo = 0, hi = w - 1;  // the pixels that may differ
      if (useSeen) {
        const uint64_t* now = frame.stamps + static_cast<size_t>(y) * frame.stampsPerRow;
        uint64_t* was = seen_.data() + static_cast<size_t>(y) * blocks;
        int first = 0;
        while (first < blocks && now[first] == was[first]) ++first;
        if (first == blocks) continue;
        int last = blocks - 1;
        while (now[last] == was[last]) --last;
        std::copy(now + first, now + last + 1, was + first);
        lo = first * block;
        hi = std::min(w, (last + 1) * block) - 1;
      }
      const size_t span = static_cast<size_t>(hi - lo + 1) * 4;
      if (!whole && std::memcmp(src + lo, kept + lo, span) == 0) continue;
      int l = lo, r = hi;
      if (!whole) {
        // Equal runs skipped 16 pixels at a time, then pixel by pixel.
        while (l + 16 <= hi + 1 && std::memcmp(src + l, kept + l, 64) == 0) l += 16;
        while (src[l] == kept[l]) ++l;
        while (r - 15 > l && std::memcmp(src + r - 15, kept + r - 15, 64) == 0) r -= 16;
        while (src[r] == kept[r]) --r;
      }
      std::memcpy(kept + l, src + l, static_cast<size_t>(r - l + 1) * 4);
      left = std::min(left, l);
      right = std::max(right, r);
    }
    if (right < left) {
      flush();
      continue;
    }
    const QRect band(left, top, right - left + 1, bottom - top);
    run = run.isEmpty() ? band : run.united(band);
  }
  flush();
  // Every visible pixel now matches what those stamps stood for.
  if (stamped && !useSeen) {
    seenBlock_ = block;
    seen_.resize(static_cast<size_t>(blocks) * h);
    for (int y = 0; y < h; ++y)
      std::copy_n(frame.stamps + static_cast<size_t>(y) * frame.stampsPerRow, blocks,
                  seen_.data() + static_cast<size_t>(y) * blocks);
  } else if (!stamped) {
    seen_.clear();
  }
  return changed;
}

void EnlargedFrame::Paint(uint32_t* dest, size_t destStride, QPoint origin, const QRect& area,
                          bool opaque) const {
  const QRect r = area & QRect(QPoint(0, 0), Enlarged());
  if (r.isEmpty()) return;
  const int k = factor_;
  const int x0 = r.left(), x1 = r.right() + 1;
  // Whole blocks in the middle, the cut blocks at either end pixel by pixel.
  const int firstWhole = (x0 + k - 1) / k, endWhole = std::max(x1 / k, firstWhole);
  const size_t rowBytes = static_cast<size_t>(r.width()) * 4;
  const uint32_t* previous = nullptr;
  int previousSource = -1;
  // With `opaque`, alpha goes onto the logical pixels before they are
  // enlarged: k times fewer pixels to touch than the enlarged row.
  const int sx0 = x0 / k, sx1 = (x1 - 1) / k + 1;
  thread_local std::vector<uint32_t> opaqueRow;
  if (opaque) opaqueRow.resize(static_cast<size_t>(sx1));
  for (int y = r.top(); y <= r.bottom(); ++y) {
    uint32_t* out = dest + static_cast<size_t>(y - origin.y()) * destStride + (x0 - origin.x());
    const int sy = y / k;
    if (sy == previousSource) {
      std::memcpy(out, previous, rowBytes);  // the same logical row again
      previous = out;
      continue;
    }
    const uint32_t* src = shown_.data() + static_cast<size_t>(sy) * logical_.w;
    if (opaque) {
      for (int x = sx0; x < sx1; ++x) opaqueRow[static_cast<size_t>(x)] = src[x] | 0xFF000000u;
      src = opaqueRow.data();  // indexed by logical column as before
    }
    uint32_t* o = out;
    const int leadEnd = std::min(firstWhole * k, x1);
    for (int x = x0; x < leadEnd; ++x) *o++ = src[x / k];
    if (endWhole > firstWhole) {
      EnlargeRow(src + firstWhole, o, endWhole - firstWhole, k);
      o += static_cast<size_t>(endWhole - firstWhole) * k;
    }
    for (int x = std::max(endWhole * k, leadEnd); x < x1; ++x) *o++ = src[x / k];
    previous = out;
    previousSource = sy;
  }
}

QImage EnlargedFrame::Image() const {
  QImage image(Enlarged(), QImage::Format_RGB32);
  if (!image.isNull())
    Paint(reinterpret_cast<uint32_t*>(image.bits()), static_cast<size_t>(image.bytesPerLine()) / 4,
          QPoint(0, 0), image.rect(), true);
  return image;
}

}  // namespace kelvane
