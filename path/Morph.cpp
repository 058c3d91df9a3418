#include "path/Morph.h"

#include <cmath>
#include <limits>
#include <unordered_set>

#include "path/ElementWalk.h"

namespace vellum {

namespace {

constexpr double kLargest = std::numeric_limits<double>::max();

double distance(Point a, Point b) { return std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y)); }

using E = BezierPathElement;

bool hasClose(const BezierPath& path) {
  const ElementWalk walk(path);
  for (size_t i = 0; i < walk.size(); ++i)
    if (walk.kind(i) == E::ClosePath) return true;
  return false;
}

}  // namespace

std::vector<Point> morphVertexList(const BezierPath& path) {
  std::vector<Point> list;
  std::unordered_set<Point, PointKey, PointKey> seen;
  const ElementWalk walk(path);
  list.reserve(walk.size());
  seen.reserve(walk.size());
  for (size_t i = 0; i < walk.size(); ++i) {
    if (walk.kind(i) != E::MoveTo && walk.kind(i) != E::LineTo) continue;
    const Point p = walk.points(i)[0];
    if (seen.insert(p).second) list.push_back(p);
  }
  return list;
}

std::shared_ptr<V2DPairingTable> pairNearestVertices(const BezierPath& from, const BezierPath& to) {
  auto table = std::make_shared<V2DPairingTable>();
  const std::vector<Point> F = morphVertexList(from), T = morphVertexList(to);
  const size_t nF = F.size(), nT = T.size();
  if (nF == 0 || nT == 0) return table;

  Point cF{}, cT{};
  for (const Point& p : F) cF.x += p.x, cF.y += p.y;
  for (const Point& p : T) cT.x += p.x, cT.y += p.y;
  cF.x /= double(nF), cF.y /= double(nF);
  cT.x /= double(nT), cT.y /= double(nT);
  const Point d{cT.x - cF.x, cT.y - cF.y};
  std::vector<Point> moved(nF);
  for (size_t i = 0; i < nF; ++i) moved[i] = {F[i].x + d.x, F[i].y + d.y};

  // The to vertices that take part: all of them unless that would pass the distance cap.
  const uint64_t total = uint64_t(nF) * uint64_t(nT);
  const size_t stride = total <= kMaxPairingDistances ? 1 : size_t((total + kMaxPairingDistances - 1) / kMaxPairingDistances);
  std::vector<size_t> J;
  for (size_t j = 0; j < nT; j += stride) J.push_back(j);
  std::vector<Point> TJ(J.size());
  for (size_t m = 0; m < J.size(); ++m) TJ[m] = T[J[m]];

  // First pass, by from vertex: the nearest to vertex, the lowest index among equals.
  std::vector<size_t> partner(nF, 0);
  std::vector<char> marked(J.size(), 0);
  for (size_t i = 0; i < nF; ++i) {
    double best = kLargest;
    size_t bestM = 0;
    const Point q = moved[i];
    for (size_t m = 0; m < TJ.size(); ++m) {
      const double dist = distance(q, TJ[m]);
      if (dist < best) best = dist, bestM = m;
    }
    partner[i] = bestM;
    marked[bestM] = 1;
  }
  // Second pass, by to vertex: every unmarked one takes its nearest from vertex; marks stay as
  // the first pass left them, so the highest such index keeps a contested from vertex.
  for (size_t m = 0; m < TJ.size(); ++m) {
    if (marked[m]) continue;
    double best = kLargest;
    size_t bestI = 0;
    const Point t = TJ[m];
    for (size_t i = 0; i < nF; ++i) {
      const double dist = distance(moved[i], t);
      if (dist < best) best = dist, bestI = i;
    }
    partner[bestI] = m;
  }
  table->reserve(nF);
  for (size_t i = 0; i < nF; ++i) table->emplace(F[i], TJ[partner[i]]);
  return table;
}

std::shared_ptr<V2DPairingTable> pairSequentialVerticesEquallySpaced(const BezierPath& from, const BezierPath& to) {
  auto table = std::make_shared<V2DPairingTable>();
  const std::vector<Point> F = morphVertexList(from), T = morphVertexList(to);
  const size_t nF = F.size(), nT = T.size();
  if (nF == 0 || nT == 0) return table;

  // The to index of the i-th from vertex, in single precision as the pairing is defined. Float
  // rounding of large counts could step past the last to vertex; it is held there.
  const float r = float(nF) / float(nT);
  std::vector<Point> partnerOf(nF);
  for (size_t i = 0; i < nF; ++i) {
    const float q = std::floor(float(i) / r);
    size_t j = q > 0 ? size_t(q) : 0;
    if (j >= nT) j = nT - 1;
    partnerOf[i] = T[j];
  }

  // Rotation of least total travel for a closed from path (lowest k among equal costs).
  size_t bestK = 0;
  if (hasClose(from) && nF > 1) {
    const uint64_t total = uint64_t(nF) * uint64_t(nF);
    const size_t stride = total <= kMaxPairingDistances ? 1 : size_t((total + kMaxPairingDistances - 1) / kMaxPairingDistances);
    double best = kLargest;
    for (size_t k = 0; k < nF; k += stride) {
      double cost = 0;
      // F[(k + i) mod nF] for i = 0 .. nF - 1, without a division per term.
      for (size_t i = 0; i < nF - k; ++i) cost += distance(F[k + i], partnerOf[i]);
      for (size_t i = nF - k; i < nF; ++i) cost += distance(F[k + i - nF], partnerOf[i]);
      if (cost < best) best = cost, bestK = k;
    }
  }
  table->reserve(nF);
  for (size_t i = 0; i < nF; ++i) table->emplace(F[(bestK + i) % nF], partnerOf[i]);
  return table;
}

std::shared_ptr<BezierPath> interpolateBezierPath(const BezierPath& from, const V2DPairingTable& table, double time,
                                                  size_t* missing) {
  return interpolateBezierPath(from, morphPartners(from, table, missing), time);
}

std::vector<Point> morphPartners(const BezierPath& from, const V2DPairingTable& table, size_t* missing) {
  const ElementWalk walk(from);
  std::vector<Point> partners(walk.size());
  size_t notFound = 0;
  for (size_t i = 0; i < walk.size(); ++i) {
    if (walk.kind(i) != E::MoveTo && walk.kind(i) != E::LineTo) continue;
    const Point p = walk.points(i)[0];
    const auto it = table.find(p);
    notFound += it == table.end();
    partners[i] = it != table.end() ? it->second : p;
  }
  if (missing) *missing = notFound;
  return partners;
}

std::shared_ptr<BezierPath> interpolateBezierPath(const BezierPath& from, const std::vector<Point>& partners,
                                                  double time) {
  auto result = BezierPath::bezierPath();
  const ElementWalk walk(from);
  for (size_t i = 0; i < walk.size(); ++i) {
    const E kind = walk.kind(i);
    if (kind == E::ClosePath) {
      result->closePath();
      continue;
    }
    if (kind != E::MoveTo && kind != E::LineTo) continue;
    const Point p = walk.points(i)[0], q = partners[i];
    const Point blended{p.x + (q.x - p.x) * time, p.y + (q.y - p.y) * time};
    if (kind == E::MoveTo)
      result->moveToPoint(blended);
    else
      result->lineToPoint(blended);
  }
  return result;
}

}  // namespace vellum
