// Measuring a path along its length: even resampling, the point at a fraction of the length,
// and point containment. The resampler is shared with Vector Morph and the grid patch.
#pragma once

#include <cstdint>

#include "host/Patch.h"
#include "plugin/V2DBezierPathPort.h"

namespace vellum {

class V2DBezierPathResamplePatch : public Patch {
 public:
  explicit V2DBezierPathResamplePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // `maxPts` when the caller wants no bound of its own.
  static constexpr uint64_t kNoPointLimit = 4294967295u;
  // The most sample targets one call walks past. A sample rate above it is lowered to it when
  // `maxPts` does not already bound the result more tightly, so the samples still span the
  // whole path evenly; in line-strip mode (where samples run on past the measured length) and
  // for degenerate rates the walk simply stops producing samples here. Moves, closes and kept
  // vertices are never dropped, so the result holds at most this many samples plus two
  // elements per element of the flattened path.
  static constexpr uint64_t kMaxSamples = uint64_t{1} << 20;

  // A new path: `path` flattened with `flatness`, then a line to each point at the distances
  // L/S, 2L/S, ... along its drawn length L (moves not counted, closes counted), interleaved in
  // path order with its moves, every close and, with `keepOrig`, every vertex. At most `maxPts`
  // samples, closes and kept vertices are appended. A rate that is not above 0 (NaN included)
  // gives the single sample at distance 0. A path of zero or non-finite length gets no samples.
  // An absent path gives an empty path.
  static std::shared_ptr<BezierPath> _resampleBezierPath(const BezierPath* path, double sampleRate, uint64_t maxPts,
                                                         bool keepOrig, double flatness, bool isLineStrip);

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputSampleRate{this, "inputSampleRate"};
  NumberPort inputFlatness{this, "inputFlatness"};
  BooleanPort inputKeepOriginalPoints{this, "inputKeepOriginalPoints"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

class V2DBezierPathPointPatch : public Patch {
 public:
  explicit V2DBezierPathPointPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // The point at fraction `t` of the drawn length: the first point for t <= 0 (and NaN), the end
  // of the drawn length for t >= 1; (0, 0) for an absent or empty path.
  static Point _pointOnBezierPath(const BezierPath* path, double t, double flatness);

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputT{this, "inputT"};
  NumberPort inputFlatness{this, "inputFlatness"};
  NumberPort outputX{this, "outputX"};
  NumberPort outputY{this, "outputY"};
};

class V2DBezierPathContainsPointPatch : public Patch {
 public:
  explicit V2DBezierPathContainsPointPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputX{this, "inputX"};
  NumberPort inputY{this, "inputY"};
  IndexPort inputFillRule{this, "inputFillRule"};
  BooleanPort outputContains{this, "outputContains"};
};

}  // namespace vellum
