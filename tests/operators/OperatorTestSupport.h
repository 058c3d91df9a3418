// Building and comparing small paths element by element.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "path/BezierPath.h"

namespace vellum::test {

using K = BezierPathElement;

struct El {
  K kind;
  std::vector<Point> points;
};

inline std::vector<El> elementsOf(const BezierPath& path) {
  std::vector<El> out;
  for (size_t i = 0; i < path.elementCount(); ++i) {
    auto pts = path.associatedPoints(i);
    out.push_back({path.elementAtIndex(i), {pts.begin(), pts.end()}});
  }
  return out;
}

// Exact comparison unless a tolerance is given.
inline void expectElements(const BezierPath& path, const std::vector<El>& expected, double tolerance = 0) {
  auto got = elementsOf(path);
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

// A path of moves, lines and closes from a list of elements (curves take three points).
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

inline El M(double x, double y) { return {K::MoveTo, {{x, y}}}; }
inline El L(double x, double y) { return {K::LineTo, {{x, y}}}; }
inline El C(Point c1, Point c2, Point end) { return {K::CurveTo, {c1, c2, end}}; }
inline El Z() { return {K::ClosePath, {}}; }

// The closed unit square: move (0, 0), lines to (1, 0), (1, 1), (0, 1), close.
inline std::shared_ptr<BezierPath> unitSquare() { return pathOf({M(0, 0), L(1, 0), L(1, 1), L(0, 1), Z()}); }

}  // namespace vellum::test
