#include "patches/geometry/V2DTriangleStructurePatch.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <vector>

#include "mesh/Triangulator.h"

namespace vellum {

namespace {

using mesh::Constraint;

// Exact point equality with -0 folded to +0.
struct PointKey {
  double x = 0, y = 0;
  PointKey() = default;
  explicit PointKey(Point p) : x(p.x + 0.0), y(p.y + 0.0) {}
  friend bool operator==(const PointKey&, const PointKey&) = default;
  // The bits themselves (-0 is folded already, and NaN never becomes a key), mixed.
  uint64_t hash() const {
    uint64_t h = std::bit_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull ^ std::bit_cast<uint64_t>(y);
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 29);
  }
};
// A segment between two table vertices, as their indices: exact point equality already made
// each point one index.
struct SegmentKey {
  uint64_t ends = 0;
  SegmentKey() = default;
  SegmentKey(uint32_t a, uint32_t b) : ends(uint64_t(a) << 32 | b) {}
  friend bool operator==(const SegmentKey&, const SegmentKey&) = default;
  uint64_t hash() const {
    uint64_t h = ends * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 32);
  }
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
  const size_t elements = path.data().size();
  FlatIndex<PointKey> vertexTable(elements);
  FlatIndex<SegmentKey> segmentTable(elements);
  constexpr uint32_t kMissing = FlatIndex<PointKey>::kMissing;
  // Consecutive look-ups mostly ask for the point asked for last.
  Point lastPoint{NAN, NAN};
  uint32_t lastIndex = kMissing;
  auto indexOf = [&](Point p) {
    if (!(p == lastPoint)) lastPoint = p, lastIndex = vertexTable.find(PointKey(p));
    return lastIndex;
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
            const auto [index, added] = vertexTable.tryEmplace(PointKey(p), uint32_t(in.vertices.size()));
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
            if (segmentTable.tryEmplace(SegmentKey(va, vb), uint32_t(in.constraints.size())).second)
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
  const detail::PathData& d = path.data();
  Point cur{}, start{};
  bool open = false;
  auto segment = [&](Point a, Point b) {
    if (a == b) return;
    in.segments.insert(in.segments.end(), {a.x, a.y, b.x, b.y});
    const uint32_t va = indexOf(a), vb = indexOf(b);
    if (va == kMissing || vb == kMissing) {
      in.covered = false;
      return;
    }
    if (const uint32_t forward = segmentTable.find(SegmentKey(va, vb)); forward != kMissing)
      ++in.constraints[forward].multiplicity;
    else if (const uint32_t back = segmentTable.find(SegmentKey(vb, va)); back != kMissing)
      --in.constraints[back].multiplicity;
    else
      in.covered = false;
  };
  for (size_t i = 0; i < d.size(); ++i) {
    const Point* q = d.points.data() + d.offsets[i];
    switch (d.kinds[i]) {
      case detail::kMove:
        if (open) segment(cur, start);
        cur = start = q[0];
        open = true;
        break;
      case detail::kLine:
        segment(cur, q[0]);
        cur = q[0];
        break;
      case detail::kCurve:
        // Not expected in a flattened path; its chord stands in for it.
        in.covered = false;
        segment(cur, q[2]);
        cur = q[2];
        break;
      default:
        segment(cur, start);
        cur = start;
        break;
    }
  }
  if (open) segment(cur, start);
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
  for (uint8_t kind : path.data().kinds) segments += kind == detail::kLine || kind == detail::kClose;
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

V2DTriangleStructurePatch::V2DTriangleStructurePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Triangle Structure With Vector", "name");
  inputFlatness.setMinDoubleValue(0.0001);
  inputFlatness.setDoubleValue(0.01);
}

bool V2DTriangleStructurePatch::execute(ExecutionContext*, double, const Arguments&) {
  V2DTriangleList triangles;
  V2DTriangleIndexMap triangleIndices;
  if (const auto path = inputBezierPath.bezierPathValue()) {
    const auto flat = path->bezierPathByFlatteningPathWithFlatness(inputFlatness.doubleValue());
    _triangleStructureForBezierPath(flat.get(), inputConforming.booleanValue(), 0.0f, false, triangles, triangleIndices);
  }
  outputLines.setStructureValue(V2DMeshStructureFromTriangles(triangles, triangleIndices, false));
  return true;
}

}  // namespace vellum
