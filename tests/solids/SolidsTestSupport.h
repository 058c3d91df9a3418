// Helpers for the solids tests: paths from point lists and readers of mesh structures.
#pragma once

#include <cmath>
#include <initializer_list>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "host/Structure.h"
#include "path/BezierPath.h"
#include "path/V2DVector3.h"
#include "tests/support/Polylines.h"

namespace vellum::test {

inline const std::vector<Point> kUnitSquare = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

inline V2DVector3 read3(const Structure& mesh, size_t k, const char* x, const char* y, const char* z) {
  auto v = mesh.memberForKey(std::to_string(k)).structure();
  if (!v) return {NAN, NAN, NAN};
  return {float(v->memberForKey(x).doubleValue()), float(v->memberForKey(y).doubleValue()),
          float(v->memberForKey(z).doubleValue())};
}
inline V2DVector3 positionOf(const Structure& mesh, size_t k) { return read3(mesh, k, "X", "Y", "Z"); }
inline V2DVector3 normalOf(const Structure& mesh, size_t k) { return read3(mesh, k, "NX", "NY", "NZ"); }

// Whether every number of every vertex member is finite.
inline bool allFinite(const Structure& mesh) {
  for (const auto& m : mesh)
    for (const auto& n : *m.value.structure())
      if (!std::isfinite(n.value.doubleValue())) return false;
  return true;
}

// Every directed edge of the mesh's triangles meets its reverse exactly once and itself never
// again: each edge is shared by exactly two triangles, consistently oriented. Triangles with
// coincident corners make it fail too.
inline bool watertight(const Structure& mesh) {
  using P = std::tuple<float, float, float>;
  std::map<std::pair<P, P>, int> edges;
  const size_t n = mesh.count() / 3;
  if (n == 0) return false;
  for (size_t t = 0; t < n; ++t)
    for (size_t c = 0; c < 3; ++c) {
      const V2DVector3 a = positionOf(mesh, t * 3 + c), b = positionOf(mesh, t * 3 + (c + 1) % 3);
      ++edges[{P{a.x, a.y, a.z}, P{b.x, b.y, b.z}}];
    }
  for (const auto& [e, count] : edges) {
    auto back = edges.find({e.second, e.first});
    if (count != 1 || back == edges.end() || back->second != 1) return false;
  }
  return true;
}

}  // namespace vellum::test
