// The element store shared by BezierPath and QuartzPath, and the geometry both need:
// tight bounds, point containment and flattening. Internal to the path library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/Exception.h"
#include "host/Value.h"

namespace vellum::detail {

enum : uint8_t { kMove = 0, kLine = 1, kCurve = 2, kClose = 3 };

inline constexpr int kPointCount[4] = {1, 1, 3, 0};

// Kinds, the offset of each element's first point, and the points in one flat array:
// 13 bytes per move or line, 53 per curve, 5 per close.
struct PathData {
  std::vector<uint8_t> kinds;
  std::vector<uint32_t> offsets;
  std::vector<Point> points;

  size_t size() const { return kinds.size(); }
  bool empty() const { return kinds.empty(); }
  void clear() {
    kinds.clear();
    offsets.clear();
    points.clear();
  }
  void reserve(size_t elements, size_t pts) {
    kinds.reserve(elements);
    offsets.reserve(elements);
    points.reserve(pts);
  }
  void add(uint8_t kind) {
    // 32-bit offsets: 64 GiB of points is far beyond any path this library is asked to hold.
    if (points.size() > 0xFFFFFFF0u) throw Exception("path too large");
    kinds.push_back(kind);
    offsets.push_back(static_cast<uint32_t>(points.size()));
  }
  void move(Point p) { add(kMove); points.push_back(p); }
  void line(Point p) { add(kLine); points.push_back(p); }
  void curve(Point c1, Point c2, Point p) {
    add(kCurve);
    points.push_back(c1);
    points.push_back(c2);
    points.push_back(p);
  }
  void close() { add(kClose); }
  friend bool operator==(const PathData&, const PathData&) = default;
};

// Every curve of the flattened output stays within this many segments (see flattenCurve).
inline constexpr unsigned kMaxSegmentsPerCurve = 16384;

// The tight box of the drawn outline; every move point counts. False for an empty path.
bool tightBounds(const PathData& d, Rect& out);

// Winding number of p; open subpaths count as closed.
long windingNumber(const PathData& d, Point p);
inline bool contains(const PathData& d, Point p, bool evenOdd) {
  const long w = windingNumber(d, p);
  return evenOdd ? (w & 1) != 0 : w != 0;
}

// Appends the end points of the line segments that replace the cubic p0..p3 (p0 excluded; the
// last one is p3 exactly). Answers the number of points appended.
size_t flattenCurve(Point p0, Point p1, Point p2, Point p3, double flatness, std::vector<Point>& out);

// The flattening of a whole path: curves become lines, everything else is copied.
void flatten(const PathData& in, double flatness, PathData& out);

// Sine and cosine of an angle in degrees, exact at multiples of 90 degrees so that rotations and
// arcs through the axes land on exact coordinates instead of leaving 6e-17 residues.
void sinCosDegrees(double degrees, double& s, double& c);

}  // namespace vellum::detail
