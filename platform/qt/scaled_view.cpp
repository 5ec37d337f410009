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
  v.size = QSize(logical.w * v.factor, logical.h * v.factor);
  v.offset = QPoint((area.width() - v.size.width()) / 2, (area.height() - v.size.height()) / 2);
  return v;
}

ScaledView ScaledView::Fill(Size logical, QSize area) {
  ScaledView v = Fit(logical, area);
  if (logical.w <= 0 || logical.h <= 0) return v;
  // The side that runs out first sets the size, the other follows the aspect.
  const int64_t w = area.width(), h = area.height();
  const QSize size = w * logical.h <= h * logical.w
                         ? QSize(area.width(), static_cast<int>(w * logical.h / logical.w))
                         : QSize(static_cast<int>(h * logical.w / logical.h), area.height());
  // A whole factor that fills the area (or a screen smaller than the game).
  if (size.width() <= v.size.width() || size.height() <= v.size.height()) return v;
  v.size = size;
  v.factor = std::max((size.width() + logical.w - 1) / logical.w,
                      (size.height() + logical.h - 1) / logical.h);
  v.offset = QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2);
  return v;
}

Point ScaledView::ToLogical(QPointF widgetPos) const {
  // floor, not truncation: the border left of and above the play area must
  // map to negative coordinates, not onto its first row and column.
  if (Whole())
    return {static_cast<int>(std::floor((widgetPos.x() - offset.x()) / factor)),
            static_cast<int>(std::floor((widgetPos.y() - offset.y()) / factor))};
  return {static_cast<int>(std::floor((widgetPos.x() - offset.x()) * logical.w / size.width())),
          static_cast<int>(std::floor((widgetPos.y() - offset.y()) * logical.h / size.height()))};
}

QPoint ScaledView::ToWidget(Point p) const {
  if (Whole())
    return {offset.x() + p.x * factor + factor / 2, offset.y() + p.y * factor + factor / 2};
  return {offset.x() + static_cast<int>(std::floor((p.x + 0.5) * size.width() / logical.w)),
          offset.y() + static_cast<int>(std::floor((p.y + 0.5) * size.height() / logical.h))};
}

QRect ScaledView::ToWidget(const QRect& r) const {
  if (Whole()) return {offset + r.topLeft() * factor, r.size() * factor};
  // A blended edge takes from the pixels on both sides of it: one more
  // column and row each way.
  auto span = [](int from, int end, int logicalLength, int length) {
    const int a = static_cast<int>(static_cast<int64_t>(from) * length / logicalLength) - 1;
    const int b = static_cast<int>((static_cast<int64_t>(end) * length + logicalLength - 1) /
                                   logicalLength) + 1;
    return std::pair{std::max(a, 0), std::min(b, length)};
  };
  const auto [x0, x1] = span(r.left(), r.right() + 1, logical.w, size.width());
  const auto [y0, y1] = span(r.top(), r.bottom() + 1, logical.h, size.height());
  return QRect(offset.x() + x0, offset.y() + y0, x1 - x0, y1 - y0);
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
  return Take(frame, visible, factor, QSize());
}

QRegion EnlargedFrame::Update(const FrameView& frame, const ScaledView& view) {
  return Take(frame, view.logical, view.factor, view.Whole() ? QSize() : view.size);
}

void EnlargedFrame::Rescale(int factor) {
  factor_ = std::max(factor, 1);
  target_ = QSize();
  PrepareTaps();
}

void EnlargedFrame::Rescale(const ScaledView& view) {
  factor_ = std::max(view.factor, 1);
  target_ = view.Whole() ? QSize() : view.size;
  PrepareTaps();
}

QRegion EnlargedFrame::Take(const FrameView& frame, Size visible, int factor, QSize target) {
  const int w = std::clamp(std::min(visible.w, frame.width), 0, frame.width);
  const int h = std::clamp(std::min(visible.h, frame.height), 0, frame.height);
  factor = std::max(factor, 1);
  const bool whole = !held_ || w != logical_.w || h != logical_.h || factor != factor_ ||
                     target != target_;
  const bool retap = w != logical_.w || h != logical_.h || target != target_;
  if (w != logical_.w || h != logical_.h) {
    logical_ = {w, h};
    shown_.assign(static_cast<size_t>(w) * h, 0);
  }
  factor_ = factor;
  target_ = target;
  if (retap) PrepareTaps();
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

std::vector<EnlargedFrame::Tap> EnlargedFrame::Taps(int logical, int target) {
  // The target's pixel centres sampled bilinearly from the picture enlarged
  // by k: inside one of its blocks that is the block's colour; only a
  // centre that falls between two blocks of different pixels mixes them.
  const int k = std::max((target + logical - 1) / logical, 1);
  const int64_t enlarged = static_cast<int64_t>(logical) * k;
  std::vector<Tap> taps(static_cast<size_t>(target));
  for (int x = 0; x < target; ++x) {
    const double at = (x + 0.5) * static_cast<double>(enlarged) / target - 0.5;
    int64_t e = static_cast<int64_t>(std::floor(at));
    double f = at - static_cast<double>(e);
    if (e < 0) e = 0, f = 0;
    if (e >= enlarged - 1) e = enlarged - 1, f = 0;
    Tap& t = taps[static_cast<size_t>(x)];
    t.from = static_cast<int>(e / k);
    if ((e + 1) / k != e / k) {
      const auto weight = static_cast<uint32_t>(std::lround(f * 256));
      if (weight >= 256)
        ++t.from;
      else
        t.weight = weight;
    }
  }
  return taps;
}

void EnlargedFrame::PrepareTaps() {
  if (target_.isEmpty() || Empty()) {
    columns_.clear();
    rows_.clear();
    return;
  }
  columns_ = Taps(logical_.w, target_.width());
  rows_ = Taps(logical_.h, target_.height());
}

namespace {

// a and b mixed, w / 256 of b: two channels at a time.
inline uint32_t Mix(uint32_t a, uint32_t b, uint32_t w) {
  const uint32_t v = 256 - w;
  const uint32_t rb = (((a & 0xFF00FFu) * v + (b & 0xFF00FFu) * w) >> 8) & 0xFF00FFu;
  const uint32_t ag = (((a >> 8) & 0xFF00FFu) * v + ((b >> 8) & 0xFF00FFu) * w) & 0xFF00FF00u;
  return rb | ag;
}

}  // namespace

void EnlargedFrame::PaintFilled(uint32_t* dest, size_t destStride, QPoint origin,
                                const QRect& r, bool opaque) const {
  const uint32_t alpha = opaque ? 0xFF000000u : 0;
  const int width = r.width();
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  const Tap* columns = columns_.data() + r.left();
  // Each logical row is spread across once, into one of two rows kept
  // aside; the target rows then copy one of them or mix the two, a loop
  // the compiler runs several pixels at a time.
  thread_local std::vector<uint32_t> spread[2];
  int spreadRow[2] = {-1, -1};
  auto across = [&](int logicalRow) -> const uint32_t* {
    for (int i = 0; i < 2; ++i)
      if (spreadRow[i] == logicalRow) return spread[i].data();
    // The slot not holding the row just above is the older one.
    const int slot = spreadRow[0] == logicalRow - 1 ? 1 : 0;
    std::vector<uint32_t>& line = spread[slot];
    line.resize(static_cast<size_t>(width));
    const uint32_t* a = shown_.data() + static_cast<size_t>(logicalRow) * logical_.w;
    for (int x = 0; x < width; ++x) {
      const Tap c = columns[x];
      line[static_cast<size_t>(x)] =
          (c.weight ? Mix(a[c.from], a[c.from + 1], c.weight) : a[c.from]) | alpha;
    }
    spreadRow[slot] = logicalRow;
    return line.data();
  };
  for (int y = r.top(); y <= r.bottom(); ++y) {
    uint32_t* out = dest + static_cast<size_t>(y - origin.y()) * destStride + (r.left() - origin.x());
    const Tap row = rows_[static_cast<size_t>(y)];
    const uint32_t* top = across(row.from);
    if (row.weight == 0) {
      std::memcpy(out, top, rowBytes);
      continue;
    }
    const uint32_t* bottom = across(row.from + 1);
    top = across(row.from);  // still kept: the two slots hold both rows
    const uint32_t w = row.weight;
    for (int x = 0; x < width; ++x) out[x] = Mix(top[x], bottom[x], w);
  }
}

void EnlargedFrame::Paint(uint32_t* dest, size_t destStride, QPoint origin, const QRect& area,
                          bool opaque) const {
  const QRect r = area & QRect(QPoint(0, 0), Enlarged());
  if (r.isEmpty()) return;
  if (!target_.isEmpty()) {
    if (!columns_.empty()) PaintFilled(dest, destStride, origin, r, opaque);
    return;
  }
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
