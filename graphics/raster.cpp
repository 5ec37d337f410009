#include "graphics/raster.h"

#include "graphics/spread_row.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <utility>

namespace kelvane {
namespace {

int ClampSide(int v) { return std::clamp(v, 0, Surface::kMaxSide); }

bool UsesBytes(PixelFormat f) { return f != PixelFormat::Colour; }

// One axis of a copy: for the destination positions (ascending) that both
// surfaces contain, the source position of each.
struct AxisMap {
  int d0 = 0;              // first destination position
  std::vector<int32_t> s;  // source position of d0 + k
};

// Fills map for a destination span (start dStart, signed extent dExt) of a
// surface dLimit long and a source span (sStart, sExt) of one sLimit long.
// A negative extent covers start, start-1, ..., start+ext+1.
void BuildAxis(AxisMap& map, int64_t dStart, int64_t dExt, int64_t sStart, int64_t sExt, int dLimit,
               int sLimit) {
  map.s.clear();
  if (dExt == 0 || sExt == 0) return;
  const int64_t dn = dExt > 0 ? dExt : -dExt;
  const int64_t sn = sExt > 0 ? sExt : -sExt;
  // Range of destination indexes i whose column lies on the surface.
  int64_t iLo, iHi;  // [iLo, iHi)
  if (dExt > 0) {
    iLo = std::max<int64_t>(0, -dStart);
    iHi = std::min<int64_t>(dn, dLimit - dStart);
  } else {
    iLo = std::max<int64_t>(0, dStart - dLimit + 1);
    iHi = std::min<int64_t>(dn, dStart + 1);
  }
  if (iLo >= iHi) return;
  // Nearest pixel, sampled at the centre: j(i) = floor((2i + 1) sn / 2dn),
  // stepped without a division per pixel (the first one in 128 bits, as
  // extents may be huge).
  const int64_t den = 2 * dn;
  const __int128 num0 = static_cast<__int128>(2 * iLo + 1) * sn;
  int64_t j = static_cast<int64_t>(num0 / den);
  int64_t rem = static_cast<int64_t>(num0 % den);
  const int64_t q = (2 * sn) / den, r = (2 * sn) % den;
  // Walk i upwards; the destination runs upwards too unless it is mirrored,
  // in which case the list is reversed at the end. The part whose source
  // lies on the source surface is contiguous.
  const bool dUp = dExt > 0;
  int64_t firstValidI = -1;
  map.s.reserve(static_cast<size_t>(iHi - iLo));
  for (int64_t i = iLo; i < iHi; ++i) {
    const int64_t sp = sExt > 0 ? sStart + j : sStart - j;
    if (sp >= 0 && sp < sLimit) {
      if (firstValidI < 0) firstValidI = i;
      map.s.push_back(static_cast<int32_t>(sp));
    } else if (firstValidI >= 0) {
      break;
    }
    j += q;
    rem += r;
    if (rem >= den) rem -= den, ++j;
  }
  if (map.s.empty()) return;
  const int64_t lastValidI = firstValidI + static_cast<int64_t>(map.s.size()) - 1;
  if (dUp) {
    map.d0 = static_cast<int>(dStart + firstValidI);
  } else {
    map.d0 = static_cast<int>(dStart - lastValidI);
    std::reverse(map.s.begin(), map.s.end());
  }
}

// Scratch buffers reused between copies (one thread).
struct Scratch {
  std::vector<uint32_t> colours;
  std::vector<uint32_t> colours2;
  std::vector<uint32_t> converted;
  const uint32_t* lastLine = nullptr;
  std::vector<uint8_t> bits;
  AxisMap xs, ys;
};
Scratch& TheScratch() {
  static thread_local Scratch s;
  return s;
}

// The shape of a column map: a plain upscale (source columns ascending,
// each repeated `repeat` times, the first one `first` times because of
// clipping, the last one at most `repeat` times) is spread without reading
// the map.
struct Runs {
  bool uniform = false;
  int first = 0;
  int repeat = 0;
};

Runs RunsOf(const std::vector<int32_t>& xs) {
  Runs r;
  const size_t n = xs.size();
  size_t k = 1;
  while (k < n && xs[k] == xs[0]) ++k;
  r.first = static_cast<int>(k);
  if (k == n) return r;
  size_t k2 = k + 1;
  while (k2 < n && xs[k2] == xs[k]) ++k2;
  r.repeat = static_cast<int>(k2 - k);
  if (r.repeat < 2 || r.first > r.repeat) return r;
  for (size_t i = k; i < n; ++i)
    if (xs[i] != xs[k] + static_cast<int32_t>((i - k) / static_cast<size_t>(r.repeat))) return r;
  r.uniform = xs[k] == xs[0] + 1;
  return r;
}

// Bits (0/1) to colours: 0 gives c0, 1 gives c1.
void BitsToColours(const uint8_t* __restrict b, uint32_t* __restrict out, int n, uint32_t c0, uint32_t c1) {
  const uint32_t flip = c0 ^ c1;
  const V4u vc0 = {c0, c0, c0, c0}, vflip = {flip, flip, flip, flip};
  int k = 0;
  for (; k + 4 <= n; k += 4) {
    const V4u m = {b[k], b[k + 1], b[k + 2], b[k + 3]};
    Store4(out + k, vc0 ^ (vflip & (V4u{} - (m & 1u))));
  }
  for (; k < n; ++k) out[k] = c0 ^ (flip & (0u - (b[k] & 1u)));
}

// t[k] = colour of source column xs[k], from row (which holds the colours of
// source columns base, base + 1, ...).
void Spread(const uint32_t* row, const std::vector<int32_t>& xs, int base, const Runs& runs, uint32_t* t) {
  const int n = static_cast<int>(xs.size());
  if (runs.uniform) {
    const uint32_t* p = row + (xs[0] - base);
    for (int k = 0; k < runs.first; ++k) t[k] = *p;
    ++p;
    t += runs.first;
    const int rest = n - runs.first;
    switch (runs.repeat) {
      case 2: SpreadBy<2>(p, t, rest); return;
      case 3: SpreadBy<3>(p, t, rest); return;
      case 4: SpreadBy<4>(p, t, rest); return;
      default:
        for (int k = 0; k < rest; ++k) t[k] = p[k / runs.repeat];
        return;
    }
  }
  const int32_t* x = xs.data();
  row -= base;
  for (int k = 0; k < n; ++k) t[k] = row[x[k]];
}

enum class Op { Copy, And, Or };
Op OpOf(uint32_t mode) {
  if (mode == SRCAND) return Op::And;
  if (mode == SRCPAINT) return Op::Or;
  return Op::Copy;
}

// Bitwise AND and OR are the same on any pixel type, so rows are combined
// as bytes, 64 at a time in 16-byte vectors.
typedef uint8_t V16 __attribute__((vector_size(16)));

inline V16 Load16(const uint8_t* p) { return LoadVec<V16>(p); }
inline void Store16(uint8_t* p, V16 v) { StoreVec(p, v); }

template <bool kAnd>
void CombineBytes(uint8_t* __restrict d, const uint8_t* __restrict s, size_t n) {
  size_t k = 0;
  for (; k + 64 <= n; k += 64) {
    V16 a0 = Load16(d + k), a1 = Load16(d + k + 16), a2 = Load16(d + k + 32), a3 = Load16(d + k + 48);
    const V16 b0 = Load16(s + k), b1 = Load16(s + k + 16), b2 = Load16(s + k + 32), b3 = Load16(s + k + 48);
    if (kAnd) {
      a0 &= b0, a1 &= b1, a2 &= b2, a3 &= b3;
    } else {
      a0 |= b0, a1 |= b1, a2 |= b2, a3 |= b3;
    }
    Store16(d + k, a0), Store16(d + k + 16, a1), Store16(d + k + 32, a2), Store16(d + k + 48, a3);
  }
  for (; k + 16 <= n; k += 16) Store16(d + k, kAnd ? (Load16(d + k) & Load16(s + k)) : (Load16(d + k) | Load16(s + k)));
  for (; k < n; ++k) d[k] = kAnd ? (d[k] & s[k]) : (d[k] | s[k]);
}

template <typename T>
void ApplyRow(T* d, const T* s, int n, Op op) {
  const size_t bytes = static_cast<size_t>(n) * sizeof(T);
  auto* db = reinterpret_cast<uint8_t*>(d);
  auto* sb = reinterpret_cast<const uint8_t*>(s);
  switch (op) {
    case Op::Copy: std::memcpy(db, sb, bytes); break;
    case Op::And: CombineBytes<true>(db, sb, bytes); break;
    case Op::Or: CombineBytes<false>(db, sb, bytes); break;
  }
}

// Pal4 destination: combine with the current colours, store nearest indexes.
void ApplyRowPal4(uint8_t* d, const uint32_t* s, int n, Op op, const Palette16& pal) {
  uint32_t lastColour = 0;
  uint8_t lastIndex = NearestIndex(pal, 0);
  for (int k = 0; k < n; ++k) {
    uint32_t c = s[k];
    if (op == Op::And) c &= pal[d[k] & 15];
    if (op == Op::Or) c |= pal[d[k] & 15];
    if (c != lastColour) {
      lastColour = c;
      lastIndex = NearestIndex(pal, c);
    }
    d[k] = lastIndex;
  }
}

bool IsIdentity(const std::vector<int32_t>& xs) {
  for (size_t k = 1; k < xs.size(); ++k)
    if (xs[k] != xs[k - 1] + 1) return false;
  return true;
}

// Copies the area (x0, y0, w, h) of src into a fresh surface of the same
// format and palette (for copies of a surface onto itself).
Surface CopyArea(const Surface& src, int x0, int y0, int w, int h) {
  Surface t;
  if (src.Format() == PixelFormat::Pal4)
    t.CreatePal4(w, h, src.Palette());
  else
    t.Create(w, h, src.Format());
  t.canvas = src.canvas;
  for (int y = 0; y < h; ++y) {
    if (src.IsColour())
      std::memcpy(t.ColourRow(y), src.ColourRow(y0 + y) + x0, static_cast<size_t>(w) * 4);
    else
      std::memcpy(t.ByteRow(y), src.ByteRow(y0 + y) + x0, static_cast<size_t>(w));
  }
  return t;
}

void CopyMapped(Surface& dest, const Surface& src, const std::vector<int32_t>& xs, int dx0,
                const std::vector<int32_t>& ys, int dy0) {
  Scratch& sc = TheScratch();
  const int n = static_cast<int>(xs.size());
  const Op op = OpOf(dest.canvas.copyMode);
  const bool identity = IsIdentity(xs);
  const int sx0 = xs.front();
  const PixelFormat sf = src.Format();
  const PixelFormat df = dest.Format();

  if (df == PixelFormat::Pal4 && sf == PixelFormat::Pal4 && op == Op::Copy && dest.Palette() == src.Palette()) {
    // Same palette: the indexes are copied as they are.
    for (size_t r = 0; r < ys.size(); ++r) {
      const uint8_t* s = src.ByteRow(ys[r]);
      uint8_t* d = dest.ByteRowToWrite(dy0 + static_cast<int>(r), dx0, dx0 + n) + dx0;
      if (identity) {
        std::memcpy(d, s + sx0, static_cast<size_t>(n));
      } else {
        for (int k = 0; k < n; ++k) d[k] = s[xs[static_cast<size_t>(k)]];
      }
    }
    return;
  }

  if (!UsesBytes(df) || df == PixelFormat::Pal4) {
    // ---- Colour values ----
    // A byte source row is first turned into colours over the columns that
    // the copy reads, then spread like a colour row.
    const Runs runs = RunsOf(xs);
    const int sxMin = std::min(xs.front(), xs.back());
    const int sxMax = std::max(xs.front(), xs.back());
    const int span = sxMax - sxMin + 1;
    uint32_t c0 = 0, c1 = colour::kWhite;  // Mask: 0 black, 1 white
    if (sf == PixelFormat::Mono) {
      c0 = dest.canvas.fontColour & 0xFFFFFF;
      c1 = dest.canvas.brushColour & 0xFFFFFF;
    }
    uint32_t lut[16] = {};
    for (int i = 0; i < 16; ++i) lut[i] = src.Palette()[static_cast<size_t>(i)] & 0xFFFFFF;
    sc.colours.resize(static_cast<size_t>(n));
    sc.converted.resize(static_cast<size_t>(span));
    int lastRow = -1;
    for (size_t r = 0; r < ys.size(); ++r) {
      const int sy = ys[r];
      const int dy = dy0 + static_cast<int>(r);
      const uint32_t* line;
      if (sf == PixelFormat::Colour && identity) {
        line = src.ColourRow(sy) + sx0;
      } else {
        if (sy != lastRow) {
          const uint32_t* row;  // colours of source columns sxMin ..
          if (sf == PixelFormat::Colour) {
            row = src.ColourRow(sy) + sxMin;
          } else {
            uint32_t* conv = sc.converted.data();
            const uint8_t* b = src.ByteRow(sy) + sxMin;
            if (sf == PixelFormat::Pal4) {
              for (int k = 0; k < span; ++k) conv[k] = lut[b[k] & 15];
            } else {
              BitsToColours(b, conv, span, c0, c1);
            }
            row = conv;
          }
          if (identity) {
            line = row;
          } else {
            Spread(row, xs, sxMin, runs, sc.colours.data());
            line = sc.colours.data();
          }
          lastRow = sy;
          sc.lastLine = line;
        }
        line = sc.lastLine;
      }
      if (df == PixelFormat::Pal4)
        ApplyRowPal4(dest.ByteRowToWrite(dy, dx0, dx0 + n) + dx0, line, n, op, dest.Palette());
      else
        ApplyRow(dest.ColourRowToWrite(dy, dx0, dx0 + n) + dx0, line, n, op);
    }
    return;
  }

  // ---- Bits (Mask or Mono destination) ----
  const uint32_t key = src.canvas.brushColour & 0xFFFFFF;
  uint8_t lut[16] = {};
  if (sf == PixelFormat::Pal4) {
    for (int i = 0; i < 16; ++i) lut[i] = (src.Palette()[static_cast<size_t>(i)] & 0xFFFFFF) == key;
  } else {
    lut[1] = 1;
  }
  sc.bits.resize(static_cast<size_t>(n));
  int lastRow = -1;
  for (size_t r = 0; r < ys.size(); ++r) {
    const int sy = ys[r];
    const int dy = dy0 + static_cast<int>(r);
    const uint8_t* line;
    if (src.IsBits() && identity) {
      line = src.ByteRow(sy) + sx0;
    } else {
      if (sy != lastRow) {
        uint8_t* t = sc.bits.data();
        if (sf == PixelFormat::Colour) {
          const uint32_t* s = src.ColourRow(sy);
          if (identity) {
            s += sx0;
            for (int k = 0; k < n; ++k) t[k] = (s[k] & 0xFFFFFF) == key;
          } else {
            for (int k = 0; k < n; ++k) t[k] = (s[xs[static_cast<size_t>(k)]] & 0xFFFFFF) == key;
          }
        } else {
          const uint8_t* s = src.ByteRow(sy);
          for (int k = 0; k < n; ++k) t[k] = lut[s[xs[static_cast<size_t>(k)]] & 15];
        }
        lastRow = sy;
      }
      line = sc.bits.data();
    }
    ApplyRow(dest.ByteRowToWrite(dy, dx0, dx0 + n) + dx0, line, n, op);
  }
}

void FillSpan(Surface& s, int y, int x0, int x1, uint32_t colour) {
  if (y < 0 || y >= s.Height()) return;
  x0 = std::max(x0, 0);
  x1 = std::min(x1, s.Width());
  if (x0 >= x1) return;
  switch (s.Format()) {
    case PixelFormat::Colour: {
      uint32_t* row = s.ColourRowToWrite(y, x0, x1);
      std::fill(row + x0, row + x1, colour & 0xFFFFFF);
      break;
    }
    case PixelFormat::Mask:
    case PixelFormat::Mono:
      std::memset(s.ByteRowToWrite(y, x0, x1) + x0, ColourToBit(colour), static_cast<size_t>(x1 - x0));
      break;
    case PixelFormat::Pal4:
      std::memset(s.ByteRowToWrite(y, x0, x1) + x0, NearestIndex(s.Palette(), colour),
                  static_cast<size_t>(x1 - x0));
      break;
  }
}

}  // namespace

// ---------------------------------------------------------------- Surface

Palette16 Surface::VgaPalette() {
  return {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
          0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
}

void Surface::Create(int width, int height, PixelFormat format) {
  width_ = ClampSide(width);
  height_ = ClampSide(height);
  if (width_ == 0 || height_ == 0) width_ = height_ = 0;
  format_ = format;
  const size_t n = static_cast<size_t>(width_) * height_;
  colour_.clear();
  bytes_.clear();
  if (UsesBytes(format))
    bytes_.assign(n, 0);
  else
    colour_.assign(n, 0);
  colour_.shrink_to_fit();
  bytes_.shrink_to_fit();
  TouchAll();
}

void Surface::CreatePal4(int width, int height, const Palette16& palette) {
  Create(width, height, PixelFormat::Pal4);
  palette_ = palette;
}

void Surface::Clear() { Create(0, 0, format_); }

void Surface::SetSize(int width, int height) {
  width = ClampSide(width);
  height = ClampSide(height);
  if (width == 0 || height == 0) width = height = 0;
  if (width == width_ && height == height_) return;
  Surface n;
  n.Create(width, height, format_);
  const int cw = std::min(width, width_), ch = std::min(height, height_);
  for (int y = 0; y < ch; ++y) {
    if (UsesBytes(format_))
      std::memcpy(n.ByteRow(y), ByteRow(y), static_cast<size_t>(cw));
    else
      std::memcpy(n.ColourRow(y), ColourRow(y), static_cast<size_t>(cw) * 4);
  }
  width_ = n.width_;
  height_ = n.height_;
  colour_ = std::move(n.colour_);
  bytes_ = std::move(n.bytes_);
  TouchAll();
}

void Surface::SetFormat(PixelFormat format) {
  if (format == format_) return;
  const bool toBits = format == PixelFormat::Mask || format == PixelFormat::Mono;
  if (IsBits() && toBits) {  // Mask <-> Mono: the bits stay
    format_ = format;
    TouchAll();  // but they draw differently
    return;
  }
  const size_t n = static_cast<size_t>(width_) * height_;
  // Through colour.
  std::vector<uint32_t> colours(n);
  for (size_t i = 0; i < n; ++i) {
    switch (format_) {
      case PixelFormat::Colour: colours[i] = colour_[i]; break;
      case PixelFormat::Pal4: colours[i] = palette_[bytes_[i] & 15]; break;
      default: colours[i] = bytes_[i] ? colour::kWhite : colour::kBlack; break;
    }
  }
  const uint32_t key = canvas.brushColour & 0xFFFFFF;
  colour_.clear();
  bytes_.clear();
  if (format == PixelFormat::Colour) {
    colour_ = std::move(colours);
  } else {
    bytes_.resize(n);
    uint32_t last = 0;
    uint8_t lastIndex = NearestIndex(palette_, 0);
    for (size_t i = 0; i < n; ++i) {
      uint32_t c = colours[i] & 0xFFFFFF;
      if (toBits) {
        // A colour becomes white where it equals the brush (as in a copy);
        // a mask that turns into colour and back keeps its bits.
        bytes_[i] = c == key;
      } else {
        if (c != last) last = c, lastIndex = NearestIndex(palette_, c);
        bytes_[i] = lastIndex;
      }
    }
  }
  format_ = format;
  TouchAll();
}

uint32_t Surface::PixelColour(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const size_t i = static_cast<size_t>(y) * width_ + x;
  switch (format_) {
    case PixelFormat::Colour: return colour_[i];
    case PixelFormat::Pal4: return palette_[bytes_[i] & 15];
    default: return bytes_[i] ? colour::kWhite : colour::kBlack;
  }
}

uint32_t Surface::RawPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const size_t i = static_cast<size_t>(y) * width_ + x;
  return format_ == PixelFormat::Colour ? colour_[i] : bytes_[i];
}

void Surface::SetRawPixel(int x, int y, uint32_t value) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  const size_t i = static_cast<size_t>(y) * width_ + x;
  Touch(y, x, x + 1);
  switch (format_) {
    case PixelFormat::Colour: colour_[i] = value & 0xFFFFFF; break;
    case PixelFormat::Pal4: bytes_[i] = static_cast<uint8_t>(value & 15); break;
    default: bytes_[i] = value ? 1 : 0; break;
  }
}

FrameView Surface::View() const {
  if (format_ != PixelFormat::Colour || Empty()) return {};
  FrameView v{colour_.data(), width_, height_, width_};
  if (!blocks_.empty()) {
    v.stamps = blocks_.data();
    v.stampBlock = kStampBlock;
    v.stampsPerRow = BlocksPerRow();
  }
  return v;
}

uint64_t Surface::NewStamp() {
  // A stamp must never repeat, whichever thread's surface takes it: each
  // thread draws its own run of numbers from the shared counter.
  constexpr uint64_t kRun = uint64_t{1} << 16;
  static std::atomic<uint64_t> runs{1};
  thread_local uint64_t next = 0, end = 0;
  if (next == end) {
    next = runs.fetch_add(1, std::memory_order_relaxed) * kRun;
    end = next + kRun;
  }
  return next++;
}

void Surface::Touch(int y, int x0, int x1) {
  stamp_.value = NewStamp();
  if (blocks_.empty() || y < 0 || y >= height_) return;
  x0 = std::max(x0, 0);
  x1 = std::min(x1, width_);
  if (x0 >= x1) return;
  uint64_t* row = blocks_.data() + static_cast<size_t>(y) * BlocksPerRow();
  std::fill(row + x0 / kStampBlock, row + (x1 - 1) / kStampBlock + 1, stamp_.value);
}

void Surface::TouchAll() {
  stamp_.value = NewStamp();
  if (keepBlocks_)
    blocks_.assign(static_cast<size_t>(BlocksPerRow()) * height_, stamp_.value);
  else
    blocks_.clear();
}

void Surface::KeepBlockStamps() {
  keepBlocks_ = true;
  TouchAll();
}

// ---------------------------------------------------------------- drawing

uint8_t ColourToBit(uint32_t c) {
  unsigned sum = ((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255);
  return sum >= 3 * 128 ? 1 : 0;
}

uint8_t NearestIndex(const Palette16& palette, uint32_t c) {
  c &= 0xFFFFFF;
  for (size_t i = 0; i < 16; ++i)
    if ((palette[i] & 0xFFFFFF) == c) return static_cast<uint8_t>(i);
  int best = 0;
  int64_t bestDist = INT64_MAX;
  for (int i = 0; i < 16; ++i) {
    uint32_t p = palette[static_cast<size_t>(i)];
    int dr = static_cast<int>((p >> 16) & 255) - static_cast<int>((c >> 16) & 255);
    int dg = static_cast<int>((p >> 8) & 255) - static_cast<int>((c >> 8) & 255);
    int db = static_cast<int>(p & 255) - static_cast<int>(c & 255);
    int64_t dist = static_cast<int64_t>(dr) * dr + static_cast<int64_t>(dg) * dg + static_cast<int64_t>(db) * db;
    if (dist < bestDist) bestDist = dist, best = i;
  }
  return static_cast<uint8_t>(best);
}

void CopyRect(Surface& dest, const Rect& destRect, const Surface& src, const Rect& srcRect) {
  if (dest.Empty() || src.Empty()) return;
  Scratch& sc = TheScratch();
  BuildAxis(sc.xs, destRect.left, int64_t{destRect.right} - destRect.left, srcRect.left,
            int64_t{srcRect.right} - srcRect.left, dest.Width(), src.Width());
  if (sc.xs.s.empty()) return;
  BuildAxis(sc.ys, destRect.top, int64_t{destRect.bottom} - destRect.top, srcRect.top,
            int64_t{srcRect.bottom} - srcRect.top, dest.Height(), src.Height());
  if (sc.ys.s.empty()) return;
  // Keep the maps: CopyMapped reuses the scratch buffers of conversion only.
  std::vector<int32_t> xs = std::move(sc.xs.s), ys = std::move(sc.ys.s);
  const int dx0 = sc.xs.d0, dy0 = sc.ys.d0;
  if (&dest == &src) {
    // Copy the source area first so that overlapping copies read the old
    // pixels.
    auto [xmin, xmax] = std::minmax_element(xs.begin(), xs.end());
    auto [ymin, ymax] = std::minmax_element(ys.begin(), ys.end());
    const int x0 = *xmin, y0 = *ymin;
    Surface tmp = CopyArea(src, x0, y0, *xmax - x0 + 1, *ymax - y0 + 1);
    for (auto& v : xs) v -= x0;
    for (auto& v : ys) v -= y0;
    CopyMapped(dest, tmp, xs, dx0, ys, dy0);
  } else {
    CopyMapped(dest, src, xs, dx0, ys, dy0);
  }
  // Hand the buffers back for the next copy.
  sc.xs.s = std::move(xs);
  sc.ys.s = std::move(ys);
}

bool CompositeLayers(Surface& dest, const Rect& d, const Surface& mask, const Surface* colour,
                     const Rect& s, const PixelRows* base) {
  if (!dest.IsColour() || mask.Format() != PixelFormat::Mask) return false;
  if (colour && (!colour->IsColour() || colour->Width() != mask.Width() ||
                 colour->Height() != mask.Height()))
    return false;
  if (d.left >= d.right || d.top >= d.bottom || s.left >= s.right || s.top >= s.bottom ||
      s.left < 0 || s.top < 0 || s.right > mask.Width() || s.bottom > mask.Height())
    return false;
  Scratch& sc = TheScratch();
  BuildAxis(sc.xs, d.left, int64_t{d.right} - d.left, s.left, int64_t{s.right} - s.left,
            dest.Width(), mask.Width());
  BuildAxis(sc.ys, d.top, int64_t{d.bottom} - d.top, s.top, int64_t{s.bottom} - s.top,
            dest.Height(), mask.Height());
  const std::vector<int32_t>& xs = sc.xs.s;
  const std::vector<int32_t>& ys = sc.ys.s;
  const int n = static_cast<int>(xs.size());
  const Rect area{sc.xs.d0, sc.ys.d0, sc.xs.d0 + n, sc.ys.d0 + static_cast<int>(ys.size())};
  if (base && (xs.empty() || ys.empty() || base->area != area)) return false;
  if (xs.empty() || ys.empty()) return true;  // nothing of it on dest
  const Runs runs = RunsOf(xs);
  const int sxMin = xs.front(), span = xs.back() - sxMin + 1;
  sc.converted.resize(static_cast<size_t>(span));
  sc.colours.resize(static_cast<size_t>(n));
  sc.colours2.resize(static_cast<size_t>(n));
  uint32_t* m = sc.colours.data();
  uint32_t* c = sc.colours2.data();
  int lastRow = -1;
  for (size_t r = 0; r < ys.size(); ++r) {
    const int sy = ys[r];
    if (sy != lastRow) {
      BitsToColours(mask.ByteRow(sy) + sxMin, sc.converted.data(), span, colour::kBlack,
                    colour::kWhite);
      Spread(sc.converted.data(), xs, sxMin, runs, m);
      if (colour) Spread(colour->ColourRow(sy) + sxMin, xs, sxMin, runs, c);
      lastRow = sy;
    }
    uint32_t* o =
        dest.ColourRowToWrite(area.top + static_cast<int>(r), area.left, area.right) + area.left;
    const uint32_t* b = base ? base->pixels + r * base->stride : o;  // may be o itself
    int k = 0;
    if (colour) {
      for (; k + 4 <= n; k += 4) Store4(o + k, (Load4(b + k) & Load4(m + k)) | Load4(c + k));
      for (; k < n; ++k) o[k] = (b[k] & m[k]) | c[k];
    } else {
      for (; k + 4 <= n; k += 4) Store4(o + k, Load4(b + k) & Load4(m + k));
      for (; k < n; ++k) o[k] = b[k] & m[k];
    }
  }
  return true;
}

void FillRect(Surface& s, const Rect& r) {
  int l = std::min(r.left, r.right), rr = std::max(r.left, r.right);
  int t = std::min(r.top, r.bottom), b = std::max(r.top, r.bottom);
  t = std::max(t, 0);
  b = std::min(b, s.Height());
  if (t >= b) return;
  FillSpan(s, t, l, rr, s.canvas.brushColour);
  // The other rows copy the first: one colour lookup, and a whole backdrop
  // sheet cleared on every frame costs little even in instrumented builds.
  l = std::max(l, 0);
  rr = std::min(rr, s.Width());
  if (l >= rr) return;
  const Surface& filled = s;
  const size_t n = static_cast<size_t>(rr - l);
  for (int y = t + 1; y < b; ++y) {
    if (s.IsColour())
      std::memcpy(s.ColourRowToWrite(y, l, rr) + l, filled.ColourRow(t) + l, n * 4);
    else
      std::memcpy(s.ByteRowToWrite(y, l, rr) + l, filled.ByteRow(t) + l, n);
  }
}

void DrawRectangle(Surface& s, const Rect& r) {
  if (s.Empty()) return;
  int l = std::min(r.left, r.right), rr = std::max(r.left, r.right);
  int t = std::min(r.top, r.bottom), b = std::max(r.top, r.bottom);
  if (rr - l <= 0 || b - t <= 0) return;
  const bool pen = s.canvas.penStyle == PenStyle::Solid;
  const bool brush = s.canvas.brushStyle == BrushStyle::Solid;
  if (!pen) {
    // A null pen: the filled area is one pixel smaller in width and height.
    if (brush)
      for (int y = std::max(t, 0); y < std::min(b - 1, s.Height()); ++y) FillSpan(s, y, l, rr - 1, s.canvas.brushColour);
    return;
  }
  const uint32_t pc = s.canvas.penColour;
  if (brush)
    for (int y = std::max(t + 1, 0); y < std::min(b - 1, s.Height()); ++y)
      FillSpan(s, y, l + 1, rr - 1, s.canvas.brushColour);
  FillSpan(s, t, l, rr, pc);
  FillSpan(s, b - 1, l, rr, pc);
  for (int y = std::max(t, 0); y < std::min(b, s.Height()); ++y) {
    FillSpan(s, y, l, l + 1, pc);
    FillSpan(s, y, rr - 1, rr, pc);
  }
}

void DrawEllipse(Surface& s, const Rect& r) {
  if (s.Empty()) return;
  int l = std::min(r.left, r.right), rr = std::max(r.left, r.right);
  int t = std::min(r.top, r.bottom), b = std::max(r.top, r.bottom);
  const int w = rr - l, h = b - t;
  if (w <= 0 || h <= 0) return;
  // Span of row y (t <= y < b): the pixel columns that the ellipse through
  // the centres of the box's edge pixels covers on that row.
  const double cx = l + (w - 1) / 2.0, cy = t + (h - 1) / 2.0;
  const double a = std::max((w - 1) / 2.0, 0.5), bb = std::max((h - 1) / 2.0, 0.5);
  auto span = [&](int y, int& x0, int& x1) -> bool {  // [x0, x1)
    if (y < t || y >= b) return false;
    double dy = (y - cy) / bb;
    double q = 1.0 - dy * dy;
    if (q < 0) q = 0;
    double hw = a * std::sqrt(q);
    // The pixels that the span [cx - hw, cx + hw] touches, symmetric about cx.
    x0 = static_cast<int>(std::ceil(cx - hw - 0.5));
    x1 = static_cast<int>(std::floor(cx + hw + 0.5)) + 1;
    x0 = std::max(x0, l);
    x1 = std::min(x1, rr);
    return x0 < x1;
  };
  const bool pen = s.canvas.penStyle == PenStyle::Solid;
  const bool brush = s.canvas.brushStyle == BrushStyle::Solid;
  for (int y = std::max(t, 0); y < std::min(b, s.Height()); ++y) {
    int x0 = 0, x1 = 0;
    if (!span(y, x0, x1)) continue;
    if (!pen) {
      if (brush) FillSpan(s, y, x0, x1, s.canvas.brushColour);
      continue;
    }
    // The inside is the part covered by both neighbouring rows too; the rest
    // of the row is outline.
    int ax0 = 0, ax1 = 0, bx0 = 0, bx1 = 0;
    bool above = span(y - 1, ax0, ax1), below = span(y + 1, bx0, bx1);
    int i0 = x0 + 1, i1 = x1 - 1;  // row ends are outline
    if (above && below) {
      i0 = std::max({i0, ax0 + 1, bx0 + 1});
      i1 = std::min({i1, ax1 - 1, bx1 - 1});
    } else {
      i0 = i1 = x0;  // first and last rows: all outline
    }
    if (i0 < i1) {
      if (brush) FillSpan(s, y, i0, i1, s.canvas.brushColour);
      FillSpan(s, y, x0, i0, s.canvas.penColour);
      FillSpan(s, y, i1, x1, s.canvas.penColour);
    } else {
      FillSpan(s, y, x0, x1, s.canvas.penColour);
    }
  }
}

}  // namespace kelvane
