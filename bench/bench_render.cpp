// The renderer against Cairo called directly: 2 000 filled and stroked curved paths (a quarter
// of them dashed) into 1024 x 1024, and the cost of shadows at blur 5 and 50.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "patches/render/V2DImageWithBezierPathStructurePatch.h"
#include "path/BezierPath.h"

using namespace vellum;

namespace {

constexpr int kSide = 1024;
constexpr int kPaths = 2000;

struct Drawing {
  std::vector<std::shared_ptr<BezierPath>> paths;
  std::vector<Color> fills, strokes;
};

// Closed blobs of four cubic arcs, 20 to 90 pixels across, line widths 1 to 4.
const Drawing& drawing() {
  static const Drawing d = [] {
    Drawing d;
    std::mt19937 rng(20240601);
    std::uniform_real_distribution<double> pos(0, kSide), size(10, 45), jitter(0.7, 1.3), unit(0, 1), width(1, 4);
    for (int i = 0; i < kPaths; ++i) {
      const double cx = pos(rng), cy = pos(rng), r = size(rng), k = 0.5523 * r;
      const double a = r * jitter(rng), b = r * jitter(rng), c = r * jitter(rng), e = r * jitter(rng);
      auto p = BezierPath::bezierPath();
      p->moveToPoint({cx + a, cy});
      p->curveToPoint({cx, cy + b}, {cx + a, cy + k}, {cx + k, cy + b});
      p->curveToPoint({cx - c, cy}, {cx - k, cy + b}, {cx - c, cy + k});
      p->curveToPoint({cx, cy - e}, {cx - c, cy - k}, {cx - k, cy - e});
      p->curveToPoint({cx + a, cy}, {cx + k, cy - e}, {cx + a, cy - k});
      p->closePath();
      p->setLineWidth(width(rng));
      if (i % 4 == 0) p->setLineDash({6, 3}, 0);
      d.paths.push_back(p);
      d.fills.push_back(Color::colorWithRed(unit(rng), unit(rng), unit(rng), 0.8));
      d.strokes.push_back(Color::colorWithRed(unit(rng), unit(rng), unit(rng), 1));
    }
    return d;
  }();
  return d;
}

Structure structure(double shadowBlur) {
  const Drawing& d = drawing();
  Structure s;
  for (int i = 0; i < kPaths; ++i) {
    Structure e;
    e.addMember(Value(ObjectRef(d.paths[size_t(i)])), "path");
    e.addMember(2, "strokefill");
    e.addMember(d.strokes[size_t(i)], "stroke");
    e.addMember(d.fills[size_t(i)], "fill");
    if (shadowBlur >= 0) {
      e.addMember(true, "shadow");
      e.addMember(Size{3.5, -3.5}, "shadow-offset");
      e.addMember(shadowBlur, "shadow-blur");
      e.addMember(Color::colorWithRed(0, 0, 0, 0.5), "shadow-color");
    }
    s.addMember(Value(std::make_shared<const Structure>(std::move(e))));
  }
  return s;
}

void renderStructure(benchmark::State& state, const Structure& s) {
  BitmapBuffer buffer;
  uint64_t capacity = 0;
  for (auto _ : state) {
    auto image = V2DImageWithBezierPathStructurePatch::_newImageWithBezierPathStructure(
        &s, 0.01, kSide, kSide, true, Color::colorWithRed(1, 1, 1, 1), buffer, capacity);
    benchmark::DoNotOptimize(image);
  }
}

void BM_Renderer(benchmark::State& state) { renderStructure(state, structure(-1)); }

// The same drawing with Cairo calls straight into a bare image surface.
void BM_BareCairo(benchmark::State& state) {
  const Drawing& d = drawing();
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSide, kSide);
  for (auto _ : state) {
    cairo_t* cr = cairo_create(surface);
    cairo_set_tolerance(cr, 0.01);
    cairo_set_source_rgba(cr, 1, 1, 1, 1);
    cairo_paint(cr);
    cairo_translate(cr, 0, kSide);
    cairo_scale(cr, 1, -1);
    for (int i = 0; i < kPaths; ++i) {
      const BezierPath& p = *d.paths[size_t(i)];
      const auto& data = p.data();
      for (size_t k = 0; k < data.size(); ++k) {
        const Point* q = data.points.data() + data.offsets[k];
        switch (data.kinds[k]) {
          case detail::kMove: cairo_move_to(cr, q[0].x, q[0].y); break;
          case detail::kLine: cairo_line_to(cr, q[0].x, q[0].y); break;
          case detail::kCurve: cairo_curve_to(cr, q[0].x, q[0].y, q[1].x, q[1].y, q[2].x, q[2].y); break;
          default: cairo_close_path(cr); break;
        }
      }
      const Color& f = d.fills[size_t(i)];
      cairo_set_source_rgba(cr, f.red, f.green, f.blue, f.alpha);
      cairo_fill_preserve(cr);
      cairo_set_line_width(cr, p.lineWidth());
      cairo_set_dash(cr, p.lineDash().data(), int(p.lineDash().size()), p.dashPhase());
      const Color& s = d.strokes[size_t(i)];
      cairo_set_source_rgba(cr, s.red, s.green, s.blue, s.alpha);
      cairo_stroke(cr);
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
  }
  cairo_surface_destroy(surface);
}

void BM_RendererShadowed(benchmark::State& state) { renderStructure(state, structure(double(state.range(0)))); }

// One large shape (about 800 x 800) with or without a shadow (blur < 0: none).
void BM_LargeShape(benchmark::State& state) {
  auto p = BezierPath::bezierPath();
  p->appendBezierPathWithRoundedRect({{100, 100}, {800, 800}}, 60, 60);
  p->setLineWidth(8);
  Structure e;
  e.addMember(Value(ObjectRef(p)), "path");
  e.addMember(2, "strokefill");
  e.addMember(Color::colorWithRed(0, 0, 1, 1), "stroke");
  e.addMember(Color::colorWithRed(1, 0.8, 0.2, 1), "fill");
  if (state.range(0) >= 0) {
    e.addMember(true, "shadow");
    e.addMember(Size{3.5, -3.5}, "shadow-offset");
    e.addMember(double(state.range(0)), "shadow-blur");
    e.addMember(Color::colorWithRed(0, 0, 0, 0.5), "shadow-color");
  }
  Structure s;
  s.addMember(Value(std::make_shared<const Structure>(std::move(e))));
  renderStructure(state, s);
}

BENCHMARK(BM_BareCairo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Renderer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RendererShadowed)->Arg(5)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeShape)->Arg(-1)->Arg(5)->Arg(50)->Unit(benchmark::kMillisecond);

// Prints the ratios once every run is in, then the summary line. CPU time: the machine the
// figures are taken on is shared, and wall time counts the other jobs.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration || r.aggregate_name == "median") times_[r.run_name.str()] = r.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto t = [&](const std::string& name) {
      auto it = times_.find(name);
      return it == times_.end() ? 0.0 : it->second;
    };
    const double bare = t("BM_BareCairo"), ours = t("BM_Renderer"), none = t("BM_LargeShape/-1");
    if (bare > 0 && ours > 0) std::printf("\nrenderer / bare Cairo: %.3f (target <= 1.15)\n", ours / bare);
    for (const char* blur : {"5", "50"}) {
      const double shadowed = t(std::string("BM_RendererShadowed/") + blur);
      if (shadowed > 0 && ours > 0)
        std::printf("2000 shadowed paths, blur %s: %.1f ms, %.2fx the unshadowed drawing\n", blur, shadowed, shadowed / ours);
      const double large = t(std::string("BM_LargeShape/") + blur);
      if (large > 0 && none > 0)
        std::printf("one 800 x 800 shape, blur %s: %.2f ms with shadow, %.2f ms without (+%.2f ms)\n", blur, large, none,
                    large - none);
    }
    std::printf("shadows: 800px blur 5 +%.2f ms, blur 50 +%.2f ms; 2000 paths blur 50 %.2f x unshadowed; renderer/cairo %.3f\n",
                t("BM_LargeShape/5") - none, t("BM_LargeShape/50") - none, ours > 0 ? t("BM_RendererShadowed/50") / ours : 0.0,
                bare > 0 ? ours / bare : 0.0);
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
