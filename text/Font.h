// Fonts: an installed outline face at a size, found by its PostScript name through fontconfig.
// Faces, glyph outlines and name lookups are kept for the life of the process, so looking a font
// up on every execution costs a hash lookup, not a fontconfig query.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/Value.h"

namespace vellum {

using Glyph = uint32_t;

namespace detail {
class FontFace;
}

// One glyph's outline in font units (y up), quadratic pieces already raised to cubics. Every
// contour is move ... close; kinds use the path's element numbering (0 move, 1 line, 2 curve,
// 3 close) and points hold 1, 1, 3 or 0 points per element.
struct GlyphOutline {
  std::vector<uint8_t> kinds;
  std::vector<Point> points;
  double advance = 0;  // unhinted horizontal advance, font units
};

class Font {
 public:
  // The size used when the one asked for is 0 or less, or not a finite number.
  static constexpr double kDefaultSize = 12;

  // The installed face whose PostScript name is `name` (ignoring case and blanks), else the face
  // whose family and style are the parts of `name` around its last "-". Nothing when no installed
  // face has that name: a look-alike substitute is never answered.
  static std::shared_ptr<const Font> fontWithName(std::string_view name, double size);
  // The PostScript name of the installed face fontconfig would substitute for `name` (family and
  // style around its last "-"): a hint for someone whose font is missing, never used in its place.
  static std::string lookAlikeName(std::string_view name);
  // The system's default sans-serif face.
  static std::shared_ptr<const Font> systemFontOfSize(double size);

  Font(std::shared_ptr<detail::FontFace> face, double size);

  const std::string& fontName() const;  // PostScript name
  const std::string& familyName() const;
  const std::string& styleName() const;
  const std::string& filePath() const;
  double pointSize() const { return size_; }
  unsigned unitsPerEm() const;
  size_t numberOfGlyphs() const;
  // Points per font unit: pointSize / unitsPerEm.
  double scale() const { return scale_; }

  // Unhinted advance in points.
  double advancementForGlyph(Glyph glyph) const;
  // The glyph's outline in font units; an empty outline for a glyph the face does not have.
  const GlyphOutline& outlineForGlyph(Glyph glyph) const;
  // Characters to glyphs with the face's own substitutions (ligatures and the like) applied,
  // in drawing order. Invalid UTF-8 reads as U+FFFD; control characters and default-ignorable
  // characters give no glyph; a run of more than 30 marks and invisible characters is cut to 30;
  // text past the first 4 MiB is not read.
  std::vector<Glyph> glyphsForString(std::string_view utf8) const;

 private:
  std::shared_ptr<detail::FontFace> face_;
  double size_;
  double scale_;
};

using FontRef = std::shared_ptr<const Font>;

}  // namespace vellum
