// Effect bitmaps beside the dancer (sets 11 and 12: sparkles, rings, notes,
// beams, hearts) and the tile bitmaps laid over the backdrop (set 1).
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "tools/forge/dancer_catalogue.h"
#include "tools/forge/forge.h"
#include "tools/forge/indexed_picture.h"

namespace forge {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A small deterministic generator, so every forge run gives the same bytes.
struct Dice {
  uint32_t s;
  int Below(int n) {
    s = s * 1664525u + 1013904223u;
    return static_cast<int>((s >> 8) % static_cast<uint32_t>(n));
  }
};

void Brush(QPainter& g, int ink) {
  g.setPen(Qt::NoPen);
  g.setBrush(Ink(ink));
}

void Star(QPainter& g, QPointF c, double r, int points, int ink, int coreInk, double turn = 0) {
  QPolygonF shape;
  for (int i = 0; i < 2 * points; ++i) {
    double a = turn + kPi * i / points - kPi / 2;
    double rr = i % 2 == 0 ? r : r * (points == 4 ? 0.28 : 0.45);
    shape << c + QPointF(std::cos(a) * rr, std::sin(a) * rr);
  }
  Brush(g, ink);
  g.drawPolygon(shape);
  if (r >= 5) {
    Brush(g, coreInk);
    g.drawEllipse(c, r * 0.18 + 0.8, r * 0.18 + 0.8);
  }
}

void Ring(QPainter& g, QPointF c, double rx, double ry, int width, int ink) {
  g.setPen(QPen(Ink(ink), width));
  g.setBrush(Qt::NoBrush);
  g.drawEllipse(c, rx, ry);
}

void Note(QPainter& g, QPointF c, double size, int ink, bool twin) {
  Brush(g, ink);
  g.drawEllipse(c, size * 0.55, size * 0.4);
  g.setPen(QPen(Ink(ink), std::max(1.0, size / 5)));
  QPointF stemTop = c + QPointF(size * 0.5, -size * 1.8);
  g.drawLine(c + QPointF(size * 0.5, 0), stemTop);
  if (twin) {
    Brush(g, ink);
    g.drawEllipse(c + QPointF(size * 1.6, -size * 0.3), size * 0.55, size * 0.4);
    g.setPen(QPen(Ink(ink), std::max(1.0, size / 5)));
    g.drawLine(c + QPointF(size * 2.1, -size * 0.3), stemTop + QPointF(size * 1.6, -size * 0.3));
    g.setPen(QPen(Ink(ink), std::max(2.0, size / 3)));
    g.drawLine(stemTop, stemTop + QPointF(size * 1.6, -size * 0.3));
  } else {
    g.drawLine(stemTop, stemTop + QPointF(size * 0.7, size * 0.6));
  }
}

void Heart(QPainter& g, QPointF c, double r, int ink) {
  QPainterPath h;
  h.moveTo(c + QPointF(0, r));
  h.cubicTo(c + QPointF(-r * 1.6, -r * 0.2), c + QPointF(-r * 0.6, -r * 1.4),
            c + QPointF(0, -r * 0.4));
  h.cubicTo(c + QPointF(r * 0.6, -r * 1.4), c + QPointF(r * 1.6, -r * 0.2), c + QPointF(0, r));
  Brush(g, ink);
  g.drawPath(h);
}

// A light beam slanting up and away from the dancer (drawn for the left side).
void Beam(QPainter& g, double t, int ink, int coreInk) {
  double spread = 6 + 20 * t;
  QPolygonF b;
  b << QPointF(92, 70) << QPointF(4, 8 + spread * 0.2) << QPointF(4, 8 + spread) << QPointF(92, 76);
  Brush(g, ink);
  g.drawPolygon(b);
  g.setPen(QPen(Ink(coreInk), 2));
  g.drawLine(QPointF(90, 72), QPointF(6, 10 + spread * 0.6));
}

// A curved swoosh of motion lines.
void Swoosh(QPainter& g, double t, int ink, int tipInk) {
  for (int i = 0; i < 3; ++i) {
    QPainterPath arc;
    double r = 26 + i * 8;
    arc.arcMoveTo(QRectF(48 - r, 44 - r, 2 * r, 2 * r), 200 - 40 * t);
    arc.arcTo(QRectF(48 - r, 44 - r, 2 * r, 2 * r), 200 - 40 * t, 110);
    g.setPen(QPen(Ink(i == 1 ? tipInk : ink), 3 - i, Qt::SolidLine, Qt::RoundCap));
    g.setBrush(Qt::NoBrush);
    g.drawPath(arc);
  }
}

void SpeedLines(QPainter& g, Dice& d, int ink) {
  for (int i = 0; i < 7; ++i) {
    double y = 10 + i * 9 + d.Below(4);
    double x0 = 8 + d.Below(30), len = 30 + d.Below(40);
    g.setPen(QPen(Ink(i % 3 == 0 ? kInkWhite : ink), i % 2 + 1));
    g.drawLine(QPointF(x0, y), QPointF(std::min(94.0, x0 + len), y));
  }
}

void SparkleCluster(QPainter& g, Dice& d, int count, double scale, int ink, int ink2) {
  for (int i = 0; i < count; ++i) {
    QPointF c(12 + d.Below(72), 10 + d.Below(60));
    double r = (3 + d.Below(8)) * scale;
    Star(g, c, r, 4, i % 2 ? ink : ink2, kInkWhite);
  }
}

void Dust(QPainter& g, double t, int ink) {
  // Puffs along the lower part of the cell (rows 45..79 are used).
  for (int i = 0; i < 5; ++i) {
    double x = 10 + i * 18 + t * 6, r = 4 + 3 * std::sin(i + t * 3) + 4 * t;
    Brush(g, i % 2 ? ink : kInkWhite);
    g.drawEllipse(QPointF(x, 72 - r * 0.6), r, r * 0.7);
  }
}

// One cell of set 11, drawn into the 96 x 80 box at the origin.
void DrawEffectA(QPainter& g, int cell) {
  Dice d{static_cast<uint32_t>(cell * 7919 + 11)};
  if (cell < 18) {
    SparkleCluster(g, d, 2 + cell % 5, 1.0 + (cell % 3) * 0.35, kInkGlowA, kInkGlowB);
    Star(g, QPointF(30 + (cell % 4) * 10, 40), 10 + cell % 6, cell % 3 == 0 ? 5 : 4, kInkWhite,
         kInkGlowA);
  } else if (cell < 27) {
    double t = (cell - 18) / 8.0;
    Ring(g, QPointF(48, 40), 6 + 40 * t, 4 + 30 * t, t < 0.5 ? 3 : 2,
         t < 0.6 ? kInkGlowB : kInkAccentLight);
    Ring(g, QPointF(48, 40), 3 + 26 * t, 2 + 20 * t, 1, kInkWhite);
  } else if (cell < 97) {
    int pair = (cell - 27) / 2;
    double t = (pair % 5) / 4.0;
    switch (pair / 5) {
      case 0:
        Beam(g, t, kInkGlowA, kInkWhite);
        break;
      case 1:
        Beam(g, t, kInkGlowB, kInkWhite);
        break;
      case 2:
        Swoosh(g, t, kInkGlowB, kInkWhite);
        break;
      case 3:
        Swoosh(g, t, kInkGlowA, kInkAccentLight);
        break;
      case 4:
        SpeedLines(g, d, kInkGlowB);
        break;
      case 5:
        Note(g, QPointF(24 + 10 * t, 60 - 30 * t), 8, kInkGlowA, false);
        Note(g, QPointF(56 - 6 * t, 40 - 20 * t), 7, kInkGlowB, true);
        break;
      default:
        Heart(g, QPointF(30 + 8 * t, 50 - 20 * t), 8 + 4 * t, kInkGlowA);
        Heart(g, QPointF(66 - 4 * t, 30 + 6 * t), 6, kInkAccentLight);
        break;
    }
  } else if (cell < 108) {
    int k = cell - 97;
    Note(g, QPointF(20 + (k % 4) * 14, 64 - k * 4), 7 + k % 3, k % 2 ? kInkGlowA : kInkGlowB,
         k % 3 == 1);
    Note(g, QPointF(60 + (k % 3) * 6, 50 - (k % 5) * 5), 6, kInkWhite, false);
  } else if (cell < 110) {
    Swoosh(g, 0.5, kInkGlowA, kInkWhite);
  } else if (cell == 110) {
    for (int i = 0; i < 12; ++i) {
      double a = kPi * i / 6;
      g.setPen(QPen(Ink(i % 2 ? kInkGlowA : kInkWhite), 2));
      g.drawLine(QPointF(48, 40) + QPointF(std::cos(a), std::sin(a)) * 10,
                 QPointF(48, 40) + QPointF(std::cos(a), std::sin(a)) * 36);
    }
    Star(g, QPointF(48, 40), 14, 5, kInkGlowA, kInkWhite);
  } else if (cell <= 113) {
    // Short effects: only the top 36 rows are shown.
    for (int i = 0; i < 6; ++i)
      Star(g, QPointF(10 + i * 15, 10 + (i * 7 + cell) % 20), 4 + i % 3, 4,
           i % 2 ? kInkGlowB : kInkWhite, kInkWhite);
  } else {
    // Floor effects: only rows 45..79 are shown.
    Dust(g, (cell - 114) / 2.0, cell == 115 ? kInkGlowA : kInkAccentLight);
  }
}

// Cells that the mirrored effect table swaps with another: drawn as its mirror.
int MirrorTwin(int cell) {
  if (cell == 6) return 2;
  if (cell == 5) return 3;
  if (cell >= 28 && cell <= 96 && cell % 2 == 0) return cell - 1;
  if (cell == 109) return 108;
  return -1;
}

// One cell of set 12: twelve six-frame animations.
void DrawEffectB(QPainter& g, int cell) {
  int anim = cell / 6;
  double t = (cell % 6) / 5.0;
  Dice d{static_cast<uint32_t>(anim * 131 + 7)};
  QPointF c(48, 40);
  switch (anim % 12) {
    case 0:
      for (int i = 0; i < 8; ++i) {
        double a = kPi * i / 4 + 0.3;
        Star(g, c + QPointF(std::cos(a), std::sin(a)) * (6 + 30 * t), 7 - 3 * t, 4,
             i % 2 ? kInkGlowA : kInkWhite, kInkWhite);
      }
      break;
    case 1:
      Ring(g, c, 8 + 38 * t, 6 + 30 * t, 3, kInkGlowB);
      if (t > 0.2) Ring(g, c, 4 + 30 * (t - 0.2), 3 + 24 * (t - 0.2), 2, kInkWhite);
      break;
    case 2:
      Note(g, QPointF(30 + 8 * std::sin(t * 6), 70 - 50 * t), 8, kInkGlowA, false);
      Note(g, QPointF(58 - 6 * std::sin(t * 5), 76 - 40 * t), 7, kInkGlowB, true);
      break;
    case 3:
      Heart(g, c, 4 + 14 * std::sin(t * kPi * 0.8), kInkGlowA);
      if (t > 0.4) Heart(g, c, 4 + 8 * t, kInkWhite);
      break;
    case 4:
      Beam(g, t, kInkGlowB, kInkWhite);
      break;
    case 5:
      for (int i = 0; i < 16; ++i) {
        QPointF p(8 + d.Below(80), 4 + d.Below(30) + 40 * t);
        Brush(g, i % 2 == 0 ? kInkGlowA : (i % 3 ? kInkGlowB : kInkAccentLight));
        g.drawRect(QRectF(p, QSizeF(3, 2 + i % 2)));
      }
      break;
    case 6:
      Star(g, c, 10 + 20 * t, 5, kInkGlowA, kInkWhite, t * kPi);
      break;
    case 7:
      for (int i = 0; i < 3; ++i) {
        g.setPen(QPen(Ink(i == 1 ? kInkWhite : kInkGlowB), 3 - i));
        double x = 20 + i * 26 + 6 * t;
        g.drawPolyline(QPolygonF() << QPointF(x, 4) << QPointF(x + 8, 30 + 10 * t)
                                   << QPointF(x - 4, 40) << QPointF(x + 6, 76));
      }
      break;
    case 8:
      for (int i = 0; i < 7; ++i) {
        double y = 76 - std::fmod(i * 11 + 60 * t, 72);
        Ring(g, QPointF(16 + i * 11, y), 3 + i % 3, 3 + i % 3, 1, i % 2 ? kInkGlowB : kInkWhite);
      }
      break;
    case 9:
      for (int i = 0; i < 6; ++i) {
        QPointF p(12 + i * 14 + 8 * t, 8 + std::fmod(i * 13 + 60 * t, 64));
        Brush(g, i % 2 ? kInkAccentLight : kInkGlowA);
        g.drawEllipse(p, 4, 2.5);
      }
      break;
    case 10:
      Swoosh(g, t, kInkGlowA, kInkWhite);
      break;
    default:
      SparkleCluster(g, d, 3 + static_cast<int>(t * 5), 0.8 + t * 0.6, kInkGlowB, kInkGlowA);
      break;
  }
}

void DrawTile(QPainter& g, int tile) {
  int family = tile / 4, variant = tile % 4;
  const int inks[4] = {kInkCostume, kInkAccent, kInkGlowB, kInkHair};
  int ink = inks[variant], ink2 = inks[(variant + 1) % 4];
  QPointF c(32, 40);
  switch (family % 10) {
    case 0:
      Star(g, c, 22, 5, ink, ink2, variant * 0.3);
      break;
    case 1: {
      QPolygonF dia;
      dia << QPointF(32, 6) << QPointF(60, 40) << QPointF(32, 74) << QPointF(4, 40);
      Brush(g, ink);
      g.drawPolygon(dia);
      Brush(g, ink2);
      g.drawEllipse(c, 6 + variant * 2, 6 + variant * 2);
      break;
    }
    case 2:
      Heart(g, c, 16, ink);
      break;
    case 3:
      Note(g, QPointF(22, 56), 10, ink, variant % 2 == 1);
      break;
    case 4:
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 4; ++x)
          if ((x + y + variant) % 2 == 0) {
            Brush(g, ink);
            g.drawRect(QRectF(x * 16, y * 16, 16, 16));
          }
      break;
    case 5:
      for (int i = 0; i < 4; ++i) Ring(g, c, 6 + i * 7, 6 + i * 7, 2, i % 2 ? ink : ink2);
      break;
    case 6:
      for (int i = 0; i < 6; ++i) {
        g.setPen(QPen(Ink(i % 2 ? ink : ink2), 4));
        g.drawLine(QPointF(-10 + i * 16 + variant * 4, 80), QPointF(10 + i * 16 + variant * 4, 0));
      }
      break;
    case 7:
      for (int i = 0; i < 5; ++i) {
        double a = 2 * kPi * i / 5 + variant * 0.4;
        Brush(g, ink);
        g.drawEllipse(c + QPointF(std::cos(a), std::sin(a)) * 12, 9, 9);
      }
      Brush(g, ink2);
      g.drawEllipse(c, 6, 6);
      break;
    case 8:
      g.setPen(QPen(Ink(ink), 4));
      g.drawPolyline(QPolygonF() << QPointF(0, 20 + variant * 8) << QPointF(16, 4 + variant * 8)
                                 << QPointF(32, 20 + variant * 8) << QPointF(48, 4 + variant * 8)
                                 << QPointF(64, 20 + variant * 8));
      g.setPen(QPen(Ink(ink2), 4));
      g.drawPolyline(QPolygonF() << QPointF(0, 60) << QPointF(16, 44) << QPointF(32, 60)
                                 << QPointF(48, 44) << QPointF(64, 60));
      break;
    default:
      for (int i = 0; i < 6; ++i)
        Star(g, QPointF(10 + (i % 3) * 22, 18 + (i / 3) * 40 + variant * 3), 7, 4,
             i % 2 ? ink : ink2, kInkWhite);
      break;
  }
}

QImage MirrorCell(const QImage& cell) {
  return cell.mirrored(true, false);
}

void EmitBitmap(Forge& f, int set, int slot, const QImage& canvas) {
  std::string name = PictureFile(set, slot);
  f.WriteFile(name,
              EncodeBmp4(canvas.width(), canvas.height(), InkIndexes(canvas, name), kPalettes[1]));
  f.AddToSheet(name + " (set " + std::to_string(set) + ")", InkToColour(canvas, kPalettes[1]));
}

void WriteEffectSet(Forge& f, int set, int slotCount, void (*draw)(QPainter&, int), bool twins) {
  const SheetGeometry& g = EffectSheet();
  for (int slot = 0; slot < slotCount; ++slot) {
    QImage canvas = NewInkCanvas(g.columns * g.w, g.cells / g.columns * g.h);
    for (int j = 0; j < g.cells; ++j) {
      int cell = slot * g.cells + j;
      QImage one = NewInkCanvas(g.w, g.h);
      int twin = twins ? MirrorTwin(cell) : -1;
      {
        QPainter p(&one);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setClipRect(0, 0, g.w, g.h);
        draw(p, twin >= 0 ? twin : cell);
      }
      if (twin >= 0) one = MirrorCell(one);
      QPainter p(&canvas);
      p.drawImage((j % g.columns) * g.w, (j / g.columns) * g.h, one);
    }
    EmitBitmap(f, set, slot, canvas);
  }
}

void WriteTiles(Forge& f) {
  const SheetGeometry& g = BodySheet(kTileSet);
  for (int slot = 0; slot < kTileSlots; ++slot) {
    QImage canvas = NewInkCanvas(g.columns * g.w, g.cells / g.columns * g.h);
    for (int j = 0; j < g.cells; ++j) {
      QPainter p(&canvas);
      p.setRenderHint(QPainter::Antialiasing, false);
      p.translate((j % g.columns) * g.w, (j / g.columns) * g.h);
      p.setClipRect(0, 0, g.w, 80);  // a tile is the top 80 rows of its cell
      DrawTile(p, slot * g.cells + j);
    }
    EmitBitmap(f, kTileSet, slot, canvas);
  }
}

void WriteEffectPictures(Forge& f) {
  WriteEffectSet(f, kEffectSetA, kEffectSlotsA, DrawEffectA, true);
  WriteEffectSet(f, kEffectSetB, kEffectSlotsB, DrawEffectB, false);
  WriteTiles(f);
}

}  // namespace

FORGE_WRITER("effect-pictures", WriteEffectPictures);

}  // namespace forge
