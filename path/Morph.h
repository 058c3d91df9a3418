// The morph's algorithms: the vertices of one flattened path paired with those of another, and
// the blend between them. Curves are skipped; the pairings are built in single precision step by
// step as they are defined.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "path/BezierPath.h"
#include "path/PointKey.h"

namespace vellum {

// From-path vertex -> to-path vertex.
using V2DPairingTable = std::unordered_map<Point, Point, PointKey, PointKey>;

// A pairing never evaluates more vertex distances than this. Beyond it the nearest pairing
// considers an evenly thinned subset of the to vertices, and the sequential pairing of a
// closed path an evenly thinned subset of the rotations; smaller inputs are paired exactly.
inline constexpr uint64_t kMaxPairingDistances = uint64_t{1} << 26;

// Move and line points in path order, each distinct point once; closes add nothing.
std::vector<Point> morphVertexList(const BezierPath& path);
// Nearest vertices after moving the from set's centroid onto the to set's.
std::shared_ptr<V2DPairingTable> pairNearestVertices(const BezierPath& from, const BezierPath& to);
// The to vertices stepped through in order, nF / nT from vertices each; a closed from path is
// first rotated to the start of least total travel.
std::shared_ptr<V2DPairingTable> pairSequentialVerticesEquallySpaced(const BezierPath& from, const BezierPath& to);
// The from path with each move and line point moved toward its partner by `time`. A vertex
// the table does not hold stays where it is; `missing`, when given, receives their number.
std::shared_ptr<BezierPath> interpolateBezierPath(const BezierPath& from, const V2DPairingTable& table, double time,
                                                  size_t* missing = nullptr);

// The partner of each element of `from` by position: the table's partner of a move or line point
// (the point itself when the table lacks it; `missing`, when given, receives their number), and
// (0, 0) for other elements.
std::vector<Point> morphPartners(const BezierPath& from, const V2DPairingTable& table, size_t* missing = nullptr);
// The from path with each move and line point moved toward its partner by `time`, element i's
// partner being partners[i] (as morphPartners gives them).
std::shared_ptr<BezierPath> interpolateBezierPath(const BezierPath& from, const std::vector<Point>& partners,
                                                  double time);

}  // namespace vellum
