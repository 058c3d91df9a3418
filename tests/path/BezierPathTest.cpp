#include "path/BezierPath.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

TEST(BezierPathBuild, DefaultsOfANewPath) {
  BezierPath p;
  EXPECT_EQ(p.elementCount(), 0u);
  EXPECT_EQ(p.lineWidth(), 1);
  EXPECT_EQ(p.miterLimit(), 10);
  EXPECT_EQ(p.windingRule(), NonZeroWindingRule);
  EXPECT_EQ(p.lineCapStyle(), ButtLineCapStyle);
  EXPECT_EQ(p.lineJoinStyle(), MiterLineJoinStyle);
  EXPECT_TRUE(p.lineDash().empty());
  EXPECT_EQ(p.dashPhase(), 0);
  EXPECT_EQ(p.className(), "BezierPath");
}

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

TEST(BezierPathBuild, RelativeOperationsOffsetEveryPoint) {
  BezierPath p;
  p.moveToPoint({10, 20});
  p.relativeLineToPoint({1, 2});
  p.relativeCurveToPoint({5, 5}, {1, 0}, {0, 1});
  p.relativeMoveToPoint({-1, -1});
  EXPECT_EQ(elementsOf(p), (std::vector<El>{M(10, 20), L(11, 22), C({12, 22}, {11, 23}, {16, 27}), M(15, 26)}));
}

TEST(BezierPathBuild, CloseReturnsCurrentPointToSubpathStart) {
  BezierPath p;
  p.moveToPoint({1, 1});
  p.lineToPoint({5, 1});
  p.closePath();
  EXPECT_EQ(p.currentPoint(), (Point{1, 1}));
  p.lineToPoint({1, 7});  // continues from (1, 1) without a move
  p.closePath();
  EXPECT_EQ(p.currentPoint(), (Point{1, 1}));
  EXPECT_EQ(elementsOf(p), (std::vector<El>{M(1, 1), L(5, 1), Z(), L(1, 7), Z()}));
  p.moveToPoint({3, 3});
  p.moveToPoint({4, 4});  // consecutive moves are all kept
  EXPECT_EQ(p.elementCount(), 7u);
  EXPECT_EQ(p.currentPoint(), (Point{4, 4}));
}

TEST(BezierPathElements, ReadAndReplacePointsByIndex) {
  BezierPath p;
  p.moveToPoint({0, 0});
  p.curveToPoint({9, 9}, {1, 2}, {3, 4});
  Point pts[3];
  EXPECT_EQ(p.elementAtIndex(1, pts), BezierPathElement::CurveTo);
  EXPECT_EQ(pts[0], (Point{1, 2}));
  EXPECT_EQ(pts[1], (Point{3, 4}));
  EXPECT_EQ(pts[2], (Point{9, 9}));
  const Point repl[3] = {{7, 7}, {8, 8}, {6, 5}};
  p.setAssociatedPoints(repl, 1);
  EXPECT_EQ(elementsOf(p)[1], C({7, 7}, {8, 8}, {6, 5}));
  EXPECT_EQ(p.currentPoint(), (Point{6, 5}));
  EXPECT_THROW(p.elementAtIndex(2), Exception);
  EXPECT_THROW(p.setAssociatedPoints(std::span<const Point>(repl, 2), 1), Exception);
}

TEST(BezierPathElements, CopyIsIndependent) {
  auto a = BezierPath::bezierPathWithRect({{0, 0}, {1, 1}});
  a->setLineWidth(4);
  auto b = a->copy();
  b->lineToPoint({9, 9});
  EXPECT_EQ(a->elementCount(), 5u);
  EXPECT_EQ(b->elementCount(), 6u);
  EXPECT_EQ(b->lineWidth(), 4);
}

TEST(BezierPathShapes, RectIsFiveElementsCounterClockwiseSizeAsGiven) {
  BezierPath p;
  p.appendBezierPathWithRect({{1, 2}, {3, 4}});
  EXPECT_EQ(elementsOf(p), (std::vector<El>{M(1, 2), L(4, 2), L(4, 6), L(1, 6), Z()}));
  BezierPath n;
  n.appendBezierPathWithRect({{0, 0}, {-2, 3}});
  EXPECT_EQ(elementsOf(n), (std::vector<El>{M(0, 0), L(-2, 0), L(-2, 3), L(0, 3), Z()}));
}

TEST(BezierPathShapes, OvalStartsAtMinus45AndRunsFourQuarters) {
  BezierPath p;
  p.moveToPoint({100, 100});
  p.appendBezierPathWithOvalInRect({{0, 0}, {4, 2}});  // centre (2, 1), semi-axes 2 and 1
  const double s = std::sqrt(0.5), a = 2 * s, b = s, ka = kK * a, kb = kK * b;
  expectElements(p,
                 {M(100, 100), M(2 + a, 1 - b), C({2 + a + ka, 1 - b + kb}, {2 + a + ka, 1 + b - kb}, {2 + a, 1 + b}),
                  C({2 + a - ka, 1 + b + kb}, {2 - a + ka, 1 + b + kb}, {2 - a, 1 + b}),
                  C({2 - a - ka, 1 + b - kb}, {2 - a - ka, 1 - b + kb}, {2 - a, 1 - b}),
                  C({2 - a + ka, 1 - b - kb}, {2 + a - ka, 1 - b - kb}, {2 + a, 1 - b})},
                 1e-14);
}

TEST(BezierPathShapes, RoundedRectNineElementsFromTopLeft) {
  BezierPath p;
  p.appendBezierPathWithRoundedRect({{0, 0}, {10, 6}}, 2, 1);
  const double kx = kK * 2, ky = kK * 1;
  expectElements(p,
                 {M(2, 6), C({2 - kx, 6}, {0, 5 + ky}, {0, 5}), L(0, 1), C({0, 1 - ky}, {2 - kx, 0}, {2, 0}), L(8, 0),
                  C({8 + kx, 0}, {10, 1 - ky}, {10, 1}), L(10, 5), C({10, 5 + ky}, {8 + kx, 6}, {8, 6}), Z()},
                 1e-14);
}

TEST(BezierPathShapes, RoundedRectRadiiClampedAndZeroGivesRect) {
  BezierPath big;
  big.appendBezierPathWithRoundedRect({{0, 0}, {10, 6}}, 50, 50);  // limited to 5 and 3
  auto e = elementsOf(big);
  ASSERT_EQ(e.size(), 9u);
  EXPECT_EQ(e[0], M(5, 6));
  EXPECT_EQ(e[2], L(0, 3));  // zero-length lines are kept
  EXPECT_EQ(e[3].points[2], (Point{5, 0}));
  BezierPath zero;
  zero.appendBezierPathWithRoundedRect({{0, 0}, {10, 6}}, 0, 3);
  EXPECT_EQ(elementsOf(zero), (std::vector<El>{M(0, 0), L(10, 0), L(10, 6), L(0, 6), Z()}));
}

TEST(BezierPathArcs, CounterClockwiseQuarterOnEmptyPathStartsWithMove) {
  BezierPath p;
  p.appendBezierPathWithArcWithCenter({0, 0}, 1, 0, 90);
  EXPECT_EQ(elementsOf(p), (std::vector<El>{M(1, 0), C({1, kK}, {kK, 1}, {0, 1})}));
}

TEST(BezierPathArcs, ClockwiseQuarter) {
  BezierPath p;
  p.appendBezierPathWithArcWithCenter({0, 0}, 2, 0, 270, true);  // 270 -> -90
  EXPECT_EQ(elementsOf(p), (std::vector<El>{M(2, 0), C({2, -2 * kK}, {2 * kK, -2}, {0, -2})}));
}

TEST(BezierPathArcs, LineFromCurrentPointAndEqualAngles) {
  BezierPath p;
  p.moveToPoint({5, 5});
  p.appendBezierPathWithArcWithCenter({0, 0}, 1, 180, 180);
  EXPECT_EQ(elementsOf(p), (std::vector<El>{M(5, 5), L(-1, 0)}));
  // Start equal to the current point: no line.
  p.appendBezierPathWithArcWithCenter({0, 0}, 1, 180, 270);
  EXPECT_EQ(elementsOf(p), (std::vector<El>{M(5, 5), L(-1, 0), C({-1, -kK}, {-kK, -1}, {0, -1})}));
}

TEST(BezierPathArcs, SweepSplitIntoQuartersThenRemainder) {
  BezierPath p;
  p.appendBezierPathWithArcWithCenter({0, 0}, 1, 0, 100);
  const auto e = elementsOf(p);
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[1], C({1, kK}, {kK, 1}, {0, 1}));
  const double r = 100 * M_PI / 180, k = 4.0 / 3.0 * std::tan(10 * M_PI / 180 / 4);
  expectElements(std::vector<El>{e[2]},
                 {C({-k, 1}, {std::cos(r) + k * std::sin(r), std::sin(r) - k * std::cos(r)}, {std::cos(r), std::sin(r)})},
                 1e-14);
}

TEST(BezierPathArcs, MoreThanATurnDrawsOneTurnAndNegativeEndWraps) {
  BezierPath p;
  p.appendBezierPathWithArcWithCenter({0, 0}, 1, 0, 720);
  EXPECT_EQ(p.elementCount(), 5u);
  EXPECT_EQ(p.currentPoint(), (Point{1, 0}));
  BezierPath q;
  q.appendBezierPathWithArcWithCenter({0, 0}, 1, 0, -90);  // -> 270: three quarters
  EXPECT_EQ(q.elementCount(), 4u);
  EXPECT_EQ(q.currentPoint(), (Point{0, -1}));
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

TEST(BezierPathArcs, TangentArcFromPoint) {
  BezierPath p;
  p.moveToPoint({0, 0});
  p.appendBezierPathWithArcFromPoint({10, 0}, {10, 10}, 2);
  expectElements(p, {M(0, 0), L(8, 0), C({8 + 2 * kK, 0}, {10, 2 - 2 * kK}, {10, 2})}, 1e-12);
  EXPECT_EQ(p.currentPoint(), elementsOf(p)[2].points[2]);

  BezierPath cw;  // right turn: clockwise arc
  cw.moveToPoint({0, 0});
  cw.appendBezierPathWithArcFromPoint({10, 0}, {10, -10}, 2);
  expectElements(cw, {M(0, 0), L(8, 0), C({8 + 2 * kK, 0}, {10, -2 + 2 * kK}, {10, -2})}, 1e-12);
}

TEST(BezierPathArcs, TangentArcDegenerateCasesDrawLineToFirstPoint) {
  const std::vector<El> want{M(0, 0), L(5, 0)};
  auto run = [](Point p1, Point p2, double r, Point start = {0, 0}) {
    BezierPath p;
    p.moveToPoint(start);
    p.appendBezierPathWithArcFromPoint(p1, p2, r);
    return elementsOf(p);
  };
  EXPECT_EQ(run({5, 0}, {9, 0}, 1), want);    // collinear, onward
  EXPECT_EQ(run({5, 0}, {-3, 0}, 1), want);   // collinear, back
  EXPECT_EQ(run({5, 0}, {5, 0}, 1), want);    // p1 == p2
  EXPECT_EQ(run({5, 0}, {5, 5}, 0), want);    // radius 0
  EXPECT_EQ(run({5, 0}, {5, 5}, NAN), want);  // radius not a number
  EXPECT_EQ(run({0, 0}, {5, 5}, 1), (std::vector<El>{M(0, 0), L(0, 0)}));  // current point == p1
}

TEST(BezierPathEnumerator, CloseRecordsCarrySubpathStart) {
  auto p = BezierPath::bezierPath();
  p->moveToPoint({0, 0});
  p->lineToPoint({10, 0});
  p->lineToPoint({10, 10});
  p->closePath();
  p->moveToPoint({5, 5});
  p->lineToPoint({6, 6});
  p->closePath();
  auto en = p->enumerator();
  EXPECT_EQ(en.bp, p);  // shares the path rather than copying it
  std::vector<V2DBezierPathElement> recs;
  while (auto e = en.next()) recs.push_back(*e);
  ASSERT_EQ(recs.size(), 7u);
  EXPECT_EQ(recs[3].type, 3u);
  EXPECT_EQ(recs[3].points[0], (Point{0, 0}));
  EXPECT_EQ(recs[6].type, 3u);
  EXPECT_EQ(recs[6].points[0], (Point{5, 5}));
  EXPECT_EQ(recs[5].points[0], (Point{6, 6}));
  EXPECT_EQ(en.currIndex, 7);
  EXPECT_TRUE(en.startSubpath);
  EXPECT_FALSE(en.next().has_value());
}

TEST(BezierPathEnumerator, EmptyOrAbsentPathHandsOutNothing) {
  BezierPath empty;
  EXPECT_FALSE(empty.enumerator().next().has_value());
  V2DBezierPathEnumerator none(nullptr);
  EXPECT_FALSE(none.next().has_value());
}

// A close returns to the latest move: after a close the next subpath starts where the closed
// one did, and of two moves in a row (text and SVG path data begin so) the second one counts.
TEST(BezierPathEnumerator, CloseRecordsCarryTheLatestMove) {
  BezierPath p;  // not owned by a shared_ptr: the enumerator walks a copy
  p.moveToPoint({1, 1});
  p.lineToPoint({2, 1});
  p.closePath();
  p.lineToPoint({1, 3});
  p.closePath();
  p.moveToPoint({0, 0});
  p.moveToPoint({7, 7});
  p.curveToPoint({9, 7}, {8, 8}, {9, 8});
  p.closePath();
  auto en = p.enumerator();
  std::vector<V2DBezierPathElement> recs;
  while (auto e = en.next()) recs.push_back(*e);
  ASSERT_EQ(recs.size(), 9u);
  EXPECT_EQ(recs[2].points[0], (Point{1, 1}));
  EXPECT_EQ(recs[4].points[0], (Point{1, 1}));
  EXPECT_EQ(recs[8].points[0], (Point{7, 7}));
}

namespace {
struct Other : Object {
  std::string className() const override { return "Other"; }
};
}  // namespace

TEST(BezierPathEquality, ExactPointsKindsAndNothingElse) {
  auto make = [](double dy) {
    auto p = BezierPath::bezierPath();
    p->moveToPoint({0, 0});
    p->curveToPoint({3, 3}, {1, 2 + dy}, {2, 1});
    p->closePath();
    return p;
  };
  auto a = make(0), b = make(0), c = make(1e-12);
  EXPECT_TRUE(a->isEqualToBezierPath(*b));
  EXPECT_FALSE(a->isEqualToBezierPath(*c));
  b->setLineWidth(7);
  b->setWindingRule(EvenOddWindingRule);
  EXPECT_TRUE(a->isEqual(*b));
  EXPECT_TRUE(a->isEqual(*a));
  EXPECT_FALSE(a->isEqual(Other{}));
  auto d = make(0);
  d->lineToPoint({0, 0});
  EXPECT_FALSE(a->isEqualToBezierPath(*d));
  EXPECT_TRUE(BezierPath().isEqualToBezierPath(BezierPath()));
  BezierPath moveLine, lineLine;  // same points, different kinds
  moveLine.moveToPoint({0, 0});
  moveLine.moveToPoint({1, 1});
  lineLine.moveToPoint({0, 0});
  lineLine.lineToPoint({1, 1});
  EXPECT_FALSE(moveLine.isEqualToBezierPath(lineLine));
}

TEST(BezierPathReverse, SubpathsReversedInPlaceClosedStayClosed) {
  BezierPath p;
  p.moveToPoint({0, 0});
  p.lineToPoint({10, 0});
  p.curveToPoint({10, 10}, {12, 3}, {12, 7});
  p.closePath();
  p.moveToPoint({50, 50});  // lone move
  p.moveToPoint({20, 20});
  p.lineToPoint({30, 20});
  p.setLineWidth(3);
  auto r = p.bezierPathByReversingPath();
  EXPECT_EQ(elementsOf(*r), (std::vector<El>{M(10, 10), C({12, 7}, {12, 3}, {10, 0}), L(0, 0), Z(), M(50, 50),
                                           M(30, 20), L(20, 20)}));
  EXPECT_EQ(r->lineWidth(), 3);
  // Twice reversed: the original again (a closed subpath's start moves to its last point and back).
  EXPECT_TRUE(r->bezierPathByReversingPath()->isEqualToBezierPath(p));
}

TEST(BezierPathReverse, SubpathContinuingAfterCloseGetsItsOwnMove) {
  BezierPath p;
  p.moveToPoint({0, 0});
  p.lineToPoint({4, 0});
  p.closePath();
  p.lineToPoint({0, 4});
  auto r = p.bezierPathByReversingPath();
  EXPECT_EQ(elementsOf(*r), (std::vector<El>{M(4, 0), L(0, 0), Z(), M(0, 4), L(0, 0)}));
}

TEST(BezierPathAppend, AppendsElementsAndFollowsCurrentPoint) {
  BezierPath a;
  a.moveToPoint({0, 0});
  a.lineToPoint({1, 0});
  BezierPath b;
  b.moveToPoint({5, 5});
  b.lineToPoint({6, 5});
  b.closePath();
  a.appendBezierPath(b);
  a.appendBezierPath(a);
  EXPECT_EQ(a.elementCount(), 10u);
  EXPECT_EQ(a.currentPoint(), (Point{5, 5}));
}
