// Helpers for reading paths back in tests.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "path/BezierPath.h"

namespace vellum::test {

struct El {
  BezierPathElement kind;
  std::vector<Point> points;
  friend bool operator==(const El&, const El&) = default;
};

inline std::vector<El> elements(const BezierPath& p) {
  std::vector<El> out;
  for (size_t i = 0; i < p.elementCount(); ++i) {
    const auto pts = p.associatedPoints(i);
    out.push_back({p.elementAtIndex(i), {pts.begin(), pts.end()}});
  }
  return out;
}

inline El M(double x, double y) { return {BezierPathElement::MoveTo, {{x, y}}}; }
inline El L(double x, double y) { return {BezierPathElement::LineTo, {{x, y}}}; }
// Control point 1, control point 2, end: the stored order.
inline El C(Point c1, Point c2, Point end) { return {BezierPathElement::CurveTo, {c1, c2, end}}; }
inline El Z() { return {BezierPathElement::ClosePath, {}}; }

inline void PrintTo(const El& e, std::ostream* os) {
  *os << "kind " << int(e.kind);
  for (const Point& p : e.points) *os << " (" << p.x << ", " << p.y << ")";
}

// Element by element, points within `tol`.
inline void expectNear(const std::vector<El>& got, const std::vector<El>& want, double tol) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i].kind, want[i].kind) << "element " << i;
    ASSERT_EQ(got[i].points.size(), want[i].points.size()) << "element " << i;
    for (size_t j = 0; j < got[i].points.size(); ++j) {
      EXPECT_NEAR(got[i].points[j].x, want[i].points[j].x, tol) << "element " << i << " point " << j;
      EXPECT_NEAR(got[i].points[j].y, want[i].points[j].y, tol) << "element " << i << " point " << j;
    }
  }
}

constexpr double kK = 0.55228474983079339840;  // 4/3 tan(pi/8)

}  // namespace vellum::test
