#include "patches/geometry/V2DTriangleStructurePatch.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <unordered_map>

#include "patches/geometry/GtsWorkerClient.h"

namespace vellum {

namespace {

using triangulation::Constraint;

// Exact point equality with -0 folded to +0.
struct PointKey {
  double x, y;
  explicit PointKey(Point p) : x(p.x + 0.0), y(p.y + 0.0) {}
  friend bool operator==(const PointKey&, const PointKey&) = default;
};
struct PointKeyHash {
  // The bits themselves (-0 is folded already, and NaN equals nothing anyway), mixed.
  size_t operator()(const PointKey& p) const noexcept {
    uint64_t h = std::bit_cast<uint64_t>(p.x) * 0x9E3779B97F4A7C15ull ^ std::bit_cast<uint64_t>(p.y);
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    return size_t(h ^ (h >> 29));
  }
};
struct SegmentKey {
  PointKey a, b;
  friend bool operator==(const SegmentKey&, const SegmentKey&) = default;
};
struct SegmentKeyHash {
  size_t operator()(const SegmentKey& s) const noexcept {
    return PointKeyHash{}(s.a) * 31 + PointKeyHash{}(s.b);
  }
};

bool finitePoint(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

}  // namespace

V2DTriangulationInput V2DCollectTriangulationInput(const BezierPath& path) {
  V2DTriangulationInput in;
  std::unordered_map<PointKey, uint32_t, PointKeyHash> vertexTable;
  std::unordered_map<SegmentKey, uint32_t, SegmentKeyHash> segmentTable;
  std::vector<Point> pendingPoints;
  std::vector<std::pair<Point, Point>> pendingSegments;
  Point previous{0, 0};
  // Sized once for the path, rather than grown step by step.
  const size_t elements = path.data().size();
  vertexTable.reserve(elements);
  segmentTable.reserve(elements);
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
            auto [it, added] = vertexTable.try_emplace(PointKey(p), uint32_t(in.vertices.size()));
            if (added) in.vertices.push_back(p);
          }
          for (const auto& [a, b] : pendingSegments) {
            // A point that is not a number equals no table entry; such a path gives no
            // triangles anyway (phase 2 refuses it).
            const auto va = vertexTable.find(PointKey(a)), vb = vertexTable.find(PointKey(b));
            if (va == vertexTable.end() || vb == vertexTable.end()) {
              in.vertices.push_back(va == vertexTable.end() ? a : b);
              continue;
            }
            auto [it, added] = segmentTable.try_emplace(SegmentKey{PointKey(a), PointKey(b)}, uint32_t(in.constraints.size()));
            if (added) in.constraints.push_back({va->second, vb->second, 0});
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
  const detail::PathData& d = path.data();
  Point cur{}, start{};
  bool open = false;
  auto segment = [&](Point a, Point b) {
    if (a == b) return;
    in.segments.insert(in.segments.end(), {a.x, a.y, b.x, b.y});
    if (auto it = segmentTable.find(SegmentKey{PointKey(a), PointKey(b)}); it != segmentTable.end())
      ++in.constraints[it->second].multiplicity;
    else if (auto back = segmentTable.find(SegmentKey{PointKey(b), PointKey(a)}); back != segmentTable.end())
      --in.constraints[back->second].multiplicity;
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
  // cannot be written, and gives no triangles, as a failed triangulation does.
  for (const Point& p : input.vertices)
    if (!finitePoint(p) || std::fabs(p.x) > FLT_MAX || std::fabs(p.y) > FLT_MAX) return result;
  for (double s : input.segments)
    if (!std::isfinite(s)) return result;

  using namespace triangulation;
  const std::span<const double> xy(reinterpret_cast<const double*>(input.vertices.data()), input.vertices.size() * 2);
  const uint32_t base = (evenOdd ? kEvenOdd : 0u) | (input.covered ? 0u : kSegmentWinding);
  // Marking constraints in a plain triangulation is the more dependable order; the classic
  // order (constraints made before the vertices) is the fallback, and a refinement that fails
  // both ways still leaves the unrefined triangles.
  // Input that fails both ways is retried with y stretched (see kStretch), then sheared (see
  // kShear): both keep the geometry but move GTS off cocircular points; last rotated (see
  // kRotate), which also moves it off collinear points.
  std::vector<uint32_t> attempts = {base | kVerticesFirst, base, base | kVerticesFirst | kStretch, base | kStretch,
                                    base | kVerticesFirst | kShear, base | kShear, base | kVerticesFirst | kRotate,
                                    base | kRotate};
  if (conform) {
    attempts = {base | kConform | kVerticesFirst, base | kConform, base | kConform | kVerticesFirst | kStretch,
                base | kConform | kVerticesFirst | kShear, base | kConform | kVerticesFirst | kRotate,
                base | kVerticesFirst, base, base | kVerticesFirst | kStretch, base | kStretch,
                base | kVerticesFirst | kShear, base | kShear, base | kVerticesFirst | kRotate, base | kRotate};
  }
  // Large inputs first try the faster insertion order (see kRandomRounds), plain, sheared and
  // stretched; the attempts above follow unchanged. In Morton order GTS takes over a second on
  // 40 000 glyph vertices and fails there about as often, so each failure in it costs ten times
  // a failure in this order (DejaVu Serif text at fine flatness: 7 s down to 0.5 s).
  if (input.vertices.size() > kRandomRoundsAbove) {
    const uint32_t fast = attempts.front() | kRandomRounds;
    attempts.insert(attempts.begin(), {fast, fast | kShear, fast | kStretch, fast | kRotate});
  }
  WorkerAnswer answer;
  for (uint32_t flags : attempts) {
    const auto outcome = GtsWorkerClient::shared().request(flags, xy, input.constraints, input.segments, answer);
    // Another order would not be faster: a call cut off by the time limit ends the attempts.
    if (outcome == GtsWorkerClient::Outcome::Unavailable || outcome == GtsWorkerClient::Outcome::TimedOut) return result;
    if (outcome != GtsWorkerClient::Outcome::Answered) continue;
    if (answer.status == kBadRequest) return result;
    if (answer.status == kOk) break;
  }
  if (answer.status != kOk) return result;

  const size_t total = input.vertices.size() + answer.newVertices.size() / 2;
  for (uint32_t index : answer.triangles)
    if (index >= total) return result;
  for (double c : answer.newVertices)
    if (!std::isfinite(c)) return result;
  result.vertices = input.vertices;
  for (size_t i = 0; i + 1 < answer.newVertices.size(); i += 2)
    result.vertices.push_back({answer.newVertices[i], answer.newVertices[i + 1]});
  result.triangles = std::move(answer.triangles);
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
