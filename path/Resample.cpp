#include "path/Resample.h"

#include <cmath>
#include <limits>

#include "path/ElementWalk.h"

namespace vellum {

namespace {

using E = BezierPathElement;

double distance(Point a, Point b) { return std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y)); }

}  // namespace

std::shared_ptr<BezierPath> resampleBezierPath(const BezierPath* path, double sampleRate, uint64_t maxPts,
                                               bool keepOrig, double flatness, bool isLineStrip) {
  auto result = BezierPath::bezierPath();
  if (!path || path->isEmpty() || maxPts == 0) return result;
  // Flattening a path without curves would only copy it.
  bool hasCurves = false;
  {
    const ElementWalk walk(*path);
    for (size_t i = 0; i < walk.size(); ++i) hasCurves |= walk.kind(i) == E::CurveTo;
  }
  std::shared_ptr<const BezierPath> flattened;
  if (hasCurves) flattened = path->bezierPathByFlatteningPathWithFlatness(flatness);
  const BezierPath* flat = hasCurves ? flattened.get() : path;
  const size_t n = flat->elementCount();
  if (n == 0) return result;

  // Drawn length: moves add nothing, closes draw back to their subpath's start.
  double length = 0;
  {
    ElementWalk walk(*flat);
    Point p{};
    for (size_t i = 0; i < n; ++i) {
      const E kind = walk.kind(i);
      const Point e = walk.next(i);
      if (kind == E::LineTo || kind == E::ClosePath) length += distance(p, e);
      p = e;
    }
  }

  // A rate that is not above 0 puts one sample at distance 0 and none after it.
  const bool rateZero = !(sampleRate > 0);
  if (!rateZero && maxPts > kMaxSamples && sampleRate > double(kMaxSamples)) sampleRate = double(kMaxSamples);
  const double infinity = std::numeric_limits<double>::infinity();
  // Zero, NaN and infinite lengths place no sample (and could never be walked past).
  const bool measurable = length > 0 && length < infinity;

  double a = 0, target = rateZero ? 0 : (1 / sampleRate) * length;
  uint64_t k = 1, count = 0, targets = 0;
  ElementWalk walk(*flat);
  Point p{};
  for (size_t i = 0; i < n && count < maxPts; ++i) {
    E kind = walk.kind(i);
    const Point e = walk.next(i);
    if (isLineStrip && i > 0 && (kind == E::MoveTo || kind == E::ClosePath)) kind = E::LineTo;
    if (kind != E::LineTo && kind != E::ClosePath) {
      result->moveToPoint(e);
      p = e;
      continue;
    }
    const double s = distance(p, e);
    a += s;
    bool hit = false;
    while (measurable && a >= target) {
      if (a > target) {
        const double f = s > 0 ? (a - target) / s : 0;
        result->lineToPoint({e.x - (e.x - p.x) * f, e.y - (e.y - p.y) * f});
        if (++count >= maxPts) break;
      } else {
        hit = true;
      }
      ++k;
      // The walk past a bounded number of targets keeps every degenerate rate (infinite, or
      // with targets that no longer advance) and a line strip's overrun bounded.
      target = (rateZero || ++targets >= kMaxSamples) ? infinity : (double(k) / sampleRate) * length;
    }
    if (count < maxPts) {
      if (kind == E::ClosePath) {
        result->closePath();
        ++count;
      } else if (hit || keepOrig) {
        result->lineToPoint(e);
        ++count;
      }
    }
    p = e;
  }
  return result;
}

Point pointOnBezierPath(const BezierPath* path, double t, double flatness) {
  const double rate = t <= 0 ? 0 : t >= 1 ? 1 : 1 / t;
  // One counted element: the resampler stops right after the sample at t times the length.
  const auto sampled = resampleBezierPath(path, rate, 1, false, flatness, false);
  Point last{};
  ElementWalk walk(*sampled);
  for (size_t i = 0; i < walk.size(); ++i) last = walk.next(i);
  return last;
}

}  // namespace vellum
