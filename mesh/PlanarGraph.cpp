#include "mesh/PlanarGraph.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <unordered_map>

#include "path/PointKey.h"

namespace vellum::mesh {

namespace {

struct GridHash {
  size_t operator()(const GridPoint& p) const noexcept { return size_t(PointKey::mix(uint64_t(p.x), uint64_t(p.y))); }
};

// Nearest integer to n / d, d > 0.
int64_t roundDiv(i128 n, i128 d) {
  const i128 q = n >= 0 ? (2 * n + d) / (2 * d) : -((-2 * n + d) / (2 * d));
  return int64_t(q);
}

uint64_t pairKey(uint32_t a, uint32_t b) { return (uint64_t(std::min(a, b)) << 32) | std::max(a, b); }

bool lexLess(GridPoint a, GridPoint b) { return a.x < b.x || (a.x == b.x && a.y < b.y); }

int sign(i128 v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// A sweep over the vertices in (x, y) order (a vertical line tilted by an infinitesimal angle,
// so vertical segments need no special case), with the segments it cuts kept in order from
// bottom to top. Every vertex is located among them, which finds any vertex lying inside a
// segment; segments are tested for a crossing with their neighbours whenever they become
// adjacent, which finds the leftmost crossing before the sweep passes it (Shamos and Hoey).
// All tests are exact, so "nothing found" means the segments meet only at shared endpoints.
class CrossingSweep {
 public:
  CrossingSweep(const std::vector<GridPoint>& v, const std::vector<Constraint>& edges) : v_(v) {
    seg_.reserve(edges.size());
    for (const Constraint& e : edges) {
      if (e.a == e.b || e.a >= v.size() || e.b >= v.size()) continue;
      seg_.push_back(lexLess(v[e.a], v[e.b]) ? Seg{e.a, e.b} : Seg{e.b, e.a});
    }
  }

  bool found() {
    const size_t n = v_.size(), m = seg_.size();
    std::vector<uint32_t> order(n);
    for (uint32_t i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return lexLess(v_[a], v_[b]); });
    for (size_t i = 1; i < n; ++i)
      if (v_[order[i]] == v_[order[i - 1]]) return true;  // coincident vertices
    // Segments by left endpoint and by right endpoint.
    std::vector<uint32_t> startCount(n + 1, 0), endCount(n + 1, 0);
    for (const Seg& s : seg_) ++startCount[s.l + 1], ++endCount[s.r + 1];
    for (size_t i = 0; i < n; ++i) startCount[i + 1] += startCount[i], endCount[i + 1] += endCount[i];
    std::vector<uint32_t> starts(m), ends(m);
    {
      std::vector<uint32_t> sf(startCount.begin(), startCount.end() - 1), ef(endCount.begin(), endCount.end() - 1);
      for (uint32_t s = 0; s < m; ++s) starts[sf[seg_[s].l]++] = s, ends[ef[seg_[s].r]++] = s;
    }
    Status status(Less{this});
    std::vector<Status::iterator> where(m);
    for (uint32_t p : order) {
      for (uint32_t k = endCount[p]; k < endCount[p + 1]; ++k) {
        const auto it = where[ends[k]];
        auto below = it, above = std::next(it);
        const bool hasBelow = it != status.begin();
        if (hasBelow) --below;
        status.erase(it);
        if (hasBelow && above != status.end() && crosses(*below, *above)) return true;
      }
      // Every segment still cut by the sweep has p strictly between its endpoints.
      query_ = v_[p];
      const auto at = status.lower_bound(kQuery);
      if (at != status.end() && orient(*at, query_) == 0) return true;
      for (uint32_t k = startCount[p]; k < startCount[p + 1]; ++k) {
        const uint32_t s = starts[k];
        const auto it = status.insert(s).first;
        if (degenerate_) return true;
        if (it != status.begin() && crosses(*std::prev(it), s)) return true;
        if (std::next(it) != status.end() && crosses(s, *std::next(it))) return true;
        where[s] = it;
      }
    }
    return false;
  }

 private:
  struct Seg {
    uint32_t l, r;  // l before r in (x, y) order
  };
  static constexpr uint32_t kQuery = UINT32_MAX;

  int orient(uint32_t s, GridPoint p) const { return sign(cross(v_[seg_[s].l], v_[seg_[s].r], p)); }

  // Which side of segment t segment s lies on (+1 above), where s starts no earlier than t.
  // Zero means they overlap, which the caller reports.
  int side(uint32_t s, uint32_t t) {
    const Seg a = seg_[s], b = seg_[t];
    int o;
    if (a.l != b.l) {
      o = orient(t, v_[a.l]);
      if (o == 0) degenerate_ = true, o = orient(t, v_[a.r]);
    } else {
      o = sign(cross(v_[a.l], v_[b.r], v_[a.r]));
      if (o == 0) degenerate_ = true;
    }
    return o;
  }

  struct Less {
    CrossingSweep* self;
    bool operator()(uint32_t s, uint32_t t) const {
      if (s == t) return false;
      if (s == kQuery) return self->orient(t, self->query_) < 0;
      if (t == kQuery) return self->orient(s, self->query_) > 0;
      const Seg a = self->seg_[s], b = self->seg_[t];
      int o = 0;
      if (!lexLess(self->v_[a.l], self->v_[b.l])) {
        o = self->side(s, t);
      } else {
        o = -self->side(t, s);
      }
      return o != 0 ? o < 0 : s < t;
    }
  };
  using Status = std::set<uint32_t, Less>;

  // A proper crossing: each segment strictly on both sides of the other.
  bool crosses(uint32_t s, uint32_t t) const {
    const Seg a = seg_[s], b = seg_[t];
    if (a.l == b.l || a.l == b.r || a.r == b.l || a.r == b.r) return false;
    const int o1 = orient(s, v_[b.l]), o2 = orient(s, v_[b.r]);
    if (o1 == 0 || o2 == 0 || o1 == o2) return false;
    const int o3 = orient(t, v_[a.l]), o4 = orient(t, v_[a.r]);
    return o3 != 0 && o4 != 0 && o3 != o4;
  }

  const std::vector<GridPoint>& v_;
  std::vector<Seg> seg_;
  GridPoint query_;
  bool degenerate_ = false;
};

class Builder {
 public:
  explicit Builder(PlanarGraph& g) : g_(g) {}

  uint32_t vertexAt(GridPoint p, int64_t origin) {
    auto [it, inserted] = index_.try_emplace(p, uint32_t(g_.vertices.size()));
    if (inserted) {
      g_.vertices.push_back(p);
      g_.origin.push_back(origin);
    }
    return it->second;
  }

  // Merges equal segments (either direction) and drops zero-length ones.
  void mergeEdges() {
    std::unordered_map<uint64_t, size_t> seen;
    std::vector<Constraint> merged;
    merged.reserve(g_.edges.size());
    for (const Constraint& e : g_.edges) {
      if (e.a == e.b) continue;
      const int32_t m = e.a < e.b ? e.multiplicity : -e.multiplicity;
      auto [it, inserted] = seen.try_emplace(pairKey(e.a, e.b), merged.size());
      if (inserted)
        merged.push_back({std::min(e.a, e.b), std::max(e.a, e.b), m});
      else
        merged[it->second].multiplicity += m;
    }
    g_.edges.swap(merged);
  }

  // One round of splitting; answers whether anything was split.
  bool splitRound() {
    const size_t nEdges = g_.edges.size();
    if (nEdges == 0) return false;
    int64_t x0 = INT64_MAX, y0 = INT64_MAX, x1 = INT64_MIN, y1 = INT64_MIN;
    for (const GridPoint& p : g_.vertices) {
      x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
      y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    }
    const int cells = int(std::clamp(std::sqrt(double(nEdges)), 1.0, 1024.0));
    const double cw = std::max(1.0, double(x1 - x0 + 1) / cells), ch = std::max(1.0, double(y1 - y0 + 1) / cells);
    auto col = [&](double x) { return std::clamp(int(std::floor((x - double(x0)) / cw)), 0, cells - 1); };
    auto row = [&](double y) { return std::clamp(int(std::floor((y - double(y0)) / ch)), 0, cells - 1); };

    std::vector<std::vector<uint32_t>> cellEdges(size_t(cells) * cells), cellVertices(size_t(cells) * cells);
    for (uint32_t v = 0; v < g_.vertices.size(); ++v)
      cellVertices[size_t(row(double(g_.vertices[v].y))) * cells + col(double(g_.vertices[v].x))].push_back(v);
    for (uint32_t e = 0; e < nEdges; ++e) {
      const GridPoint a = g_.vertices[g_.edges[e].a], b = g_.vertices[g_.edges[e].b];
      const double ax = double(a.x), ay = double(a.y), bx = double(b.x), by = double(b.y);
      const int r0 = row(std::min(ay, by)), r1 = row(std::max(ay, by));
      for (int r = r0; r <= r1; ++r) {
        // The part of the segment inside this row's band.
        double lo = std::max(std::min(ay, by), double(y0) + r * ch), hi = std::min(std::max(ay, by), double(y0) + (r + 1) * ch);
        double xa = ax, xb = bx;
        if (ay != by) {
          xa = ax + (bx - ax) * ((lo - ay) / (by - ay));
          xb = ax + (bx - ax) * ((hi - ay) / (by - ay));
        }
        // Widened by a grid step and more than the interpolation's rounding.
        const double lx = std::min(xa, xb), hx = std::max(xa, xb);
        const int c0 = col(lx - 1 - 1e-9 * std::fabs(lx)), c1 = col(hx + 1 + 1e-9 * std::fabs(hx));
        for (int c = c0; c <= c1; ++c) cellEdges[size_t(r) * cells + c].push_back(e);
      }
    }

    std::vector<std::vector<uint32_t>> splits(nEdges);
    bool any = false;
    for (size_t cell = 0; cell < cellEdges.size(); ++cell) {
      const auto& es = cellEdges[cell];
      // A vertex strictly inside a segment.
      for (uint32_t v : cellVertices[cell]) {
        const GridPoint p = g_.vertices[v];
        for (uint32_t e : es) {
          const Constraint& s = g_.edges[e];
          if (v == s.a || v == s.b) continue;
          const GridPoint a = g_.vertices[s.a], b = g_.vertices[s.b];
          if (p.x < std::min(a.x, b.x) || p.x > std::max(a.x, b.x) || p.y < std::min(a.y, b.y) || p.y > std::max(a.y, b.y))
            continue;
          if (cross(a, b, p) == 0) {
            splits[e].push_back(v);
            any = true;
          }
        }
      }
      // Proper crossings.
      for (size_t i = 0; i < es.size(); ++i)
        for (size_t j = i + 1; j < es.size(); ++j) {
          const Constraint &s = g_.edges[es[i]], &t = g_.edges[es[j]];
          if (s.a == t.a || s.a == t.b || s.b == t.a || s.b == t.b) continue;
          const GridPoint a = g_.vertices[s.a], b = g_.vertices[s.b], c = g_.vertices[t.a], d = g_.vertices[t.b];
          if (std::max(a.x, b.x) < std::min(c.x, d.x) || std::max(c.x, d.x) < std::min(a.x, b.x) ||
              std::max(a.y, b.y) < std::min(c.y, d.y) || std::max(c.y, d.y) < std::min(a.y, b.y))
            continue;
          const i128 o1 = cross(a, b, c), o2 = cross(a, b, d);
          if (o1 == 0 || o2 == 0 || (o1 > 0) == (o2 > 0)) continue;
          const i128 o3 = cross(c, d, a), o4 = cross(c, d, b);
          if (o3 == 0 || o4 == 0 || (o3 > 0) == (o4 > 0)) continue;
          // a + t (b - a) with t = o3 / (o3 - o4); |o3 - o4| <= 2^84, |b - a| <= 2^41.
          i128 num = o3, den = o3 - o4;
          if (den < 0) num = -num, den = -den;
          const GridPoint x{a.x + roundDiv(num * (b.x - a.x), den), a.y + roundDiv(num * (b.y - a.y), den)};
          const uint32_t v = vertexAt(x, -1);
          if (++made_ > kMaxCrossings) return false;
          if (v != s.a && v != s.b) splits[es[i]].push_back(v);
          if (v != t.a && v != t.b) splits[es[j]].push_back(v);
          any = true;
        }
    }
    if (!any) return false;

    std::vector<Constraint> out;
    out.reserve(nEdges + nEdges / 4);
    for (uint32_t e = 0; e < nEdges; ++e) {
      const Constraint s = g_.edges[e];
      auto& at = splits[e];
      if (at.empty()) {
        out.push_back(s);
        continue;
      }
      const GridPoint a = g_.vertices[s.a], b = g_.vertices[s.b];
      auto along = [&](uint32_t v) {
        const GridPoint p = g_.vertices[v];
        return i128(p.x - a.x) * (b.x - a.x) + i128(p.y - a.y) * (b.y - a.y);
      };
      std::sort(at.begin(), at.end(), [&](uint32_t u, uint32_t v) { return along(u) < along(v); });
      at.erase(std::unique(at.begin(), at.end()), at.end());
      uint32_t prev = s.a;
      for (uint32_t v : at) {
        out.push_back({prev, v, s.multiplicity});
        prev = v;
      }
      out.push_back({prev, s.b, s.multiplicity});
    }
    g_.edges.swap(out);
    mergeEdges();
    return true;
  }

 private:
  PlanarGraph& g_;
  std::unordered_map<GridPoint, uint32_t, GridHash> index_;
  size_t made_ = 0;

 public:
  bool overBudget() const { return made_ > kMaxCrossings; }
};

}  // namespace

bool segmentsMeetOnlyAtEndpoints(const std::vector<GridPoint>& vertices, const std::vector<Constraint>& edges) {
  return !CrossingSweep(vertices, edges).found();
}

GridMap gridMapFor(const double* xy, size_t count) {
  GridMap m;
  if (count == 0) return m;
  double x0 = xy[0], x1 = xy[0], y0 = xy[1], y1 = xy[1];
  for (size_t i = 0; i < count; ++i) {
    x0 = std::min(x0, xy[2 * i]), x1 = std::max(x1, xy[2 * i]);
    y0 = std::min(y0, xy[2 * i + 1]), y1 = std::max(y1, xy[2 * i + 1]);
  }
  m.centerX = x0 * 0.5 + x1 * 0.5;
  m.centerY = y0 * 0.5 + y1 * 0.5;
  // Half the larger extent, computed without overflow for coordinates near the double limit.
  const double half = std::max({x1 * 0.5 - x0 * 0.5, y1 * 0.5 - y0 * 0.5, 0.0});
  int exponent = 0;
  if (half > 0) std::frexp(half, &exponent);  // half < 2^exponent
  // A power of two, so that scaling itself loses nothing; clamped so it stays finite.
  m.scale = std::ldexp(1.0, std::clamp(30 - exponent - 1, -1000, 1000));
  return m;
}

GridPoint GridMap::toGrid(double x, double y) const {
  const double gx = (x - centerX) * scale, gy = (y - centerY) * scale;
  return {std::llround(std::clamp(gx, -double(kGridHalfExtent), double(kGridHalfExtent))),
          std::llround(std::clamp(gy, -double(kGridHalfExtent), double(kGridHalfExtent)))};
}

PlanarGraph makePlanarGraph(const double* xy, size_t count, const Constraint* constraints, size_t constraintCount) {
  PlanarGraph g;
  if (count == 0) return g;
  g.map = gridMapFor(xy, count);
  Builder builder(g);
  std::vector<uint32_t> inputToVertex(count);
  for (size_t i = 0; i < count; ++i) inputToVertex[i] = builder.vertexAt(g.map.toGrid(xy[2 * i], xy[2 * i + 1]), int64_t(i));
  g.edges.reserve(constraintCount);
  for (size_t i = 0; i < constraintCount; ++i) {
    const Constraint& c = constraints[i];
    if (c.a >= count || c.b >= count) continue;
    g.edges.push_back({inputToVertex[c.a], inputToVertex[c.b], c.multiplicity});
  }
  builder.mergeEdges();
  // The sweep answers the common question (is anything to split at all?) in O(n log n); the
  // grid rounds, which find every crossing at once, run only when it says yes.
  constexpr int kRounds = 12;
  int round = 0;
  while (round < kRounds && !segmentsMeetOnlyAtEndpoints(g.vertices, g.edges) && builder.splitRound()) ++round;
  g.overBudget = builder.overBudget();
  g.clean = round < kRounds && !g.overBudget;
  return g;
}

}  // namespace vellum::mesh
