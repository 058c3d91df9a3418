#include "patches/operators/ResamplePatches.h"

#include <cmath>
#include <limits>

#include "patches/operators/ElementWalk.h"

namespace vellum {

namespace {

void setDisplayName(Patch& patch, const char* name) { patch.userInfo().setMember(name, "name"); }

void setUpFlatness(NumberPort& port) {
  port.setMinDoubleValue(0.0001);
  port.setDoubleValue(0.01);
}

double distance(Point a, Point b) { return std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y)); }

}  // namespace

// --- resample ----------------------------------------------------------------------------

V2DBezierPathResamplePatch::V2DBezierPathResamplePatch(const std::string& identifier) : Patch(identifier) {
  setDisplayName(*this, "Vellum Vector Resample");
  inputSampleRate.setMinDoubleValue(1);
  inputSampleRate.setDoubleValue(10);
  setUpFlatness(inputFlatness);
}

std::shared_ptr<BezierPath> V2DBezierPathResamplePatch::_resampleBezierPath(const BezierPath* path, double sampleRate,
                                                                            uint64_t maxPts, bool keepOrig,
                                                                            double flatness, bool isLineStrip) {
  auto result = BezierPath::bezierPath();
  if (!path || path->isEmpty() || maxPts == 0) return result;
  // Flattening a path without curves would only copy it.
  bool hasCurves = false;
  for (uint8_t kind : path->data().kinds) hasCurves |= kind == detail::kCurve;
  std::shared_ptr<const BezierPath> flattened;
  if (hasCurves) flattened = path->bezierPathByFlatteningPathWithFlatness(flatness);
  const BezierPath* flat = hasCurves ? flattened.get() : path;
  const size_t n = flat->elementCount();
  if (n == 0) return result;

  // Drawn length: moves add nothing, closes draw back to their subpath's start.
  double length = 0;
  {
    operators::ElementWalk walk(*flat);
    Point p{};
    for (size_t i = 0; i < n; ++i) {
      const uint8_t kind = walk.kind(i);
      const Point e = walk.next(i);
      if (kind == detail::kLine || kind == detail::kClose) length += distance(p, e);
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
  operators::ElementWalk walk(*flat);
  Point p{};
  for (size_t i = 0; i < n && count < maxPts; ++i) {
    uint8_t kind = walk.kind(i);
    const Point e = walk.next(i);
    if (isLineStrip && i > 0 && (kind == detail::kMove || kind == detail::kClose)) kind = detail::kLine;
    if (kind != detail::kLine && kind != detail::kClose) {
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
      if (kind == detail::kClose) {
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

bool V2DBezierPathResamplePatch::execute(ExecutionContext*, double, const Arguments&) {
  const auto path = inputBezierPath.bezierPathValue();
  outputBezierPath.setBezierPathValue(_resampleBezierPath(path.get(), inputSampleRate.doubleValue(), kNoPointLimit,
                                                          inputKeepOriginalPoints.booleanValue(),
                                                          inputFlatness.doubleValue(), false));
  return true;
}

// --- intermediate point --------------------------------------------------------------------

V2DBezierPathPointPatch::V2DBezierPathPointPatch(const std::string& identifier) : Patch(identifier) {
  setDisplayName(*this, "Vellum Vector Intermediate Point");
  setUpFlatness(inputFlatness);
}

Point V2DBezierPathPointPatch::_pointOnBezierPath(const BezierPath* path, double t, double flatness) {
  const double rate = t <= 0 ? 0 : t >= 1 ? 1 : 1 / t;
  // One counted element: the resampler stops right after the sample at t times the length.
  const auto sampled = V2DBezierPathResamplePatch::_resampleBezierPath(path, rate, 1, false, flatness, false);
  Point last{};
  operators::ElementWalk walk(*sampled);
  for (size_t i = 0; i < walk.size(); ++i) last = walk.next(i);
  return last;
}

bool V2DBezierPathPointPatch::execute(ExecutionContext*, double, const Arguments&) {
  const auto path = inputBezierPath.bezierPathValue();
  const Point p = _pointOnBezierPath(path.get(), inputT.doubleValue(), inputFlatness.doubleValue());
  outputX.setDoubleValue(p.x);
  outputY.setDoubleValue(p.y);
  return true;
}

// --- contains point ------------------------------------------------------------------------

V2DBezierPathContainsPointPatch::V2DBezierPathContainsPointPatch(const std::string& identifier) : Patch(identifier) {
  setDisplayName(*this, "Vellum Vector Contains Point");
  inputFillRule.setMaxIndexValue(1);
}

bool V2DBezierPathContainsPointPatch::execute(ExecutionContext*, double, const Arguments&) {
  const auto path = inputBezierPath.bezierPathValue();
  bool contains = false;
  if (path) {
    const QuartzPath quartz = path->quartzPath();
    contains = quartz.containsPoint({inputX.doubleValue(), inputY.doubleValue()}, inputFillRule.indexValue() != 0);
  }
  outputContains.setBooleanValue(contains);
  return true;
}

}  // namespace vellum
