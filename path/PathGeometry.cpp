#include "path/PathGeometry.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "path/ElementWalk.h"
#include "path/Winding.h"

namespace vellum::detail {

namespace {

inline bool finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// The smallest flatness honoured; a flatness that is zero, negative or not a number means this.
constexpr double kMinFlatness = 1e-4;

// ---- bounds ---------------------------------------------------------------------------------

struct Box {
  double x0, y0, x1, y1;
  void add(double x, double y) {
    if (x < x0) x0 = x;
    if (x > x1) x1 = x;
    if (y < y0) y0 = y;
    if (y > y1) y1 = y;
  }
};

// Extremes of one coordinate of a cubic strictly inside (0, 1), folded into [lo, hi].
void cubicExtremes(double a, double b, double c, double d, double& lo, double& hi) {
  // Endpoints already counted; control values inside their range mean a monotone curve.
  const double mn = std::min(a, d), mx = std::max(a, d);
  if (b >= mn && b <= mx && c >= mn && c <= mx) return;
  // B'(t)/3 = qa t^2 + qb t + qc.
  const double qa = -a + 3 * (b - c) + d;
  const double qb = 2 * (a - 2 * b + c);
  const double qc = b - a;
  double roots[2];
  int n = 0;
  if (qa == 0) {
    if (qb != 0) roots[n++] = -qc / qb;
  } else {
    const double disc = qb * qb - 4 * qa * qc;
    if (disc >= 0) {
      // The cancellation-free form of the quadratic formula.
      const double q = -0.5 * (qb + std::copysign(std::sqrt(disc), qb));
      roots[n++] = q / qa;
      if (q != 0) roots[n++] = qc / q;
    }
  }
  // The value at a root is only known to within a few ulps of the largest coefficient (the
  // root's own error barely matters where the derivative is zero). Rounding it to a power of
  // two above that error keeps an extremum that is exact on paper (a circle's lowest point at 0)
  // from growing a box, and an image, by rounding noise.
  const double scale = std::max(std::max(std::fabs(a), std::fabs(b)), std::max(std::fabs(c), std::fabs(d)));
  const double quantum = scale > 0 ? std::exp2(std::ceil(std::log2(16 * DBL_EPSILON * scale))) : 0;
  for (int i = 0; i < n; ++i) {
    const double t = roots[i];
    if (t > 0 && t < 1) {
      const double u = 1 - t;
      double v = u * u * u * a + 3 * u * u * t * b + 3 * u * t * t * c + t * t * t * d;
      if (quantum > 0 && std::isfinite(quantum)) v = std::nearbyint(v / quantum) * quantum;
      if (v < lo) lo = v;
      if (v > hi) hi = v;
    }
  }
}

// ---- containment ------------------------------------------------------------------------------

inline Point mid(Point a, Point b) { return {a.x * 0.5 + b.x * 0.5, a.y * 0.5 + b.y * 0.5}; }

// A curve piece lying wholly left of p cannot cross the ray; one wholly right of p crosses it
// as its chord does (p is outside the hull, so curve and chord wind alike). Only pieces whose
// box holds p are split; at most a handful per level, since a cubic meets a line thrice.
int curveWinding(Point p0, Point p1, Point p2, Point p3, Point p, int depth) {
  const double minY = std::min(std::min(p0.y, p1.y), std::min(p2.y, p3.y));
  const double maxY = std::max(std::max(p0.y, p1.y), std::max(p2.y, p3.y));
  if (p.y < minY || p.y >= maxY) return 0;
  const double maxX = std::max(std::max(p0.x, p1.x), std::max(p2.x, p3.x));
  if (maxX < p.x) return 0;
  const double minX = std::min(std::min(p0.x, p1.x), std::min(p2.x, p3.x));
  if (minX > p.x || depth == 0) return lineWinding(p0, p3, p);
  const Point a = mid(p0, p1), b = mid(p1, p2), c = mid(p2, p3);
  const Point ab = mid(a, b), bc = mid(b, c), m = mid(ab, bc);
  return curveWinding(p0, a, ab, m, p, depth - 1) + curveWinding(m, bc, c, p3, p, depth - 1);
}

// ---- flattening -------------------------------------------------------------------------------

// Larger squared distance of b and c from the segment a-(a + (dx, dy)).
inline double controlDistanceSq(Point a, Point b, Point c, double dx, double dy) {
  const double lenSq = dx * dx + dy * dy;
  double bx = b.x - a.x, by = b.y - a.y, cx = c.x - a.x, cy = c.y - a.y;
  if (lenSq > 0) {
    const double inv = 1.0 / lenSq;
    double tb = (bx * dx + by * dy) * inv, tc = (cx * dx + cy * dy) * inv;
    tb = tb < 0 ? 0 : (tb > 1 ? 1 : tb);
    tc = tc < 0 ? 0 : (tc > 1 ? 1 : tc);
    bx -= tb * dx;
    by -= tb * dy;
    cx -= tc * dx;
    cy -= tc * dy;
  }
  return std::max(bx * bx + by * by, cx * cx + cy * cy);
}

}  // namespace

bool tightBounds(const PathData& d, Rect& out) {
  if (d.empty()) return false;
  Box box{d.points[0].x, d.points[0].y, d.points[0].x, d.points[0].y};
  ElementWalk walk(d);
  Point cur{};
  for (size_t i = 0; i < walk.size(); ++i) {
    const BezierPathElement kind = walk.kind(i);
    if (kind == BezierPathElement::CurveTo) {
      const std::span<const Point> q = walk.points(i);
      cubicExtremes(cur.x, q[0].x, q[1].x, q[2].x, box.x0, box.x1);
      cubicExtremes(cur.y, q[0].y, q[1].y, q[2].y, box.y0, box.y1);
    }
    cur = walk.next(i);
    if (kind != BezierPathElement::ClosePath) box.add(cur.x, cur.y);
  }
  out = Rect{{box.x0, box.y0}, {box.x1 - box.x0, box.y1 - box.y0}};
  return true;
}

// Open subpaths count as closed: a move or the end closes the subpath before it.
long windingNumber(const PathData& d, Point p) {
  long w = 0;
  Point cur{};
  bool open = false;
  ElementWalk walk(d);
  for (size_t i = 0; i < walk.size(); ++i) {
    const BezierPathElement kind = walk.kind(i);
    const std::span<const Point> q = walk.points(i);
    if (kind == BezierPathElement::MoveTo && open) w += lineWinding(cur, walk.subpathStart(), p);
    const Point end = walk.next(i);
    if (kind == BezierPathElement::CurveTo && finite(cur) && finite(q[0]) && finite(q[1]) && finite(q[2]))
      w += curveWinding(cur, q[0], q[1], q[2], p, 24);
    else if (kind != BezierPathElement::MoveTo)
      w += lineWinding(cur, end, p);
    open = open || kind == BezierPathElement::MoveTo;
    cur = end;
  }
  if (open) w += lineWinding(cur, walk.subpathStart(), p);
  return w;
}

namespace {

// One cubic being flattened: its power-basis coefficients, its second differences and the
// target, shared by every piece of it.
struct Flattener {
  Point p0;
  double ax, ay, bx, by, cx, cy;  // B(t) = ((a t + b) t + c) t + p0
  double d0x, d0y, ex, ey;        // D(t) = d0 + t e = B''(t) / 6
  double f, k;                    // flatness; Wang's step bound h^2 <= k / |D|
  std::vector<Point>& out;
  Point p1{}, p2{}, p3{};

  Point at(double t) const {
    const Point p{((ax * t + bx) * t + cx) * t + p0.x, ((ay * t + by) * t + cy) * t + p0.y};
    if (std::isfinite(p.x) && std::isfinite(p.y)) return p;
    // The power-basis coefficients overflow for coordinates near the double range (1e308 and
    // -1e308 give inf - inf); the Bernstein form, a weighted mean of the points, cannot.
    const double s = 1 - t, w0 = s * s * s, w1 = 3 * s * s * t, w2 = 3 * s * t * t, w3 = t * t * t;
    return {w0 * p0.x + w1 * p1.x + w2 * p2.x + w3 * p3.x, w0 * p0.y + w1 * p1.y + w2 * p2.y + w3 * p3.y};
  }
  Point tangent(double t) const { return {(3 * ax * t + 2 * bx) * t + cx, (3 * ay * t + 2 * by) * t + cy}; }
  double dnorm(double t) const {
    const double x = d0x + t * ex, y = d0y + t * ey;
    return std::sqrt(x * x + y * y);
  }

  void uniformPieces(double t0, double t1, unsigned n, Point end) {
    const double h = (t1 - t0) / n;
    for (unsigned i = 1; i < n; ++i) out.push_back(at(t0 + i * h));
    out.push_back(end);
  }

  // Whether the piece [t0, t0 + h] with end points a, d and tangents ta, td is within the
  // flatness of its chord, by 3/4 of its own control points' distance from the chord; eSq gets
  // that bound squared. Division-free when the control points project onto the chord and pass.
  static bool within(Point a, Point ta, Point d, Point td, double h, double fSq, double& eSq) {
    const double dx = d.x - a.x, dy = d.y - a.y;
    const double bx = h / 3 * ta.x, by = h / 3 * ta.y;            // b - a
    const double cx = dx - h / 3 * td.x, cy = dy - h / 3 * td.y;  // c - a
    const double lenSq = dx * dx + dy * dy;
    const double pb = bx * dx + by * dy, pc = cx * dx + cy * dy;
    if (!(lenSq < INFINITY)) {  // overflow: no bound to trust
      eSq = INFINITY;
      return false;
    }
    if (pb >= 0 && pb <= lenSq && pc >= 0 && pc <= lenSq && lenSq > 0) {
      const double xb = bx * dy - by * dx, xc = cx * dy - cy * dx;
      const double m = (0.75 * 0.75) * std::max(xb * xb, xc * xc);
      if (m <= fSq * lenSq) return true;
      eSq = m / lenSq;
    } else {
      eSq = (0.75 * 0.75) * controlDistanceSq(a, {a.x + bx, a.y + by}, {a.x + cx, a.y + cy}, dx, dy);
    }
    return eSq <= fSq;
  }

  // The piece [t0, t1] with end points a, d and tangents ta, td. Its own control points give
  // a strict error bound (3/4 of their distance from the chord), exact for parabolic pieces; a
  // piece that fails is cut evenly into as many parts as that error asks for (error falls with
  // the square of the length), and the parts are checked again. Wang's count for the piece
  // caps the cut: when the estimate reaches it, even steps are taken unchecked, since they are
  // within the flatness by construction.
  void piece(double t0, Point a, Point ta, double t1, Point d, Point td, double eSq, int depth) {
    const double h = t1 - t0;
    const double wang = std::ceil(h * std::sqrt(std::max(dnorm(t0), dnorm(t1)) / k));
    const double guess = std::ceil(std::sqrt(std::sqrt(eSq) / f));
    if (!(guess < wang) || depth >= 8) {
      uniformPieces(t0, t1, wang < 1 ? 1u : static_cast<unsigned>(wang), d);
      return;
    }
    const unsigned n = guess < 2 ? 2u : static_cast<unsigned>(guess);
    const double step = h / n;
    const double fSq = f * f;
    Point pa = a, pta = ta;
    double ts = t0;
    for (unsigned i = 1; i <= n; ++i) {
      const double t = i == n ? t1 : t0 + i * step;
      const Point pd = i == n ? d : at(t);
      const Point ptd = i == n ? td : tangent(t);
      double e;
      if (within(pa, pta, pd, ptd, t - ts, fSq, e))
        out.push_back(pd);
      else
        piece(ts, pa, pta, t, pd, ptd, e, depth + 1);
      pa = pd;
      pta = ptd;
      ts = t;
    }
  }
};

}  // namespace

size_t flattenCurve(Point p0, Point p1, Point p2, Point p3, double f, std::vector<Point>& out) {
  if (!(finite(p0) && finite(p1) && finite(p2) && finite(p3))) {
    out.push_back(p3);
    return 1;
  }
  if (!(f >= kMinFlatness)) f = f > 0 ? f : kMinFlatness;
  const size_t before = out.size();
  Flattener fl{p0,
               -p0.x + 3 * (p1.x - p2.x) + p3.x,
               -p0.y + 3 * (p1.y - p2.y) + p3.y,
               3 * (p0.x - 2 * p1.x + p2.x),
               3 * (p0.y - 2 * p1.y + p2.y),
               3 * (p1.x - p0.x),
               3 * (p1.y - p0.y),
               p0.x - 2 * p1.x + p2.x,
               p0.y - 2 * p1.y + p2.y,
               0,
               0,
               f,
               f * (4.0 / 3.0),
               out};
  fl.p1 = p1, fl.p2 = p2, fl.p3 = p3;
  fl.ex = (p1.x - 2 * p2.x + p3.x) - fl.d0x;
  fl.ey = (p1.y - 2 * p2.y + p3.y) - fl.d0y;

  const Point t0{3 * (p1.x - p0.x), 3 * (p1.y - p0.y)}, t1{3 * (p3.x - p2.x), 3 * (p3.y - p2.y)};
  double e;
  if (Flattener::within(p0, t0, p3, t1, 1, f * f, e)) {
    out.push_back(p3);
    return 1;
  }
  // Chord error over a parameter interval of length h is at most h^2/8 max|B''| (Wang), with
  // B'' = 6 D and |D| largest at an end of the interval. Its count for the whole curve bounds
  // the work; beyond the cap (tiny flatness for the curve's size, or overflow) the curve gets
  // the cap in even steps, best effort.
  const double wang = std::ceil(std::sqrt(std::max(fl.dnorm(0), fl.dnorm(1)) / fl.k));
  if (!(wang <= kMaxSegmentsPerCurve)) {
    fl.uniformPieces(0, 1, kMaxSegmentsPerCurve, p3);
    return out.size() - before;
  }
  fl.piece(0, p0, t0, 1, p3, t1, e, 0);
  // The checked cuts round up piece by piece; never hand out more than the even count.
  if (out.size() - before > wang) {
    out.resize(before);
    fl.uniformPieces(0, 1, static_cast<unsigned>(wang), p3);
  }
  return out.size() - before;
}

void flatten(const PathData& in, double flatness, PathData& out) {
  out.clear();
  out.reserve(in.size(), in.points.size());
  ElementWalk walk(in);
  Point cur{};
  for (size_t i = 0; i < walk.size(); ++i) {
    const std::span<const Point> q = walk.points(i);
    switch (walk.kind(i)) {
      case BezierPathElement::MoveTo: out.move(q[0]); break;
      case BezierPathElement::LineTo: out.line(q[0]); break;
      case BezierPathElement::CurveTo: {
        const size_t base = out.points.size();
        const size_t added = flattenCurve(cur, q[0], q[1], q[2], flatness, out.points);
        if (out.points.size() > 0xFFFFFFF0u) throw Exception("path too large");
        out.kinds.insert(out.kinds.end(), added, kLine);
        for (size_t j = 0; j < added; ++j) out.offsets.push_back(static_cast<uint32_t>(base + j));
        break;
      }
      default: out.close(); break;
    }
    cur = walk.next(i);
  }
}

void sinCosDegrees(double degrees, double& s, double& c) {
  double r = std::fmod(degrees, 360.0);
  if (r < 0) r += 360.0;
  if (r == 0) { s = 0; c = 1; return; }
  if (r == 90) { s = 1; c = 0; return; }
  if (r == 180) { s = 0; c = -1; return; }
  if (r == 270) { s = -1; c = 0; return; }
  const double rad = degrees * (M_PI / 180.0);
  s = std::sin(rad);
  c = std::cos(rad);
}

}  // namespace vellum::detail
