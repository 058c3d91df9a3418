// Paths as lists of (kind, points), for building small paths and comparing results element by
// element; shared by every suite that checks path elements.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <limits>
#include <memory>
#include <ostream>
#include <vector>

#include "host/Value.h"
#include "path/BezierPath.h"

namespace vellum::testing {

using K = BezierPathElement;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// 4/3 tan(pi/8): the control point distance of a quarter circle of radius 1.
constexpr double kK = 0.55228474983079339840;

struct El {
  K kind;
  std::vector<Point> points;  // move, line: the point; curve: control 1, control 2, end
  friend bool operator==(const El&, const El&) = default;
};

inline void PrintTo(const El& e, std::ostream* os) {
  *os << "kind " << int(e.kind);
  for (const Point& p : e.points) *os << " (" << p.x << ", " << p.y << ")";
}

inline El M(double x, double y) { return {K::MoveTo, {{x, y}}}; }
inline El L(double x, double y) { return {K::LineTo, {{x, y}}}; }
inline El C(Point c1, Point c2, Point end) { return {K::CurveTo, {c1, c2, end}}; }
inline El Z() { return {K::ClosePath, {}}; }

inline std::vector<El> elementsOf(const BezierPath& path) {
  std::vector<El> out;
  for (size_t i = 0; i < path.elementCount(); ++i) {
    auto pts = path.associatedPoints(i);
    out.push_back({path.elementAtIndex(i), {pts.begin(), pts.end()}});
  }
  return out;
}

// Element by element: kinds exactly, points to 4 ulps unless a tolerance is given.
inline void expectElements(const std::vector<El>& got, const std::vector<El>& expected, double tolerance = 0) {
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].kind, expected[i].kind) << "element " << i;
    ASSERT_EQ(got[i].points.size(), expected[i].points.size()) << "element " << i;
    for (size_t j = 0; j < got[i].points.size(); ++j) {
      if (tolerance == 0) {
        EXPECT_DOUBLE_EQ(got[i].points[j].x, expected[i].points[j].x) << "element " << i << " point " << j;
        EXPECT_DOUBLE_EQ(got[i].points[j].y, expected[i].points[j].y) << "element " << i << " point " << j;
      } else {
        EXPECT_NEAR(got[i].points[j].x, expected[i].points[j].x, tolerance) << "element " << i << " point " << j;
        EXPECT_NEAR(got[i].points[j].y, expected[i].points[j].y, tolerance) << "element " << i << " point " << j;
      }
    }
  }
}

inline void expectElements(const BezierPath& path, const std::vector<El>& expected, double tolerance = 0) {
  expectElements(elementsOf(path), expected, tolerance);
}

// A path from a list of elements.
inline std::shared_ptr<BezierPath> pathOf(const std::vector<El>& elements) {
  auto path = BezierPath::bezierPath();
  for (const El& e : elements) {
    switch (e.kind) {
      case K::MoveTo: path->moveToPoint(e.points[0]); break;
      case K::LineTo: path->lineToPoint(e.points[0]); break;
      case K::CurveTo: path->curveToPoint(e.points[2], e.points[0], e.points[1]); break;
      case K::ClosePath: path->closePath(); break;
    }
  }
  return path;
}

// The closed unit square: move (0, 0), lines to (1, 0), (1, 1), (0, 1), close.
inline std::shared_ptr<BezierPath> unitSquare() { return pathOf({M(0, 0), L(1, 0), L(1, 1), L(0, 1), Z()}); }

// A list of structure members for a test helper. Unlike a plain std::vector<Value> parameter, a
// braced single member stays one member: f({L{"moveto", 0, 0}}) is a list of one command, not
// the command's own three members.
struct Members {
  std::vector<Value> values;
  Members(std::initializer_list<Value> list) : values(list) {}
  Members(const std::vector<Value>& list) : values(list) {}
};

// Executes a path source or operator patch and answers its output path.
template <class T>
BezierPathRef run(T& patch) {
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  return patch.outputBezierPath.bezierPathValue();
}

}  // namespace vellum::testing
