// A 2-D affine transform. The matrix (m11, m12, m21, m22, tX, tY) maps (x, y) to
// (m11 x + m21 y + tX, m12 x + m22 y + tY). translateXBy, scaleXBy and rotateByDegrees put
// their operation in front of the ones already there, so the newest acts on a point first.
#pragma once

#include "host/Value.h"

namespace vellum {

struct AffineTransformStruct {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, tX = 0, tY = 0;
  friend bool operator==(const AffineTransformStruct&, const AffineTransformStruct&) = default;
};

class AffineTransform {
 public:
  // The identity.
  AffineTransform() = default;
  explicit AffineTransform(const AffineTransformStruct& m) : m_(m) {}
  static AffineTransform transform() { return AffineTransform(); }

  void translateXBy(double deltaX, double deltaY);
  void scaleXBy(double scaleX, double scaleY);
  void scaleBy(double scale) { scaleXBy(scale, scale); }
  // Counter-clockwise for positive angles (y up).
  void rotateByDegrees(double angle);
  void rotateByRadians(double angle);
  // `transform` acts first, then this one.
  void prependTransform(const AffineTransform& transform);
  // This one acts first, then `transform`.
  void appendTransform(const AffineTransform& transform);
  // Leaves the transform unchanged when it is singular (or not finite) and answers false.
  bool invert();

  const AffineTransformStruct& transformStruct() const { return m_; }
  void setTransformStruct(double m11, double m12, double m21, double m22, double tX, double tY) {
    m_ = {m11, m12, m21, m22, tX, tY};
  }
  void setTransformStruct(const AffineTransformStruct& m) { m_ = m; }

  Point transformPoint(Point p) const {
    return {m_.m11 * p.x + m_.m21 * p.y + m_.tX, m_.m12 * p.x + m_.m22 * p.y + m_.tY};
  }
  // Ignores the translation.
  Size transformSize(Size s) const {
    return {m_.m11 * s.width + m_.m21 * s.height, m_.m12 * s.width + m_.m22 * s.height};
  }

  friend bool operator==(const AffineTransform&, const AffineTransform&) = default;

 private:
  AffineTransformStruct m_;
};

}  // namespace vellum
