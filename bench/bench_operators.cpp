// Path operators against their anchors, measured in one run:
// - Vector Morph: a frame that only moves the time (cached pairing) and a frame that rebuilds the
//   pairing, for each pairing algorithm, against flattening the same two inputs.
// - Resampling a 10 000-segment path at rate 10 000 against cairo_copy_path_flat on that path.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>

#include "patches/operators/ResamplePatches.h"
#include "patches/operators/V2DBezierPathMorphPatch.h"
#include "render/Renderer.h"

using namespace vellum;

namespace {

constexpr double kFlatness = 0.01;

// A closed outline of `petals` cubic lobes around a circle: glyph-like curvature, about 2 000
// vertices once flattened at 0.01 for the sizes used here.
std::shared_ptr<BezierPath> flower(int petals, double radius, double depth, double cx) {
  auto path = BezierPath::bezierPath();
  auto at = [&](double a, double r) { return Point{cx + r * std::cos(a), r * std::sin(a)}; };
  const double step = 2 * M_PI / petals;
  path->moveToPoint(at(0, radius));
  for (int i = 0; i < petals; ++i) {
    const double a0 = i * step, a1 = (i + 1) * step;
    path->curveToPoint(at(a1, radius), at(a0 + step / 3, radius + depth), at(a0 + 2 * step / 3, radius - depth / 2));
  }
  path->closePath();
  return path;
}

struct MorphInputs {
  std::shared_ptr<BezierPath> start = flower(28, 200, 40, 0), end = flower(25, 180, 60, 30);
};

const MorphInputs& morphInputs() {
  static const MorphInputs inputs;
  return inputs;
}

void setUpMorph(V2DBezierPathMorphPatch& patch, int64_t algorithm) {
  patch.inputBezierPathStart.setBezierPathValue(morphInputs().start);
  patch.inputBezierPathEnd.setBezierPathValue(morphInputs().end);
  patch.inputPairingAlgorithm.setIndexValue(uint64_t(algorithm));
  patch.execute(nullptr, 0.5, {});
  for (Port* p : patch.inputPorts()) p->setUpdated(false);
}

void vertexCounters(benchmark::State& state) {
  state.counters["startElements"] =
      double(morphInputs().start->bezierPathByFlatteningPathWithFlatness(kFlatness)->elementCount());
  state.counters["endElements"] =
      double(morphInputs().end->bezierPathByFlatteningPathWithFlatness(kFlatness)->elementCount());
}

void BM_MorphCachedFrame(benchmark::State& state) {
  V2DBezierPathMorphPatch patch("m");
  setUpMorph(patch, state.range(0));
  double t = 0.1;
  for (auto _ : state) {
    t = t > 0.8 ? 0.1 : t + 0.01;
    patch.execute(nullptr, t, {});
    benchmark::DoNotOptimize(patch.outputBezierPath.bezierPathValue().get());
  }
  vertexCounters(state);
}

void BM_MorphRebuildFrame(benchmark::State& state) {
  V2DBezierPathMorphPatch patch("m");
  setUpMorph(patch, state.range(0));
  for (auto _ : state) {
    patch.inputBezierPathStart.setUpdated(true);
    patch.execute(nullptr, 0.5, {});
    benchmark::DoNotOptimize(patch.outputBezierPath.bezierPathValue().get());
  }
}

// The anchor: the bare flattening of both inputs that every morph frame does.
void BM_MorphAnchorFlattenBoth(benchmark::State& state) {
  for (auto _ : state) {
    auto a = morphInputs().start->bezierPathByFlatteningPathWithFlatness(kFlatness);
    auto b = morphInputs().end->bezierPathByFlatteningPathWithFlatness(kFlatness);
    benchmark::DoNotOptimize(a.get());
    benchmark::DoNotOptimize(b.get());
  }
}

// 10 000 segments: a wave of cubic curves, or of straight lines.
std::shared_ptr<BezierPath> wave(bool curves) {
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  for (int i = 0; i < 10000; ++i) {
    const double x = i * 10.0;
    const double sign = (i & 1) ? -1 : 1;
    if (curves)
      path->curveToPoint({x + 10, 0}, {x + 3, 8 * sign}, {x + 7, 8 * sign});
    else
      path->lineToPoint({x + 10, 8 * sign});
  }
  return path;
}

void BM_Resample10kSegments(benchmark::State& state) {
  const auto path = wave(state.range(0) != 0);
  size_t elements = 0;
  for (auto _ : state) {
    auto out = V2DBezierPathResamplePatch::_resampleBezierPath(path.get(), 10000, kNoPointLimit,
                                                               false, kFlatness, false);
    elements = out->elementCount();
    benchmark::DoNotOptimize(out.get());
  }
  state.counters["outElements"] = double(elements);
}

void BM_CairoCopyPathFlat10kSegments(benchmark::State& state) {
  const auto path = wave(state.range(0) != 0);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(surface);
  cairo_set_tolerance(cr, kFlatness);
  appendPath(cr, path->quartzPath());
  int elements = 0;
  for (auto _ : state) {
    cairo_path_t* flat = cairo_copy_path_flat(cr);
    // Walk it, as the resampler walks its flattened path.
    double length = 0, px = 0, py = 0;
    for (int i = 0; i < flat->num_data; i += flat->data[i].header.length) {
      const cairo_path_data_t* d = &flat->data[i];
      if (d->header.type == CAIRO_PATH_LINE_TO) length += std::hypot(d[1].point.x - px, d[1].point.y - py);
      if (d->header.type != CAIRO_PATH_CLOSE_PATH) px = d[1].point.x, py = d[1].point.y;
      ++elements;
    }
    benchmark::DoNotOptimize(length);
    cairo_path_destroy(flat);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

}  // namespace

BENCHMARK(BM_MorphAnchorFlattenBoth)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MorphCachedFrame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MorphRebuildFrame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Resample10kSegments)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CairoCopyPathFlat10kSegments)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
