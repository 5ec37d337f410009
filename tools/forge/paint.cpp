#include "tools/forge/paint.h"

// jpeglib.h needs stdio's FILE declared first.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <array>
#include <cstdint>
#include <cstdlib>
#include <map>

#include "tools/forge/forge.h"

namespace forge {
namespace {

struct GlyphDef {
  char c;
  const char* rows[5];
};

struct GlyphDef8 {
  char c;
  const char* rows[8];
};

// The game's 4 x 5 font. Letters are 4 wide except where 3 reads better.
const GlyphDef kFont[] = {
    {'A', {".##.", "#..#", "####", "#..#", "#..#"}},
    {'B', {"###.", "#..#", "###.", "#..#", "###."}},
    {'C', {".###", "#...", "#...", "#...", ".###"}},
    {'D', {"###.", "#..#", "#..#", "#..#", "###."}},
    {'E', {"####", "#...", "###.", "#...", "####"}},
    {'F', {"####", "#...", "###.", "#...", "#..."}},
    {'G', {".###", "#...", "#.##", "#..#", ".###"}},
    {'H', {"#..#", "#..#", "####", "#..#", "#..#"}},
    {'I', {"###.", ".#..", ".#..", ".#..", "###."}},
    {'J', {"..##", "...#", "...#", "#..#", ".##."}},
    {'K', {"#..#", "#.#.", "##..", "#.#.", "#..#"}},
    {'L', {"#...", "#...", "#...", "#...", "####"}},
    {'M', {"#..#", "####", "####", "#..#", "#..#"}},
    {'N', {"#..#", "##.#", "#.##", "#..#", "#..#"}},
    {'O', {".##.", "#..#", "#..#", "#..#", ".##."}},
    {'P', {"###.", "#..#", "###.", "#...", "#..."}},
    {'Q', {".##.", "#..#", "#..#", "#.#.", ".#.#"}},
    {'R', {"###.", "#..#", "###.", "#.#.", "#..#"}},
    {'S', {".###", "#...", ".##.", "...#", "###."}},
    {'T', {"###.", ".#..", ".#..", ".#..", ".#.."}},
    {'U', {"#..#", "#..#", "#..#", "#..#", ".##."}},
    {'V', {"#..#", "#..#", "#..#", ".##.", ".##."}},
    {'W', {"#..#", "#..#", "####", "####", "#..#"}},
    {'X', {"#..#", "#..#", ".##.", "#..#", "#..#"}},
    {'Y', {"#.#.", "#.#.", ".#..", ".#..", ".#.."}},
    {'Z', {"####", "...#", ".##.", "#...", "####"}},
    {'?', {".##.", "#..#", "..#.", "....", "..#."}},
    {'!', {".#..", ".#..", ".#..", "....", ".#.."}},
    {'0', {".##.", "#.##", "##.#", "#..#", ".##."}},
    {'1', {".#..", "##..", ".#..", ".#..", "###."}},
    {'2', {"###.", "...#", ".##.", "#...", "####"}},
    {'3', {"###.", "...#", ".##.", "...#", "###."}},
    {'4', {"#..#", "#..#", "####", "...#", "...#"}},
    {'5', {"####", "#...", "###.", "...#", "###."}},
    {'6', {".##.", "#...", "###.", "#..#", ".##."}},
    {'7', {"####", "...#", "..#.", ".#..", ".#.."}},
    {'8', {".##.", "#..#", ".##.", "#..#", ".##."}},
    {'9', {".##.", "#..#", ".###", "...#", ".##."}},
    {'+', {"....", ".#..", "###.", ".#..", "...."}},
    {'-', {"....", "....", "###.", "....", "...."}},
    {'/', {"...#", "..#.", ".##.", ".#..", "#..."}},
    {'*', {"....", "#.#.", ".#..", "#.#.", "...."}},
    {':', {"....", ".#..", "....", ".#..", "...."}},
    {'.', {"....", "....", "....", "....", ".#.."}},
    {',', {"....", "....", "....", ".#..", "#..."}},
    {'%', {"#..#", "...#", "..#.", ".#..", "#..#"}},
    {'\'', {".#..", ".#..", "....", "....", "...."}},
    {'&', {".#..", "#.#.", ".#..", "#.#.", ".#.#"}},
    {'@', {".##.", "#..#", "#.##", "#...", ".##."}},
    {'=', {"....", "###.", "....", "###.", "...."}},
    {'$', {"....", "....", "....", "....", "...."}},
    {' ', {"....", "....", "....", "....", "...."}},
    {'_', {"....", "....", "....", "....", "####"}},
};

// The title letters, 6 x 8, heavier than the game's font.
const GlyphDef8 kLogoFont[] = {
    {'K', {"##..##", "##.##.", "####..", "###...", "####..", "##.##.", "##..##", "##..##"}},
    {'E', {"######", "######", "##....", "#####.", "#####.", "##....", "######", "######"}},
    {'L', {"##....", "##....", "##....", "##....", "##....", "##....", "######", "######"}},
    // The V tapers to a point: with a two-row stem it read as a Y.
    {'V', {"##...##", "##...##", "##...##", "##...##", ".##.##.", ".##.##.", "..###..", "...#..."}},
    {'A', {".####.", "######", "##..##", "##..##", "######", "######", "##..##", "##..##"}},
    {'N', {"##...##", "###..##", "####.##", "##.####", "##..###", "##...##", "##...##", "##...##"}},
};

const std::map<char, const char* const*>& FontIndex() {
  static const std::map<char, const char* const*> index = [] {
    std::map<char, const char* const*> m;
    for (const GlyphDef& g : kFont) m[g.c] = g.rows;
    return m;
  }();
  return index;
}

// Ink pictures hold the palette index as a grey level.
void Put(QImage& canvas, int x, int y, int ink) {
  if (x >= 0 && y >= 0 && x < canvas.width() && y < canvas.height())
    canvas.setPixel(x, y, qRgb(ink, ink, ink));
}

// The fixed palette of 8-bit pictures: a 6 x 7 x 6 colour cube (green gets
// the extra step, the eye sees it best) and four greys.
constexpr int kRedSteps = 6, kGreenSteps = 7, kBlueSteps = 6;

std::array<QRgb, 256> Palette256() {
  std::array<QRgb, 256> pal{};
  int i = 0;
  for (int r = 0; r < kRedSteps; ++r)
    for (int g = 0; g < kGreenSteps; ++g)
      for (int b = 0; b < kBlueSteps; ++b)
        pal[i++] = qRgb(r * 255 / (kRedSteps - 1), g * 255 / (kGreenSteps - 1),
                        b * 255 / (kBlueSteps - 1));
  for (int k = 1; i < 256; ++i, ++k) pal[i] = qRgb(k * 51 - 12, k * 51 - 12, k * 51 - 12);
  return pal;
}

constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// One channel dithered onto `steps` levels.
int DitherLevel(int value, int steps, int x, int y) {
  double threshold = (kBayer[y & 3][x & 3] + 0.5) / 16.0;
  double scaled = value * (steps - 1) / 255.0;
  int low = static_cast<int>(scaled);
  int level = low + ((scaled - low) > threshold ? 1 : 0);
  return level > steps - 1 ? steps - 1 : level;
}

uint8_t PaletteIndex(QRgb c, int x, int y) {
  int r = DitherLevel(qRed(c), kRedSteps, x, y);
  int g = DitherLevel(qGreen(c), kGreenSteps, x, y);
  int b = DitherLevel(qBlue(c), kBlueSteps, x, y);
  return static_cast<uint8_t>((r * kGreenSteps + g) * kBlueSteps + b);
}

void PutLe(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

const char* const* LogoGlyphRows(char c) {
  for (const GlyphDef8& g : kLogoFont)
    if (g.c == c) return g.rows;
  return nullptr;
}

const char* const* GlyphRows(char c) {
  auto it = FontIndex().find(c);
  return it == FontIndex().end() ? nullptr : it->second;
}

void DrawPattern(QImage& canvas, int x, int y, const char* const rows[5], int ink) {
  for (int r = 0; r < kFontH; ++r)
    for (int c = 0; rows[r][c]; ++c)
      if (rows[r][c] == '#') Put(canvas, x + c, y + r, ink);
}

void DrawGlyph(QImage& canvas, int x, int y, char c, int ink) {
  const char* const* rows = GlyphRows(c);
  if (!rows) throw ForgeError{std::string("the 4x5 font has no glyph for '") + c + "'"};
  DrawPattern(canvas, x, y, rows, ink);
}

void DrawText(QImage& canvas, int x, int y, std::string_view text, int ink) {
  for (size_t i = 0; i < text.size(); ++i)
    DrawGlyph(canvas, x + kFontPitch * static_cast<int>(i), y, text[i], ink);
}

void DrawTextCentred(QImage& canvas, int cx, int y, std::string_view text, int ink) {
  DrawText(canvas, cx - TextWidth(static_cast<int>(text.size())) / 2, y, text, ink);
}

namespace {

// Width in columns of a pattern's set pixels.
int PatternColumns(const char* const* rows, int rowCount) {
  int cols = 0;
  for (int r = 0; r < rowCount; ++r)
    for (int c = 0; rows[r][c]; ++c)
      if (rows[r][c] == '#' && c + 1 > cols) cols = c + 1;
  return cols;
}

const char* const* BigRows(std::string_view font, char c) {
  const char* const* rows = font.empty() ? GlyphRows(c) : LogoGlyphRows(c);
  if (!rows) throw ForgeError{std::string("no title glyph for '") + c + "'"};
  return rows;
}

int BigRowCount(std::string_view font) {
  return font.empty() ? kFontH : kLogoFontH;
}

}  // namespace

int DrawBigPattern(QImage& canvas, int x, int y, const char* const* rows, int rowCount, int scale,
                   const BigInks& inks) {
  const int cols = PatternColumns(rows, rowCount);
  auto set = [&](int r, int c) {
    return r >= 0 && r < rowCount && c >= 0 && c < cols && rows[r][c] == '#';
  };
  auto inside = [&](int px, int py) { return px >= 0 && py >= 0 && set(py / scale, px / scale); };
  // Outline first: every pixel next to a block that is not itself a block.
  for (int py = -1; py <= rowCount * scale; ++py)
    for (int px = -1; px <= cols * scale; ++px) {
      if (inside(px, py)) continue;
      bool near = false;
      for (int dy = -1; dy <= 1 && !near; ++dy)
        for (int dx = -1; dx <= 1 && !near; ++dx) near = inside(px + dx, py + dy);
      if (near) Put(canvas, x + px, y + py, inks.outline);
    }
  for (int r = 0; r < rowCount; ++r)
    for (int c = 0; c < cols; ++c) {
      if (!set(r, c)) continue;
      for (int sy = 0; sy < scale; ++sy)
        for (int sx = 0; sx < scale; ++sx) {
          // Light where the block above is open, dark where the one below is.
          int ink = inks.main;
          if (sy == 0 && !set(r - 1, c)) ink = inks.light;
          if (sy == scale - 1 && !set(r + 1, c)) ink = inks.dark;
          Put(canvas, x + c * scale + sx, y + r * scale + sy, ink);
        }
    }
  return cols * scale;
}

int BigTextWidth(std::string_view text, int scale, int gap, std::string_view font) {
  int w = 0;
  for (size_t i = 0; i < text.size(); ++i)
    w += PatternColumns(BigRows(font, text[i]), BigRowCount(font)) * scale +
         (i + 1 < text.size() ? gap : 0);
  return w;
}

void DrawBigText(QImage& canvas, int x, int y, std::string_view text, int scale, int gap,
                 const BigInks& inks, std::string_view font) {
  int pen = x;
  for (char ch : text)
    pen += DrawBigPattern(canvas, pen, y, BigRows(font, ch), BigRowCount(font), scale, inks) + gap;
}

std::string EncodeBmp8(const QImage& picture) {
  const std::array<QRgb, 256> pal = Palette256();
  const int w = picture.width(), h = picture.height();
  const int rowBytes = (w + 3) / 4 * 4;
  const uint32_t headerBytes = 14 + 40 + 256 * 4;
  const uint32_t imageBytes = static_cast<uint32_t>(rowBytes) * h;
  std::string out;
  out.reserve(headerBytes + imageBytes);
  out += "BM";
  PutLe(out, headerBytes + imageBytes, 4);
  PutLe(out, 0, 4);
  PutLe(out, headerBytes, 4);
  PutLe(out, 40, 4);
  PutLe(out, static_cast<uint32_t>(w), 4);
  PutLe(out, static_cast<uint32_t>(h), 4);
  PutLe(out, 1, 2);
  PutLe(out, 8, 2);
  PutLe(out, 0, 4);
  PutLe(out, imageBytes, 4);
  PutLe(out, 2835, 4);
  PutLe(out, 2835, 4);
  PutLe(out, 256, 4);
  PutLe(out, 0, 4);
  for (QRgb c : pal) {
    out.push_back(static_cast<char>(qBlue(c)));
    out.push_back(static_cast<char>(qGreen(c)));
    out.push_back(static_cast<char>(qRed(c)));
    out.push_back('\0');
  }
  QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  for (int y = h - 1; y >= 0; --y) {
    std::string row(static_cast<size_t>(rowBytes), '\0');
    const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < w; ++x) row[x] = static_cast<char>(PaletteIndex(line[x], x, y));
    out += row;
  }
  return out;
}

QImage Bmp8Preview(const QImage& picture) {
  const std::array<QRgb, 256> pal = Palette256();
  QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  QImage out(rgb.size(), QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    const QRgb* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    QRgb* o = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < rgb.width(); ++x) o[x] = pal[PaletteIndex(in[x], x, y)];
  }
  return out;
}

std::string EncodeJpeg(const QImage& picture, int quality) {
  QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(rgb.width());
  c.image_height = static_cast<JDIMENSION>(rgb.height());
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  c.dct_method = JDCT_ISLOW;  // the integer transform: same bytes everywhere
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(c.next_scanline)));
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&c);
  std::free(buffer);
  return out;
}

double Hash01(int x, int y, int seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
               static_cast<uint32_t>(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xFFFFFF) / static_cast<double>(0x1000000);
}

}  // namespace forge
