// Triangulation of paths: a seeded corpus (random star-shaped polygons of 100 to 1 000 000
// vertices, integer-grid polygons with collinear vertices, glyph outlines of three fonts, a
// plotted area under a curve, self-crossing outlines, a circle of 100 000 cocircular
// vertices), each checked (triangle area equals the filled area within 1e-9 relative, sampled
// triangles inside) and timed against CGAL's constrained Delaunay triangulation of the same
// segments when CGAL's headers were found at configure time (CGAL is used here only, never in
// the product). Ends with the ratios of the medians, ours over CGAL's, and the triangulator's
// peak memory per vertex on the million-vertex star.
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "mesh/Triangulator.h"
#include "patches/geometry/V2DTriangleStructurePatch.h"

#ifdef VELLUM_HAVE_CGAL
#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Constrained_triangulation_face_base_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_face_base_with_info_2.h>
#endif

using namespace vellum;

// Heap bytes in use and their peak, for the memory figure.
namespace {
std::atomic<size_t> heapInUse{0}, heapPeak{0};
}  // namespace

void* operator new(size_t size) {
  void* p = std::malloc(size + 16);
  if (!p) throw std::bad_alloc();
  *static_cast<size_t*>(p) = size;
  const size_t now = heapInUse += size;
  size_t peak = heapPeak.load();
  while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
  }
  return static_cast<char*>(p) + 16;
}
void operator delete(void* p) noexcept {
  if (!p) return;
  void* base = static_cast<char*>(p) - 16;
  heapInUse -= *static_cast<size_t*>(base);
  std::free(base);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

struct Case {
  std::string name;
  std::shared_ptr<BezierPath> path;
  double area = -1;  // the filled area when known independently; < 0: only the inside check
};

double shoelace(const std::vector<Point>& ring) {
  double s = 0;
  for (size_t i = 0; i < ring.size(); ++i) {
    const Point a = ring[i], b = ring[(i + 1) % ring.size()];
    s += a.x * b.y - b.x * a.y;
  }
  return s / 2;
}

void addRing(BezierPath& path, const std::vector<Point>& ring) {
  path.moveToPoint(ring[0]);
  for (size_t i = 1; i < ring.size(); ++i) path.lineToPoint(ring[i]);
  path.closePath();
}

Case starPolygon(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> radius(0.2, 1.0);
  std::vector<Point> ring;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / n, r = radius(rng);
    ring.push_back({r * std::cos(a) * 100, r * std::sin(a) * 100});
  }
  Case c{"star " + std::to_string(n) + " #" + std::to_string(seed), BezierPath::bezierPath(), std::fabs(shoelace(ring))};
  addRing(*c.path, ring);
  return c;
}

Case gridStaircase(unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<Point> ring{{0, 0}};
  int x = 0, y = 0;
  const int steps = 5 + int(rng() % 40);
  for (int i = 0; i < steps; ++i) {
    const int dx = 1 + int(rng() % 4), dy = 1 + int(rng() % 4);
    for (int k = 1; k <= dx; ++k) ring.push_back({double(x + k), double(y)});  // collinear grid points
    x += dx;
    for (int k = 1; k <= dy; ++k) ring.push_back({double(x), double(y + k)});
    y += dy;
  }
  for (int k = x - 1; k >= 0; --k) ring.push_back({double(k), double(y)});
  for (int k = y - 1; k >= 1; --k) ring.push_back({0, double(k)});
  Case c{"grid #" + std::to_string(seed), BezierPath::bezierPath(), std::fabs(shoelace(ring))};
  addRing(*c.path, ring);
  return c;
}

// Glyph outlines through FreeType, conics raised to cubics, flattened; the filled area of
// properly nested contours is |sum of signed areas| per glyph (holes run the other way).
Case glyphs(const char* file, const char* label, const char* text = "Triangulated glyph outlines: @&%8Bg",
            double flatness = 0.01) {
  Case c{std::string("glyphs ") + label, BezierPath::bezierPath(), 0};
  FT_Library lib;
  FT_Face face;
  if (FT_Init_FreeType(&lib) || FT_New_Face(lib, file, 0, &face)) return c;
  FT_Set_Char_Size(face, 0, 64 * 64, 72, 72);
  auto curved = BezierPath::bezierPath();
  double penX = 0;
  for (const char* s = text; *s; ++s) {
    if (FT_Load_Char(face, FT_ULong(*s), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP)) continue;
    struct Ctx {
      BezierPath* p;
      double dx;
      Point last;
    } ctx{curved.get(), penX, {}};
    FT_Outline_Funcs funcs{};
    funcs.move_to = [](const FT_Vector* to, void* u) {
      auto* k = static_cast<Ctx*>(u);
      if (k->p->hasCurrentPoint()) k->p->closePath();
      k->last = {to->x / 64.0 + k->dx, to->y / 64.0};
      k->p->moveToPoint(k->last);
      return 0;
    };
    funcs.line_to = [](const FT_Vector* to, void* u) {
      auto* k = static_cast<Ctx*>(u);
      k->last = {to->x / 64.0 + k->dx, to->y / 64.0};
      k->p->lineToPoint(k->last);
      return 0;
    };
    funcs.conic_to = [](const FT_Vector* q, const FT_Vector* to, void* u) {
      auto* k = static_cast<Ctx*>(u);
      const Point p0 = k->last, qq{q->x / 64.0 + k->dx, q->y / 64.0}, p2{to->x / 64.0 + k->dx, to->y / 64.0};
      k->p->curveToPoint(p2, {p0.x + 2.0 / 3 * (qq.x - p0.x), p0.y + 2.0 / 3 * (qq.y - p0.y)},
                         {p2.x + 2.0 / 3 * (qq.x - p2.x), p2.y + 2.0 / 3 * (qq.y - p2.y)});
      k->last = p2;
      return 0;
    };
    funcs.cubic_to = [](const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* u) {
      auto* k = static_cast<Ctx*>(u);
      k->last = {to->x / 64.0 + k->dx, to->y / 64.0};
      k->p->curveToPoint(k->last, {c1->x / 64.0 + k->dx, c1->y / 64.0}, {c2->x / 64.0 + k->dx, c2->y / 64.0});
      return 0;
    };
    FT_Outline_Decompose(&face->glyph->outline, &funcs, &ctx);
    if (curved->hasCurrentPoint()) curved->closePath();
    penX += face->glyph->advance.x / 64.0;
  }
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  c.path = curved->bezierPathByFlatteningPathWithFlatness(flatness);
  // Area per glyph is not separable here; the union is checked by the inside test and the
  // total by the signed sum (contours of one glyph never overlap, glyphs never overlap).
  std::vector<Point> ring;
  double total = 0;
  const auto& d = c.path->data();
  for (size_t i = 0; i < d.size(); ++i) {
    if (d.kinds[i] == detail::kMove) ring = {d.points[d.offsets[i]]};
    else if (d.kinds[i] == detail::kLine) ring.push_back(d.points[d.offsets[i]]);
    else if (d.kinds[i] == detail::kClose) total += shoelace(ring), ring.clear();
  }
  c.area = std::fabs(total);
  return c;
}

Case areaUnderCurve(int n) {
  std::vector<Point> ring;
  for (int i = 0; i < n; ++i) {
    const double x = 10.0 * i / (n - 1);
    ring.push_back({x, 2 + std::sin(3 * x) + 0.5 * std::sin(17 * x) + 0.1 * std::sin(101 * x)});
  }
  ring.push_back({10, 0});
  ring.push_back({0, 0});
  Case c{"area under curve " + std::to_string(n), BezierPath::bezierPath(), std::fabs(shoelace(ring))};
  addRing(*c.path, ring);
  return c;
}

Case pentagram(int rule) {
  std::vector<Point> star;
  for (int i = 0; i < 5; ++i) star.push_back({std::cos(M_PI / 2 + i * 4 * M_PI / 5), std::sin(M_PI / 2 + i * 4 * M_PI / 5)});
  const double r = std::sin(M_PI / 10) / std::sin(7 * M_PI / 10);
  const double outline = 5 * r * std::sin(M_PI / 5), inner = 2.5 * r * r * std::sin(2 * M_PI / 5);
  Case c{rule ? "pentagram even-odd" : "pentagram non-zero", BezierPath::bezierPath(), rule ? outline - inner : outline};
  addRing(*c.path, star);
  c.path->setWindingRule(rule);
  return c;
}

Case randomCrossing(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0, 100);
  std::vector<Point> ring;
  for (int i = 0; i < n; ++i) ring.push_back({u(rng), u(rng)});
  Case c{"self-crossing " + std::to_string(n) + " #" + std::to_string(seed), BezierPath::bezierPath(), -1};
  addRing(*c.path, ring);
  return c;
}

Case circle(int n) {
  std::vector<Point> ring;
  for (int i = 0; i < n; ++i) ring.push_back({std::cos(2 * M_PI * i / n), std::sin(2 * M_PI * i / n)});
  Case c{"circle " + std::to_string(n), BezierPath::bezierPath(), std::fabs(shoelace(ring))};
  addRing(*c.path, ring);
  return c;
}

// A long, thin ellipse (a million wide, 75 high): points along two nearly straight chains.
Case flatEllipse(int n) {
  std::vector<Point> ring;
  for (int i = 0; i < n; ++i) ring.push_back({5e5 * std::cos(2 * M_PI * i / n), 37.5 * std::sin(2 * M_PI * i / n)});
  Case c{"flat ellipse " + std::to_string(n), BezierPath::bezierPath(), std::fabs(shoelace(ring))};
  addRing(*c.path, ring);
  return c;
}

std::vector<Case>& corpus() {
  static std::vector<Case> cases = [] {
    std::vector<Case> v;
    for (unsigned s = 1; s <= 5; ++s) v.push_back(starPolygon(100, s));
    for (unsigned s = 1; s <= 5; ++s) v.push_back(starPolygon(1000, s));
    for (unsigned s = 1; s <= 5; ++s) v.push_back(starPolygon(10000, s));
    for (unsigned s = 1; s <= 3; ++s) v.push_back(starPolygon(100000, s));
    for (unsigned s = 1; s <= 300; ++s) v.push_back(gridStaircase(s));
    v.push_back(glyphs("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "DejaVu Sans"));
    v.push_back(glyphs("/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf", "DejaVu Serif"));
    v.push_back(glyphs("/usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf", "Liberation Serif"));
    // Serif lower case at fine flatness: about 11 000 vertices.
    v.push_back(glyphs("/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf", "DejaVu Serif a-z fine", "abcdefghijklmnopqrstuvwxyz", 0.0005));
    v.push_back(areaUnderCurve(16000));
    v.push_back(pentagram(0));
    v.push_back(pentagram(1));
    for (unsigned s = 1; s <= 3; ++s) v.push_back(randomCrossing(200, s));
    v.push_back(circle(100000));
    v.push_back(flatEllipse(16384));
    v.push_back(starPolygon(1000000, 1));  // last: the memory figure uses it
    return v;
  }();
  return cases;
}

struct Check {
  bool correct = false;
  size_t triangles = 0;
};

Check check(const Case& c, const V2DTriangulation& t) {
  Check k;
  k.triangles = t.triangles.size() / 3;
  double area = 0;
  bool positive = true;
  for (size_t i = 0; i + 2 < t.triangles.size(); i += 3) {
    const Point a = t.vertices[t.triangles[i]], b = t.vertices[t.triangles[i + 1]], p = t.vertices[t.triangles[i + 2]];
    const double s = 0.5 * ((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x));
    area += s;
    positive &= s > 0;
  }
  // Inside: every triangle's centroid for small results, an even sample of 2 000 otherwise.
  bool inside = true;
  const size_t n = k.triangles, step = std::max<size_t>(1, n / (n > 200000 ? 100 : 2000));
  for (size_t i = 0; i < n && inside; i += step) {
    const Point a = t.vertices[t.triangles[3 * i]], b = t.vertices[t.triangles[3 * i + 1]], p = t.vertices[t.triangles[3 * i + 2]];
    inside = c.path->containsPoint({(a.x + b.x + p.x) / 3, (a.y + b.y + p.y) / 3});
  }
  k.correct = n > 0 && positive && inside && (c.area < 0 || std::fabs(area - c.area) <= 1e-9 * c.area);
  return k;
}

#ifdef VELLUM_HAVE_CGAL
using K = CGAL::Exact_predicates_inexact_constructions_kernel;
using Vb = CGAL::Triangulation_vertex_base_2<K>;
using Fbi = CGAL::Triangulation_face_base_with_info_2<int, K>;
using Fb = CGAL::Constrained_triangulation_face_base_2<K, Fbi>;
using Tds = CGAL::Triangulation_data_structure_2<Vb, Fb>;
using CDT = CGAL::Constrained_Delaunay_triangulation_2<K, Tds, CGAL::Exact_intersections_tag>;

// CGAL's constrained triangulation of the same segments, faces marked inside by the same
// winding flood fill (by nesting depth of constraints: the even-odd answer, which equals the
// non-zero one for the simple and nested inputs it is timed on).
size_t cgalTriangulate(const BezierPath& path) {
  CDT cdt;
  const auto& d = path.data();
  std::vector<Point> ring;
  auto flush = [&] {
    if (ring.size() >= 3) {
      std::vector<K::Point_2> pts;
      pts.reserve(ring.size());
      for (const Point& p : ring) pts.emplace_back(p.x, p.y);
      cdt.insert_constraint(pts.begin(), pts.end(), true);
    }
    ring.clear();
  };
  for (size_t i = 0; i < d.size(); ++i) {
    if (d.kinds[i] == detail::kMove) flush(), ring.push_back(d.points[d.offsets[i]]);
    else if (d.kinds[i] == detail::kLine) ring.push_back(d.points[d.offsets[i]]);
    else if (d.kinds[i] == detail::kClose) flush();
  }
  flush();
  for (auto f = cdt.all_faces_begin(); f != cdt.all_faces_end(); ++f) f->info() = -1;
  std::vector<CDT::Face_handle> queue{cdt.infinite_face()};
  cdt.infinite_face()->info() = 0;
  size_t inside = 0;
  while (!queue.empty()) {
    auto f = queue.back();
    queue.pop_back();
    if (f->info() % 2 == 1) ++inside;
    for (int i = 0; i < 3; ++i) {
      auto g = f->neighbor(i);
      if (g->info() != -1) continue;
      g->info() = f->info() + (cdt.is_constrained({f, i}) ? 1 : 0);
      queue.push_back(g);
    }
  }
  return inside;
}
#endif

V2DTriangulation ours(const Case& c) {
  return triangulateWithConstraints(V2DCollectTriangulationInput(*c.path), c.path->windingRule() == EvenOddWindingRule, false);
}

void runOurs(benchmark::State& state, const Case* c) {
  V2DTriangulation t;
  for (auto _ : state) {
    t = ours(*c);
    benchmark::DoNotOptimize(t.triangles.data());
  }
  // Checked outside the timed loop: the inside test walks the whole path per sample.
  const Check k = check(*c, t);
  state.counters["correct"] = k.correct;
  state.counters["triangles"] = double(k.triangles);
}

// Process CPU time: on a machine shared with other work, wall time measures the neighbours too.
double cpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

template <class F>
double medianMs(int runs, F&& f) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const double t0 = cpuMs();
    f();
    ms.push_back(cpuMs() - t0);
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  auto& cases = corpus();
  // The share correct over the whole corpus, before timing.
  std::map<std::string, std::pair<int, int>> share;
  for (const Case& c : cases) {
    const Check k = check(c, ours(c));
    const std::string family = c.name.substr(0, c.name.find_first_of("#0123456789"));
    share[family].first += k.correct;
    share[family].second += 1;
    if (!k.correct) std::printf("NOT CORRECT: %s (%zu triangles)\n", c.name.c_str(), k.triangles);
  }
  int good = 0, all = 0;
  for (const auto& [family, s] : share) {
    std::printf("%-24s %d / %d correct\n", family.c_str(), s.first, s.second);
    good += s.first, all += s.second;
  }
  std::printf("%-24s %d / %d correct\n\n", "all", good, all);

  for (const Case& c : cases) {
    if (c.name.rfind("grid", 0) == 0 && c.name != "grid #1") continue;  // one grid case is timed
    benchmark::RegisterBenchmark(("ours/" + c.name).c_str(), runOurs, &c)->Unit(benchmark::kMillisecond);
#ifdef VELLUM_HAVE_CGAL
    if (c.name.rfind("self-crossing", 0) != 0 && c.name.rfind("pentagram", 0) != 0)
      benchmark::RegisterBenchmark(("cgal/" + c.name).c_str(), [&c](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(cgalTriangulate(*c.path));
      })->Unit(benchmark::kMillisecond);
#endif
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  // The triangulator's own peak on the million-vertex star (the path and its collected input
  // are counted out).
  const Case& big = cases.back();
  const V2DTriangulationInput input = V2DCollectTriangulationInput(*big.path);
  const size_t before = heapInUse.load();
  heapPeak.store(before);
  benchmark::DoNotOptimize(triangulateWithConstraints(input, false, false).triangles.data());
  const double bytesPerVertex = double(heapPeak.load() - before) / double(input.vertices.size());
  std::printf("\nmemory: %.0f bytes per vertex (star of %zu vertices, triangulation and result)\n", bytesPerVertex,
              input.vertices.size());

#ifdef VELLUM_HAVE_CGAL
  // Ours over CGAL's, medians of CPU times, per case CGAL can take.
  std::vector<std::pair<double, std::string>> ratios;
  double star100k = 0;
  for (const Case& c : cases) {
    if (c.name.rfind("self-crossing", 0) == 0 || c.name.rfind("pentagram", 0) == 0) continue;
    if (c.name.rfind("grid", 0) == 0 && c.name != "grid #1") continue;
    const int runs = c.path->elementCount() > 200000 ? 3 : 7;
    const double us = medianMs(runs, [&] { benchmark::DoNotOptimize(ours(c).triangles.data()); });
    const double them = medianMs(runs, [&] { benchmark::DoNotOptimize(cgalTriangulate(*c.path)); });
    std::printf("%-34s ours %9.3f ms  cgal %9.3f ms  %.2fx (CPU time)\n", c.name.c_str(), us, them, us / them);
    ratios.push_back({us / them, c.name});
    if (c.name == "star 100000 #1") star100k = us / them;
  }
  std::vector<std::pair<double, std::string>> sorted = ratios;
  std::sort(sorted.begin(), sorted.end());
  std::printf("triangulation vs CGAL: median %.2f, worst %.2f (%s), star 100000 %.2f\n", sorted[sorted.size() / 2].first,
              sorted.back().first, sorted.back().second.c_str(), star100k);
#endif
  return 0;
}
