// The main picture "Y_.bmp": the font, the heads-up display panels, the
// banners, labels, plates and marks of every scene, the mode menu's icons
// and figure, and the opening logo, each drawn into its atlas region.
#include <QPainter>
#include <QPolygon>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/atlas.h"
#include "tools/forge/dancer_figure.h"
#include "tools/forge/forge.h"
#include "tools/forge/indexed_picture.h"
#include "tools/forge/paint.h"
#include "tools/forge/palette_colours.h"

namespace forge {
namespace {

using kelvane::Rect;
namespace atlas = kelvane::atlas;
using atlas::RegionId;

// Background of every panel that the game writes digits into: it must not
// be black, or the mask would let the backdrop show through the numbers.
constexpr int kPanelInk = kInkOutline;

class Sheet {
 public:
  explicit Sheet(QImage& canvas) : c_(canvas) {}
  QImage& canvas() { return c_; }

  void Fill(int x, int y, int w, int h, int ink) {
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) Pixel(i, j, ink);
  }
  void Fill(const Rect& r, int ink) { Fill(r.left, r.top, r.Width(), r.Height(), ink); }
  void Pixel(int x, int y, int ink) {
    if (x >= 0 && y >= 0 && x < c_.width() && y < c_.height()) c_.setPixel(x, y, Ink(ink).rgb());
  }
  int At(int x, int y) const { return qRed(c_.pixel(x, y)); }

  // A raised plate: light top and left edges, dark bottom and right, the
  // corners cut off so it reads as rounded.
  void Plate(int x, int y, int w, int h, int face, int light, int dark) {
    Fill(x, y, w, h, face);
    Fill(x, y, w, 1, light);
    Fill(x, y, 1, h, light);
    Fill(x, y + h - 1, w, 1, dark);
    Fill(x + w - 1, y, 1, h, dark);
    for (int cx : {x, x + w - 1})
      for (int cy : {y, y + h - 1}) Pixel(cx, cy, kInkBlack);
  }
  void Plate(const Rect& r, int face, int light, int dark) {
    Plate(r.left, r.top, r.Width(), r.Height(), face, light, dark);
  }

  void Line(int x0, int y0, int x1, int y1, int ink, int width = 1) {
    QPainter p(&c_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(Ink(ink), width, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(x0, y0, x1, y1);
  }
  void Ellipse(int x, int y, int w, int h, int fill, int outline = -1) {
    QPainter p(&c_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(outline < 0 ? QPen(Qt::NoPen) : QPen(Ink(outline)));
    p.setBrush(Ink(fill));
    p.drawEllipse(x, y, w - 1, h - 1);
  }
  void Polygon(const std::vector<QPoint>& pts, int fill, int outline = -1) {
    QPainter p(&c_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(outline < 0 ? QPen(Qt::NoPen) : QPen(Ink(outline)));
    p.setBrush(Ink(fill));
    p.drawPolygon(QPolygon(QList<QPoint>(pts.begin(), pts.end())));
  }
  // A five-pointed star of outer radius r.
  void Star(int cx, int cy, int r, int fill, int outline = -1) {
    std::vector<QPoint> pts;
    for (int i = 0; i < 10; ++i) {
      double a = -1.5707963 + i * 3.14159265 / 5;
      double rr = i % 2 ? r * 0.45 : r;
      pts.emplace_back(cx + static_cast<int>(std::lround(rr * std::cos(a))),
                       cy + static_cast<int>(std::lround(rr * std::sin(a))));
    }
    Polygon(pts, fill, outline);
  }
  void Sparkle(int cx, int cy, int r, int ink) {
    for (int d = -r; d <= r; ++d) {
      Pixel(cx + d, cy, ink);
      Pixel(cx, cy + d, ink);
    }
  }
  // An eighth note: head at (x, y), stem up.
  void Note(int x, int y, int ink) {
    Fill(x, y, 3, 2, ink);
    Fill(x + 2, y - 5, 1, 5, ink);
    Pixel(x + 3, y - 5, ink);
    Pixel(x + 4, y - 4, ink);
  }

 private:
  QImage& c_;
};

std::string Describe(const Rect& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ") " +
         std::to_string(r.Width()) + " x " + std::to_string(r.Height());
}

// Refuses a table with a region off the picture or pixels shared without a
// declaration: drawing one region would spoil another.
void CheckAtlasOrThrow() {
  atlas::AtlasProblem p = atlas::CheckAtlas();
  const auto& a = atlas::Get(p.a);
  const auto& b = atlas::Get(p.b);
  switch (p.kind) {
    case atlas::AtlasProblem::kNone:
      return;
    case atlas::AtlasProblem::kOutsideSheet:
      throw ForgeError{"Y_.bmp: atlas region '" + std::string(a.name) + "' " + Describe(a.rect) +
                       " lies outside the " + std::to_string(atlas::kSheetWidth) + " x " +
                       std::to_string(atlas::kSheetHeight) + " picture"};
    case atlas::AtlasProblem::kUndeclaredOverlap:
      throw ForgeError{"Y_.bmp: atlas regions '" + std::string(a.name) + "' " + Describe(a.rect) +
                       " and '" + std::string(b.name) + "' " + Describe(b.rect) +
                       " overlap without a declaration"};
    case atlas::AtlasProblem::kStaleOverlap:
      throw ForgeError{"Y_.bmp: atlas declares that '" + std::string(a.name) + "' and '" +
                       std::string(b.name) + "' overlap, but they do not"};
  }
}

// ---- Font ------------------------------------------------------------------

// Key pictograms in the font's size: up, forward (left), down, back
// (right), button Y, button N.
const char* const kKeyPatterns[6][5] = {
    {".##.", "####", ".##.", ".##.", ".##."}, {".#..", "##..", "####", "##..", ".#.."},
    {".##.", ".##.", ".##.", "####", ".##."}, {"..#.", "..##", "####", "..##", "..#."},
    {"#.#.", "#.#.", ".#..", ".#..", ".#.."}, {"#..#", "##.#", "#.##", "#..#", "#..#"},
};
const char* const kAwaitPattern[5] = {".##.", ".##.", ".##.", "....", ".##."};

int TextInk(int style) {
  switch (style) {
    case -1:
      return kInkGlowA;
    case 0:
      return kInkWhite;
    default:
      return kInkGlowB;
  }
}

int DigitInk(int style) {
  switch (style) {
    case -1:
      return kInkGlowA;
    case 0:
      return kInkWhite;
    case 1:
      return kInkGlowB;
    case 2:
      return kInkAccent;
    default:
      return kInkWhite;
  }
}

void DrawFont(Sheet& s) {
  const RegionId letterRows[] = {RegionId::kLettersStyleM1, RegionId::kLettersStyle0,
                                 RegionId::kLettersStyle1};
  for (int style = atlas::kFirstTextStyle; style <= atlas::kLastTextStyle; ++style) {
    (void)letterRows;
    for (int k = 0; k <= static_cast<int>(atlas::kGlyphSet.size()); ++k) {
      char c = k == 0 ? '_' : atlas::kGlyphSet[k - 1];
      Rect cell = atlas::LetterCell(k, style);
      DrawGlyph(s.canvas(), cell.left, cell.top, c, TextInk(style));
    }
  }
  const RegionId digitRows[] = {RegionId::kDigitsStyleM1, RegionId::kDigitsStyle0,
                                RegionId::kDigitsStyle1, RegionId::kDigitsStyle2,
                                RegionId::kDigitsStyle3};
  for (int style = atlas::kFirstDigitStyle; style <= atlas::kLastDigitStyle; ++style) {
    // The display styles sit on the panel colour so that a digit written
    // into a panel blends with it.
    if (style >= 1) s.Fill(atlas::At(digitRows[style - atlas::kFirstDigitStyle]), kPanelInk);
    int ink = DigitInk(style);
    for (int d = 0; d < 10; ++d) {
      Rect cell = atlas::DigitCell(d, style);
      DrawGlyph(s.canvas(), cell.left, cell.top, static_cast<char>('0' + d), ink);
    }
    Rect plus = atlas::SignCell(false, style), minus = atlas::SignCell(true, style);
    DrawGlyph(s.canvas(), plus.left, plus.top, '+', ink);
    DrawGlyph(s.canvas(), minus.left, minus.top, '-', ink);
  }
  s.Fill(atlas::At(RegionId::kKeyIcons), kPanelInk);
  s.Fill(atlas::At(RegionId::kPromptIcons), kPanelInk);
  const int keyInks[6] = {kInkWhite, kInkWhite, kInkWhite, kInkWhite, kInkAccent, kInkHair};
  for (int k = 0; k < atlas::kKeyIconCount; ++k) {
    Rect key = atlas::KeyIconCell(k), prompt = atlas::PromptIconCell(k);
    DrawPattern(s.canvas(), key.left, key.top, kKeyPatterns[k], keyInks[k]);
    DrawPattern(s.canvas(), prompt.left, prompt.top, kKeyPatterns[k], kInkGlowA);
  }
  Rect await = atlas::PromptIconCell(6);
  DrawPattern(s.canvas(), await.left, await.top, kAwaitPattern, kInkHair);
}

// ---- Stage start -----------------------------------------------------------

void DrawBanner(Sheet& s) {
  Rect b = atlas::At(RegionId::kBannerBase);
  // A ribbon with notched tails, blue bands and gold trim.
  const int bands[] = {kInkAccent,  kInkCostumeLight, kInkCostume,
                       kInkCostume, kInkCostumeDark,  kInkAccentDark};
  for (int y = 0; y < b.Height(); ++y) {
    int band = y < 3 ? 0 : y >= b.Height() - 3 ? 5 : 1 + (y - 3) * 4 / (b.Height() - 6);
    int notch = std::abs(y - b.Height() / 2) / 2;  // tails cut into a V
    int inset = 8 - notch;
    for (int x = 0; x < b.Width(); ++x) {
      bool tail = x < 10 || x >= b.Width() - 10;
      if (tail && (x < inset || x >= b.Width() - inset)) continue;
      s.Pixel(b.left + x, b.top + y, tail ? kInkCostumeDark : bands[band]);
    }
  }
  BigInks inks{kInkAccentLight, kInkAccent, kInkAccentDark, kInkOutline};
  const std::string title = "KELVANE";
  int w = BigTextWidth(title, 2, 2, "logo");
  DrawBigText(s.canvas(), b.left + (b.Width() - w) / 2, b.top + 8, title, 2, 2, inks, "logo");

  // The glow is ORed over the ribbon's right part as it settles: light
  // that only brightens.
  Rect g = atlas::At(RegionId::kBannerGlow);
  for (int x = 0; x < g.Width(); x += 2) {
    s.Pixel(g.left + x, g.top + 1, kInkGlowB);
    s.Pixel(g.left + x + 1, g.top + g.Height() - 2, kInkGlowB);
  }
  const int sparkles[][3] = {{4, 6, 2},    {20, 26, 2}, {92, 5, 3},
                             {100, 25, 2}, {70, 27, 1}, {34, 4, 1}};
  for (const auto& sp : sparkles) s.Sparkle(g.left + sp[0], g.top + sp[1], sp[2], kInkWhite);
  s.Note(g.left + 84, g.top + 12, kInkGlowB);
  s.Note(g.left + 8, g.top + 20, kInkGlowB);
}

void DrawModeAndTurnLabels(Sheet& s) {
  const struct {
    const char* text;
    int ink;
  } modes[atlas::kModeLabelRows] = {
      {"LET'S GO!", kInkGlowA},     {"CPU TURN", kInkGlowB},  {"YOUR TURN", kInkAccentLight},
      {"REPLAY", kInkCostumeLight}, {"QUIT GAME?", kInkHair}, {"DEMO PLAY", kInkWhite},
      {"NONSTOP DEMO", kInkGlowB},  {"SEE YOU!", kInkGlowA},
  };
  for (int row = 0; row < atlas::kModeLabelRows; ++row) {
    Rect cell = atlas::ModeLabelCell(row);
    DrawTextCentred(s.canvas(), cell.left + cell.Width() / 2, cell.top, modes[row].text,
                    modes[row].ink);
  }
  const struct {
    const char* text;
    int face, dark;
  } turns[3] = {{"DEMO", kInkCostume, kInkCostumeDark},
                {"1ST", kInkHair, kInkHairDark},
                {"2ND", kInkAccentDark, kInkOutline}};
  for (int k = 0; k < 3; ++k) {
    Rect cell = atlas::TurnLabelCell(k);
    s.Plate(cell, turns[k].face, turns[k].face, turns[k].dark);
    DrawTextCentred(s.canvas(), cell.left + cell.Width() / 2, cell.top + 1, turns[k].text,
                    kInkWhite);
  }
}

// ---- Heads-up display ------------------------------------------------------

void DrawIconCell(Sheet& s, bool mirrored) {
  using enum RegionId;
  Rect cell = atlas::At(mirrored ? kIconCellFacingRight : kIconCellFacingLeft);
  const int x = cell.left, y = cell.top, w = cell.Width(), h = cell.Height();
  // Outer frame, then the panel, then a title band.
  s.Plate(x, y, w, h, kPanelInk, kInkCostumeLight, kInkCostumeDark);
  s.Fill(x + 2, y + 2, w - 4, 14, kInkCostumeDark);
  s.Fill(x + 2, y + 15, w - 4, 1, kInkCostume);
  auto mx = [&](int dx, int width) { return mirrored ? x + w - dx - width : x + dx; };
  DrawText(s.canvas(), mx(5, TextWidth(4)), y + 5, "STEP", kInkAccent);
  // A small spotlight dancer on the title band.
  s.Ellipse(mx(30, 5), y + 4, 5, 5, kInkSkin, kInkOutline);
  s.Line(mx(32, 1), y + 9, mx(32, 1), y + 13, kInkCostumeLight);
  // The indicator's box.
  Rect ind = atlas::At(mirrored ? kHudIndicatorB : kHudIndicatorA);
  s.Fill(ind.left - 1, ind.top - 1, ind.Width() + 2, ind.Height() + 2, kInkCostume);
  s.Fill(ind, kPanelInk);
  // Field captions beside the display places.
  auto caption = [&](RegionId place, const char* text, int ink) {
    Rect r = atlas::At(place);
    int width = TextWidth(static_cast<int>(std::string(text).size()));
    int left = mirrored ? r.right + 2 : r.left - 2 - width;
    DrawText(s.canvas(), left, r.top, text, ink);
  };
  caption(mirrored ? kHudLandingKeyB : kHudBlankColumn, "LAND", kInkCostumeLight);
  caption(mirrored ? kHudKeysB : kHudKeysA, "KEY", kInkCostumeLight);
  caption(mirrored ? kHudSlot1B : kHudSlot1A, "1P", kInkHair);
  caption(mirrored ? kHudSlot2B : kHudSlot2A, "2P", kInkCostumeLight);
  // Floor of the panel: a small level meter.
  for (int i = 0; i < 12; ++i) {
    int bar = 2 + (i * 7 % 5);
    int bx = mx(8 + i * 5, 3);
    s.Fill(bx, y + h - 6 - bar, 3, bar, i % 3 == 0 ? kInkAccent : kInkCostume);
  }
  // The display places themselves start as panel colour, and the typed
  // keys start empty.
  const RegionId places[] = {kHudBlankColumn, kHudLandingKeyA, kHudPromptA, kHudKeysA,
                             kHudSlot1A,      kHudSlot2A,      kHudSlot3A,  kHudSlot4A,
                             kHudLandingKeyB, kHudPromptB,     kHudKeysB,   kHudSlot1B,
                             kHudSlot2B,      kHudSlot3B,      kHudSlot4B};
  for (RegionId place : places) {
    Rect r = atlas::At(place);
    if (atlas::Inside(r, cell)) s.Fill(r, kPanelInk);
  }
  // Scores start at zero so that the panel reads right before any point.
  auto digits = [&](RegionId place, int count, int style, bool sign) {
    Rect r = atlas::At(place);
    int px = r.left;
    if (sign) {
      Rect sc = atlas::SignCell(false, style);
      DrawGlyph(s.canvas(), px, r.top, '+', DigitInk(style));
      (void)sc;
      px += atlas::kGlyphPitch;
    }
    for (int i = 0; i < count; ++i, px += atlas::kGlyphPitch)
      DrawGlyph(s.canvas(), px, r.top, '0', DigitInk(style));
  };
  digits(mirrored ? kHudSlot1B : kHudSlot1A, 6, 3, false);
  digits(mirrored ? kHudSlot2B : kHudSlot2A, 6, 3, false);
  digits(mirrored ? kHudSlot3B : kHudSlot3A, 4, 2, true);
  digits(mirrored ? kHudSlot4B : kHudSlot4A, 2, 1, true);
}

void DrawBadges(Sheet& s) {
  Rect loaded = atlas::At(RegionId::kBadgeLoaded), saved = atlas::At(RegionId::kBadgeSaved);
  s.Fill(loaded.left, loaded.top, loaded.Width(), loaded.Height() - 1, kInkCostume);
  s.Fill(loaded.left, loaded.bottom - 1, loaded.Width(), 1, kInkCostumeDark);
  DrawTextCentred(s.canvas(), loaded.left + loaded.Width() / 2, loaded.top, "LOAD!", kInkWhite);
  s.Fill(saved.left, saved.top, saved.Width(), saved.Height() - 1, kInkHair);
  s.Fill(saved.left, saved.bottom - 1, saved.Width(), 1, kInkHairDark);
  DrawTextCentred(s.canvas(), saved.left + saved.Width() / 2, saved.top, "SAVE!", kInkWhite);
}

// ---- Opening logo ----------------------------------------------------------

void DrawLogo(Sheet& s) {
  Rect row0 = atlas::LogoRowCell(0), row1 = atlas::LogoRowCell(1), row2 = atlas::LogoRowCell(2);
  const int scale = 3, gap = 4;
  BigInks warm{kInkAccentLight, kInkAccent, kInkAccentDark, kInkHairDark};
  BigInks cool{kInkCostumeLight, kInkCostume, kInkCostumeDark, kInkOutline};
  // Row 0: "KEL" between two stars.
  int w0 = BigTextWidth("KEL", scale, gap, "logo");
  DrawBigText(s.canvas(), row0.left + (row0.Width() - w0) / 2, row0.top + 1, "KEL", scale, gap,
              warm, "logo");
  s.Star(row0.left + 7, row0.top + 12, 6, kInkGlowA, kInkHairDark);
  s.Star(row0.right - 8, row0.top + 12, 6, kInkGlowA, kInkHairDark);
  // Row 1: "VANE".
  int w1 = BigTextWidth("VANE", scale, gap - 1, "logo");
  DrawBigText(s.canvas(), row1.left + (row1.Width() - w1) / 2, row1.top + 1, "VANE", scale, gap - 1,
              cool, "logo");
  // Row 2: a level meter dancing on a floor line.
  const int heights[] = {8, 14, 20, 12, 24, 18, 10, 22, 16, 9, 19, 13, 6};
  const int n = static_cast<int>(sizeof(heights) / sizeof(heights[0]));
  const int barW = 5, pitch = 7, left = row2.left + (row2.Width() - (n * pitch - 2)) / 2;
  for (int i = 0; i < n; ++i) {
    int top = row2.bottom - 2 - heights[i];
    for (int yy = top; yy < row2.bottom - 2; ++yy) {
      int fromTop = yy - top;
      int ink = fromTop < 3 ? kInkAccentLight : fromTop < 8 ? kInkHair : kInkCostume;
      s.Fill(left + i * pitch, yy, barW, 1, ink);
    }
    s.Fill(left + i * pitch, top, barW, 1, kInkWhite);
  }
  s.Fill(row2.left + 2, row2.bottom - 2, row2.Width() - 4, 1, kInkAccent);
  s.Fill(row2.left + 6, row2.bottom - 1, row2.Width() - 12, 1, kInkAccentDark);

  Rect cap = atlas::At(RegionId::kLogoCaption);
  s.Fill(cap.left + 4, cap.top, cap.Width() - 8, 1, kInkCostume);
  s.Fill(cap.left + 4, cap.bottom - 1, cap.Width() - 8, 1, kInkCostume);
  DrawTextCentred(s.canvas(), cap.left + cap.Width() / 2, cap.top + 1, "PRESS ANY KEY", kInkWhite);
}

// ---- Mode menu -------------------------------------------------------------

struct IconStyle {
  int face, light, dark;
};

// The frame every menu icon shares, kept inside the 45 columns shown.
void IconFrame(Sheet& s, const Rect& cell, const IconStyle& st, const char* label) {
  const int w = atlas::kMenuShownWidth - 1, h = 44;
  s.Plate(cell.left, cell.top, w, h, st.face, st.light, st.dark);
  s.Fill(cell.left + 2, cell.top + h - 10, w - 4, 8, st.dark);
  DrawTextCentred(s.canvas(), cell.left + w / 2, cell.top + h - 8, label, kInkWhite);
}

void PictureFrameIcon(Sheet& s, int x, int y, int skyInk, int hillInk) {
  s.Fill(x, y, 26, 20, kInkAccentDark);
  s.Fill(x + 2, y + 2, 22, 16, skyInk);
  s.Polygon(
      {{x + 2, y + 17}, {x + 10, y + 7}, {x + 16, y + 13}, {x + 19, y + 10}, {x + 23, y + 17}},
      hillInk);
  s.Ellipse(x + 16, y + 3, 5, 5, kInkAccentLight);
}

void Figurine(Sheet& s, int x, int y, int body, int head) {
  s.Ellipse(x, y, 7, 7, head, kInkOutline);
  s.Polygon({{x + 1, y + 17}, {x + 3, y + 8}, {x + 4, y + 8}, {x + 6, y + 17}}, body, kInkOutline);
}

void Monitor(Sheet& s, int x, int y) {
  s.Fill(x, y, 14, 11, kInkOutline);
  s.Fill(x + 1, y + 1, 12, 8, kInkGlowB);
  s.Fill(x + 5, y + 11, 4, 2, kInkOutline);
  s.Fill(x + 3, y + 13, 8, 1, kInkOutline);
  DrawText(s.canvas(), x + 2, y + 3, "CP", kInkOutline);
}

void DrawMenuIcons(Sheet& s) {
  const IconStyle blue{kInkCostume, kInkCostumeLight, kInkCostumeDark};
  const IconStyle red{kInkHair, kInkSkinLight, kInkHairDark};
  const IconStyle gold{kInkAccent, kInkAccentLight, kInkAccentDark};
  auto cell = [](int page, int col) { return atlas::MenuIconCell(page, col); };

  // Page 0: gallery, match, quit.
  Rect c = cell(0, 0);
  IconFrame(s, c, gold, "GALLERY");
  PictureFrameIcon(s, c.left + 9, c.top + 6, kInkGlowB, kInkCostumeDark);
  c = cell(0, 1);
  IconFrame(s, c, blue, "MATCH");
  Figurine(s, c.left + 8, c.top + 8, kInkHair, kInkSkin);
  Figurine(s, c.left + 29, c.top + 8, kInkAccent, kInkSkin);
  DrawText(s.canvas(), c.left + 18, c.top + 14, "VS", kInkWhite);
  c = cell(0, 2);
  IconFrame(s, c, red, "QUIT");
  s.Fill(c.left + 14, c.top + 5, 16, 24, kInkHairDark);
  s.Fill(c.left + 16, c.top + 7, 12, 22, kInkAccentDark);
  s.Fill(c.left + 25, c.top + 17, 2, 2, kInkAccentLight);
  s.Polygon({{c.left + 30, c.top + 13}, {c.left + 38, c.top + 18}, {c.left + 30, c.top + 23}},
            kInkWhite);

  // Page 1: who plays first, or two players.
  c = cell(1, 0);
  IconFrame(s, c, blue, "CPU 1ST");
  Monitor(s, c.left + 5, c.top + 8);
  Figurine(s, c.left + 30, c.top + 8, kInkHair, kInkSkin);
  DrawText(s.canvas(), c.left + 5, c.top + 26, "1", kInkAccentLight);
  c = cell(1, 1);
  IconFrame(s, c, red, "YOU 1ST");
  Figurine(s, c.left + 7, c.top + 8, kInkHair, kInkSkin);
  Monitor(s, c.left + 24, c.top + 8);
  DrawText(s.canvas(), c.left + 9, c.top + 27, "1", kInkAccentLight);
  c = cell(1, 2);
  IconFrame(s, c, gold, "2 PLAYER");
  Figurine(s, c.left + 9, c.top + 8, kInkHair, kInkSkin);
  Figurine(s, c.left + 27, c.top + 8, kInkCostume, kInkSkin);
  DrawText(s.canvas(), c.left + 9, c.top + 27, "1P", kInkWhite);
  DrawText(s.canvas(), c.left + 27, c.top + 27, "2P", kInkWhite);

  // Page 2: the match rule, one to three stars of difficulty.
  const char* rules[3] = {"NORMAL", "FREE", "HARD"};
  const IconStyle ruleStyles[3] = {blue, gold, red};
  for (int col = 0; col < 3; ++col) {
    c = cell(2, col);
    IconFrame(s, c, ruleStyles[col], rules[col]);
    if (col == 1) {
      s.Note(c.left + 12, c.top + 22, kInkWhite);
      s.Note(c.left + 24, c.top + 18, kInkWhite);
      continue;
    }
    int stars = col == 0 ? 1 : 3;
    for (int i = 0; i < stars; ++i) {
      int sx = c.left + 22 + (i - (stars - 1) / 2.0) * 12;
      s.Star(sx, c.top + 16 + (i == 1 ? -3 : 0), 6, kInkAccentLight, kInkOutline);
    }
  }

  // Page 3: the gallery's three shelves.
  c = cell(3, 0);
  IconFrame(s, c, blue, "NORMAL");
  PictureFrameIcon(s, c.left + 9, c.top + 6, kInkCostumeLight, kInkCostume);
  c = cell(3, 1);
  IconFrame(s, c, gold, "PATTERN");
  for (int yy = 0; yy < 4; ++yy)
    for (int xx = 0; xx < 5; ++xx)
      s.Fill(c.left + 7 + xx * 6, c.top + 5 + yy * 6, 5, 5, (xx + yy) % 2 ? kInkGlowB : kInkHair);
  c = cell(3, 2);
  IconFrame(s, c, red, "HARD");
  PictureFrameIcon(s, c.left + 9, c.top + 6, kInkHairDark, kInkOutline);

  // Page 4: how much the second player starts with.
  const char* heads[3] = {"2P +", "EVEN", "2P ++"};
  const int bars[3] = {1, 0, 2};
  const IconStyle headStyles[3] = {blue, gold, red};
  for (int col = 0; col < 3; ++col) {
    c = cell(4, col);
    IconFrame(s, c, headStyles[col], heads[col]);
    s.Fill(c.left + 8, c.top + 26, 28, 2, kInkWhite);  // the start line
    s.Fill(c.left + 10, c.top + 10, 6, 16, kInkHair);  // player 1
    // The head start grows upward from the start line; the tallest bar
    // still ends inside the plate, not in the icon above.
    const int lead = 4 * bars[col];
    s.Fill(c.left + 28, c.top + 10 - lead, 6, 16 + lead, kInkCostumeLight);
  }
}

// The menu's figure, a small version of the dancer, and her faces: the
// same figure redrawn with another expression, cut to the face band.
// The menu sinks the figure's column by this many rows before it lays a
// face kFaceDrop rows below the figure's top, so the face band starts that
// much higher in the figure; cut at kFaceDrop and the chin shows twice.
constexpr int kMenuColumnSink = 4;
constexpr int kFaceCutRow = atlas::kFaceDrop - kMenuColumnSink;
Pose MenuPose(int pose) {
  Pose p;
  p.v[kYaw] = 60;
  p.v[kFace] = 0;
  switch (pose) {
    case 0:  // standing
      p.v[kArmFOut] = 10;
      p.v[kArmBOut] = 10;
      break;
    case 1:  // hands on hips
      p.v[kArmFOut] = 35;
      p.v[kElbowF] = 100;
      p.v[kArmBOut] = 35;
      p.v[kElbowB] = 100;
      break;
    case 2:  // one hand up
      p.v[kArmF] = 170;
      p.v[kArmBOut] = 15;
      p.v[kLegFOut] = 8;
      break;
    case 3:  // both hands up
      p.v[kArmFOut] = 155;
      p.v[kArmBOut] = 155;
      p.v[kLegFOut] = 6;
      p.v[kLegBOut] = 6;
      break;
    case 4:  // arms spread, one knee bent
      p.v[kArmFOut] = 75;
      p.v[kElbowF] = 20;
      p.v[kArmBOut] = 60;
      p.v[kLegF] = 25;
      p.v[kKneeF] = 45;
      break;
    default:  // a dance step
      p.v[kArmF] = 130;
      p.v[kElbowF] = 40;
      p.v[kArmB] = -40;
      p.v[kLegF] = 35;
      p.v[kKneeF] = 60;
      p.v[kFlare] = 30;
      p.v[kHair] = 20;
      break;
  }
  return p;
}

void DrawMenuFigures(Sheet& s) {
  for (int pose = 0; pose < atlas::kMenuPoses; ++pose) {
    Rect cell = atlas::MenuFigureCell(pose);
    const int shown = atlas::kMenuShownWidth;
    CellBox box{0, 0, shown, cell.Height(), cell.Height() - 1};
    QImage body = NewInkCanvas(shown, cell.Height());
    DrawFigure(body, MenuPose(pose), box);
    for (int y = 0; y < body.height(); ++y)
      for (int x = 0; x < shown; ++x) s.Pixel(cell.left + x, cell.top + y, qRed(body.pixel(x, y)));

    for (int f = 0; f < atlas::kMenuFaceCount; ++f) {
      Pose p = MenuPose(pose);
      p.v[kFace] = f == 1 ? 0 : 1;
      QImage redrawn = NewInkCanvas(shown, cell.Height());
      DrawFigure(redrawn, p, box);
      Rect face = atlas::MenuFaceCell(f, pose);
      for (int y = 0; y < face.Height(); ++y)
        for (int x = 0; x < shown; ++x) {
          int ink = qRed(redrawn.pixel(x, y + kFaceCutRow));
          s.Pixel(face.left + x, face.top + y, ink);
        }
      // Each face adds its own flourish beside the head.
      int hx = face.left + 6, hy = face.top + 6;
      switch (f) {
        case 0:
          s.Sparkle(hx, hy, 2, kInkGlowA);
          break;
        case 1:
          s.Note(hx, hy + 4, kInkGlowB);
          break;
        case 3:
          s.Sparkle(hx, hy, 2, kInkGlowB);
          s.Sparkle(face.left + 38, hy + 2, 2, kInkGlowB);
          break;
        case 4:
          s.Star(hx + 1, hy + 1, 4, kInkGlowA);
          s.Star(face.left + 38, hy + 3, 3, kInkGlowA);
          break;
        default:
          break;
      }
    }
  }
}

void DrawMenuCaptionAndCursor(Sheet& s) {
  Rect cap = atlas::At(RegionId::kMenuCaption);
  s.Fill(cap.left, cap.top, 1, cap.Height(), kInkCostume);
  s.Fill(cap.right - 1, cap.top, 1, cap.Height(), kInkCostume);
  DrawText(s.canvas(), cap.left + 3, cap.top, "Y:OK", kInkAccentLight);
  DrawText(s.canvas(), cap.left + 28, cap.top, "N:BACK", kInkHair);
  DrawText(s.canvas(), cap.left + 63, cap.top, "C:COL", kInkGlowB);
  DrawPattern(s.canvas(), cap.left + 3, cap.top + 6, kKeyPatterns[0], kInkWhite);
  DrawPattern(s.canvas(), cap.left + 8, cap.top + 6, kKeyPatterns[2], kInkWhite);
  DrawText(s.canvas(), cap.left + 13, cap.top + 6, ":POSE", kInkWhite);
  DrawPattern(s.canvas(), cap.left + 48, cap.top + 6, kKeyPatterns[1], kInkWhite);
  DrawPattern(s.canvas(), cap.left + 53, cap.top + 6, kKeyPatterns[3], kInkWhite);
  DrawText(s.canvas(), cap.left + 58, cap.top + 6, ":MOVE", kInkWhite);

  Rect m = atlas::At(RegionId::kMenuCursorMark);
  for (int y = 0; y < m.Height(); ++y) {
    int half = 2 + 3 * y;
    int ink = y == 0 ? kInkWhite : y < 3 ? kInkAccent : kInkAccentDark;
    s.Fill(m.left + m.Width() / 2 - half, m.top + y, 2 * half + 1, 1, ink);
  }
}

// ---- Match result ------------------------------------------------------------

void DrawResult(Sheet& s) {
  for (bool p2 : {false, true})
    for (bool course : {false, true}) {
      Rect plate = atlas::ResultPlateCell(p2, course);
      const int face = p2 ? kInkCostumeDark : kInkHairDark;
      const int light = p2 ? kInkCostumeLight : kInkHair;
      s.Plate(plate, face, light, kInkOutline);
      s.Fill(plate.left + 3, plate.top + 3, plate.Width() - 6, 18, light);
      DrawTextCentred(s.canvas(), plate.left + plate.Width() / 2, plate.top + 5, p2 ? "2P" : "1P",
                      kInkWhite);
      DrawTextCentred(s.canvas(), plate.left + plate.Width() / 2, plate.top + 13,
                      course ? "LEVEL UP!" : "WINNER!", kInkAccentLight);
      // A trophy, or a crown for a course win.
      int cx = plate.left + plate.Width() / 2;
      if (course) {
        s.Polygon({{cx - 14, plate.top + 44},
                   {cx - 14, plate.top + 28},
                   {cx - 7, plate.top + 36},
                   {cx, plate.top + 25},
                   {cx + 7, plate.top + 36},
                   {cx + 14, plate.top + 28},
                   {cx + 14, plate.top + 44}},
                  kInkAccent, kInkAccentDark);
        for (int i = -1; i <= 1; ++i) s.Ellipse(cx + 7 * i - 1, plate.top + 39, 3, 3, kInkGlowB);
      } else {
        s.Ellipse(cx - 10, plate.top + 25, 21, 14, kInkAccent, kInkAccentDark);
        s.Fill(cx - 2, plate.top + 38, 5, 5, kInkAccentDark);
        s.Fill(cx - 7, plate.top + 43, 15, 3, kInkAccent);
        s.Sparkle(cx - 5, plate.top + 29, 1, kInkAccentLight);
      }
      // Score windows: the game copies both scores in from the panel.
      for (int score : {1, 2}) {
        Rect label = atlas::ResultScoreLabelPlace(p2, course, score);
        s.Fill(label.left - 1, label.top - 1, label.Width() + 2, label.Height() + 2,
               kInkAccentDark);
        s.Fill(label, kPanelInk);
        DrawText(s.canvas(), label.left - 12, label.top, score == 1 ? "1P" : "2P", kInkWhite);
      }
      for (int i = 0; i < 5; ++i)
        s.Star(plate.left + 12 + i * 14, plate.bottom - 10, 3, kInkAccent);
    }

  for (bool p2 : {false, true})
    for (bool course : {false, true})
      for (int b = 0; b < 3; ++b) {
        Rect cell = atlas::ResultBlinkCell(p2, course, b);
        int cx = cell.left + cell.Width() / 2, cy = cell.top + cell.Height() / 2;
        int ink = course ? kInkAccentLight : kInkWhite;
        if (b == 0) {
          s.Sparkle(cx, cy, 2, ink);
        } else {
          s.Star(cx, cy, b == 1 ? 5 : 7, ink, course ? kInkAccentDark : kInkCostume);
          if (b == 2) s.Pixel(cx, cy, kInkGlowA);
        }
      }
}

// ---- Record slots ----------------------------------------------------------

struct RowInks {
  int face, light, dark, text;
};
// Label rows: -1 none, 0 an own record, 1 a foreign record or empty slot.
RowInks SlotRowInks(int row) {
  if (row < 0) return {kInkOutline, kInkCostumeDark, kInkBlack, kInkCostumeLight};
  if (row == 0) return {kInkAccentDark, kInkAccent, kInkOutline, kInkAccentLight};
  return {kInkCostumeDark, kInkCostume, kInkOutline, kInkGlowB};
}

void DrawSlots(Sheet& s) {
  Rect body = atlas::At(RegionId::kSlotPanelBody), top = atlas::At(RegionId::kSlotPanelTop);
  // The body is a slice meant to be stretched downwards under the top.
  s.Fill(body, kPanelInk);
  s.Fill(body.left, body.top, 2, body.Height(), kInkCostume);
  s.Fill(body.right - 2, body.top, 2, body.Height(), kInkCostumeDark);
  s.Plate(top.left, top.top, top.Width(), top.Height(), kPanelInk, kInkCostumeLight,
          kInkCostumeDark);
  s.Fill(top.left + 3, top.top + 3, top.Width() - 6, 7, kInkCostume);
  for (int x = 6; x < top.Width() - 8; x += 12) s.Note(top.left + x, top.top + 8, kInkAccentLight);
  s.Fill(top.left + 3, top.top + top.Height() - 4, top.Width() - 6, 1, kInkCostume);

  for (int row = -1; row <= 1; ++row) {
    RowInks k = SlotRowInks(row);
    Rect label = atlas::SlotClosedLabelCell(row);
    s.Plate(label, k.face, k.light, k.dark);
    DrawText(s.canvas(), label.left + 2, label.top + 1, "NO", k.text);
    s.Pixel(label.left + 12, label.top + 5, k.text);
    for (int n = 1; n <= 9; ++n) {
      Rect d = atlas::SlotDigitCell(n, row);
      s.Fill(d, k.face);
      DrawGlyph(s.canvas(), d.left + 1, d.top, static_cast<char>('0' + n), kInkWhite);
    }
  }
  // The cursor: a down arrow near the middle of its strip, which bobs as
  // the game reads the strip at four heights.
  Rect cur = atlas::At(RegionId::kSlotCursorMarks);
  s.Fill(cur.left, cur.top + 3, 5, 1, kInkAccentLight);
  s.Fill(cur.left + 1, cur.top + 4, 3, 1, kInkAccent);
  s.Pixel(cur.left + 2, cur.top + 5, kInkAccentDark);
  // The erase cell stays black.

  for (int mark = -1; mark <= 1; ++mark) {
    Rect plate = atlas::SlotLabelPlateCell(mark);
    int face = mark > 0 ? kInkAccent : mark < 0 ? kInkCostumeDark : kInkCostume;
    s.Plate(plate, face, mark > 0 ? kInkAccentLight : kInkCostumeLight, kInkOutline);
    if (mark > 0)
      DrawTextCentred(s.canvas(), plate.left + plate.Width() / 2, plate.top + 1, "WIN",
                      kInkHairDark);
    if (mark < 0)
      DrawTextCentred(s.canvas(), plate.left + plate.Width() / 2, plate.top + 1, "LOSE",
                      kInkCostumeLight);
    if (mark == 0) s.Note(plate.left + plate.Width() / 2 - 2, plate.top + 5, kInkWhite);
    for (int phase = 0; phase < 2; ++phase) {
      if (mark == 0) continue;  // no result: nothing to blink
      Rect m = atlas::SlotResultMarkCell(mark, phase);
      int ink =
          mark > 0 ? (phase ? kInkAccentLight : kInkGlowA) : (phase ? kInkCostumeLight : kInkGlowB);
      DrawTextCentred(s.canvas(), m.left + m.Width() / 2, m.top + 1, mark > 0 ? "WIN" : "LOSE",
                      ink);
      if (phase) s.Fill(m.left, m.bottom - 1, m.Width(), 1, ink);
    }
  }
}

// ---- Music menu ------------------------------------------------------------

void DrawMusicPanel(Sheet& s) {
  Rect panel = atlas::At(RegionId::kMusicPanel);
  s.Plate(panel, kPanelInk, kInkCostume, kInkCostumeDark);
  DrawText(s.canvas(), panel.left + 2, panel.top + 2, "BGM", kInkAccentLight);
  // Lamp colours, read by the game as single pixels, shown as a tiny key.
  Rect off = atlas::At(RegionId::kMusicLampOff), on = atlas::At(RegionId::kMusicLampOn);
  s.Pixel(off.left, off.top, kInkHairDark);
  s.Pixel(on.left, on.top, kInkGlowA);
  s.Pixel(off.left, off.top - 1, kInkCostumeDark);
  s.Pixel(on.left, on.bottom, kInkCostumeDark);
  // The lamp's socket, where the game paints the lamp.
  s.Fill(panel.left + 25, panel.top + 1, 5, 5, kInkCostumeDark);
  s.Fill(panel.left + 26, panel.top + 2, 3, 3, kInkHairDark);
  DrawText(s.canvas(), panel.left + 2, panel.top + 9, "PLAY", kInkCostumeLight);

  // Items: start, previous, next, preview, stop, next source. Row 287 stays
  // black so that a pressed item sinks by one pixel.
  const char* const kItemTags[atlas::kMusicItems] = {"GO", "", "", "", "", ""};
  for (int i = 0; i < atlas::kMusicItems; ++i) {
    Rect item = atlas::MusicItemCell(i);
    int face = i == 0 ? kInkHair : kInkCostume;
    s.Plate(item, face, i == 0 ? kInkSkinLight : kInkCostumeLight, kInkOutline);
    int cx = item.left + item.Width() / 2, cy = item.top + item.Height() / 2;
    switch (i) {
      case 0:
        DrawTextCentred(s.canvas(), cx, cy - 2, kItemTags[0], kInkWhite);
        break;
      case 1:
        s.Polygon({{cx, cy - 4}, {cx - 5, cy}, {cx, cy + 4}}, kInkWhite);
        s.Polygon({{cx + 5, cy - 4}, {cx, cy}, {cx + 5, cy + 4}}, kInkWhite);
        break;
      case 2:
        s.Polygon({{cx - 5, cy - 4}, {cx, cy}, {cx - 5, cy + 4}}, kInkWhite);
        s.Polygon({{cx, cy - 4}, {cx + 5, cy}, {cx, cy + 4}}, kInkWhite);
        break;
      case 3:
        s.Polygon({{cx - 3, cy - 5}, {cx + 4, cy}, {cx - 3, cy + 5}}, kInkGlowA);
        break;
      case 4:
        s.Fill(cx - 4, cy - 4, 8, 8, kInkWhite);
        break;
      default:
        break;  // the source label is copied in by the game
    }
  }
  // The source labels, as wide as the item they are copied into, with its
  // edges so the item keeps its frame.
  const char* sources[3] = {"LIST", "MIDI", "CD"};
  for (int src = -1; src <= 1; ++src) {
    Rect l = atlas::MusicSourceLabelCell(src);
    s.Fill(l, kInkCostume);
    s.Fill(l.left, l.top, 1, l.Height(), kInkCostumeLight);
    s.Fill(l.right - 1, l.top, 1, l.Height(), kInkOutline);
    DrawTextCentred(s.canvas(), l.left + l.Width() / 2 + 1, l.top, sources[src + 1],
                    kInkAccentLight);
  }
  Rect place = atlas::At(RegionId::kMusicSourcePlace);
  Rect first = atlas::MusicSourceLabelCell(0);
  for (int y = 0; y < place.Height(); ++y)
    for (int x = 0; x < place.Width(); ++x)
      s.Pixel(place.left + x, place.top + y, s.At(first.left + x, first.top + y));

  // Tune number and count: "00/00" under a caption.
  Rect t = atlas::At(RegionId::kMusicTrackDigits);
  s.Plate(t, kPanelInk, kInkCostume, kInkCostumeDark);
  DrawTextCentred(s.canvas(), t.left + t.Width() / 2, t.top + 1, "TUNE", kInkCostumeLight);
  Rect idx = atlas::At(RegionId::kMusicIndexDigits), cnt = atlas::At(RegionId::kMusicCountDigits);
  for (Rect r : {idx, cnt}) {
    s.Fill(r, kPanelInk);
    DrawText(s.canvas(), r.left, r.top, "00", DigitInk(atlas::kMusicDigitStyle));
  }
  // A slash between them, in the one free column pair.
  s.Pixel(idx.right + 2, idx.top + 1, kInkCostumeLight);
  s.Pixel(idx.right + 2, idx.top + 2, kInkCostumeLight);
  s.Pixel(idx.right + 1, idx.top + 3, kInkCostumeLight);
  s.Pixel(idx.right + 1, idx.top + 4, kInkCostumeLight);
}

// Every place the game writes into at run time must start non-black: the
// mask is made once from the picture, so a black place would stay
// transparent and the numbers would float over the backdrop.
void CheckWrittenPlacesAreOpaque(Sheet& s) {
  for (atlas::RegionId id : atlas::kWrittenPlaces) {
    Rect r = atlas::At(id);
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (s.At(x, y) == kInkBlack)
          throw ForgeError{"Y_.bmp: '" + std::string(atlas::Get(id).name) +
                           "' has a black pixel at (" + std::to_string(x) + ", " +
                           std::to_string(y) + "); it would show the backdrop"};
  }
}

void WriteMainPicture(Forge& f) {
  CheckAtlasOrThrow();
  QImage canvas = NewInkCanvas(atlas::kSheetWidth, atlas::kSheetHeight);
  Sheet s(canvas);
  DrawFont(s);
  DrawBanner(s);
  DrawModeAndTurnLabels(s);
  DrawIconCell(s, false);
  DrawIconCell(s, true);
  DrawBadges(s);
  DrawLogo(s);
  DrawMenuIcons(s);
  DrawMenuFigures(s);
  DrawMenuCaptionAndCursor(s);
  DrawResult(s);
  DrawSlots(s);
  DrawMusicPanel(s);
  CheckWrittenPlacesAreOpaque(s);

  std::string indexes = InkIndexes(canvas, "Y_.bmp");
  f.WriteFile("Y_.bmp", EncodeBmp4(canvas.width(), canvas.height(), indexes, kPalettes[1]));
  QImage colour = InkToColour(canvas, kPalettes[1]);
  f.AddToSheet("Y_.bmp (main picture, scheme 0)", colour);
  f.AddToSheet("Y_.bmp scheme 1", InkToColour(canvas, kPalettes[2]));
  f.AddToSheet("Y_.bmp x2 (left half)", colour.copy(0, 0, 320, 400).scaled(640, 800));
  f.AddToSheet("Y_.bmp x2 (right half)", colour.copy(320, 0, 320, 400).scaled(640, 800));
}

}  // namespace

FORGE_WRITER("Y_.bmp", WriteMainPicture);

}  // namespace forge
