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

// A vertex in the flat index, keyed by the one point key.
struct VertexKey {
  Point p;
  VertexKey() = default;
  explicit VertexKey(Point q) : p(q) {}
  friend bool operator==(const VertexKey& a, const VertexKey& b) { return PointKey{}(a.p, b.p); }
  uint64_t hash() const { return PointKey{}(p); }
};
struct SegmentKey {
  VertexKey a, b;
  friend bool operator==(const SegmentKey&, const SegmentKey&) = default;
  uint64_t hash() const { return a.hash() * 31 + b.hash(); }
};

// Keys to indices, in one flat table with linear probing: no allocation per entry, and
// nothing is ever removed.
template <class Key>
class FlatIndex {
 public:
  static constexpr uint32_t kMissing = UINT32_MAX;

  explicit FlatIndex(size_t expected) {
    size_t capacity = 16;
    while (capacity < 2 * expected) capacity *= 2;
    slots_.resize(capacity, {Key{}, kMissing});
    mask_ = capacity - 1;
  }
  // The index stored for `key`, storing `value` first if there was none.
  std::pair<uint32_t, bool> tryEmplace(const Key& key, uint32_t value) {
    if (2 * (size_ + 1) > slots_.size()) grow();
    for (size_t i = key.hash() & mask_;; i = (i + 1) & mask_) {
      auto& [k, v] = slots_[i];
      if (v == kMissing) {
        k = key, v = value, ++size_;
        return {value, true};
      }
      if (k == key) return {v, false};
    }
  }
  uint32_t find(const Key& key) const {
    for (size_t i = key.hash() & mask_;; i = (i + 1) & mask_) {
      const auto& [k, v] = slots_[i];
      if (v == kMissing || k == key) return v;
    }
  }

 private:
  void grow() {
    std::vector<std::pair<Key, uint32_t>> old(2 * slots_.size(), {Key{}, kMissing});
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    size_ = 0;
    for (const auto& [k, v] : old)
      if (v != kMissing) tryEmplace(k, v);
  }
  std::vector<std::pair<Key, uint32_t>> slots_;
  size_t mask_ = 0, size_ = 0;
};

bool finitePoint(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

}  // namespace

V2DTriangulationInput V2DCollectTriangulationInput(const BezierPath& path) {
  V2DTriangulationInput in;
  const size_t elements = path.elementCount();
  FlatIndex<VertexKey> vertexTable(elements);
  FlatIndex<SegmentKey> segmentTable(elements);
  std::vector<Point> pendingPoints;
  std::vector<std::pair<Point, Point>> pendingSegments;
  Point previous{0, 0};
  in.vertices.reserve(elements);
  in.constraints.reserve(elements);

  V2DBezierPathEnumerator e = path.enumerator();
  while (auto element = e.next()) {
    const Point q = element->points[0];
    if (element->type == uint64_t(BezierPathElement::LineTo) || element->type == uint64_t(BezierPathElement::ClosePath)) {
      pendingPoints.push_back(previous);
      pendingPoints.push_back(q);
      if (!(previous == q)) pendingSegments.emplace_back(previous, q);
      if (element->type == uint64_t(BezierPathElement::ClosePath)) {
        if (pendingSegments.size() >= 3) {
          for (const Point& p : pendingPoints) {
            // NaN equals nothing, so every such point would be a new key in one hash bucket:
            // quadratic time for a long run of them. Kept as a vertex, which phase 2 refuses.
            if (std::isnan(p.x) || std::isnan(p.y)) {
              in.vertices.push_back(p);
              continue;
            }
            if (vertexTable.tryEmplace(VertexKey(p), uint32_t(in.vertices.size())).second) in.vertices.push_back(p);
          }
          for (const auto& [a, b] : pendingSegments) {
            // A point that is not a number equals no table entry; such a path gives no
            // triangles anyway (phase 2 refuses it).
            const uint32_t va = vertexTable.find(VertexKey(a)), vb = vertexTable.find(VertexKey(b));
            if (va == FlatIndex<VertexKey>::kMissing || vb == FlatIndex<VertexKey>::kMissing) {
              in.vertices.push_back(va == FlatIndex<VertexKey>::kMissing ? a : b);
              continue;
            }
            if (segmentTable.tryEmplace(SegmentKey{VertexKey(a), VertexKey(b)}, uint32_t(in.constraints.size())).second)
              in.constraints.push_back({va, vb, 0});
          }
        }
        pendingPoints.clear();
        pendingSegments.clear();
      }
    }
    previous = q;
  }

  // The segments the path's containment test walks (open subpaths closed), counted onto the
  // constraints they coincide with.
  Point cur{};
  bool open = false;
  auto segment = [&](Point a, Point b) {
    if (a == b) return;
    in.segments.insert(in.segments.end(), {a.x, a.y, b.x, b.y});
    if (const uint32_t forward = segmentTable.find(SegmentKey{VertexKey(a), VertexKey(b)}); forward != FlatIndex<SegmentKey>::kMissing)
      ++in.constraints[forward].multiplicity;
    else if (const uint32_t back = segmentTable.find(SegmentKey{VertexKey(b), VertexKey(a)}); back != FlatIndex<SegmentKey>::kMissing)
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

void _triangleStructureForBezierPath(const BezierPath* path, bool conform, float zOffset, bool backfaces,
                                     V2DTriangleList& triangles, V2DTriangleIndexMap&) {
  if (!path || V2DLineSegmentCount(*path) > kMaxTriangulatedSegments) return;
  const V2DTriangulationInput input = V2DCollectTriangulationInput(*path);
  const V2DTriangulation t = triangulateWithConstraints(input, path->windingRule() == EvenOddWindingRule, conform);

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
