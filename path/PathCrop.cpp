#include "path/PathCrop.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vellum {

namespace {

using detail::PathData;

// The stroke pieces while they are made, in the path's own store.
struct Pieces {
  PathData path;
  std::vector<double> starts;
  std::vector<size_t> firsts;
};

// Halving a curve that straddles the box's edge this many times leaves pieces far below a
// pixel for any coordinate up to about 1e20; a piece still straddling then is drawn as its chord.
constexpr int kMaxHalvings = 80;

// Differences are taken of halves throughout: points may lie anywhere in the double range.
Point half(Point a, Point c) { return {c.x / 2 - a.x / 2, c.y / 2 - a.y / 2}; }

Point lerp(Point a, Point c, double t) {
  // From the nearer end, so a point near the box is not lost in the far end's rounding.
  const Point h = half(a, c);
  if (t <= 0.5) return {a.x + h.x * t * 2, a.y + h.y * t * 2};
  return {c.x - h.x * (1 - t) * 2, c.y - h.y * (1 - t) * 2};
}
Point mid(Point a, Point b) { return {a.x / 2 + b.x / 2, a.y / 2 + b.y / 2}; }

struct Curve {
  Point p0, p1, p2, p3;
  // De Casteljau at one half.
  void split(Curve& first, Curve& second) const {
    const Point a = mid(p0, p1), b = mid(p1, p2), c = mid(p2, p3), ab = mid(a, b), bc = mid(b, c), m = mid(ab, bc);
    first = {p0, a, ab, m};
    second = {m, bc, c, p3};
  }
};

// Halves a curve until each piece's control points lie inside the box or all miss it, and
// hands the pieces in order to `inside` or `outside`; a piece still straddling the box's edge
// after kMaxHalvings goes to `straddling`.
template <class Inside, class Outside, class Straddling>
void halve(const Curve& c, const CropBox& b, const Inside& inside, const Outside& outside,
           const Straddling& straddling, int depth = 0) {
  const double x0 = std::min({c.p0.x, c.p1.x, c.p2.x, c.p3.x}), x1 = std::max({c.p0.x, c.p1.x, c.p2.x, c.p3.x});
  const double y0 = std::min({c.p0.y, c.p1.y, c.p2.y, c.p3.y}), y1 = std::max({c.p0.y, c.p1.y, c.p2.y, c.p3.y});
  if (x0 >= b.x0 && x1 <= b.x1 && y0 >= b.y0 && y1 <= b.y1) {
    inside(c);
  } else if (x1 < b.x0 || x0 > b.x1 || y1 < b.y0 || y0 > b.y1) {
    outside(c);
  } else if (depth == kMaxHalvings) {
    straddling(c);
  } else {
    Curve first, second;
    c.split(first, second);
    halve(first, b, inside, outside, straddling, depth + 1);
    halve(second, b, inside, outside, straddling, depth + 1);
  }
}

Point clamp(Point p, const CropBox& b) { return {std::clamp(p.x, b.x0, b.x1), std::clamp(p.y, b.y0, b.y1)}; }

void appendElements(const PathData& from, size_t first, size_t last, PathData& to) {
  for (size_t i = first; i < last; ++i) {
    to.add(from.kinds[i]);
    const Point* q = from.points.data() + from.offsets[i];
    to.points.insert(to.points.end(), q, q + detail::kPointCount[from.kinds[i]]);
  }
}

class FillCrop {
 public:
  explicit FillCrop(const CropBox& box) : box_(box) {}

  PathData run(const PathData& in) {
    for (size_t i = 0; i < in.size(); ++i) {
      const Point* q = in.points.data() + in.offsets[i];
      switch (in.kinds[i]) {
        case detail::kMove:
          finishSubpath();
          start_ = cur_ = q[0];
          haveCurrent_ = true;
          break;
        case detail::kLine:
          begin(q[0]);
          line(cur_, q[0]);
          cur_ = q[0];
          break;
        case detail::kCurve:
          begin(q[0]);
          curve({cur_, q[0], q[1], q[2]});
          cur_ = q[2];
          break;
        default:
          if (open_) finishSubpath();
          cur_ = start_;
          break;
      }
    }
    finishSubpath();
    return std::move(out_);
  }

 private:
  // Opens a subpath at the current point; without one, a segment starts at its first point.
  void begin(Point first) {
    if (!haveCurrent_) start_ = cur_ = first, haveCurrent_ = true;
    if (!open_) {
      out_.move(last_ = clamp(cur_, box_));
      open_ = true;
    }
  }
  void emit(Point p) {
    p = clamp(p, box_);
    if (p.x != last_.x || p.y != last_.y) out_.line(last_ = p);
  }
  // Split where the segment crosses the box's edge lines, each piece moved onto the box.
  void line(Point a, Point c) {
    double ts[4];
    int n = 0;
    const Point h = half(a, c);
    for (double x : {box_.x0, box_.x1})
      if ((a.x < x) != (c.x < x) && a.x != x && c.x != x) ts[n++] = (x / 2 - a.x / 2) / h.x;
    for (double y : {box_.y0, box_.y1})
      if ((a.y < y) != (c.y < y) && a.y != y && c.y != y) ts[n++] = (y / 2 - a.y / 2) / h.y;
    for (int i = 1; i < n; ++i)  // at most four
      for (int k = i; k > 0 && ts[k] < ts[k - 1]; --k) std::swap(ts[k], ts[k - 1]);
    for (int k = 0; k < n; ++k) emit(lerp(a, c, ts[k]));
    emit(c);
  }
  void curve(const Curve& c) {
    // Curve and chord lie in the control points' hull: where that misses the box, the winding
    // number inside it is the same with the chord.
    const auto chord = [&](const Curve& piece) { line(piece.p0, piece.p3); };
    const auto keep = [&](const Curve& piece) {
      out_.curve(piece.p1, piece.p2, piece.p3);
      last_ = piece.p3;
    };
    halve(c, box_, keep, chord, chord);
  }
  void finishSubpath() {
    if (!open_) return;
    line(cur_, start_);
    out_.close();
    open_ = false;
  }

  CropBox box_;
  PathData out_;
  Point start_{}, cur_{}, last_{};
  bool haveCurrent_ = false, open_ = false;
};

class StrokeCrop {
 public:
  StrokeCrop(const CropBox& box, double flatness) : box_(box), flatness_(flatness) {}

  Pieces run(const PathData& in) {
    for (size_t i = 0; i < in.size(); ++i) {
      const Point* q = in.points.data() + in.offsets[i];
      switch (in.kinds[i]) {
        case detail::kMove: startSubpath(q[0]); break;
        case detail::kLine:
          if (!haveCurrent_) startSubpath(q[0]);
          line(cur_, q[0]);
          cur_ = q[0];
          break;
        case detail::kCurve:
          if (!haveCurrent_) startSubpath(q[0]);
          curve({cur_, q[0], q[1], q[2]});
          cur_ = q[2];
          break;
        default: close(); break;
      }
    }
    return std::move(out_);
  }

 private:
  bool inside(Point p) const { return p.x >= box_.x0 && p.x <= box_.x1 && p.y >= box_.y0 && p.y <= box_.y1; }

  void startSubpath(Point p) {
    start_ = cur_ = p;
    haveCurrent_ = true;
    distance_ = 0;
    broken_ = false;
    penDown_ = false;
    firstPiece_ = out_.starts.size();
    if (inside(p)) newPiece(p, 0);
    startsAtStart_ = penDown_;
  }
  void newPiece(Point p, double distance) {
    out_.starts.push_back(distance);
    out_.firsts.push_back(out_.path.size());
    out_.path.move(p);
    penDown_ = true;
  }
  // The part of a-c inside the box (Liang and Barsky's clipping).
  void line(Point a, Point c) {
    const Point h = half(a, c);
    const double dx = h.x, dy = h.y;
    const double length = flatness_ > 0 ? 2 * std::hypot(dx, dy) : 0;
    double t0 = 0, t1 = 1;
    auto edge = [&](double p, double q) {
      if (p == 0) return q >= 0;
      const double t = q / p;
      if (p < 0) t0 = std::max(t0, t);
      else t1 = std::min(t1, t);
      return true;
    };
    const bool hits = edge(-dx, a.x / 2 - box_.x0 / 2) && edge(dx, box_.x1 / 2 - a.x / 2) &&
                      edge(-dy, a.y / 2 - box_.y0 / 2) && edge(dy, box_.y1 / 2 - a.y / 2) && t0 <= t1;
    if (!hits) {
      drop(length);
      return;
    }
    if (t0 > 0 || !penDown_) {
      if (t0 > 0) broken_ = true;
      newPiece(clamp(lerp(a, c, t0), box_), distance_ + t0 * length);
    }
    out_.path.line(t1 < 1 ? clamp(lerp(a, c, t1), box_) : c);
    if (t1 < 1) penDown_ = false, broken_ = true;
    distance_ += length;
  }
  void drop(double length) {
    penDown_ = false;
    broken_ = true;
    distance_ += length;
  }
  double flattenedLength(const Curve& c) {
    if (!(flatness_ > 0)) return 0;
    flat_.clear();
    detail::flattenCurve(c.p0, c.p1, c.p2, c.p3, flatness_, flat_);
    double length = 0;
    Point from = c.p0;
    for (Point p : flat_) length += std::hypot(p.x - from.x, p.y - from.y), from = p;
    return length;
  }
  void curve(const Curve& c) {
    halve(
        c, box_,
        [&](const Curve& piece) {
          if (!penDown_) newPiece(piece.p0, distance_);
          out_.path.curve(piece.p1, piece.p2, piece.p3);
          distance_ += flattenedLength(piece);
        },
        [&](const Curve& piece) { drop(flattenedLength(piece)); }, [&](const Curve& piece) { line(piece.p0, piece.p3); });
  }
  void close() {
    if (!haveCurrent_) return;
    if (!broken_ && penDown_ && inside(cur_) && inside(start_)) {
      out_.path.close();  // untouched: closed as it was, with its join at the start
    } else {
      line(cur_, start_);
      // Ends where it began, inside: one piece through the start keeps the join there.
      if (startsAtStart_ && penDown_ && out_.starts.size() - 1 > firstPiece_) joinFirstPieceToLast();
    }
    startSubpath(start_);
  }
  void joinFirstPieceToLast() {
    PathData& path = out_.path;
    const size_t f0 = out_.firsts[firstPiece_], f1 = out_.firsts[firstPiece_ + 1];
    PathData tail;
    appendElements(path, f1, path.size(), tail);
    appendElements(path, f0 + 1, f1, tail);
    const size_t removed = f1 - f0;
    path.points.resize(path.offsets[f0]);
    path.kinds.resize(f0);
    path.offsets.resize(f0);
    appendElements(tail, 0, tail.size(), path);
    out_.starts.erase(out_.starts.begin() + std::ptrdiff_t(firstPiece_));
    out_.firsts.erase(out_.firsts.begin() + std::ptrdiff_t(firstPiece_));
    for (size_t k = firstPiece_; k < out_.firsts.size(); ++k) out_.firsts[k] -= removed;
  }
  CropBox box_;
  double flatness_;
  Pieces out_;
  std::vector<Point> flat_;
  Point start_{}, cur_{};
  double distance_ = 0;
  size_t firstPiece_ = 0;
  bool haveCurrent_ = false, penDown_ = false, broken_ = false, startsAtStart_ = false;
};

}  // namespace

QuartzPath StrokePieces::piece(size_t k) const {
  const PathData& all = path.data();
  PathData out;
  appendElements(all, firsts[k], k + 1 < firsts.size() ? firsts[k + 1] : all.size(), out);
  return QuartzPath(std::move(out));
}

QuartzPath cropForFill(const QuartzPath& path, const CropBox& box) { return QuartzPath(FillCrop(box).run(path.data())); }

StrokePieces cropForStroke(const QuartzPath& path, const CropBox& box, double flatness) {
  Pieces pieces = StrokeCrop(box, flatness).run(path.data());
  return {QuartzPath(std::move(pieces.path)), std::move(pieces.starts), std::move(pieces.firsts)};
}

}  // namespace vellum
