// A mesh structure's vertex k ("0", "1", ...) as position and normal; NaN where there is none.
#pragma once

#include <cmath>
#include <string>

#include "host/Structure.h"
#include "path/V2DVector3.h"

namespace vellum::test {

inline V2DVector3 vertexMembers(const Structure& mesh, size_t k, const char* x, const char* y, const char* z) {
  auto v = mesh.memberForKey(std::to_string(k)).structure();
  if (!v) return {NAN, NAN, NAN};
  return {float(v->memberForKey(x).doubleValue()), float(v->memberForKey(y).doubleValue()),
          float(v->memberForKey(z).doubleValue())};
}
inline V2DVector3 positionOf(const Structure& mesh, size_t k) { return vertexMembers(mesh, k, "X", "Y", "Z"); }
inline V2DVector3 normalOf(const Structure& mesh, size_t k) { return vertexMembers(mesh, k, "NX", "NY", "NZ"); }

}  // namespace vellum::test
