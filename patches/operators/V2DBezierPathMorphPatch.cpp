#include "patches/operators/V2DBezierPathMorphPatch.h"

#include <cmath>

#include "path/Resample.h"

namespace vellum {

V2DBezierPathMorphPatch::V2DBezierPathMorphPatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector Morph", "name");
  setUpFlatnessPort(inputFlatness);
  inputPairingAlgorithm.setMaxIndexValue(2);
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
  cache_.partners = morphPartners(from, *pairedPoints_);
  cache_.start = inputBezierPathStart.bezierPathValue();
  cache_.end = inputBezierPathEnd.bezierPathValue();
  cache_.flatness = flatness;
  cache_.valid = true;
}

bool V2DBezierPathMorphPatch::execute(ExecutionContext*, double time, const Arguments&) {
  const double f = inputFlatness.doubleValue();
  const BezierPathRef start = inputBezierPathStart.bezierPathValue(), end = inputBezierPathEnd.bezierPathValue();
  const auto A = start ? start->bezierPathByFlatteningPathWithFlatness(f) : BezierPath::bezierPath();
  const auto B = end ? end->bezierPathByFlatteningPathWithFlatness(f) : BezierPath::bezierPath();

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
  else if (cache_.valid && cache_.start == start && cache_.end == end && PointKey::bits(cache_.flatness) == PointKey::bits(f) &&
           cache_.partners.size() == from.elementCount())
    output = interpolateBezierPath(from, cache_.partners, s);
  else {
    // The inputs changed without reporting it: the table may not fit the from path. A vertex
    // it lacks would otherwise have no partner, so the table is rebuilt for this from path.
    size_t missing = 0;
    auto blended = _interpolateFromBezierPath(from, *pairedPoints_, s, &missing);
    if (missing > 0) {
      rebuild(from, to, bothHaveElements, f);
      blended = interpolateBezierPath(from, cache_.partners, s);
    }
    output = std::move(blended);
  }
  outputBezierPath.setBezierPathValue(std::move(output));
  return true;
}

}  // namespace vellum
