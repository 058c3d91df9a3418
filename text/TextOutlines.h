// Text as path outlines: glyphs placed one after another from the path's current point along
// one baseline, each moved on by its own unhinted advance (no kerning, no line breaks).
#pragma once

#include <span>
#include <string_view>

#include "path/BezierPath.h"
#include "text/Font.h"

namespace vellum {

// One call outlines whole glyphs, in order, until either limit would be passed; the rest of a
// longer run is dropped. Together they keep one call's path under about 60 MB.
inline constexpr size_t kMaxGlyphsPerAppend = 65536;
inline constexpr size_t kMaxElementsPerAppend = size_t{1} << 20;

// Every contour becomes move ... close, in font units scaled by size / units-per-em, y up. After
// the last glyph the pen position is moved to, so the current point follows the text. Throws
// vellum::Exception when the path has no current point. No glyphs append nothing.
void appendBezierPathWithGlyphs(BezierPath& path, std::span<const Glyph> glyphs, const Font& font);

// The string's glyphs (the font's substitutions, ligatures included, applied) appended as above.
// An empty string appends nothing; the path must still have a current point.
void appendBezierPathWithString(BezierPath& path, std::string_view string, const Font& font);

}  // namespace vellum
