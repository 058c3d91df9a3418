#include "patches/operators/V2DBezierPathNoisePatch.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace vellum {

namespace {
// One unit in the last place above 2^-23: r * e then spans [0, 1) over the 23-bit draws.
const float kUnit = std::bit_cast<float>(uint32_t{0x34000001});
}  // namespace

V2DBezierPathNoisePatch::V2DBezierPathNoisePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector Noise", "name");
}

float V2DBezierPathNoisePatch::displacement(long draw, float amount) {
  // Kept in single precision step by step (this library builds with -ffp-contract=off, so no
  // fused multiply-add changes the rounding).
  const float r = static_cast<float>(draw & 0x7FFFFF);
  const float unit = r * kUnit;
  const float centred = unit - 0.5f;
  return centred * amount;
}

float V2DBezierPathNoisePatch::singleAmount(double amount) {
  const float a = static_cast<float>(amount);
  return std::isfinite(a) ? a : 0.0f;
}

bool V2DBezierPathNoisePatch::execute(ExecutionContext*, double, const Arguments&) {
  const auto path = inputBezierPath.bezierPathValue();
  if (!path) {
    outputBezierPath.setBezierPathValue(nullptr);
    return true;
  }
  // srandom takes an unsigned int: larger seeds keep their low 32 bits.
  srandom(static_cast<unsigned>(inputSeed.indexValue()));
  auto result = path->copy();
  const float ax = singleAmount(inputXAmount.doubleValue());
  const float ay = singleAmount(inputYAmount.doubleValue());
  auto dx = [&](double v) { return v + double(displacement(random(), ax)); };
  auto dy = [&](double v) { return v + double(displacement(random(), ay)); };

  const size_t n = path->elementCount();
  for (size_t i = 0; i < n; ++i) {
    Point pts[3];
    switch (path->elementAtIndex(i, pts)) {
      case BezierPathElement::CurveTo:
        // Draw order: second control point, end point, then first control point.
        pts[1].x = dx(pts[1].x);
        pts[1].y = dy(pts[1].y);
        pts[2].x = dx(pts[2].x);
        pts[2].y = dy(pts[2].y);
        pts[0].x = dx(pts[0].x);
        pts[0].y = dy(pts[0].y);
        result->setAssociatedPoints(std::span<const Point>(pts, 3), i);
        break;
      case BezierPathElement::MoveTo:
      case BezierPathElement::LineTo:
        pts[0].x = dx(pts[0].x);
        pts[0].y = dy(pts[0].y);
        result->setAssociatedPoints(std::span<const Point>(pts, 1), i);
        break;
      case BezierPathElement::ClosePath:
        break;
    }
  }
  outputBezierPath.setBezierPathValue(std::move(result));
  return true;
}

}  // namespace vellum
