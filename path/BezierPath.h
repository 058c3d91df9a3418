// The path: an ordered list of move, line, curve and close elements with double-precision
// points, a winding rule and stroke attributes; plus the element enumerator, structural
// equality, flattening and the command-structure form.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/Exception.h"
#include "host/Structure.h"
#include "host/Value.h"
#include "path/PathGeometry.h"
#include "path/QuartzPath.h"

namespace vellum {

class AffineTransform;
class BezierPath;

// Element kinds, numbered as the enumerator's records and the command structures number them.
enum class BezierPathElement : uint8_t { MoveTo = 0, LineTo = 1, CurveTo = 2, ClosePath = 3 };

enum WindingRule : int { NonZeroWindingRule = 0, EvenOddWindingRule = 1 };
enum LineCapStyle : int { ButtLineCapStyle = 0, RoundLineCapStyle = 1, SquareLineCapStyle = 2 };
enum LineJoinStyle : int { MiterLineJoinStyle = 0, RoundLineJoinStyle = 1, BevelLineJoinStyle = 2 };

// The record the enumerator hands out. A close record carries the start point of the subpath it
// closes in points[0]; slots the kind does not fill are zero.
struct V2DBezierPathElement {
  uint64_t type = 0;
  Point points[3] = {};
};

// Walks a path element by element; holds the path for as long as it lives.
class V2DBezierPathEnumerator {
 public:
  explicit V2DBezierPathEnumerator(std::shared_ptr<const BezierPath> path) : bp(std::move(path)) {}
  // The next record, or nothing once every element has been handed out (or there is no path).
  std::optional<V2DBezierPathElement> next();

  int64_t currIndex = 0;
  Point subpathPoint;
  bool startSubpath = true;
  std::shared_ptr<const BezierPath> bp;
};

class BezierPath : public Object, public std::enable_shared_from_this<BezierPath> {
 public:
  BezierPath() = default;
  BezierPath(const BezierPath& other);
  BezierPath& operator=(const BezierPath& other);
  ~BezierPath() override = default;

  // bezierPath / new: an empty path with the default attributes.
  static std::shared_ptr<BezierPath> bezierPath() { return std::make_shared<BezierPath>(); }
  static std::shared_ptr<BezierPath> bezierPathWithRect(Rect rect);
  static std::shared_ptr<BezierPath> bezierPathWithOvalInRect(Rect rect);
  // An independent copy: the same elements and attributes.
  std::shared_ptr<BezierPath> copy() const { return std::make_shared<BezierPath>(*this); }

  std::string className() const override { return "BezierPath"; }

  // ---- building. Drawing and relative operations throw vellum::Exception without a current
  // point.
  void moveToPoint(Point point);
  void lineToPoint(Point point);
  void curveToPoint(Point point, Point controlPoint1, Point controlPoint2);
  void relativeMoveToPoint(Point point);
  void relativeLineToPoint(Point point);
  void relativeCurveToPoint(Point point, Point controlPoint1, Point controlPoint2);
  // Appends a close element (nothing on an empty path); the current point becomes the first
  // point of the subpath.
  void closePath();
  void removeAllPoints();
  bool isEmpty() const { return d_.empty(); }
  // The last point reached; throws on an empty path.
  Point currentPoint() const;
  bool hasCurrentPoint() const { return !d_.empty(); }

  // ---- shapes (angles in degrees, counter-clockwise, y up)
  void appendBezierPathWithRect(Rect rect);
  void appendBezierPathWithOvalInRect(Rect rect);
  void appendBezierPathWithRoundedRect(Rect rect, double xRadius, double yRadius);
  // Non-finite centre, radius or angles append nothing.
  void appendBezierPathWithArcWithCenter(Point center, double radius, double startAngle, double endAngle,
                                         bool clockwise = false);
  void appendBezierPathWithArcFromPoint(Point point1, Point point2, double radius);
  void appendBezierPath(const BezierPath& path);

  // ---- reading and changing elements. Indices out of range throw vellum::Exception.
  size_t elementCount() const { return d_.size(); }
  BezierPathElement elementAtIndex(size_t index) const;
  // Writes 1 point (move, line), 3 (curve: control point 1, control point 2, end) or none.
  BezierPathElement elementAtIndex(size_t index, Point* associatedPoints) const;
  std::span<const Point> associatedPoints(size_t index) const;
  // Replaces the element's points with the first 1, 3 or 0 of `points` (fewer given: throws).
  void setAssociatedPoints(std::span<const Point> points, size_t index);

  // ---- whole-path operations
  static double defaultFlatness();
  static void setDefaultFlatness(double flatness);
  // Curves become lines within the class-wide default flatness.
  std::shared_ptr<BezierPath> bezierPathByFlatteningPath() const;
  // Curves become lines within `flatness`. Each curve ends exactly at its end point and keeps
  // within detail::kMaxSegmentsPerCurve segments; a flatness that is 0, negative or not a
  // number means 0.0001. Nothing class-wide is changed.
  std::shared_ptr<BezierPath> bezierPathByFlatteningPathWithFlatness(double flatness) const;
  std::shared_ptr<BezierPath> bezierPathByReversingPath() const;
  // The tight box of the outline; every move point counts; the zero rectangle when empty.
  Rect bounds() const;
  // The box of every stored point, control points included.
  Rect controlPointBounds() const;
  // Under the path's own winding rule; open subpaths count as closed.
  bool containsPoint(Point point) const;
  void transformUsingAffineTransform(const AffineTransform& transform);

  // ---- attributes (not part of equality)
  int windingRule() const { return windingRule_; }
  void setWindingRule(int rule) { windingRule_ = rule; }
  double lineWidth() const { return lineWidth_; }
  void setLineWidth(double width) { lineWidth_ = width; }
  int lineCapStyle() const { return lineCapStyle_; }
  void setLineCapStyle(int style) { lineCapStyle_ = style; }
  int lineJoinStyle() const { return lineJoinStyle_; }
  void setLineJoinStyle(int style) { lineJoinStyle_ = style; }
  double miterLimit() const { return miterLimit_; }
  void setMiterLimit(double limit) { miterLimit_ = limit; }
  void setLineDash(std::vector<double> pattern, double phase);
  const std::vector<double>& lineDash() const { return dash_; }
  double dashPhase() const { return dashPhase_; }

  // ---- additions
  // An enumerator over this path. It shares the path when the path is owned by a shared_ptr,
  // and walks a private copy otherwise.
  V2DBezierPathEnumerator enumerator() const;
  bool isEqual(const Object& other) const override;
  // Same element kinds and exactly equal points; attributes are ignored.
  bool isEqualToBezierPath(const BezierPath& other) const;
  // The renderer-side path with the same elements; the caller owns it.
  QuartzPath quartzPath() const;
  // Unkeyed members ("moveto", x, y), ("lineto", x, y), ("curveto", x, y, x1, y1, x2, y2),
  // ("close"); flattened first with `flatness` when `flattened` is set.
  Structure structureRepresentationFlattened(bool flattened, double flatness) const;
  // The same members, unflattened, with the keywords "moveTo", "lineTo", "curveTo" and "close".
  Structure commandList() const;

  // {"$path": [commands as above], "windingRule", "lineWidth", "lineCapStyle", "lineJoinStyle",
  //  "miterLimit", "dash", "dashPhase"}.
  Value representation() const override;
  // Reads the form above (attributes optional). Anything malformed answers nullptr.
  static std::shared_ptr<BezierPath> fromRepresentation(const Value& value);

  // The element store, for code in this library that walks paths in bulk.
  const detail::PathData& data() const { return d_; }

 private:
  void requireCurrentPoint(const char* operation) const;
  size_t checkedIndex(size_t index) const;
  // Curves of the arc from `startDeg` over `sweepDeg` (|sweep| <= 360), starting at the
  // current point; the last one ends at `end` when given.
  void appendArcCurves(Point center, double radius, double startDeg, double sweepDeg, const Point* end);
  void copyAttributesFrom(const BezierPath& other);

  detail::PathData d_;
  // Index of the latest move element; the current point after a close is its point.
  size_t lastMove_ = 0;
  int windingRule_ = NonZeroWindingRule;
  double lineWidth_ = 1;
  int lineCapStyle_ = ButtLineCapStyle;
  int lineJoinStyle_ = MiterLineJoinStyle;
  double miterLimit_ = 10;
  std::vector<double> dash_;
  double dashPhase_ = 0;
};

using BezierPathRef = std::shared_ptr<const BezierPath>;

}  // namespace vellum
