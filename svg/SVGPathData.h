// SVG attribute text as paths: the small scanner shared by path data, point lists, number lists
// and transforms; the "d" grammar; the basic shapes; the outline of a text element.
//
// Positions are byte offsets into UTF-8 text (the attribute values as the XML parser hands
// them over). Every separator, number and command character is ASCII, so a byte offset always
// lands on the same characters a character index would; letters outside ASCII are decoded
// whole where it matters (skipping an unsupported command).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "path/BezierPath.h"
#include "text/Font.h"
#include "svg/SVGStyle.h"

namespace vellum {

// ", \t\r\n"
inline bool isSVGSeparator(char c) { return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// YES (position moved past it) when `literal` stands at the position; NO, unmoved, otherwise.
bool matchSVGLiteral(std::string_view text, size_t& position, std::string_view literal);
void skipSVGSeparators(std::string_view text, size_t& position);
// Separators, then one number of the SVG grammar: an optional sign, digits with at most one
// ".", an optional exponent ("e" or "E", optional sign, digits; an "e" without digits is not
// part of the number). A number ends where the grammar ends it, so ".5.5" is 0.5 then 0.5 and
// "1-2" is 1 then -2. Beyond the double range: infinity. NO leaves the position unchanged.
bool parseSVGNumber(std::string_view text, size_t& position, double& number);
// Two numbers, x then y; NO (position and `point` unchanged) unless both read.
bool parseSVGPoint(std::string_view text, size_t& position, Point& point);
// Points from position 0 until one does not read; a trailing lone number is ignored.
std::vector<Point> parseSVGPoints(std::string_view text);

// Path data: a move to (0, 0), then the segments of `text`: every command letter, absolute and
// relative, with implicit repeats (pairs after a move draw lines), arcs as cubics, quadratics
// raised to cubics, S and T reflecting the previous control point. Data in error (a first
// command other than a move, a missing or malformed argument, an unknown letter) ends the path
// there; the segments before it stay. `errorAt`, when given, receives the byte offset of the
// error, or the text's size when there is none.
std::shared_ptr<BezierPath> parseSVGPathData(std::string_view text, size_t* errorAt = nullptr);

// An elliptical arc from the path's current point to `to` as cubics, by the endpoint-to-centre
// conversion: radii too small to reach are scaled up, a zero (or not finite) radius draws a
// line, an end equal to the start draws nothing. Each cubic spans at most a quarter turn.
void appendSVGArc(BezierPath& path, double rx, double ry, double rotationDegrees, bool largeArc, bool sweep, Point to);

// Attribute lookup by exact name; nothing when absent. Shapes and text read their numbers with
// the leading-number conversion of the whole text, an absent attribute giving 0.
class SVGAttributes {
 public:
  virtual ~SVGAttributes() = default;
  virtual std::optional<std::string_view> attribute(std::string_view name) const = 0;
  double number(std::string_view name) const;
  std::string_view text(std::string_view name) const { return attribute(name).value_or(std::string_view()); }
  // Calls `f(name, value)` for every attribute, in document order.
  virtual void forEach(const std::function<void(std::string_view, std::string_view)>& f) const = 0;
};

// Attributes as a list of name and value pairs (tests, and the text element kept until its end).
class SVGAttributeList : public SVGAttributes {
 public:
  SVGAttributeList() = default;
  SVGAttributeList(std::initializer_list<std::pair<std::string, std::string>> pairs) : pairs_(pairs) {}
  explicit SVGAttributeList(std::vector<std::pair<std::string, std::string>> pairs) : pairs_(std::move(pairs)) {}
  std::optional<std::string_view> attribute(std::string_view name) const override;
  void forEach(const std::function<void(std::string_view, std::string_view)>& f) const override;
  const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
};

// The path of a "path", "rect" (with "rx"/"ry"), "ellipse", "circle", "line", "polyline" or
// "polygon" element in user coordinates, lengths read with their units; null for any other
// element name and for shapes SVG does not draw: a width, height or radius that is zero,
// negative or unreadable.
std::shared_ptr<BezierPath> svgShapePath(std::string_view elementName, const SVGAttributes& attributes,
                                         const SVGLengthContext& lengths = {});

// "Italic" for "italic", "Oblique" for "oblique", else "".
std::string svgFontStyleSuffix(std::string_view fontStyle);
// "bold" for a leading integer >= 700, or (no leading integer) for "bold" or "bolder"; else "".
std::string svgFontWeightSuffix(std::string_view fontWeight);
// The family followed by "-" weight suffix style suffix when either is not empty.
std::string svgFontName(std::string_view family, std::string_view weight, std::string_view style);
// The font of a "font-family" list: the first family (quotes removed) that is installed with
// the weight and style, else the system font.
std::shared_ptr<const Font> svgFont(std::string_view families, std::string_view weight, std::string_view style,
                                    double size);
// The outline of `characters` in `font`, its pen start at `position` moved back by the whole
// advance ("end") or half of it ("middle"), the glyphs hanging upward from that baseline in
// y-down user coordinates: outline point (gx, gy) lands on (x + gx, y - gy).
std::shared_ptr<BezierPath> svgTextPath(std::string_view characters, Point position, const Font* font,
                                        std::string_view anchor = {});

}  // namespace vellum
