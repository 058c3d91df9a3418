#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "text/Font.h"
#include "text/TextOutlines.h"
#include "tests/support/PathElements.h"
#include "tests/text/RawFace.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

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

std::vector<Glyph> cmapGlyphs(const RawFace& raw, std::initializer_list<uint32_t> codepoints) {
  std::vector<Glyph> out;
  for (uint32_t c : codepoints) out.push_back(raw.glyphFor(c));
  return out;
}

}  // namespace

// ---- character to glyph mapping -----------------------------------------------------------------

TEST(TextGlyphs, PlainCharactersMapThroughTheCharacterMap) {
  FontRef f = font("DejaVuSerif-Bold", 20);
  RawFace raw(f->filePath());
  ASSERT_TRUE(raw.ok());
  std::vector<Glyph> expected;
  for (char c : std::string("Goodbye World!")) expected.push_back(raw.glyphFor(static_cast<unsigned char>(c)));
  EXPECT_EQ(f->glyphsForString("Goodbye World!"), expected);
}

TEST(TextGlyphs, LigatureBecomesOneGlyph) {
  FontRef f = font("DejaVuSans", 12);
  RawFace raw(f->filePath());
  const Glyph fi = raw.glyphFor(0xFB01);  // the font's own "fi" ligature glyph
  ASSERT_NE(fi, 0u);
  EXPECT_EQ(f->glyphsForString("fi"), std::vector<Glyph>{fi});
  EXPECT_EQ(f->glyphsForString("fix"), (std::vector<Glyph>{fi, raw.glyphFor('x')}));
  // Not across a line break, which itself draws nothing.
  EXPECT_EQ(f->glyphsForString("f\ni"), cmapGlyphs(raw, {'f', 'i'}));
}

TEST(TextGlyphs, CombiningMarks) {
  FontRef f = font("DejaVuSans", 12);
  RawFace raw(f->filePath());
  // e + combining acute composes to the precomposed letter the font has.
  EXPECT_EQ(f->glyphsForString("e\xCC\x81"), cmapGlyphs(raw, {0xE9}));
  // q has no precomposed form: the base, then the mark, in that order.
  EXPECT_EQ(f->glyphsForString("q\xCC\x81"), cmapGlyphs(raw, {'q', 0x301}));
}

TEST(TextGlyphs, RunsOfMoreThanThirtyMarksAreCut) {
  FontRef f = font("DejaVuSans", 12);
  RawFace raw(f->filePath());
  const Glyph q = raw.glyphFor('q'), acute = raw.glyphFor(0x301), dot = raw.glyphFor(0x323);
  auto marks = [](int n, const char* mark = "\xCC\x81") {
    std::string s;
    for (int i = 0; i < n; ++i) s += mark;
    return s;
  };
  std::vector<Glyph> thirty(1, q);
  thirty.insert(thirty.end(), 30, acute);
  EXPECT_EQ(f->glyphsForString("q" + marks(30)), thirty);
  EXPECT_EQ(f->glyphsForString("q" + marks(31)), thirty);
  EXPECT_EQ(f->glyphsForString("q" + marks(40)), thirty);
  // Each stack is counted on its own, whatever marks it holds; a stray byte ends a stack.
  std::vector<Glyph> two = thirty;
  two.insert(two.end(), thirty.begin(), thirty.end());
  EXPECT_EQ(f->glyphsForString("q" + marks(35) + "q" + marks(31)), two);
  // (in canonical order: the marks below before the ones above)
  std::vector<Glyph> mixed(1, q);
  mixed.insert(mixed.end(), 10, dot);
  mixed.insert(mixed.end(), 20, acute);
  EXPECT_EQ(f->glyphsForString("q" + marks(20) + marks(15, "\xCC\xA3")), mixed);
  std::vector<Glyph> split(1, q);
  split.insert(split.end(), 20, acute);
  split.push_back(raw.glyphFor(0xFFFD));
  split.insert(split.end(), 20, acute);
  EXPECT_EQ(f->glyphsForString("q" + marks(20) + "\xFF" + marks(20)), split);
  // A megabyte of accents on one letter: the same thirty.
  EXPECT_EQ(f->glyphsForString("q" + marks(1 << 19)), thirty);
  // Invisible characters count towards the run: 20 accents with a joiner after each keep 15.
  std::vector<Glyph> fifteen(1, q);
  fifteen.insert(fifteen.end(), 15, acute);
  EXPECT_EQ(f->glyphsForString("q" + marks(20, "\xCC\x81\xE2\x80\x8D")), fifteen);
  // A megabyte of nothing but soft hyphens: no glyph.
  EXPECT_TRUE(f->glyphsForString(marks(1 << 19, "\xC2\xAD")).empty());
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

TEST(TextGlyphs, ControlAndInvisibleCharactersGiveNoGlyph) {
  FontRef f = font("DejaVuSans", 12);
  RawFace raw(f->filePath());
  // Tab, line feed, carriage return, NUL, DEL, a C1 control, soft hyphen, zero-width joiner.
  static const char text[] = "a\tb\nc\rd\0e\x7f" "f\xC2\x85g\xC2\xADh\xE2\x80\x8Di";
  const std::string s(text, sizeof text - 1);
  EXPECT_EQ(f->glyphsForString(s), cmapGlyphs(raw, {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'}));
  EXPECT_TRUE(f->glyphsForString("\n\n\t").empty());
}

TEST(TextGlyphs, InvalidUtf8ReadsAsReplacementCharacters) {
  FontRef f = font("DejaVuSans", 12);
  RawFace raw(f->filePath());
  const Glyph r = raw.glyphFor(0xFFFD);
  ASSERT_NE(r, 0u);
  const Glyph a = raw.glyphFor('a'), b = raw.glyphFor('b');
  // A stray byte, an overlong slash and an encoded surrogate: one replacement per bad byte.
  EXPECT_EQ(f->glyphsForString("a\xFF" "b"), (std::vector<Glyph>{a, r, b}));
  EXPECT_EQ(f->glyphsForString("a\xC0\xAF" "b"), (std::vector<Glyph>{a, r, r, b}));
  EXPECT_EQ(f->glyphsForString("\xED\xA0\x80"), (std::vector<Glyph>{r, r, r}));
  // Cut off at the end of the text.
  EXPECT_EQ(f->glyphsForString("a\xE2\x82"), (std::vector<Glyph>{a, r, r}));
}

TEST(TextGlyphs, CharactersTheFontLacksGiveItsMissingGlyph) {
  FontRef serif = font("DejaVuSerif", 12);
  RawFace raw(serif->filePath());
  ASSERT_EQ(raw.glyphFor(0x1F600), 0u) << "this font now has the emoji";
  EXPECT_EQ(serif->glyphsForString("\xF0\x9F\x98\x80"), std::vector<Glyph>{0});
  // DejaVu Sans has that emoji.
  FontRef sans = font("DejaVuSans", 12);
  RawFace rawSans(sans->filePath());
  EXPECT_EQ(sans->glyphsForString("\xF0\x9F\x98\x80"), cmapGlyphs(rawSans, {0x1F600}));
}

// ---- outlines ------------------------------------------------------------------------------------

TEST(GlyphOutlines, StraightGlyphIsItsPointsClosed) {
  FontRef f = font("DejaVuSans", 2048);  // one unit per point
  RawFace raw(f->filePath());
  const Glyph l = raw.glyphFor('l');
  std::vector<int> ends;
  const auto pts = raw.rawPoints(l, &ends);
  ASSERT_EQ(ends.size(), 1u);
  for (auto& [p, on] : pts) ASSERT_TRUE(on) << "'l' is expected to be straight";

  auto path = BezierPath::bezierPath();
  path->moveToPoint({100, -50});
  appendBezierPathWithGlyphs(*path, std::vector<Glyph>{l}, *f);
  std::vector<El> expected{M(100, -50)};
  for (size_t i = 0; i < pts.size(); ++i)
    expected.push_back({i == 0 ? K::MoveTo : K::LineTo, {{100 + pts[i].first.x, -50 + pts[i].first.y}}});
  expected.push_back(Z());
  expected.push_back(M(100.0 + raw.advance(l), -50));
  expectElements(*path, expected);
}

TEST(GlyphOutlines, QuadraticsAreRaisedExactly) {
  FontRef f = font("DejaVuSans", 2048);
  RawFace raw(f->filePath());
  const Glyph o = raw.glyphFor('o');
  std::vector<int> ends;
  const auto pts = raw.rawPoints(o, &ends);
  const GlyphOutline& outline = f->outlineForGlyph(o);
  ASSERT_EQ(std::count(outline.kinds.begin(), outline.kinds.end(), 3), long(ends.size()));

  // Every curve is a raised quadratic: control points 2/3 of the way from each end to one
  // quadratic control point, which is a stored off-curve point of the glyph or the midpoint of
  // two neighbouring ones.
  auto isQuadraticControl = [&](Point q) {
    for (size_t c = 0, first = 0; c < ends.size(); first = size_t(ends[c]) + 1, ++c)
      for (size_t i = first; i <= size_t(ends[c]); ++i) {
        if (pts[i].second) continue;
        if (std::abs(pts[i].first.x - q.x) < 1e-9 && std::abs(pts[i].first.y - q.y) < 1e-9) return true;
        const size_t n = i == size_t(ends[c]) ? first : i + 1;
        if (pts[n].second) continue;
        const Point m{(pts[i].first.x + pts[n].first.x) / 2, (pts[i].first.y + pts[n].first.y) / 2};
        if (std::abs(m.x - q.x) < 1e-9 && std::abs(m.y - q.y) < 1e-9) return true;
      }
    return false;
  };
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
      EXPECT_NEAR(q1.x, q2.x, 1e-9);
      EXPECT_NEAR(q1.y, q2.y, 1e-9);
      EXPECT_TRUE(isQuadraticControl(q1)) << q1.x << ", " << q1.y;
      current = end;
      p += 3;
      ++curves;
    }
  }
  EXPECT_GT(curves, 4);
}

TEST(GlyphOutlines, EveryContourIsClosedAndStartsWithAMove) {
  FontRef f = font("DejaVuSerif-Bold", 20);
  for (Glyph g : f->glyphsForString("Goodbye World!&%@8")) {
    const GlyphOutline& o = f->outlineForGlyph(g);
    if (o.kinds.empty()) continue;
    EXPECT_EQ(o.kinds.front(), 0);
    EXPECT_EQ(o.kinds.back(), 3);
    for (size_t i = 0; i + 1 < o.kinds.size(); ++i) {
      if (o.kinds[i] == 3) {
        EXPECT_EQ(o.kinds[i + 1], 0) << "glyph " << g;
      }
    }
  }
}

// ---- placing glyphs -------------------------------------------------------------------------

TEST(TextOutlines, GlyphsFollowEachOtherByTheirAdvancesOnOneBaseline) {
  FontRef f = font("DejaVuSerif-Bold", 20);
  RawFace raw(f->filePath());
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  appendBezierPathWithString(*path, "Goodbye World!", *f);

  const std::vector<Glyph> glyphs = f->glyphsForString("Goodbye World!");
  std::vector<El> expected{M(0, 0)};
  for (El& e : expectedRun(*f, raw, glyphs, {0, 0})) expected.push_back(e);
  expectElements(*path, expected);

  // The final pen position is the sum of the font's advances, on the baseline.
  long sum = 0;
  for (Glyph g : glyphs) sum += raw.advance(g);
  EXPECT_EQ(path->currentPoint(), (Point{sum * (20.0 / 2048), 0}));
}

TEST(TextOutlines, StartsAtTheCurrentPointAfterWhatIsThere) {
  FontRef f = font("DejaVuSans", 10);
  RawFace raw(f->filePath());
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  path->lineToPoint({30, 40});
  appendBezierPathWithString(*path, "ab", *f);
  std::vector<El> expected{M(0, 0), L(30, 40)};
  for (El& e : expectedRun(*f, raw, cmapGlyphs(raw, {'a', 'b'}), {30, 40})) expected.push_back(e);
  expectElements(*path, expected);
}

TEST(TextOutlines, LineBreaksStayOnOneBaseline) {
  FontRef f = font("DejaVuSans", 10);
  auto broken = BezierPath::bezierPath(), plain = BezierPath::bezierPath();
  broken->moveToPoint({5, 5});
  plain->moveToPoint({5, 5});
  appendBezierPathWithString(*broken, "ab\ncd\r\nef", *f);
  appendBezierPathWithString(*plain, "abcdef", *f);
  EXPECT_TRUE(broken->isEqualToBezierPath(*plain));
}

TEST(TextOutlines, LigatureIsDrawnOnceWithItsOwnAdvance) {
  FontRef f = font("DejaVuSans", 2048);
  RawFace raw(f->filePath());
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  appendBezierPathWithString(*path, "fi", *f);
  const Glyph fi = raw.glyphFor(0xFB01);
  std::vector<El> expected{M(0, 0)};
  for (El& e : expectedRun(*f, raw, {fi}, {0, 0})) expected.push_back(e);
  expectElements(*path, expected);
  EXPECT_EQ(path->currentPoint().x, raw.advance(fi));
}

TEST(TextOutlines, EmptyTextAppendsNothing) {
  FontRef f = font("DejaVuSans", 10);
  auto path = BezierPath::bezierPath();
  path->moveToPoint({1, 2});
  appendBezierPathWithString(*path, "", *f);
  appendBezierPathWithString(*path, "\n\t", *f);  // nothing to place either
  appendBezierPathWithGlyphs(*path, {}, *f);
  EXPECT_EQ(path->elementCount(), 1u);
}

TEST(TextOutlines, SpaceOnlyMovesThePen) {
  FontRef f = font("DejaVuSans", 2048);
  RawFace raw(f->filePath());
  auto path = BezierPath::bezierPath();
  path->moveToPoint({1, 2});
  appendBezierPathWithString(*path, "  ", *f);
  expectElements(*path, {M(1, 2), M(1.0 + 2 * raw.advance(raw.glyphFor(' ')), 2)});
}

TEST(TextOutlines, NoCurrentPointIsAnErrorAndAppendsNothing) {
  FontRef f = font("DejaVuSans", 10);
  BezierPath path;
  EXPECT_THROW(appendBezierPathWithString(path, "abc", *f), Exception);
  EXPECT_THROW(appendBezierPathWithString(path, "", *f), Exception);
  EXPECT_THROW(appendBezierPathWithGlyphs(path, std::vector<Glyph>{68}, *f), Exception);
  EXPECT_TRUE(path.isEmpty());
}

TEST(TextOutlines, AfterACloseTheTextStartsAtTheSubpathStart) {
  FontRef f = font("DejaVuSans", 10);
  auto closed = BezierPath::bezierPath(), moved = BezierPath::bezierPath();
  closed->moveToPoint({7, 8});
  closed->lineToPoint({20, 8});
  closed->closePath();
  appendBezierPathWithString(*closed, "x", *f);
  moved->moveToPoint({7, 8});
  appendBezierPathWithString(*moved, "x", *f);
  EXPECT_EQ(closed->associatedPoints(3)[0], moved->associatedPoints(1)[0]);
}

TEST(TextOutlines, HugeAndTinySizesScaleExactly) {
  RawFace raw(font("DejaVuSans", 1)->filePath());
  const Glyph l = raw.glyphFor('l');
  const FT_BBox box = raw.cbox(l);
  for (double size : {1e9, 1e-4, 12.0}) {
    FontRef f = font("DejaVuSans", size);
    auto path = BezierPath::bezierPath();
    path->moveToPoint({0, 0});
    appendBezierPathWithString(*path, "l", *f);
    // Without the two pen moves, the box is the glyph's own box scaled by size / 2048.
    auto glyphOnly = BezierPath::bezierPath();
    for (size_t i = 1; i + 1 < path->elementCount(); ++i) {
      auto pts = path->associatedPoints(i);
      if (path->elementAtIndex(i) == K::MoveTo) glyphOnly->moveToPoint(pts[0]);
      else if (path->elementAtIndex(i) == K::LineTo) glyphOnly->lineToPoint(pts[0]);
    }
    const Rect b = glyphOnly->bounds();
    const double s = size / 2048;
    EXPECT_DOUBLE_EQ(b.origin.x, box.xMin * s) << size;
    EXPECT_DOUBLE_EQ(b.origin.y, box.yMin * s) << size;
    EXPECT_DOUBLE_EQ(b.origin.x + b.size.width, box.xMax * s) << size;
    EXPECT_DOUBLE_EQ(b.origin.y + b.size.height, box.yMax * s) << size;
    EXPECT_TRUE(std::isfinite(path->currentPoint().x));
  }
}

TEST(TextOutlines, ZeroSizeMeansTwelve) {
  auto a = BezierPath::bezierPath(), b = BezierPath::bezierPath();
  a->moveToPoint({0, 0});
  b->moveToPoint({0, 0});
  appendBezierPathWithString(*a, "Hi", *font("DejaVuSans", 0));
  appendBezierPathWithString(*b, "Hi", *font("DejaVuSans", 12));
  EXPECT_TRUE(a->isEqualToBezierPath(*b));
}

TEST(TextOutlines, AMegabyteOfTextIsCutToTheGlyphLimit) {
  FontRef f = font("DejaVuSans", 10);
  RawFace raw(f->filePath());
  const Glyph x = raw.glyphFor('x');
  const size_t perGlyph = f->outlineForGlyph(x).kinds.size();
  ASSERT_GT(perGlyph, 0u);
  ASSERT_LE(perGlyph * kMaxGlyphsPerAppend, kMaxElementsPerAppend) << "the element limit would bind first";
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  appendBezierPathWithString(*path, std::string(1 << 20, 'x'), *f);
  EXPECT_EQ(path->elementCount(), 2 + kMaxGlyphsPerAppend * perGlyph);
  EXPECT_DOUBLE_EQ(path->currentPoint().x, double(kMaxGlyphsPerAppend) * raw.advance(x) * f->scale());
}

TEST(TextOutlines, ElementLimitStopsBeforeTheGlyphThatWouldPassIt) {
  FontRef f = font("DejaVuSans", 10);
  RawFace raw(f->filePath());
  const Glyph at = raw.glyphFor('@');
  const size_t perGlyph = f->outlineForGlyph(at).kinds.size();
  const size_t fit = kMaxElementsPerAppend / perGlyph;  // whole glyphs within the limit
  ASSERT_LT(fit, kMaxGlyphsPerAppend) << "the glyph limit would bind first";
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  appendBezierPathWithGlyphs(*path, std::vector<Glyph>(fit + 1, at), *f);
  EXPECT_EQ(path->elementCount(), 2 + fit * perGlyph);
  EXPECT_DOUBLE_EQ(path->currentPoint().x, double(fit) * raw.advance(at) * f->scale());
}

TEST(TextOutlines, ExactlyTheGlyphLimitIsKept) {
  FontRef f = font("DejaVuSans", 10);
  const std::vector<Glyph> glyphs(kMaxGlyphsPerAppend + 1, 3);  // spaces: no contours, only advances
  RawFace raw(f->filePath());
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  appendBezierPathWithGlyphs(*path, glyphs, *f);
  EXPECT_EQ(path->elementCount(), 2u);
  EXPECT_DOUBLE_EQ(path->currentPoint().x, double(kMaxGlyphsPerAppend) * raw.advance(3) * f->scale());
}
