// The SVG comparison: each file of a corpus read by "Vellum Vector With SVG", drawn by "Vellum
// Image With Vector Structure", and drawn by rsvg-convert in the same frame (the document's
// viewport, scaled so its longer side is 256 to 1024 pixels). Both images are put over white;
// a pixel differs when no pixel of the other image within one pixel of it is within a quarter
// of full scale on every channel. Prints each file's share of differing pixels and time, then
// the summary and the worst ten.
//
//   svg_compare LIST_FILE [OUT_FOLDER]   (one SVG file name a line)
#include <cairo.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/Log.h"
#include "patches/render/V2DImageWithBezierPathStructurePatch.h"
#include "patches/sources/V2DBezierPathStructureWithSVGPatch.h"

using namespace vellum;
namespace fs = std::filesystem;

namespace {

constexpr int kTolerance = 64;  // a quarter of 255

struct Rgb {
  int w = 0, h = 0;
  std::vector<uint8_t> p;  // r g b per pixel, over white
};

Rgb overWhite(int w, int h, const uint8_t* rgba, bool premultiplied, int stride, bool argbWords) {
  Rgb out{w, h, std::vector<uint8_t>(size_t(w) * size_t(h) * 3)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* s = rgba + size_t(y) * size_t(stride) + size_t(x) * 4;
      int r, g, b, a;
      if (argbWords) {
        uint32_t word;
        std::memcpy(&word, s, 4);
        a = int(word >> 24), r = int((word >> 16) & 255), g = int((word >> 8) & 255), b = int(word & 255);
      } else {
        r = s[0], g = s[1], b = s[2], a = s[3];
      }
      if (!premultiplied) r = r * a / 255, g = g * a / 255, b = b * a / 255;
      uint8_t* d = out.p.data() + (size_t(y) * size_t(w) + size_t(x)) * 3;
      d[0] = uint8_t(r + 255 - a), d[1] = uint8_t(g + 255 - a), d[2] = uint8_t(b + 255 - a);
    }
  return out;
}

// Pixels of `a` with no pixel of `b` within one pixel and a quarter on every channel.
std::vector<bool> unmatched(const Rgb& a, const Rgb& b) {
  std::vector<bool> bad(a.p.size() / 3);
  for (int y = 0; y < a.h; ++y)
    for (int x = 0; x < a.w; ++x) {
      const uint8_t* pa = &a.p[(size_t(y) * size_t(a.w) + size_t(x)) * 3];
      bool found = false;
      for (int dy = -1; dy <= 1 && !found; ++dy)
        for (int dx = -1; dx <= 1 && !found; ++dx) {
          const int xx = x + dx, yy = y + dy;
          if (xx < 0 || yy < 0 || xx >= b.w || yy >= b.h) continue;
          const uint8_t* pb = &b.p[(size_t(yy) * size_t(b.w) + size_t(xx)) * 3];
          found = std::abs(pa[0] - pb[0]) <= kTolerance && std::abs(pa[1] - pb[1]) <= kTolerance &&
                  std::abs(pa[2] - pb[2]) <= kTolerance;
        }
      bad[size_t(y) * size_t(a.w) + size_t(x)] = !found;
    }
  return bad;
}

struct Result {
  std::string file;
  double share = -1;  // -1: not compared
  double seconds = 0;
  int width = 0, height = 0;
  std::string note;
};

std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

Result compare(const std::string& file, const fs::path& out, size_t index) {
  Result r;
  r.file = file;
  const auto start = std::chrono::steady_clock::now();
  V2DBezierPathStructureWithSVGPatch reader;
  reader.inputFile.setStringValue(file);
  reader.execute(nullptr, 0, {});
  StructureRef entries = reader.outputBezierPaths.structureValue();
  const Size doc = reader.reader.documentSize;
  if (!(doc.width > 0) || !(doc.height > 0)) {
    r.note = "no intrinsic size";
    return r;
  }
  const double longer = std::max(doc.width, doc.height);
  const double k = std::clamp(longer, 256.0, 1024.0) / longer;
  r.width = std::max(1, int(std::lround(doc.width * k)));
  r.height = std::max(1, int(std::lround(doc.height * k)));
  // Back into the document's frame (the reader flipped within flipHeight), scaled by k, y up
  // from the image's lower edge.
  AffineTransform place;
  place.setTransformStruct(k, 0, 0, k, 0, r.height - k * reader.reader.flipHeight);
  auto placed = std::make_shared<Structure>();
  if (entries)
    for (const auto& m : *entries) {
      auto e = m.value.structure();
      auto path = e ? e->memberForKey("path").objectAs<BezierPath>() : nullptr;
      if (!path) continue;
      auto copy = path->copy();
      copy->transformUsingAffineTransform(place);
      copy->setLineWidth(path->lineWidth() * k);
      std::vector<double> dash = path->lineDash();
      for (double& d : dash) d *= k;
      if (!dash.empty()) copy->setLineDash(dash, path->dashPhase() * k);
      auto entry = std::make_shared<Structure>(*e);
      entry->setMember(Value(ObjectRef(copy)), "path");
      if (auto clip = e->memberForKey("clip").objectAs<BezierPath>()) {
        auto moved = clip->copy();
        moved->transformUsingAffineTransform(place);
        entry->setMember(Value(ObjectRef(moved)), "clip");
      }
      for (const char* key : {"fill-gradient", "stroke-gradient"}) {
        const StructureRef g = e->memberForKey(key).structure();
        const StructureRef m = g ? g->memberForKey("matrix").structure() : nullptr;
        if (!m || m->count() != 6) continue;
        AffineTransform t;
        t.setTransformStruct(m->memberAtIndex(0).doubleValue(), m->memberAtIndex(1).doubleValue(),
                             m->memberAtIndex(2).doubleValue(), m->memberAtIndex(3).doubleValue(),
                             m->memberAtIndex(4).doubleValue(), m->memberAtIndex(5).doubleValue());
        t.appendTransform(place);
        const auto& v = t.transformStruct();
        auto matrix = std::make_shared<Structure>();
        for (double x : {v.m11, v.m12, v.m21, v.m22, v.tX, v.tY}) matrix->addMember(x);
        auto moved = std::make_shared<Structure>(*g);
        moved->setMember(Value(StructureRef(matrix)), "matrix");
        entry->setMember(Value(StructureRef(moved)), key);
      }
      placed->addMember(Value(StructureRef(entry)));
    }
  BitmapBuffer buffer;
  uint64_t capacity = 0;
  auto image = V2DImageWithBezierPathStructurePatch::_newImageWithBezierPathStructure(
      placed.get(), 0.1, r.width, r.height, true, Value(Color::colorWithRed(0, 0, 0, 0)), buffer, capacity);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!image) {
    r.note = "not drawn";
    return r;
  }
  const fs::path theirs = out / ("rsvg-" + std::to_string(index) + ".png");
  const std::string command = "rsvg-convert -w " + std::to_string(r.width) + " -h " + std::to_string(r.height) +
                              " -o " + quoted(theirs.string()) + " " + quoted(file) + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) {
    r.note = "rsvg-convert failed";
    return r;
  }
  cairo_surface_t* png = cairo_image_surface_create_from_png(theirs.c_str());
  if (cairo_surface_status(png) != CAIRO_STATUS_SUCCESS || cairo_image_surface_get_width(png) != r.width ||
      cairo_image_surface_get_height(png) != r.height) {
    r.note = "rsvg-convert drew another size";
    cairo_surface_destroy(png);
    return r;
  }
  // The renderer hands over Cairo's premultiplied pixels as R, G, B, A bytes.
  const Rgb a = overWhite(r.width, r.height, image->pixel(0, 0), true, r.width * 4, false);
  const Rgb b = overWhite(r.width, r.height, cairo_image_surface_get_data(png), true,
                          cairo_image_surface_get_stride(png), true);
  cairo_surface_destroy(png);
  const std::vector<bool> ab = unmatched(a, b), ba = unmatched(b, a);
  size_t differing = 0;
  for (size_t i = 0; i < ab.size(); ++i) differing += ab[i] || ba[i];
  r.share = double(differing) / double(ab.size());
  // Ours next to theirs, for looking at the worst.
  if (r.share >= 0.005) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 2 * r.width, r.height);
    uint8_t* d = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < r.height; ++y)
      for (int x = 0; x < 2 * r.width; ++x) {
        const Rgb& src = x < r.width ? a : b;
        const uint8_t* p = &src.p[(size_t(y) * size_t(r.width) + size_t(x % r.width)) * 3];
        const uint32_t word = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        std::memcpy(d + size_t(y) * size_t(stride) + size_t(x) * 4, &word, 4);
      }
    cairo_surface_mark_dirty(s);
    cairo_surface_write_to_png(s, (out / ("side-by-side-" + std::to_string(index) + ".png")).c_str());
    cairo_surface_destroy(s);
  }
  fs::remove(theirs);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: svg_compare LIST_FILE [OUT_FOLDER]\n");
    return 2;
  }
  const fs::path out = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "vellum-svg-compare";
  fs::create_directories(out);
  setLogSink([](const std::string&) {});
  std::ifstream list(argv[1]);
  std::vector<Result> results;
  for (std::string line; std::getline(list, line);) {
    if (line.empty()) continue;
    Result r = compare(line, out, results.size());
    std::printf("%4zu %8.4f%% %6.3f s  %s%s%s\n", results.size(), r.share < 0 ? NAN : 100 * r.share, r.seconds,
                r.file.c_str(), r.note.empty() ? "" : "  ", r.note.c_str());
    std::fflush(stdout);
    results.push_back(std::move(r));
  }
  size_t compared = 0, identical = 0, slow = 0;
  double slowest = 0;
  for (const Result& r : results) {
    slowest = std::max(slowest, r.seconds);
    slow += r.seconds > 2;
    if (r.share < 0) continue;
    ++compared;
    identical += r.share < 0.005;
  }
  std::vector<const Result*> worst;
  for (const Result& r : results) worst.push_back(&r);
  std::sort(worst.begin(), worst.end(), [](const Result* x, const Result* y) { return x->share > y->share; });
  std::printf("\nworst ten (side-by-side pictures, ours left, in %s):\n", out.c_str());
  for (size_t i = 0; i < std::min<size_t>(10, worst.size()); ++i)
    std::printf("  %8.4f%%  %s  (side-by-side-%zu.png)\n", 100 * worst[i]->share, worst[i]->file.c_str(),
                size_t(worst[i] - results.data()));
  std::printf("\n%zu files, %zu compared, %zu not compared; slowest %.3f s, %zu over 2 s\n", results.size(), compared,
              results.size() - compared, slowest, slow);
  std::printf("visually identical to librsvg (under 0.5%% of pixels differing): %zu of %zu = %.1f%% (target >= 95%%)\n",
              identical, compared, compared ? 100.0 * double(identical) / double(compared) : 0.0);
  return 0;
}
