// Solids: the extrusion of "Goodbye World!" (size 200, smoothed) and the lathe of a 1 000-segment
// profile in 64 steps with caps, split into their stages. The anchor is the caps' triangulation:
// the walls and the mesh writer together should cost less than it. The extrusion runs in
// DejaVuSerif-Bold (argument 0) and DejaVuSans-Bold (argument 1): the split line says how many
// cap triangles each triangulation gave, since a failed one gives none.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "patches/geometry/SolidGeometry.h"
#include "patches/geometry/V2DExtrusionTriangleStructurePatch.h"
#include "patches/geometry/V2DLatheTriangleStructurePatch.h"
#include "patches/sources/V2DBezierPathWithStringPatch.h"

using namespace vellum;

namespace {

constexpr float kDepth = 40;

const char* const kFonts[2] = {"DejaVuSerif-Bold", "DejaVuSans-Bold"};

std::shared_ptr<BezierPath> lettering(const char* font) {
  V2DBezierPathWithStringPatch text("bench");
  text.inputString.setStringValue("Goodbye World!");
  text.inputFontName.setStringValue(font);
  text.inputFontSize.setDoubleValue(200);
  text.execute(nullptr, 0, {});
  return solids::withoutStackedMoves(*text.outputBezierPath.bezierPathValue()->bezierPathByFlatteningPathWithFlatness(0.01));
}

// A vase-like open profile from the axis at the top down to the axis at the bottom.
std::shared_ptr<BezierPath> profile(int segments) {
  auto path = BezierPath::bezierPath();
  for (int i = 0; i <= segments; ++i) {
    const double t = double(i) / segments, y = 100 * (1 - t);
    const double x = (i == 0 || i == segments) ? 0 : 20 + 12 * std::sin(t * 9) + 25 * std::sin(t * 3.1);
    if (i == 0) path->moveToPoint({x, y});
    else path->lineToPoint({x, y});
  }
  return path;
}

struct Extrusion {
  std::shared_ptr<BezierPath> path;
  V2DExtrusionTriangleStructurePatch patch{"bench"};
  explicit Extrusion(const char* font) : path(lettering(font)) { patch.inputSmooth.setIndexValue(1); }
};

struct Lathe {
  std::shared_ptr<BezierPath> path = profile(1000);
  V2DLatheTriangleStructurePatch patch{"bench"};
  Lathe() {
    patch.inputAngleEnd.setDoubleValue(360);
    patch.inputAngleSteps.setIndexValue(64);
    patch.inputTopCap.setBooleanValue(true);
    patch.inputBottomCap.setBooleanValue(true);
    patch.inputSmooth.setIndexValue(1);
  }
};

Extrusion& extrusion(int64_t font) {
  static Extrusion e[2] = {Extrusion(kFonts[0]), Extrusion(kFonts[1])};
  return e[font];
}
Lathe& lathe() {
  static Lathe l;
  return l;
}

// Stage inputs, made once.
struct ExtrusionStages {
  V2DTriangleList triangles;
  V2DTriangleIndexMap map;
  size_t capTriangles = 0;
  explicit ExtrusionStages(int64_t font) {
    auto& e = extrusion(font);
    V2DTriangleList back = V2DExtrusionTriangleStructurePatch::_capsForBezierPath(e.path.get(), false, kDepth, true, true, triangles);
    capTriangles = triangles.size() + back.size();
    e.patch._extrusionStructureForBezierPath(e.path.get(), kDepth, triangles, map);
    triangles.insert(triangles.end(), back.begin(), back.end());
  }
};

ExtrusionStages& stagesFor(int64_t font) {
  static ExtrusionStages s[2] = {ExtrusionStages(0), ExtrusionStages(1)};
  return s[font];
}

void BM_ExtrusionCapsTriangulation(benchmark::State& state) {
  auto& e = extrusion(state.range(0));
  for (auto _ : state) {
    V2DTriangleList triangles;
    benchmark::DoNotOptimize(V2DExtrusionTriangleStructurePatch::_capsForBezierPath(e.path.get(), false, kDepth, true, true, triangles));
  }
}

void BM_ExtrusionWalls(benchmark::State& state) {
  auto& e = extrusion(state.range(0));
  for (auto _ : state) {
    V2DTriangleList triangles;
    V2DTriangleIndexMap map;
    e.patch._extrusionStructureForBezierPath(e.path.get(), kDepth, triangles, map);
    benchmark::DoNotOptimize(triangles.data());
  }
}

void BM_ExtrusionMeshWriter(benchmark::State& state) {
  const ExtrusionStages& stages = stagesFor(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(V2DMeshStructureFromTriangles(stages.triangles, stages.map, true));
  state.counters["triangles"] = double(stages.triangles.size());
}

void BM_LatheBands(benchmark::State& state) {
  auto& l = lathe();
  for (auto _ : state) {
    V2DTriangleList triangles;
    V2DTriangleIndexMap map;
    l.patch._latheStructureForBezierPath(l.path.get(), triangles, map);
    benchmark::DoNotOptimize(triangles.data());
  }
}

void BM_LatheMeshWriter(benchmark::State& state) {
  auto& l = lathe();
  static V2DTriangleList triangles;
  static V2DTriangleIndexMap map;
  if (triangles.empty()) l.patch._latheStructureForBezierPath(l.path.get(), triangles, map);
  for (auto _ : state) benchmark::DoNotOptimize(V2DMeshStructureFromTriangles(triangles, map, true));
  state.counters["triangles"] = double(triangles.size());
}

BENCHMARK(BM_ExtrusionCapsTriangulation)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtrusionWalls)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtrusionMeshWriter)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LatheBands)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LatheMeshWriter)->Unit(benchmark::kMillisecond);

// The median time of `runs` calls, in milliseconds.
double medianMs(int runs, const std::function<void()>& f) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    const auto a = std::chrono::steady_clock::now();
    f();
    t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// One line per solid with the split, measured side by side in this run.
void printSplit() {
  for (int64_t font = 0; font < 2; ++font) {
    auto& e = extrusion(font);
    const ExtrusionStages& stages = stagesFor(font);
    const double caps = medianMs(7, [&] {
      V2DTriangleList t;
      V2DExtrusionTriangleStructurePatch::_capsForBezierPath(e.path.get(), false, kDepth, true, true, t);
    });
    const double walls = medianMs(7, [&] {
      V2DTriangleList t;
      V2DTriangleIndexMap m;
      e.patch._extrusionStructureForBezierPath(e.path.get(), kDepth, t, m);
    });
    const double writer = medianMs(7, [&] { V2DMeshStructureFromTriangles(stages.triangles, stages.map, true); });
    std::printf("extrusion, %s (%zu path elements, %zu triangles, %zu of them caps): caps' triangulation %.2f ms,"
                " walls %.2f ms, mesh writer %.2f ms; walls + writer = %.2f x the triangulation (target < 1)\n",
                kFonts[font], e.path->elementCount(), stages.triangles.size(), stages.capTriangles, caps, walls, writer,
                (walls + writer) / caps);
  }
  auto& l = lathe();
  V2DTriangleList t;
  V2DTriangleIndexMap m;
  l.patch._latheStructureForBezierPath(l.path.get(), t, m);
  const double bands = medianMs(5, [&] {
    V2DTriangleList t2;
    V2DTriangleIndexMap m2;
    l.patch._latheStructureForBezierPath(l.path.get(), t2, m2);
  });
  const double latheWriter = medianMs(5, [&] { V2DMeshStructureFromTriangles(t, m, true); });
  std::printf("lathe (1000 segments, 64 steps, caps, %zu triangles): bands %.2f ms, mesh writer %.2f ms (no triangulation)\n",
              t.size(), bands, latheWriter);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  printSplit();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
