// Blends one path into another. Both are flattened; each vertex of the path with more elements
// (the "from" path) is paired with a vertex of the other, and the output moves every from vertex
// toward its partner by the morph fraction, which is the time the host passes. The pairing is
// the costly part: it is kept between executions and rebuilt only when an input changes.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "host/Patch.h"
#include "path/PointKey.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

using MorphPointKey = PointKey;

// From-path vertex -> to-path vertex.
using V2DPairingTable = std::unordered_map<Point, Point, MorphPointKey, MorphPointKey>;

class V2DBezierPathMorphPatch : public Patch {
 public:
  explicit V2DBezierPathMorphPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // A pairing never evaluates more vertex distances than this. Beyond it the nearest pairing
  // considers an evenly thinned subset of the to vertices, and the sequential pairing of a
  // closed path an evenly thinned subset of the rotations; smaller inputs are paired exactly.
  static constexpr uint64_t kMaxPairingDistances = uint64_t{1} << 26;

  // Move and line points in path order, each distinct point once; closes add nothing.
  static std::vector<Point> vertexList(const BezierPath& path);
  // Nearest vertices after moving the from set's centroid onto the to set's.
  static std::shared_ptr<V2DPairingTable> _pairNearestVerticesFrom(const BezierPath& from, const BezierPath& to);
  // The to vertices stepped through in order, nF / nT from vertices each; a closed from path is
  // first rotated to the start of least total travel.
  static std::shared_ptr<V2DPairingTable> _pairSequentialVerticesEquallySpacedFrom(const BezierPath& from,
                                                                                   const BezierPath& to);
  // The from path with each move and line point moved toward its partner by `time`. A vertex
  // the table does not hold stays where it is; `missing`, when given, receives their number.
  static std::shared_ptr<BezierPath> _interpolateFromBezierPath(const BezierPath& from, const V2DPairingTable& table,
                                                               double time, size_t* missing = nullptr);

  // The cached table (null when there is none); replaced, never changed, by a rebuild.
  std::shared_ptr<const V2DPairingTable> pairedPoints() const { return pairedPoints_; }

  V2DBezierPathPort inputBezierPathStart{this, "inputBezierPathStart"};
  V2DBezierPathPort inputBezierPathEnd{this, "inputBezierPathEnd"};
  NumberPort inputFlatness{this, "inputFlatness"};
  IndexPort inputPairingAlgorithm{this, "inputPairingAlgorithm"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};

 private:
  void rebuild(const BezierPath& from, const BezierPath& to, bool bothHaveElements, double flatness);
  std::shared_ptr<BezierPath> interpolate(const BezierPath& from, double s) const;

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
