// Blends one path into another. Both are flattened; each vertex of the path with more elements
// (the "from" path) is paired with a vertex of the other, and the output moves every from vertex
// toward its partner by the morph fraction, which is the time the host passes. The pairing is
// the costly part: it is kept between executions and rebuilt only when an input changes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/Patch.h"
#include "path/Morph.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {


class V2DBezierPathMorphPatch : public Patch {
 public:
  explicit V2DBezierPathMorphPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // The morph's algorithms (path/Morph.h), under the names the patch gives them.
  static constexpr auto& _pairNearestVerticesFrom = pairNearestVertices;
  static constexpr auto& _pairSequentialVerticesEquallySpacedFrom = pairSequentialVerticesEquallySpaced;
  static std::shared_ptr<BezierPath> _interpolateFromBezierPath(const BezierPath& from, const V2DPairingTable& table,
                                                               double time, size_t* missing = nullptr) {
    return interpolateBezierPath(from, table, time, missing);
  }

  // The cached table (null when there is none); replaced, never changed, by a rebuild.
  std::shared_ptr<const V2DPairingTable> pairedPoints() const { return pairedPoints_; }

  V2DBezierPathPort inputBezierPathStart{this, "inputBezierPathStart"};
  V2DBezierPathPort inputBezierPathEnd{this, "inputBezierPathEnd"};
  NumberPort inputFlatness{this, "inputFlatness"};
  IndexPort inputPairingAlgorithm{this, "inputPairingAlgorithm"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};

 private:
  void rebuild(const BezierPath& from, const BezierPath& to, bool bothHaveElements, double flatness);

  std::shared_ptr<const V2DPairingTable> pairedPoints_;

  // The partner of each element of the from path the table was built for, and what that path
  // was made from: while the inputs are the same objects with the same flatness, flattening
  // gives the same from path, and a frame reads partners by position instead of by lookup.
  struct PartnerCache {
    BezierPathRef start, end;
    double flatness = 0;
    std::vector<Point> partners;
    bool valid = false;
  } cache_;
};

}  // namespace vellum
