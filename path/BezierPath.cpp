#include "path/BezierPath.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "path/AffineTransform.h"
#include "path/ElementWalk.h"

namespace vellum {

using namespace detail;

namespace {

// 4/3 tan(pi/8): the control distance, per unit radius, of a cubic quarter circle.
constexpr double kQuarterArc = 0.55228474983079339840;

double g_defaultFlatness = 0.6;

inline bool finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

}  // namespace

// ---- enumerator ---------------------------------------------------------------------------------

std::optional<V2DBezierPathElement> V2DBezierPathEnumerator::next() {
  if (!bp || currIndex < 0 || static_cast<uint64_t>(currIndex) >= bp->elementCount()) return std::nullopt;
  const PathData& d = bp->data();
  const size_t i = static_cast<size_t>(currIndex++);
  V2DBezierPathElement e;
  const uint8_t kind = d.kinds[i];
  e.type = kind;
  const Point* q = d.points.data() + d.offsets[i];
  for (int k = 0; k < kPointCount[kind]; ++k) e.points[k] = q[k];
  const Point end = ElementWalk::endPoint(BezierPathElement(kind), q, subpathPoint);
  startSubpath = kind == kClose;
  if (kind == kClose) e.points[0] = end;
  return e;
}

// ---- construction -------------------------------------------------------------------------------

BezierPath::BezierPath(const BezierPath& other)
    : Object(other), std::enable_shared_from_this<BezierPath>(), d_(other.d_), lastMove_(other.lastMove_) {
  copyAttributesFrom(other);
}

BezierPath& BezierPath::operator=(const BezierPath& other) {
  if (this != &other) {
    d_ = other.d_;
    lastMove_ = other.lastMove_;
    copyAttributesFrom(other);
  }
  return *this;
}

void BezierPath::copyAttributesFrom(const BezierPath& other) {
  windingRule_ = other.windingRule_;
  lineWidth_ = other.lineWidth_;
  lineCapStyle_ = other.lineCapStyle_;
  lineJoinStyle_ = other.lineJoinStyle_;
  miterLimit_ = other.miterLimit_;
  dash_ = other.dash_;
  dashPhase_ = other.dashPhase_;
}

std::shared_ptr<BezierPath> BezierPath::bezierPathWithRect(Rect rect) {
  auto p = bezierPath();
  p->appendBezierPathWithRect(rect);
  return p;
}

std::shared_ptr<BezierPath> BezierPath::bezierPathWithOvalInRect(Rect rect) {
  auto p = bezierPath();
  p->appendBezierPathWithOvalInRect(rect);
  return p;
}

// ---- building -----------------------------------------------------------------------------------

void BezierPath::requireCurrentPoint(const char* operation) const {
  if (d_.empty()) throw Exception(std::string("No current point for ") + operation);
}

Point BezierPath::currentPoint() const {
  requireCurrentPoint("currentPoint");
  if (d_.kinds.back() == kClose) return d_.points[d_.offsets[lastMove_]];
  return d_.points.back();
}

void BezierPath::moveToPoint(Point point) {
  d_.move(point);
  lastMove_ = d_.size() - 1;
}

void BezierPath::lineToPoint(Point point) {
  requireCurrentPoint("line");
  d_.line(point);
}

void BezierPath::curveToPoint(Point point, Point controlPoint1, Point controlPoint2) {
  requireCurrentPoint("curve");
  d_.curve(controlPoint1, controlPoint2, point);
}

void BezierPath::relativeMoveToPoint(Point point) {
  const Point c = currentPoint();
  moveToPoint({c.x + point.x, c.y + point.y});
}

void BezierPath::relativeLineToPoint(Point point) {
  const Point c = currentPoint();
  d_.line({c.x + point.x, c.y + point.y});
}

void BezierPath::relativeCurveToPoint(Point point, Point controlPoint1, Point controlPoint2) {
  const Point c = currentPoint();
  d_.curve({c.x + controlPoint1.x, c.y + controlPoint1.y}, {c.x + controlPoint2.x, c.y + controlPoint2.y},
           {c.x + point.x, c.y + point.y});
}

void BezierPath::closePath() {
  if (!d_.empty()) d_.close();
}

void BezierPath::removeAllPoints() {
  d_.clear();
  lastMove_ = 0;
}

// ---- shapes -------------------------------------------------------------------------------------

void BezierPath::appendBezierPathWithRect(Rect rect) {
  const double x0 = rect.origin.x, y0 = rect.origin.y;
  const double x1 = x0 + rect.size.width, y1 = y0 + rect.size.height;
  moveToPoint({x0, y0});
  d_.line({x1, y0});
  d_.line({x1, y1});
  d_.line({x0, y1});
  d_.close();
}

void BezierPath::appendBezierPathWithOvalInRect(Rect rect) {
  const double cx = rect.origin.x + rect.size.width / 2, cy = rect.origin.y + rect.size.height / 2;
  const double a = std::fabs(rect.size.width) / 2, b = std::fabs(rect.size.height) / 2;
  const double s = M_SQRT1_2;
  // cos and sin of -45, 45, 135, 225 and -45 again.
  static constexpr int kCos[5] = {1, 1, -1, -1, 1}, kSin[5] = {-1, 1, 1, -1, -1};
  auto at = [&](int i) { return Point{cx + a * s * kCos[i], cy + b * s * kSin[i]}; };
  moveToPoint(at(0));
  for (int i = 0; i < 4; ++i) {
    const Point p0 = at(i), p1 = at(i + 1);
    // Tangent at angle t, scaled by the semi-axes: (-a sin t, b cos t).
    const Point c1{p0.x - kQuarterArc * a * s * kSin[i], p0.y + kQuarterArc * b * s * kCos[i]};
    const Point c2{p1.x + kQuarterArc * a * s * kSin[i + 1], p1.y - kQuarterArc * b * s * kCos[i + 1]};
    d_.curve(c1, c2, p1);
  }
}

void BezierPath::appendBezierPathWithRoundedRect(Rect rect, double xRadius, double yRadius) {
  if (!(xRadius > 0) || !(yRadius > 0)) {
    appendBezierPathWithRect(rect);
    return;
  }
  const double ax = rect.origin.x, bx = ax + rect.size.width;
  const double ay = rect.origin.y, by = ay + rect.size.height;
  const double x0 = std::min(ax, bx), x1 = std::max(ax, bx), y0 = std::min(ay, by), y1 = std::max(ay, by);
  const double rx = std::min(xRadius, (x1 - x0) / 2), ry = std::min(yRadius, (y1 - y0) / 2);
  const double kx = kQuarterArc * rx, ky = kQuarterArc * ry;
  moveToPoint({x0 + rx, y1});
  d_.curve({x0 + rx - kx, y1}, {x0, y1 - ry + ky}, {x0, y1 - ry});
  d_.line({x0, y0 + ry});
  d_.curve({x0, y0 + ry - ky}, {x0 + rx - kx, y0}, {x0 + rx, y0});
  d_.line({x1 - rx, y0});
  d_.curve({x1 - rx + kx, y0}, {x1, y0 + ry - ky}, {x1, y0 + ry});
  d_.line({x1, y1 - ry});
  d_.curve({x1, y1 - ry + ky}, {x1 - rx + kx, y1}, {x1 - rx, y1});
  d_.close();
}

void BezierPath::appendArcCurves(Point center, double radius, double startDeg, double sweepDeg, const Point* end) {
  const double sign = sweepDeg < 0 ? -1.0 : 1.0;
  double a = startDeg, remaining = sweepDeg;
  double sa, ca;
  detail::sinCosDegrees(a, sa, ca);
  // Whole quarter turns from the start, then the rest as one curve.
  while (remaining != 0) {
    const double d = std::fabs(remaining) >= 90 ? sign * 90 : remaining;
    const double b = a + d;
    remaining = (std::fabs(remaining) >= 90) ? remaining - d : 0;
    double sb, cb;
    detail::sinCosDegrees(b, sb, cb);
    const double k = (std::fabs(d) == 90 ? sign * kQuarterArc : 4.0 / 3.0 * std::tan(d * (M_PI / 720.0))) * radius;
    const Point p0{center.x + radius * ca, center.y + radius * sa};
    Point p3{center.x + radius * cb, center.y + radius * sb};
    if (remaining == 0 && end) p3 = *end;
    d_.curve({p0.x - k * sa, p0.y + k * ca}, {p3.x + k * sb, p3.y - k * cb}, p3);
    a = b;
    sa = sb;
    ca = cb;
  }
}

void BezierPath::appendBezierPathWithArcWithCenter(Point center, double radius, double startAngle, double endAngle,
                                                   bool clockwise) {
  if (!finite(center) || !std::isfinite(radius) || !std::isfinite(startAngle) || !std::isfinite(endAngle)) return;
  // The platform's "while end < start, add 360" (or the clockwise mirror), in one step so that
  // huge angles cost nothing; more than one turn draws one turn.
  double sweep;
  if (clockwise) {
    if (endAngle > startAngle) endAngle -= 360.0 * std::ceil((endAngle - startAngle) / 360.0);
    sweep = std::clamp(endAngle - startAngle, -360.0, 0.0);
  } else {
    if (endAngle < startAngle) endAngle += 360.0 * std::ceil((startAngle - endAngle) / 360.0);
    sweep = std::clamp(endAngle - startAngle, 0.0, 360.0);
  }
  double s, c;
  detail::sinCosDegrees(startAngle, s, c);
  const Point start{center.x + radius * c, center.y + radius * s};
  if (d_.empty())
    moveToPoint(start);
  else if (!(currentPoint() == start))
    d_.line(start);
  if (sweep != 0) appendArcCurves(center, radius, startAngle, sweep, nullptr);
}

void BezierPath::appendBezierPathWithArcFromPoint(Point point1, Point point2, double radius) {
  requireCurrentPoint("arc");
  const Point p0 = currentPoint();
  const double v1x = p0.x - point1.x, v1y = p0.y - point1.y;
  const double v2x = point2.x - point1.x, v2y = point2.y - point1.y;
  const double cross = v1x * v2y - v1y * v2x;
  if (radius == 0 || !std::isfinite(radius) || p0 == point1 || point1 == point2 || cross == 0 || !std::isfinite(cross)) {
    d_.line(point1);
    return;
  }
  const double r = std::fabs(radius);
  const double l1 = std::hypot(v1x, v1y), l2 = std::hypot(v2x, v2y);
  const double u1x = v1x / l1, u1y = v1y / l1, u2x = v2x / l2, u2y = v2y / l2;
  // theta: the angle at point1 between the two legs; the arc turns by pi - theta.
  const double theta = std::atan2(std::fabs(u1x * u2y - u1y * u2x), u1x * u2x + u1y * u2y);
  const double half = theta / 2;
  const double dist = r / std::tan(half);
  const Point t1{point1.x + u1x * dist, point1.y + u1y * dist};
  const Point t2{point1.x + u2x * dist, point1.y + u2y * dist};
  const double bx = u1x + u2x, by = u1y + u2y, bl = std::hypot(bx, by);
  const double cd = r / std::sin(half);
  const Point center{point1.x + bx / bl * cd, point1.y + by / bl * cd};
  if (!finite(t1) || !finite(t2) || !finite(center)) {
    d_.line(point1);
    return;
  }
  if (!(t1 == p0)) d_.line(t1);
  // A left turn from the first leg to the second (cross < 0 here) runs counter-clockwise.
  const bool clockwise = cross > 0;
  const double startDeg = std::atan2(t1.y - center.y, t1.x - center.x) * (180.0 / M_PI);
  const double sweepDeg = (180.0 - theta * (180.0 / M_PI)) * (clockwise ? -1 : 1);
  appendArcCurves(center, r, startDeg, sweepDeg, &t2);
}

void BezierPath::appendBezierPath(const BezierPath& path) {
  if (path.d_.empty()) return;
  if (&path == this) {
    const BezierPath copy(path);
    appendBezierPath(copy);
    return;
  }
  const size_t base = d_.size();
  const uint32_t pointBase = static_cast<uint32_t>(d_.points.size());
  d_.kinds.insert(d_.kinds.end(), path.d_.kinds.begin(), path.d_.kinds.end());
  for (uint32_t o : path.d_.offsets) d_.offsets.push_back(pointBase + o);
  d_.points.insert(d_.points.end(), path.d_.points.begin(), path.d_.points.end());
  if (path.d_.kinds[path.lastMove_] == kMove) lastMove_ = base + path.lastMove_;
}

// ---- elements -----------------------------------------------------------------------------------

size_t BezierPath::checkedIndex(size_t index) const {
  if (index >= d_.size())
    throw Exception("element index " + std::to_string(index) + " beyond bounds " + std::to_string(d_.size()));
  return index;
}

BezierPathElement BezierPath::elementAtIndex(size_t index) const {
  return static_cast<BezierPathElement>(d_.kinds[checkedIndex(index)]);
}

BezierPathElement BezierPath::elementAtIndex(size_t index, Point* associatedPoints) const {
  const uint8_t kind = d_.kinds[checkedIndex(index)];
  if (associatedPoints) std::copy_n(d_.points.data() + d_.offsets[index], kPointCount[kind], associatedPoints);
  return static_cast<BezierPathElement>(kind);
}

std::span<const Point> BezierPath::associatedPoints(size_t index) const {
  const uint8_t kind = d_.kinds[checkedIndex(index)];
  return {d_.points.data() + d_.offsets[index], static_cast<size_t>(kPointCount[kind])};
}

void BezierPath::setAssociatedPoints(std::span<const Point> points, size_t index) {
  const int n = kPointCount[d_.kinds[checkedIndex(index)]];
  if (points.size() < static_cast<size_t>(n)) throw Exception("too few points for the element");
  std::copy_n(points.begin(), n, d_.points.begin() + d_.offsets[index]);
}

// ---- whole-path operations ----------------------------------------------------------------------

double BezierPath::defaultFlatness() { return g_defaultFlatness; }
void BezierPath::setDefaultFlatness(double flatness) { g_defaultFlatness = flatness; }

std::shared_ptr<BezierPath> BezierPath::bezierPathByFlatteningPath() const {
  return bezierPathByFlatteningPathWithFlatness(g_defaultFlatness);
}

// The flatness goes straight to the flattener instead of through the class-wide default, so a
// flattening leaves nothing changed even for a moment.
std::shared_ptr<BezierPath> BezierPath::bezierPathByFlatteningPathWithFlatness(double flatness) const {
  auto out = std::make_shared<BezierPath>();
  out->copyAttributesFrom(*this);
  flatten(d_, flatness, out->d_);
  const auto& k = out->d_.kinds;
  const auto it = std::find(k.rbegin(), k.rend(), kMove);
  out->lastMove_ = it == k.rend() ? 0 : static_cast<size_t>(k.rend() - it) - 1;
  return out;
}

std::shared_ptr<BezierPath> BezierPath::bezierPathByReversingPath() const {
  auto out = std::make_shared<BezierPath>();
  out->copyAttributesFrom(*this);
  PathData& o = out->d_;
  o.reserve(d_.size(), d_.points.size());
  const Point* pts = d_.points.data();
  auto endOf = [&](size_t j) { return pts[d_.offsets[j] + kPointCount[d_.kinds[j]] - 1]; };
  const size_t n = d_.size();
  Point s{};
  size_t i = 0;
  while (i < n) {
    // A subpath: its move (or, after a close, the closed subpath's start), then lines and
    // curves, then maybe a close.
    const bool hasMove = d_.kinds[i] == kMove;
    if (hasMove) s = pts[d_.offsets[i++]];
    const size_t first = i;
    while (i < n && (d_.kinds[i] == kLine || d_.kinds[i] == kCurve)) ++i;
    const size_t last = i;
    const bool closed = i < n && d_.kinds[i] == kClose;
    if (closed) ++i;
    if (first == last) {
      if (hasMove) out->moveToPoint(s);
      if (closed) o.close();
      continue;
    }
    out->moveToPoint(endOf(last - 1));
    for (size_t j = last; j-- > first;) {
      const Point to = j == first ? s : endOf(j - 1);
      if (d_.kinds[j] == kLine) {
        o.line(to);
      } else {
        const Point* q = pts + d_.offsets[j];
        o.curve(q[1], q[0], to);
      }
    }
    if (closed) o.close();
  }
  return out;
}

Rect BezierPath::bounds() const {
  Rect r;
  return tightBounds(d_, r) ? r : Rect{};
}

Rect BezierPath::controlPointBounds() const {
  if (d_.points.empty()) return Rect{};
  double x0 = d_.points[0].x, x1 = x0, y0 = d_.points[0].y, y1 = y0;
  for (const Point& p : d_.points) {
    x0 = std::min(x0, p.x);
    x1 = std::max(x1, p.x);
    y0 = std::min(y0, p.y);
    y1 = std::max(y1, p.y);
  }
  return {{x0, y0}, {x1 - x0, y1 - y0}};
}

bool BezierPath::containsPoint(Point point) const {
  return contains(d_, point, windingRule_ == EvenOddWindingRule);
}

void BezierPath::transformUsingAffineTransform(const AffineTransform& transform) {
  for (Point& p : d_.points) p = transform.transformPoint(p);
}

void BezierPath::setLineDash(std::vector<double> pattern, double phase) {
  dash_ = std::move(pattern);
  dashPhase_ = phase;
}

// ---- additions ----------------------------------------------------------------------------------

V2DBezierPathEnumerator BezierPath::enumerator() const {
  std::shared_ptr<const BezierPath> self = weak_from_this().lock();
  if (!self) self = std::make_shared<BezierPath>(*this);
  return V2DBezierPathEnumerator(std::move(self));
}

bool BezierPath::isEqual(const Object& other) const {
  if (this == &other) return true;
  const auto* p = dynamic_cast<const BezierPath*>(&other);
  return p && isEqualToBezierPath(*p);
}

// Equal kinds imply equal point offsets, so comparing the two flat arrays compares element by
// element; a close stores no point and so always matches.
bool BezierPath::isEqualToBezierPath(const BezierPath& other) const {
  return d_.kinds == other.d_.kinds && d_.points == other.d_.points;
}

QuartzPath BezierPath::quartzPath() const { return QuartzPath(d_); }

namespace {

Value command(const Value& keyword, std::initializer_list<double> numbers) {
  std::vector<Value> m;
  m.reserve(numbers.size() + 1);
  m.push_back(keyword);
  for (double v : numbers) m.emplace_back(v);
  return Value(m);
}

// The structure representation's members, or with `commandList` the command list's.
Structure commandStructure(const PathData& d, bool commandList = false) {
  // One string each, shared by every command that names it.
  static const Value representation[4] = {Value("moveto"), Value("lineto"), Value("curveto"), Value("close")};
  static const Value list[4] = {Value("moveTo"), Value("lineTo"), Value("curveTo"), Value("close")};
  const Value* keyword = commandList ? list : representation;
  Structure s;
  const Point* pts = d.points.data();
  for (size_t i = 0; i < d.size(); ++i) {
    const Point* q = pts + d.offsets[i];
    switch (d.kinds[i]) {
      case kMove: s.addMember(command(keyword[kMove], {q[0].x, q[0].y})); break;
      case kLine: s.addMember(command(keyword[kLine], {q[0].x, q[0].y})); break;
      case kCurve: s.addMember(command(keyword[kCurve], {q[2].x, q[2].y, q[0].x, q[0].y, q[1].x, q[1].y})); break;
      default: s.addMember(command(keyword[kClose], {})); break;
    }
  }
  return s;
}

// A number as the JSON form carries it: integer, double, or one of the non-finite spellings.
bool readNumber(const Value& v, double& out) {
  switch (v.kind()) {
    case Value::Kind::Integer:
    case Value::Kind::Double: out = v.doubleValue(); return true;
    case Value::Kind::String: {
      const std::string& s = *v.string();
      if (s == "nan") out = std::numeric_limits<double>::quiet_NaN();
      else if (s == "inf") out = std::numeric_limits<double>::infinity();
      else if (s == "-inf") out = -std::numeric_limits<double>::infinity();
      else return false;
      return true;
    }
    default: return false;
  }
}

bool readInt(const Value& v, int& out) {
  double d;
  if (!readNumber(v, d) || !(d >= std::numeric_limits<int>::min() && d <= std::numeric_limits<int>::max())) return false;
  out = static_cast<int>(d);
  return true;
}

}  // namespace

Structure BezierPath::structureRepresentationFlattened(bool flattened, double flatness) const {
  if (!flattened) return commandStructure(d_);
  PathData flat;
  flatten(d_, flatness, flat);
  return commandStructure(flat);
}

Structure BezierPath::commandList() const { return commandStructure(d_, true); }

Value BezierPath::representation() const {
  std::vector<Value> dash(dash_.begin(), dash_.end());
  return Value(std::make_shared<Structure>(Structure::withMembersAndKeys({
      {"$path", Value(std::make_shared<Structure>(commandStructure(d_)))},
      {"windingRule", Value(windingRule_)},
      {"lineWidth", Value(lineWidth_)},
      {"lineCapStyle", Value(lineCapStyle_)},
      {"lineJoinStyle", Value(lineJoinStyle_)},
      {"miterLimit", Value(miterLimit_)},
      {"dash", Value(std::make_shared<Structure>(std::move(dash)))},
      {"dashPhase", Value(dashPhase_)},
  })));
}

std::shared_ptr<BezierPath> BezierPath::fromRepresentation(const Value& value) {
  if (auto p = value.objectAs<BezierPath>()) return p->copy();
  const StructureRef s = value.structure();
  if (!s) return nullptr;
  const StructureRef commands = s->memberForKey("$path").structure();
  if (!commands) return nullptr;
  auto path = bezierPath();
  for (const Structure::Member& m : *commands) {
    const StructureRef c = m.value.structure();
    if (!c || c->empty()) return nullptr;
    const std::string* k = c->memberAtIndex(0).string();
    if (!k) return nullptr;
    double n[6];
    const size_t count = c->count();
    for (size_t i = 1; i < count && i <= 6; ++i)
      if (!readNumber(c->memberAtIndex(i), n[i - 1])) return nullptr;
    if (*k == "moveto" && count == 3) {
      path->moveToPoint({n[0], n[1]});
    } else if (*k == "lineto" && count == 3 && path->hasCurrentPoint()) {
      path->lineToPoint({n[0], n[1]});
    } else if (*k == "curveto" && count == 7 && path->hasCurrentPoint()) {
      path->curveToPoint({n[0], n[1]}, {n[2], n[3]}, {n[4], n[5]});
    } else if (*k == "close" && count == 1 && path->hasCurrentPoint()) {
      path->closePath();
    } else {
      return nullptr;
    }
  }
  auto has = [&](const char* key) { return s->hasKey(key); };
  int i;
  double d;
  if (has("windingRule")) {
    if (!readInt(s->memberForKey("windingRule"), i)) return nullptr;
    path->setWindingRule(i);
  }
  if (has("lineWidth")) {
    if (!readNumber(s->memberForKey("lineWidth"), d)) return nullptr;
    path->setLineWidth(d);
  }
  if (has("lineCapStyle")) {
    if (!readInt(s->memberForKey("lineCapStyle"), i)) return nullptr;
    path->setLineCapStyle(i);
  }
  if (has("lineJoinStyle")) {
    if (!readInt(s->memberForKey("lineJoinStyle"), i)) return nullptr;
    path->setLineJoinStyle(i);
  }
  if (has("miterLimit")) {
    if (!readNumber(s->memberForKey("miterLimit"), d)) return nullptr;
    path->setMiterLimit(d);
  }
  std::vector<double> dash;
  if (has("dash")) {
    const StructureRef ds = s->memberForKey("dash").structure();
    if (!ds) return nullptr;
    for (const Structure::Member& m : *ds) {
      if (!readNumber(m.value, d)) return nullptr;
      dash.push_back(d);
    }
  }
  double phase = 0;
  if (has("dashPhase") && !readNumber(s->memberForKey("dashPhase"), phase)) return nullptr;
  path->setLineDash(std::move(dash), phase);
  return path;
}

}  // namespace vellum
