#include "path/V2DVector3.h"

#include "path/PointKey.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace vellum {

namespace {

float roundThousandths(float c) {
  const float r = std::roundf(c * 1000.0f) / 1000.0f;
  return r == 0.0f ? 0.0f : r;
}

}  // namespace

V2DVector3 V2DVector3Rounded(V2DVector3 v) {
  return {roundThousandths(v.x), roundThousandths(v.y), roundThousandths(v.z)};
}

Value valueWithV2DVector3(V2DVector3 v) { return Value(V2DVector3Rounded(v)); }

V2DVector3 V2DVector3Value(const Value& value) {
  if (const Vector3* v = value.vector3()) return *v;
  if (const Rect* r = value.rect())
    return {static_cast<float>(r->origin.x), static_cast<float>(r->origin.y), static_cast<float>(r->size.width)};
  return {};
}

size_t V2DVector3Hash::operator()(const V2DVector3& v) const noexcept {
  // Adding +0 turns -0 into +0, so values equal under == hash alike.
  const uint64_t x = std::bit_cast<uint32_t>(v.x + 0.0f);
  const uint64_t y = std::bit_cast<uint32_t>(v.y + 0.0f);
  const uint64_t z = std::bit_cast<uint32_t>(v.z + 0.0f);
  return size_t(PointKey::mix(PointKey::mix(x, y), z));
}

}  // namespace vellum
