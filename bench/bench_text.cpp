// Text outlines against FreeType called directly, in the same run.
//
// Input: "Goodbye World!" at size 20 in DejaVu Serif Bold.
// - BM_AppendBezierPathWithString: a new path, a move to (0, 0), the font looked up by name
//   (answered from the process-wide cache after the first time), characters mapped to glyphs
//   with HarfBuzz, outlines appended.
// - BM_FreeTypeDirect: the same glyphs (taken from the character map; this string has no
//   ligatures), each loaded unhinted at size 20 and its outline decomposed into a point list,
//   pen moved by the advance. The anchor.
// Counters: "elements" (path elements or decomposer callbacks per iteration).
#include <benchmark/benchmark.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <string>
#include <vector>

#include "text/Font.h"
#include "text/TextOutlines.h"

using vellum::BezierPath;
using vellum::Font;
using vellum::Point;

namespace {

const char* const kText = "Goodbye World!";
constexpr double kSize = 20;

void BM_AppendBezierPathWithString(benchmark::State& state) {
  size_t elements = 0;
  for (auto _ : state) {
    auto font = Font::fontWithName("DejaVuSerif-Bold", kSize);
    auto path = BezierPath::bezierPath();
    path->moveToPoint({0, 0});
    vellum::appendBezierPathWithString(*path, kText, *font);
    elements = path->elementCount();
    benchmark::DoNotOptimize(path);
  }
  state.counters["elements"] = double(elements);
}
BENCHMARK(BM_AppendBezierPathWithString);

struct Sink {
  std::vector<Point> points;
  double penX = 0, scale = 1.0 / 64;
  size_t calls = 0;
  void add(const FT_Vector* v) { points.push_back({penX + v->x * scale, v->y * scale}); }
};

int moveTo(const FT_Vector* to, void* u) {
  auto* s = static_cast<Sink*>(u);
  s->add(to);
  ++s->calls;
  return 0;
}
int lineTo(const FT_Vector* to, void* u) { return moveTo(to, u); }
int conicTo(const FT_Vector* c, const FT_Vector* to, void* u) {
  auto* s = static_cast<Sink*>(u);
  s->add(c);
  s->add(to);
  ++s->calls;
  return 0;
}
int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* u) {
  auto* s = static_cast<Sink*>(u);
  s->add(c1);
  s->add(c2);
  s->add(to);
  ++s->calls;
  return 0;
}

void BM_FreeTypeDirect(benchmark::State& state) {
  auto font = Font::fontWithName("DejaVuSerif-Bold", kSize);
  if (!font) {
    state.SkipWithError("DejaVuSerif-Bold is not installed");
    return;
  }
  FT_Library lib;
  FT_Init_FreeType(&lib);
  FT_Face face;
  FT_New_Face(lib, font->filePath().c_str(), 0, &face);
  FT_Set_Char_Size(face, FT_F26Dot6(kSize * 64), 0, 72, 72);
  std::vector<FT_UInt> glyphs;
  for (const char* c = kText; *c; ++c) glyphs.push_back(FT_Get_Char_Index(face, FT_ULong(*c)));
  static const FT_Outline_Funcs funcs = {moveTo, lineTo, conicTo, cubicTo, 0, 0};
  size_t calls = 0;
  for (auto _ : state) {
    Sink sink;
    for (FT_UInt g : glyphs) {
      FT_Load_Glyph(face, g, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
      FT_Outline_Decompose(&face->glyph->outline, &funcs, &sink);
      sink.penX += face->glyph->linearHoriAdvance / 65536.0;
    }
    calls = sink.calls;
    benchmark::DoNotOptimize(sink.points.data());
  }
  state.counters["elements"] = double(calls);
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
}
BENCHMARK(BM_FreeTypeDirect);

}  // namespace

BENCHMARK_MAIN();
