#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "text/Font.h"
#include "text/TextOutlines.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

// A face opened straight from the file with FreeType, for facts the font itself states (cmap,
// advances, outline points), independent of the code under test.
class RawFace {
 public:
  explicit RawFace(const std::string& file) {
    FT_Init_FreeType(&lib_);
    if (FT_New_Face(lib_, file.c_str(), 0, &face_) != 0) face_ = nullptr;
  }
  ~RawFace() {
    if (face_) FT_Done_Face(face_);
    FT_Done_FreeType(lib_);
  }
  RawFace(const RawFace&) = delete;

  bool ok() const { return face_ != nullptr; }
  unsigned glyphFor(uint32_t codepoint) const { return FT_Get_Char_Index(face_, codepoint); }
  long advance(unsigned glyph) const {
    FT_Load_Glyph(face_, glyph, FT_LOAD_NO_SCALE);
    return face_->glyph->advance.x;
  }
  // The glyph's stored outline points and whether each is on the curve, and where each contour ends.
  std::vector<std::pair<Point, bool>> rawPoints(unsigned glyph, std::vector<int>& contourEnds) const {
    FT_Load_Glyph(face_, glyph, FT_LOAD_NO_SCALE);
    const FT_Outline& o = face_->glyph->outline;
    std::vector<std::pair<Point, bool>> out;
    for (int i = 0; i < o.n_points; ++i)
      out.push_back({{double(o.points[i].x), double(o.points[i].y)}, (o.tags[i] & 1) != 0});
    contourEnds.assign(o.contours, o.contours + o.n_contours);
    return out;
  }

 private:
  FT_Library lib_ = nullptr;
  FT_Face face_ = nullptr;
};

FontRef font(const char* name, double size) {
  FontRef f = Font::fontWithName(name, size);
  EXPECT_TRUE(f) << name;
  return f;
}

// The path a glyph run should give: each glyph's outline (as the font hands it out) moved to
// its pen position, then the move to the end of the run.
std::vector<El> expectedRun(const Font& f, const RawFace& raw, const std::vector<Glyph>& glyphs, Point origin) {
  std::vector<El> out;
  const double s = f.scale();
  long pen = 0;
  auto at = [&](Point p) { return Point{origin.x + (pen + p.x) * s, origin.y + p.y * s}; };
  for (Glyph g : glyphs) {
    const GlyphOutline& o = f.outlineForGlyph(g);
    const Point* p = o.points.data();
    for (uint8_t k : o.kinds) {
      if (k == 0 || k == 1) {
        out.push_back({K(k), {at(*p++)}});
      } else if (k == 2) {
        out.push_back({K::CurveTo, {at(p[0]), at(p[1]), at(p[2])}});
        p += 3;
      } else {
        out.push_back(Z());
      }
    }
    pen += raw.advance(g);  // the font's own advance, nothing else
  }
  out.push_back({K::MoveTo, {at({0, 0})}});
  return out;
}

std::vector<Glyph> cmapGlyphs(const RawFace& raw, const std::vector<uint32_t>& codepoints) {
  std::vector<Glyph> out;
  for (uint32_t c : codepoints) out.push_back(raw.glyphFor(c));
  return out;
}

std::vector<uint32_t> codepointsOf(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

}  // namespace

// ---- character to glyph mapping -----------------------------------------------------------------

// What the shaper makes of characters, as glyphs looked up in the font's own character map.
TEST(TextGlyphs, CharactersMapThroughTheCharacterMap) {
  // Tab, line feed, carriage return, NUL, DEL, a C1 control, soft hyphen, zero-width joiner.
  static const char controls[] = "a\tb\nc\rd\0e\x7f" "f\xC2\x85g\xC2\xADh\xE2\x80\x8Di";
  const uint32_t r = 0xFFFD;
  struct Row {
    const char* font;
    std::string text;
    std::vector<uint32_t> codepoints;
  };
  const Row rows[] = {
      // The font's own "fi" ligature glyph, but not across a line break, which draws nothing.
      {"DejaVuSans", "fix", {0xFB01, 'x'}},
      {"DejaVuSans", "f\ni", {'f', 'i'}},
      // e + combining acute composes to the precomposed letter the font has; q has none: the
      // base, then the mark.
      {"DejaVuSans", "e\xCC\x81", {0xE9}},
      {"DejaVuSans", "q\xCC\x81", {'q', 0x301}},
      {"DejaVuSans", std::string(controls, sizeof controls - 1), codepointsOf("abcdefghi")},
      {"DejaVuSans", "\n\n\t", {}},
      // A stray byte, an overlong slash, an encoded surrogate and a sequence cut off at the end:
      // one replacement per bad byte.
      {"DejaVuSans", "a\xFF" "b", {'a', r, 'b'}},
      {"DejaVuSans", "a\xC0\xAF" "b", {'a', r, r, 'b'}},
      {"DejaVuSans", "\xED\xA0\x80", {r, r, r}},
      {"DejaVuSans", "a\xE2\x82", {'a', r, r}},
      // A character the font lacks gives its missing glyph, 0; DejaVu Sans has this emoji.
      {"DejaVuSerif", "\xF0\x9F\x98\x80", {0x1F600}},
      {"DejaVuSans", "\xF0\x9F\x98\x80", {0x1F600}},
  };
  for (const Row& row : rows) {
    FontRef f = font(row.font, 12);
    RawFace raw(f->filePath());
    ASSERT_TRUE(raw.ok());
    EXPECT_EQ(f->glyphsForString(row.text), cmapGlyphs(raw, row.codepoints)) << row.text;
  }
  RawFace sans(font("DejaVuSans", 12)->filePath()), serif(font("DejaVuSerif", 12)->filePath());
  EXPECT_TRUE(sans.glyphFor(0xFB01) && sans.glyphFor(r) && !serif.glyphFor(0x1F600)) << "the fonts changed";
}

// Each stack is counted on its own, whatever marks it holds (in canonical order: the marks below
// before the ones above); a stray byte ends a stack, and invisible characters count towards it.
TEST(TextGlyphs, RunsOfMoreThanThirtyMarksAreCut) {
  FontRef f = font("DejaVuSans", 12);
  RawFace raw(f->filePath());
  auto marks = [](int n, const char* mark = "\xCC\x81") {
    std::string s;
    for (int i = 0; i < n; ++i) s += mark;
    return s;
  };
  // Runs of (character, count), as glyphs of the character map.
  auto runs = [&](std::initializer_list<std::pair<uint32_t, int>> parts) {
    std::vector<Glyph> out;
    for (auto [c, n] : parts) out.insert(out.end(), size_t(n), raw.glyphFor(c));
    return out;
  };
  const std::vector<Glyph> thirty = runs({{'q', 1}, {0x301, 30}});
  const std::pair<std::string, std::vector<Glyph>> rows[] = {
      {"q" + marks(30), thirty},
      {"q" + marks(31), thirty},
      {"q" + marks(40), thirty},
      {"q" + marks(1 << 19), thirty},  // a megabyte of accents on one letter
      {"q" + marks(35) + "q" + marks(31), runs({{'q', 1}, {0x301, 30}, {'q', 1}, {0x301, 30}})},
      {"q" + marks(20) + marks(15, "\xCC\xA3"), runs({{'q', 1}, {0x323, 10}, {0x301, 20}})},
      {"q" + marks(20) + "\xFF" + marks(20), runs({{'q', 1}, {0x301, 20}, {0xFFFD, 1}, {0x301, 20}})},
      {"q" + marks(20, "\xCC\x81\xE2\x80\x8D"), runs({{'q', 1}, {0x301, 15}})},  // accents, each with a joiner
      {marks(1 << 19, "\xC2\xAD"), {}},  // a megabyte of nothing but soft hyphens
  };
  for (size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(f->glyphsForString(rows[i].first), rows[i].second) << "row " << i;
}

TEST(TextGlyphs, TextPastFourMebibytesIsNotRead) {
  FontRef f = font("DejaVuSans", 12);
  RawFace raw(f->filePath());
  // Line breaks up to the limit, then a letter: nothing to draw. One byte less of breaks and the
  // letter is read. A two-byte letter across the limit is not read in half.
  const size_t limit = size_t{1} << 22;
  EXPECT_TRUE(f->glyphsForString(std::string(limit, '\n') + "a").empty());
  EXPECT_EQ(f->glyphsForString(std::string(limit - 1, '\n') + "a"), cmapGlyphs(raw, {'a'}));
  EXPECT_TRUE(f->glyphsForString(std::string(limit - 1, '\n') + "\xC3\xA9").empty());
  EXPECT_EQ(f->glyphsForString(std::string(limit - 2, '\n') + "\xC3\xA9"), cmapGlyphs(raw, {0xE9}));
}

// ---- outlines ------------------------------------------------------------------------------------

// A straight glyph is its stored points, closed and scaled by size / 2048 exactly at any size;
// then the pen moves by the font's own advance.
TEST(GlyphOutlines, StraightGlyphIsItsPointsClosedAtAnySize) {
  RawFace raw(font("DejaVuSans", 12)->filePath());
  const Glyph l = raw.glyphFor('l');
  std::vector<int> ends;
  const auto pts = raw.rawPoints(l, ends);
  ASSERT_EQ(ends.size(), 1u);
  for (auto& [p, on] : pts) ASSERT_TRUE(on) << "'l' is expected to be straight";
  for (double size : {2048.0, 1e9, 1e-4, 12.0}) {
    SCOPED_TRACE(size);
    const double s = size / 2048, x = 100 * s, y = -50 * s;
    auto path = pathOf({M(x, y)});
    appendBezierPathWithGlyphs(*path, std::vector<Glyph>{l}, *font("DejaVuSans", size));
    std::vector<El> expected{M(x, y)};
    for (size_t i = 0; i < pts.size(); ++i)
      expected.push_back({i == 0 ? K::MoveTo : K::LineTo, {{x + pts[i].first.x * s, y + pts[i].first.y * s}}});
    expected.push_back(Z());
    expected.push_back(M(x + double(raw.advance(l)) * s, y));
    expectElements(*path, expected);
  }
}

TEST(GlyphOutlines, QuadraticsAreRaisedExactly) {
  FontRef f = font("DejaVuSans", 2048);
  RawFace raw(f->filePath());
  const Glyph o = raw.glyphFor('o');
  std::vector<int> ends;
  const auto pts = raw.rawPoints(o, ends);
  const GlyphOutline& outline = f->outlineForGlyph(o);
  ASSERT_EQ(std::count(outline.kinds.begin(), outline.kinds.end(), 3), long(ends.size()));

  // Every curve is a raised quadratic: control points 2/3 of the way from each end to one
  // quadratic control point, which is a stored off-curve point of the glyph or the midpoint of
  // two neighbouring ones.
  std::vector<Point> controls;
  for (size_t c = 0, first = 0; c < ends.size(); first = size_t(ends[c]) + 1, ++c)
    for (size_t i = first; i <= size_t(ends[c]); ++i) {
      const auto& [q, on] = pts[i];
      const auto& [next, nextOn] = pts[i == size_t(ends[c]) ? first : i + 1];
      if (!on) controls.push_back(q);
      if (!on && !nextOn) controls.push_back({(q.x + next.x) / 2, (q.y + next.y) / 2});
    }
  Point current{};
  int curves = 0;
  const Point* p = outline.points.data();
  for (uint8_t k : outline.kinds) {
    if (k == 0 || k == 1) {
      current = *p++;
    } else if (k == 2) {
      const Point c1 = p[0], c2 = p[1], end = p[2];
      const Point q1{current.x + 1.5 * (c1.x - current.x), current.y + 1.5 * (c1.y - current.y)};
      const Point q2{end.x + 1.5 * (c2.x - end.x), end.y + 1.5 * (c2.y - end.y)};
      EXPECT_LT(std::hypot(q1.x - q2.x, q1.y - q2.y), 1e-9);
      EXPECT_TRUE(std::any_of(controls.begin(), controls.end(),
                              [&](Point c) { return std::hypot(c.x - q1.x, c.y - q1.y) < 1e-9; }))
          << q1.x << ", " << q1.y;
      current = end;
      p += 3;
      ++curves;
    }
  }
  EXPECT_GT(curves, 4);
}

// ---- placing glyphs -------------------------------------------------------------------------

// A run starts at the current point after what is there; glyphs follow each other by the font's
// own advances on one baseline, and the run ends with a move to the pen's last position.
TEST(TextOutlines, RunsFollowTheFontsAdvancesFromTheCurrentPoint) {
  struct Row {
    const char* font;
    double size;
    std::vector<El> before;
    std::string text;
    std::vector<uint32_t> codepoints;
  };
  const Row rows[] = {
      {"DejaVuSerif-Bold", 20, {M(0, 0)}, "Goodbye World!", codepointsOf("Goodbye World!")},
      {"DejaVuSans", 10, {M(0, 0), L(30, 40)}, "ab", codepointsOf("ab")},
      {"DejaVuSans", 10, {M(5, 5)}, "ab\ncd\r\nef", codepointsOf("abcdef")},  // line breaks stay on the baseline
      {"DejaVuSans", 2048, {M(0, 0)}, "fi", {0xFB01}},  // a ligature once, with its own advance
      {"DejaVuSans", 2048, {M(1, 2)}, "  ", codepointsOf("  ")},  // spaces only move the pen
      {"DejaVuSans", 10, {M(7, 8), L(20, 8), Z()}, "x", codepointsOf("x")},  // after a close: the subpath's start
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    FontRef f = font(row.font, row.size);
    RawFace raw(f->filePath());
    auto path = pathOf(row.before);
    const Point origin = path->currentPoint();
    appendBezierPathWithString(*path, row.text, *f);
    std::vector<El> expected = row.before;
    for (El& e : expectedRun(*f, raw, cmapGlyphs(raw, row.codepoints), origin)) expected.push_back(e);
    expectElements(*path, expected);
  }
}

// Nothing to place appends nothing, not even the pen's move; without a current point, even
// that is an error.
TEST(TextOutlines, EmptyTextAppendsNothing) {
  FontRef f = font("DejaVuSans", 10);
  auto path = pathOf({M(1, 2)});
  appendBezierPathWithString(*path, "", *f);
  appendBezierPathWithString(*path, "\n\t", *f);
  appendBezierPathWithGlyphs(*path, {}, *f);
  EXPECT_EQ(path->elementCount(), 1u);
  BezierPath empty;
  EXPECT_THROW(appendBezierPathWithString(empty, "abc", *f), Exception);
  EXPECT_THROW(appendBezierPathWithString(empty, "", *f), Exception);
  EXPECT_THROW(appendBezierPathWithGlyphs(empty, std::vector<Glyph>{68}, *f), Exception);
  EXPECT_TRUE(empty.isEmpty());
}

// One call outlines at most kMaxGlyphsPerAppend glyphs (a megabyte of text is cut there), and
// stops before the glyph that would take it past kMaxElementsPerAppend elements. Both limits
// leave the pen after the last glyph drawn.
TEST(TextOutlines, ElementLimitStopsBeforeTheGlyphThatWouldPassIt) {
  FontRef f = font("DejaVuSans", 10);
  RawFace raw(f->filePath());
  const Glyph x = raw.glyphFor('x'), at = raw.glyphFor('@');
  const size_t perX = f->outlineForGlyph(x).kinds.size(), perAt = f->outlineForGlyph(at).kinds.size();
  const size_t fit = kMaxElementsPerAppend / perAt;  // whole glyphs within the limit
  ASSERT_LE(perX * kMaxGlyphsPerAppend, kMaxElementsPerAppend) << "the element limit would bind first";
  ASSERT_LT(fit, kMaxGlyphsPerAppend) << "the glyph limit would bind first";
  auto xs = pathOf({M(0, 0)}), ats = pathOf({M(0, 0)});
  appendBezierPathWithString(*xs, std::string(1 << 20, 'x'), *f);
  appendBezierPathWithGlyphs(*ats, std::vector<Glyph>(fit + 1, at), *f);
  EXPECT_EQ(xs->elementCount(), 2 + kMaxGlyphsPerAppend * perX);
  EXPECT_DOUBLE_EQ(xs->currentPoint().x, double(kMaxGlyphsPerAppend) * raw.advance(x) * f->scale());
  EXPECT_EQ(ats->elementCount(), 2 + fit * perAt);
  EXPECT_DOUBLE_EQ(ats->currentPoint().x, double(fit) * raw.advance(at) * f->scale());
}
