#include "tools/forge/dancer_figure.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <functional>

#include "tools/forge/indexed_picture.h"
#include "tools/forge/palette_colours.h"

namespace forge {
namespace {

const char* const kJointNames[kJointCount] = {
    "yaw",     "tilt",   "spine", "neck",    "armF",  "armFOut", "elbowF", "armB",
    "armBOut", "elbowB", "legF",  "legFOut", "kneeF", "footF",   "legB",   "legBOut",
    "kneeB",   "footB",  "hair",  "flare",   "lift",  "dx",      "face",   "figure"};

// Body measures in pixels, for a figure about 86 pixels tall.
constexpr double kTorso = 22, kNeckLength = 3, kHeadRadius = 7;
constexpr double kShoulderHalf = 6, kHipHalf = 4, kChestDepth = 4, kWaistHalf = 4.5;
constexpr double kUpperArm = 13, kForearm = 12, kThigh = 20, kShin = 19, kFoot = 6;
constexpr double kSkirtLength = 15;
// The resting view shows three quarters of the front.
constexpr double kViewTurn = 30;
// The camera looks down a little, so rings (the skirt's hem) show as ellipses.
constexpr double kLookDown = 0.3;

constexpr double kPi = 3.14159265358979323846;
double Rad(double degrees) {
  return degrees * kPi / 180;
}

// Body space: f forward, u up, s toward the near side.
struct V3 {
  double f, u, s;
};
V3 operator+(V3 a, V3 b) {
  return {a.f + b.f, a.u + b.u, a.s + b.s};
}
V3 operator*(double k, V3 a) {
  return {k * a.f, k * a.u, k * a.s};
}

// Direction raised by pitch from hanging straight down (forward is
// positive) and by out sideways away from the body on side sigma.
V3 Limb(double pitch, double out, double sigma) {
  double p = Rad(pitch), a = Rad(out);
  return {std::sin(p) * std::cos(a), -std::cos(p) * std::cos(a), sigma * std::sin(a)};
}

struct Projector {
  double cosT, sinT, cosTilt, sinTilt;
  QPointF Screen(V3 p) const {
    double x = -p.f * cosT + p.s * sinT, y = -p.u + kLookDown * Depth(p);
    return {x * cosTilt + y * sinTilt, -x * sinTilt + y * cosTilt};
  }
  double Depth(V3 p) const { return p.f * sinT + p.s * cosT; }
};

QPolygonF ConvexHull(std::vector<QPointF> pts) {
  std::sort(pts.begin(), pts.end(), [](const QPointF& a, const QPointF& b) {
    return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
  });
  auto cross = [](QPointF o, QPointF a, QPointF b) {
    return (a.x() - o.x()) * (b.y() - o.y()) - (a.y() - o.y()) * (b.x() - o.x());
  };
  std::vector<QPointF> hull(2 * pts.size());
  size_t k = 0;
  for (size_t i = 0; i < pts.size(); ++i) {
    while (k >= 2 && cross(hull[k - 2], hull[k - 1], pts[i]) <= 0) --k;
    hull[k++] = pts[i];
  }
  for (size_t i = pts.size() - 1, t = k + 1; i-- > 0;) {
    while (k >= t && cross(hull[k - 2], hull[k - 1], pts[i]) <= 0) --k;
    hull[k++] = pts[i];
  }
  hull.resize(k > 1 ? k - 1 : k);
  return QPolygonF(QVector<QPointF>(hull.begin(), hull.end()));
}

// A part of the figure, drawn back to front.
struct Part {
  double depth;
  std::function<void(QPainter&)> draw;
};

class FigurePainter {
 public:
  FigurePainter(const Pose& pose) : p_(pose.v) {
    double theta = Rad(p_[kYaw] + kViewTurn);
    double facing = -std::cos(theta) >= 0 ? 1 : -1;  // screen x sign of forward
    double tilt = Rad(p_[kTilt]) * -facing;
    proj_ = {std::cos(theta), std::sin(theta), std::cos(tilt), std::sin(tilt)};
    forwardX_ = -std::cos(theta);
    faceShown_ = std::sin(theta) > -0.35;
    partner_ = p_[kFigure] >= 0.5;
    Build();
  }

  // Every point the figure covers, with its half width, for placement.
  QRectF Extent() const {
    QRectF r;
    for (auto& [pt, half] : extent_) {
      QRectF b(pt.x() - half, pt.y() - half, 2 * half, 2 * half);
      r = r.isNull() ? b : r.united(b);
    }
    return r;
  }

  void Paint(QPainter& g, QPointF origin) {
    origin_ = origin;
    std::stable_sort(parts_.begin(), parts_.end(),
                     [](const Part& a, const Part& b) { return a.depth < b.depth; });
    for (auto& part : parts_) part.draw(g);
  }

 private:
  QPointF At(V3 p) const { return proj_.Screen(p) + origin_; }

  void Note(V3 p, double half) { extent_.push_back({proj_.Screen(p), half}); }
  void NoteScreen(QPointF p, double half) { extent_.push_back({p, half}); }

  // A limb as one rounded polyline: outline, fill, then a light edge.
  void Limb3(QPainter& g, const std::vector<V3>& joints, const std::vector<double>& widths,
             const std::vector<int>& inks, int lightInk) {
    for (size_t i = 0; i + 1 < joints.size(); ++i) {
      g.setPen(QPen(Ink(kInkOutline), widths[i] + 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      g.drawLine(At(joints[i]), At(joints[i + 1]));
    }
    for (size_t i = 0; i + 1 < joints.size(); ++i) {
      g.setPen(QPen(Ink(inks[i]), widths[i], Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      g.drawLine(At(joints[i]), At(joints[i + 1]));
    }
    if (lightInk < 0) return;
    for (size_t i = 0; i + 1 < joints.size(); ++i) {
      QPointF a = At(joints[i]), b = At(joints[i + 1]);
      QPointF d = b - a;
      double len = std::hypot(d.x(), d.y());
      if (len < 4) continue;
      QPointF n(-d.y() / len, d.x() / len);
      if (n.x() + n.y() > 0) n = -n;  // the light comes from the upper left
      QPointF shift = n * (widths[i] / 2 - 1.2);
      g.setPen(QPen(Ink(inks[i] == kInkSkin ? kInkSkinLight : lightInk), 1));
      g.drawLine(a + d * 0.2 + shift, a + d * 0.75 + shift);
    }
  }

  void Build() {
    double spine = p_[kSpine];
    V3 neckBase = kTorso * V3{std::sin(Rad(spine)), std::cos(Rad(spine)), 0};
    V3 spineDir = V3{std::sin(Rad(spine)), std::cos(Rad(spine)), 0};
    V3 chestFwd = V3{std::cos(Rad(spine)), -std::sin(Rad(spine)), 0};
    V3 shoulderBase = neckBase + (-2.5) * spineDir;
    double headTurn = Rad(spine + p_[kNeck]);
    V3 head =
        neckBase + (kNeckLength + kHeadRadius) * V3{std::sin(headTurn), std::cos(headTurn), 0};

    // Arms and legs on both sides.
    for (int side = 0; side < 2; ++side) {
      double sigma = side == 0 ? 1 : -1;
      bool near = side == 0;
      int arm = near ? kArmF : kArmB, leg = near ? kLegF : kLegB;
      V3 shoulder = shoulderBase + V3{0, 0, sigma * kShoulderHalf};
      V3 elbow = shoulder + kUpperArm * Limb(p_[arm] + spine, p_[arm + 1], sigma);
      V3 hand = elbow + kForearm * Limb(p_[arm] + spine + p_[arm + 2], p_[arm + 1], sigma);
      V3 hip{0, 0, sigma * kHipHalf};
      V3 knee = hip + kThigh * Limb(p_[leg], p_[leg + 1], sigma);
      double shin = p_[leg] - p_[leg + 2];
      V3 ankle = knee + kShin * Limb(shin, p_[leg + 1], sigma);
      V3 toe = ankle + kFoot * Limb(shin + 90 - p_[leg + 3], p_[leg + 1], sigma);
      for (V3 q : {shoulder, elbow, hand}) Note(q, 3.5);
      Note(hip, 4.5);
      Note(knee, 4.5);
      Note(ankle, 3.5);
      Note(toe, 3);

      int skin = near ? kInkSkin : kInkSkinDark;
      double armDepth = proj_.Depth(elbow) + proj_.Depth(hand) + proj_.Depth(shoulder);
      parts_.push_back(
          {armDepth / 3 + (near ? 0.01 : -0.01), [=, this](QPainter& g) {
             int sleeve = partner_ ? (near ? kInkAccent : kInkAccentDark) : skin;
             Limb3(g, {shoulder, elbow, hand}, {5, 4}, {sleeve, skin}, near ? kInkAccentLight : -1);
             g.setPen(QPen(Ink(kInkOutline), 1));
             g.setBrush(Ink(skin));
             g.drawEllipse(At(hand), 2.2, 2.2);
           }});
      // Legs go behind the skirt; the near one in front of the far one.
      double legDepth =
          std::min(proj_.Depth(knee), proj_.Depth(ankle)) * 0.3 - 6 + (near ? 0.5 : 0);
      parts_.push_back(
          {legDepth, [=, this](QPainter& g) {
             int thigh = partner_ ? (near ? kInkCostume : kInkCostumeDark) : skin;
             int boot = partner_ ? thigh : (near ? kInkAccent : kInkAccentDark);
             int shoe = partner_ ? kInkOutline : kInkAccentDark;
             int shin = partner_ ? thigh : skin;
             Limb3(g, {hip, knee, ankle}, {7, 5.5}, {thigh, shin},
                   near ? (partner_ ? kInkCostumeLight : kInkAccentLight) : -1);
             V3 bootTop = knee + 0.45 * V3{ankle.f - knee.f, ankle.u - knee.u, ankle.s - knee.s};
             Limb3(g, {bootTop, ankle, toe}, {6, 4}, {boot, shoe},
                   near && !partner_ ? kInkAccentLight : -1);
           }});
    }

    // Torso: a box from the waist to the shoulders.
    std::vector<V3> torso;
    for (double f : {-kChestDepth, kChestDepth})
      for (double s : {-kShoulderHalf, kShoulderHalf}) torso.push_back(shoulderBase + V3{f, 1, s});
    for (double f : {-kChestDepth * 0.8, kChestDepth * 0.8})
      for (double s : {-kWaistHalf, kWaistHalf}) torso.push_back(V3{f, -1, s});
    for (V3 q : torso) Note(q, 1);
    parts_.push_back({0, [=, this](QPainter& g) {
                        std::vector<QPointF> pts;
                        for (V3 q : torso) pts.push_back(At(q));
                        QPolygonF hull = ConvexHull(pts);
                        g.setPen(QPen(Ink(kInkOutline), 1));
                        g.setBrush(Ink(partner_ ? kInkAccent : kInkCostume));
                        g.drawPolygon(hull);
                        // Light down the chest front, then the belt.
                        QPointF top = At(shoulderBase + 2.5 * chestFwd),
                                bottom = At(2.0 * chestFwd);
                        g.setPen(QPen(Ink(partner_ ? kInkAccentLight : kInkCostumeLight), 2));
                        if (faceShown_) g.drawLine(top + QPointF(0, 2), bottom);
                        g.setPen(QPen(Ink(partner_ ? kInkOutline : kInkAccent), 2));
                        g.drawLine(At(V3{0, 0.5, -kWaistHalf}), At(V3{0, 0.5, kWaistHalf}));
                      }});

    if (!partner_) BuildSkirt();
    BuildHead(head);
  }

  void BuildSkirt() {
    double flare = std::clamp(p_[kFlare], 0.0, 100.0) / 100;
    double spread = Rad(18 + 62 * flare);  // angle of the skirt from hanging
    double hemRadius = kWaistHalf + kSkirtLength * std::sin(spread);
    double hemDrop = kSkirtLength * std::cos(spread);
    std::vector<V3> waist, hem;
    for (int i = 0; i < 16; ++i) {
      double a = 2 * kPi * i / 16;
      waist.push_back(V3{kWaistHalf * std::cos(a), -1, kWaistHalf * std::sin(a)});
      hem.push_back(V3{hemRadius * std::cos(a), -1 - hemDrop, hemRadius * std::sin(a)});
    }
    for (V3 q : hem) Note(q, 1);
    parts_.push_back({0.5, [=, this](QPainter& g) {
                        std::vector<QPointF> pts;
                        for (V3 q : waist) pts.push_back(At(q));
                        for (V3 q : hem) pts.push_back(At(q));
                        g.setPen(QPen(Ink(kInkOutline), 1));
                        g.setBrush(Ink(kInkCostume));
                        g.drawPolygon(ConvexHull(pts));
                        // Pleats and the trimmed hem on the side we see.
                        for (int i = 0; i < 16; i += 2) {
                          if (proj_.Depth(hem[i]) < 0) continue;
                          g.setPen(QPen(Ink(i % 4 == 0 ? kInkCostumeDark : kInkCostumeLight), 1));
                          g.drawLine(At(waist[i]), At(hem[i]));
                        }
                        g.setPen(QPen(Ink(kInkAccent), 2, Qt::SolidLine, Qt::RoundCap));
                        for (int i = 0; i < 16; ++i) {
                          int j = (i + 1) % 16;
                          if (proj_.Depth(hem[i]) < -1 || proj_.Depth(hem[j]) < -1) continue;
                          g.drawLine(At(hem[i]), At(hem[j]));
                        }
                      }});
  }

  void BuildHead(V3 head) {
    Note(head, kHeadRadius + 2);
    double hairSwing = Rad(p_[kHair]);
    double back = forwardX_ >= 0 ? -1 : 1;  // screen side of the back of the head
    double faceAmount = std::abs(forwardX_);
    bool frontView = faceShown_ && faceAmount < 0.5;
    int face = static_cast<int>(std::lround(p_[kFace]));
    // Ponytail from the back of the crown, swinging (offsets from the head).
    double a = Rad(245) - hairSwing;
    QPointF root(back * 5, -4);
    QPointF mid = root + QPointF(back * std::cos(a) * -6, -std::sin(a) * 6);
    QPointF tip = mid + QPointF(back * std::cos(a + 0.4) * -7, -std::sin(a + 0.4) * 7);
    if (!partner_) {
      NoteScreen(proj_.Screen(head) + mid, 3.5);
      NoteScreen(proj_.Screen(head) + tip, 2.5);
    }
    parts_.push_back(
        {1, [=, this](QPainter& g) {
           QPointF c = At(head);
           if (!partner_) {
             QPointF r0 = c + root, m0 = c + mid, t0 = c + tip;
             g.setPen(QPen(Ink(kInkOutline), 7, Qt::SolidLine, Qt::RoundCap));
             g.drawLine(r0, m0);
             g.setPen(QPen(Ink(kInkOutline), 5, Qt::SolidLine, Qt::RoundCap));
             g.drawLine(m0, t0);
             g.setPen(QPen(Ink(kInkHairDark), 5, Qt::SolidLine, Qt::RoundCap));
             g.drawLine(r0, m0);
             g.setPen(QPen(Ink(kInkHairDark), 3, Qt::SolidLine, Qt::RoundCap));
             g.drawLine(m0, t0);
           }
           g.setPen(QPen(Ink(kInkOutline), 1));
           g.setBrush(Ink(kInkSkin));
           g.drawEllipse(c, kHeadRadius, kHeadRadius);
           // Hair: a cap toward the back; all hair from behind.
           g.setPen(Qt::NoPen);
           g.setBrush(Ink(kInkHair));
           if (!faceShown_) {
             g.drawEllipse(c, kHeadRadius - 1, kHeadRadius - 1);
           } else {
             QPainterPath cap;
             cap.addEllipse(c + QPointF(back * 2.5 * faceAmount, -2.5), kHeadRadius - 1,
                            kHeadRadius - 2.5);
             QPainterPath skull;
             skull.addEllipse(c, kHeadRadius - 0.5, kHeadRadius - 0.5);
             g.drawPath(cap.intersected(skull));
             g.setBrush(Ink(kInkHairDark));
             g.drawRect(QRectF(c.x() - 4, c.y() - kHeadRadius + 0.5, 3, 1));
           }
           if (!faceShown_) return;
           // Eyes and mouth on the side she faces.
           g.setBrush(Ink(kInkOutline));
           double fx = forwardX_ * 3.5;
           auto eye = [&](double x) { g.drawRect(QRectF(c.x() + x - 0.5, c.y() - 0.5, 1.6, 2.2)); };
           if (frontView) {
             eye(-2.5);
             eye(2);
           } else {
             eye(fx);
           }
           g.setBrush(Ink(face == 2 ? kInkOutline : kInkSkinDark));
           double mx = frontView ? -0.5 : fx * 0.9;
           if (face == 1)
             g.drawRect(QRectF(c.x() + mx - 1.5, c.y() + 3.2, 3, 1));
           else
             g.drawRect(QRectF(c.x() + mx - 0.5, c.y() + 3.2, 1.5, 1));
           g.setBrush(Ink(kInkWhite));
           g.drawRect(QRectF(c.x() + (frontView ? -2.5 : fx) - 0.5, c.y() - 0.5, 0.8, 0.8));
         }});
  }

  std::array<double, kJointCount> p_;
  Projector proj_{};
  double forwardX_ = 1;
  bool faceShown_ = true, partner_ = false;
  QPointF origin_;
  std::vector<Part> parts_;
  std::vector<std::pair<QPointF, double>> extent_;
};

}  // namespace

int FindJoint(const std::string& name) {
  for (int j = 0; j < kJointCount; ++j)
    if (name == kJointNames[j]) return j;
  return -1;
}

const char* JointName(int joint) {
  return kJointNames[joint];
}

Pose Tween(const Pose& a, const Pose& b, double t) {
  Pose out;
  for (int j = 0; j < kJointCount; ++j) out.v[j] = a.v[j] + (b.v[j] - a.v[j]) * t;
  out.v[kFigure] = t < 0.5 ? a.v[kFigure] : b.v[kFigure];
  return out;
}

QRect DrawFigure(QImage& canvas, const Pose& pose, const CellBox& cell) {
  FigurePainter figure(pose);
  QRectF extent = figure.Extent();
  // Stand on the floor (or hover lift pixels above it), centred in the cell.
  double facing = pose.v[kYaw] + kViewTurn;
  double forwardX = -std::cos(Rad(facing)) >= 0 ? 1 : -1;
  QPointF origin(cell.x + cell.w / 2.0 + pose.v[kDx] * forwardX,
                 cell.y + cell.floorY - 1 - pose.v[kLift] - extent.bottom());
  // A pose reaching far to one side is moved back into its cell when it fits.
  QRectF placed = extent.translated(origin);
  if (placed.width() <= cell.w) {
    if (placed.left() < cell.x) origin.rx() += cell.x - placed.left();
    if (placed.right() > cell.x + cell.w) origin.rx() -= placed.right() - (cell.x + cell.w);
  }
  QPainter g(&canvas);
  g.setRenderHint(QPainter::Antialiasing, false);
  g.setClipRect(QRect(cell.x, cell.y, cell.w, cell.h));
  figure.Paint(g, origin);
  return extent.translated(origin).toAlignedRect();
}

}  // namespace forge
