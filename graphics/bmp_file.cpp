#include "graphics/bmp_file.h"

#include <cstring>
#include <vector>

#include "platform/core/shown_name.h"
#include "platform/platform.h"

namespace kelvane {
namespace {

struct Reader {
  const unsigned char* p;
  size_t n;
  bool Has(size_t off, size_t len) const { return off <= n && len <= n - off; }
  uint32_t U32(size_t off) const {
    return p[off] | (p[off + 1] << 8) | (p[off + 2] << 16) |
           (static_cast<uint32_t>(p[off + 3]) << 24);
  }
  uint16_t U16(size_t off) const { return static_cast<uint16_t>(p[off] | (p[off + 1] << 8)); }
};

int CountShift(uint32_t mask) {
  int s = 0;
  if (!mask) return 0;
  while (!(mask & 1)) mask >>= 1, ++s;
  return s;
}

// Scales the field (v & mask) >> shift of width bits to 0..255.
uint32_t Channel(uint32_t v, uint32_t mask) {
  if (!mask) return 0;
  int shift = CountShift(mask);
  uint32_t m = mask >> shift;
  uint32_t x = (v & mask) >> shift;
  return static_cast<uint32_t>((static_cast<uint64_t>(x) * 255 + m / 2) / m);
}

void Put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 255));
  s.push_back(static_cast<char>((v >> 8) & 255));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

std::string Header(int w, int h, int bpp, int paletteEntries, size_t imageSize) {
  std::string s;
  const uint32_t off = 14 + 40 + 4 * static_cast<uint32_t>(paletteEntries);
  s += "BM";
  Put32(s, off + static_cast<uint32_t>(imageSize));
  Put32(s, 0);
  Put32(s, off);
  Put32(s, 40);
  Put32(s, static_cast<uint32_t>(w));
  Put32(s, static_cast<uint32_t>(h));
  Put16(s, 1);
  Put16(s, static_cast<uint32_t>(bpp));
  Put32(s, 0);  // BI_RGB
  Put32(s, static_cast<uint32_t>(imageSize));
  Put32(s, 3780);  // 96 dpi
  Put32(s, 3780);
  Put32(s, static_cast<uint32_t>(paletteEntries));
  Put32(s, 0);
  return s;
}

void PutPaletteEntry(std::string& s, uint32_t c) {
  s.push_back(static_cast<char>(c & 255));
  s.push_back(static_cast<char>((c >> 8) & 255));
  s.push_back(static_cast<char>((c >> 16) & 255));
  s.push_back(0);
}

// Decodes RLE4/RLE8 data into an index image (top row first); pixels the
// stream skips stay 0. Returns "" or an error.
std::string DecodeRle(const Reader& r, size_t off, size_t len, int w, int h, int bpp,
                      std::vector<uint8_t>& idx) {
  if (!r.Has(off, len)) len = r.n > off ? r.n - off : 0;
  const unsigned char* p = r.p + off;
  size_t i = 0;
  int x = 0, y = 0;  // y counts from the bottom
  auto put = [&](uint8_t v) {
    if (x < w && y < h) idx[static_cast<size_t>(h - 1 - y) * w + x] = v;
    ++x;
  };
  while (true) {
    if (i + 2 > len) return "RLE data ends early";
    unsigned a = p[i], b = p[i + 1];
    i += 2;
    if (a > 0) {  // a run of a pixels
      for (unsigned k = 0; k < a; ++k) {
        if (bpp == 8)
          put(static_cast<uint8_t>(b));
        else
          put(static_cast<uint8_t>(k % 2 == 0 ? b >> 4 : b & 15));
        if (x > w + 255) break;
      }
      continue;
    }
    if (b == 0) {  // end of line
      x = 0;
      ++y;
      if (y > h) return "";
    } else if (b == 1) {  // end of bitmap
      return "";
    } else if (b == 2) {  // delta
      if (i + 2 > len) return "RLE data ends early";
      x += p[i];
      y += p[i + 1];
      i += 2;
      if (y > h) return "";
    } else {  // b literal pixels
      size_t bytes = bpp == 8 ? b : (b + 1) / 2;
      size_t padded = (bytes + 1) & ~static_cast<size_t>(1);
      if (i + padded > len) return "RLE data ends early";
      for (unsigned k = 0; k < b; ++k) {
        if (bpp == 8)
          put(p[i + k]);
        else
          put(static_cast<uint8_t>(k % 2 == 0 ? p[i + k / 2] >> 4 : p[i + k / 2] & 15));
      }
      i += padded;
    }
  }
}

// Everything the header says, checked against the bytes that are there.
struct Layout {
  int W = 0, H = 0, bpp = 0;
  bool topDown = false, rle = false;
  uint32_t compression = 0, offBits = 0, hdr = 0;
  uint32_t masks[3] = {0, 0, 0};
  std::vector<uint32_t> pal;
};

std::string ReadLayout(const Reader& r, Layout& l, bool withPalette) {
  if (!r.Has(0, 18)) return "not a BMP file (too short)";
  if (r.p[0] != 'B' || r.p[1] != 'M') return "not a BMP file";
  const uint32_t offBits = r.U32(10);
  const uint32_t hdr = r.U32(14);
  if (!r.Has(14, hdr) || hdr < 12) return "truncated BMP header";
  int64_t w, h;
  int bpp;
  uint32_t compression = 0, clrUsed = 0;
  size_t palEntrySize = 4;
  if (hdr == 12) {  // BITMAPCOREHEADER
    w = r.U16(18);
    h = static_cast<int16_t>(r.U16(20));
    bpp = r.U16(24);
    palEntrySize = 3;
  } else {
    if (hdr < 40) return "unsupported BMP header";
    w = static_cast<int32_t>(r.U32(18));
    h = static_cast<int32_t>(r.U32(22));
    bpp = r.U16(28);
    compression = r.U32(30);
    clrUsed = r.U32(46);
    if (compression == 3 || compression == 6) {  // BI_BITFIELDS
      if (hdr >= 52) {
        l.masks[0] = r.U32(54), l.masks[1] = r.U32(58), l.masks[2] = r.U32(62);
      } else {
        if (!r.Has(14 + hdr, 12)) return "truncated BMP colour masks";
        l.masks[0] = r.U32(14 + hdr), l.masks[1] = r.U32(18 + hdr), l.masks[2] = r.U32(22 + hdr);
      }
    }
  }
  l.topDown = h < 0;
  if (l.topDown) h = -h;
  if (w <= 0 || h <= 0) return "BMP has no pixels";
  if (w > Surface::kMaxSide || h > Surface::kMaxSide || w * h > kMaxPicturePixels)
    return "the picture is too large (" + std::to_string(w) + " x " + std::to_string(h) +
           "; at most " + std::to_string(kMaxPicturePixels) + " pixels and " +
           std::to_string(Surface::kMaxSide) + " on a side)";
  l.W = static_cast<int>(w), l.H = static_cast<int>(h);
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return "unsupported BMP bit depth " + std::to_string(bpp);
  l.rle = compression == 1 || compression == 2;
  if (compression == 1 && bpp != 8) return "bad RLE8 BMP";
  if (compression == 2 && bpp != 4) return "bad RLE4 BMP";
  if (l.rle && l.topDown) return "bad top-down RLE BMP";
  if (compression != 0 && !l.rle &&
      !((compression == 3 || compression == 6) && (bpp == 16 || bpp == 32)))
    return "unsupported BMP compression " + std::to_string(compression);
  l.bpp = bpp;
  l.compression = compression;
  l.offBits = offBits;
  l.hdr = hdr;

  if (bpp <= 8) {
    size_t count = clrUsed ? clrUsed : (1u << bpp);
    if (count > 256) return "bad BMP palette size";
    size_t off = 14 + hdr;
    if (compression == 3 && hdr == 40) off += 12;
    if (!r.Has(off, count * palEntrySize)) return "truncated BMP palette";
    if (withPalette) {
      for (size_t i = 0; i < count; ++i) {
        const unsigned char* e = r.p + off + i * palEntrySize;
        l.pal.push_back((static_cast<uint32_t>(e[2]) << 16) | (e[1] << 8) | e[0]);
      }
    }
  }
  if (offBits > r.n) return "truncated BMP pixel data";
  if (l.rle) {
    // Every RLE stream ends with an end-of-line or end-of-bitmap pair.
    if (r.n - offBits < 2) return "RLE data ends early";
  } else {
    const uint64_t stride = ((static_cast<uint64_t>(l.W) * bpp + 31) / 32) * 4;
    if (!r.Has(offBits, stride * static_cast<uint64_t>(l.H))) return "truncated BMP pixel data";
  }
  return "";
}

}  // namespace

std::string ReadBmpSize(const std::string& data, int& width, int& height) {
  Reader r{reinterpret_cast<const unsigned char*>(data.data()), data.size()};
  Layout l;
  std::string e = ReadLayout(r, l, false);
  if (e.empty()) width = l.W, height = l.H;
  return e;
}

std::string CheckPictureSize(int width, int height, const PictureSize& want) {
  if (width >= want.width && height >= want.height) return "";
  return "the picture is " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels; it must be at least " + std::to_string(want.width) + " x " +
         std::to_string(want.height);
}

std::string DecodeBmp(const std::string& data, Surface& out) {
  Reader r{reinterpret_cast<const unsigned char*>(data.data()), data.size()};
  Layout l;
  // Header, palette and the presence of the pixel data are all checked
  // before anything the size of the picture is allocated.
  if (std::string e = ReadLayout(r, l, true); !e.empty()) return e;
  const int W = l.W, H = l.H, bpp = l.bpp;
  const bool topDown = l.topDown, rle = l.rle;
  const uint32_t compression = l.compression, offBits = l.offBits, hdr = l.hdr;
  const uint32_t* masks = l.masks;
  const std::vector<uint32_t>& pal = l.pal;

  // Pixels into indexes (bpp <= 8) or colours.
  std::vector<uint8_t> idx;
  std::vector<uint32_t> col;
  if (bpp <= 8)
    idx.assign(static_cast<size_t>(W) * H, 0);
  else
    col.assign(static_cast<size_t>(W) * H, 0);
  if (rle) {
    uint32_t imageSize = hdr >= 40 ? r.U32(34) : 0;
    size_t len = imageSize ? imageSize : r.n - offBits;
    std::string e = DecodeRle(r, offBits, len, W, H, bpp, idx);
    if (!e.empty()) return e;
  } else {
    const uint64_t stride = ((static_cast<uint64_t>(W) * bpp + 31) / 32) * 4;
    uint32_t rm = masks[0], gm = masks[1], bm = masks[2];
    if (bpp == 16 && compression == 0) rm = 0x7C00, gm = 0x03E0, bm = 0x001F;
    for (int y = 0; y < H; ++y) {
      const int fileRow = topDown ? y : H - 1 - y;
      const unsigned char* s = r.p + offBits + stride * static_cast<uint64_t>(fileRow);
      switch (bpp) {
        case 1:
          for (int x = 0; x < W; ++x)
            idx[static_cast<size_t>(y) * W + x] = (s[x >> 3] >> (7 - (x & 7))) & 1;
          break;
        case 4:
          for (int x = 0; x < W; ++x)
            idx[static_cast<size_t>(y) * W + x] = (x & 1) ? (s[x >> 1] & 15) : (s[x >> 1] >> 4);
          break;
        case 8:
          std::memcpy(&idx[static_cast<size_t>(y) * W], s, static_cast<size_t>(W));
          break;
        case 16:
          for (int x = 0; x < W; ++x) {
            uint32_t v = s[2 * x] | (s[2 * x + 1] << 8);
            col[static_cast<size_t>(y) * W + x] =
                (Channel(v, rm) << 16) | (Channel(v, gm) << 8) | Channel(v, bm);
          }
          break;
        case 24:
          for (int x = 0; x < W; ++x)
            col[static_cast<size_t>(y) * W + x] =
                (static_cast<uint32_t>(s[3 * x + 2]) << 16) | (s[3 * x + 1] << 8) | s[3 * x];
          break;
        case 32:
          if (compression == 0) {
            for (int x = 0; x < W; ++x)
              col[static_cast<size_t>(y) * W + x] =
                  (static_cast<uint32_t>(s[4 * x + 2]) << 16) | (s[4 * x + 1] << 8) | s[4 * x];
          } else {
            for (int x = 0; x < W; ++x) {
              uint32_t v = r.U32(static_cast<size_t>(s - r.p) + 4 * static_cast<size_t>(x));
              col[static_cast<size_t>(y) * W + x] =
                  (Channel(v, rm) << 16) | (Channel(v, gm) << 8) | Channel(v, bm);
            }
          }
          break;
      }
    }
  }

  // Into the surface.
  if (bpp > 8) {
    out.Create(W, H, PixelFormat::Colour);
    for (int y = 0; y < H; ++y)
      std::memcpy(out.ColourRow(y), &col[static_cast<size_t>(y) * W], static_cast<size_t>(W) * 4);
    return "";
  }
  uint8_t maxIndex = 0;
  for (uint8_t v : idx) maxIndex = std::max(maxIndex, v);
  auto palAt = [&](size_t i) { return i < pal.size() ? pal[i] : 0u; };
  if (bpp == 1 && palAt(0) == colour::kBlack && palAt(1) == colour::kWhite) {
    out.Create(W, H, PixelFormat::Mask);
    for (int y = 0; y < H; ++y)
      std::memcpy(out.ByteRow(y), &idx[static_cast<size_t>(y) * W], static_cast<size_t>(W));
    return "";
  }
  if (maxIndex < 16) {
    Palette16 p16{};
    for (size_t i = 0; i < 16; ++i) p16[i] = palAt(i);
    out.CreatePal4(W, H, p16);
    for (int y = 0; y < H; ++y)
      std::memcpy(out.ByteRow(y), &idx[static_cast<size_t>(y) * W], static_cast<size_t>(W));
    return "";
  }
  out.Create(W, H, PixelFormat::Colour);
  for (int y = 0; y < H; ++y) {
    uint32_t* d = out.ColourRow(y);
    for (int x = 0; x < W; ++x) d[x] = palAt(idx[static_cast<size_t>(y) * W + x]);
  }
  return "";
}

std::string EncodeBmp(const Surface& s) {
  if (s.Empty()) return "";
  const int W = s.Width(), H = s.Height();
  if (s.Format() == PixelFormat::Pal4) {
    const size_t stride = ((static_cast<size_t>(W) * 4 + 31) / 32) * 4;
    std::string out = Header(W, H, 4, 16, stride * H);
    for (uint32_t c : s.Palette()) PutPaletteEntry(out, c);
    std::string row(stride, '\0');
    for (int y = H - 1; y >= 0; --y) {
      std::fill(row.begin(), row.end(), '\0');
      const uint8_t* p = s.ByteRow(y);
      for (int x = 0; x < W; ++x)
        row[static_cast<size_t>(x) >> 1] |=
            static_cast<char>((x & 1) ? (p[x] & 15) : (p[x] & 15) << 4);
      out += row;
    }
    return out;
  }
  if (s.IsBits()) {
    const size_t stride = ((static_cast<size_t>(W) + 31) / 32) * 4;
    std::string out = Header(W, H, 1, 2, stride * H);
    PutPaletteEntry(out, colour::kBlack);
    PutPaletteEntry(out, colour::kWhite);
    std::string row(stride, '\0');
    for (int y = H - 1; y >= 0; --y) {
      std::fill(row.begin(), row.end(), '\0');
      const uint8_t* p = s.ByteRow(y);
      for (int x = 0; x < W; ++x)
        if (p[x]) row[static_cast<size_t>(x) >> 3] |= static_cast<char>(0x80 >> (x & 7));
      out += row;
    }
    return out;
  }
  const size_t stride = ((static_cast<size_t>(W) * 24 + 31) / 32) * 4;
  std::string out = Header(W, H, 24, 0, stride * H);
  std::string row(stride, '\0');
  for (int y = H - 1; y >= 0; --y) {
    const uint32_t* p = s.ColourRow(y);
    for (int x = 0; x < W; ++x) {
      row[3 * static_cast<size_t>(x)] = static_cast<char>(p[x] & 255);
      row[3 * static_cast<size_t>(x) + 1] = static_cast<char>((p[x] >> 8) & 255);
      row[3 * static_cast<size_t>(x) + 2] = static_cast<char>((p[x] >> 16) & 255);
    }
    out += row;
  }
  return out;
}

std::string EncodeBmp4(const Surface& s, const Palette16& palette) {
  if (s.Format() == PixelFormat::Pal4 && s.Palette() == palette) return EncodeBmp(s);
  Surface t;
  t.CreatePal4(s.Width(), s.Height(), palette);
  for (int y = 0; y < s.Height(); ++y) {
    uint8_t* d = t.ByteRow(y);
    uint32_t last = 0;
    uint8_t lastIndex = NearestIndex(palette, 0);
    for (int x = 0; x < s.Width(); ++x) {
      uint32_t c = s.PixelColour(x, y);
      if (c != last) last = c, lastIndex = NearestIndex(palette, c);
      d[x] = lastIndex;
    }
  }
  return EncodeBmp(t);
}

std::string LoadBmp(FileSystem& files, const std::string& path, Surface& out) {
  std::optional<std::string> data = files.ReadFile(path);
  if (!data) return "cannot read " + ShownName(path);
  std::string e = DecodeBmp(*data, out);
  return e.empty() ? e : ShownName(path) + ": " + e;
}

std::string LoadBmp(FileSystem& files, const std::string& path, Surface& out,
                    const PictureSize& want) {
  std::optional<std::string> data = files.ReadFile(path);
  if (!data) return "cannot read " + ShownName(path);
  int w = 0, h = 0;
  std::string e = ReadBmpSize(*data, w, h);
  if (e.empty()) e = CheckPictureSize(w, h, want);
  if (e.empty()) e = DecodeBmp(*data, out);
  return e.empty() ? e : ShownName(path) + ": " + e;
}

bool SaveBmp(FileSystem& files, const std::string& path, const Surface& s) {
  return files.WriteFile(path, EncodeBmp(s));
}

}  // namespace kelvane
