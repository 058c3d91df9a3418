#include "text/TextOutlines.h"

#include <algorithm>

namespace vellum {

void appendBezierPathWithGlyphs(BezierPath& path, std::span<const Glyph> glyphs, const Font& font) {
  const Point origin = path.currentPoint();
  if (glyphs.empty()) return;
  const double s = font.scale();
  // The pen is kept in font units, where advances add up exactly, and scaled once per point.
  double pen = 0;
  auto at = [&](Point p) { return Point{origin.x + (pen + p.x) * s, origin.y + p.y * s}; };
  size_t budget = kMaxElementsPerAppend;
  for (Glyph glyph : glyphs.first(std::min(glyphs.size(), kMaxGlyphsPerAppend))) {
    const GlyphOutline& outline = font.outlineForGlyph(glyph);
    if (outline.kinds.size() > budget) break;
    budget -= outline.kinds.size();
    const Point* p = outline.points.data();
    for (uint8_t kind : outline.kinds) {
      switch (kind) {
        case 0: path.moveToPoint(at(*p++)); break;
        case 1: path.lineToPoint(at(*p++)); break;
        case 2: path.curveToPoint(at(p[2]), at(p[0]), at(p[1])); p += 3; break;
        default: path.closePath(); break;
      }
    }
    pen += outline.advance;
  }
  path.moveToPoint(at({0, 0}));
}

void appendBezierPathWithString(BezierPath& path, std::string_view string, const Font& font) {
  path.currentPoint();  // the text starts there: no current point is an error even for no text
  if (string.empty()) return;
  const std::vector<Glyph> glyphs = font.glyphsForString(string);
  appendBezierPathWithGlyphs(path, glyphs, font);
}

}  // namespace vellum
