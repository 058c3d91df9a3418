#include "path/BezierPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

using Els = std::vector<El>;

TEST(BezierPathBuild, NoCurrentPointThrows) {
  BezierPath p;
  EXPECT_THROW(p.lineToPoint({1, 1}), Exception);
  EXPECT_THROW(p.curveToPoint({1, 1}, {0, 1}, {1, 0}), Exception);
  EXPECT_THROW(p.relativeMoveToPoint({1, 1}), Exception);
  EXPECT_THROW(p.relativeLineToPoint({1, 1}), Exception);
  EXPECT_THROW(p.relativeCurveToPoint({1, 1}, {1, 1}, {1, 1}), Exception);
  EXPECT_THROW(p.appendBezierPathWithArcFromPoint({1, 1}, {2, 0}, 1), Exception);
  EXPECT_THROW(p.currentPoint(), Exception);
  p.closePath();  // nothing to close: nothing appended
  EXPECT_EQ(p.elementCount(), 0u);
}

// Relative operations offset every point by the current point; a close returns it to the
// subpath's start, where the next element continues; consecutive moves are all kept.
TEST(BezierPathBuild, RelativeOperationsAndClose) {
  BezierPath p;
  p.moveToPoint({10, 20});
  p.relativeLineToPoint({1, 2});
  p.relativeCurveToPoint({5, 5}, {1, 0}, {0, 1});
  p.relativeMoveToPoint({-1, -1});
  p.lineToPoint({20, 26});
  p.closePath();
  EXPECT_EQ(p.currentPoint(), (Point{15, 26}));
  p.lineToPoint({15, 30});
  p.closePath();
  EXPECT_EQ(p.currentPoint(), (Point{15, 26}));
  p.moveToPoint({3, 3});
  p.moveToPoint({4, 4});
  EXPECT_EQ(elementsOf(p), (Els{M(10, 20), L(11, 22), C({12, 22}, {11, 23}, {16, 27}), M(15, 26), L(20, 26), Z(),
                                L(15, 30), Z(), M(3, 3), M(4, 4)}));
  EXPECT_EQ(p.currentPoint(), (Point{4, 4}));
}

TEST(BezierPathElements, ReadAndReplacePointsByIndex) {
  auto p = pathOf({M(0, 0), C({1, 2}, {3, 4}, {9, 9})});
  Point pts[3];
  EXPECT_EQ(p->elementAtIndex(1, pts), BezierPathElement::CurveTo);
  EXPECT_EQ((std::vector<Point>(pts, pts + 3)), (std::vector<Point>{{1, 2}, {3, 4}, {9, 9}}));
  const Point repl[3] = {{7, 7}, {8, 8}, {6, 5}};
  p->setAssociatedPoints(repl, 1);
  EXPECT_EQ(elementsOf(*p)[1], C({7, 7}, {8, 8}, {6, 5}));
  EXPECT_EQ(p->currentPoint(), (Point{6, 5}));
  EXPECT_THROW(p->elementAtIndex(2), Exception);
  EXPECT_THROW(p->setAssociatedPoints(std::span<const Point>(repl, 2), 1), Exception);
}

TEST(BezierPathShapes, RectIsFiveElementsCounterClockwiseSizeAsGiven) {
  for (auto [rect, elements] : {std::pair{Rect{{1, 2}, {3, 4}}, Els{M(1, 2), L(4, 2), L(4, 6), L(1, 6), Z()}},
                                {Rect{{0, 0}, {-2, 3}}, Els{M(0, 0), L(-2, 0), L(-2, 3), L(0, 3), Z()}}})
    EXPECT_EQ(elementsOf(*BezierPath::bezierPathWithRect(rect)), elements);
}

TEST(BezierPathShapes, OvalStartsAtMinus45AndRunsFourQuarters) {
  auto p = pathOf({M(100, 100)});
  p->appendBezierPathWithOvalInRect({{0, 0}, {4, 2}});  // centre (2, 1), semi-axes 2 and 1
  const double s = std::sqrt(0.5), a = 2 * s, b = s, ka = kK * a, kb = kK * b;
  expectElements(*p,
                 {M(100, 100), M(2 + a, 1 - b), C({2 + a + ka, 1 - b + kb}, {2 + a + ka, 1 + b - kb}, {2 + a, 1 + b}),
                  C({2 + a - ka, 1 + b + kb}, {2 - a + ka, 1 + b + kb}, {2 - a, 1 + b}),
                  C({2 - a - ka, 1 + b - kb}, {2 - a - ka, 1 - b + kb}, {2 - a, 1 - b}),
                  C({2 - a + ka, 1 - b - kb}, {2 + a - ka, 1 - b - kb}, {2 + a, 1 - b})},
                 1e-14);
}

// Nine elements from the top left; radii are held to half the sides (zero-length lines are
// kept), and a radius of zero or no number gives the rectangle.
TEST(BezierPathShapes, RoundedRectFromTopLeftRadiiClamped) {
  BezierPath p, big, zero;
  p.appendBezierPathWithRoundedRect({{0, 0}, {10, 6}}, 2, 1);
  const double kx = kK * 2, ky = kK * 1;
  expectElements(p,
                 {M(2, 6), C({2 - kx, 6}, {0, 5 + ky}, {0, 5}), L(0, 1), C({0, 1 - ky}, {2 - kx, 0}, {2, 0}), L(8, 0),
                  C({8 + kx, 0}, {10, 1 - ky}, {10, 1}), L(10, 5), C({10, 5 + ky}, {8 + kx, 6}, {8, 6}), Z()},
                 1e-14);
  big.appendBezierPathWithRoundedRect({{0, 0}, {10, 6}}, 50, 50);  // held to 5 and 3
  const auto e = elementsOf(big);
  ASSERT_EQ(e.size(), 9u);
  EXPECT_EQ(e[0], M(5, 6));
  EXPECT_EQ(e[2], L(0, 3));
  EXPECT_EQ(e[3].points[2], (Point{5, 0}));
  for (double rx : {0.0, double(NAN)}) {
    zero.removeAllPoints();
    zero.appendBezierPathWithRoundedRect({{0, 0}, {10, 6}}, rx, 3);
    EXPECT_EQ(elementsOf(zero), (Els{M(0, 0), L(10, 0), L(10, 6), L(0, 6), Z()})) << rx;
  }
}

// On an empty path an arc starts with a move, otherwise with a line from the current point
// (none when it is already there). Quarters first, then the remainder; sweeps beyond a turn
// draw one turn, and an end angle below the start wraps.
TEST(BezierPathArcs, QuartersRemaindersTurnsAndWrapping) {
  auto arc = [](double r, double start, double end, bool clockwise = false) {
    BezierPath p;
    p.appendBezierPathWithArcWithCenter({0, 0}, r, start, end, clockwise);
    return p;
  };
  EXPECT_EQ(elementsOf(arc(1, 0, 90)), (Els{M(1, 0), C({1, kK}, {kK, 1}, {0, 1})}));
  EXPECT_EQ(elementsOf(arc(2, 0, 270, true)), (Els{M(2, 0), C({2, -2 * kK}, {2 * kK, -2}, {0, -2})}));
  const double r = 100 * M_PI / 180, k = 4.0 / 3.0 * std::tan(10 * M_PI / 180 / 4);
  expectElements(arc(1, 0, 100), {M(1, 0), C({1, kK}, {kK, 1}, {0, 1}),
                                  C({-k, 1}, {std::cos(r) + k * std::sin(r), std::sin(r) - k * std::cos(r)},
                                    {std::cos(r), std::sin(r)})},
                 1e-14);
  for (auto [end, elements, last] : {std::tuple{720.0, 5u, Point{1, 0}}, {-90.0, 4u, Point{0, -1}}}) {
    EXPECT_EQ(arc(1, 0, end).elementCount(), elements) << end;
    EXPECT_EQ(arc(1, 0, end).currentPoint(), last) << end;
  }
  auto p = pathOf({M(5, 5)});
  p->appendBezierPathWithArcWithCenter({0, 0}, 1, 180, 180);
  p->appendBezierPathWithArcWithCenter({0, 0}, 1, 180, 270);
  EXPECT_EQ(elementsOf(*p), (Els{M(5, 5), L(-1, 0), C({-1, -kK}, {-kK, -1}, {0, -1})}));
}

TEST(BezierPathArcs, NonFiniteArgumentsAppendNothing) {
  BezierPath p;
  p.appendBezierPathWithArcWithCenter({0, 0}, NAN, 0, 90);
  p.appendBezierPathWithArcWithCenter({0, 0}, 1, INFINITY, 90);
  p.appendBezierPathWithArcWithCenter({NAN, 0}, 1, 0, 90);
  EXPECT_EQ(p.elementCount(), 0u);
  // Huge but finite angles cost one step, not 1e300 / 360 of them.
  p.appendBezierPathWithArcWithCenter({0, 0}, 1, 1e300, -1e300);
  EXPECT_LE(p.elementCount(), 5u);
}

// A tangent arc turns left or right as the corner does; degenerate corners draw a line to the
// first point.
TEST(BezierPathArcs, TangentArcFromPoint) {
  auto run = [](Point p1, Point p2, double r, Point start = {0, 0}) {
    auto p = pathOf({M(start.x, start.y)});
    p->appendBezierPathWithArcFromPoint(p1, p2, r);
    return elementsOf(*p);
  };
  expectElements(run({10, 0}, {10, 10}, 2), {M(0, 0), L(8, 0), C({8 + 2 * kK, 0}, {10, 2 - 2 * kK}, {10, 2})}, 1e-12);
  expectElements(run({10, 0}, {10, -10}, 2), {M(0, 0), L(8, 0), C({8 + 2 * kK, 0}, {10, -2 + 2 * kK}, {10, -2})},
                 1e-12);
  const Els line{M(0, 0), L(5, 0)};
  EXPECT_EQ(run({5, 0}, {9, 0}, 1), line);    // collinear, onward
  EXPECT_EQ(run({5, 0}, {-3, 0}, 1), line);   // collinear, back
  EXPECT_EQ(run({5, 0}, {5, 0}, 1), line);    // p1 == p2
  EXPECT_EQ(run({5, 0}, {5, 5}, 0), line);    // radius 0
  EXPECT_EQ(run({5, 0}, {5, 5}, NAN), line);  // radius not a number
  EXPECT_EQ(run({0, 0}, {5, 5}, 1), (Els{M(0, 0), L(0, 0)}));  // current point == p1
}

// A close returns to the latest move: after a close the next subpath starts where the closed
// one did, and of two moves in a row (text and SVG path data begin so) the second one counts.
// An empty or absent path hands out nothing.
TEST(BezierPathEnumerator, CloseRecordsCarryTheLatestMove) {
  EXPECT_FALSE(BezierPath().enumerator().next().has_value());
  EXPECT_FALSE(V2DBezierPathEnumerator(nullptr).next().has_value());
  auto shared = pathOf({M(1, 1), L(2, 1), Z(), L(1, 3), Z(), M(0, 0), M(7, 7), C({8, 8}, {9, 8}, {9, 7}), Z()});
  const BezierPath plain = *shared;  // not owned by a shared_ptr: the enumerator walks a copy
  for (const BezierPath* p : {static_cast<const BezierPath*>(shared.get()), &plain}) {
    auto en = p->enumerator();
    EXPECT_EQ(en.bp == shared, p == shared.get());  // a shared path is walked, not copied
    std::vector<V2DBezierPathElement> recs;
    while (auto e = en.next()) recs.push_back(*e);
    ASSERT_EQ(recs.size(), 9u);
    for (size_t i : {2, 4, 8}) EXPECT_EQ(recs[i].type, 3u) << i;
    EXPECT_EQ(recs[2].points[0], (Point{1, 1}));
    EXPECT_EQ(recs[3].points[0], (Point{1, 3}));
    EXPECT_EQ(recs[4].points[0], (Point{1, 1}));
    EXPECT_EQ(recs[8].points[0], (Point{7, 7}));
    EXPECT_FALSE(en.next().has_value());
  }
}

namespace {
struct Other : Object {
  std::string className() const override { return "Other"; }
};
}  // namespace

TEST(BezierPathEquality, ExactPointsAndKindsNotAttributes) {
  auto a = pathOf({M(0, 0), C({1, 2}, {2, 1}, {3, 3}), Z()});
  auto b = a->copy();
  b->setLineWidth(7);
  b->setWindingRule(EvenOddWindingRule);
  EXPECT_TRUE(a->isEqualToBezierPath(*b));
  EXPECT_TRUE(a->isEqual(*b));
  EXPECT_FALSE(a->isEqual(Other{}));
  EXPECT_FALSE(a->isEqualToBezierPath(*pathOf({M(0, 0), C({1, 2 + 1e-12}, {2, 1}, {3, 3}), Z()})));
  EXPECT_FALSE(a->isEqualToBezierPath(*pathOf({M(0, 0), C({1, 2}, {2, 1}, {3, 3}), Z(), L(0, 0)})));
  EXPECT_FALSE(pathOf({M(0, 0), M(1, 1)})->isEqualToBezierPath(*pathOf({M(0, 0), L(1, 1)})));
  EXPECT_TRUE(BezierPath().isEqualToBezierPath(BezierPath()));
}

// Twice reversed is the original again: a closed subpath's start moves to its last point and
// back. A subpath continuing after a close gets its own move.
TEST(BezierPathReverse, SubpathsReversedInPlaceClosedStayClosed) {
  auto p = pathOf({M(0, 0), L(10, 0), C({12, 3}, {12, 7}, {10, 10}), Z(), M(50, 50), M(20, 20), L(30, 20)});
  p->setLineWidth(3);
  auto r = p->bezierPathByReversingPath();
  EXPECT_EQ(elementsOf(*r),
            (Els{M(10, 10), C({12, 7}, {12, 3}, {10, 0}), L(0, 0), Z(), M(50, 50), M(30, 20), L(20, 20)}));
  EXPECT_EQ(r->lineWidth(), 3);
  EXPECT_TRUE(r->bezierPathByReversingPath()->isEqualToBezierPath(*p));
  EXPECT_EQ(elementsOf(*pathOf({M(0, 0), L(4, 0), Z(), L(0, 4)})->bezierPathByReversingPath()),
            (Els{M(4, 0), L(0, 0), Z(), M(0, 4), L(0, 0)}));
}

TEST(BezierPathAppend, AppendsElementsAndFollowsCurrentPoint) {
  auto a = pathOf({M(0, 0), L(1, 0)});
  a->appendBezierPath(*pathOf({M(5, 5), L(6, 5), Z()}));
  a->appendBezierPath(*a);
  EXPECT_EQ(a->elementCount(), 10u);
  EXPECT_EQ(a->currentPoint(), (Point{5, 5}));
}
