// The dancer as a skeleton: a pose is a set of joint values (angles in
// degrees, offsets in pixels); the figure is drawn from it with thick
// rounded limbs in palette inks. Poses in between are interpolated.
#pragma once

#include <QImage>
#include <QRect>
#include <array>
#include <map>
#include <string>
#include <vector>

namespace forge {

enum Joint {
  kYaw,    // turn about the vertical axis; 0 = facing left, 90 = facing us
  kTilt,   // whole body rolled forward in the picture plane
  kSpine,  // torso bent forward
  kNeck,   // head bent forward
  kArmF,
  kArmFOut,
  kElbowF,  // near arm: raise forward, raise sideways, bend
  kArmB,
  kArmBOut,
  kElbowB,  // far arm
  kLegF,
  kLegFOut,
  kKneeF,
  kFootF,  // near leg: raise forward, sideways, knee, point
  kLegB,
  kLegBOut,
  kKneeB,
  kFootB,   // far leg
  kHair,    // ponytail swing
  kFlare,   // skirt flare, 0 (hanging) .. 100 (spinning flat)
  kLift,    // pixels above the floor
  kDx,      // pixels forward of the cell centre (toward the facing)
  kFace,    // 0 calm, 1 smile, 2 sad
  kFigure,  // 0 the dancer, 1 the partner
  kJointCount
};

struct Pose {
  std::array<double, kJointCount> v{};
};

// "armF" -> kArmF; -1 for a name that is no joint.
int FindJoint(const std::string& name);
const char* JointName(int joint);

Pose Tween(const Pose& a, const Pose& b, double t);

// A cell of a picture: its place in the bitmap and the floor line inside it.
struct CellBox {
  int x, y, w, h;
  int floorY;  // the row the feet stand on, counted from the cell's top
};

// Draws the figure into the cell (clipped to it) and returns the area the
// figure wanted, so a pose that does not fit can be reported.
QRect DrawFigure(QImage& canvas, const Pose& pose, const CellBox& cell);

}  // namespace forge
