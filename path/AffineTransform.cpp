#include "path/AffineTransform.h"

#include <cmath>

#include "path/PathGeometry.h"

namespace vellum {

namespace {

// a then b: the point goes through a first.
AffineTransformStruct concat(const AffineTransformStruct& a, const AffineTransformStruct& b) {
  return {a.m11 * b.m11 + a.m12 * b.m21,
          a.m11 * b.m12 + a.m12 * b.m22,
          a.m21 * b.m11 + a.m22 * b.m21,
          a.m21 * b.m12 + a.m22 * b.m22,
          a.tX * b.m11 + a.tY * b.m21 + b.tX,
          a.tX * b.m12 + a.tY * b.m22 + b.tY};
}

}  // namespace

void AffineTransform::translateXBy(double deltaX, double deltaY) {
  m_ = concat({1, 0, 0, 1, deltaX, deltaY}, m_);
}

void AffineTransform::scaleXBy(double scaleX, double scaleY) {
  m_ = concat({scaleX, 0, 0, scaleY, 0, 0}, m_);
}

void AffineTransform::rotateByDegrees(double angle) {
  double s, c;
  detail::sinCosDegrees(angle, s, c);
  m_ = concat({c, s, -s, c, 0, 0}, m_);
}

void AffineTransform::rotateByRadians(double angle) {
  const double s = std::sin(angle), c = std::cos(angle);
  m_ = concat({c, s, -s, c, 0, 0}, m_);
}

void AffineTransform::prependTransform(const AffineTransform& transform) {
  m_ = concat(transform.m_, m_);
}

void AffineTransform::appendTransform(const AffineTransform& transform) {
  m_ = concat(m_, transform.m_);
}

bool AffineTransform::invert() {
  const double det = m_.m11 * m_.m22 - m_.m12 * m_.m21;
  if (det == 0 || !std::isfinite(det)) return false;
  const double inv = 1.0 / det;
  AffineTransformStruct r;
  r.m11 = m_.m22 * inv;
  r.m12 = -m_.m12 * inv;
  r.m21 = -m_.m21 * inv;
  r.m22 = m_.m11 * inv;
  r.tX = -(m_.tX * r.m11 + m_.tY * r.m21);
  r.tY = -(m_.tX * r.m12 + m_.tY * r.m22);
  m_ = r;
  return true;
}

}  // namespace vellum
