#include "patches/operators/V2DBezierPathMorphPatch.h"

#include <cmath>
#include <limits>
#include <unordered_set>

#include "path/ElementWalk.h"
#include "path/Resample.h"

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

std::shared_ptr<BezierPath> emptyPath() { return BezierPath::bezierPath(); }

}  // namespace

V2DBezierPathMorphPatch::V2DBezierPathMorphPatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector Morph", "name");
  inputFlatness.setMinDoubleValue(0.0001);
  inputFlatness.setDoubleValue(0.01);
  inputPairingAlgorithm.setMaxIndexValue(2);
}

std::vector<Point> V2DBezierPathMorphPatch::vertexList(const BezierPath& path) {
  std::vector<Point> list;
  std::unordered_set<Point, MorphPointKey, MorphPointKey> seen;
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

std::shared_ptr<V2DPairingTable> V2DBezierPathMorphPatch::_pairNearestVerticesFrom(const BezierPath& from,
                                                                                  const BezierPath& to) {
  auto table = std::make_shared<V2DPairingTable>();
  const std::vector<Point> F = vertexList(from), T = vertexList(to);
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

std::shared_ptr<V2DPairingTable> V2DBezierPathMorphPatch::_pairSequentialVerticesEquallySpacedFrom(
    const BezierPath& from, const BezierPath& to) {
  auto table = std::make_shared<V2DPairingTable>();
  const std::vector<Point> F = vertexList(from), T = vertexList(to);
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

namespace {
// The from path's moves, lines and closes, each point moved the fraction s towards its partner.
template <class PartnerOf>
std::shared_ptr<BezierPath> blend(const BezierPath& from, double s, PartnerOf&& partnerOf) {
  auto result = BezierPath::bezierPath();
  const ElementWalk walk(from);
  for (size_t i = 0; i < walk.size(); ++i) {
    const E kind = walk.kind(i);
    if (kind == E::ClosePath) {
      result->closePath();
      continue;
    }
    if (kind != E::MoveTo && kind != E::LineTo) continue;
    const Point p = walk.points(i)[0], q = partnerOf(i, p);
    const Point blended{p.x + (q.x - p.x) * s, p.y + (q.y - p.y) * s};
    if (kind == E::MoveTo)
      result->moveToPoint(blended);
    else
      result->lineToPoint(blended);
  }
  return result;
}
}  // namespace

std::shared_ptr<BezierPath> V2DBezierPathMorphPatch::_interpolateFromBezierPath(const BezierPath& from,
                                                                               const V2DPairingTable& table,
                                                                               double time, size_t* missing) {
  size_t notFound = 0;
  auto result = blend(from, time, [&](size_t, Point p) {
    if (auto it = table.find(p); it != table.end()) return it->second;
    ++notFound;
    return p;
  });
  if (missing) *missing = notFound;
  return result;
}

void V2DBezierPathMorphPatch::rebuild(const BezierPath& from, const BezierPath& to, bool bothHaveElements,
                                      double flatness) {
  pairedPoints_.reset();
  cache_ = {};
  if (!bothHaveElements) return;
  switch (inputPairingAlgorithm.indexValue()) {
    case 0: pairedPoints_ = _pairNearestVerticesFrom(from, to); break;
    case 1: pairedPoints_ = _pairSequentialVerticesEquallySpacedFrom(from, to); break;
    default: {
      const auto resampled =
          resampleBezierPath(&to, double(from.elementCount()), kNoPointLimit, false, flatness, false);
      pairedPoints_ = _pairSequentialVerticesEquallySpacedFrom(from, *resampled);
      break;
    }
  }
  // Partners by element position, for the frames that follow with the same inputs.
  const ElementWalk walk(from);
  cache_.partners.resize(walk.size());
  for (size_t i = 0; i < walk.size(); ++i) {
    if (walk.kind(i) != E::MoveTo && walk.kind(i) != E::LineTo) continue;
    const Point p = walk.points(i)[0];
    const auto it = pairedPoints_->find(p);
    cache_.partners[i] = it != pairedPoints_->end() ? it->second : p;
  }
  cache_.start = inputBezierPathStart.bezierPathValue();
  cache_.end = inputBezierPathEnd.bezierPathValue();
  cache_.flatness = flatness;
  cache_.valid = true;
}

std::shared_ptr<BezierPath> V2DBezierPathMorphPatch::interpolate(const BezierPath& from, double s) const {
  // As _interpolateFromBezierPath, with each partner read by position instead of looked up.
  return blend(from, s, [&](size_t i, Point) { return cache_.partners[i]; });
}

bool V2DBezierPathMorphPatch::execute(ExecutionContext*, double time, const Arguments&) {
  const double f = inputFlatness.doubleValue();
  const BezierPathRef start = inputBezierPathStart.bezierPathValue(), end = inputBezierPathEnd.bezierPathValue();
  const std::shared_ptr<BezierPath> A = start ? start->bezierPathByFlatteningPathWithFlatness(f) : emptyPath();
  const std::shared_ptr<BezierPath> B = end ? end->bezierPathByFlatteningPathWithFlatness(f) : emptyPath();

  // A time that is not a number shows the start path, as time 0 does.
  const double t = std::isnan(time) ? 0 : time;
  const bool fromIsEnd = A->elementCount() < B->elementCount();
  const double s = fromIsEnd && t > 0 && t < 1 ? 1 - t : t;
  const BezierPath& from = fromIsEnd ? *B : *A;
  const BezierPath& to = fromIsEnd ? *A : *B;
  const bool bothHaveElements = !A->isEmpty() && !B->isEmpty();

  const bool updated = inputBezierPathStart.wasUpdated() || inputBezierPathEnd.wasUpdated() ||
                       inputFlatness.wasUpdated() || inputPairingAlgorithm.wasUpdated();
  // Without a table while both paths have elements (a host that reported no update on the first
  // execution) there would be nothing to pair by: build one.
  if (updated || (!pairedPoints_ && bothHaveElements)) rebuild(from, to, bothHaveElements, f);

  std::shared_ptr<const BezierPath> output;
  if (A->isEmpty())
    output = end ? BezierPathRef(B) : nullptr;  // an absent end path stays absent
  else if (B->isEmpty() || s <= 0)
    output = A;
  else if (s >= 1)
    output = B;
  else if (cache_.valid && cache_.start == start && cache_.end == end && MorphPointKey::bits(cache_.flatness) == MorphPointKey::bits(f) &&
           cache_.partners.size() == from.elementCount())
    output = interpolate(from, s);
  else {
    // The inputs changed without reporting it: the table may not fit the from path. A vertex
    // it lacks would otherwise have no partner, so the table is rebuilt for this from path.
    size_t missing = 0;
    auto blended = _interpolateFromBezierPath(from, *pairedPoints_, s, &missing);
    if (missing > 0) {
      rebuild(from, to, bothHaveElements, f);
      blended = interpolate(from, s);
    }
    output = std::move(blended);
  }
  outputBezierPath.setBezierPathValue(std::move(output));
  return true;
}

}  // namespace vellum
