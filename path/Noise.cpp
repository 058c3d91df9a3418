#include "path/Noise.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace vellum {

float noiseDisplacement(long draw, float amount) {
  // One unit in the last place above 2^-23: r * e then spans [0, 1) over the 23-bit draws.
  constexpr float kUnit = std::bit_cast<float>(uint32_t{0x34000001});
  // Kept in single precision step by step (this file builds with -ffp-contract=off, so no fused
  // multiply-add changes the rounding).
  const float r = static_cast<float>(draw & 0x7FFFFF);
  const float unit = r * kUnit;
  const float centred = unit - 0.5f;
  return centred * amount;
}

float noiseAmount(double amount) {
  const float a = static_cast<float>(amount);
  return std::isfinite(a) ? a : 0.0f;
}

std::shared_ptr<BezierPath> noisyBezierPath(const BezierPath& path, float xAmount, float yAmount,
                                            const std::function<long()>& draw) {
  auto result = path.copy();
  auto displace = [&](Point& p) {
    p.x += double(noiseDisplacement(draw(), xAmount));
    p.y += double(noiseDisplacement(draw(), yAmount));
  };
  const size_t n = path.elementCount();
  for (size_t i = 0; i < n; ++i) {
    Point pts[3];
    switch (path.elementAtIndex(i, pts)) {
      case BezierPathElement::CurveTo:
        displace(pts[1]);
        displace(pts[2]);
        displace(pts[0]);
        result->setAssociatedPoints(std::span<const Point>(pts, 3), i);
        break;
      case BezierPathElement::MoveTo:
      case BezierPathElement::LineTo:
        displace(pts[0]);
        result->setAssociatedPoints(std::span<const Point>(pts, 1), i);
        break;
      case BezierPathElement::ClosePath:
        break;
    }
  }
  return result;
}

}  // namespace vellum
