// The scenery: numbered backdrops "X<n>.bmp" and the default backdrop
// "Y_e01.bmp" (four 320 x 240 frames of a loop in a 2 x 2 grid), the level
// pictures "Y_e1nn.bmp" / "Y_e3nn.bmp" (a row of 214 x 160 frames), and the
// wallpapers "X_bnn.jpg" (640 x 480) and "X_snn.jpg" (320 x 240). All are
// painted procedurally; nothing depends on fonts or the clock.
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "tools/forge/forge.h"
#include "tools/forge/paint.h"
#include "tools/forge/palette_colours.h"

namespace forge {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kLoopFrames = 4;

// The numbered backdrops the game can ask for: the command and random
// choices reach 0..7, the "H=" step values 0..9.
constexpr int kBackdropFiles = std::max(kNumberedBackdrops, 10);
constexpr int kLevelPictures = 5;
constexpr int kWallpapers = 3;

// What a scene painter gets: the frame size, the loop phase 0..1 and a
// variant that picks its colours.
struct Frame {
  int w, h;
  double phase;
  int variant;
};
using ScenePainter = std::function<void(QPainter&, const Frame&)>;

QColor Mix(const QColor& a, const QColor& b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t,
                          a.greenF() + (b.greenF() - a.greenF()) * t,
                          a.blueF() + (b.blueF() - a.blueF()) * t);
}

void VerticalGradient(QPainter& p, const QRectF& r,
                      std::initializer_list<std::pair<double, QColor>> stops) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  for (const auto& [at, c] : stops) g.setColorAt(at, c);
  p.fillRect(r, g);
}

void Glow(QPainter& p, QPointF c, double r, QColor colour) {
  QRadialGradient g(c, r);
  g.setColorAt(0, colour);
  QColor edge = colour;
  edge.setAlpha(0);
  g.setColorAt(1, edge);
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawEllipse(c, r, r);
}

// Twinkling stars: each star has its own phase so the loop shimmers.
void Stars(QPainter& p, const Frame& f, int count, int seed, double maxY) {
  p.setPen(Qt::NoPen);
  for (int i = 0; i < count; ++i) {
    double x = Hash01(i, 1, seed) * f.w, y = Hash01(i, 2, seed) * f.h * maxY;
    double tw = 0.5 + 0.5 * std::sin(2 * kPi * (f.phase + Hash01(i, 3, seed)));
    int a = static_cast<int>(90 + 165 * tw);
    double s = (Hash01(i, 4, seed) < 0.15 ? 2.2 : 1.2) * f.w / 640.0 + 0.6;
    p.setBrush(QColor(255, 250, 230, a));
    p.drawEllipse(QPointF(x, y), s, s);
  }
}

// ---- Scenes ------------------------------------------------------------------

void StageLights(QPainter& p, const Frame& f) {
  const QColor back[] = {QColor(40, 10, 60), QColor(60, 0, 10), QColor(0, 30, 50)};
  VerticalGradient(p, QRectF(0, 0, f.w, f.h),
                   {{0, QColor(6, 2, 12)}, {0.7, back[f.variant % 3]}, {1, QColor(0, 0, 0)}});
  double floorY = f.h * 0.72;
  VerticalGradient(p, QRectF(0, floorY, f.w, f.h - floorY),
                   {{0, QColor(70, 40, 30)}, {1, QColor(20, 10, 8)}});
  p.setPen(QPen(QColor(30, 15, 10), 1));
  for (int i = -8; i <= 8; ++i)
    p.drawLine(QPointF(f.w / 2 + i * f.w / 16.0, floorY), QPointF(f.w / 2 + i * f.w / 5.0, f.h));
  const QColor beams[] = {QColor(255, 80, 180), QColor(80, 200, 255), QColor(255, 220, 90),
                          QColor(140, 255, 120)};
  for (int i = 0; i < 4; ++i) {
    double sx = f.w * (0.15 + 0.233 * i);
    double swing = std::sin(2 * kPi * (f.phase + i * 0.25)) * f.w * 0.18;
    QPointF top(sx, -4), pool(sx + swing, floorY + (f.h - floorY) * 0.45);
    QColor c = beams[(i + f.variant) % 4];
    QLinearGradient g(top, pool);
    c.setAlpha(150);
    g.setColorAt(0, c);
    c.setAlpha(40);
    g.setColorAt(1, c);
    double half = f.w * 0.07;
    QPainterPath beam;
    beam.moveTo(top + QPointF(-3, 0));
    beam.lineTo(pool + QPointF(-half, 0));
    beam.lineTo(pool + QPointF(half, 0));
    beam.lineTo(top + QPointF(3, 0));
    p.fillPath(beam, g);
    QColor pc = beams[(i + f.variant) % 4];
    pc.setAlpha(170);
    p.save();
    p.translate(pool);
    p.scale(1, 0.25);
    Glow(p, QPointF(0, 0), half * 1.3, pc);
    p.restore();
    Glow(p, top + QPointF(0, 6), f.w * 0.03, QColor(255, 255, 255, 220));
  }
}

void CitySkyline(QPainter& p, const Frame& f) {
  const QColor tops[] = {QColor(10, 14, 40), QColor(60, 20, 60), QColor(20, 40, 90)};
  const QColor lows[] = {QColor(90, 40, 110), QColor(240, 120, 80), QColor(120, 170, 220)};
  VerticalGradient(p, QRectF(0, 0, f.w, f.h), {{0, tops[f.variant % 3]}, {1, lows[f.variant % 3]}});
  if (f.variant != 2) Stars(p, f, f.w / 6, 11, 0.5);
  Glow(p, QPointF(f.w * 0.78, f.h * 0.2), f.w * 0.09, QColor(255, 250, 220, 120));
  p.setBrush(QColor(250, 245, 225));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(f.w * 0.78, f.h * 0.2), f.w * 0.035, f.w * 0.035);
  for (int layer = 0; layer < 3; ++layer) {
    int shade = 20 + layer * 12;
    QColor body(shade, shade / 2 + 8, shade + 25);
    double base = f.h * (0.55 + layer * 0.12);
    double x = -Hash01(layer, 9, 5) * 30;
    int b = 0;
    while (x < f.w) {
      double bw = f.w * (0.05 + 0.06 * Hash01(b, layer, 21));
      double bh = f.h * (0.12 + 0.3 * Hash01(b, layer, 22)) * (1.2 - layer * 0.25);
      p.fillRect(QRectF(x, base - bh, bw, f.h - base + bh), body);
      // Windows: a few switch on and off through the loop.
      double cw = std::max(2.0, f.w / 200.0);
      for (double wy = base - bh + cw * 3; wy < f.h - cw; wy += cw * 4)
        for (double wx = x + cw * 2; wx < x + bw - cw * 2; wx += cw * 3) {
          double h = Hash01(static_cast<int>(wx), static_cast<int>(wy), 31 + layer);
          // Some windows blink in four-step turns, so no two frames match.
          int step = static_cast<int>(std::lround(f.phase * kLoopFrames));
          bool lit = h < 0.16 || (h < 0.26 && (step + static_cast<int>(h * 100)) % 4 < 2);
          if (lit)
            p.fillRect(QRectF(wx, wy, cw, cw), QColor(255, 210 + layer * 15, 120 + layer * 40));
        }
      x += bw + 1;
      ++b;
    }
  }
}

void SunsetSea(QPainter& p, const Frame& f) {
  const QColor sky[3][3] = {{QColor(40, 20, 90), QColor(240, 90, 110), QColor(255, 200, 100)},
                            {QColor(20, 0, 20), QColor(160, 20, 40), QColor(255, 120, 40)},
                            {QColor(60, 140, 220), QColor(150, 200, 240), QColor(255, 240, 200)}};
  const auto& c = sky[f.variant % 3];
  double horizon = f.h * 0.58;
  VerticalGradient(p, QRectF(0, 0, f.w, horizon), {{0, c[0]}, {0.65, c[1]}, {1, c[2]}});
  QPointF sun(f.w * 0.5, horizon - f.h * 0.02);
  Glow(p, sun, f.w * 0.3, QColor(255, 220, 150, 110));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 236, 170));
  p.drawEllipse(sun, f.w * 0.11, f.w * 0.11);
  // Bars across the sun, drifting down with the loop.
  for (int i = 0; i < 5; ++i) {
    double y = sun.y() - f.w * 0.02 + (i + f.phase) * f.w * 0.022;
    p.fillRect(QRectF(sun.x() - f.w * 0.12, y, f.w * 0.24, f.w * 0.006 * (i + 1)), c[1]);
  }
  VerticalGradient(p, QRectF(0, horizon, f.w, f.h - horizon),
                   {{0, c[1].darker(160)}, {1, c[0].darker(200)}});
  for (int i = 0; i < 26; ++i) {
    double y = horizon + (i + 0.5) * (f.h - horizon) / 26.0;
    double spread = (y - horizon) / (f.h - horizon);
    double len = f.w * (0.05 + 0.25 * Hash01(i, 7, 3)) * (1 - spread * 0.5);
    double x =
        f.w * 0.5 + std::sin(2 * kPi * (f.phase + Hash01(i, 8, 3))) * f.w * 0.08 * (1 + spread);
    QColor glint = c[2];
    glint.setAlpha(static_cast<int>(200 * (1 - spread)));
    p.fillRect(QRectF(x - len / 2, y, len, std::max(1.0, f.h / 240.0)), glint);
  }
}

void DiscoFloor(QPainter& p, const Frame& f) {
  VerticalGradient(p, QRectF(0, 0, f.w, f.h), {{0, QColor(10, 0, 30)}, {1, QColor(40, 0, 60)}});
  double horizon = f.h * 0.42;
  const QColor tiles[3][3] = {{QColor(255, 60, 160), QColor(60, 200, 255), QColor(255, 230, 80)},
                              {QColor(255, 40, 40), QColor(255, 140, 0), QColor(120, 0, 40)},
                              {QColor(120, 255, 160), QColor(80, 160, 255), QColor(255, 255, 255)}};
  const int rows = 9, cols = 12;
  for (int r = 0; r < rows; ++r) {
    auto yAt = [&](double rr) { return horizon + (f.h - horizon) * std::pow(rr / rows, 1.6); };
    double y0 = yAt(r), y1 = yAt(r + 1);
    for (int cc = -cols; cc < cols; ++cc) {
      auto xAt = [&](double col, double y) {
        double spread = (y - horizon + 10) / (f.h - horizon + 10);
        return f.w / 2 + col * f.w / 6 * spread * 1.8;
      };
      QPolygonF tile({QPointF(xAt(cc, y0), y0), QPointF(xAt(cc + 1, y0), y0),
                      QPointF(xAt(cc + 1, y1), y1), QPointF(xAt(cc, y1), y1)});
      int lightStep = static_cast<int>(Hash01(cc + 50, r, 41) * 4);
      bool lit = lightStep == static_cast<int>(f.phase * 4);
      QColor col = tiles[f.variant % 3][(cc + r + 30) % 3];
      col = lit ? col : col.darker(330);
      p.setPen(QPen(QColor(10, 0, 20), 1));
      p.setBrush(col);
      p.drawPolygon(tile);
    }
  }
  // The mirror ball and its flecks, turning through the loop.
  QPointF ball(f.w * 0.5, f.h * 0.16);
  double br = f.h * 0.1;
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(180, 180, 200));
  p.drawEllipse(ball, br, br);
  for (int i = 0; i < 40; ++i) {
    double a = 2 * kPi * (i / 40.0 + f.phase / 10);
    double rr = br * Hash01(i, 2, 9);
    QPointF q = ball + QPointF(std::cos(a) * rr, std::sin(a) * rr);
    p.setBrush(Hash01(i, static_cast<int>(f.phase * 4), 9) < 0.3 ? QColor(255, 255, 255)
                                                                 : QColor(120, 120, 150));
    p.drawRect(QRectF(q.x() - br * 0.08, q.y() - br * 0.08, br * 0.16, br * 0.16));
  }
  for (int i = 0; i < 24; ++i) {
    double a = 2 * kPi * (Hash01(i, 5, 13) + f.phase * 0.25);
    double d = f.w * (0.15 + 0.35 * Hash01(i, 6, 13));
    QPointF q = ball + QPointF(std::cos(a) * d, std::abs(std::sin(a)) * d * 0.6 + br);
    Glow(p, q, f.w * 0.012, QColor(255, 255, 255, 200));
  }
}

void Starfield(QPainter& p, const Frame& f) {
  VerticalGradient(p, QRectF(0, 0, f.w, f.h), {{0, QColor(2, 2, 14)}, {1, QColor(10, 6, 30)}});
  const QColor neb[3][2] = {{QColor(200, 60, 200, 90), QColor(60, 120, 255, 90)},
                            {QColor(255, 40, 20, 100), QColor(255, 150, 0, 80)},
                            {QColor(40, 255, 200, 80), QColor(120, 80, 255, 90)}};
  for (int i = 0; i < 6; ++i) {
    QPointF c(f.w * Hash01(i, 1, 71), f.h * Hash01(i, 2, 71));
    double pulse = 1 + 0.08 * std::sin(2 * kPi * (f.phase + i * 0.17));
    Glow(p, c, f.w * (0.15 + 0.15 * Hash01(i, 3, 71)) * pulse, neb[f.variant % 3][i % 2]);
  }
  Stars(p, f, f.w / 2, 5, 1.0);
  // A ringed planet.
  QPointF planet(f.w * 0.72, f.h * 0.62);
  double r = f.h * 0.12;
  p.setBrush(QColor(230, 150, 90));
  p.setPen(Qt::NoPen);
  p.drawEllipse(planet, r, r);
  p.setBrush(QColor(120, 60, 40, 160));
  p.drawEllipse(planet + QPointF(r * 0.3, r * 0.2), r * 0.8, r * 0.8);
  p.setPen(QPen(QColor(250, 220, 170), std::max(1.5, f.w / 320.0)));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(planet, r * 1.9, r * 0.45);
}

void Equaliser(QPainter& p, const Frame& f) {
  VerticalGradient(p, QRectF(0, 0, f.w, f.h), {{0, QColor(4, 4, 16)}, {1, QColor(16, 8, 40)}});
  const QColor lows[] = {QColor(40, 220, 120), QColor(255, 200, 0), QColor(60, 160, 255)};
  const QColor highs[] = {QColor(255, 60, 80), QColor(255, 30, 0), QColor(240, 80, 255)};
  const int bars = 16;
  double bw = f.w / static_cast<double>(bars);
  for (int i = 0; i < bars; ++i) {
    double level = 0.35 + 0.3 * std::sin(2 * kPi * (f.phase + i * 0.13)) + 0.25 * Hash01(i, 1, 3);
    int cells = 14;
    for (int k = 0; k < cells; ++k) {
      double cy = f.h * 0.9 - (k + 1) * f.h * 0.8 / cells;
      bool on = k < level * cells;
      QColor c = Mix(lows[f.variant % 3], highs[f.variant % 3], k / static_cast<double>(cells - 1));
      if (!on) c = c.darker(500);
      p.fillRect(QRectF(i * bw + bw * 0.12, cy, bw * 0.76, f.h * 0.8 / cells * 0.7), c);
    }
  }
  p.fillRect(QRectF(0, f.h * 0.92, f.w, f.h * 0.01), QColor(120, 120, 160));
}

void Tunnel(QPainter& p, const Frame& f) {
  const QColor a[] = {QColor(30, 200, 255), QColor(255, 40, 30), QColor(255, 120, 220)};
  const QColor b[] = {QColor(10, 20, 70), QColor(40, 0, 0), QColor(30, 10, 60)};
  p.fillRect(QRectF(0, 0, f.w, f.h), b[f.variant % 3]);
  QPointF c(f.w / 2, f.h / 2);
  p.setPen(Qt::NoPen);
  for (int i = 18; i >= 0; --i) {
    double k = (i + 1 - f.phase) / 18.0;  // rings move outward over the loop
    double r = std::pow(k, 2.2) * f.w * 0.9;
    QColor col = i % 2 ? a[f.variant % 3] : b[f.variant % 3];
    col = Mix(b[f.variant % 3], col, std::min(1.0, k * 1.5));
    p.setBrush(col);
    p.drawRect(QRectF(c.x() - r, c.y() - r * 0.75, 2 * r, 1.5 * r));
  }
  Glow(p, c, f.w * 0.1, QColor(255, 255, 255, 180));
}

void Aurora(QPainter& p, const Frame& f) {
  VerticalGradient(p, QRectF(0, 0, f.w, f.h), {{0, QColor(2, 8, 24)}, {1, QColor(10, 30, 50)}});
  Stars(p, f, f.w / 5, 17, 0.7);
  const QColor bands[3][2] = {{QColor(60, 255, 160, 130), QColor(160, 90, 255, 110)},
                              {QColor(255, 80, 60, 130), QColor(255, 200, 60, 110)},
                              {QColor(80, 220, 255, 130), QColor(220, 130, 255, 110)}};
  for (int band = 0; band < 5; ++band) {
    QColor c = bands[f.variant % 3][band % 2];
    for (int x = 0; x < f.w; x += std::max(1, f.w / 320)) {
      double u = x / static_cast<double>(f.w);
      double y = f.h * (0.18 + band * 0.06) +
                 std::sin(2 * kPi * (u * 1.5 + f.phase + band * 0.2)) * f.h * 0.06;
      double len = f.h * (0.15 + 0.1 * std::sin(2 * kPi * (u * 3 + band * 0.3 - f.phase)));
      QLinearGradient g(QPointF(x, y), QPointF(x, y + len));
      g.setColorAt(0, QColor(c.red(), c.green(), c.blue(), 0));
      g.setColorAt(0.3, c);
      g.setColorAt(1, QColor(c.red(), c.green(), c.blue(), 0));
      p.fillRect(QRectF(x, y, std::max(1, f.w / 320), len), g);
    }
  }
  // Mountains and a lake.
  QPainterPath hills;
  hills.moveTo(0, f.h);
  for (int x = 0; x <= f.w; x += 8) {
    double u = x / static_cast<double>(f.w);
    hills.lineTo(x, f.h * (0.62 - 0.12 * std::abs(std::sin(u * 7.1)) - 0.05 * std::sin(u * 17)));
  }
  hills.lineTo(f.w, f.h);
  p.fillPath(hills, QColor(6, 12, 22));
  p.fillRect(QRectF(0, f.h * 0.8, f.w, f.h * 0.2), QColor(8, 20, 36));
}

void Synthwave(QPainter& p, const Frame& f) {
  const QColor skyTop[] = {QColor(20, 0, 40), QColor(30, 0, 0), QColor(0, 20, 50)};
  const QColor skyLow[] = {QColor(255, 60, 140), QColor(255, 80, 0), QColor(0, 220, 200)};
  double horizon = f.h * 0.6;
  VerticalGradient(p, QRectF(0, 0, f.w, horizon),
                   {{0, skyTop[f.variant % 3]}, {1, skyLow[f.variant % 3]}});
  Stars(p, f, f.w / 10, 23, 0.4);
  QPointF sun(f.w / 2, horizon);
  double r = f.h * 0.26;
  QLinearGradient sg(sun - QPointF(0, r), sun);
  sg.setColorAt(0, QColor(255, 240, 120));
  sg.setColorAt(1, QColor(255, 60, 120));
  QPainterPath disc;
  disc.addEllipse(sun, r, r);
  QPainterPath upper;
  upper.addRect(QRectF(0, 0, f.w, horizon));
  disc = disc.intersected(upper);
  for (int i = 0; i < 6; ++i) {
    QPainterPath cut;
    double y = horizon - r * 0.08 - i * r * 0.11;
    cut.addRect(QRectF(0, y, f.w, r * 0.012 * (6 - i) + 1));
    disc = disc.subtracted(cut);
  }
  p.fillPath(disc, sg);
  p.fillRect(QRectF(0, horizon, f.w, f.h - horizon), QColor(10, 0, 24));
  p.setPen(QPen(skyLow[f.variant % 3], std::max(1.0, f.w / 400.0)));
  for (int i = -14; i <= 14; ++i)
    p.drawLine(QPointF(f.w / 2 + i * f.w / 40.0, horizon), QPointF(f.w / 2 + i * f.w / 6.0, f.h));
  for (int i = 0; i < 10; ++i) {
    double k = (i + f.phase) / 10.0;  // lines come toward us
    double y = horizon + (f.h - horizon) * k * k;
    p.drawLine(QPointF(0, y), QPointF(f.w, y));
  }
}

void HillsAndClouds(QPainter& p, const Frame& f) {
  const QColor skies[3][2] = {{QColor(90, 170, 255), QColor(200, 235, 255)},
                              {QColor(80, 20, 40), QColor(220, 110, 70)},
                              {QColor(130, 120, 230), QColor(255, 200, 230)}};
  VerticalGradient(p, QRectF(0, 0, f.w, f.h),
                   {{0, skies[f.variant % 3][0]}, {0.7, skies[f.variant % 3][1]}});
  Glow(p, QPointF(f.w * 0.18, f.h * 0.2), f.w * 0.12, QColor(255, 250, 200, 200));
  // Clouds drift one loop-width across over the four frames.
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 6; ++i) {
    double x = std::fmod(Hash01(i, 1, 61) * f.w + f.phase * f.w * 0.25, f.w * 1.2) - f.w * 0.1;
    double y = f.h * (0.1 + 0.25 * Hash01(i, 2, 61));
    double s = f.w * (0.04 + 0.03 * Hash01(i, 3, 61));
    p.setBrush(QColor(255, 255, 255, 220));
    for (int k = 0; k < 4; ++k)
      p.drawEllipse(QPointF(x + k * s * 0.9, y + (k % 2) * s * 0.2), s, s * 0.7);
  }
  const QColor hills[3][3] = {{QColor(90, 180, 90), QColor(50, 140, 70), QColor(30, 100, 50)},
                              {QColor(100, 40, 50), QColor(70, 20, 40), QColor(40, 10, 30)},
                              {QColor(150, 120, 200), QColor(110, 90, 170), QColor(70, 60, 130)}};
  for (int layer = 0; layer < 3; ++layer) {
    QPainterPath path;
    path.moveTo(0, f.h);
    for (int x = 0; x <= f.w; x += 4) {
      double u = x / static_cast<double>(f.w);
      double y =
          f.h * (0.55 + layer * 0.12) - f.h * 0.08 * std::sin(u * (3 + layer * 2) + layer * 1.7);
      path.lineTo(x, y);
    }
    path.lineTo(f.w, f.h);
    p.fillPath(path, hills[f.variant % 3][layer]);
  }
}

void ConcertHall(QPainter& p, const Frame& f) {
  p.fillRect(QRectF(0, 0, f.w, f.h), QColor(16, 4, 8));
  double stageY = f.h * 0.74;
  VerticalGradient(p, QRectF(0, stageY, f.w, f.h - stageY),
                   {{0, QColor(120, 70, 40)}, {1, QColor(40, 20, 10)}});
  // Curtains with folds, on both sides and along the top.
  for (int side = 0; side < 2; ++side)
    for (int i = 0; i < 8; ++i) {
      double x = side == 0 ? i * f.w * 0.022 : f.w - (i + 1) * f.w * 0.022;
      QLinearGradient g(QPointF(x, 0), QPointF(x + f.w * 0.022, 0));
      g.setColorAt(0, QColor(110, 0, 20));
      g.setColorAt(0.5, QColor(200, 20, 40));
      g.setColorAt(1, QColor(90, 0, 15));
      p.fillRect(QRectF(x, 0, f.w * 0.022, stageY), g);
    }
  for (int i = 0; i < 14; ++i) {
    QPainterPath swag;
    double x0 = i * f.w / 14.0, x1 = (i + 1) * f.w / 14.0;
    swag.moveTo(x0, 0);
    swag.lineTo(x1, 0);
    swag.quadTo((x0 + x1) / 2, f.h * 0.2, x0, 0);
    p.fillPath(swag, QColor(170, 10, 35));
  }
  p.fillRect(QRectF(0, 0, f.w, f.h * 0.03), QColor(200, 160, 60));
  Glow(p, QPointF(f.w / 2, stageY), f.w * 0.35, QColor(255, 200, 120, 70));
  // Footlights blink along the stage edge in turn.
  for (int i = 0; i < 16; ++i) {
    bool on = (i + static_cast<int>(f.phase * 4)) % 4 != 0;
    QPointF c((i + 0.5) * f.w / 16, stageY + f.h * 0.015);
    Glow(p, c, f.w * 0.02, on ? QColor(255, 230, 150, 230) : QColor(120, 80, 40, 160));
  }
  p.fillRect(QRectF(0, stageY + f.h * 0.03, f.w, f.h * 0.01), QColor(60, 30, 15));
}

const ScenePainter kBackdropScenes[10] = {StageLights, CitySkyline,   SunsetSea, DiscoFloor,
                                          Starfield,   Equaliser,     Tunnel,    Aurora,
                                          Synthwave,   HillsAndClouds};

QImage PaintFrame(const ScenePainter& scene, int w, int h, double phase, int variant) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(Qt::black);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  scene(p, Frame{w, h, phase, variant});
  return img;
}

// Four frames of the loop in a 2 x 2 grid: 0 top left, 1 top right,
// 2 bottom left, 3 bottom right.
QImage LoopGrid(const ScenePainter& scene, int variant) {
  QImage grid(640, 480, QImage::Format_RGB32);
  QPainter p(&grid);
  for (int k = 0; k < kLoopFrames; ++k)
    p.drawImage((k % 2) * 320, (k / 2) * 240,
                PaintFrame(scene, 320, 240, k / double(kLoopFrames), variant));
  return grid;
}

QImage LoopStrip(const ScenePainter& scene, int variant) {
  QImage strip(214 * kLoopFrames, 160, QImage::Format_RGB32);
  QPainter p(&strip);
  for (int k = 0; k < kLoopFrames; ++k)
    p.drawImage(k * 214, 0, PaintFrame(scene, 214, 160, k / double(kLoopFrames), variant));
  return strip;
}

void WriteBmp8(Forge& f, const std::string& name, const QImage& picture,
               const std::string& caption) {
  f.WriteFile(name, EncodeBmp8(picture));
  f.AddToSheet(name + " " + caption, Bmp8Preview(picture));
}

std::string TwoDigits(int n) {
  return (n < 10 ? "0" : "") + std::to_string(n);
}

void WriteBackdrops(Forge& f) {
  for (int n = 0; n < kBackdropFiles; ++n)
    WriteBmp8(f, "X" + std::to_string(n) + ".bmp", LoopGrid(kBackdropScenes[n % 10], n / 10),
              "(backdrop)");
  WriteBmp8(f, "Y_e01.bmp", LoopGrid(ConcertHall, 0), "(default backdrop)");
}

// Level pictures: the normal course runs through bright scenes, the hard
// course through dark and fiery ones.
void WriteLevelPictures(Forge& f) {
  const ScenePainter normal[kLevelPictures] = {HillsAndClouds, SunsetSea, CitySkyline, DiscoFloor,
                                               Aurora};
  const int normalVariant[kLevelPictures] = {0, 2, 2, 2, 2};
  const ScenePainter hard[kLevelPictures] = {Synthwave, Tunnel, Starfield, Equaliser, StageLights};
  for (int i = 0; i < kLevelPictures; ++i) {
    WriteBmp8(f, "Y_e1" + TwoDigits(i + 1) + ".bmp", LoopStrip(normal[i], normalVariant[i]),
              "(normal level)");
    WriteBmp8(f, "Y_e3" + TwoDigits(i + 1) + ".bmp", LoopStrip(hard[i], 1), "(hard level)");
  }
}

// ---- Wallpapers --------------------------------------------------------------

// The game's font drawn as solid blocks in full colour.
void BlockText(QPainter& p, double x, double y, const std::string& text, double scale,
               const QColor& c) {
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  for (size_t i = 0; i < text.size(); ++i) {
    const char* const* rows = GlyphRows(text[i]);
    for (int r = 0; rows && r < kFontH; ++r)
      for (int col = 0; rows[r][col]; ++col)
        if (rows[r][col] == '#')
          p.drawRect(
              QRectF(x + (i * kFontPitch + col) * scale, y + r * scale, scale * 0.9, scale * 0.9));
  }
}

void Title(QPainter& p, int w, int h, double y, const QColor& c) {
  double scale = w / 64.0;
  double tw = (7 * kFontPitch - 1) * scale;
  BlockText(p, (w - tw) / 2 + scale * 0.3, y * h + scale * 0.3, "KELVANE", scale,
            QColor(0, 0, 0, 120));
  BlockText(p, (w - tw) / 2, y * h, "KELVANE", scale, c);
}

void SunburstWall(QPainter& p, int w, int h, int variant) {
  const QColor a[] = {QColor(255, 120, 60), QColor(60, 160, 255)};
  const QColor b[] = {QColor(255, 200, 90), QColor(120, 220, 255)};
  QPointF c(w / 2.0, h * 0.45);
  p.fillRect(QRectF(0, 0, w, h), a[variant]);
  p.setPen(Qt::NoPen);
  p.setBrush(b[variant]);
  for (int i = 0; i < 24; i += 2) {
    double a0 = 2 * kPi * i / 24, a1 = 2 * kPi * (i + 1) / 24;
    double r = w * 1.2;
    p.drawPolygon(QPolygonF({c, c + QPointF(std::cos(a0) * r, std::sin(a0) * r),
                             c + QPointF(std::cos(a1) * r, std::sin(a1) * r)}));
  }
  Glow(p, c, w * 0.35, QColor(255, 255, 255, 150));
  Title(p, w, h, 0.4, QColor(90, 20, 60));
}

void RibbonWall(QPainter& p, int w, int h, int variant) {
  VerticalGradient(
      p, QRectF(0, 0, w, h),
      {{0, QColor(30, 10, 70)}, {1, variant ? QColor(10, 60, 80) : QColor(120, 20, 90)}});
  const QColor ribbons[] = {QColor(255, 90, 160, 170), QColor(90, 220, 255, 170),
                            QColor(255, 220, 90, 170)};
  for (int i = 0; i < 7; ++i) {
    QPainterPath path;
    double y0 = h * (0.1 + 0.13 * i);
    path.moveTo(-10, y0);
    for (int x = 0; x <= w + 10; x += 10)
      path.lineTo(x,
                  y0 + std::sin(x / double(w) * 2 * kPi * 1.3 + i) * h * 0.06 - x * 0.15 * h / w);
    p.strokePath(path, QPen(ribbons[(i + variant) % 3], h * 0.035, Qt::SolidLine, Qt::RoundCap));
  }
  for (int i = 0; i < 18; ++i) {
    double x = Hash01(i, 1, 91 + variant) * w, y = Hash01(i, 2, 91 + variant) * h;
    double s = h * 0.03;
    p.setBrush(QColor(255, 255, 255, 200));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(x, y), s * 0.6, s * 0.45);
    p.fillRect(QRectF(x + s * 0.45, y - s * 1.6, s * 0.15, s * 1.6), QColor(255, 255, 255, 200));
  }
  Title(p, w, h, 0.44, QColor(255, 240, 200));
}

void BokehWall(QPainter& p, int w, int h, int variant) {
  VerticalGradient(p, QRectF(0, 0, w, h),
                   {{0, QColor(5, 5, 20)}, {1, variant ? QColor(50, 10, 20) : QColor(10, 30, 50)}});
  for (int i = 0; i < 60; ++i) {
    double x = Hash01(i, 1, 101 + variant) * w, y = Hash01(i, 2, 101 + variant) * h;
    double r = w * (0.02 + 0.07 * Hash01(i, 3, 101 + variant));
    QColor c =
        QColor::fromHsvF(std::fmod(Hash01(i, 4, 101) * 0.4 + 0.8 + variant * 0.3, 1.0), 0.6, 1.0);
    c.setAlpha(60 + static_cast<int>(80 * Hash01(i, 5, 101)));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(x, y), r, r);
  }
  Title(p, w, h, 0.42, QColor(240, 240, 255));
}

void WriteWallpapers(Forge& f) {
  using Wall = void (*)(QPainter&, int, int, int);
  const Wall walls[kWallpapers] = {SunburstWall, RibbonWall, BokehWall};
  for (int i = 0; i < kWallpapers; ++i)
    for (bool small : {false, true}) {
      int w = small ? 320 : 640, h = small ? 240 : 480;
      QImage img(w, h, QImage::Format_RGB32);
      img.fill(Qt::black);
      {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing, true);
        walls[i](p, w, h, small ? 1 : 0);
      }
      std::string name = std::string(small ? "X_s" : "X_b") + TwoDigits(i + 1) + ".jpg";
      f.WriteFile(name, EncodeJpeg(img, 90));
      f.AddToSheet(name + " (wallpaper)", img);
    }
}

void WriteScenery(Forge& f) {
  WriteBackdrops(f);
  WriteLevelPictures(f);
  WriteWallpapers(f);
}

}  // namespace

FORGE_WRITER("scenery", WriteScenery);

}  // namespace forge
