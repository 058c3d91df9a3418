// SVG drawings of 100, 1 000 and 10 000 elements read and rendered end to end: "Vellum Vector
// With SVG" plus "Vellum Image With Vector Structure" against librsvg loading and rendering the
// same files into a Cairo surface of the same size, in the same run.
//
// The drawings: a background rectangle over the whole canvas (so both renderers frame the
// document identically), then groups three levels deep with translate / rotate / scale
// transforms and inherited fill, stroke and stroke width, holding closed cubic blobs, stars
// made of lines and circles. Both sides flatten curves with Cairo's default tolerance of 0.1.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <sys/resource.h>
#include <librsvg/rsvg.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "patches/render/V2DImageWithBezierPathStructurePatch.h"
#include "patches/sources/V2DBezierPathStructureWithSVGPatch.h"

using namespace vellum;
namespace fs = std::filesystem;

namespace {

// Canvas sides: each drawing is made for both, at its own size (the larger shows where per-pixel
// work dominates, the smaller where reading does).
constexpr int kLarge = 800, kSmall = 256;
constexpr double kTolerance = 0.1;  // Cairo's default, which librsvg leaves in place

std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

std::string color(std::mt19937& rng) {
  static const char* hex = "0123456789abcdef";
  std::string c = "#";
  for (int i = 0; i < 6; ++i) c += hex[rng() % 16];
  return c;
}

// A drawing of `elements` shapes (plus the background) on a side x side canvas, written once.
std::string drawingFile(int elements, int side) {
  static std::map<std::pair<int, int>, std::string> files;
  if (auto it = files.find({elements, side}); it != files.end()) return it->second;
  std::mt19937 rng(unsigned(elements) * 7919u);
  const double k = side / 800.0;
  std::uniform_real_distribution<double> pos(0.05 * side, 0.95 * side), size(4 * k, 18 * k), angle(-40, 40),
      scale(0.7, 1.3), unit(0, 1);
  std::string s = "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(side) +
                  "\" height=\"" + std::to_string(side) + "\">\n<rect width=\"" + std::to_string(side) +
                  "\" height=\"" + std::to_string(side) + "\" fill=\"#f4f1ea\"/>\n";
  int written = 0;
  while (written < elements) {
    // Outer group: placement and paint that its inner groups inherit.
    s += "<g transform=\"translate(" + number(pos(rng) - side / 2.0) + "," + number(pos(rng) - side / 2.0) +
         ")\" fill=\"" + color(rng) + "\" stroke=\"" + color(rng) + "\" stroke-width=\"" + number(0.5 + 2 * unit(rng)) +
         "\">\n";
    for (int inner = 0; inner < 4 && written < elements; ++inner) {
      const double cx = pos(rng), cy = pos(rng);
      s += " <g transform=\"rotate(" + number(angle(rng)) + " " + number(cx) + " " + number(cy) + ")\" fill-opacity=\"" +
           number(0.5 + 0.5 * unit(rng)) + "\">\n  <g transform=\"translate(" + number(cx) + "," + number(cy) +
           ") scale(" + number(scale(rng)) + ")\">\n";
      for (int k = 0; k < 6 && written < elements; ++k, ++written) {
        const double x = size(rng) * 3 - 27 * k, y = size(rng) * 3 - 27 * k, r = size(rng), q = 0.55 * r;
        switch (k % 3) {
          case 0:  // a closed blob of four cubic arcs, inherited paint
            s += "   <path d=\"M" + number(x + r) + " " + number(y) + " C" + number(x + r) + " " + number(y + q) + " " +
                 number(x + q) + " " + number(y + r) + " " + number(x) + " " + number(y + r) + " C" + number(x - q) +
                 " " + number(y + r) + " " + number(x - r) + " " + number(y + q) + " " + number(x - r) + " " +
                 number(y) + " c0 " + number(-q) + " " + number(r - q) + " " + number(-r) + " " + number(r) + " " +
                 number(-r) + " C" + number(x + q) + " " + number(y - r) + " " + number(x + r) + " " + number(y - q) +
                 " " + number(x + r) + " " + number(y) + " Z\"/>\n";
            break;
          case 1:  // a star outline with its own fill
            s += "   <polygon points=\"";
            for (int p = 0; p < 10; ++p) {
              const double a = p * 3.14159265358979 / 5, rr = p % 2 ? r * 0.45 : r;
              s += number(x + rr * std::cos(a)) + "," + number(y + rr * std::sin(a)) + " ";
            }
            s += "\" fill=\"" + color(rng) + "\" stroke-linejoin=\"round\"/>\n";
            break;
          default:  // a circle, stroked only
            s += "   <circle cx=\"" + number(x) + "\" cy=\"" + number(y) + "\" r=\"" + number(r * 0.6) +
                 "\" fill=\"none\"/>\n";
            break;
        }
      }
      s += "  </g>\n </g>\n";
    }
    s += "</g>\n";
  }
  s += "</svg>\n";
  const fs::path file = fs::temp_directory_path() /
                        ("vellum-bench-svg-" + std::to_string(elements) + "-" + std::to_string(side) + ".svg");
  std::ofstream(file, std::ios::binary) << s;
  return files[{elements, side}] = file.string();
}

void BM_Vellum(benchmark::State& state) {
  const int side = int(state.range(1));
  const std::string file = drawingFile(int(state.range(0)), side);
  V2DBezierPathStructureWithSVGPatch reader;
  V2DImageWithBezierPathStructurePatch render;
  render.inputWidth.setIndexValue(uint64_t(side));
  render.inputHeight.setIndexValue(uint64_t(side));
  render.inputFlatness.setDoubleValue(kTolerance);
  reader.inputFile.setStringValue(file);
  for (auto _ : state) {
    reader.execute(nullptr, 0, {});
    render.inputBezierPaths.setStructureValue(reader.outputBezierPaths.structureValue());
    render.execute(nullptr, 0, {});
    benchmark::DoNotOptimize(render.outputImage.imageValue());
  }
  const auto image = render.outputImage.imageValue();
  if (!image || image->width() != side || reader.outputBezierPaths.structureValue()->count() != size_t(state.range(0)) + 1)
    state.SkipWithError("unexpected result");
}

// The reading alone, to show where the time of BM_Vellum goes.
void BM_VellumReadOnly(benchmark::State& state) {
  V2DBezierPathStructureWithSVGPatch reader;
  reader.inputFile.setStringValue(drawingFile(int(state.range(0)), int(state.range(1))));
  for (auto _ : state) {
    reader.execute(nullptr, 0, {});
    benchmark::DoNotOptimize(reader.outputBezierPaths.structureValue());
  }
}

void BM_Librsvg(benchmark::State& state) {
  const int side = int(state.range(1));
  const std::string file = drawingFile(int(state.range(0)), side);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side, side);
  for (auto _ : state) {
    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_file(file.c_str(), &error);
    if (!handle) {
      state.SkipWithError("librsvg could not read the drawing");
      if (error) g_error_free(error);
      break;
    }
    cairo_t* cr = cairo_create(surface);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);  // a cleared canvas, as the renderer starts with
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    const RsvgRectangle viewport{0, 0, double(side), double(side)};
    rsvg_handle_render_document(handle, cr, &viewport, &error);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    g_object_unref(handle);
    if (error) g_error_free(error);
  }
  cairo_surface_destroy(surface);
}

// One "d" attribute of 5 MB (random short relative lines and curves, the way a traced drawing
// writes them), stroked: read and drawn at 800 x 800, with the peak resident memory so far.
std::string bigPathFile() {
  static std::string file;
  if (!file.empty()) return file;
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> step(-3, 3);
  std::string d = "M400 400";  // a dense walk that stays on the canvas: the stroker's worst case
  while (d.size() < 5'000'000) {
    d += rng() % 2 ? " l" + number(step(rng)) + " " + number(step(rng))
                   : " c" + number(step(rng)) + " " + number(step(rng)) + " " + number(step(rng)) + " " +
                         number(step(rng)) + " " + number(step(rng)) + " " + number(step(rng));
  }
  const fs::path path = fs::temp_directory_path() / "vellum-bench-svg-5mb.svg";
  std::ofstream(path, std::ios::binary) << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"800\" height=\"800\">"
                                        << "<path fill=\"none\" stroke=\"black\" stroke-width=\"1.5\" d=\"" << d
                                        << "\"/></svg>\n";
  return file = path.string();
}

void BM_VellumBigPath(benchmark::State& state) {
  V2DBezierPathStructureWithSVGPatch reader;
  V2DImageWithBezierPathStructurePatch render;
  render.inputWidth.setIndexValue(800);
  render.inputHeight.setIndexValue(800);
  render.inputFlatness.setDoubleValue(kTolerance);
  reader.inputFile.setStringValue(bigPathFile());
  for (auto _ : state) {
    reader.execute(nullptr, 0, {});
    render.inputBezierPaths.setStructureValue(reader.outputBezierPaths.structureValue());
    render.execute(nullptr, 0, {});
    benchmark::DoNotOptimize(render.outputImage.imageValue());
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024;
}

void BM_LibrsvgBigPath(benchmark::State& state) {
  const std::string file = bigPathFile();
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 800, 800);
  for (auto _ : state) {
    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_file(file.c_str(), &error);
    if (!handle) break;
    cairo_t* cr = cairo_create(surface);
    const RsvgRectangle viewport{0, 0, 800, 800};
    rsvg_handle_render_document(handle, cr, &viewport, &error);
    cairo_destroy(cr);
    g_object_unref(handle);
    if (error) g_error_free(error);
  }
  cairo_surface_destroy(surface);
}

BENCHMARK(BM_VellumBigPath)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LibrsvgBigPath)->Unit(benchmark::kMillisecond)->Iterations(1);

#define SIZES ArgsProduct({{100, 1000, 10000}, {kLarge, kSmall}})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_Vellum)->SIZES;
BENCHMARK(BM_VellumReadOnly)->ArgsProduct({{100, 1000, 10000}, {kLarge}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Librsvg)->SIZES;

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration || r.aggregate_name == "median") times_[r.run_name.str()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const char* side : {"800", "256"})
      for (const char* n : {"100", "1000", "10000"}) {
        const std::string key = std::string(n) + "/" + side;
        const double ours = times_["BM_Vellum/" + key], theirs = times_["BM_Librsvg/" + key];
        if (ours > 0 && theirs > 0)
          std::printf("%5s elements, %s x %s: librsvg / Vellum = %.2fx (target >= 2)\n", n, side, side, theirs / ours);
      }
    // Reading alone against librsvg reading and rendering, on the same 800 x 800 drawing.
    const double read = times_["BM_VellumReadOnly/1000/800"], librsvg = times_["BM_Librsvg/1000/800"];
    if (read > 0 && librsvg > 0)
      std::printf("1000 elements: librsvg read and render / Vellum read = %.2fx (target >= 3)\n", librsvg / read);
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
