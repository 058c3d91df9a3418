// The path core against Cairo on the same input in the same process: flattening
// (cairo_copy_path_flat with the same tolerance), bounds (cairo_fill_extents) and point
// containment (cairo_in_fill). (cairo_path_extents is no anchor: Cairo keeps those extents
// up to date while the path is built, so a call only reads them.)
//
// Input: 10 000 random cubic curves in a 200 x 200 square, fixed seed, each its own subpath
// (move, curve). Counters: "segments" (line segments produced), "max_dev" (largest distance from
// the true curve, sampled, to the polyline that replaced it, over the first 200 curves),
// "disagree" (query points on which the two containment answers differ).
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "path/BezierPath.h"

using vellum::BezierPath;
using vellum::Point;

namespace {

constexpr int kCurves = 10000;
constexpr int kMeasuredCurves = 200;
constexpr int kQueries = 200;

struct Cubic {
  Point p0, p1, p2, p3;
};

const std::vector<Cubic>& curves() {
  static const std::vector<Cubic> c = [] {
    std::mt19937_64 rng(20240611);
    std::uniform_real_distribution<double> u(0.0, 200.0);
    std::vector<Cubic> v(kCurves);
    for (Cubic& k : v) k = {{u(rng), u(rng)}, {u(rng), u(rng)}, {u(rng), u(rng)}, {u(rng), u(rng)}};
    return v;
  }();
  return c;
}

const std::vector<Point>& queries() {
  static const std::vector<Point> q = [] {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(0.0, 200.0);
    std::vector<Point> v(kQueries);
    for (Point& p : v) p = {u(rng), u(rng)};
    return v;
  }();
  return q;
}

std::shared_ptr<BezierPath> ourPath() {
  static const std::shared_ptr<BezierPath> p = [] {
    auto path = BezierPath::bezierPath();
    for (const Cubic& c : curves()) {
      path->moveToPoint(c.p0);
      path->curveToPoint(c.p3, c.p1, c.p2);
    }
    return path;
  }();
  return p;
}

struct CairoContext {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(surface);
  explicit CairoContext(double tolerance) {
    cairo_set_tolerance(cr, tolerance);
    for (const Cubic& c : curves()) {
      cairo_move_to(cr, c.p0.x, c.p0.y);
      cairo_curve_to(cr, c.p1.x, c.p1.y, c.p2.x, c.p2.y, c.p3.x, c.p3.y);
    }
  }
  ~CairoContext() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
};

Point bez(const Cubic& c, double t) {
  const double u = 1 - t;
  const double a = u * u * u, b = 3 * u * u * t, d = 3 * u * t * t, e = t * t * t;
  return {a * c.p0.x + b * c.p1.x + d * c.p2.x + e * c.p3.x, a * c.p0.y + b * c.p1.y + d * c.p2.y + e * c.p3.y};
}

double segDist(Point p, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y, l = dx * dx + dy * dy;
  double t = l > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / l : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

// Largest distance from 2000 samples of each curve to its polyline.
double maxDeviation(const std::vector<std::vector<Point>>& polylines) {
  double worst = 0;
  for (int i = 0; i < kMeasuredCurves && i < static_cast<int>(polylines.size()); ++i) {
    const std::vector<Point>& pl = polylines[i];
    for (int s = 0; s <= 2000; ++s) {
      const Point p = bez(curves()[i], s / 2000.0);
      double best = pl.size() == 1 ? std::hypot(p.x - pl[0].x, p.y - pl[0].y) : INFINITY;
      for (size_t j = 1; j < pl.size(); ++j) best = std::min(best, segDist(p, pl[j - 1], pl[j]));
      worst = std::max(worst, best);
    }
  }
  return worst;
}

std::vector<std::vector<Point>> polylinesOf(const BezierPath& flat) {
  std::vector<std::vector<Point>> out;
  for (size_t i = 0; i < flat.elementCount(); ++i) {
    Point p[3];
    if (flat.elementAtIndex(i, p) == vellum::BezierPathElement::MoveTo) out.emplace_back();
    out.back().push_back(p[0]);
  }
  return out;
}

std::vector<std::vector<Point>> polylinesOf(const cairo_path_t* path) {
  std::vector<std::vector<Point>> out;
  for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
    const cairo_path_data_t* d = &path->data[i];
    if (d->header.type == CAIRO_PATH_MOVE_TO) out.emplace_back();
    if (d->header.type == CAIRO_PATH_MOVE_TO || d->header.type == CAIRO_PATH_LINE_TO)
      out.back().push_back({d[1].point.x, d[1].point.y});
  }
  return out;
}

double tolerance(const benchmark::State& state) { return state.range(0) / 100.0; }

void BM_FlattenVellum(benchmark::State& state) {
  const double f = tolerance(state);
  auto path = ourPath();
  size_t segments = 0;
  for (auto _ : state) {
    auto flat = path->bezierPathByFlatteningPathWithFlatness(f);
    segments = flat->elementCount() - kCurves;
    benchmark::DoNotOptimize(flat);
  }
  state.counters["segments"] = static_cast<double>(segments);
  state.counters["max_dev"] = maxDeviation(polylinesOf(*path->bezierPathByFlatteningPathWithFlatness(f)));
}

void BM_FlattenCairo(benchmark::State& state) {
  CairoContext c(tolerance(state));
  size_t segments = 0;
  for (auto _ : state) {
    cairo_path_t* flat = cairo_copy_path_flat(c.cr);
    segments = static_cast<size_t>(flat->num_data / 2 - kCurves);
    benchmark::DoNotOptimize(flat);
    cairo_path_destroy(flat);
  }
  cairo_path_t* flat = cairo_copy_path_flat(c.cr);
  state.counters["segments"] = static_cast<double>(segments);
  state.counters["max_dev"] = maxDeviation(polylinesOf(flat));
  cairo_path_destroy(flat);
}

void BM_BoundsVellum(benchmark::State& state) {
  auto path = ourPath();
  for (auto _ : state) benchmark::DoNotOptimize(path->bounds());
}

void BM_BoundsCairo(benchmark::State& state) {
  CairoContext c(0.1);
  double x0, y0, x1, y1;
  for (auto _ : state) {
    cairo_fill_extents(c.cr, &x0, &y0, &x1, &y1);
    benchmark::DoNotOptimize(x0);
  }
}

void BM_ContainsVellum(benchmark::State& state) {
  auto path = ourPath();
  for (auto _ : state)
    for (const Point& q : queries()) benchmark::DoNotOptimize(path->containsPoint(q));
  CairoContext c(0.1);
  int disagree = 0;
  for (const Point& q : queries()) disagree += path->containsPoint(q) != static_cast<bool>(cairo_in_fill(c.cr, q.x, q.y));
  state.counters["disagree"] = disagree;
  state.counters["queries"] = kQueries;
}

void BM_ContainsCairo(benchmark::State& state) {
  CairoContext c(0.1);
  for (auto _ : state)
    for (const Point& q : queries()) benchmark::DoNotOptimize(cairo_in_fill(c.cr, q.x, q.y));
}

}  // namespace

// Argument: flatness in hundredths (1 = 0.01, 10 = 0.1, 100 = 1).
BENCHMARK(BM_FlattenVellum)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlattenCairo)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoundsVellum)->Unit(benchmark::kMicrosecond);
// cairo_fill_extents tessellates the fill: on 10 000 crossing curves one call takes seconds.
BENCHMARK(BM_BoundsCairo)->Iterations(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ContainsVellum)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContainsCairo)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
