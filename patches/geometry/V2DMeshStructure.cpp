#include "patches/geometry/V2DMeshStructure.h"

#include <cmath>
#include <cstdio>

namespace vellum {

namespace {

bool finite(V2DVector3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

Value vertexMember(V2DVector3 p, V2DVector3 n) {
  // A coordinate of -0 is written as 0.
  auto number = [](float f) { return Value(double(f) + 0.0); };
  return Value(std::make_shared<const Structure>(Structure::withDictionary({{"X", number(p.x)},
                                                                            {"Y", number(p.y)},
                                                                            {"Z", number(p.z)},
                                                                            {"NX", number(n.x)},
                                                                            {"NY", number(n.y)},
                                                                            {"NZ", number(n.z)}})));
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
  Structure mesh;
  std::unordered_map<V2DVector3, V2DVector3, V2DVector3Hash> normalCache;
  unsigned k = 0;
  char key[16];
  for (const V2DTriangleRecord& record : triangles) {
    const bool s = smooth && record.smoothable;
    const V2DVector3 faceNormal = finite(record.normal) ? record.normal : V2DVector3{};
    for (unsigned c = 0; c < 3; ++c) {
      const V2DVector3& p = record.corners[c];
      V2DVector3 n = faceNormal;
      if (s) {
        if (auto cached = normalCache.find(p); cached != normalCache.end()) {
          n = cached->second;
        } else {
          V2DVector3 sum{};
          if (auto listed = triangleIndices.find(p); listed != triangleIndices.end())
            for (uint32_t index : listed->second) {
              if (index >= triangles.size()) continue;
              const V2DVector3& f = triangles[index].normal;
              sum = {sum.x + f.x, sum.y + f.y, sum.z + f.z};
            }
          V2DVector3 unit;
          if (V2DFastNormalize(sum, unit)) {
            normalCache.emplace(p, V2DVector3Rounded(unit));
            n = unit;
          }
          // Otherwise (opposite faces meeting, or nothing listed) this corner keeps its own
          // face normal, and the position stays uncached so each later corner does the same.
        }
      }
      std::snprintf(key, sizeof key, "%u", k + c);
      mesh.addMember(vertexMember(p, n), std::string(key));
    }
    k += 3;
  }
  return mesh;
}

}  // namespace vellum
