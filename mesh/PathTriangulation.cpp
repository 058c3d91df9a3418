#include "mesh/PathTriangulation.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

#include "mesh/Triangulator.h"
#include "path/ElementWalk.h"
#include "path/PointKey.h"

namespace vellum {

namespace {

using mesh::Constraint;

uint64_t pointHash(Point p) { return PointKey{}(p); }
uint64_t segmentHash(uint32_t a, uint32_t b) { return PointKey::mix(a, b); }

// Indices into the caller's arrays, in one flat table with linear probing: four bytes a slot,
// so that the table of a million-point path stays in cache, entries compared through the
// arrays. Sized once for the most entries it will hold; nothing is ever removed.
class IndexTable {
 public:
  static constexpr uint32_t kMissing = UINT32_MAX;

  explicit IndexTable(size_t most) {
    size_t capacity = 16;
    while (capacity < 2 * most + 2) capacity *= 2;
    slots_.assign(capacity, kMissing);
    mask_ = capacity - 1;
  }
  // The stored index `same` accepts, or kMissing.
  template <class Same>
  uint32_t find(uint64_t hash, Same same) const {
    for (size_t i = hash & mask_;; i = (i + 1) & mask_)
      if (slots_[i] == kMissing || same(slots_[i])) return slots_[i];
  }
  // Likewise, storing `index` first when there is none; says whether it was stored.
  template <class Same>
  std::pair<uint32_t, bool> insert(uint64_t hash, uint32_t index, Same same) {
    for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
      if (slots_[i] == kMissing) {
        slots_[i] = index;
        return {index, true};
      }
      if (same(slots_[i])) return {slots_[i], false};
    }
  }

 private:
  std::vector<uint32_t> slots_;
  size_t mask_ = 0;
};

bool finitePoint(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

}  // namespace

V2DTriangulationInput V2DCollectTriangulationInput(const BezierPath& path) {
  V2DTriangulationInput in;
  const size_t elements = path.elementCount();
  // Every vertex is some element's end point, or the origin a leading line starts from.
  IndexTable vertexTable(elements + 1), segmentTable(elements);
  constexpr uint32_t kMissing = IndexTable::kMissing;
  auto vertexIs = [&](Point p) { return [&in, p](uint32_t v) { return PointKey{}(in.vertices[v], p); }; };
  // Consecutive look-ups mostly ask for the point asked for last.
  Point lastPoint{NAN, NAN};
  uint32_t lastIndex = kMissing;
  auto indexOf = [&](Point p) {
    if (!(p == lastPoint)) lastPoint = p, lastIndex = vertexTable.find(pointHash(p), vertexIs(p));
    return lastIndex;
  };
  auto constraintOf = [&](uint32_t a, uint32_t b) {
    return segmentTable.find(segmentHash(a, b), [&](uint32_t k) { return in.constraints[k].a == a && in.constraints[k].b == b; });
  };
  std::vector<Point> pendingPoints;  // each segment's two ends, segments in order
  std::vector<uint32_t> pendingIndices;
  size_t pendingSegments = 0;
  Point previous{0, 0};
  in.vertices.reserve(elements);
  in.constraints.reserve(elements);

  V2DBezierPathEnumerator e = path.enumerator();
  while (auto element = e.next()) {
    const Point q = element->points[0];
    if (element->type == uint64_t(BezierPathElement::LineTo) || element->type == uint64_t(BezierPathElement::ClosePath)) {
      pendingPoints.push_back(previous);
      pendingPoints.push_back(q);
      pendingSegments += !(previous == q);
      if (element->type == uint64_t(BezierPathElement::ClosePath)) {
        if (pendingSegments >= 3) {
          pendingIndices.clear();
          for (const Point& p : pendingPoints) {
            // NaN equals nothing, so every such point would be a new key in one hash bucket:
            // quadratic time for a long run of them. Kept as a vertex, which phase 2 refuses.
            if (std::isnan(p.x) || std::isnan(p.y)) {
              in.vertices.push_back(p);
              pendingIndices.push_back(kMissing);
              continue;
            }
            if (!pendingIndices.empty() && p == pendingPoints[pendingIndices.size() - 1]) {
              pendingIndices.push_back(pendingIndices.back());
              continue;
            }
            const auto [index, added] = vertexTable.insert(pointHash(p), uint32_t(in.vertices.size()), vertexIs(p));
            if (added) in.vertices.push_back(p);
            pendingIndices.push_back(index);
          }
          for (size_t k = 0; k < pendingPoints.size(); k += 2) {
            const Point a = pendingPoints[k], b = pendingPoints[k + 1];
            if (a == b) continue;
            const uint32_t va = pendingIndices[k], vb = pendingIndices[k + 1];
            // A point that is not a number has no index; such a path gives no triangles
            // anyway (phase 2 refuses it).
            if (va == kMissing || vb == kMissing) {
              in.vertices.push_back(va == kMissing ? a : b);
              continue;
            }
            const auto same = [&](uint32_t c) { return in.constraints[c].a == va && in.constraints[c].b == vb; };
            if (segmentTable.insert(segmentHash(va, vb), uint32_t(in.constraints.size()), same).second)
              in.constraints.push_back({va, vb, 0});
          }
        }
        pendingPoints.clear();
        pendingSegments = 0;
      }
    }
    previous = q;
  }

  // The segments the path's containment test walks (open subpaths closed), counted onto the
  // constraints they coincide with.
  Point cur{};
  bool open = false;
  size_t expected = 0;  // the walk mostly meets the constraints in the order they were made
  auto segment = [&](Point a, Point b) {
    if (a == b) return;
    in.segments.insert(in.segments.end(), {a.x, a.y, b.x, b.y});
    if (expected < in.constraints.size()) {
      Constraint& c = in.constraints[expected];
      if (PointKey{}(in.vertices[c.a], a) && PointKey{}(in.vertices[c.b], b)) {
        ++c.multiplicity, ++expected;
        return;
      }
    }
    const uint32_t va = indexOf(a), vb = indexOf(b);
    if (va == kMissing || vb == kMissing) {
      in.covered = false;
      return;
    }
    if (const uint32_t forward = constraintOf(va, vb); forward != kMissing)
      ++in.constraints[forward].multiplicity, expected = forward + 1;
    else if (const uint32_t back = constraintOf(vb, va); back != kMissing)
      --in.constraints[back].multiplicity;
    else
      in.covered = false;
  };
  ElementWalk walk(path);
  for (size_t i = 0; i < walk.size(); ++i) {
    const BezierPathElement kind = walk.kind(i);
    if (kind == BezierPathElement::MoveTo && open) segment(cur, walk.subpathStart());
    // Not expected in a flattened path; its chord stands in for it.
    if (kind == BezierPathElement::CurveTo) in.covered = false;
    const Point end = walk.next(i);
    if (kind == BezierPathElement::MoveTo)
      open = true;
    else
      segment(cur, end);
    cur = end;
  }
  if (open) segment(cur, walk.subpathStart());
  if (in.covered) in.segments.clear();
  return in;
}

V2DTriangulation triangulateWithConstraints(const V2DTriangulationInput& input, bool evenOdd, bool conform) {
  V2DTriangulation result;
  if (input.vertices.empty() || input.constraints.empty()) return result;
  // Corners are written in single precision: a coordinate beyond its range (or not finite)
  // cannot be written, and gives no triangles.
  for (const Point& p : input.vertices)
    if (!finitePoint(p) || std::fabs(p.x) > FLT_MAX || std::fabs(p.y) > FLT_MAX) return result;
  for (double s : input.segments)
    if (!std::isfinite(s)) return result;

  const std::span<const double> xy(reinterpret_cast<const double*>(input.vertices.data()), input.vertices.size() * 2);
  mesh::TriangulationOptions options;
  options.rule = evenOdd ? mesh::FillRule::EvenOdd : mesh::FillRule::NonZero;
  options.conform = conform;
  options.windingSegments = input.segments;
  mesh::Triangulation t = mesh::triangulate(xy, input.constraints, options);
  result.vertices = input.vertices;
  for (size_t i = 0; i + 1 < t.newPoints.size(); i += 2) result.vertices.push_back({t.newPoints[i], t.newPoints[i + 1]});
  result.triangles = std::move(t.triangles);
  return result;
}

uint64_t V2DLineSegmentCount(const BezierPath& path) {
  uint64_t segments = 0;
  const ElementWalk walk(path);
  for (size_t i = 0; i < walk.size(); ++i)
    segments += walk.kind(i) == BezierPathElement::LineTo || walk.kind(i) == BezierPathElement::ClosePath;
  return segments;
}

namespace {
V2DTriangulation triangulateFlattened(const BezierPath& path, bool conform) {
  if (V2DLineSegmentCount(path) > kMaxTriangulatedSegments) return {};
  return triangulateWithConstraints(V2DCollectTriangulationInput(path), path.windingRule() == EvenOddWindingRule,
                                    conform);
}
}  // namespace

V2DTriangulation triangulateBezierPath(const BezierPath& path, double flatness, bool conform) {
  return triangulateFlattened(*path.bezierPathByFlatteningPathWithFlatness(flatness), conform);
}

void _triangleStructureForBezierPath(const BezierPath* path, bool conform, float zOffset, bool backfaces,
                                     V2DTriangleList& triangles, V2DTriangleIndexMap&) {
  if (!path) return;
  const V2DTriangulation t = triangulateFlattened(*path, conform);

  // Phase 3: the corner queue, reversed whole for back faces.
  std::vector<uint32_t> queue = t.triangles;
  if (backfaces) std::reverse(queue.begin(), queue.end());
  const size_t n = queue.size();
  if (n == 0) return;
  const V2DVector3 normal = backfaces ? V2DVector3{0, 0, -1} : V2DVector3{0, 0, 1};
  if (!std::isfinite(zOffset)) zOffset = 0;
  triangles.reserve(triangles.size() + n / 3);
  V2DVector3 corner[3];
  for (size_t i = 0; i < n; ++i) {
    const Point& p = t.vertices[queue[i]];
    corner[i % 3] = {float(p.x), float(p.y), zOffset};
    if (i % 3 == 2) V2DAppendTriangle(triangles, nullptr, corner[0], corner[1], corner[2], normal, false);
  }
}

}  // namespace vellum
