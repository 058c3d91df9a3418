// Solids: the extrusion of "Goodbye World!" (size 200, smoothed) and the lathe of a 1 000-segment
// profile in 64 steps with caps, split into their stages. The anchor is the caps' triangulation:
// the walls and the mesh writer together should cost less than it. The extrusion runs in
// DejaVuSerif-Bold (argument 0) and DejaVuSans-Bold (argument 1): the split line says how many
// cap triangles each triangulation gave, since a failed one gives none.
// Then the structures themselves: heap bytes per segment of a line structure and per triangle of
// a mesh structure (glibc's count of bytes in use, before and after), the writers' time against
// the geometry they write, and JSON out and in of a 100 000-member mesh structure.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/JsonValue.h"
#include "patches/geometry/V2DLineStructurePatch.h"

#include "mesh/Solids.h"
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
  return text.outputBezierPath.bezierPathValue()->bezierPathByFlatteningPathWithFlatness(0.01);
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

size_t heapInUse() { return mallinfo2().uordblks; }

// Heap bytes that the structure `make` answers holds, made and measured `runs` times (median).
template <class F>
double heapBytes(int runs, F make) {
  std::vector<double> bytes;
  for (int i = 0; i < runs; ++i) {
    const size_t before = heapInUse();
    auto kept = make();
    bytes.push_back(double(heapInUse()) - double(before));
  }
  std::sort(bytes.begin(), bytes.end());
  return bytes[bytes.size() / 2];
}

// A polyline of `segments` segments, closed by its last one when `closed`.
std::shared_ptr<BezierPath> zigzag(int segments, bool closed = false) {
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  for (int i = 1; i <= segments - closed; ++i) path->lineToPoint({i * 0.5, (i % 7) * 1.25});
  if (closed) path->closePath();
  return path;
}

size_t residentKB() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return size_t(resident) * size_t(sysconf(_SC_PAGESIZE)) / 1024;
}

// The extrusion patch on a closed polyline of `segments` segments, walls only (the caps'
// triangulation has its own limit), smoothed, in a child process: its peak resident memory above
// what it started with, in MB, and the triangles it gave.
std::pair<double, size_t> extrusionPeak(int segments) {
  std::fflush(stdout);
  int fd[2];
  if (pipe(fd) != 0) return {-1, 0};
  const pid_t child = fork();
  if (child == 0) {
    close(fd[0]);
    const auto path = zigzag(segments, true);
    const size_t start = residentKB();
    V2DExtrusionTriangleStructurePatch patch("bench");
    patch.inputBezierPath.setBezierPathValue(path);
    patch.inputFrontCap.setBooleanValue(false);
    patch.inputBackCap.setBooleanValue(false);
    patch.inputSmooth.setIndexValue(1);
    patch.inputDepth.setDoubleValue(5);
    patch.execute(nullptr, 0, {});
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const StructureRef mesh = patch.outputTriangles.structureValue();
    const double r[2] = {(double(usage.ru_maxrss) - double(start)) / 1024, mesh ? double(mesh->count() / 3) : 0.0};
    _exit(write(fd[1], r, sizeof r) == sizeof r ? 0 : 1);
  }
  close(fd[1]);
  double r[2] = {-1, 0};
  if (read(fd[0], r, sizeof r) != sizeof r) r[0] = -1;
  close(fd[0]);
  waitpid(child, nullptr, 0);
  return {r[0], size_t(r[1])};
}

void printStructures() {
  constexpr int kSegments = 200000;
  const auto path = zigzag(kSegments);
  const double lineBytes = heapBytes(3, [&] { return V2DLineStructurePatch::_lineStructureForBezierPath(path.get()); });

  auto& l = lathe();
  V2DTriangleList t;
  V2DTriangleIndexMap m;
  l.patch._latheStructureForBezierPath(l.path.get(), t, m);
  const double meshBytes = heapBytes(3, [&] { return V2DMeshStructureFromTriangles(t, m, true); });
  const double bands = medianMs(5, [&] {
    V2DTriangleList t2;
    V2DTriangleIndexMap m2;
    l.patch._latheStructureForBezierPath(l.path.get(), t2, m2);
  });
  const double latheWriter = medianMs(5, [&] { V2DMeshStructureFromTriangles(t, m, true); });

  double extrusionRatio = 0;
  for (int64_t font = 0; font < 2; ++font) {
    auto& e = extrusion(font);
    const ExtrusionStages& stages = stagesFor(font);
    const double walls = medianMs(7, [&] {
      V2DTriangleList w;
      V2DTriangleIndexMap wm;
      e.patch._extrusionStructureForBezierPath(e.path.get(), kDepth, w, wm);
    });
    const double writer = medianMs(7, [&] { V2DMeshStructureFromTriangles(stages.triangles, stages.map, true); });
    extrusionRatio = std::max(extrusionRatio, writer / walls);
  }

  // JSON of the first 100 000 vertices of the lathe.
  V2DTriangleList first(t.begin(), t.begin() + std::min<size_t>(t.size(), 33334));
  const Value mesh(std::make_shared<const Structure>(V2DMeshStructureFromTriangles(first, m, true)));
  std::string text;
  const double jsonOut = medianMs(3, [&] { text = cli::dumpJson(cli::toJson(mesh)); });
  const double jsonIn = medianMs(3, [&] { benchmark::DoNotOptimize(cli::fromJson(cli::parseJson(text, "bench"))); });

  std::printf("line structure of %d segments: %.0f heap bytes/segment (its numbers: 48)\n", kSegments,
              lineBytes / kSegments);
  std::printf("lathe mesh structure of %zu triangles: %.0f heap bytes/triangle (its numbers as doubles: 144); writer "
              "%.2f ms, bands %.2f ms\n",
              t.size(), meshBytes / double(t.size()), latheWriter, bands);
  std::printf("JSON of a %zu-member mesh structure (%zu bytes): out %.1f ms, in %.1f ms\n", mesh.structure()->count(),
              text.size(), jsonOut, jsonIn);
  std::printf("structures: line %.0f bytes/segment, mesh %.0f bytes/triangle, lathe writer/bands %.2f, extrusion "
              "writer/walls %.2f\n",
              lineBytes / kSegments, meshBytes / double(t.size()), latheWriter / bands, extrusionRatio);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  // First, while this process is small.
  const auto [peakMB, extruded] = extrusionPeak(1 << 20);
  printSplit();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("extrusion of 1048576 segments (walls only, smoothed, %zu triangles): peak %.0f MB above the start\n",
              extruded, peakMB);
  printStructures();
  return 0;
}
