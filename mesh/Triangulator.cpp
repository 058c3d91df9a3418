#include "mesh/Triangulator.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>

#include "path/Winding.h"

namespace vellum::mesh {

namespace {

constexpr uint32_t kNone = ConstrainedDelaunay::kNone;
constexpr uint32_t kCorners = 3;  // the enclosing triangle's vertices come first

// Grid coordinates are at most 2^30 from the map; refinement halves segments, so the
// triangulator works on that grid times 2^10. The enclosing corners are as far out as the
// predicates allow, 2^52: the farther they are, the less they distort the triangles along the
// hull, and the fewer flips an insertion outside the hull takes.
constexpr int kShift = 10;
// Flips per input point an outline-order build may spend before it starts again points first.
constexpr uint64_t kFlipsPerPoint = 32;
constexpr int64_t kCornerReach = int64_t{1} << 52;

i128 dot(GridPoint o, GridPoint a, GridPoint b) { return i128(a.x - o.x) * (b.x - o.x) + i128(a.y - o.y) * (b.y - o.y); }

// Winding numbers of many points against many segments: segments are filed in horizontal
// strips, and a point only looks at the segments of its strip. The strips' edges are quantiles
// of the segments' end heights, so that a crowded band of heights gets strips of its own; the
// number of strips halves until the filing holds at most kMaxFiled entries a segment.
class StripWinding {
 public:
  explicit StripWinding(std::span<const double> segments) : s_(segments) {
    const size_t n = s_.size() / 4;
    if (n == 0) return;
    std::vector<double> heights(2 * n);
    for (size_t i = 0; i < 2 * n; ++i) heights[i] = s_[2 * i + 1];
    std::sort(heights.begin(), heights.end());
    for (size_t count = std::clamp<size_t>(size_t(std::sqrt(double(n))), 1, 4096);; count = (count + 1) / 2) {
      edges_.clear();
      for (size_t k = 1; k < count; ++k) edges_.push_back(heights[k * heights.size() / count]);
      edges_.erase(std::unique(edges_.begin(), edges_.end()), edges_.end());
      size_t filed = 0;
      for (size_t i = 0; i < n; ++i) filed += span(i).second - span(i).first + 1;
      if (filed <= kMaxFiled * n || edges_.empty()) break;
    }
    strips_.assign(edges_.size() + 1, {});
    for (size_t i = 0; i < n; ++i)
      for (size_t k = span(i).first; k <= span(i).second; ++k) strips_[k].push_back(uint32_t(i));
  }
  long winding(double px, double py) const {
    if (strips_.empty()) return 0;
    long w = 0;
    for (uint32_t i : strips_[strip(py)]) w += lineWinding({s_[4 * i], s_[4 * i + 1]}, {s_[4 * i + 2], s_[4 * i + 3]}, {px, py});
    return w;
  }

 private:
  static constexpr size_t kMaxFiled = 16;
  // Strip k holds the heights from edges_[k - 1] up to below edges_[k].
  size_t strip(double y) const { return size_t(std::upper_bound(edges_.begin(), edges_.end(), y) - edges_.begin()); }
  std::pair<size_t, size_t> span(size_t i) const {
    const double a = s_[4 * i + 1], b = s_[4 * i + 3];
    return {strip(std::min(a, b)), strip(std::max(a, b))};
  }
  std::span<const double> s_;
  std::vector<double> edges_;
  std::vector<std::vector<uint32_t>> strips_;
};

// Position along a Hilbert curve through the grid (16 levels): consecutive points are close.
uint64_t hilbertKey(GridPoint p) {
  constexpr int64_t kHalf = int64_t{1} << 30;
  uint32_t x = uint32_t(std::clamp<int64_t>(p.x + kHalf, 0, 2 * kHalf - 1) >> 15);
  uint32_t y = uint32_t(std::clamp<int64_t>(p.y + kHalf, 0, 2 * kHalf - 1) >> 15);
  constexpr uint32_t n = 1u << 16;
  uint64_t d = 0;
  for (uint32_t s = n / 2; s > 0; s /= 2) {
    const uint32_t rx = (x & s) ? 1 : 0, ry = (y & s) ? 1 : 0;
    d += uint64_t(s) * s * ((3 * rx) ^ ry);
    if (ry == 0) {
      if (rx == 1) x = n - 1 - x, y = n - 1 - y;
      std::swap(x, y);
    }
  }
  return d;
}

// The median constraint length over the spacing of as many points spread evenly over their
// bounding box.
double constraintsOverSpacing(std::span<const GridPoint> points, std::span<const Constraint> constraints) {
  if (points.empty() || constraints.empty()) return 0;
  int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
  for (const GridPoint& p : points) minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
  std::vector<double> lengths;
  lengths.reserve(constraints.size());
  for (const Constraint& c : constraints) {
    if (c.a >= points.size() || c.b >= points.size()) continue;
    const double dx = double(points[c.a].x - points[c.b].x), dy = double(points[c.a].y - points[c.b].y);
    lengths.push_back(dx * dx + dy * dy);
  }
  if (lengths.empty()) return 0;
  std::nth_element(lengths.begin(), lengths.begin() + lengths.size() / 2, lengths.end());
  const double area = std::max(1.0, double(maxX - minX)) * std::max(1.0, double(maxY - minY));
  return std::sqrt(lengths[lengths.size() / 2] / (area / double(points.size())));
}

bool inside(int64_t winding, FillRule rule) { return rule == FillRule::EvenOdd ? (winding & 1) != 0 : winding != 0; }

}  // namespace

// Building blocks. Triangle t owns half-edges 3t, 3t + 1, 3t + 2; a triangle's slot is reused
// when it is re-cut, so indices stay dense.

void ConstrainedDelaunay::reset(size_t vertexCapacity) {
  points_.clear(), origin_.clear(), vertexEdge_.clear();
  corner_.clear(), twin_.clear(), runs_.clear(), fixed_.clear(), inserted_.clear();
  points_.reserve(vertexCapacity), origin_.reserve(vertexCapacity), vertexEdge_.reserve(vertexCapacity);
  const size_t halfedges = 6 * vertexCapacity;
  corner_.reserve(halfedges), twin_.reserve(halfedges), runs_.reserve(halfedges), fixed_.reserve(halfedges);
}

uint32_t ConstrainedDelaunay::addVertex(GridPoint p, uint32_t origin) {
  points_.push_back(p);
  origin_.push_back(origin);
  vertexEdge_.push_back(kNone);
  return uint32_t(points_.size() - 1);
}

uint32_t ConstrainedDelaunay::addTriangle() {
  const auto t = uint32_t(corner_.size() / 3);
  corner_.resize(corner_.size() + 3);
  twin_.resize(twin_.size() + 3, kNone);
  runs_.resize(runs_.size() + 3, 0);
  fixed_.resize(fixed_.size() + 3, 0);
  if (kept_) kept_->push_back(0);
  return t;
}

void ConstrainedDelaunay::setTriangle(uint32_t t, uint32_t a, uint32_t b, uint32_t c) {
  const uint32_t h = 3 * t;
  corner_[h] = a, corner_[h + 1] = b, corner_[h + 2] = c;
  vertexEdge_[a] = h, vertexEdge_[b] = h + 1, vertexEdge_[c] = h + 2;
  for (uint32_t k = h; k < h + 3; ++k) twin_[k] = kNone, runs_[k] = 0, fixed_[k] = 0;
}

// h takes `outer` (a half-edge outside the triangles being re-cut) as its twin, with its
// constraint state.
void ConstrainedDelaunay::link(uint32_t h, uint32_t outer) {
  twin_[h] = outer;
  if (outer == kNone) return;
  twin_[outer] = h;
  fixed_[h] = fixed_[outer];
  runs_[h] = -runs_[outer];
}

// Two new half-edges become twins, neither a constraint.
void ConstrainedDelaunay::join(uint32_t h, uint32_t g) {
  twin_[h] = g, twin_[g] = h;
  fixed_[h] = fixed_[g] = 0;
  runs_[h] = runs_[g] = 0;
}

void ConstrainedDelaunay::markConstraint(uint32_t h, int32_t runs) {
  const uint32_t g = twin_[h];
  fixed_[h] = fixed_[g] = 1;
  runs_[h] += runs;
  runs_[g] -= runs;
}

// A walk from the last triangle towards p, crossing any edge that has p strictly on its
// right; the edge just crossed is not tested again. In a Delaunay triangulation this ends with
// the edges tried in a fixed order; once constraints are in, the first edge tried varies at
// random so that no cycle can repeat.
ConstrainedDelaunay::Where ConstrainedDelaunay::locate(GridPoint p, uint32_t& halfedge) {
  uint32_t t = last_, from = kNone;
  for (bool moved = true; moved;) {
    moved = false;
    uint32_t r = 0;
    if (!delaunay_) {
      walkSeed_ = walkSeed_ * 1103515245u + 12345u;
      r = (walkSeed_ >> 16) % 3;
    } else if (from != kNone) {
      r = from % 3 + 1;
    }
    for (uint32_t k = 0; k < 3; ++k) {
      const uint32_t e = 3 * t + (r + k) % 3;
      if (e == from || twin_[e] == kNone) continue;
      if (orientation(points_[corner_[e]], points_[corner_[next(e)]], p) < 0) {
        from = twin_[e];
        t = from / 3;
        moved = true;
        break;
      }
    }
  }
  int side[3];
  for (uint32_t k = 0; k < 3; ++k) side[k] = orientation(points_[corner_[3 * t + k]], points_[corner_[3 * t + (k + 1) % 3]], p);
  for (uint32_t k = 0; k < 3; ++k) {
    if (side[k] != 0) continue;
    if (side[(k + 1) % 3] == 0) {
      halfedge = 3 * t + (k + 1) % 3;
      return Where::OnVertex;
    }
    if (side[(k + 2) % 3] == 0) {
      halfedge = 3 * t + k;
      return Where::OnVertex;
    }
    halfedge = 3 * t + k;
    return Where::OnEdge;
  }
  halfedge = 3 * t;
  return Where::Inside;
}

uint32_t ConstrainedDelaunay::insertPoint(uint32_t v) {
  uint32_t h;
  switch (locate(points_[v], h)) {
    case Where::OnVertex: {
      const uint32_t u = corner_[h];
      origin_[u] = std::min(origin_[u], origin_[v]);  // the first input point stands for all
      return u;
    }
    case Where::OnEdge:
      splitEdge(h, v);
      return v;
    case Where::Inside:
      splitTriangle(h / 3, v);
      return v;
  }
  return v;
}

void ConstrainedDelaunay::splitTriangle(uint32_t t, uint32_t v) {
  const uint32_t h = 3 * t, a = corner_[h], b = corner_[h + 1], c = corner_[h + 2];
  const uint32_t outer0 = twin_[h], outer1 = twin_[h + 1], outer2 = twin_[h + 2];
  const uint32_t t1 = addTriangle(), t2 = addTriangle();
  setTriangle(t, a, b, v);
  setTriangle(t1, b, c, v);
  setTriangle(t2, c, a, v);
  link(h, outer0), link(3 * t1, outer1), link(3 * t2, outer2);
  join(h + 1, 3 * t1 + 2), join(3 * t1 + 1, 3 * t2 + 2), join(3 * t2 + 1, h + 2);
  if (kept_) (*kept_)[t1] = (*kept_)[t2] = (*kept_)[t];
  last_ = t;
  legalize(h), legalize(3 * t1), legalize(3 * t2);
}

// v lies inside the edge of half-edge h; both triangles on it are cut in two, and a
// constraint on it stays one in both halves.
void ConstrainedDelaunay::splitEdge(uint32_t h, uint32_t v) {
  const uint32_t o = twin_[h], t1 = h / 3, t2 = o / 3;
  const uint32_t a = corner_[h], b = corner_[next(h)], c = corner_[prev(h)], d = corner_[prev(o)];
  const uint32_t bc = twin_[next(h)], ca = twin_[prev(h)], ad = twin_[next(o)], db = twin_[prev(o)];
  const bool constraint = fixed_[h];
  const int32_t runs = runs_[h];
  const uint32_t t3 = addTriangle(), t4 = addTriangle();
  setTriangle(t1, v, b, c);
  setTriangle(t3, a, v, c);
  setTriangle(t2, v, a, d);
  setTriangle(t4, b, v, d);
  link(3 * t1 + 1, bc), link(3 * t3 + 2, ca), link(3 * t2 + 1, ad), link(3 * t4 + 2, db);
  join(3 * t1 + 2, 3 * t3 + 1), join(3 * t2 + 2, 3 * t4 + 1);
  join(3 * t1, 3 * t4), join(3 * t3, 3 * t2);
  if (constraint) markConstraint(3 * t1, runs), markConstraint(3 * t3, runs);
  vertexEdge_[v] = 3 * t1;
  if (kept_) (*kept_)[t3] = (*kept_)[t1], (*kept_)[t4] = (*kept_)[t2];
  last_ = t1;
  legalize(3 * t1 + 1), legalize(3 * t3 + 2), legalize(3 * t2 + 1), legalize(3 * t4 + 2);
}

// Turns the edge of h, between triangles (a, b, p) and (b, a, q), into the edge p -> q, which
// it answers.
uint32_t ConstrainedDelaunay::flip(uint32_t h) {
  ++flips_;
  const uint32_t o = twin_[h];
  const uint32_t n1 = next(h), p1 = prev(h), n2 = next(o), p2 = prev(o);
  const uint32_t a = corner_[h], b = corner_[n1], p = corner_[p1], q = corner_[p2];
  const uint32_t outerQB = twin_[p2], outerPA = twin_[p1];
  corner_[h] = q, corner_[o] = p;
  link(h, outerQB), link(o, outerPA);
  join(p1, p2);
  vertexEdge_[q] = h, vertexEdge_[b] = n1, vertexEdge_[p] = p1, vertexEdge_[a] = n2;
  if (kept_) (*kept_)[h / 3] = (*kept_)[o / 3] = (*kept_)[h / 3] | (*kept_)[o / 3];
  return p1;
}

// Lawson's flips after a point is inserted: the edge of h, whose triangle's third corner is
// the new point, is flipped while the point across it lies inside that triangle's circle.
// Every edge stacked stays across from the new point, whatever flips happen in between.
void ConstrainedDelaunay::legalize(uint32_t start) {
  stack_.push_back(start);
  while (!stack_.empty()) {
    const uint32_t h = stack_.back();
    stack_.pop_back();
    const uint32_t o = twin_[h];
    if (fixed_[h] || o == kNone) continue;
    if (inCircle(points_[corner_[h]], points_[corner_[next(h)]], points_[corner_[prev(h)]], points_[corner_[prev(o)]]) <= 0)
      continue;
    const uint32_t n2 = next(o);
    flip(h);
    stack_.push_back(h);
    stack_.push_back(n2);
  }
}

// The half-edge x -> y, or kNone. The rings around x and y are searched in turn, so the cost is
// the smaller degree (a vertex across from a finely flattened curve can have thousands of
// edges). The ring around an enclosing corner is open at the outer boundary, so a search turns
// back there.
uint32_t ConstrainedDelaunay::findEdge(uint32_t x, uint32_t y) const {
  struct Ring {
    const ConstrainedDelaunay& d;
    uint32_t first, e;
    bool back = false;
    uint32_t step() {  // the next half-edge out of the vertex, kNone once all are seen
      const uint32_t out = e;
      if (e == kNone) return out;
      if (!back) {
        e = d.twin_[prev(e)];
        if (e == first) e = kNone;
        if (e != kNone || d.twin_[prev(out)] != kNone) return out;
        back = true, e = first;
      }
      e = d.twin_[e] != kNone && next(d.twin_[e]) != first ? next(d.twin_[e]) : kNone;
      return out;
    }
  };
  Ring around{*this, vertexEdge_[x], vertexEdge_[x]}, from{*this, vertexEdge_[y], vertexEdge_[y]};
  for (;;) {
    const uint32_t e = around.step(), f = from.step();
    if (e != kNone && corner_[next(e)] == y) return e;
    if (f != kNone && corner_[next(f)] == x) return twin_[f];  // none when y -> x is on the boundary
    if (e == kNone && f == kNone) return kNone;
  }
}

// Makes the segment a -> b a chain of constraint edges. A vertex on it splits it; otherwise
// the edges it crosses are flipped away (Sloan: a crossed edge whose two triangles form a
// convex quadrilateral is flipped, the others wait their turn), then the new edges are flipped
// until each is locally Delaunay. Answers false, the segment only partly placed, when it
// would cross a constraint.
bool ConstrainedDelaunay::insertConstraint(uint32_t a, uint32_t b, int32_t runs) {
  while (a != b) {
    const GridPoint pa = points_[a], pb = points_[b];
    // Around a: the edge towards b, or the triangle whose far edge the segment leaves by.
    uint32_t e = vertexEdge_[a], crossed = kNone;
    const uint32_t first = e;
    bool along = false;
    do {
      const uint32_t u = corner_[next(e)];
      if (u == b) {
        markConstraint(e, runs);
        return true;
      }
      const int side = orientation(pa, points_[u], pb);
      if (side == 0 && dot(pa, points_[u], pb) > 0) {
        markConstraint(e, runs);
        a = u;
        along = true;
        break;
      }
      if (side > 0 && orientation(pa, points_[corner_[prev(e)]], pb) < 0) {
        crossed = next(e);
        break;
      }
      e = twin_[prev(e)];
    } while (e != first);
    if (along) continue;
    if (crossed == kNone) return false;

    // The edges crossed, up to b or a vertex on the segment.
    crossing_.clear();
    uint32_t end = kNone;
    for (uint32_t h = crossed;;) {
      if (fixed_[h]) return false;
      crossing_.push_back({corner_[h], corner_[next(h)]});
      const uint32_t o = twin_[h], v = corner_[prev(o)];
      const int side = v == b ? 0 : orientation(pa, pb, points_[v]);
      if (side == 0) {
        end = v;
        break;
      }
      h = side > 0 ? next(o) : prev(o);
    }
    const GridPoint pe = points_[end];
    fresh_.clear();
    for (size_t i = 0; i < crossing_.size(); ++i) {
      const auto [x, y] = crossing_[i];
      const uint32_t h = findEdge(x, y);
      if (h == kNone || twin_[h] == kNone) continue;
      const uint32_t p = corner_[prev(h)], q = corner_[prev(twin_[h])];
      if (orientation(points_[p], points_[q], points_[x]) * orientation(points_[p], points_[q], points_[y]) >= 0) {
        crossing_.push_back({x, y});
        continue;
      }
      flip(h);
      if (orientation(pa, pe, points_[p]) * orientation(pa, pe, points_[q]) < 0) crossing_.push_back({p, q});
      else fresh_.push_back({p, q});
    }
    const uint32_t placed = findEdge(a, end);
    if (placed == kNone) return false;
    markConstraint(placed, runs);
    while (!fresh_.empty()) {
      const auto [x, y] = fresh_.back();
      fresh_.pop_back();
      const uint32_t h = findEdge(x, y);
      if (h == kNone || fixed_[h] || twin_[h] == kNone) continue;
      const uint32_t p = corner_[prev(h)], q = corner_[prev(twin_[h])];
      if (inCircle(points_[x], points_[y], points_[p], points_[q]) <= 0) continue;
      flip(h);
      fresh_.insert(fresh_.end(), {{y, p}, {p, x}, {x, q}, {q, y}});
    }
    a = end;
  }
  return true;
}

bool ConstrainedDelaunay::build(std::span<const GridPoint> points, std::span<const uint32_t> origins,
                                std::span<const Constraint> constraints, InsertionOrder order, bool stopAtCrossing) {
  reset(points.size() + kCorners);
  addVertex({-kCornerReach, -kCornerReach}, kNone);
  addVertex({kCornerReach, -kCornerReach}, kNone);
  addVertex({0, kCornerReach}, kNone);
  setTriangle(addTriangle(), 0, 1, 2);
  last_ = 0;
  for (size_t i = 0; i < points.size(); ++i)
    addVertex({points[i].x * (int64_t{1} << kShift), points[i].y * (int64_t{1} << kShift)}, origins[i]);
  std::vector<uint32_t> vertexOf(points.size(), kNone);
  // Short segments (flattened curves) are mostly Delaunay edges of their points already, so
  // the points go in first, in biased randomised rounds each sorted along a Hilbert curve:
  // few flips per point whatever the input, and short searches. Long segments (a star, a
  // coarse polygon) would each cross many edges of the finished mesh; their points go in as
  // the segments reach them instead, each segment while the mesh around it is still sparse.
  const bool chosen = order == InsertionOrder::Automatic;
  if (chosen)
    order = constraintsOverSpacing(points, constraints) < 1 ? InsertionOrder::PointsFirst : InsertionOrder::AlongSegments;
  flips_ = 0;
  if (order == InsertionOrder::PointsFirst) {
    std::vector<std::pair<uint64_t, uint32_t>> sequence(points.size());
    for (uint32_t i = 0; i < points.size(); ++i) sequence[i] = {hilbertKey(points[i]), i};
    uint64_t seed = 0x9E3779B97F4A7C15ull;  // fixed: the same input gives the same mesh
    for (size_t i = sequence.size(); i > 1; --i) {
      seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
      std::swap(sequence[i - 1], sequence[seed % i]);
    }
    for (size_t begin = 0, end = std::min<size_t>(sequence.size(), 64); begin < sequence.size();
         begin = end, end = std::min(sequence.size(), 2 * end))
      std::sort(sequence.begin() + begin, sequence.begin() + end);
    delaunay_ = true;
    for (const auto& [key, i] : sequence) vertexOf[i] = insertPoint(kCorners + i);
    delaunay_ = false;
  }
  bool complete = true;
  for (const Constraint& c : constraints) {
    if (c.a >= points.size() || c.b >= points.size()) continue;
    if (vertexOf[c.a] == kNone) vertexOf[c.a] = insertPoint(kCorners + c.a);
    if (vertexOf[c.b] == kNone) {
      last_ = vertexEdge_[vertexOf[c.a]] / 3;  // b is searched for from a's side
      vertexOf[c.b] = insertPoint(kCorners + c.b);
    }
    const uint32_t a = vertexOf[c.a], b = vertexOf[c.b];
    if (a == b) continue;
    // Outline order can cost a flip per earlier point for each new one (points along a long,
    // nearly straight chain): past a generous budget the points go in first after all.
    if (chosen && order == InsertionOrder::AlongSegments && flips_ > kFlipsPerPoint * (points.size() + 64)) {
      return build(points, origins, constraints, InsertionOrder::PointsFirst, stopAtCrossing);
    }
    inserted_.push_back({a, b, c.multiplicity});
    if (!insertConstraint(a, b, c.multiplicity)) {
      complete = false;
      if (stopAtCrossing) return false;
    }
  }
  for (uint32_t i = 0; i < points.size(); ++i)
    if (vertexOf[i] == kNone) vertexOf[i] = insertPoint(kCorners + i);
  return complete;
}

ConstrainedDelaunay::ConstrainedDelaunay(std::span<const double> xy, std::span<const Constraint> constraints,
                                         InsertionOrder order) {
  const size_t n = xy.size() / 2;
  map_ = gridMapFor(xy.data(), n);
  {
    std::vector<GridPoint> points(n);
    std::vector<uint32_t> origins(n);
    for (size_t i = 0; i < n; ++i) points[i] = map_.toGrid(xy[2 * i], xy[2 * i + 1]), origins[i] = uint32_t(i);
    if (build(points, origins, constraints, order, true)) return;
  }
  // Some segments cross: they are split at their crossings first.
  const PlanarGraph g = makePlanarGraph(xy.data(), n, constraints.data(), constraints.size());
  if (g.overBudget) {
    build({}, {}, {}, order, false);
    complete_ = false;
    overBudget_ = true;
    return;
  }
  std::vector<uint32_t> origins(g.origin.size());
  for (size_t i = 0; i < origins.size(); ++i) origins[i] = g.origin[i] < 0 ? kNone : uint32_t(g.origin[i]);
  complete_ = build(g.vertices, origins, g.edges, order, false);
}

double ConstrainedDelaunay::coordinate(uint32_t v, int axis, std::span<const double> xy) const {
  if (origin_[v] != kNone) return xy[2 * size_t(origin_[v]) + axis];
  const double grid = double(axis ? points_[v].y : points_[v].x) / (map_.scale * double(int64_t{1} << kShift));
  // A point rounded to the grid at the edge of the double range may land half a step past it.
  return std::clamp(grid + (axis ? map_.centerY : map_.centerX), -DBL_MAX, DBL_MAX);
}

std::vector<uint8_t> ConstrainedDelaunay::selectInside(FillRule rule, std::span<const double> windingSegments,
                                                       std::span<const double> xy) const {
  const size_t triangles = corner_.size() / 3;
  std::vector<uint8_t> kept(triangles, 0);
  auto real = [&](uint32_t t) { return corner_[3 * t] >= kCorners && corner_[3 * t + 1] >= kCorners && corner_[3 * t + 2] >= kCorners; };
  if (!windingSegments.empty()) {
    const StripWinding strips(windingSegments);
    for (uint32_t t = 0; t < triangles; ++t) {
      if (!real(t)) continue;
      double x = 0, y = 0;
      for (uint32_t k = 0; k < 3; ++k) x += coordinate(corner_[3 * t + k], 0, xy), y += coordinate(corner_[3 * t + k], 1, xy);
      kept[t] = inside(strips.winding(x / 3, y / 3), rule);
    }
    return kept;
  }
  // From a triangle on an enclosing corner (winding 0), crossing the edge a -> b of a
  // counter-clockwise triangle into its neighbour subtracts the outline's runs from a to b.
  constexpr int64_t kUnset = INT64_MIN;
  std::vector<int64_t> winding(triangles, kUnset);
  std::vector<uint32_t> stack{vertexEdge_[0] / 3};
  winding[stack[0]] = 0;
  while (!stack.empty()) {
    const uint32_t t = stack.back();
    stack.pop_back();
    for (uint32_t h = 3 * t; h < 3 * t + 3; ++h) {
      const uint32_t o = twin_[h];
      if (o == kNone || winding[o / 3] != kUnset) continue;
      winding[o / 3] = winding[t] - runs_[h];
      stack.push_back(o / 3);
    }
  }
  for (uint32_t t = 0; t < triangles; ++t) kept[t] = real(t) && winding[t] != kUnset && inside(winding[t], rule);
  return kept;
}

// Splits encroached constraint edges of kept triangles at their midpoints. A midpoint off the
// grid (after 10 halvings of an input segment) is not made: that edge stays as it is.
void ConstrainedDelaunay::refine(std::vector<uint8_t>& kept, size_t limit) {
  kept_ = &kept;
  auto encroached = [&](uint32_t h) {
    if (!fixed_[h] || !kept[h / 3]) return false;
    return dot(points_[corner_[prev(h)]], points_[corner_[h]], points_[corner_[next(h)]]) < 0;
  };
  std::vector<uint32_t> queue;
  for (uint32_t h = 0; h < corner_.size(); ++h)
    if (encroached(h)) queue.push_back(h);
  for (size_t added = 0; !queue.empty() && added < limit;) {
    const uint32_t h = queue.back();
    queue.pop_back();
    if (!encroached(h)) continue;
    const GridPoint a = points_[corner_[h]], b = points_[corner_[next(h)]];
    if (((a.x + b.x) | (a.y + b.y)) & 1) continue;
    const uint32_t v = addVertex({(a.x + b.x) / 2, (a.y + b.y) / 2}, kNone);
    splitEdge(h, v);
    ++added;
    // Every triangle around v is new: its edge across from v, and the halves of the split
    // segment on both sides, may now be encroached.
    const uint32_t first = vertexEdge_[v];
    uint32_t e = first;
    do {
      if (fixed_[e]) queue.push_back(e), queue.push_back(twin_[e]);
      if (fixed_[next(e)]) queue.push_back(next(e));
      e = twin_[prev(e)];
    } while (e != first);
  }
  kept_ = nullptr;
}

std::string ConstrainedDelaunay::check() const {
  const auto halfedges = uint32_t(corner_.size());
  uint32_t boundary = 0;
  for (uint32_t h = 0; h < halfedges; ++h) {
    const uint32_t o = twin_[h];
    if (o == kNone) {
      ++boundary;
      continue;
    }
    if (o >= halfedges || twin_[o] != h) return "twins are not mutual at half-edge " + std::to_string(h);
    if (corner_[o] != corner_[next(h)] || corner_[next(o)] != corner_[h])
      return "twins do not run the other way at half-edge " + std::to_string(h);
    if (fixed_[o] != fixed_[h] || runs_[o] != -runs_[h]) return "twins disagree on the constraint at half-edge " + std::to_string(h);
  }
  if (boundary != 3) return "the outer boundary has " + std::to_string(boundary) + " edges, not 3";
  i128 area = 0;
  const i128 whole = cross(points_[0], points_[1], points_[2]);
  for (uint32_t t = 0; t < halfedges / 3; ++t) {
    const i128 twice = cross(points_[corner_[3 * t]], points_[corner_[3 * t + 1]], points_[corner_[3 * t + 2]]);
    if (twice <= 0) return "triangle " + std::to_string(t) + " does not turn counter-clockwise";
    area += twice;
    if (area > whole) return "the triangles overlap";
  }
  if (area != whole) return "the triangles leave a gap";
  for (uint32_t h = 0; h < halfedges; ++h) {
    const uint32_t o = twin_[h];
    if (o == kNone || fixed_[h]) continue;
    if (inCircle(points_[corner_[h]], points_[corner_[next(h)]], points_[corner_[prev(h)]], points_[corner_[prev(o)]]) > 0)
      return "edge " + std::to_string(corner_[h]) + "-" + std::to_string(corner_[next(h)]) + " is not locally Delaunay";
  }
  for (const Constraint& c : inserted_) {
    if (!complete_) break;
    const GridPoint a = points_[c.a], b = points_[c.b];
    for (uint32_t at = c.a; at != c.b;) {
      // The constraint edge from `at` that goes along the segment towards b.
      uint32_t e = vertexEdge_[at], step = kNone;
      const uint32_t first = e;
      do {
        const uint32_t u = corner_[next(e)];
        if (fixed_[e] && orientation(a, b, points_[u]) == 0 && dot(points_[at], points_[u], b) > 0) step = u;
        e = twin_[prev(e)];
      } while (e != first && e != kNone);
      if (step == kNone)
        return "constraint " + std::to_string(c.a) + "-" + std::to_string(c.b) + " is not a chain of constraint edges";
      at = step;
    }
  }
  return {};
}

Triangulation triangulate(std::span<const double> xy, std::span<const Constraint> constraints,
                          const TriangulationOptions& options) {
  Triangulation out;
  const size_t n = xy.size() / 2;
  if (n == 0 || constraints.empty()) return out;
  ConstrainedDelaunay cdt(xy, constraints, options.order);
  if (cdt.overBudget_) return out;
  std::vector<uint8_t> kept = cdt.selectInside(options.rule, options.windingSegments, xy);
  if (options.conform) {
    cdt.refine(kept, std::min<size_t>(4 * n + 1000, 2000000));
    kept = cdt.selectInside(options.rule, options.windingSegments, xy);
  }
  std::vector<uint32_t> index(cdt.points_.size(), kNone);
  size_t count = 0;
  for (uint8_t k : kept) count += k;
  out.triangles.reserve(3 * count);
  for (uint32_t t = 0; t < kept.size(); ++t) {
    if (!kept[t]) continue;
    for (uint32_t h = 3 * t; h < 3 * t + 3; ++h) {
      const uint32_t v = cdt.corner_[h];
      if (cdt.origin_[v] != kNone) {
        out.triangles.push_back(cdt.origin_[v]);
        continue;
      }
      if (index[v] == kNone) {
        index[v] = uint32_t(n + out.newPoints.size() / 2);
        out.newPoints.push_back(cdt.coordinate(v, 0, xy));
        out.newPoints.push_back(cdt.coordinate(v, 1, xy));
      }
      out.triangles.push_back(index[v]);
    }
  }
  return out;
}

}  // namespace vellum::mesh
