#include "mesh/V2DMeshStructure.h"

#include <cmath>
#include <optional>

namespace vellum {

namespace {

bool finite(V2DVector3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// A vertex's members in key order, as a dictionary would hold them.
const Structure::Keys& vertexKeys() {
  static const Structure::Keys keys = KeyTable::of({"NX", "NY", "NZ", "X", "Y", "Z"});
  return keys;
}

}  // namespace

void V2DAppendTriangle(V2DTriangleList& triangles, V2DTriangleIndexMap* triangleIndices, V2DVector3 a, V2DVector3 b,
                       V2DVector3 c, V2DVector3 normal, bool smoothable) {
  V2DTriangleRecord r;
  r.corners[0] = V2DVector3Rounded(a);
  r.corners[1] = V2DVector3Rounded(b);
  r.corners[2] = V2DVector3Rounded(c);
  r.normal = V2DVector3Rounded(normal);
  r.smoothable = smoothable;
  const auto index = static_cast<uint32_t>(triangles.size());
  triangles.push_back(r);
  if (smoothable && triangleIndices)
    for (const V2DVector3& corner : r.corners) (*triangleIndices)[corner].push_back(index);
}

bool V2DFastNormalize(V2DVector3 v, V2DVector3& out) {
  const float s = (v.x * v.x + v.y * v.y) + v.z * v.z;
  // s of 0 has no reciprocal; s below the normal range or infinite loses the direction.
  if (!(s >= 1e-36f) || !std::isfinite(s)) return false;
  // The exact reciprocal square root meets the 1.5 * 2^-12 bound.
  const float r = 1.0f / std::sqrt(s);
  out = {v.x * r, v.y * r, v.z * r};
  return finite(out);
}

Structure V2DMeshStructureFromTriangles(const V2DTriangleList& triangles, const V2DTriangleIndexMap& triangleIndices,
                                        bool smooth) {
  std::vector<double> numbers;
  numbers.reserve(triangles.size() * 18);
  // Per position, its smoothed normal, or nothing when its faces' normals sum to nothing.
  std::unordered_map<V2DVector3, std::optional<V2DVector3>, V2DVector3Hash> normalCache;
  for (const V2DTriangleRecord& record : triangles) {
    const bool s = smooth && record.smoothable;
    const V2DVector3 faceNormal = finite(record.normal) ? record.normal : V2DVector3{};
    for (const V2DVector3& p : record.corners) {
      V2DVector3 n = faceNormal;
      if (s) {
        if (auto cached = normalCache.find(p); cached != normalCache.end()) {
          if (cached->second) n = *cached->second;
        } else {
          V2DVector3 sum{};
          if (auto listed = triangleIndices.find(p); listed != triangleIndices.end())
            for (uint32_t index : listed->second) {
              if (index >= triangles.size()) continue;
              const V2DVector3& f = triangles[index].normal;
              sum = {sum.x + f.x, sum.y + f.y, sum.z + f.z};
            }
          // Opposite faces meeting, or nothing listed: every corner there keeps its own face
          // normal (remembered, so that a position shared by many corners is summed once).
          V2DVector3 unit;
          const bool smoothed = V2DFastNormalize(sum, unit);
          normalCache.emplace(p, smoothed ? std::optional(V2DVector3Rounded(unit)) : std::nullopt);
          if (smoothed) n = unit;
        }
      }
      // A coordinate of -0 is written as 0.
      numbers.insert(numbers.end(), {double(n.x) + 0.0, double(n.y) + 0.0, double(n.z) + 0.0, double(p.x) + 0.0,
                                     double(p.y) + 0.0, double(p.z) + 0.0});
    }
  }
  return Structure::withNumberRows(6, std::move(numbers), vertexKeys(), "");
}

}  // namespace vellum
