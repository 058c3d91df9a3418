// Three single-precision components carried in a value, rounded to thousandths when stored so
// that positions that round alike compare and hash alike.
#pragma once

#include <cstddef>

#include "host/Value.h"

namespace vellum {

using V2DVector3 = Vector3;

// Each component becomes roundf(c * 1000) / 1000 (halves away from zero), and a zero of either
// sign becomes +0.
V2DVector3 V2DVector3Rounded(V2DVector3 v);
// A value of kind Vector3 holding the rounded vector.
Value valueWithV2DVector3(V2DVector3 v);
// The vector of a Vector3 value (a rectangle value gives origin x, origin y, width); anything
// else gives (0, 0, 0).
V2DVector3 V2DVector3Value(const Value& value);

// Hash agreeing with ==: -0 and +0 hash alike. For unordered containers of stored vectors.
struct V2DVector3Hash {
  size_t operator()(const V2DVector3& v) const noexcept;
};

}  // namespace vellum
