#include "patches/geometry/PlanarGraph.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace vellum::triangulation {

namespace {

__extension__ typedef __int128 i128;

struct GridHash {
  size_t operator()(const GridPoint& p) const noexcept {
    uint64_t h = uint64_t(p.x) * 0x9E3779B97F4A7C15ull ^ (uint64_t(p.y) + 0x632BE59BD9B4E019ull);
    h ^= h >> 29;
    return size_t(h * 0xBF58476D1CE4E5B9ull);
  }
};

i128 cross(GridPoint a, GridPoint b, GridPoint c) {
  return i128(b.x - a.x) * i128(c.y - a.y) - i128(b.y - a.y) * i128(c.x - a.x);
}

// Nearest integer to n / d, d > 0.
int64_t roundDiv(i128 n, i128 d) {
  const i128 q = n >= 0 ? (2 * n + d) / (2 * d) : -((-2 * n + d) / (2 * d));
  return int64_t(q);
}

uint64_t pairKey(uint32_t a, uint32_t b) { return (uint64_t(std::min(a, b)) << 32) | std::max(a, b); }

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
};

}  // namespace

int orientation(GridPoint a, GridPoint b, GridPoint c) {
  const i128 d = cross(a, b, c);
  return d > 0 ? 1 : (d < 0 ? -1 : 0);
}

PlanarGraph makePlanarGraph(const double* xy, size_t count, const Constraint* constraints, size_t constraintCount) {
  PlanarGraph g;
  if (count == 0) return g;
  double x0 = xy[0], x1 = xy[0], y0 = xy[1], y1 = xy[1];
  for (size_t i = 0; i < count; ++i) {
    x0 = std::min(x0, xy[2 * i]), x1 = std::max(x1, xy[2 * i]);
    y0 = std::min(y0, xy[2 * i + 1]), y1 = std::max(y1, xy[2 * i + 1]);
  }
  g.centerX = x0 * 0.5 + x1 * 0.5;
  g.centerY = y0 * 0.5 + y1 * 0.5;
  // Half the larger extent, computed without overflow for coordinates near the double limit.
  const double half = std::max({x1 * 0.5 - x0 * 0.5, y1 * 0.5 - y0 * 0.5, 0.0});
  int exponent = 0;
  if (half > 0) std::frexp(half, &exponent);  // half < 2^exponent
  // A power of two, so that scaling itself loses nothing; clamped so it stays finite.
  g.scale = std::ldexp(1.0, std::clamp(40 - exponent - 1, -1000, 1000));

  Builder builder(g);
  std::vector<uint32_t> inputToVertex(count);
  for (size_t i = 0; i < count; ++i) {
    const double gx = (xy[2 * i] - g.centerX) * g.scale, gy = (xy[2 * i + 1] - g.centerY) * g.scale;
    const GridPoint p{std::llround(std::clamp(gx, -double(kGridHalfExtent), double(kGridHalfExtent))),
                      std::llround(std::clamp(gy, -double(kGridHalfExtent), double(kGridHalfExtent)))};
    inputToVertex[i] = builder.vertexAt(p, int64_t(i));
  }
  g.edges.reserve(constraintCount);
  for (size_t i = 0; i < constraintCount; ++i) {
    const Constraint& c = constraints[i];
    if (c.a >= count || c.b >= count) continue;
    g.edges.push_back({inputToVertex[c.a], inputToVertex[c.b], c.multiplicity});
  }
  builder.mergeEdges();
  constexpr int kRounds = 12;
  int round = 0;
  while (round < kRounds && builder.splitRound()) ++round;
  g.clean = round < kRounds;
  return g;
}

}  // namespace vellum::triangulation
